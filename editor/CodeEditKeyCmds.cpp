#include "editor/CodeEditKeyCmds.h"

#include <charconv>

#include "editor/CodeEditStrConst.h"

namespace {

const TIdentMapEntry kEditorCommandNames[] = {
    {ecNone, "ecNone"},
    {ecLeft, "ecLeft"},
    {ecRight, "ecRight"},
    {ecUp, "ecUp"},
    {ecDown, "ecDown"},
    {ecWordLeft, "ecWordLeft"},
    {ecWordRight, "ecWordRight"},
    {ecLineStart, "ecLineStart"},
    {ecLineEnd, "ecLineEnd"},
    {ecPageUp, "ecPageUp"},
    {ecPageDown, "ecPageDown"},
    {ecPageLeft, "ecPageLeft"},
    {ecPageRight, "ecPageRight"},
    {ecPageTop, "ecPageTop"},
    {ecPageBottom, "ecPageBottom"},
    {ecEditorTop, "ecEditorTop"},
    {ecEditorBottom, "ecEditorBottom"},
    {ecGotoXY, "ecGotoXY"},
    {ecSelLeft, "ecSelLeft"},
    {ecSelRight, "ecSelRight"},
    {ecSelUp, "ecSelUp"},
    {ecSelDown, "ecSelDown"},
    {ecSelWordLeft, "ecSelWordLeft"},
    {ecSelWordRight, "ecSelWordRight"},
    {ecSelLineStart, "ecSelLineStart"},
    {ecSelLineEnd, "ecSelLineEnd"},
    {ecSelPageUp, "ecSelPageUp"},
    {ecSelPageDown, "ecSelPageDown"},
    {ecSelPageLeft, "ecSelPageLeft"},
    {ecSelPageRight, "ecSelPageRight"},
    {ecSelPageTop, "ecSelPageTop"},
    {ecSelPageBottom, "ecSelPageBottom"},
    {ecSelEditorTop, "ecSelEditorTop"},
    {ecSelEditorBottom, "ecSelEditorBottom"},
    {ecSelGotoXY, "ecSelGotoXY"},
    {ecSelectAll, "ecSelectAll"},
    {ecCopy, "ecCopy"},
    {ecScrollUp, "ecScrollUp"},
    {ecScrollDown, "ecScrollDown"},
    {ecScrollLeft, "ecScrollLeft"},
    {ecScrollRight, "ecScrollRight"},
    {ecInsertMode, "ecInsertMode"},
    {ecOverwriteMode, "ecOverwriteMode"},
    {ecToggleMode, "ecToggleMode"},
    {ecNormalSelect, "ecNormalSelect"},
    {ecColumnSelect, "ecColumnSelect"},
    {ecLineSelect, "ecLineSelect"},
    {ecMatchBracket, "ecMatchBracket"},
    {ecCommentBlock, "ecCommentBlock"},
    {ecGotoMarker0, "ecGotoMarker0"},
    {ecGotoMarker0 + 1, "ecGotoMarker1"},
    {ecGotoMarker0 + 2, "ecGotoMarker2"},
    {ecGotoMarker0 + 3, "ecGotoMarker3"},
    {ecGotoMarker0 + 4, "ecGotoMarker4"},
    {ecGotoMarker0 + 5, "ecGotoMarker5"},
    {ecGotoMarker0 + 6, "ecGotoMarker6"},
    {ecGotoMarker0 + 7, "ecGotoMarker7"},
    {ecGotoMarker0 + 8, "ecGotoMarker8"},
    {ecGotoMarker9, "ecGotoMarker9"},
    {ecSetMarker0, "ecSetMarker0"},
    {ecSetMarker0 + 1, "ecSetMarker1"},
    {ecSetMarker0 + 2, "ecSetMarker2"},
    {ecSetMarker0 + 3, "ecSetMarker3"},
    {ecSetMarker0 + 4, "ecSetMarker4"},
    {ecSetMarker0 + 5, "ecSetMarker5"},
    {ecSetMarker0 + 6, "ecSetMarker6"},
    {ecSetMarker0 + 7, "ecSetMarker7"},
    {ecSetMarker0 + 8, "ecSetMarker8"},
    {ecSetMarker9, "ecSetMarker9"},
    {ecContextHelp, "ecContextHelp"},
    {ecDeleteLastChar, "ecDeleteLastChar"},
    {ecDeleteChar, "ecDeleteChar"},
    {ecDeleteWord, "ecDeleteWord"},
    {ecDeleteLastWord, "ecDeleteLastWord"},
    {ecDeleteBOL, "ecDeleteBOL"},
    {ecDeleteEOL, "ecDeleteEOL"},
    {ecDeleteLine, "ecDeleteLine"},
    {ecClearAll, "ecClearAll"},
    {ecLineBreak, "ecLineBreak"},
    {ecInsertLine, "ecInsertLine"},
    {ecChar, "ecChar"},
    {ecImeStr, "ecImeStr"},
    {ecUndo, "ecUndo"},
    {ecRedo, "ecRedo"},
    {ecCut, "ecCut"},
    {ecPaste, "ecPaste"},
    {ecBlockIndent, "ecBlockIndent"},
    {ecBlockUnindent, "ecBlockUnindent"},
    {ecTab, "ecTab"},
    {ecShiftTab, "ecShiftTab"},
    {ecUpperCase, "ecUpperCase"},
    {ecLowerCase, "ecLowerCase"},
    {ecToggleCase, "ecToggleCase"},
    {ecTitleCase, "ecTitleCase"},
    {ecUpperCaseBlock, "ecUpperCaseBlock"},
    {ecLowerCaseBlock, "ecLowerCaseBlock"},
    {ecToggleCaseBlock, "ecToggleCaseBlock"},
    {ecString, "ecString"},
    {ecAutoCompletion, "ecAutoCompletion"},
    {ecUserFirst, "ecUserFirst"},
};

bool SameTextAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

}  // namespace

