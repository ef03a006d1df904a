// Column layout in a settings store: the session window's section and values in the registry, columns
// found by field name, order, widths, markers and visibility by the restore flags, words split on
// blanks and commas, and a restore that moves a marker re-sorting once.
#include <gtest/gtest.h>

#include <memory>

#include "GridTestSupport.h"
#include "db/MemDataSet.h"
#include "grid/DBGridEx.h"
#include "platform/rtl/IniFiles.h"
#include "platform/rtl/Process.h"
#include "platform/rtl/Registry.h"
#include "platform/rtl/RegistryStore.h"
#include "rtl/FileSaves.h"
#include "rtl/TempDir.h"

namespace {

using namespace gridtest;

class TSessionForm : public TForm {
  TALVIK_CLASS(TSessionForm, TForm)
  using TForm::TForm;
};

class GridLayoutStore : public GridGuiTest {
 protected:
  void SetUp() override {
    GridGuiTest::SetUp();
    savedConfig = GetEnvironmentVariable("XDG_CONFIG_HOME");
    SetEnvironmentVariable("XDG_CONFIG_HOME", dir.Path());
    talvik::registry::ResetHives();
    for (const char* n : {"SID", "STATUS", "MACHINE", "PROGRAM"}) ds.FieldDefs()->Add(n, ftString, 20);
    ds.AddRow({"1", "ACTIVE", "m", "p"});
    source.SetDataSet(&ds);
    ds.Open();
    form = std::make_unique<TSessionForm>(nullptr);
    form->SetBounds(0, 0, 600, 300);
  }
  void TearDown() override {
    form.reset();
    SetEnvironmentVariable("XDG_CONFIG_HOME", savedConfig);
    talvik::registry::ResetHives();
    GridGuiTest::TearDown();
  }
  // A grid of the session form named dbgSession with columns of these fields.
  TDBGridEx* Grid(std::initializer_list<const char*> Fields, const char* Name = "dbgSession",
                  TForm* Owner = nullptr) {
    if (!Owner) Owner = form.get();
    auto* g = new TDBGridEx(Owner);
    g->SetName(Name);
    g->SetParent(Owner);
    g->SetBounds(0, 0, 580, 280);
    g->SetOptionsEx(g->OptionsEx() + dghMultiSortMarking);
    g->SetDataSource(&source);
    for (const char* f : Fields) g->Columns()->Add()->SetFieldName(f);
    return g;
  }
  static std::string Order(TDBGridEx* G) {
    std::string s;
    for (int i = 0; i < G->Columns()->Count(); ++i) s += (i ? "," : "") + G->Columns()->Items(i)->FieldName();
    return s;
  }
  TempDir dir;
  std::string savedConfig;
  TMemDataSet ds;
  TDataSource source{nullptr};
  std::unique_ptr<TSessionForm> form;
};

TEST_F(GridLayoutStore, SessionGridInTheRegistry) {
  TDBGridEx* g = Grid({"SID", "STATUS"});
  g->Columns()->Items(0)->SetWidth(46);
  g->Columns()->Items(0)->Title()->SetSortMarker(smDownEx);
  {
    TRegIniFile store("Software\\Talvik");
    store.WriteString("TSessionFormdbgSession", "dbgSession.OLD", "stale");
    g->SaveColumnsLayout(&store);
  }
  TRegIniFile store("Software\\Talvik");
  EXPECT_EQ(store.ReadString("TSessionFormdbgSession", "dbgSession.SID", ""), "0,46,1,1,1,7,0");
  EXPECT_EQ(store.ReadString("TSessionFormdbgSession", "dbgSession.STATUS", "").substr(0, 2), "1,");
  EXPECT_EQ(store.ReadString("TSessionFormdbgSession", "dbgSession.OLD", "gone"), "gone");  // erased first
}

// The layout of every column reaches the settings file in one save, the erased section with it.
TEST_F(GridLayoutStore, TheLayoutReachesTheRegistryFileInOneSave) {
  TDBGridEx* g = Grid({"SID", "STATUS", "MACHINE", "PROGRAM"});
  TRegIniFile store("Software\\Talvik");
  store.WriteString("TSessionFormdbgSession", "dbgSession.OLD", "stale");
  TFileSaveCounter saves(dir.File("talvik/HKCU.reg"));
  g->SaveColumnsLayout(&store);
  EXPECT_EQ(saves.Count(), 1);
  talvik::registry::ResetHives();  // read back from the file
  TRegIniFile again("Software\\Talvik");
  std::vector<std::string> idents;
  again.ReadSection("TSessionFormdbgSession", idents);
  EXPECT_EQ(idents, (std::vector<std::string>{"dbgSession.SID", "dbgSession.STATUS", "dbgSession.MACHINE",
                                              "dbgSession.PROGRAM"}));
}

TEST_F(GridLayoutStore, ColumnsByFieldNameAndOrder) {
  TIniFile store(dir.Path() + "/layout.ini");
  TDBGridEx* a = Grid({"SID", "STATUS", "MACHINE"}, "g1");
  a->Columns()->Items(0)->SetWidth(30);
  a->Columns()->Items(1)->SetWidth(31);
  a->Columns()->Items(2)->SetWidth(32);
  a->SaveColumnsLayoutTo(&store, "S", true);
  a->SaveColumnsLayoutTo(&store, "S", true);  // saving twice keeps one value per column
  std::vector<std::string> idents;
  store.ReadSection("S", idents);
  EXPECT_EQ(idents.size(), 3u);

  // a grid with STATUS, MACHINE, PROGRAM takes STATUS's and MACHINE's values, leaves PROGRAM alone
  TSessionForm other(nullptr);
  TDBGridEx* b = Grid({"STATUS", "MACHINE", "PROGRAM"}, "g1", &other);
  b->Columns()->Items(2)->SetWidth(77);
  b->RestoreColumnsLayoutFrom(&store, "S", crpColWidths);
  EXPECT_EQ(b->Columns()->Items(0)->Width(), 31);
  EXPECT_EQ(b->Columns()->Items(1)->Width(), 32);
  EXPECT_EQ(b->Columns()->Items(2)->Width(), 77);
  EXPECT_EQ(Order(b), "STATUS,MACHINE,PROGRAM");  // flag 2 only: nothing else changes

  // stored indexes 2, 0, 1 for SID, STATUS, MACHINE give STATUS, MACHINE, SID
  store.WriteString("S", "g1.SID", "2,30,0,1,0,7,0");
  store.WriteString("S", "g1.STATUS", "0,31,0,1,0,7,0");
  store.WriteString("S", "g1.MACHINE", "1,32,0,1,0,7,0");
  a->RestoreColumnsLayoutFrom(&store, "S", crpAll);
  EXPECT_EQ(Order(a), "STATUS,MACHINE,SID");
}

TEST_F(GridLayoutStore, WordsSplitOnBlanksAndCommasWithFallBacks) {
  TIniFile store(dir.Path() + "/layout.ini");
  TDBGridEx* g = Grid({"SID", "STATUS", "MACHINE", "PROGRAM"}, "g");
  g->Columns()->Items(3)->SetDropDownRows(9);
  store.WriteString("S", "g.SID", "3, 80");
  store.WriteString("S", "g.STATUS", "x,55,9,0");  // a bad index, a marker out of range, hidden
  g->RestoreColumnsLayoutFrom(&store, "S", crpAll);
  EXPECT_EQ(Order(g), "STATUS,MACHINE,PROGRAM,SID");
  TColumnEx* sid = g->Columns()->Items(3);
  EXPECT_EQ(sid->Width(), 80);
  EXPECT_TRUE(sid->Visible());
  EXPECT_EQ(sid->Title()->SortMarker(), smNoneEx);
  EXPECT_EQ(sid->DropDownRows(), 7u);
  TColumnEx* status = g->Columns()->Items(0);
  EXPECT_EQ(status->Width(), 55);
  EXPECT_FALSE(status->Visible());
  EXPECT_EQ(status->Title()->SortMarker(), smNoneEx);
  EXPECT_EQ(g->Columns()->Items(2)->DropDownRows(), 9u);  // PROGRAM: no value, untouched

  EXPECT_EQ(ExtractWord(2, " ,3,, 80 ", " ,"), "80");
  EXPECT_EQ(ExtractWord(3, "3, 80", " ,"), "");
  EXPECT_EQ(WordPosition(2, "Ид, Имя", " ,"), 7);  // bytes of a character are never delimiters
}

// A stored width no one could have dragged a column to (a file gone wrong) is read as no width: the
// column keeps its own, the titles over several columns add up, and the grid saves back what it shows.
TEST_F(GridLayoutStore, WidthsOutOfRangeAreReadAsNone) {
  TRegIniFile store("Software\\Talvik");
  TDBGridEx* g = Grid({"SID", "STATUS", "MACHINE", "PROGRAM"});
  g->SetUseMultiTitle(true);
  g->Columns()->Items(2)->Title()->SetCaption("Wait|Machine");
  g->Columns()->Items(3)->Title()->SetCaption("Wait|Program");
  std::vector<int> own;
  for (int i = 0; i < 4; ++i) own.push_back(g->Columns()->Items(i)->Width());
  store.WriteString("TSessionFormdbgSession", "dbgSession.SID", "0,2000000000,0,1,0,7,0");
  store.WriteString("TSessionFormdbgSession", "dbgSession.STATUS", "1,-5,0,1,0,7,-2147483648");
  store.WriteString("TSessionFormdbgSession", "dbgSession.MACHINE", "2,2147483647,0,1,0,7,2147483647");
  store.WriteString("TSessionFormdbgSession", "dbgSession.PROGRAM", "3,2147483647,0,1,0,7,0");
  g->RestoreColumnsLayout(&store, crpAll);
  form->Show();
  Application->ProcessMessages();
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(g->Columns()->Items(i)->Width(), own[static_cast<size_t>(i)]) << i;
    EXPECT_GE(g->Columns()->Items(i)->DropDownWidth(), 0) << i;
    EXPECT_LE(g->Columns()->Items(i)->DropDownWidth(), 10000) << i;
  }
  EXPECT_EQ(Order(g), "SID,STATUS,MACHINE,PROGRAM");
  g->SaveColumnsLayout(&store);
  EXPECT_EQ(store.ReadString("TSessionFormdbgSession", "dbgSession.SID", ""),
            "0," + std::to_string(own[0]) + ",0,1,0,7,0");

