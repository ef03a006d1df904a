// The edit mask engine and the masked edit. Without a mask the edit is the plain edit, except that
// every change asks EditCanModify first and Esc gives back the text it started with.
#include "platform/gui/Mask.h"

#include <QChar>
#include <algorithm>

#include "platform/gui/Clipbrd.h"

namespace {

constexpr char32_t kDefaultBlank = U'_';

bool IsAsciiDigit(char32_t c) {
  return c >= U'0' && c <= U'9';
}

// The sections of "mask;keep literals;blank": a ';' after a '\' belongs to the mask.
std::vector<std::u32string> SplitSections(const std::u32string& text) {
  std::vector<std::u32string> out(1);
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c == U'\\' && i + 1 < text.size() && out.size() == 1) {
      out.back().push_back(c);
      out.back().push_back(text[++i]);
      continue;
    }
    if (c == U';' && out.size() < 3) {
      out.emplace_back();
      continue;
    }
    out.back().push_back(c);
  }
  return out;
}

const char* const kInvalidInput = "Invalid input value. Use Esc to abandon changes";

}  // namespace

// ---------------------------------------------------------------- TEditMaskInfo

TEditMaskInfo::TEditMaskInfo(const std::string& EditMask) {
  std::vector<std::u32string> sections = SplitSections(Utf8ToUtf32(EditMask));
  if (sections.size() >= 2 && !sections[1].empty()) saveLiterals_ = sections[1][0] != U'0';
  if (sections.size() >= 3 && !sections[2].empty()) blank_ = sections[2][0];
  if (blank_ < 32) blank_ = kDefaultBlank;
  const std::u32string& mask = sections[0];
  TCaseFold fold = cfNone;
  for (std::size_t i = 0; i < mask.size(); ++i) {
    char32_t c = mask[i];
    TSlot slot;
    slot.Case = fold;
    switch (c) {
      case U'!':
        leadingBlanks_ = true;
        continue;
      case U'>':
        if (i + 1 < mask.size() && mask[i + 1] == U'<') {
          fold = cfNone;
          ++i;
        } else {
          fold = cfUpper;
        }
        continue;
      case U'<':
        fold = cfLower;
        continue;
      case U'\\':
        if (i + 1 >= mask.size()) continue;
        slot.Literal = mask[++i];
        break;
      case U'L':
      case U'l':
        slot.Kind = skLetter;
        slot.Required = c == U'L';
        break;
      case U'A':
      case U'a':
        slot.Kind = skAlphaNum;
        slot.Required = c == U'A';
        break;
      case U'C':
      case U'c':
        slot.Kind = skAnyChar;
        slot.Required = c == U'C';
        break;
      case U'0':
      case U'9':
        slot.Kind = skDigit;
        slot.Required = c == U'0';
        break;
      case U'#':
        slot.Kind = skDigitOrSign;
        break;
      case U'_':
        slot.Literal = U' ';
        break;
      default:
        slot.Literal = c;
        break;
    }
    slots_.push_back(slot);
  }
}

char32_t TEditMaskInfo::Accept(int Index, char32_t Ch) const {
  if (Index < 0 || Index >= Length() || Ch < 32) return 0;
  const TSlot& slot = Slot(Index);
  bool ok = false;
  switch (slot.Kind) {
    case skLiteral:
      return 0;
    case skLetter:
      ok = QChar::isLetter(Ch);
      break;
    case skAlphaNum:
      ok = QChar::isLetter(Ch) || IsAsciiDigit(Ch);
      break;
    case skAnyChar:
      ok = true;
      break;
    case skDigit:
      ok = IsAsciiDigit(Ch);
      break;
    case skDigitOrSign:
      ok = IsAsciiDigit(Ch) || Ch == U'+' || Ch == U'-';
      break;
  }
  if (!ok) return 0;
  if (slot.Case == cfUpper) return QChar::toUpper(Ch);
  if (slot.Case == cfLower) return QChar::toLower(Ch);
  return Ch;
}

std::u32string TEditMaskInfo::EmptyText() const {
  std::u32string out;
  out.reserve(slots_.size());
  for (const TSlot& s : slots_) out.push_back(s.Kind == skLiteral ? s.Literal : blank_);
  return out;
}

