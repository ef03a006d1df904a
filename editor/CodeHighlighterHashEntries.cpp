#include "editor/CodeHighlighterHashEntries.h"

#include <algorithm>
#include <cwctype>

#include "editor/CodeEditMiscProcs.h"
#include "editor/CodeEditStrConst.h"
#include "platform/rtl/SysUtils.h"

namespace {

char32_t FoldAnyCase(char32_t c) {
  if (c < 128) return FoldAsciiCase(c);
  return static_cast<char32_t>(std::towlower(static_cast<wint_t>(c)));
}

}  // namespace

bool SameTextU32(std::u32string_view a, std::u32string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i] && FoldAnyCase(a[i]) != FoldAnyCase(b[i])) return false;
  return true;
}

TCodeHashEntry::TCodeHashEntry(std::string keyword, int kind) : TCodeHashEntry(Utf8ToUtf32(keyword), kind) {}

TCodeHashEntry::TCodeHashEntry(std::u32string keyword, int kind)
    : keyLen_(static_cast<int>(keyword.size())), folded_(std::move(keyword)), kind_(kind) {
  // keywords are ASCII but for table names: their UTF-8 text is their bytes
  if (std::all_of(folded_.begin(), folded_.end(), [](char32_t c) { return c < 128; })) {
    keyword_.reserve(folded_.size());
    for (char32_t c : folded_) keyword_.push_back(static_cast<char>(c));
  } else {
    keyword_ = Utf32ToUtf8(folded_);
  }
  for (char32_t& c : folded_) c = FoldAsciiCase(c);
}

TCodeHashEntry::~TCodeHashEntry() {
  // Free the chain iteratively: long chains must not recurse deeply.
  TCodeHashEntry* p = next_;
  while (p) {
    TCodeHashEntry* n = p->next_;
    p->next_ = nullptr;
    delete p;
    p = n;
  }
}

TCodeHashEntry* TCodeHashEntry::AddEntry(TCodeHashEntry* newEntry) {
  if (!newEntry) return this;
  // Check the whole chain for the keyword first, so that a refusal changes nothing.
  for (TCodeHashEntry* p = this; p && p->keyLen_ <= newEntry->keyLen_; p = p->next_)
    if (p->keyLen_ == newEntry->keyLen_ && SameTextU32(p->folded_, newEntry->folded_))
      throw Exception(Format(CodeEditStr::SYNS_KeywordAlreadyInList, {p->keyword_}));
  if (newEntry->keyLen_ < keyLen_) {
    newEntry->next_ = this;
    return newEntry;
  }
  TCodeHashEntry* p = this;
  while (p->next_ && p->next_->keyLen_ <= newEntry->keyLen_) p = p->next_;
  newEntry->next_ = p->next_;
  p->next_ = newEntry;
  return this;
}

void TCodeHashEntryList::Put(int hash, std::unique_ptr<TCodeHashEntry> entry) {
  if (hash < 0) return;
  if (hash >= static_cast<int>(heads_.size())) heads_.resize(static_cast<size_t>(hash) + 1, nullptr);
  TCodeHashEntry*& head = heads_[hash];
  if (!head) {
    head = entry.release();
    return;
  }
  TCodeHashEntry* raw = entry.get();
  head = head->AddEntry(raw);  // raises before taking the entry when it is refused
  (void)entry.release();
}

void TCodeHashEntryList::Clear() {
  for (TCodeHashEntry* h : heads_) delete h;
  heads_.clear();
}

void EnumerateKeywords(int kind, std::string_view keywords, const TCodeCharSet& identChars,
                       const TEnumerateKeywordEvent& addProc) {
  if (keywords.empty() || !addProc) return;
  std::u32string text = Utf8ToUtf32(keywords);
  size_t i = 0;
  const size_t n = text.size();
  while (i < n) {
    while (i < n && !identChars.Contains(text[i])) ++i;
    if (i >= n) break;
    size_t start = i;
    while (i < n && identChars.Contains(text[i])) ++i;
    addProc(text.substr(start, i - start), kind);
    ++i;  // the character that ended the word
  }
}
