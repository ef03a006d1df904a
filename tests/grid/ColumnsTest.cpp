// The column model on a stand-in grid over an in-memory dataset with a look-up field: inherited and
// assigned properties with their stored rules, width clamps, write-through of default columns, sort
// marking, display texts, check boxes, stepping values, editing permission, Assign, auto-fit
// proportions, the column order text, and the data link's field map.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "GridDataSupport.h"
#include "GridTestSupport.h"
#include "db/MemDataSet.h"
#include "grid/DBGridExColumns.h"
#include "grid/DBGridExInplace.h"
#include "grid/DBGridExStyle.h"

using namespace gridtest;

namespace {

// A grid as the columns and the data link see it: settings the test changes, calls it records.
class FakeGrid : public TComponent, public IDBGridExColumnsHost, public IDBGridExLinkHost {
 public:
  FakeGrid() : TComponent(nullptr) {
    defaults = std::make_unique<TDBGridExColumnDefValuesEx>(this);
    link = std::make_unique<TGridDataLinkEx>(this);
    columns = std::make_unique<TDBGridColumnsEx>(this, CollectionItemClass<TDBGridColumnEx>);
    titleFont.SetName("Arial");
  }
  ~FakeGrid() override {
    columns.reset();
    link.reset();
  }
  // IDBGridExColumnsHost
  TComponent* HostComponent() override { return this; }
  TColumnDefValuesEx* ColumnDefValues() override { return defaults.get(); }
  TGridDataLinkEx* DataLink() override { return link.get(); }
  TDBGridOptions Options() const override { return options; }
  TDBGridExOptions OptionsEx() const override { return optionsEx; }
  TDBGridExAllowedOperations AllowedOperations() const override { return allowed; }
  TColor GridColor() override { return color; }
  TColor GridFixedColor() override { return clBtnFace; }
  TFont* GridFont() override { return &font; }
  TFont* GridTitleFont() override { return &titleFont; }
  TCanvas* GridCanvas() override { return nullptr; }
  bool GridHandleAllocated() const override { return handle; }
  bool GridReadOnly() const override { return readOnly; }
  bool GridFlat() const override { return flat; }
  bool DrawMemoText() const override { return drawMemoText; }
  bool UseMultiTitle() const override { return multiTitle; }
  bool AutoFitColWidths() const override { return autoFit; }
  int DefaultColWidth() const override { return 77; }
  bool StoreColWidthToField() const override { return true; }
  bool LayoutFromDataSet() const override { return false; }
  bool LayoutRunning() const override { return false; }
  bool EditorShowing() override { return editorShowing; }
  TColumnsExList& SortMarkedColumns() override { return sorted; }
  int DataToRawColumn(int DataCol) const override { return DataCol + 1; }
  int RawColCount() const override { return static_cast<int>(rawWidths.size()); }
  int RawColWidth(int RawCol) const override { return rawWidths.at(static_cast<size_t>(RawCol)); }
  void SetRawColWidth(int RawCol, int Width) override { rawWidths.at(static_cast<size_t>(RawCol)) = Width; }
  void InvalidateRawCol(int) override {}
  void InvalidateGrid() override { ++repaints; }
  bool BeginLayout() override { return false; }
  void EndLayout() override {}
  void EndLayoutPass() override { ++layouts; }
  void InternalLayout() override { ++layouts; }
  int SelectedIndex() const override { return selected; }
  void SetSelectedIndex(int Value) override { selected = Value; }
  void UpdateEditorState() override {}
  bool AllowedOperationsCheck() override { return allowOperations; }
  // IDBGridExLinkHost
  void LinkActive(bool) override { calls.push_back("active"); }
  void DataChanged() override { calls.push_back("changed"); }
  void Scroll(int d) override { calls.push_back("scroll " + std::to_string(d)); }
  void EditingChanged() override { calls.push_back("editing"); }
  void RecordChanged(TField* f) override {
    calls.push_back(std::string("record ") + (f ? f->FieldName() : "nil"));
  }
  void UpdateData() override { calls.push_back("update"); }
  void LinkLayoutChanged() override { calls.push_back("layout"); }
  TField* SelectedField() override { return selectedField; }
  void SetSelectedField(TField* f) override { selectedField = f; }
  TField* EditedField() override { return editedField; }
  bool AcquireFocus() override { return true; }
  void ShowEditor() override { calls.push_back("show editor"); }
  void FreeNotification(TComponent* c) override { c->TComponent::FreeNotification(this); }

