#include "editor/CodeEditHighlighter.h"

#include <algorithm>
#include <cassert>
#include <climits>
#include <cstdint>

#include "editor/CodeEditMiscProcs.h"
#include "editor/CodeEditStrConst.h"
#include "platform/rtl/Lifetime.h"
#include "platform/rtl/SysUtils.h"

namespace {

std::vector<TCodeHighlighterClass>& PlaceableList() {
  static std::vector<TCodeHighlighterClass> list;
  return list;
}

}  // namespace

TCodeHighlighterAttributes::TCodeHighlighterAttributes(std::string name) : name_(std::move(name)) {}

void TCodeHighlighterAttributes::Assign(TPersistent* persistent) {
  auto* src = dynamic_cast<TCodeHighlighterAttributes*>(persistent);
  if (!src) {
    TPersistent::Assign(persistent);
    return;
  }
  if (src == this) return;
  const TCodeHighlighterAttributes& source = *src;
  name_ = source.name_;
  bool changed =
      background_ != source.background_ || foreground_ != source.foreground_ || style_ != source.style_;
  background_ = source.background_;
  foreground_ = source.foreground_;
  style_ = source.style_;
  if (changed) Changed();
}

void TCodeHighlighterAttributes::SetBackground(TColor value) {
  if (background_ == value) return;
  background_ = value;
  Changed();
}

void TCodeHighlighterAttributes::SetForeground(TColor value) {
  if (foreground_ == value) return;
  foreground_ = value;
  Changed();
}

void TCodeHighlighterAttributes::SetStyle(TFontStyles value) {
  if (style_ == value) return;
  style_ = value;
  Changed();
}

void TCodeHighlighterAttributes::InternalSaveDefaultValues() {
  backgroundDefault_ = background_;
  foregroundDefault_ = foreground_;
  styleDefault_ = style_;
}

namespace {

// Reopens the key the registry had open before (the root when none was).
void ReturnToKey(TRegistry& reg, const std::string& path) {
  if (path.empty())
    reg.CloseKey();
  else
    reg.OpenKey(std::string(1, '\\').append(path), false);
}

// The 16-colour palette of colour schemes.
const TColor kSchemePalette[16] = {0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080,
                                   0x808000, 0xC0C0C0, 0x808080, 0x0000FF, 0x00FF00, 0x00FFFF,
                                   0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF};

bool PaletteColor(const std::string& text, TColor& color) {
  int index = 0;
  if (!TryStrToInt(Trim(text), index) || index < 0 || index > 15) return false;
  color = kSchemePalette[index];
  return true;
}

bool NamedColor(const std::string& text, TColor& color) {
  try {
    color = StringToColor(Trim(text));
    return true;
  } catch (const EConvertError&) {
    return false;
  }
}

// A value read as text whatever its stored type; false when it is missing or binary.
bool ReadText(TRegistry& reg, const std::string& name, std::string& text) {
  switch (reg.GetDataType(name)) {
    case rdString:
    case rdExpandString:
      text = reg.ReadString(name);
      return true;
    case rdInteger:
      text = IntToStr(reg.ReadInteger(name));
      return true;
    default:
      return false;
  }
}

bool IsTrueText(const std::string& text) {
  return text != "0" && !SameText(text, "FALSE");
}

}  // namespace

bool TCodeHighlighterAttributes::LoadFromRegistry(TRegistry& reg) {
  const std::string previous = reg.CurrentPath();
  if (!reg.OpenKey(name_, false)) return false;
  try {
    if (reg.GetDataType(CodeEditStr::SYNS_AttrBackground) == rdInteger)
      SetBackground(reg.ReadInteger(CodeEditStr::SYNS_AttrBackground));
    if (reg.GetDataType(CodeEditStr::SYNS_AttrForeground) == rdInteger)
      SetForeground(reg.ReadInteger(CodeEditStr::SYNS_AttrForeground));
    if (reg.GetDataType(CodeEditStr::SYNS_AttrStyle) == rdInteger)
      SetStyle(
          TFontStyles::FromBits(static_cast<uint64_t>(reg.ReadInteger(CodeEditStr::SYNS_AttrStyle)) & 0x0F));
  } catch (...) {
    ReturnToKey(reg, previous);
    throw;
  }
  ReturnToKey(reg, previous);
  return true;
}