const TIdentMapEntry* EditorCommandNames(int& count) {
  count = static_cast<int>(std::size(kEditorCommandNames));
  return kEditorCommandNames;
}

std::string EditorCommandToIdent(TCodeEditorCommand command) {
  for (const auto& e : kEditorCommandNames)
    if (e.Value == command) return e.Name;
  return std::to_string(command);
}

bool IdentToEditorCommand(std::string_view ident, TCodeEditorCommand& command) {
  for (const auto& e : kEditorCommandNames)
    if (SameTextAscii(ident, e.Name)) {
      command = static_cast<TCodeEditorCommand>(e.Value);
      return true;
    }
  unsigned value = 0;
  auto [p, ec] = std::from_chars(ident.data(), ident.data() + ident.size(), value);
  if (ec != std::errc() || p != ident.data() + ident.size() || ident.empty() || value > 0xFFFF) return false;
  command = static_cast<TCodeEditorCommand>(value);
  return true;
}

void TCodeEditKeyStroke::Assign(TPersistent* source) {
  auto* src = dynamic_cast<TCodeEditKeyStroke*>(source);
  if (!src) {
    TCollectionItem::Assign(source);
    return;
  }
  command_ = src->command_;
  key_ = src->key_;
  key2_ = src->key2_;
  shift_ = src->shift_;
  shift2_ = src->shift2_;
}

std::string TCodeEditKeyStroke::GetDisplayName() const {
  std::string r = EditorCommandToIdent(command_);
  r.append(" - ").append(ShortCutToText(ShortCut()));
  if (ShortCut() != 0) r.append(" ").append(ShortCutToText(ShortCut2()));
  if (r.empty()) r = TCollectionItem::GetDisplayName();
  return r;
}

void TCodeEditKeyStroke::SetShortCut(TShortCut value) {
  if (value == ShortCut()) return;
  if (value != 0) {
    if (auto* keys = dynamic_cast<TCodeEditKeyStrokes*>(Collection())) {
      int dup = keys->FindShortcut2(value, ShortCut2());
      if (dup >= 0 && keys->Items(dup) != this) throw ECodeKeyError(CodeEditStr::SDuplicateShortCut);
    }
  }
  ShortCutToKey(value, key_, shift_);
}

