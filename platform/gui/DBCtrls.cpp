// The data-aware label and rich edit.
#include "platform/gui/DBCtrls.h"

#include <cctype>
#include <cstdlib>
#include <vector>

#include "platform/rtl/SysUtils.h"

namespace {

// How the layer of windowed controls gives a control the focus when its field is asked to take it.
bool FocusWindowedControl(TComponent* Control) {
  auto* c = dynamic_cast<TWinControl*>(Control);
  if (!c || !c->CanFocus()) return false;
  c->SetFocus();
  return true;
}

void InstallFocusControlHandler() {
  if (!TFieldDataLink::FocusControlHandler) TFieldDataLink::FocusControlHandler = FocusWindowedControl;
}

// Destinations whose groups hold no text of the document.
bool SkippedDestination(const std::string& word) {
  static const char* const kSkipped[] = {"fonttbl", "colortbl", "stylesheet", "info",      "pict",
                                         "header",  "footer",   "listtable",  "generator", "themedata"};
  for (const char* s : kSkipped)
    if (word == s) return true;
  return false;
}

}  // namespace

std::string RichTextToPlainText(const std::string& Text) {
  if (Text.compare(0, 5, "{\\rtf") != 0) return Text;
  std::string out;
  // per group: whether its text is skipped
  std::vector<bool> skip{false};
  std::size_t i = 0;
  const std::size_t n = Text.size();
  bool groupStart = false;
  while (i < n) {
    char c = Text[i];
    if (c == '{') {
      skip.push_back(skip.back());
      groupStart = true;
      ++i;
      continue;
    }
    if (c == '}') {
      if (skip.size() > 1) skip.pop_back();
      groupStart = false;
      ++i;
      continue;
    }
    if (c == '\\') {
      ++i;
      if (i >= n) break;
      char d = Text[i];
      if (d == '\\' || d == '{' || d == '}') {
        if (!skip.back()) out.push_back(d);
        ++i;
        groupStart = false;
        continue;
      }
      if (d == '*') {  // an ignorable destination
        skip.back() = true;
        ++i;
        continue;
      }
      if (d == '\'') {  // a character in the document's 8-bit code page
        if (i + 2 < n) {
          std::string hex = Text.substr(i + 1, 2);
          char* end = nullptr;
          long code = std::strtol(hex.c_str(), &end, 16);
          if (!skip.back() && end && *end == '\0')
            out += Cp1251ToUtf8(std::string(1, static_cast<char>(code)));
        }
        i += 3;
        groupStart = false;
        continue;
      }
      if (!std::isalpha(static_cast<unsigned char>(d))) {
        if (d == '~' && !skip.back()) out.push_back(' ');
        ++i;
        continue;
      }
      std::string word;
      while (i < n && std::isalpha(static_cast<unsigned char>(Text[i]))) word.push_back(Text[i++]);
      std::string param;
      if (i < n && (Text[i] == '-' || std::isdigit(static_cast<unsigned char>(Text[i])))) {
        param.push_back(Text[i++]);
        while (i < n && std::isdigit(static_cast<unsigned char>(Text[i]))) param.push_back(Text[i++]);
      }
      if (i < n && Text[i] == ' ') ++i;  // the delimiter belongs to the word
      if (groupStart && SkippedDestination(word)) skip.back() = true;
      groupStart = false;
      if (skip.back()) continue;
      if (word == "par" || word == "line") {
        out += "\r\n";
      } else if (word == "tab") {
        out.push_back('\t');
      } else if (word == "u" && !param.empty()) {
        long code = std::strtol(param.c_str(), nullptr, 10);
        if (code < 0) code += 65536;
        out += Utf32ToUtf8(std::u32string(1, static_cast<char32_t>(code)));
        // the replacement character that follows for readers without Unicode
        if (i < n && Text[i] == '\\' && i + 1 < n && Text[i + 1] == '\'')
          i += 4;
        else if (i < n && Text[i] != '\\' && Text[i] != '{' && Text[i] != '}')
          ++i;
      }
      continue;
    }
    groupStart = false;
    if (c == '\r' || c == '\n') {
      ++i;
      continue;
    }
    if (!skip.back()) out.push_back(c);
    ++i;
  }
  // a document ends with a paragraph mark that shows no line
  while (out.size() >= 2 && out.compare(out.size() - 2, 2, "\r\n") == 0) out.erase(out.size() - 2);
  return out;
}

// ---------------------------------------------------------------- TDBText

TDBText::TDBText(TComponent* AOwner) : TCustomLabel(AOwner), dataLink_(std::make_unique<TFieldDataLink>()) {
  InstallFocusControlHandler();
  SetAutoSize(false);
  SetShowAccelChar(false);
  dataLink_->SetControl(this);
  dataLink_->OnDataChange = [this](TObject*) { DataChange(); };
}

TDBText::~TDBText() {
  dataLink_->OnDataChange = nullptr;
  dataLink_->SetDataSource(nullptr);
}

void TDBText::SetDataSource(TDataSource* Value) {
  if (DataSource()) DataSource()->RemoveFreeNotification(this);
  dataLink_->SetDataSource(Value);
  if (Value) Value->FreeNotification(this);
  DataChange();
}

void TDBText::SetDataField(const std::string& Value) {
  dataLink_->SetFieldName(Value);
  DataChange();
}

void TDBText::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomLabel::Notification(AComponent, Operation);
  if (Operation == opRemove && dataLink_ && AComponent == dataLink_->DataSource())
    dataLink_->SetDataSource(nullptr);
}

std::string TDBText::FieldText() const {
  TField* f = dataLink_->Field();
  if (!f || !dataLink_->Active()) return {};
  return f->DisplayText();
}

std::string TDBText::GetLabelText() const {
  return FieldText();
}

void TDBText::DataChange() {
  // the same text again (the record re-read, another record with the same value) shows nothing new
  std::string text = FieldText();
  if (shownText_ == text) return;
  shownText_ = std::move(text);
  AdjustBounds();
  Invalidate();
}

// ---------------------------------------------------------------- TDBRichEdit

TDBRichEdit::TDBRichEdit(TComponent* AOwner)
    : TCustomMemo(AOwner), dataLink_(std::make_unique<TFieldDataLink>()) {
  InstallFocusControlHandler();
  SetReadOnly(true);
  SetScrollBars(ssBoth);
  SetWordWrap(false);
  dataLink_->SetControl(this);
  dataLink_->OnDataChange = [this](TObject*) { DataChange(); };
}

TDBRichEdit::~TDBRichEdit() {
  dataLink_->OnDataChange = nullptr;
  dataLink_->SetDataSource(nullptr);
}

void TDBRichEdit::SetDataSource(TDataSource* Value) {
  if (DataSource()) DataSource()->RemoveFreeNotification(this);
  dataLink_->SetDataSource(Value);
  if (Value) Value->FreeNotification(this);
  DataChange();
}

void TDBRichEdit::SetDataField(const std::string& Value) {
  dataLink_->SetFieldName(Value);
  DataChange();
}

void TDBRichEdit::SetPlainText(bool Value) {
  plainText_ = Value;
  DataChange();
}

void TDBRichEdit::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomMemo::Notification(AComponent, Operation);
  if (Operation == opRemove && dataLink_ && AComponent == dataLink_->DataSource())
    dataLink_->SetDataSource(nullptr);
}

void TDBRichEdit::DataChange() {
  TField* f = dataLink_->Field();
  std::string text;
  if (f && dataLink_->Active() && !f->IsNull()) text = RichTextToPlainText(f->AsString());
  if (Text() != text) SetText(text);
}
