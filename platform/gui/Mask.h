// The masked edit: an edit whose text follows an edit mask (literals the user types over, required and
// optional character classes, case folding), or a plain edit when no mask is set. Positions count
// characters of the UTF-8 text.
#pragma once

#include <string>
#include <vector>

#include "platform/gui/StdCtrls.h"
#include "platform/rtl/SysUtils.h"

// Raised by ValidateEdit when the text does not fill the mask.
class EDBEditError : public Exception {
 public:
  using Exception::Exception;
};

// An edit text being edited: one character a place of the mask, and the selection (a caret when empty).
struct TMaskEditState {
  std::u32string Text;
  int SelStart = 0;
  int SelEnd = 0;
};

// The parsed form of an edit mask "mask;keep literals;blank": one slot per character position the
// user sees. Shared by the edit, FormatMaskText and anyone that wants to test text against a mask.
class TEditMaskInfo {
 public:
  enum TSlotKind {
    skLiteral,      // shown as is, typed over
    skLetter,       // L required / l optional: a letter
    skAlphaNum,     // A required / a optional: a letter or a digit
    skAnyChar,      // C required / c optional: any character
    skDigit,        // 0 required / 9 optional: a digit
    skDigitOrSign,  // # optional: a digit, '+' or '-'
  };
  enum TCaseFold { cfNone, cfUpper, cfLower };
  struct TSlot {
    TSlotKind Kind = skLiteral;
    bool Required = false;
    TCaseFold Case = cfNone;
    char32_t Literal = 0;  // skLiteral
  };

  TEditMaskInfo() = default;
  explicit TEditMaskInfo(const std::string& EditMask);

  bool Empty() const { return slots_.empty(); }
  int Length() const { return static_cast<int>(slots_.size()); }
  const TSlot& Slot(int Index) const { return slots_.at(static_cast<std::size_t>(Index)); }
  // '!': optional characters left empty are trimmed from the right (not the left) of the text.
  bool LeadingBlanks() const { return leadingBlanks_; }
  bool SaveLiterals() const { return saveLiterals_; }
  char32_t Blank() const { return blank_; }

  // The character as typed into a slot (folded by the slot's case), or 0 when the slot refuses it.
  char32_t Accept(int Index, char32_t Ch) const;
  // The edit text (one character a slot: literals and blanks) of a value given with or without its
  // literals (`WithLiterals`). Characters that do not fit leave their slot blank.
  std::u32string Format(const std::u32string& Value, bool WithLiterals) const;
  // The value of an edit text: blanks become spaces (or are trimmed), literals stay when SaveLiterals.
  std::u32string Value(const std::u32string& EditText) const;
  // The first slot whose required character is missing, or -1 when the text fills the mask.
  int FirstInvalid(const std::u32string& EditText) const;
  // The empty edit text: literals and blanks.
  std::u32string EmptyText() const;
  // The first place from Pos (stepping by Step) that takes a character; Length or -1 past the ends.
  int NextEditable(int Pos, int Step) const;

  // What the user's editing does to an edit text. Places never move: typing fills the next place
  // that takes the character (a typed literal steps over its place), deleting leaves blanks.
  // TypeChar answers false when the mask refused the character.
  bool TypeChar(TMaskEditState& State, char32_t Ch) const;
  void Delete(TMaskEditState& State, bool Backward) const;
  void Paste(TMaskEditState& State, const std::u32string& Text) const;

 private:
  std::vector<TSlot> slots_;
  bool saveLiterals_ = true;
  bool leadingBlanks_ = false;
  char32_t blank_ = U'_';
};

// The text Value formatted through EditMask, as the edit shows it with that mask (FormatMaskText(mask, '')
// answers the mask's empty text).
std::string FormatMaskText(const std::string& EditMask, const std::string& Value);

class TCustomMaskEdit : public TCustomEdit {
  TALVIK_CLASS(TCustomMaskEdit, TCustomEdit)
  explicit TCustomMaskEdit(TComponent* AOwner);

  const std::string& EditMask() const { return editMask_; }
  void SetEditMask(const std::string& Value);
  // The text as it shows: with literals and blank characters when masked.
  std::string EditText() const;
  void SetEditText(const std::string& Value);
  bool IsMasked() const { return !mask_.Empty(); }
  const TEditMaskInfo& MaskInfo() const { return mask_; }
  // Raises EDBEditError, caret on the first position that is missing, when the text does not fill the mask.
  virtual void ValidateEdit();
  // Gives the text back as it was when the edit took the focus (or was last set) and clears Modified.
  virtual void Reset();

 protected:
  void Dispatch(TMessage& Message) override;
  void KeyDown(WORD& Key, TShiftState Shift) override;
  void KeyPress(char32_t& Key) override;
  void CreateWnd() override;
  std::string GetText() const override;
  void SetTextInternal(const std::string& Value) override;
  void Change() override;
  // May the text change now? Every change the user makes asks first.
  virtual bool EditCanModify();
  virtual void ValidateError(int Position);
  // The text changed by the user: the value the edit started with is kept for Reset.
  void RememberOriginal();

 private:
  TMaskEditState State();
  void Apply(const TMaskEditState& State);
  void TypeChar(char32_t Ch);
  void DeleteSelection(bool Backward);
  void PasteText(const std::string& Text);

  std::string editMask_;
  TEditMaskInfo mask_;
  std::string original_;  // the edit text Reset gives back
  int settingText_ = 0;
  int invalidPos_ = -1;  // where the last failed validation put the caret
};

class TMaskEdit : public TCustomMaskEdit {
  TALVIK_CLASS(TMaskEdit, TCustomMaskEdit)
  using TCustomMaskEdit::TCustomMaskEdit;
};
