// Column footers on a grid over an in-memory dataset: the text of a footer cell by value type and field
// type, the aggregate item each footer keeps in the grid's sum list (made, re-made, given back), what
// Assign copies, and the sum list following edits and the grid's data source.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "GridTestSupport.h"
#include "db/MemDataSet.h"
#include "grid/DBGridEx.h"

using namespace gridtest;

namespace {

class Footers : public GridGuiTest {
 protected:
  void SetUp() override {
    GridGuiTest::SetUp();
    ds.FieldDefs()->Add("ID", ftInteger);
    ds.FieldDefs()->Add("PRICE", ftFloat);
    ds.FieldDefs()->Add("AMOUNT", ftBCD, 2);
    ds.FieldDefs()->Add("NAME", ftString, 20);
    ds.FieldDefs()->Add("BORN", ftDate);
    for (int i = 0; i < ds.FieldDefs()->Count(); ++i) ds.FieldDefs()->Items(i)->CreateField(&ds);
    ds.AddRow({1, 1.5, Currency::FromScaled(12500), "Анна", TVariant::FromDate(40000)});
    ds.AddRow({2, 2.25, Currency::FromScaled(10000), "Борис", Null()});
    ds.AddRow({3, Null(), Null(), "Вера", Null()});
    source.SetDataSet(&ds);
    ds.Open();
    form = std::make_unique<TForm>(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(50, 50, 600, 400);
    grid = new TDBGridEx(form.get());
    grid->SetParent(form.get());
    grid->SetBounds(0, 0, 560, 300);
    for (const char* name : {"ID", "PRICE", "AMOUNT", "NAME", "BORN"})
      grid->Columns()->Add()->SetFieldName(name);
    grid->SetFooterRowCount(1);
    grid->SetDataSource(&source);
    grid->SumList()->SetActive(true);
    form->Show();
  }
  void TearDown() override {
    form.reset();
    GridGuiTest::TearDown();
  }
  TColumnEx* Col(int I) { return grid->Columns()->Items(I); }
  TColumnFooterEx* Foot(int I) { return Col(I)->Footer(); }
  std::string Text(int I) { return grid->GetFooterValue(0, Col(I)); }
  int Items() { return grid->SumList()->SumCollection()->Count(); }
  TMemDataSet ds;
  TDataSource source{nullptr};
  std::unique_ptr<TForm> form;
  TDBGridEx* grid = nullptr;
};

// ---- the text by value type and field type

struct TextCase {
  const char* name;
  int column;
  TFooterValueType type;
  const char* footerFormat;
  const char* fieldFormat;
  const char* expected;
};

class FooterText : public Footers, public ::testing::WithParamInterface<TextCase> {};

TEST_P(FooterText, FollowsTheValueTypeAndTheFieldsType) {
  const TextCase& c = GetParam();
  if (*c.fieldFormat) static_cast<TNumericField*>(Col(c.column)->Field())->SetDisplayFormat(c.fieldFormat);
  Foot(c.column)->SetDisplayFormat(c.footerFormat);
  Foot(c.column)->SetValue("Итого");
  Foot(c.column)->SetValueType(c.type);
  EXPECT_EQ(Text(c.column), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FooterText,
    ::testing::Values(TextCase{"IntegerPlain", 0, fvtSum, "", "", "6"},
                      TextCase{"IntegerFooterFormat", 0, fvtSum, "0.00", "", "6.00"},
                      TextCase{"IntegerFieldFormat", 0, fvtSum, "", "#,##0.0", "6.0"},
                      TextCase{"FloatGeneral", 1, fvtSum, "", "", "3.75"},
                      TextCase{"FloatFieldFormat", 1, fvtSum, "", "0.0", "3.8"},
                      TextCase{"FloatAverageOverNonNulls", 1, fvtAvg, "0.000", "", "1.875"},
                      TextCase{"BcdGeneral", 2, fvtSum, "", "", "2.25"},
                      TextCase{"BcdFooterFormat", 2, fvtSum, "0.0", "", "2.3"},
                      TextCase{"DateFieldShowsZero", 4, fvtSum, "", "", "0"},
                      TextCase{"CountPlain", 3, fvtCount, "", "", "3"},
                      TextCase{"CountWithFormatZero", 1, fvtCount, "0", "", "3"},
                      TextCase{"FieldValueOfTheCurrentRecord", 3, fvtFieldValue, "", "", "Анна"},
                      TextCase{"StaticText", 0, fvtStaticText, "", "", "Итого"},
                      TextCase{"Nothing", 0, fvtNon, "", "", ""}),
    [](const auto& Info) { return std::string(Info.param.name); });

TEST_F(Footers, ASumOverAFieldTheDatasetLacksShowsZero) {
  Foot(1)->SetFieldName("NO_SUCH_FIELD");
  Foot(1)->SetValueType(fvtSum);
  EXPECT_EQ(Text(1), "0");
  Foot(1)->SetFieldName("ID");  // another field of the dataset
  EXPECT_EQ(Text(1), "6");
}

TEST_F(Footers, AnEmptyFieldNameSumsTheColumnsOwnField) {
  Foot(1)->SetValueType(fvtSum);
  ASSERT_NE(Foot(1)->SumItem(), nullptr);
  EXPECT_EQ(Foot(1)->SumItem()->FieldName(), "PRICE");
  Col(1)->SetFieldName("ID");  // the column's field changes: the item follows
  EXPECT_EQ(Foot(1)->SumItem()->FieldName(), "ID");
  EXPECT_EQ(Text(1), "6");
}

TEST_F(Footers, SumToStaticTextAndBackMakesANewItem) {
  Foot(0)->SetValueType(fvtSum);
  ASSERT_EQ(Items(), 1);
  const int first = Foot(0)->SumItem()->ID();
  Foot(0)->SetValueType(fvtStaticText);
  EXPECT_EQ(Items(), 0);
  EXPECT_EQ(Foot(0)->SumItem(), nullptr);
  Foot(0)->SetValueType(fvtSum);
  ASSERT_EQ(Items(), 1);
  EXPECT_NE(Foot(0)->SumItem()->ID(), first);
  EXPECT_EQ(Text(0), "6");
  Foot(0)->SetValueType(fvtCount);  // the same item, now counting
  EXPECT_EQ(Items(), 1);
  EXPECT_EQ(Foot(0)->SumItem()->GroupOperation(), goCount);
  EXPECT_EQ(Foot(0)->SumItem()->FieldName(), "");
}

TEST_F(Footers, SeveralFooterRowsTakeTheirOwnItemsAndTheRestTheSingleFooter) {
  grid->SetFooterRowCount(3);
  TColumnFooterEx* sum = Col(0)->Footers()->Add();
  TColumnFooterEx* avg = Col(0)->Footers()->Add();
  sum->SetValueType(fvtSum);
  avg->SetValueType(fvtAvg);
  Foot(0)->SetValueType(fvtCount);
  EXPECT_EQ(grid->GetFooterValue(0, Col(0)), "6");
  EXPECT_EQ(grid->GetFooterValue(1, Col(0)), "2");
  EXPECT_EQ(grid->GetFooterValue(2, Col(0)), "3");
  EXPECT_EQ(Items(), 3);
  delete grid->Columns()->Items(0);  // the column's items go with it
  EXPECT_EQ(Items(), 0);
}

TEST_F(Footers, EditsReachTheFooterWithoutAnotherPass) {
  Foot(1)->SetValueType(fvtSum);
  int passes = 0;
  grid->OnSumListRecalcAll = [&](TObject* Sender) {
    EXPECT_EQ(Sender, grid->SumList());
    ++passes;
  };
  ds.Locate("ID", 3, {});
  ds.Edit();
  ds.FieldByName("PRICE")->SetAsFloat(10);
  ds.Post();
  EXPECT_EQ(Text(1), "13.75");
  EXPECT_EQ(passes, 0);
  ds.Close();
  EXPECT_EQ(Text(1), "0");
  ds.Open();  // opened again: one full pass
  EXPECT_EQ(passes, 1);
  EXPECT_EQ(Text(1), "13.75");
}

TEST_F(Footers, TheSumListFollowsTheDataSource) {
  Foot(0)->SetValueType(fvtSum);
  grid->SetDataSource(nullptr);
  EXPECT_EQ(grid->SumList()->DataSet(), nullptr);
  EXPECT_TRUE(ds.AfterPost == nullptr);  // the dataset's handlers are its own again
  grid->SetDataSource(&source);
  EXPECT_EQ(grid->SumList()->DataSet(), &ds);
  EXPECT_EQ(Text(0), "6");
}

TEST_F(Footers, ColumnsAssignedToAnotherGridTakeTheirAggregatesAlong) {
  Foot(1)->SetValueType(fvtSum);
  Foot(1)->SetDisplayFormat("0.00");
  auto* other = new TDBGridEx(form.get());
  other->SetParent(form.get());
  other->SetFooterRowCount(1);
  other->SetDataSource(&source);
  other->SumList()->SetActive(true);
  other->Columns()->Assign(grid->Columns());
  EXPECT_EQ(Items(), 1);
  EXPECT_EQ(other->SumList()->SumCollection()->Count(), 1);
  EXPECT_EQ(other->GetFooterValue(0, other->Columns()->Items(1)), "3.75");
}

TEST_F(Footers, AssignCopiesColourFontAndAlignmentOnlyWhereTheReceiverHasItsOwn) {
  TColumnFooterEx* from = Foot(0);
  from->SetColor(clRed);
  from->SetAlignment(taCenter);
  from->SetValueType(fvtStaticText);
  from->SetValue("x");
  TColumnFooterEx* to = Foot(1);
  to->Assign(from);
  EXPECT_EQ(to->Color(), grid->FooterColor());
  EXPECT_EQ(to->Alignment(), taRightJustify);  // the float field's own
  EXPECT_EQ(to->ValueType(), fvtStaticText);
  EXPECT_EQ(to->Value(), "x");
  to->SetColor(clBlue);
  to->Assign(from);
  EXPECT_EQ(to->Color(), clRed);
  grid->SetFooterColor(clYellow);  // an inherited colour follows the grid
  EXPECT_EQ(Foot(2)->Color(), clYellow);
  grid->FooterFont()->SetSize(14);
  EXPECT_EQ(Foot(2)->Font()->Size(), 14);
  Foot(2)->Font()->SetSize(9);
  grid->FooterFont()->SetSize(16);
  EXPECT_EQ(Foot(2)->Font()->Size(), 9);  // its own font stays
}

TEST_F(Footers, AColumnsFooterAndFilterSettingsAreStreamedWithIt) {
  Foot(1)->SetValueType(fvtAvg);
  Foot(1)->SetDisplayFormat("0.00");
  Foot(1)->SetColor(clYellow);
  Col(3)->STFilter()->SetVisible(false);
  Col(3)->STFilter()->SetDataField("NAME");
  // two footer rows under the price: its sum, then a text in its own colour
  grid->SetFooterRowCount(2);
  TColumnFooterEx* sum = Col(1)->Footers()->Add();
  sum->SetValueType(fvtSum);
  sum->SetDisplayFormat("0.000");
  TColumnFooterEx* note = Col(1)->Footers()->Add();
  note->SetValueType(fvtStaticText);
  note->SetValue("без НДС");
  note->SetColor(clAqua);
  note->SetWordWrap(true);
  TMemoryStream stream;
  {
    TWriter w(&stream);
    w.WriteProperties(grid);
    w.WriteListEnd();
  }
  auto* copy = new TDBGridEx(form.get());
  copy->SetParent(form.get());
  copy->SetDataSource(&source);
  copy->SumList()->SetActive(true);
  stream.SetPosition(0);
  TReader r(&stream);
  r.ReadProperties(copy);
  ASSERT_EQ(copy->Columns()->Count(), 5);
  TColumnFooterEx* read = copy->Columns()->Items(1)->Footer();
  EXPECT_EQ(read->ValueType(), fvtAvg);
  EXPECT_EQ(read->DisplayFormat(), "0.00");
  EXPECT_EQ(read->Color(), clYellow);
  EXPECT_FALSE(read->AssignedValues().Contains(cfvAlignment));
  EXPECT_FALSE(copy->Columns()->Items(3)->STFilter()->Visible());
  EXPECT_EQ(copy->Columns()->Items(3)->STFilter()->DataField(), "NAME");
  // the footer rows come back as they were, the sum with an aggregate of its own in the copy's list
  copy->SetFooterRowCount(3);
  TColumnFootersEx* rows = copy->Columns()->Items(1)->Footers();
  ASSERT_EQ(rows->Count(), 2);
  EXPECT_EQ(rows->Items(0)->ValueType(), fvtSum);
  ASSERT_NE(rows->Items(0)->SumItem(), nullptr);
  EXPECT_EQ(copy->GetFooterValue(0, copy->Columns()->Items(1)), "3.750");
  EXPECT_EQ(copy->GetFooterValue(1, copy->Columns()->Items(1)), "без НДС");
  EXPECT_EQ(rows->Items(1)->Color(), clAqua);
  EXPECT_TRUE(rows->Items(1)->WordWrap());
  EXPECT_EQ(copy->GetFooterValue(2, copy->Columns()->Items(1)), "1.88");  // past the items: the single one
  EXPECT_EQ(copy->Columns()->Items(0)->Footers()->Count(), 0);
}

}  // namespace