void TCodeEditKeyStroke::SetShortCut2(TShortCut value) {
  if (value == ShortCut2()) return;
  if (value != 0) {
    if (auto* keys = dynamic_cast<TCodeEditKeyStrokes*>(Collection())) {
      int dup = keys->FindShortcut2(ShortCut(), value);
      if (dup >= 0 && keys->Items(dup) != this) throw ECodeKeyError(CodeEditStr::SDuplicateShortCut);
    }
  }
  ShortCutToKey(value, key2_, shift2_);
}

TCodeEditKeyStrokes::TCodeEditKeyStrokes(TPersistent* owner)
    : TCollection(&CollectionItemClass<TCodeEditKeyStroke>), owner_(owner) {}

TCodeEditKeyStroke* TCodeEditKeyStrokes::Add() {
  return static_cast<TCodeEditKeyStroke*>(TCollection::Add());
}

void TCodeEditKeyStrokes::AddKey(TCodeEditorCommand command, uint16_t key, TShiftState shift) {
  TCodeEditKeyStroke* k = Add();
  k->SetKey(key);
  k->SetShift(shift);
  k->SetCommand(command);
}

void TCodeEditKeyStrokes::Assign(TPersistent* source) {
  auto* src = dynamic_cast<TCodeEditKeyStrokes*>(source);
  if (!src) {
    TCollection::Assign(source);
    return;
  }
  if (src == this) return;
  BeginUpdate();
  try {
    Clear();
    for (int i = 0; i < src->Count(); ++i) Add()->Assign(src->Items(i));
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

int TCodeEditKeyStrokes::FindCommand(TCodeEditorCommand command) const {
  for (int i = 0; i < Count(); ++i)
    if (Items(i)->Command() == command) return i;
  return -1;
}

int TCodeEditKeyStrokes::FindKeycode(uint16_t code, TShiftState shift) const {
  for (int i = 0; i < Count(); ++i) {
    const TCodeEditKeyStroke* k = Items(i);
    if (k->Key() == code && k->Shift() == shift && k->Key2() == 0) return i;
  }
  return -1;
}

int TCodeEditKeyStrokes::FindKeycode2(uint16_t code1, TShiftState shift1, uint16_t code2,
                                      TShiftState shift2) const {
  for (int i = 0; i < Count(); ++i) {
    const TCodeEditKeyStroke* k = Items(i);
    if (k->Key() == code1 && k->Shift() == shift1 && k->Key2() == code2 && k->Shift2() == shift2) return i;
  }
  return -1;
}

int TCodeEditKeyStrokes::FindShortcut(TShortCut shortCut) const {
  for (int i = 0; i < Count(); ++i)
    if (Items(i)->ShortCut() == shortCut) return i;
  return -1;
}

int TCodeEditKeyStrokes::FindShortcut2(TShortCut shortCut, TShortCut shortCut2) const {
  for (int i = 0; i < Count(); ++i)
    if (Items(i)->ShortCut() == shortCut && Items(i)->ShortCut2() == shortCut2) return i;
  return -1;
}

void TCodeEditKeyStrokes::ResetDefaults() {
  BeginUpdate();
  try {
    Clear();
    const TShiftState none;
    const TShiftState sh{ssShift};
    const TShiftState ct{ssCtrl};
    const TShiftState shCt{ssShift, ssCtrl};
    const TShiftState al{ssAlt};
    const TShiftState shAl{ssShift, ssAlt};
    AddKey(ecUp, VK_UP, none);
    AddKey(ecSelUp, VK_UP, sh);
    AddKey(ecScrollUp, VK_UP, ct);
    AddKey(ecDown, VK_DOWN, none);
    AddKey(ecSelDown, VK_DOWN, sh);
    AddKey(ecScrollDown, VK_DOWN, ct);
    AddKey(ecLeft, VK_LEFT, none);
    AddKey(ecSelLeft, VK_LEFT, sh);
    AddKey(ecWordLeft, VK_LEFT, ct);
    AddKey(ecSelWordLeft, VK_LEFT, shCt);
    AddKey(ecRight, VK_RIGHT, none);
    AddKey(ecSelRight, VK_RIGHT, sh);
    AddKey(ecWordRight, VK_RIGHT, ct);
    AddKey(ecSelWordRight, VK_RIGHT, shCt);
    AddKey(ecPageDown, VK_NEXT, none);
    AddKey(ecSelPageDown, VK_NEXT, sh);
    AddKey(ecPageBottom, VK_NEXT, ct);
    AddKey(ecSelPageBottom, VK_NEXT, shCt);
    AddKey(ecPageUp, VK_PRIOR, none);
    AddKey(ecSelPageUp, VK_PRIOR, sh);
    AddKey(ecPageTop, VK_PRIOR, ct);
    AddKey(ecSelPageTop, VK_PRIOR, shCt);
    AddKey(ecLineStart, VK_HOME, none);
    AddKey(ecSelLineStart, VK_HOME, sh);
    AddKey(ecEditorTop, VK_HOME, ct);
    AddKey(ecSelEditorTop, VK_HOME, shCt);
    AddKey(ecLineEnd, VK_END, none);
    AddKey(ecSelLineEnd, VK_END, sh);
    AddKey(ecEditorBottom, VK_END, ct);
    AddKey(ecSelEditorBottom, VK_END, shCt);
    AddKey(ecToggleMode, VK_INSERT, none);
    AddKey(ecCopy, VK_INSERT, ct);
    AddKey(ecCut, VK_DELETE, sh);
    AddKey(ecPaste, VK_INSERT, sh);
    AddKey(ecDeleteChar, VK_DELETE, none);
    AddKey(ecDeleteLastChar, VK_BACK, none);
    AddKey(ecDeleteLastChar, VK_BACK, sh);
    AddKey(ecDeleteLastWord, VK_BACK, ct);
    AddKey(ecUndo, VK_BACK, al);
    AddKey(ecRedo, VK_BACK, shAl);
    AddKey(ecLineBreak, VK_RETURN, none);
    AddKey(ecLineBreak, VK_RETURN, sh);
    AddKey(ecTab, VK_TAB, none);
    AddKey(ecShiftTab, VK_TAB, sh);
    AddKey(ecContextHelp, VK_F1, none);
    AddKey(ecSelectAll, 'A', ct);
    AddKey(ecCopy, 'C', ct);
    AddKey(ecPaste, 'V', ct);
    AddKey(ecCut, 'X', ct);
    AddKey(ecBlockIndent, 'I', shCt);
    AddKey(ecBlockUnindent, 'U', shCt);
    AddKey(ecLineBreak, 'M', ct);
    AddKey(ecInsertLine, 'N', ct);
    AddKey(ecDeleteWord, 'T', ct);
    AddKey(ecDeleteLine, 'Y', ct);
    AddKey(ecDeleteEOL, 'Y', shCt);
    AddKey(ecUndo, 'Z', ct);
    AddKey(ecRedo, 'Z', shCt);
    for (int i = 0; i <= 9; ++i)
      AddKey(static_cast<TCodeEditorCommand>(ecGotoMarker0 + i), static_cast<uint16_t>('0' + i), ct);
    for (int i = 0; i <= 9; ++i)
      AddKey(static_cast<TCodeEditorCommand>(ecSetMarker0 + i), static_cast<uint16_t>('0' + i), shCt);
    AddKey(ecNormalSelect, 'N', shCt);
    AddKey(ecColumnSelect, 'C', shCt);
    AddKey(ecLineSelect, 'L', shCt);
    AddKey(ecMatchBracket, 'B', shCt);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TCodeEditKeyStroke::DefineProperties(TFiler* filer) {
  TCollectionItem::DefineProperties(filer);
  filer->DefineProperty(
      "Command",
      [this](TReader* r) {
        TCodeEditorCommand c = ecNone;
        std::string ident = r->ReadIdent();
        if (!IdentToEditorCommand(ident, c)) throw ECodeKeyError("Invalid editor command: " + ident);
        command_ = c;
      },
      [this](TWriter* w) { w->WriteIdent(EditorCommandToIdent(command_)); }, true);
  filer->DefineProperty(
      "ShortCut", [this](TReader* r) { SetShortCut(static_cast<TShortCut>(r->ReadInteger())); },
      [this](TWriter* w) { w->WriteInteger(ShortCut()); }, true);
  filer->DefineProperty(
      "ShortCut2", [this](TReader* r) { SetShortCut2(static_cast<TShortCut>(r->ReadInteger())); },
      [this](TWriter* w) { w->WriteInteger(ShortCut2()); }, key2_ != 0);
}
