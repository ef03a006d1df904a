#include "editor/CodeEditHighlighter.h"

#include <algorithm>
#include <typeinfo>

#include "editor/CodeEditMiscProcs.h"
#include "editor/CodeEditStrConst.h"

namespace {

int CompareTextAscii(std::string_view a, std::string_view b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'a' && x <= 'z') x -= 32;
    if (y >= 'a' && y <= 'z') y -= 32;
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

std::vector<TCodeHighlighterClass>& PlaceableList() {
  static std::vector<TCodeHighlighterClass> list;
  return list;
}

}  // namespace

TCodeHighlighterAttributes::TCodeHighlighterAttributes(std::string name) : name_(std::move(name)) {}

void TCodeHighlighterAttributes::Assign(const TCodeHighlighterAttributes& source) {
  if (&source == this) return;
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

void TCodeHighlighterAttributes::Changed() {
  if (OnChange) OnChange(reinterpret_cast<TObject*>(this));
}

TCodeCustomHighlighter::TCodeCustomHighlighter(TObject* owner)
    : owner_(owner), attrChangeHooks_(reinterpret_cast<TObject*>(this)) {
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
  auto it =
      std::lower_bound(attributes_.begin(), attributes_.end(), name,
                       [](const auto& a, std::string_view n) { return CompareTextAscii(a->Name(), n) < 0; });
  if (it != attributes_.end() && CompareTextAscii((*it)->Name(), name) == 0) return it->get();
  return nullptr;
}

void TCodeCustomHighlighter::AddAttribute(TCodeHighlighterAttributes* attribute) {
  std::unique_ptr<TCodeHighlighterAttributes> owned(attribute);
  auto it = std::lower_bound(
      attributes_.begin(), attributes_.end(), attribute->Name(),
      [](const auto& a, const std::string& n) { return CompareTextAscii(a->Name(), n) < 0; });
  if (it != attributes_.end() && CompareTextAscii((*it)->Name(), attribute->Name()) == 0)
    throw EListError("String list does not allow duplicates");
  attributes_.insert(it, std::move(owned));
}

void TCodeCustomHighlighter::SetAttributesOnChange(const TCodeNotifyEvent& handler) {
  for (size_t i = attributes_.size(); i-- > 0;) {
    attributes_[i]->OnChange = handler;
    attributes_[i]->InternalSaveDefaultValues();
  }
}

void TCodeCustomHighlighter::Assign(const TCodeCustomHighlighter& source) {
  if (&source == this) return;
  for (const auto& attr : attributes_) {
    if (TCodeHighlighterAttributes* src = source.AttributeByName(attr->Name())) attr->Assign(*src);
  }
  if (IsSameClassOrDescendant(source)) SetSampleSource(source.GetSampleSource());
  wordBreakChars_ = source.wordBreakChars_;
  SetDefaultFilter(source.GetDefaultFilter());
  SetEnabled(source.Enabled());
}

bool TCodeCustomHighlighter::IsSameClassOrDescendant(const TCodeCustomHighlighter& source) const {
  return typeid(source) == typeid(*this);
}

void TCodeCustomHighlighter::Loaded() {
  loading_ = false;
  DefHighlightChange(nullptr);
}

TCodeCharSet TCodeCustomHighlighter::GetIdentChars() const {
  return TCodeCharSet::Range(33, 255);
}

std::string TCodeCustomHighlighter::GetLanguageName() const {
  return CodeEditStr::SYNS_Unknown;
}

void TCodeCustomHighlighter::SetLine(std::string_view utf8, int lineNumber) {
  ownLine_ = Utf8ToU32(utf8);
  SetLine(ownLine_, lineNumber);
}

void TCodeCustomHighlighter::NextToEol() {
  while (!GetEol()) Next();
}

void TCodeCustomHighlighter::EndUpdate() {
  if (updateCount_ <= 0) return;
  if (--updateCount_ == 0 && updateChanged_) {
    updateChanged_ = false;
    DefHighlightChange(nullptr);
  }
}

void TCodeCustomHighlighter::DefHighlightChange(TObject* sender) {
  if (updateCount_ > 0) {
    updateChanged_ = true;
    return;
  }
  if (loading_) return;
  attrChangeHooks_.SetSender(sender);
  attrChangeHooks_.Fire();
}

void TCodeCustomHighlighter::SetEnabled(bool value) {
  if (enabled_ == value) return;
  enabled_ = value;
  DefHighlightChange(nullptr);
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
