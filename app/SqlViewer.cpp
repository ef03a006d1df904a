// The read-only statement viewers and their shared highlighter.
#include "app/SqlViewer.h"

#include "editor/CodeEdit.h"
#include "editor/CodeEditKeyCmds.h"
#include "editor/CodeHighlighterSQL.h"
#include "platform/gui/Menus.h"
#include "platform/rtl/Classes.h"

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

void ShowStatement(TCodeEdit* Viewer, const std::string& Text) {
  TStrings* lines = Viewer->Lines();
  const bool fromStart = Viewer->TopLine() == 1 && Viewer->LeftChar() == 1 &&
                         Viewer->CaretXY() == TBufferCoord{1, 1} && !Viewer->SelAvail() &&
                         !Viewer->Modified() && !Viewer->CanUndo() && !Viewer->CanRedo();
  if (fromStart) {
    TStringList shown;
    shown.SetText(Text);
    bool same = shown.Count() == lines->Count();
    for (int i = 0; same && i < shown.Count(); ++i) same = shown.Strings(i) == lines->Strings(i);
    if (same) return;
  }
  lines->SetText(Text);
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
  // a statement on one line of thousands of characters can be scrolled and read to its end
  e->SetOptions(e->Options() + eoAutoSizeMaxScrollWidth);
  if (Popup) e->SetPopupMenu(Popup);
  MoveContextHelpToCtrlF1(e);
  return e;
}
