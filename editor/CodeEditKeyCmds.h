// Editor commands, their names, and the key bindings that map keystrokes to commands.
#pragma once

#include <string>
#include <string_view>

#include "editor/CodeEditTypes.h"
#include "platform/rtl/Classes.h"

TALVIK_DECLARE_EXCEPTION(ECodeKeyError, Exception);

constexpr TCodeEditorCommand ecNone = 0;
constexpr TCodeEditorCommand ecViewCommandFirst = 0;
constexpr TCodeEditorCommand ecViewCommandLast = 500;
constexpr TCodeEditorCommand ecEditCommandFirst = 501;
constexpr TCodeEditorCommand ecEditCommandLast = 1000;

constexpr TCodeEditorCommand ecLeft = 1;
constexpr TCodeEditorCommand ecRight = 2;
constexpr TCodeEditorCommand ecUp = 3;
constexpr TCodeEditorCommand ecDown = 4;
constexpr TCodeEditorCommand ecWordLeft = 5;
constexpr TCodeEditorCommand ecWordRight = 6;
constexpr TCodeEditorCommand ecLineStart = 7;
constexpr TCodeEditorCommand ecLineEnd = 8;
constexpr TCodeEditorCommand ecPageUp = 9;
constexpr TCodeEditorCommand ecPageDown = 10;
constexpr TCodeEditorCommand ecPageLeft = 11;
constexpr TCodeEditorCommand ecPageRight = 12;
constexpr TCodeEditorCommand ecPageTop = 13;
constexpr TCodeEditorCommand ecPageBottom = 14;
constexpr TCodeEditorCommand ecEditorTop = 15;
constexpr TCodeEditorCommand ecEditorBottom = 16;
constexpr TCodeEditorCommand ecGotoXY = 17;

constexpr TCodeEditorCommand ecSelection = 100;  // added to a move, it extends the selection
constexpr TCodeEditorCommand ecSelLeft = ecLeft + ecSelection;
constexpr TCodeEditorCommand ecSelRight = ecRight + ecSelection;
constexpr TCodeEditorCommand ecSelUp = ecUp + ecSelection;
constexpr TCodeEditorCommand ecSelDown = ecDown + ecSelection;
constexpr TCodeEditorCommand ecSelWordLeft = ecWordLeft + ecSelection;
constexpr TCodeEditorCommand ecSelWordRight = ecWordRight + ecSelection;
constexpr TCodeEditorCommand ecSelLineStart = ecLineStart + ecSelection;
constexpr TCodeEditorCommand ecSelLineEnd = ecLineEnd + ecSelection;
constexpr TCodeEditorCommand ecSelPageUp = ecPageUp + ecSelection;
constexpr TCodeEditorCommand ecSelPageDown = ecPageDown + ecSelection;
constexpr TCodeEditorCommand ecSelPageLeft = ecPageLeft + ecSelection;
constexpr TCodeEditorCommand ecSelPageRight = ecPageRight + ecSelection;
constexpr TCodeEditorCommand ecSelPageTop = ecPageTop + ecSelection;
constexpr TCodeEditorCommand ecSelPageBottom = ecPageBottom + ecSelection;
constexpr TCodeEditorCommand ecSelEditorTop = ecEditorTop + ecSelection;
constexpr TCodeEditorCommand ecSelEditorBottom = ecEditorBottom + ecSelection;
constexpr TCodeEditorCommand ecSelGotoXY = ecGotoXY + ecSelection;

constexpr TCodeEditorCommand ecSelectAll = 199;
constexpr TCodeEditorCommand ecCopy = 201;
constexpr TCodeEditorCommand ecScrollUp = 211;
constexpr TCodeEditorCommand ecScrollDown = 212;
constexpr TCodeEditorCommand ecScrollLeft = 213;
constexpr TCodeEditorCommand ecScrollRight = 214;
constexpr TCodeEditorCommand ecInsertMode = 221;
constexpr TCodeEditorCommand ecOverwriteMode = 222;
constexpr TCodeEditorCommand ecToggleMode = 223;
constexpr TCodeEditorCommand ecNormalSelect = 231;
constexpr TCodeEditorCommand ecColumnSelect = 232;
constexpr TCodeEditorCommand ecLineSelect = 233;
constexpr TCodeEditorCommand ecMatchBracket = 250;
constexpr TCodeEditorCommand ecCommentBlock = 251;
constexpr TCodeEditorCommand ecGotoMarker0 = 301;  // ..ecGotoMarker9 = 310
constexpr TCodeEditorCommand ecGotoMarker9 = 310;
constexpr TCodeEditorCommand ecSetMarker0 = 351;  // ..ecSetMarker9 = 360
constexpr TCodeEditorCommand ecSetMarker9 = 360;
constexpr TCodeEditorCommand ecFocusGained = 480;  // no name: never bound to a key
constexpr TCodeEditorCommand ecFocusLost = 481;
constexpr TCodeEditorCommand ecContextHelp = 490;