std::u32string TEditMaskInfo::Format(const std::u32string& Value, bool WithLiterals) const {
  std::u32string out = EmptyText();
  if (WithLiterals) {
    for (int i = 0; i < Length() && i < static_cast<int>(Value.size()); ++i) {
      if (Slot(i).Kind == skLiteral) continue;
      char32_t c = Value[static_cast<std::size_t>(i)];
      if (char32_t a = Accept(i, c)) out[static_cast<std::size_t>(i)] = a;
    }
    return out;
  }
  std::vector<int> data;
  for (int i = 0; i < Length(); ++i)
    if (Slot(i).Kind != skLiteral) data.push_back(i);
  // with '!' a short value fills the last positions, else the first ones
  std::size_t skip = leadingBlanks_ && Value.size() < data.size() ? data.size() - Value.size() : 0;
  for (std::size_t k = 0; k < Value.size() && k + skip < data.size(); ++k) {
    int i = data[k + skip];
    if (char32_t a = Accept(i, Value[k])) out[static_cast<std::size_t>(i)] = a;
  }
  return out;
}

std::u32string TEditMaskInfo::Value(const std::u32string& EditText) const {
  std::u32string out;
  for (int i = 0; i < Length(); ++i) {
    const TSlot& s = Slot(i);
    char32_t c = i < static_cast<int>(EditText.size()) ? EditText[static_cast<std::size_t>(i)] : blank_;
    if (s.Kind == skLiteral) {
      if (saveLiterals_) out.push_back(s.Literal);
    } else {
      out.push_back(c == blank_ ? U' ' : c);
    }
  }
  // with its literals the text keeps its shape; the bare characters lose the blanks of one side
  if (saveLiterals_) return out;
  if (leadingBlanks_) {
    std::size_t first = out.find_first_not_of(U' ');
    out.erase(0, first == std::u32string::npos ? out.size() : first);
  } else {
    std::size_t last = out.find_last_not_of(U' ');
    out.erase(last == std::u32string::npos ? 0 : last + 1);
  }
  return out;
}

int TEditMaskInfo::FirstInvalid(const std::u32string& EditText) const {
  for (int i = 0; i < Length(); ++i) {
    const TSlot& s = Slot(i);
    if (s.Kind == skLiteral) continue;
    char32_t c = i < static_cast<int>(EditText.size()) ? EditText[static_cast<std::size_t>(i)] : blank_;
    if (c == blank_ || c == U' ') {
      if (s.Required) return i;
    } else if (!Accept(i, c)) {
      return i;
    }
  }
  return -1;
}

int TEditMaskInfo::NextEditable(int Pos, int Step) const {
  for (int i = Pos; i >= 0 && i < Length(); i += Step)
    if (Slot(i).Kind != skLiteral) return i;
  return Step > 0 ? Length() : -1;
}

namespace {

// The state made whole: an edit text of the mask's length and a selection inside it.
void Normalise(const TEditMaskInfo& info, TMaskEditState& st) {
  if (static_cast<int>(st.Text.size()) != info.Length()) st.Text = info.Format(st.Text, true);
  int a = std::clamp(st.SelStart, 0, info.Length()), b = std::clamp(st.SelEnd, 0, info.Length());
  st.SelStart = std::min(a, b);
  st.SelEnd = std::max(a, b);
}

void BlankSelection(const TEditMaskInfo& info, TMaskEditState& st) {
  for (int i = st.SelStart; i < st.SelEnd; ++i)
    if (info.Slot(i).Kind != TEditMaskInfo::skLiteral) st.Text[static_cast<std::size_t>(i)] = info.Blank();
}

void Caret(TMaskEditState& st, int pos) {
  st.SelStart = st.SelEnd = pos;
}

}  // namespace

bool TEditMaskInfo::TypeChar(TMaskEditState& State, char32_t Ch) const {
  Normalise(*this, State);
  const int from = State.SelStart;
  BlankSelection(*this, State);
  // a typed literal steps over the places up to its own
  for (int i = from; i < Length(); ++i) {
    if (Slot(i).Kind != skLiteral) continue;
    if (Slot(i).Literal == Ch && Accept(NextEditable(from, 1), Ch) == 0) {
      Caret(State, i + 1);
      return true;
    }
    break;
  }
  int pos = NextEditable(from, 1);
  char32_t accepted = pos < Length() ? Accept(pos, Ch) : 0;
  if (!accepted) {
    Caret(State, from);
    return false;
  }
  State.Text[static_cast<std::size_t>(pos)] = accepted;
  int next = NextEditable(pos + 1, 1);
  Caret(State, next < Length() ? next : pos + 1);
  return true;
}

