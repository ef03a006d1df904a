// The options dialog's SQL editor: the custom query, editable, in the session window's colours.
#include "app/OptionF.h"
#include "editor/CodeEdit.h"
#include "editor/CodeEditKeyCmds.h"
#include "editor/CodeHighlighterSQL.h"

namespace {

constexpr int kEditorFontHeight = 13;
// The name the session window gives its highlighter.
constexpr const char* kHighlighterName = "CodeSQLHighlighter";

// The session window's highlighter; one of the dialog's own, coloured alike, when there is none.
TCodeSQLHighlighter* SessionHighlighter(TComponent* Owner, TCustomForm* Sessions) {
  if (Sessions)
    if (auto* h = dynamic_cast<TCodeSQLHighlighter*>(Sessions->FindComponent(kHighlighterName))) return h;
  auto* own = new TCodeSQLHighlighter(Owner);
  own->SetSQLDialect(sqlOracle);
  own->CommentAttri()->SetForeground(clGray);
  own->SQLPlusAttri()->SetForeground(clNavy);
  own->StringAttri()->SetForeground(clGreen);
  return own;
}

}  // namespace

void TOptionsForm::CreateCustomEditor(TWinControl* Parent, TCustomForm* Sessions) {
  seCustom = new TCodeEdit(this);
  seCustom->SetName("seCustom");
  seCustom->SetParent(Parent);
  seCustom->SetAlign(alClient);
  seCustom->Font()->SetName("Courier New");
  seCustom->Font()->SetHeight(-kEditorFontHeight);
  seCustom->Gutter()->Font()->SetName("Terminal");
  CodeSQLHighlighter = SessionHighlighter(this, Sessions);
  seCustom->SetHighlighter(CodeSQLHighlighter);
  // context help moves from F1 to Ctrl+F1
  TCodeEditKeyStrokes* keys = seCustom->Keystrokes();
  const int help = keys->FindCommand(ecContextHelp);
  if (help >= 0) keys->Items(help)->SetShortCut(ShortCut(VK_F1, TShiftState{ssCtrl}));
}

std::string TOptionsForm::CustomSqlText() const {
  return seCustom->Text();
}

void TOptionsForm::SetCustomSqlText(const std::string& Value) {
  seCustom->SetText(Value);
}
