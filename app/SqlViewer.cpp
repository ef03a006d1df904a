// The read-only statement viewers and their shared highlighter.
#include "app/SqlViewer.h"

#include "editor/CodeEdit.h"
#include "editor/CodeEditKeyCmds.h"
#include "editor/CodeHighlighterSQL.h"
#include "platform/gui/Menus.h"

namespace {

constexpr int kFontHeight = 13;

}  // namespace

TCodeSQLHighlighter* NewSqlHighlighter(TComponent* Owner, const std::string& Name) {
  auto* h = new TCodeSQLHighlighter(Owner);
  h->SetName(Name);
  h->SetSQLDialect(sqlOracle);
  h->CommentAttri()->SetForeground(clGray);
  h->SQLPlusAttri()->SetForeground(clNavy);
  h->StringAttri()->SetForeground(clGreen);
  h->SetDefaultFilter("SQL Files (*.sql)|*.sql");
  return h;
}

void MoveContextHelpToCtrlF1(TCodeEdit* Editor) {
  TCodeEditKeyStrokes* keys = Editor->Keystrokes();
  const int help = keys->FindCommand(ecContextHelp);
  if (help >= 0) keys->Items(help)->SetShortCut(ShortCut(VK_F1, TShiftState{ssCtrl}));
}

TCodeEdit* NewSqlViewer(TComponent* Owner, TWinControl* Parent, const std::string& Name,
                        TCodeSQLHighlighter* Highlighter, TPopupMenu* Popup) {
  auto* e = new TCodeEdit(Owner);
  e->SetName(Name);
  e->SetParent(Parent);
  e->SetAlign(alClient);
  e->Font()->SetName("Courier New");
  e->Font()->SetHeight(-kFontHeight);
  e->Gutter()->SetVisible(false);
  e->SetHighlighter(Highlighter);
  e->SetReadOnly(true);
  if (Popup) e->SetPopupMenu(Popup);
  MoveContextHelpToCtrlF1(e);
  return e;
}