void TEditMaskInfo::Delete(TMaskEditState& State, bool Backward) const {
  Normalise(*this, State);
  if (State.SelStart != State.SelEnd) {
    BlankSelection(*this, State);
    Caret(State, State.SelStart);
    return;
  }
  const int from = State.SelStart;
  int pos = Backward ? NextEditable(from - 1, -1) : NextEditable(from, 1);
  if (pos < 0 || pos >= Length()) return;
  State.Text[static_cast<std::size_t>(pos)] = blank_;
  Caret(State, Backward ? pos : from);
}

void TEditMaskInfo::Paste(TMaskEditState& State, const std::u32string& Text) const {
  Normalise(*this, State);
  BlankSelection(*this, State);
  int pos = State.SelStart;
  for (char32_t c : Text) {
    if (pos >= Length()) break;
    if (Slot(pos).Kind == skLiteral) {
      if (Slot(pos).Literal == c) {
        ++pos;
        continue;
      }
      pos = NextEditable(pos, 1);
      if (pos >= Length()) break;
    }
    // a character the place does not take is left out; the place waits for the next one
    if (char32_t a = Accept(pos, c)) {
      State.Text[static_cast<std::size_t>(pos)] = a;
      ++pos;
    }
  }
  Caret(State, pos);
}

std::string FormatMaskText(const std::string& EditMask, const std::string& Value) {
  TEditMaskInfo info(EditMask);
  if (info.Empty()) return Value;
  return Utf32ToUtf8(info.Format(Utf8ToUtf32(Value), info.SaveLiterals()));
}

// ---------------------------------------------------------------- TCustomMaskEdit

TCustomMaskEdit::TCustomMaskEdit(TComponent* AOwner) : TCustomEdit(AOwner) {}

void TCustomMaskEdit::CreateWnd() {
  TCustomEdit::CreateWnd();
  if (IsMasked()) SendMessage(Handle(), EM_LIMITTEXT, static_cast<WPARAM>(mask_.Length()), 0);
}

void TCustomMaskEdit::SetEditMask(const std::string& Value) {
  if (Value == editMask_) return;
  std::string value = Text();
  std::string shown = TCustomEdit::GetText();
  bool wasMasked = IsMasked();
  editMask_ = Value;
  mask_ = TEditMaskInfo(Value);
  if (HandleAllocated())
    SendMessage(Handle(), EM_LIMITTEXT, static_cast<WPARAM>(IsMasked() ? mask_.Length() : maxLength_), 0);
  // the value stays; from mask to mask the characters keep their places
  if (wasMasked && IsMasked())
    SetEditText(shown);
  else
    SetTextInternal(value);
}

std::string TCustomMaskEdit::EditText() const {
  return TCustomEdit::GetText();
}

void TCustomMaskEdit::SetEditText(const std::string& Value) {
  std::string shown = IsMasked() ? Utf32ToUtf8(mask_.Format(Utf8ToUtf32(Value), true)) : Value;
  ++settingText_;
  TWinControl::SetTextInternal(shown);
  --settingText_;
  RememberOriginal();
  Perform(CM_TEXTCHANGED);
}

std::string TCustomMaskEdit::GetText() const {
  std::string shown = TCustomEdit::GetText();
  if (!IsMasked()) return shown;
  return Utf32ToUtf8(mask_.Value(Utf8ToUtf32(shown)));
}

void TCustomMaskEdit::SetTextInternal(const std::string& Value) {
  std::string shown =
      IsMasked() ? Utf32ToUtf8(mask_.Format(Utf8ToUtf32(Value), mask_.SaveLiterals())) : Value;
  ++settingText_;
  TWinControl::SetTextInternal(shown);
  --settingText_;
  RememberOriginal();
}

void TCustomMaskEdit::RememberOriginal() {
  original_ = TCustomEdit::GetText();
}

void TCustomMaskEdit::Change() {
  TCustomEdit::Change();
}

bool TCustomMaskEdit::EditCanModify() {
  return !ReadOnly();
}

void TCustomMaskEdit::Reset() {
  if (TCustomEdit::GetText() != original_) {
    ++settingText_;
    TWinControl::SetTextInternal(original_);
    --settingText_;
    Perform(CM_TEXTCHANGED);
  }
  SetModified(false);
}

void TCustomMaskEdit::ValidateError(int Position) {
  MessageBeep(0);
  invalidPos_ = Position;
  if (HandleAllocated()) SendMessage(Handle(), EM_SETSEL, static_cast<WPARAM>(Position), Position);
  throw EDBEditError(kInvalidInput);
}

void TCustomMaskEdit::ValidateEdit() {
  if (!IsMasked() || !Modified()) return;
  int bad = mask_.FirstInvalid(Utf8ToUtf32(TCustomEdit::GetText()));
  if (bad >= 0) ValidateError(bad);
}