bool TCodeHighlighterAttributes::SaveToRegistry(TRegistry& reg) {
  const std::string previous = reg.CurrentPath();
  if (!reg.OpenKey(name_, true)) return false;
  try {
    reg.WriteInteger(CodeEditStr::SYNS_AttrBackground, background_);
    reg.WriteInteger(CodeEditStr::SYNS_AttrForeground, foreground_);
    reg.WriteInteger(CodeEditStr::SYNS_AttrStyle, static_cast<int>(style_.Bits()));
  } catch (...) {
    ReturnToKey(reg, previous);
    throw;
  }
  ReturnToKey(reg, previous);
  return true;
}

bool TCodeHighlighterAttributes::LoadFromSchemeRegistry(HKEY rootKey, const std::string& key,
                                                        const std::string& name, bool oldFormat) {
  TRegistry reg(KEY_READ);
  reg.SetRootKey(rootKey);
  if (oldFormat) {
    if (!reg.OpenKeyReadOnly(key)) return false;
    std::string text;
    if (!ReadText(reg, name, text)) return false;
    std::vector<std::string> items;
    size_t start = 0;
    for (;;) {
      size_t comma = text.find(',', start);
      items.push_back(
          Trim(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start)));
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
    if (items.size() < 7) return false;
    TColor bg = clWindow, fg = clWindowText;
    if (items[4] != "1" && !PaletteColor(items[6], bg)) return false;
    if (items[3] != "1" && !PaletteColor(items[5], fg)) return false;
    TFontStyles style;
    if (items[2].find('B') != std::string::npos) style.Include(fsBold);
    if (items[2].find('I') != std::string::npos) style.Include(fsItalic);
    if (items[2].find('U') != std::string::npos) style.Include(fsUnderline);
    SetBackground(bg);
    SetForeground(fg);
    SetStyle(style);
    return true;
  }
  if (!reg.OpenKeyReadOnly(key + "\\" + name)) return false;
  bool all = true;
  auto readColor = [&](const char* paletteName, const char* newName, TColor& color) {
    std::string text;
    if (ReadText(reg, paletteName, text)) return PaletteColor(text, color);
    if (ReadText(reg, newName, text)) return NamedColor(text, color);
    return false;
  };
  TColor fg = foreground_, bg = background_;
  all &= readColor("Foreground Color", "Foreground Color New", fg);
  all &= readColor("Background Color", "Background Color New", bg);
  TFontStyles style;
  const struct {
    const char* value;
    TFontStyle style;
  } kStyles[] = {{"Bold", fsBold}, {"Italic", fsItalic}, {"Underline", fsUnderline}};
  for (const auto& st : kStyles) {
    std::string text;
    if (!ReadText(reg, st.value, text))
      all = false;
    else if (IsTrueText(text))
      style.Include(st.style);
  }
  std::string text;
  if (!ReadText(reg, "Default Foreground", text))
    all = false;
  else if (IsTrueText(text))
    fg = clWindowText;
  if (!ReadText(reg, "Default Background", text))
    all = false;
  else if (IsTrueText(text))
    bg = clWindow;
  SetForeground(fg);
  SetBackground(bg);
  SetStyle(style);
  return all;
}

void TCodeHighlighterAttributes::Changed() {
  InvokeEvent(OnChange, this);
}

TCodeCustomHighlighter::TCodeCustomHighlighter(TComponent* owner)
    : TComponent(owner), attrChangeHooks_(this) {
  wordBreakChars_ = TCodeCharSet(U"!\"'()*+,-./:;=?[\\]^{|}");
}

TCodeCustomHighlighter::~TCodeCustomHighlighter() {
  while (!attributes_.empty()) attributes_.pop_back();  // last first
}

TCodeHighlighterAttributes* TCodeCustomHighlighter::Attribute(int index) const {
  if (index < 0 || index >= static_cast<int>(attributes_.size())) return nullptr;
  return attributes_[index].get();
}

TCodeHighlighterAttributes* TCodeCustomHighlighter::AttributeByName(std::string_view name) const {
  auto it = std::lower_bound(attributes_.begin(), attributes_.end(), name,
                             [](const auto& a, std::string_view n) { return CompareText(a->Name(), n) < 0; });
  if (it != attributes_.end() && CompareText((*it)->Name(), name) == 0) return it->get();
  return nullptr;
}

