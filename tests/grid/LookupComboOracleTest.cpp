// The look-up combo box on the simulated instance: SCOTT's departments listed through an Oracle
// dataset, the chosen department number written into an employee's record and posted.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "GridFormSupport.h"
#include "grid/DBLookupComboboxEx.h"

namespace {

using namespace gridtest;

class LookupComboOnInstance : public FormOnInstance {
 protected:
  LookupComboOnInstance() : FormOnInstance(TRect(20, 20, 420, 220)) {}
  void SetUp() override {
    FormOnInstance::SetUp();
    other = new TEdit(form.get());
    other->SetParent(form.get());
    other->SetBounds(10, 150, 100, 21);
    form->Show();
  }
  TEdit* other = nullptr;
};

TEST_F(LookupComboOnInstance, ListsScottsDepartmentsAndWritesTheChosenDeptno) {
  TDataSet* depts = sim->OpenQuery("select deptno, dname, loc from scott.dept order by deptno");
  TDataSet* emps =
      sim->OpenQuery("select e.rowid, e.empno, e.ename, e.deptno from scott.emp e where e.ename = 'SMITH'");
  ASSERT_EQ(emps->FieldByName("DEPTNO")->AsInteger(), 20);
  TDataSource deptSource(nullptr), empSource(nullptr);
  deptSource.SetDataSet(depts);
  empSource.SetDataSet(emps);
  auto* combo = new TDBLookupComboboxEx(form.get());
  combo->SetParent(form.get());
  combo->SetBounds(10, 10, 160, 21);
  combo->SetListSource(&deptSource);
  combo->SetKeyField("DEPTNO");
  combo->SetListField("DNAME;LOC");
  combo->SetDataSource(&empSource);
  combo->SetDataField("DEPTNO");
  EXPECT_EQ(combo->Text(), "RESEARCH");
  combo->SetFocus();
  talvik::gui::ProcessPending();
  combo->DropDown();
  ASSERT_TRUE(combo->DroppedDown());
  EXPECT_EQ(combo->DataList()->RowCount(), 4);  // ACCOUNTING, RESEARCH, SALES, OPERATIONS
  combo->DataList()->Perform(WM_KEYDOWN, VK_DOWN, 0);
  combo->Perform(WM_CHAR, U'\r', 0);
  EXPECT_FALSE(combo->DroppedDown());
  EXPECT_EQ(combo->Text(), "SALES");
  EXPECT_EQ(emps->FieldByName("DEPTNO")->AsInteger(), 30);
  other->SetFocus();
  talvik::gui::ProcessPending();
  emps->Post();
  TDataSet* check = sim->OpenQuery("select deptno from scott.emp where ename = 'SMITH'");
  EXPECT_EQ(check->FieldByName("DEPTNO")->AsInteger(), 30);
}

}  // namespace