  std::unique_ptr<TDBGridExColumnDefValuesEx> defaults;
  std::unique_ptr<TGridDataLinkEx> link;
  std::unique_ptr<TDBGridColumnsEx> columns;
  TFont font, titleFont;
  TDBGridOptions options{dgEditing, dgTitles, dgIndicator, dgColLines, dgRowLines};
  TDBGridExOptions optionsEx;
  TDBGridExAllowedOperations allowed{alopInsertEx, alopUpdateEx, alopDeleteEx, alopAppendEx};
  TColor color = clWindow;
  bool handle = false, readOnly = false, flat = false, drawMemoText = false, multiTitle = false,
       autoFit = false;
  bool editorShowing = false, allowOperations = true;
  TColumnsExList sorted;
  std::vector<int> rawWidths;
  int repaints = 0, layouts = 0, selected = 0;
  TField* selectedField = nullptr;
  TField* editedField = nullptr;
  std::vector<std::string> calls;
};

class Columns : public GridGuiTest {
 protected:
  void SetUp() override {
    GridGuiTest::SetUp();
    grid = std::make_unique<FakeGrid>();
  }
  void TearDown() override {
    grid.reset();
    people.reset();
    GridGuiTest::TearDown();
  }
  void Bind() {
    people = std::make_unique<People>();
    grid->link->SetDataSource(&people->source);
  }
  TColumnEx* Col(const std::string& name, bool persistent = true) {
    TColumnEx* c = persistent ? grid->columns->Add() : grid->columns->AddDefault();
    c->SetFieldName(name);
    return c;
  }
  std::unique_ptr<FakeGrid> grid;
  std::unique_ptr<People> people;
};

TEST_F(Columns, WithoutAGridReportWindowColourWidth64AndTheFieldNameAsCaption) {
  TDBGridColumnsEx loose(nullptr, CollectionItemClass<TDBGridColumnEx>);
  TColumnEx* c = loose.Add();
  c->SetFieldName("SID");
  EXPECT_EQ(c->Color(), clWindow);
  EXPECT_EQ(c->Width(), 64);
  EXPECT_EQ(c->Alignment(), taLeftJustify);
  EXPECT_FALSE(c->ReadOnly());
  EXPECT_EQ(c->Title()->Caption(), "SID");
  EXPECT_EQ(c->Title()->Color(), clBtnFace);
  EXPECT_EQ(c->Title()->Alignment(), taLeftJustify);
  EXPECT_EQ(c->DropDownRows(), 7u);
  EXPECT_EQ(c->NotInKeyListIndex(), -1);
  EXPECT_EQ(c->Increment(), 1.0);
  EXPECT_TRUE(c->Persistent());
  EXPECT_EQ(c->DisplayName(), "SID");
}

TEST_F(Columns, InheritFromTheGridTheFieldAndTheDefaults) {
  Bind();
  TColumnEx* name = Col("NAME");
  TColumnEx* salary = Col("SALARY");
  TColumnEx* active = Col("ACTIVE");
  TColumnEx* none = Col("MISSING");
  grid->color = clYellow;
  EXPECT_EQ(name->Color(), clYellow);
  EXPECT_EQ(none->Width(), 77);  // no field: the grid's default column width
  // a field: (width of "0") x DisplayWidth + 4
  TBitmap measure;
  measure.SetSize(1, 1);
  measure.Canvas()->Font()->Assign(name->Font());
  EXPECT_EQ(name->Width(), measure.Canvas()->TextWidth("0") * people->F("NAME")->DisplayWidth() + 4);
  people->F("SALARY")->SetAlignment(taRightJustify);
  EXPECT_EQ(salary->Alignment(), taRightJustify);
  EXPECT_TRUE(name->WordWrap());
  EXPECT_FALSE(salary->WordWrap());
  EXPECT_TRUE(active->Checkboxes());
  EXPECT_EQ(active->GetColumnType(), ctCheckboxes);
  people->F("NAME")->SetDisplayLabel("Имя");
  EXPECT_EQ(name->Title()->Caption(), "Имя");
  EXPECT_EQ(name->Title()->Font()->Name(), "Arial");
  people->F("NAME")->SetReadOnly(true);
  EXPECT_TRUE(name->ReadOnly());
  grid->readOnly = true;
  EXPECT_TRUE(salary->ReadOnly());
  grid->defaults->SetEndEllipsis(true);
  EXPECT_TRUE(name->EndEllipsis());
  grid->multiTitle = true;
  EXPECT_EQ(name->Title()->Alignment(), taCenter);
}

TEST_F(Columns, StoredOnlyWhenAssignedAndDifferent) {
  Bind();
  TColumnEx* c = Col("NAME");
  c->SetColor(clWindow);  // the value it inherits: assigned, not stored
  EXPECT_TRUE(c->IsAssigned(cvColor));
  EXPECT_FALSE(c->IsColorStored());
  grid->color = clAqua;  // now it differs from its default source
  EXPECT_EQ(c->Color(), clWindow);
  EXPECT_TRUE(c->IsColorStored());
  // the title: assigned alignment survives a change of the default
  c->Title()->SetAlignment(taLeftJustify);
  grid->multiTitle = true;
  EXPECT_EQ(c->Title()->Alignment(), taLeftJustify);
  EXPECT_TRUE(c->Title()->IsAlignmentStored());
  EXPECT_FALSE(c->Title()->IsCaptionStored());
  c->Title()->SetCaption("NAME");
  EXPECT_FALSE(c->Title()->IsCaptionStored());
  c->Title()->SetCaption("Name|First");
  EXPECT_TRUE(c->Title()->IsCaptionStored());
  // the grid's title defaults: assigned alignment is stored and survives switching multi-titles
  TColumnTitleDefValuesEx* defaults = grid->defaults->Title();
  grid->multiTitle = false;
  defaults->SetAlignment(taLeftJustify);
  EXPECT_FALSE(defaults->AlignmentStored());
  grid->multiTitle = true;
  EXPECT_EQ(defaults->Alignment(), taLeftJustify);
  EXPECT_TRUE(defaults->AlignmentStored());
  c->SetIncrement(2);
  EXPECT_TRUE(c->IsIncrementStored());
  // a font change marks the font assigned
  EXPECT_FALSE(c->IsFontStored());
  c->Font()->SetColor(clRed);
  EXPECT_TRUE(c->IsFontStored());
  grid->font.SetName("Courier New");
  EXPECT_NE(c->Font()->Name(), "Courier New");
  c->RestoreDefaults();
  EXPECT_EQ(c->Font()->Name(), "Courier New");
  EXPECT_FALSE(c->IsAssigned(cvColor));
}

struct ClampCase {
  const char* name;
  int minWidth, maxWidth, value;
  bool assigned;
  int expected;
};

class WidthClamps : public Columns, public ::testing::WithParamInterface<ClampCase> {};

TEST_P(WidthClamps, MaxThenMinWins) {
  const ClampCase& c = GetParam();
  TColumnEx* col = Col("ANY");
  col->SetMinWidth(c.minWidth);
  col->SetMaxWidth(c.maxWidth);
  col->SetWidth(c.value);
  EXPECT_EQ(col->IsAssigned(cvWidth), c.assigned);
  EXPECT_EQ(col->Width(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Table, WidthClamps,
                         ::testing::Values(ClampCase{"MinBeatsMax", 400, 300, 500, true, 400},
                                           ClampCase{"MaxCuts", 0, 300, 500, true, 300},
                                           ClampCase{"MinRaises", 100, 0, 50, true, 100},
                                           ClampCase{"MinusOneStaysUnassigned", 0, 0, -1, false, 77},
                                           ClampCase{"DefaultValueStaysUnassigned", 0, 0, 77, false, 77}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Columns, DefaultColumnsWriteThroughToTheField) {
  Bind();
  TColumnEx* c = Col("SALARY", false);
  EXPECT_FALSE(c->Persistent());
  EXPECT_EQ(grid->columns->State(), csDefault);
  c->SetAlignment(taCenter);
  EXPECT_EQ(people->F("SALARY")->Alignment(), taCenter);
  EXPECT_FALSE(c->IsAssigned(cvAlignment));
  c->Title()->SetCaption("Оклад");
  EXPECT_EQ(people->F("SALARY")->DisplayLabel(), "Оклад");
  EXPECT_FALSE(c->Title()->IsCaptionStored());
  c->SetReadOnly(true);
  EXPECT_TRUE(people->F("SALARY")->ReadOnly());
  EXPECT_FALSE(c->IsAssigned(cvReadOnly));
  grid->handle = true;
  c->SetWidth(c->Width() * 2);
  EXPECT_GT(people->F("SALARY")->DisplayWidth(), 10);
  // a persistent column first makes the collection customised
  TDBGridColumnsEx other(grid.get(), CollectionItemClass<TDBGridColumnEx>);
  other.Add();
  EXPECT_EQ(other.State(), csCustomized);
}

TEST_F(Columns, SortMarkingSingleClearsTheOthers) {
  TColumnEx* a = Col("A");
  TColumnEx* b = Col("B");
  a->Title()->SetSortMarker(smDownEx);
  EXPECT_EQ(a->Title()->SortIndex(), 1);
  b->Title()->SetSortMarker(smUpEx);
  EXPECT_EQ(a->Title()->SortMarker(), smNoneEx);
  EXPECT_EQ(a->Title()->SortIndex(), 0);
  EXPECT_EQ(b->Title()->SortIndex(), 1);
  EXPECT_EQ(grid->sorted, (TColumnsExList{b}));
  b->Title()->SetNextSortMarkerValue(false);  // up -> down without Ctrl
  EXPECT_EQ(b->Title()->SortMarker(), smDownEx);
  b->Title()->SetNextSortMarkerValue(false);
  EXPECT_EQ(b->Title()->SortMarker(), smUpEx);
  b->Title()->SetNextSortMarkerValue(true);  // up -> none with Ctrl
  EXPECT_EQ(b->Title()->SortMarker(), smNoneEx);
  EXPECT_TRUE(grid->sorted.empty());
}

TEST_F(Columns, SortMarkingMultiNumbersRenumbersAndSwaps) {
  grid->optionsEx = {dghMultiSortMarking};
  TColumnEx* a = Col("A");
  TColumnEx* b = Col("B");
  TColumnEx* c = Col("C");
  a->Title()->SetNextSortMarkerValue(true);
  b->Title()->SetNextSortMarkerValue(true);
  c->Title()->SetNextSortMarkerValue(true);
  EXPECT_EQ(c->Title()->SortIndex(), 3);
  EXPECT_EQ(grid->sorted, (TColumnsExList{a, b, c}));
  c->Title()->SetSortIndex(1);  // swaps with the holder of 1
  EXPECT_EQ(a->Title()->SortIndex(), 3);
  EXPECT_EQ(grid->sorted, (TColumnsExList{c, b, a}));
  c->Title()->SetSortIndex(7);  // nobody holds 7: nothing changes
  EXPECT_EQ(c->Title()->SortIndex(), 1);
  c->Title()->SetSortMarker(smNoneEx);
  EXPECT_EQ(b->Title()->SortIndex(), 1);
  EXPECT_EQ(a->Title()->SortIndex(), 2);
  EXPECT_EQ(grid->sorted, (TColumnsExList{b, a}));
  delete a;  // a freed column leaves the sort list
  EXPECT_EQ(grid->sorted, (TColumnsExList{b}));
}

TEST_F(Columns, DisplayTextThroughKeyListsFormatsAndMemos) {
  Bind();
  TColumnEx* flag = Col("FLAG");
  flag->KeyList()->SetText("yes\nn");
  flag->PickList()->SetText("Да\nНет");
  EXPECT_EQ(flag->GetColumnType(), ctKeyPickList);
  EXPECT_EQ(flag->GetDisplayText(), "Да");
  people->ds.Last();  // "??" is no key
  EXPECT_EQ(flag->GetDisplayText(), "");
  flag->SetNotInKeyListIndex(1);
  EXPECT_EQ(flag->GetDisplayText(), "Нет");
  people->ds.First();
  TColumnEx* salary = Col("SALARY");
  salary->SetDisplayFormat("0.00");
  EXPECT_EQ(salary->GetDisplayText(), "1500.50");
  people->ds.Next();
  EXPECT_EQ(salary->GetDisplayText(), "");  // null
  people->ds.First();
  TColumnEx* notes = Col("NOTES");
  EXPECT_EQ(notes->GetDisplayText(), people->F("NOTES")->DisplayText());
  grid->drawMemoText = true;
  EXPECT_EQ(notes->GetDisplayText(), "first");
  TColumnEx* dept = Col("DEPT_NAME");
  EXPECT_EQ(dept->GetColumnType(), ctLookupField);
  EXPECT_EQ(dept->GetDisplayText(), "Sales");
  dept->DropDownSpecRow()->SetCellsText("(нет)");
  dept->DropDownSpecRow()->SetVisible(true);
  people->ds.Last();  // a null key shows the special row
  EXPECT_EQ(dept->GetDisplayText(), "(нет)");
  TColumnEx* picks = Col("NAME");
  picks->PickList()->SetText("Ann\nBob");
  EXPECT_EQ(picks->GetColumnType(), ctPickList);
}

struct CheckCase {
  const char* name;
  int record;  // 0-based
  TCheckBoxState expected;
};

class CheckBoxStates : public Columns, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(CheckBoxStates, KeyListItemsMatchWithoutCase) {
  Bind();
  TColumnEx* flag = Col("FLAG");
  flag->SetCheckboxes(true);
  flag->KeyList()->SetText("Y;YES\nN;NO");
  people->ds.MoveBy(GetParam().record);
  EXPECT_EQ(flag->GetCheckboxState(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Table, CheckBoxStates,
                         ::testing::Values(CheckCase{"LowerCaseYes", 0, cbChecked},
                                           CheckCase{"SecondListN", 1, cbUnchecked},
                                           CheckCase{"NeitherIsGrayed", 2, cbGrayed}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Columns, CheckBoxesWriteTheFirstItemsAndBooleansAndNull) {
  Bind();
  TColumnEx* flag = Col("FLAG");
  flag->SetCheckboxes(true);
  flag->KeyList()->SetText("Y;YES\nN;NO");
  people->ds.Edit();
  flag->SetCheckboxState(cbUnchecked);
  EXPECT_EQ(people->F("FLAG")->AsString(), "N");
  flag->SetCheckboxState(cbGrayed);
  EXPECT_TRUE(people->F("FLAG")->IsNull());
  EXPECT_EQ(flag->GetCheckboxState(), cbGrayed);
  TColumnEx* active = Col("ACTIVE");
  EXPECT_EQ(active->GetCheckboxState(), cbChecked);
  active->SetCheckboxState(cbUnchecked);
  EXPECT_FALSE(people->F("ACTIVE")->AsBoolean());
  people->ds.Cancel();
}

TEST_F(Columns, NextValueWrapsKeysPicksChecksNumbersAndLookups) {
  Bind();
  TColumnEx* id = Col("ID");
  id->KeyList()->SetText("1\n2\n3");
  id->PickList()->SetText("one\ntwo\nthree");
  people->ds.Last();  // ID 3
  id->SetNextFieldValue(1);
  EXPECT_EQ(people->F("ID")->AsInteger(), 1);
  id->SetNextFieldValue(-1);
  EXPECT_EQ(people->F("ID")->AsInteger(), 3);
  id->SetNextFieldValue(-1);
  EXPECT_EQ(people->F("ID")->AsInteger(), 2);
  people->ds.Cancel();

  people->ds.First();
  TColumnEx* name = Col("NAME");
  name->PickList()->SetText("Ann\nBob\nCid");
  name->SetNextFieldValue(-1);  // Ann back to the last
  EXPECT_EQ(people->F("NAME")->AsString(), "Cid");
  TColumnEx* active = Col("ACTIVE");
  active->SetNextFieldValue(1);
  EXPECT_FALSE(people->F("ACTIVE")->AsBoolean());
  active->SetNextFieldValue(1);
  EXPECT_TRUE(people->F("ACTIVE")->AsBoolean());
  TColumnEx* salary = Col("SALARY");
  salary->SetIncrement(0.5);
  salary->SetNextFieldValue(salary->Increment());
  EXPECT_DOUBLE_EQ(people->F("SALARY")->AsFloat(), 1501.0);
  people->ds.Cancel();
  people->ds.Next();  // a null number steps to 0
  salary->SetNextFieldValue(1);
  EXPECT_DOUBLE_EQ(people->F("SALARY")->AsFloat(), 0.0);
  people->ds.Cancel();

  people->ds.First();  // dept 1: forward to 2; from 3 forward wraps to 1; back from 1 wraps to 3
  TColumnEx* dept = Col("DEPT_NAME");
  dept->SetNextFieldValue(1);
  EXPECT_EQ(people->F("DEPT")->AsInteger(), 2);
  people->ds.Cancel();
  people->ds.Next();
  dept->SetNextFieldValue(1);
  EXPECT_EQ(people->F("DEPT")->AsInteger(), 1);
  dept->SetNextFieldValue(-1);
  EXPECT_EQ(people->F("DEPT")->AsInteger(), 3);
  people->ds.Cancel();
  people->ds.Last();  // a null key goes to the first department
  dept->SetNextFieldValue(-1);
  EXPECT_EQ(people->F("DEPT")->AsInteger(), 1);
  people->ds.Cancel();
}

TEST_F(Columns, CanModifyRefusesBlobsReadOnlyAndMissingFieldsAndKeepsTheMRUList) {
  Bind();
  EXPECT_FALSE(Col("PHOTO")->CanModify(false));
  TColumnEx* notes = Col("NOTES");
  EXPECT_FALSE(notes->CanModify(false));
  grid->drawMemoText = true;
  EXPECT_TRUE(notes->CanModify(false));
  EXPECT_FALSE(Col("MISSING")->CanModify(false));
  TColumnEx* dept = Col("DEPT_NAME");
  EXPECT_TRUE(dept->CanModify(false));
  people->F("DEPT")->SetReadOnly(true);  // the key field decides for a look-up
  EXPECT_FALSE(dept->CanModify(false));
  TColumnEx* name = Col("NAME");
  grid->allowOperations = false;
  EXPECT_FALSE(name->CanModify(false));
  grid->allowOperations = true;
  EXPECT_TRUE(name->CanModify(true));
  EXPECT_EQ(people->ds.State(), dsEdit);
  EXPECT_FALSE(grid->link->Modified());  // nothing typed: no editor text to write
  name->MRUList()->SetActive(true);
  name->UpdateData("Zed", TVariant("Zed"), true);
  EXPECT_EQ(people->F("NAME")->AsString(), "Zed");
  EXPECT_EQ(name->MRUList()->Items()->Count(), 0);  // no editor showing
  grid->editorShowing = true;
  name->UpdateData("Zoe", TVariant("Zoe"), true);
  EXPECT_EQ(name->MRUList()->Items()->Count(), 1);
  bool handled = true;
  name->OnUpdateData = [&](TObject*, std::string& text, TVariant&, bool&, bool& h) {
    text += "!";
    h = handled;
  };
  name->UpdateData("Kim", TVariant("Kim"), true);
  EXPECT_EQ(people->F("NAME")->AsString(), "Zoe");
  EXPECT_EQ(name->MRUList()->Items()->Strings(1), "Kim!");
  people->ds.Cancel();
  grid->readOnly = true;
  EXPECT_FALSE(name->CanModify(false));
}

TEST_F(Columns, AssignCopiesWhatItShouldAndNotTheRest) {
  TColumnEx* src = Col("A");
  src->SetColor(clRed);
  src->SetDropDownRows(12);
  src->SetMaxWidth(90);
  src->PickList()->SetText("x\ny");
  src->Title()->SetCaption("Title A");
  src->Title()->SetHint("hint");
  src->Title()->SetImageIndex(3);
  src->DropDownSpecRow()->SetVisible(true);
  src->Title()->SetSortMarker(smDownEx);
  TColumnEx* dst = Col("B");
  dst->Assign(src);
  EXPECT_EQ(dst->FieldName(), "A");
  EXPECT_EQ(dst->Color(), clRed);
  EXPECT_EQ(dst->DropDownRows(), 12u);
  EXPECT_EQ(dst->MaxWidth(), 90);
  EXPECT_EQ(dst->PickList()->Count(), 2);
  EXPECT_EQ(dst->Title()->Caption(), "Title A");
  EXPECT_EQ(dst->Title()->SortMarker(), smDownEx);
  EXPECT_EQ(dst->Title()->Hint(), "");
  EXPECT_EQ(dst->Title()->ImageIndex(), -1);
  EXPECT_FALSE(dst->DropDownSpecRow()->Visible());
  EXPECT_FALSE(dst->IsAssigned(cvWidth));
  EXPECT_TRUE(dst->IsAssigned(cvWordWrap));  // written a second time, unconditionally
}

TEST_F(Columns, AutoFitShiftsInitialWidthToTheNextColumn) {
  grid->autoFit = true;
  grid->rawWidths = {11, 100, 100, 100};
  TColumnEx* a = Col("A");
  TColumnEx* b = Col("B");
  Col("C");
  a->SetInitWidth(100);
  b->SetInitWidth(100);
  const int before = grid->layouts;
  a->SetWidth(50);  // half of its grid column
  EXPECT_EQ(a->InitWidth(), 50);
  EXPECT_EQ(b->InitWidth(), 150);
  EXPECT_GT(grid->layouts, before);
  // without auto-fit the width goes straight to the raw column, hidden columns get -1 with lines
  grid->autoFit = false;
  b->SetWidth(60);
  EXPECT_EQ(grid->rawWidths[2], 60);
  b->SetVisible(false);
  EXPECT_EQ(grid->rawWidths[2], 60);  // Changed(true) asks the grid for a whole layout instead
  grid->columns->Items(1)->SetWidth(61);
  EXPECT_EQ(grid->rawWidths[2], -1);
}

TEST_F(Columns, ColumnsIndexQuotesNamesAndMovesToTheLaterEntry) {
  Col("A");
  Col("B");
  Col("C");
  EXPECT_EQ(grid->columns->ColumnsIndex(), "\"A\",\"B\",\"C\"");
  grid->columns->SetColumnsIndex("\"C\",\"A\",\"C\",\"X\"");
  EXPECT_EQ(grid->columns->ColumnsIndex(), "\"A\",\"B\",\"C\"");
  grid->columns->SetColumnsIndex("C,A,B");
  EXPECT_EQ(grid->columns->ColumnsIndex(), "\"C\",\"A\",\"B\"");
  RegisterColumnInterceptors();
  TColumnsExPropertyInterceptor order(grid->columns.get());
  order.SetColumnsIndex("B");
  EXPECT_EQ(order.ColumnsIndex(), "\"B\",\"C\",\"A\"");
  grid->autoFit = true;
  TColumnExPropertyInterceptor width(grid->columns->Items(0));
  const int layouts = grid->layouts;
  width.SetWidth(55);
  EXPECT_EQ(width.Width(), 55);
  EXPECT_EQ(grid->layouts, layouts);
}

TEST_F(Columns, DropDownBoxAssignAndDefaults) {
  TColumnEx* a = Col("A");
  TColumnDropDownBoxEx* box = a->DropDownBox();
  EXPECT_TRUE(box->AutoFitColWidths());
  EXPECT_EQ(box->Options(), (TDBLookupGridExOptions{dlgColLinesEx}));
  TColumnEx* b = Col("B");
  TDataSource list(nullptr);
  box->SetListSource(&list);
  box->SetUseMultiTitle(true);
  b->DropDownBox()->Assign(box);
  EXPECT_EQ(b->DropDownBox()->ListSource(), &list);
  EXPECT_TRUE(b->DropDownBox()->UseMultiTitle());
  box->SetListSource(nullptr);
  b->DropDownBox()->SetListSource(nullptr);
}

// ---------------------------------------------------------------- the data link

TEST_F(Columns, FieldMapGrowsSparseEntriesAndTheLimit) {
  Bind();
  TGridDataLinkEx* link = grid->link.get();
  EXPECT_TRUE(link->Active());
  link->SetSparseMap(true);
  link->AddMapping("NAME");
  EXPECT_EQ(link->FieldMapSize(), 8);
  link->AddMapping("NOPE");
  EXPECT_EQ(link->GetMappedField(0), people->F("NAME"));
  EXPECT_EQ(link->GetMappedField(1), nullptr);
  EXPECT_EQ(link->GetMappedField(2), nullptr);
  EXPECT_FALSE(link->DefaultFields());
  for (int i = 0; i < 7; ++i) link->AddMapping("ID");
  EXPECT_EQ(link->FieldMapSize(), 16);
  link->ClearMapping();
  link->SetSparseMap(false);
  EXPECT_THROW(link->AddMapping("NOPE"), EDatabaseError);
  link->SetFieldCountForTest(kMaxMapSize);
  try {
    link->AddMapping("ID");
    FAIL();
  } catch (const EInvalidGridOperation& e) {
    EXPECT_EQ(std::string(e.Message()), "Grid requested to display more than 256 columns");
  }
  link->ClearMapping();
}

TEST_F(Columns, DataLinkForwardsTheDatasetsNotifications) {
  Bind();
  TGridDataLinkEx* link = grid->link.get();
  grid->calls.clear();
  people->ds.Next();
  people->ds.Edit();
  link->MarkModified();
  grid->editedField = people->F("NAME");
  people->F("SALARY")->SetAsFloat(2.5);
  EXPECT_TRUE(link->Modified());  // another field's change leaves the typed text to be written
  people->F("NAME")->SetAsString("B2");
  EXPECT_FALSE(link->Modified());  // the edited field's change clears the mark
  grid->editedField = nullptr;
  link->MarkModified();
  people->ds.Post();
  people->ds.Close();
  // in this order, among the others (the look-up field's own record changes)
  const std::vector<std::string> expected{"scroll 1", "editing", "record NAME", "update",
                                          "editing",  "changed", "active"};
  size_t at = 0;
  for (const std::string& call : grid->calls)
    if (at < expected.size() && call == expected[at]) ++at;
  EXPECT_EQ(at, expected.size()) << testing::PrintToString(grid->calls);
  // focusing a field selects it and shows the editor
  people->ds.Open();
  grid->calls.clear();
  people->F("SALARY")->FocusControl();
  EXPECT_EQ(grid->selectedField, people->F("SALARY"));
  EXPECT_EQ(grid->calls, (std::vector<std::string>{"show editor"}));
}

}  // namespace