  // widths a user can drag to are read as they are
  store.WriteString("TSessionFormdbgSession", "dbgSession.SID", "0,0,0,1,0,7,0");
  store.WriteString("TSessionFormdbgSession", "dbgSession.STATUS", "1,3000,0,1,0,7,250");
  g->RestoreColumnsLayout(&store, crpAll);
  EXPECT_EQ(g->Columns()->Items(0)->Width(), 0);
  EXPECT_EQ(g->Columns()->Items(1)->Width(), 3000);
  EXPECT_EQ(g->Columns()->Items(1)->DropDownWidth(), 250);
}

TEST_F(GridLayoutStore, RestoredMarkersSortOnceAndAutoFitKeepsProportions) {
  TIniFile store(dir.Path() + "/layout.ini");
  TDBGridEx* g = Grid({"SID", "STATUS", "MACHINE"}, "g");
  g->SetOptionsEx(g->OptionsEx() + dghAutoSortMarking);
  int announced = 0;
  g->OnSortMarkingChanged = [&](TObject*) { ++announced; };
  store.WriteString("S", "g.SID", "0,40,2,1,2,7,0");
  store.WriteString("S", "g.STATUS", "1,40,1,1,1,7,0");
  g->RestoreColumnsLayoutFrom(&store, "S", crpAll);
  EXPECT_EQ(announced, 1);
  EXPECT_EQ(g->Columns()->Items(1)->Title()->SortIndex(), 1);
  EXPECT_EQ(g->Columns()->Items(0)->Title()->SortIndex(), 2);
  ASSERT_EQ(g->SortMarkedColumns().size(), 2u);
  EXPECT_EQ(g->SortMarkedColumns()[0]->FieldName(), "STATUS");
  g->RestoreColumnsLayoutFrom(&store, "S", crpAll);
  EXPECT_EQ(announced, 1);  // nothing changed: no new sorting
  g->RestoreColumnsLayoutFrom(&store, "S", crpColWidths);
  EXPECT_EQ(announced, 1);

  // with auto-fit the restored widths are the proportions spread over the client width
  store.WriteString("S", "g.SID", "0,100,2,1,2,7,0");
  store.WriteString("S", "g.STATUS", "1,200,1,1,1,7,0");
  store.WriteString("S", "g.MACHINE", "2,100,0,1,0,7,0");
  g->SetAutoFitColWidths(true);
  g->RestoreColumnsLayoutFrom(&store, "S", crpColWidths);
  EXPECT_TRUE(g->AutoFitColWidths());
  const int a = g->Columns()->Items(0)->Width(), b = g->Columns()->Items(1)->Width();
  EXPECT_NEAR(b, 2 * a, 2);
}

}  // namespace
