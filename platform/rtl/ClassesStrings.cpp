// String lists: TStrings and TStringList.
#include <algorithm>
#include <cstdint>
#include <numeric>

#include "platform/rtl/Classes.h"
#include "platform/rtl/Lifetime.h"

namespace {
constexpr int kChunkMax = 512;
constexpr int kChunkFill = 256;

// The weights AnsiCompareText gives the one- and two-byte characters (U+0000..U+07FF): the upper
// case, doubled, with Ё right after Е.
struct WeightTable {
  uint32_t W[0x800];
  WeightTable() {
    for (char32_t c = 0; c < 0x800; ++c) {
      const char32_t u = UnicodeUpper(c);
      W[c] = u == 0x401 ? 0x415 * 2 + 1 : static_cast<uint32_t>(u) * 2;
    }
  }
};
const WeightTable& Weights() {
  static const WeightTable table;
  return table;
}

// AnsiCompareText with the one- and two-byte characters (Latin, Greek, Cyrillic) weighed in place;
// from the first longer or malformed sequence on, AnsiCompareText decides.
int FastCompareText(std::string_view a, std::string_view b) {
  size_t i = 0, j = 0;
  const WeightTable& weights = Weights();
  auto next = [&weights](std::string_view s, size_t& p, uint32_t& w) {
    const auto b0 = static_cast<unsigned char>(s[p]);
    if (b0 < 0x80) {
      w = weights.W[b0];
      ++p;
      return true;
    }
    if (b0 >= 0xC2 && b0 <= 0xDF && p + 1 < s.size() &&
        (static_cast<unsigned char>(s[p + 1]) & 0xC0) == 0x80) {
      w = weights.W[((b0 & 0x1F) << 6) | (static_cast<unsigned char>(s[p + 1]) & 0x3F)];
      p += 2;
      return true;
    }
    return false;
  };
  while (i < a.size() && j < b.size()) {
    uint32_t x, y;
    const size_t si = i, sj = j;
    if (!next(a, i, x) || !next(b, j, y)) return AnsiCompareText(a.substr(si), b.substr(sj));
    if (x != y) return x < y ? -1 : 1;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}
}  // namespace

// ---------------------------------------------------------------------------------------------------
namespace talvik_detail {

int ChunkedStringItems::Locate(int Index, int& Offset) const {
  int c = lastChunk_.load(std::memory_order_relaxed);
  if (c >= static_cast<int>(chunks_.size()) || Index < starts_[c] ||
      Index >= starts_[c] + static_cast<int>(chunks_[c].size())) {
    c = static_cast<int>(std::upper_bound(starts_.begin(), starts_.end(), Index) - starts_.begin()) - 1;
    lastChunk_.store(c, std::memory_order_relaxed);
  }
  Offset = Index - starts_[c];
  return c;
}

StringItem& ChunkedStringItems::At(int Index) {
  int offset;
  const int c = Locate(Index, offset);
  return chunks_[c][offset];
}

const StringItem& ChunkedStringItems::At(int Index) const {
  int offset;
  const int c = Locate(Index, offset);
  return chunks_[c][offset];
}

void ChunkedStringItems::Insert(int Index, StringItem&& Item) {
  if (chunks_.empty()) {
    chunks_.emplace_back();
    chunks_.back().reserve(kChunkFill);
    starts_.push_back(0);
  }
  int c, offset;
  if (Index == size_) {
    c = static_cast<int>(chunks_.size()) - 1;
    offset = static_cast<int>(chunks_[c].size());
  } else {
    c = Locate(Index, offset);
  }
  auto& chunk = chunks_[c];
  chunk.insert(chunk.begin() + offset, std::move(Item));
  ++size_;
  for (size_t k = c + 1; k < starts_.size(); ++k) ++starts_[k];
  if (static_cast<int>(chunk.size()) > kChunkMax) {
    // Split the full chunk in two halves.
    std::vector<StringItem> tail(std::make_move_iterator(chunk.begin() + kChunkMax / 2),
                                 std::make_move_iterator(chunk.end()));
    chunk.erase(chunk.begin() + kChunkMax / 2, chunk.end());
    chunks_.insert(chunks_.begin() + c + 1, std::move(tail));
    starts_.insert(starts_.begin() + c + 1, starts_[c] + kChunkMax / 2);
  }
}

void ChunkedStringItems::Erase(int Index) {
  int offset;
  const int c = Locate(Index, offset);
  auto& chunk = chunks_[c];
  chunk.erase(chunk.begin() + offset);
  --size_;
  for (size_t k = c + 1; k < starts_.size(); ++k) --starts_[k];
  if (chunk.empty()) {
    chunks_.erase(chunks_.begin() + c);
    starts_.erase(starts_.begin() + c);
    lastChunk_.store(0, std::memory_order_relaxed);
  }
}

void ChunkedStringItems::Clear() {
  chunks_.clear();
  starts_.clear();
  size_ = 0;
  lastChunk_.store(0, std::memory_order_relaxed);
}

std::vector<StringItem> ChunkedStringItems::TakeAll() {
  std::vector<StringItem> all;
  all.reserve(size_);
  for (auto& chunk : chunks_)
    for (auto& item : chunk) all.push_back(std::move(item));
  Clear();
  return all;
}

void ChunkedStringItems::Assign(std::vector<StringItem>&& Items) {
  Clear();
  const int n = static_cast<int>(Items.size());
  for (int start = 0; start < n; start += kChunkFill) {
    const int end = std::min(n, start + kChunkFill);
    std::vector<StringItem> chunk;
    chunk.reserve(kChunkFill);
    for (int i = start; i < end; ++i) chunk.push_back(std::move(Items[i]));
    chunks_.push_back(std::move(chunk));
    starts_.push_back(start);
  }
  size_ = n;
}

}  // namespace talvik_detail

// ---------------------------------------------------------------------------------------------------
void TStrings::Error(const std::string& Msg, intptr_t Data) {
  throw EStringListError(Format(Msg, {Data}));
}

int TStrings::Add(const std::string& S) {
  const int index = GetCount();
  Insert(index, S);
  return index;
}

int TStrings::AddObject(const std::string& S, TObject* AObject) {
  const int index = Add(S);
  PutObject(index, AObject);
  return index;
}

void TStrings::AddStrings(TStrings* Strings) {
  if (!Strings) return;
  talvik_detail::UpdateScope update(this);
  const int n = Strings->Count();
  for (int i = 0; i < n; ++i) AddObject(Strings->Get(i), Strings->GetObject(i));
}

void TStrings::Assign(TPersistent* Source) {
  auto* source = dynamic_cast<TStrings*>(Source);
  if (!source) {
    TPersistent::Assign(Source);
    return;
  }
  if (source == this) return;
  talvik_detail::UpdateScope update(this);
  Clear();
  delimiter_ = source->delimiter_;
  quoteChar_ = source->quoteChar_;
  nameValueSeparator_ = source->nameValueSeparator_;
  AddStrings(source);
}

void TStrings::BeginUpdate() {
  if (updateCount_ == 0) SetUpdateState(true);
  ++updateCount_;
}

void TStrings::EndUpdate() {
  if (updateCount_ == 0) return;
  if (--updateCount_ == 0) SetUpdateState(false);
}

bool TStrings::Equals(TStrings* Strings) const {
  if (!Strings) return false;
  const int n = GetCount();
  if (n != Strings->GetCount()) return false;
  for (int i = 0; i < n; ++i)
    if (Get(i) != Strings->Get(i)) return false;
  return true;
}

void TStrings::Exchange(int Index1, int Index2) {
  talvik_detail::UpdateScope update(this);
  const std::string s = Get(Index1);
  TObject* o = GetObject(Index1);
  Put(Index1, Get(Index2));
  PutObject(Index1, GetObject(Index2));
  Put(Index2, s);
  PutObject(Index2, o);
}

int TStrings::IndexOf(const std::string& S) const {
  const int n = GetCount();
  for (int i = 0; i < n; ++i)
    if (CompareStrings(Get(i), S) == 0) return i;
  return -1;
}

int TStrings::IndexOfName(const std::string& Name) const {
  const int n = GetCount();
  for (int i = 0; i < n; ++i) {
    const std::string s = Get(i);
    const auto p = s.find(nameValueSeparator_);
    if (p != std::string::npos && CompareStrings(std::string_view(s).substr(0, p), Name) == 0) return i;
  }
  return -1;
}

int TStrings::IndexOfObject(TObject* AObject) const {
  const int n = GetCount();
  for (int i = 0; i < n; ++i)
    if (GetObject(i) == AObject) return i;
  return -1;
}

void TStrings::InsertObject(int Index, const std::string& S, TObject* AObject) {
  Insert(Index, S);
  PutObject(Index, AObject);
}

void TStrings::Move(int CurIndex, int NewIndex) {
  if (CurIndex == NewIndex) return;
  talvik_detail::UpdateScope update(this);
  const std::string s = Get(CurIndex);
  TObject* o = GetObject(CurIndex);
  Delete(CurIndex);
  InsertObject(NewIndex, s, o);
}

void TStrings::Put(int Index, const std::string& S) {
  TObject* o = GetObject(Index);
  Delete(Index);
  InsertObject(Index, S, o);
}

int TStrings::CompareStrings(std::string_view S1, std::string_view S2) const {
  return FastCompareText(S1, S2);
}

std::string TStrings::Names(int Index) const {
  const std::string s = Get(Index);
  const auto p = s.find(nameValueSeparator_);
  return p == std::string::npos ? std::string() : s.substr(0, p);
}

std::string TStrings::Values(const std::string& Name) const {
  const int i = IndexOfName(Name);
  return i < 0 ? std::string() : ValueFromIndex(i);
}

void TStrings::SetValues(const std::string& Name, const std::string& Value) {
  int i = IndexOfName(Name);
  if (!Value.empty()) {
    if (i < 0) i = Add("");
    Put(i, Name + nameValueSeparator_ + Value);
  } else if (i >= 0) {
    Delete(i);
  }
}

std::string TStrings::ValueFromIndex(int Index) const {
  if (Index < 0) return {};
  const std::string s = Get(Index);
  const auto p = s.find(nameValueSeparator_);
  return p == std::string::npos ? std::string() : s.substr(p + 1);
}

void TStrings::SetValueFromIndex(int Index, const std::string& Value) {
  if (!Value.empty()) {
    if (Index < 0) Index = Add("");
    Put(Index, Names(Index) + nameValueSeparator_ + Value);
  } else if (Index >= 0) {
    Delete(Index);
  }
}

std::string TStrings::Text() const {
  std::string result;
  const int n = GetCount();
  for (int i = 0; i < n; ++i) {
    result += Get(i);
    result += "\r\n";
  }
  return result;
}

void TStrings::SetText(std::string_view Value) {
  talvik_detail::UpdateScope update(this);
  Clear();
  size_t p = 0;
  while (p < Value.size()) {
    size_t start = p;
    while (p < Value.size() && Value[p] != '\r' && Value[p] != '\n') ++p;
    Add(std::string(Value.substr(start, p - start)));
    if (p < Value.size() && Value[p] == '\r') ++p;
    if (p < Value.size() && Value[p] == '\n') ++p;
  }
}

namespace {
bool IsBlank(char c) {
  return c != 0 && static_cast<unsigned char>(c) <= ' ';
}
}  // namespace

std::string TStrings::GetDelimited(char Delim, char Quote) const {
  const int n = GetCount();
  if (n == 1 && Get(0).empty()) return std::string(2, Quote);
  std::string result;
  for (int i = 0; i < n; ++i) {
    const std::string s = Get(i);
    // An item with a blank, a control character, the quote or the delimiter is quoted,
    // its quotes doubled.
    const bool quote = std::any_of(s.begin(), s.end(), [&](char c) {
      return static_cast<unsigned char>(c) <= ' ' || c == Quote || c == Delim;
    });
    if (i > 0) result += Delim;
    if (!quote) {
      result += s;
      continue;
    }
    result += AnsiQuotedStr(s, Quote);
  }
  return result;
}

void TStrings::SetDelimited(std::string_view Value, char Delim, char Quote) {
  talvik_detail::UpdateScope update(this);
  Clear();
  size_t p = 0;
  const size_t n = Value.size();
  auto at = [&](size_t i) { return i < n ? Value[i] : '\0'; };
  while (IsBlank(at(p))) ++p;
  while (p < n && Value[p] != '\0') {
    std::string s;
    if (Value[p] == Quote) {
      // A quoted item: doubled quotes stand for one; an unclosed quote runs to the end.
      ++p;
      while (p < n) {
        if (Value[p] == Quote) {
          if (at(p + 1) == Quote) {
            s += Quote;
            p += 2;
            continue;
          }
          ++p;
          break;
        }
        s += Value[p++];
      }
    } else {
      const size_t start = p;
      while (p<n&& static_cast<unsigned char>(Value[p])> ' ' && Value[p] != Delim) ++p;
      s.assign(Value.substr(start, p - start));
    }
    Add(s);
    while (IsBlank(at(p))) ++p;
    if (at(p) == Delim) {
      if (p + 1 >= n || Value[p + 1] == '\0') Add("");
      do {
        ++p;
      } while (IsBlank(at(p)));
    }
  }
}

std::string TStrings::CommaText() const {
  return GetDelimited(',', '"');
}
void TStrings::SetCommaText(std::string_view Value) {
  SetDelimited(Value, ',', '"');
}
std::string TStrings::DelimitedText() const {
  return GetDelimited(delimiter_, quoteChar_);
}
void TStrings::SetDelimitedText(std::string_view Value) {
  SetDelimited(Value, delimiter_, quoteChar_);
}

void TStrings::LoadFromFile(const std::string& FileName) {
  TFileStream stream(FileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(&stream);
}

void TStrings::LoadFromStream(TStream* Stream) {
  talvik_detail::UpdateScope update(this);
  const int64_t size = Stream->Size() - Stream->Position();
  std::string s(size > 0 ? static_cast<size_t>(size) : 0, '\0');
  const int64_t got = s.empty() ? 0 : Stream->Read(s.data(), static_cast<int64_t>(s.size()));
  s.resize(static_cast<size_t>(std::max<int64_t>(got, 0)));
  SetText(s);
}

void TStrings::SaveToFile(const std::string& FileName) const {
  TFileStream stream(FileName, fmCreate);
  SaveToStream(&stream);
}

void TStrings::SaveToStream(TStream* Stream) const {
  const std::string s = Text();
  Stream->WriteBuffer(s.data(), static_cast<int64_t>(s.size()));
}

// ---------------------------------------------------------------------------------------------------
TStringList::~TStringList() {
  OnChange = nullptr;
  OnChanging = nullptr;
}

void TStringList::CheckIndex(int Index) const {
  if (Index < 0 || Index >= items_.Size()) Error(SListIndexError, Index);
}

void TStringList::Changed() {
  if (UpdateCount() == 0 && OnChange) OnChange(this);
}

void TStringList::Changing() {
  if (UpdateCount() == 0 && OnChanging) OnChanging(this);
}

void TStringList::SetUpdateState(bool Updating) {
  // BeginUpdate/EndUpdate call this outside the counted range, so Changing/Changed fire once.
  if (Updating) {
    InvokeEvent(OnChanging, this);
  } else {
    InvokeEvent(OnChange, this);
  }
}

int TStringList::AddObject(const std::string& S, TObject* AObject) {
  int index;
  if (!sorted_) {
    index = items_.Size();
  } else if (Find(S, index)) {
    if (duplicates_ == dupIgnore) return index;
    if (duplicates_ == dupError) Error(SDuplicateString, 0);
  }
  InsertItem(index, S, AObject);
  return index;
}

void TStringList::InsertItem(int Index, const std::string& S, TObject* AObject) {
  Changing();
  items_.Insert(Index, talvik_detail::StringItem{S, AObject});
  Changed();
}

void TStringList::InsertObject(int Index, const std::string& S, TObject* AObject) {
  if (sorted_) Error(SSortedListError, 0);
  if (Index < 0 || Index > items_.Size()) Error(SListIndexError, Index);
  InsertItem(Index, S, AObject);
}

void TStringList::Clear() {
  if (items_.Size() == 0) return;
  Changing();
  items_.Clear();
  Changed();
}

void TStringList::Delete(int Index) {
  CheckIndex(Index);
  Changing();
  items_.Erase(Index);
  Changed();
}

void TStringList::Exchange(int Index1, int Index2) {
  CheckIndex(Index1);
  CheckIndex(Index2);
  Changing();
  std::swap(items_.At(Index1), items_.At(Index2));
  Changed();
}

void TStringList::Move(int CurIndex, int NewIndex) {
  if (CurIndex == NewIndex) return;
  if (sorted_) Error(SSortedListError, 0);
  CheckIndex(CurIndex);
  CheckIndex(NewIndex);
  Changing();
  auto item = std::move(items_.At(CurIndex));
  items_.Erase(CurIndex);
  items_.Insert(NewIndex, std::move(item));
  Changed();
}

bool TStringList::Find(std::string_view S, int& Index) const {
  // The first item not below S: the insertion point, or the first of the equal items.
  Index =
      items_.LowerBound([&](const talvik_detail::StringItem& item) { return CompareStrings(item.S, S) < 0; });
  return Index < items_.Size() && CompareStrings(items_.At(Index).S, S) == 0;
}

int TStringList::IndexOf(const std::string& S) const {
  if (!sorted_) {
    const int n = items_.Size();
    for (int i = 0; i < n; ++i)
      if (CompareStrings(items_.At(i).S, S) == 0) return i;
    return -1;
  }
  int index;
  return Find(S, index) ? index : -1;
}

std::string TStringList::Get(int Index) const {
  CheckIndex(Index);
  return items_.At(Index).S;
}

TObject* TStringList::GetObject(int Index) const {
  CheckIndex(Index);
  return items_.At(Index).Object;
}

void TStringList::Put(int Index, const std::string& S) {
  if (sorted_) Error(SSortedListError, 0);
  CheckIndex(Index);
  Changing();
  items_.At(Index).S = S;
  Changed();
}

void TStringList::PutObject(int Index, TObject* AObject) {
  CheckIndex(Index);
  Changing();
  items_.At(Index).Object = AObject;
  Changed();
}

int TStringList::CompareStrings(std::string_view S1, std::string_view S2) const {
  const int r = FastCompareText(S1, S2);
  return r != 0 || !caseSensitive_ ? r : AnsiCompareStr(S1, S2);
}

void TStringList::SortItems() {
  auto all = items_.TakeAll();
  std::stable_sort(all.begin(), all.end(),
                   [this](const auto& a, const auto& b) { return CompareStrings(a.S, b.S) < 0; });
  items_.Assign(std::move(all));
}

void TStringList::Sort() {
  if (sorted_ || items_.Size() < 2) return;
  Changing();
  SortItems();
  Changed();
}

void TStringList::CustomSort(const TStringListSortCompare& Compare) {
  if (sorted_ || items_.Size() < 2) return;
  Changing();
  // Order a permutation while the items stay where Compare sees them, then apply it.
  std::vector<int> order(items_.Size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return Compare(this, a, b) < 0; });
  auto all = items_.TakeAll();
  std::vector<talvik_detail::StringItem> sorted;
  sorted.reserve(all.size());
  for (int i : order) sorted.push_back(std::move(all[i]));
  items_.Assign(std::move(sorted));
  Changed();
}

void TStringList::SetSorted(bool Value) {
  if (sorted_ == Value) return;
  if (Value) Sort();
  sorted_ = Value;
}

void TStringList::SetCaseSensitive(bool Value) {
  if (caseSensitive_ == Value) return;
  caseSensitive_ = Value;
  // A sorted list is put in the new order at once, so that Find keeps working.
  if (sorted_ && items_.Size() > 1) {
    Changing();
    SortItems();
    Changed();
  }
}

std::string TStringList::Text() const {
  size_t total = 0;
  const int n = items_.Size();
  for (int i = 0; i < n; ++i) total += items_.At(i).S.size() + 2;
  std::string result;
  result.reserve(total);
  for (int i = 0; i < n; ++i) {
    result += items_.At(i).S;
    result += "\r\n";
  }
  return result;
}
