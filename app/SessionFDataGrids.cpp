// The class library's plain data grids of the detail panel: the two lock queues and the cursor list.
// (They live apart from the extended grids, whose unit declares option names of its own.)
#include "app/SessionF.h"
#include "oracle_data/OracleData.h"
#include "platform/gui/DBGrids.h"

namespace {

constexpr int kCursorGridWidth = 289;
constexpr int kCursorTextWidth = 400;

// SID and user name, with the widths of each queue grid.
struct QueueGridDef {
  TDBGrid* TSessionForm::*grid;
  const char* name;
  TDataSource* TSessionForm::*source;
  int sidWidth;
  int userWidth;
};
constexpr QueueGridDef kQueueGrids[] = {
    {&TSessionForm::dbgLockForWhom, "dbgLockForWhom", &TSessionForm::dsLockForWhom, 33, 177},
    {&TSessionForm::dbgLockWho, "dbgLockWho", &TSessionForm::dsLockWho, 32, 173},
};

TDBGrid* NewGrid(TSessionForm* Form, TWinControl* Parent, const char* Name, TDataSource* Source) {
  auto* g = new TDBGrid(Form);
  g->SetName(Name);
  g->SetParent(Parent);
  g->SetReadOnly(true);
  g->SetDataSource(Source);
  return g;
}

}  // namespace

void TSessionForm::CreateQueueGrids(TWinControl* ForWhomParent, TWinControl* WhoParent) {
  TWinControl* parents[] = {ForWhomParent, WhoParent};
  for (int i = 0; i < 2; ++i) {
    const QueueGridDef& d = kQueueGrids[i];
    TDBGrid* g = NewGrid(this, parents[i], d.name, this->*d.source);
    g->SetAlign(alClient);
    g->SetOptions({dgTitles, dgIndicator, dgColumnResize, dgColLines, dgRowLines, dgTabs, dgRowSelect,
                   dgConfirmDelete, dgCancelOnExit});
    TColumn* sid = g->Columns()->Add();
    sid->SetFieldName("SID");
    sid->SetWidth(d.sidWidth);
    TColumn* user = g->Columns()->Add();
    user->SetFieldName("USERNAME");
    user->Title()->SetCaption("Пользователь");
    user->SetWidth(d.userWidth);
    g->OnDblClick = [this](TObject* s) { dbgLockForWhomDblClick(s); };
    this->*d.grid = g;
  }
}

void TSessionForm::CreateCursorGrid() {
  dbCursors = NewGrid(this, tsCursors, "dbCursors", dsCursors);
  dbCursors->SetWidth(kCursorGridWidth);
  dbCursors->SetAlign(alLeft);
  dbCursors->SetOptions({dgIndicator, dgColumnResize, dgColLines, dgRowLines, dgTabs, dgRowSelect,
                         dgConfirmDelete, dgCancelOnExit});
  TColumn* text = dbCursors->Columns()->Add();
  text->SetFieldName("SQL_TEXT");
  text->SetWidth(kCursorTextWidth);
}

void TSessionForm::FocusCursorGrid() {
  if (dbCursors->CanFocus()) dbCursors->SetFocus();
}