TMaskEditState TCustomMaskEdit::State() {
  TMaskEditState st;
  st.Text = Utf8ToUtf32(TCustomEdit::GetText());
  DWORD from = 0, to = 0;
  SendMessage(Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
  st.SelStart = static_cast<int>(from);
  st.SelEnd = static_cast<int>(to);
  return st;
}

// Puts the edited text in as the user's change: one undo step, EN_CHANGE, Modified; then the caret.
void TCustomMaskEdit::Apply(const TMaskEditState& St) {
  HWND h = Handle();
  std::string utf8 = Utf32ToUtf8(St.Text);
  if (utf8 != TCustomEdit::GetText()) {
    SendMessage(h, EM_SETSEL, 0, -1);
    SendMessage(h, EM_REPLACESEL, 1, reinterpret_cast<LPARAM>(utf8.c_str()));
  }
  SendMessage(h, EM_SETSEL, static_cast<WPARAM>(St.SelStart), St.SelEnd);
}

void TCustomMaskEdit::TypeChar(char32_t Ch) {
  TMaskEditState st = State();
  if (!mask_.TypeChar(st, Ch)) MessageBeep(0);
  Apply(st);
}

void TCustomMaskEdit::DeleteSelection(bool Backward) {
  TMaskEditState st = State();
  mask_.Delete(st, Backward);
  Apply(st);
}

void TCustomMaskEdit::PasteText(const std::string& Text) {
  TMaskEditState st = State();
  mask_.Paste(st, Utf8ToUtf32(Text));
  Apply(st);
}

void TCustomMaskEdit::KeyDown(WORD& Key, TShiftState Shift) {
  TCustomEdit::KeyDown(Key, Shift);
  if (Key == 0) return;
  const bool shift = Shift.Contains(ssShift), ctrl = Shift.Contains(ssCtrl);
  switch (Key) {
    case VK_ESCAPE:
      if (Modified()) {
        Reset();
        Key = 0;
      }
      return;
    case VK_DELETE:
      if (!EditCanModify()) {
        Key = 0;
        return;
      }
      if (!IsMasked()) return;
      if (shift) CopyToClipboard();
      DeleteSelection(false);
      Key = 0;
      return;
    case VK_INSERT:
      if (!shift || ctrl) return;
      if (!EditCanModify()) {
        Key = 0;
      } else if (IsMasked()) {
        PasteText(Clipboard()->AsText());
        Key = 0;
      }
      return;
    default:
      return;
  }
}

void TCustomMaskEdit::KeyPress(char32_t& Key) {
  TCustomEdit::KeyPress(Key);
  if (Key == 0) return;
  constexpr char32_t kBackspace = 8, kPaste = 22, kCut = 24, kUndo = 26, kWordBack = 127;
  const bool modifying = Key >= 32 || Key == kBackspace || Key == kPaste || Key == kCut || Key == kUndo;
  if (!modifying) return;
  if (!EditCanModify()) {
    Key = 0;
    MessageBeep(0);
    return;
  }
  if (!IsMasked()) return;
  switch (Key) {
    case kBackspace:
    case kWordBack:
      DeleteSelection(true);
      break;
    case kPaste:
      PasteText(Clipboard()->AsText());
      break;
    case kCut:
      CopyToClipboard();
      DeleteSelection(false);
      break;
    case kUndo:
      return;  // the window's own undo gives back a whole earlier text
    default:
      TypeChar(Key);
      break;
  }
  Key = 0;
}

void TCustomMaskEdit::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_PASTE:
    case WM_CUT:
    case WM_CLEAR:
    case WM_UNDO:
      if (!EditCanModify()) return;
      if (IsMasked() && m.Msg != WM_UNDO) {
        if (m.Msg == WM_PASTE) {
          PasteText(Clipboard()->AsText());
        } else {
          if (m.Msg == WM_CUT) CopyToClipboard();
          TMaskEditState st = State();
          if (st.SelStart != st.SelEnd) DeleteSelection(false);
        }
        return;
      }
      break;
    case CM_ENTER:
      RememberOriginal();
      break;
    case CM_EXIT:
      if (IsMasked()) {
        try {
          ValidateEdit();
        } catch (...) {
          // the focus stays, with the caret where the text is missing
          SetFocus();
          if (invalidPos_ >= 0 && HandleAllocated())
            SendMessage(Handle(), EM_SETSEL, static_cast<WPARAM>(invalidPos_), invalidPos_);
          throw;
        }
      }
      break;
    default:
      break;
  }
  TCustomEdit::Dispatch(m);
}
