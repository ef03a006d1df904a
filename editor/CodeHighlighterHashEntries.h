// Keyword hash entries of the highlighters: chains of keywords per hash value, ordered by
// length, and the splitter that turns a comma-separated keyword text into words.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "editor/CodeEditTypes.h"

// One keyword of a hash chain. An entry owns the entries after it.
class TCodeHashEntry {
 public:
  TCodeHashEntry(std::string keyword, int kind);
  // The same from the keyword's code points (the keyword lists are split into them).
  TCodeHashEntry(std::u32string keyword, int kind);
  virtual ~TCodeHashEntry();
  TCodeHashEntry(const TCodeHashEntry&) = delete;
  TCodeHashEntry& operator=(const TCodeHashEntry&) = delete;

  // Adds `newEntry` (ownership passes) to the chain headed by this entry and answers the new
  // head; a keyword already in the chain (in any letter case) raises and changes nothing.
  virtual TCodeHashEntry* AddEntry(TCodeHashEntry* newEntry);

  TCodeHashEntry* Next() const { return next_; }
  int KeyLen() const { return keyLen_; }
  const std::string& Keyword() const { return keyword_; }
  // The keyword as code points with ASCII letters folded to lower case, for fast comparison.
  const std::u32string& FoldedKeyword() const { return folded_; }
  int Kind() const { return kind_; }

 private:
  TCodeHashEntry* next_ = nullptr;
  int keyLen_;
  std::string keyword_;
  std::u32string folded_;
  int kind_;
};

// The heads of the chains, indexed by hash value.
class TCodeHashEntryList {
 public:
  TCodeHashEntryList() = default;
  ~TCodeHashEntryList() { Clear(); }
  TCodeHashEntryList(const TCodeHashEntryList&) = delete;
  TCodeHashEntryList& operator=(const TCodeHashEntryList&) = delete;

  TCodeHashEntry* Get(int hash) const {
    return hash < 0 || hash >= static_cast<int>(heads_.size()) ? nullptr : heads_[hash];
  }
  // Puts the entry into chain `hash` (ownership passes, also when the keyword is refused).
  void Put(int hash, std::unique_ptr<TCodeHashEntry> entry);
  void Clear();
  int Count() const { return static_cast<int>(heads_.size()); }

 private:
  std::vector<TCodeHashEntry*> heads_;
};

// Splits `keywords` into the runs of identifier characters and hands each to `addProc`.
using TEnumerateKeywordEvent = std::function<void(const std::u32string& keyword, int kind)>;
void EnumerateKeywords(int kind, std::string_view keywords, const TCodeCharSet& identChars,
                       const TEnumerateKeywordEvent& addProc);

// ASCII letters folded to lower case; every other code point unchanged.
inline char32_t FoldAsciiCase(char32_t c) {
  return (c >= U'A' && c <= U'Z') ? c + 32 : c;
}
// Equality without regard to letter case.
bool SameTextU32(std::u32string_view a, std::u32string_view b);