constexpr TCodeEditorCommand ecDeleteLastChar = 501;
constexpr TCodeEditorCommand ecDeleteChar = 502;
constexpr TCodeEditorCommand ecDeleteWord = 503;
constexpr TCodeEditorCommand ecDeleteLastWord = 504;
constexpr TCodeEditorCommand ecDeleteBOL = 505;
constexpr TCodeEditorCommand ecDeleteEOL = 506;
constexpr TCodeEditorCommand ecDeleteLine = 507;
constexpr TCodeEditorCommand ecClearAll = 508;
constexpr TCodeEditorCommand ecLineBreak = 509;
constexpr TCodeEditorCommand ecInsertLine = 510;
constexpr TCodeEditorCommand ecChar = 511;
constexpr TCodeEditorCommand ecImeStr = 550;
constexpr TCodeEditorCommand ecUndo = 601;
constexpr TCodeEditorCommand ecRedo = 602;
constexpr TCodeEditorCommand ecCut = 603;
constexpr TCodeEditorCommand ecPaste = 604;
constexpr TCodeEditorCommand ecBlockIndent = 610;
constexpr TCodeEditorCommand ecBlockUnindent = 611;
constexpr TCodeEditorCommand ecTab = 612;
constexpr TCodeEditorCommand ecShiftTab = 613;
constexpr TCodeEditorCommand ecUpperCase = 620;
constexpr TCodeEditorCommand ecLowerCase = 621;
constexpr TCodeEditorCommand ecToggleCase = 622;
constexpr TCodeEditorCommand ecTitleCase = 623;
constexpr TCodeEditorCommand ecUpperCaseBlock = 625;
constexpr TCodeEditorCommand ecLowerCaseBlock = 626;
constexpr TCodeEditorCommand ecToggleCaseBlock = 627;
constexpr TCodeEditorCommand ecString = 630;
constexpr TCodeEditorCommand ecAutoCompletion = 650;
constexpr TCodeEditorCommand ecUserFirst = 1001;

struct TIdentMapEntry {
  int Value;
  const char* Name;
};
// The 100 named commands, as used to stream commands by name.
const TIdentMapEntry* EditorCommandNames(int& count);
// The command's name, or its decimal number when it has none.
std::string EditorCommandToIdent(TCodeEditorCommand command);
// The command of a name (without regard to case), or of a decimal number; false when neither.
bool IdentToEditorCommand(std::string_view ident, TCodeEditorCommand& command);

class TCodeEditKeyStrokes;

// One key binding: a keystroke, or a sequence of two, and the command it runs.
class TCodeEditKeyStroke : public TCollectionItem {
  TALVIK_CLASS(TCodeEditKeyStroke, TCollectionItem)
  explicit TCodeEditKeyStroke(TCollection* collection) : TCollectionItem(collection) {}

  void Assign(TPersistent* source) override;
  // Stored as Command (by name), ShortCut and, when set, ShortCut2.
  void DefineProperties(TFiler* filer) override;
  // The same shortcuts and the same command.
  bool SameBinding(const TCodeEditKeyStroke& other) const {
    return key_ == other.key_ && shift_ == other.shift_ && key2_ == other.key2_ && shift2_ == other.shift2_ &&
           command_ == other.command_;
  }

  uint16_t Key() const { return key_; }
  void SetKey(uint16_t v) { key_ = v; }
  TShiftState Shift() const { return shift_; }
  void SetShift(TShiftState v) { shift_ = v; }
  uint16_t Key2() const { return key2_; }
  void SetKey2(uint16_t v) { key2_ = v; }
  TShiftState Shift2() const { return shift2_; }
  void SetShift2(TShiftState v) { shift2_ = v; }
  TCodeEditorCommand Command() const { return command_; }
  void SetCommand(TCodeEditorCommand v) { command_ = v; }

  TShortCut ShortCut() const { return ::ShortCut(key_, shift_); }
  void SetShortCut(TShortCut value);
  TShortCut ShortCut2() const { return ::ShortCut(key2_, shift2_); }
  void SetShortCut2(TShortCut value);

 protected:
  std::string GetDisplayName() const override;

 private:
  uint16_t key_ = 0;
  TShiftState shift_;
  uint16_t key2_ = 0;
  TShiftState shift2_;
  TCodeEditorCommand command_ = ecNone;
};

class TCodeEditKeyStrokes : public TCollection {
  TALVIK_CLASS(TCodeEditKeyStrokes, TCollection)
  explicit TCodeEditKeyStrokes(TPersistent* owner);

  TCodeEditKeyStroke* Add();
  void AddKey(TCodeEditorCommand command, uint16_t key, TShiftState shift);
  void Assign(TPersistent* source) override;
  int FindCommand(TCodeEditorCommand command) const;
  int FindKeycode(uint16_t code, TShiftState shift) const;
  int FindKeycode2(uint16_t code1, TShiftState shift1, uint16_t code2, TShiftState shift2) const;
  int FindShortcut(TShortCut shortCut) const;
  int FindShortcut2(TShortCut shortCut, TShortCut shortCut2) const;
  TCodeEditKeyStroke* Items(int index) const {
    return static_cast<TCodeEditKeyStroke*>(TCollection::Items(index));
  }
  TPersistent* GetOwner() const override { return owner_; }
  void ResetDefaults();

 private:
  TPersistent* owner_;
};
