// The grid over the session monitor's own statement on the simulated instance: columns in the order
// of the select list, the focus following a refresh, and a read-only dataset that cannot be edited.
#include <gtest/gtest.h>

#include <memory>

#include "GridFormSupport.h"
#include "grid/DBGridEx.h"

namespace {

using namespace gridtest;

class GridOnInstance : public FormOnInstance {
 protected:
  GridOnInstance() : FormOnInstance(TRect(0, 0, 700, 400)) {}
  void SetUp() override {
    FormOnInstance::SetUp();
    grid = new TDBGridEx(form.get());
    grid->SetParent(form.get());
    grid->SetBounds(0, 0, 680, 380);
    form->Show();
  }
  void TearDown() override {
    form.reset();
    source.reset();
    FormOnInstance::TearDown();
  }
  void Open(bool readOnly) {
    sim->SetReadOnly(readOnly);
    ds = sim->DataSet();
    source = std::make_unique<TDataSource>(nullptr);
    source->SetDataSet(ds);
    grid->SetDataSource(source.get());
    ds->Open();
  }
  TDBGridEx* grid = nullptr;
  TDataSet* ds = nullptr;
  std::unique_ptr<TDataSource> source;
};

TEST_F(GridOnInstance, ColumnsInSelectListOrderAndTheFocusFollowsARefresh) {
  Open(true);
  ASSERT_GT(grid->Columns()->Count(), 5);
  const char* first[] = {"SID", "SERVER_PID", "SERIAL", "ORACLE_USER", "STATUS"};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(grid->Columns()->Items(i)->FieldName(), first[i]);
  for (int i = 0; i < grid->Columns()->Count(); ++i)
    EXPECT_EQ(grid->Columns()->Items(i)->Field()->FieldNo(), i + 1) << grid->Columns()->Items(i)->FieldName();
  ds->Last();
  EXPECT_EQ(grid->Row(), grid->DataLink()->ActiveRecord() + grid->TitleOffset());
  ds->Refresh();
  EXPECT_EQ(grid->Row(), grid->DataLink()->ActiveRecord() + grid->TitleOffset());
  EXPECT_EQ(grid->RowCount(), grid->TitleOffset() + grid->DataLink()->RecordCount());
}

TEST_F(GridOnInstance, AReadOnlyDatasetTakesNoEdits) {
  Open(true);
  grid->SetSelectedIndex(3);
  grid->ShowEditor();
  ASSERT_NE(grid->InplaceEditor(), nullptr);
  const std::string before = ds->FieldByName("ORACLE_USER")->AsString();
  grid->InplaceEditor()->SetFocus();
  talvik::gui::InjectKey('X', true, U'x', {});
  talvik::gui::InjectKey('X', false, 0, {});
  talvik::gui::ProcessPending();
  EXPECT_EQ(ds->State(), dsBrowse);
  EXPECT_EQ(ds->FieldByName("ORACLE_USER")->AsString(), before);
  EXPECT_EQ(grid->InplaceEditor()->Text(), before);
}

// The session window's refresh: the middle row's session is found again after the statement ran
// anew, and the cursor comes back to the same screen row, while the workload's sessions come and go.
TEST_F(GridOnInstance, SaveRefreshRestoreKeepsTheScreenRowWhileSessionsComeAndGo) {
  sim->StartWorkload(60);
  Open(true);
  ds->Last();
  ASSERT_GE(ds->RecordCount(), 45);
  grid->SetFlat(true);
  grid->SetReadOnly(true);
  grid->SetOptionsEx(grid->OptionsEx() + dghAutoSortMarking + dghMultiSortMarking + dghIncSearch +
                     dghPreferIncSearch + dghRowHighlight);
  const int rows = grid->DataLink()->RecordCount();
  ASSERT_GT(rows, 5);
  ds->First();
  ds->MoveBy(rows + 3);  // a window further down, the cursor on one of its rows
  const int row = grid->Row(), active = grid->DataLink()->ActiveRecord();
  for (int i = 0; i < 5; ++i) {
    grid->SaveBookmark();
    sim->StepWorkload();
    ds->Refresh();
    grid->RestoreBookmark();
    EXPECT_EQ(grid->DataLink()->ActiveRecord(), active) << i;
    EXPECT_EQ(grid->Row(), row) << i;
  }
}

}  // namespace