void TCodeCustomHighlighter::AddAttribute(TCodeHighlighterAttributes* attribute) {
  std::unique_ptr<TCodeHighlighterAttributes> owned(attribute);
  auto it =
      std::lower_bound(attributes_.begin(), attributes_.end(), attribute->Name(),
                       [](const auto& a, const std::string& n) { return CompareText(a->Name(), n) < 0; });
  if (it != attributes_.end() && CompareText((*it)->Name(), attribute->Name()) == 0)
    throw EListError("String list does not allow duplicates");
  attributes_.insert(it, std::move(owned));
}

void TCodeCustomHighlighter::SetAttributesOnChange(const TCodeNotifyEvent& handler) {
  for (size_t i = attributes_.size(); i-- > 0;) {
    attributes_[i]->OnChange = handler;
    attributes_[i]->InternalSaveDefaultValues();
  }
}

void TCodeCustomHighlighter::Assign(TPersistent* persistent) {
  auto* src = dynamic_cast<TCodeCustomHighlighter*>(persistent);
  if (!src) {
    TPersistent::Assign(persistent);
    return;
  }
  if (src == this) return;
  const TCodeCustomHighlighter& source = *src;
  for (const auto& attr : attributes_) {
    if (TCodeHighlighterAttributes* a = source.AttributeByName(attr->Name())) attr->Assign(a);
  }
  if (source.InheritsFrom(ClassType())) SetSampleSource(source.GetSampleSource());
  wordBreakChars_ = source.wordBreakChars_;
  SetDefaultFilter(source.GetDefaultFilter());
  SetEnabled(source.Enabled());
}

void TCodeCustomHighlighter::Loaded() {
  TComponent::Loaded();
  DefHighlightChange(this);
}

TCodeCharSet TCodeCustomHighlighter::GetIdentChars() const {
  return TCodeCharSet::Range(33, 255);
}

std::string TCodeCustomHighlighter::GetLanguageName() const {
  return CodeEditStr::SYNS_Unknown;
}

bool TCodeCustomHighlighter::LoadFromRegistry(HKEY rootKey, const std::string& key) {
  TRegistry reg(KEY_READ);
  reg.SetRootKey(rootKey);
  if (!reg.OpenKeyReadOnly(key)) return false;
  bool all = true;
  for (const auto& attr : attributes_) all &= attr->LoadFromRegistry(reg);
  return all;
}

bool TCodeCustomHighlighter::SaveToRegistry(HKEY rootKey, const std::string& key) {
  TRegistryUpdate update(rootKey);  // every attribute reaches the file in one save
  TRegistry reg;
  reg.SetRootKey(rootKey);
  if (!reg.OpenKey(key, true)) return false;
  bool all = true;
  for (const auto& attr : attributes_) all &= attr->SaveToRegistry(reg);
  update.End();
  return all;
}

void TCodeCustomHighlighter::SetLine(std::string_view utf8, int lineNumber) {
  ownLine_ = Utf8ToUtf32(utf8);
  SetLine(ownLine_, lineNumber);
}

void TCodeCustomHighlighter::SetLineFrom(const std::u32string& text, int lineNumber, [[maybe_unused]] int pos,
                                         [[maybe_unused]] int32_t range) {
  // only a highlighter that scans from inside a line is started there
  assert(CanScanFrom() || (pos == 0 && range == GetRange()));
  SetLine(text, lineNumber);
}

void TCodeCustomHighlighter::NextToEol() {
  while (!GetEol()) Next();
}

void TCodeCustomHighlighter::EndUpdate() {
  if (updateCount_ <= 0) return;
  if (--updateCount_ == 0 && updateChanged_) {
    updateChanged_ = false;
    DefHighlightChange(this);
  }
}

void TCodeCustomHighlighter::DefHighlightChange(TObject* sender) {
  if (updateCount_ > 0) {
    updateChanged_ = true;
    return;
  }
  if (ComponentState().Contains(csLoading)) return;
  attrChangeHooks_.SetSender(sender);
  attrChangeHooks_.Fire();
}

void TCodeCustomHighlighter::SetEnabled(bool value) {
  if (enabled_ == value) return;
  enabled_ = value;
  DefHighlightChange(this);
}

void RegisterPlaceableHighlighter(const TCodeHighlighterClass& cls) {
  auto& list = PlaceableList();
  for (const auto& c : list)
    if (c.ClassName == cls.ClassName) return;
  list.push_back(cls);
}

const std::vector<TCodeHighlighterClass>& GetPlaceableHighlighters() {
  return PlaceableList();
}
