#include "editor/CodeEditTextBuffer.h"

#include <algorithm>
#include <atomic>

#include "editor/CodeEditStrConst.h"
#include "platform/rtl/Lifetime.h"

namespace {

const std::u32string kEmptyLine;

// Line versions count up from 1 across every list of the process.
uint64_t NextLineVersion() {
  static std::atomic<uint64_t> last{0};
  return ++last;
}

}  // namespace

TCodeEditStringList::TCodeEditStringList() {
  convertTabsProc_ = GetBestConvertTabsProc(tabWidth_);
}

TCodeEditStringList::~TCodeEditStringList() {
  OnChange = nullptr;
  OnChanging = nullptr;
  OnCleared = nullptr;
}

template <typename F>
void TCodeEditStringList::Updated(F&& fn) {
  BeginUpdate();
  try {
    fn();
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TCodeEditStringList::SetUpdateState(bool updating) {
  if (updating) {
    InvokeEvent(OnChanging, this);
  } else {
    InvokeEvent(OnChange, this);
  }
}

void TCodeEditStringList::ListIndexOutOfBounds(int index) const {
  throw ECodeEditStringList(Format(CodeEditStr::SInvalidStringListIndex, {index}));
}

void TCodeEditStringList::Grow() {
  int delta = capacity_ > 64 ? capacity_ / 4 : 16;
  SetCapacity(capacity_ + delta);
}

void TCodeEditStringList::SetCapacity(int newCapacity) {
  if (newCapacity < GetCount()) throw EListError(CodeEditStr::SInvalidCapacity);
  capacity_ = newCapacity;
  if (static_cast<size_t>(newCapacity) > list_.capacity())
    list_.reserve(static_cast<size_t>(newCapacity));
  else if (static_cast<size_t>(newCapacity) < list_.capacity() / 2)
    list_.shrink_to_fit();
}

const std::u32string& TCodeEditStringList::Line32(int index) const {
  if (index < 0 || index >= GetCount()) return kEmptyLine;
  return list_[index].fString;
}

std::string TCodeEditStringList::Get(int index) const {
  if (index < 0 || index >= GetCount()) return std::string();
  return Utf32ToUtf8(list_[index].fString);
}

TObject* TCodeEditStringList::GetObject(int index) const {
  if (index < 0 || index >= GetCount()) return nullptr;
  return list_[index].fObject;
}

int32_t TCodeEditStringList::Ranges(int index) const {
  if (index < 0 || index >= GetCount()) return 0;
  return list_[index].fRange;
}

void TCodeEditStringList::SetRanges(int index, int32_t range) {
  if (index < 0 || index >= GetCount()) ListIndexOutOfBounds(index);
  list_[index].fRange = range;
}

void TCodeEditStringList::PutObject(int index, TObject* object) {
  if (index < 0 || index >= GetCount()) ListIndexOutOfBounds(index);
  list_[index].fObject = object;
}

void TCodeEditStringList::InsertItem(int index, std::u32string s) {
  if (GetCount() == capacity_) Grow();
  TCodeEditStringRec rec;
  rec.fString = std::move(s);
  rec.fVersion = NextLineVersion();
  list_.insert(list_.begin() + index, std::move(rec));
}

int TCodeEditStringList::Add(const std::string& s) {
  return AddU32(Utf8ToUtf32(s));
}

int TCodeEditStringList::AddU32(std::u32string s) {
  int index = GetCount();
  Updated([&] {
    InsertItem(index, std::move(s));
    InvokeEvent(OnInserted, this, index, 1);
  });
  return index;
}

void TCodeEditStringList::AddStrings(TStrings* strings) {
  if (!strings || strings->Count() == 0) return;
  Updated([&] {
    indexOfLongestLine_ = -1;
    const int first = GetCount();
    const int n = strings->Count();
    if (capacity_ < first + n) SetCapacity((first + n + 15) / 16 * 16);
    for (int i = 0; i < n; ++i) {
      TCodeEditStringRec rec;
      if (auto* own = dynamic_cast<TCodeEditStringList*>(strings))
        rec.fString = own->Line32(i);
      else
        rec.fString = Utf8ToUtf32(strings->Strings(i));
      rec.fObject = strings->Objects(i);
      rec.fVersion = NextLineVersion();
      list_.push_back(std::move(rec));
    }
    InvokeEvent(OnInserted, this, first, n);
  });
}

void TCodeEditStringList::Insert(int index, const std::string& s) {
  InsertU32(index, Utf8ToUtf32(s));
}

void TCodeEditStringList::InsertU32(int index, std::u32string s) {
  if (index < 0 || index > GetCount()) ListIndexOutOfBounds(index);
  Updated([&] {
    InsertItem(index, std::move(s));
    if (indexOfLongestLine_ >= index) ++indexOfLongestLine_;
    InvokeEvent(OnInserted, this, index, 1);
  });
}

void TCodeEditStringList::InsertLines(int index, int numLines) {
  if (index < 0 || index > GetCount()) ListIndexOutOfBounds(index);
  if (numLines <= 0) return;
  Updated([&] {
    SetCapacity(GetCount() + numLines);
    TCodeEditStringRec blank;
    blank.fRange = 0;
    blank.fExpandedLength = 0;
    blank.fFlags = 0;
    list_.insert(list_.begin() + index, static_cast<size_t>(numLines), blank);
    if (indexOfLongestLine_ >= index) indexOfLongestLine_ += numLines;
    InvokeEvent(OnInserted, this, index, numLines);
  });
}

void TCodeEditStringList::Put(int index, const std::string& s) {
  PutU32(index, Utf8ToUtf32(s));
}

void TCodeEditStringList::PutU32(int index, std::u32string s) {
  if (index == 0 && GetCount() == 0) {
    AddU32(std::move(s));
    return;
  }
  if (index == GetCount()) {
    AddU32(std::move(s));
    return;
  }
  if (index < 0 || index >= GetCount()) ListIndexOutOfBounds(index);
  Updated([&] {
    indexOfLongestLine_ = -1;
    TCodeEditStringRec& rec = list_[index];
    rec.fFlags = static_cast<uint8_t>((rec.fFlags & ~(sfHasTabs | sfHasNoTabs)) | sfExpandedLengthUnknown);
    rec.fString = std::move(s);
    rec.fVersion = NextLineVersion();
    InvokeEvent(OnPutted, this, index, 1);
  });
}

void TCodeEditStringList::Delete(int index) {
  if (index < 0 || index >= GetCount()) ListIndexOutOfBounds(index);
  Updated([&] {
    list_.erase(list_.begin() + index);
    indexOfLongestLine_ = -1;
    InvokeEvent(OnDeleted, this, index, 1);
  });
}

void TCodeEditStringList::DeleteLines(int index, int numLines) {
  if (numLines <= 0) return;
  if (index < 0 || index >= GetCount()) ListIndexOutOfBounds(index);
  numLines = std::min(numLines, GetCount() - index);
  Updated([&] {
    list_.erase(list_.begin() + index, list_.begin() + index + numLines);
    indexOfLongestLine_ = -1;
    InvokeEvent(OnDeleted, this, index, numLines);
  });
}

void TCodeEditStringList::Exchange(int index1, int index2) {
  if (index1 < 0 || index1 >= GetCount()) ListIndexOutOfBounds(index1);
  if (index2 < 0 || index2 >= GetCount()) ListIndexOutOfBounds(index2);
  Updated([&] {
    std::swap(list_[index1], list_[index2]);
    if (indexOfLongestLine_ == index1)
      indexOfLongestLine_ = index2;
    else if (indexOfLongestLine_ == index2)
      indexOfLongestLine_ = index1;
  });
}

void TCodeEditStringList::Clear() {
  if (GetCount() > 0) {
    Updated([&] {
      list_.clear();
      list_.shrink_to_fit();
      capacity_ = 0;
      InvokeEvent(OnCleared, this);
    });
  }
  indexOfLongestLine_ = -1;
}

std::u32string TCodeEditStringList::ExpandString(int index) {
  TCodeEditStringRec& rec = list_[index];
  if (rec.fString.empty()) {
    rec.fFlags = sfHasNoTabs;
    rec.fExpandedLength = 0;
    return std::u32string();
  }
  bool hasTabs = false;
  std::u32string r = convertTabsProc_(rec.fString, tabWidth_, hasTabs);
  rec.fExpandedLength = static_cast<int32_t>(r.size());
  rec.fFlags = hasTabs ? sfHasTabs : sfHasNoTabs;
  return r;
}

std::u32string TCodeEditStringList::ExpandedStrings(int index) {
  if (index < 0 || index >= GetCount()) return std::u32string();
  if (list_[index].fFlags & sfHasNoTabs) return list_[index].fString;
  return ExpandString(index);
}

int TCodeEditStringList::ExpandedStringLength(int index) {
  if (index < 0 || index >= GetCount()) return 0;
  const TCodeEditStringRec& rec = list_[index];
  if (!(rec.fFlags & sfExpandedLengthUnknown) && rec.fExpandedLength >= 0) return rec.fExpandedLength;
  if (!(rec.fFlags & (sfHasTabs | sfHasNoTabs | sfExpandedLengthUnknown)) && rec.fExpandedLength >= 0)
    return rec.fExpandedLength;  // a line made blank by InsertLines
  if (rec.fString.find(U'\t') == std::u32string::npos) {
    TCodeEditStringRec& r = list_[index];
    r.fExpandedLength = static_cast<int32_t>(r.fString.size());
    r.fFlags = sfHasNoTabs;
    return r.fExpandedLength;
  }
  return static_cast<int>(ExpandString(index).size());
}

const std::u32string& TCodeEditStringList::ExpandedLine(int index, std::u32string& scratch) {
  if (index < 0 || index >= GetCount()) return kEmptyLine;
  if (!HasTabs(index)) return list_[index].fString;
  scratch = ExpandString(index);
  return scratch;
}

bool TCodeEditStringList::HasTabs(int index) {
  if (index < 0 || index >= GetCount()) return false;
  if (!(list_[index].fFlags & (sfHasTabs | sfHasNoTabs))) ExpandedStringLength(index);
  return !(list_[index].fFlags & sfHasNoTabs);
}

uint64_t TCodeEditStringList::Version(int index) const {
  if (index < 0 || index >= GetCount()) return 0;
  return list_[index].fVersion;
}

int TCodeEditStringList::LengthOfLongestLine() {
  if (indexOfLongestLine_ < 0) {
    int maxLen = -1;
    indexOfLongestLine_ = 0;
    for (int i = 0; i < GetCount(); ++i) {
      int len = ExpandedStringLength(i);
      if (len > maxLen) {
        maxLen = len;
        indexOfLongestLine_ = i;
      }
    }
  }
  if (indexOfLongestLine_ < GetCount()) return ExpandedStringLength(indexOfLongestLine_);
  return 0;
}

void TCodeEditStringList::SetTabWidth(int value) {
  if (value == tabWidth_) return;
  tabWidth_ = value;
  convertTabsProc_ = GetBestConvertTabsProc(value);
  indexOfLongestLine_ = -1;
  for (TCodeEditStringRec& rec : list_) {
    rec.fExpandedLength = -1;
    rec.fFlags = static_cast<uint8_t>((rec.fFlags & ~sfHasNoTabs) | sfExpandedLengthUnknown);
  }
}

std::string TCodeEditStringList::Text() const {
  std::string r = TStrings::Text();
  if (r.size() >= 2 && r.compare(r.size() - 2, 2, "\r\n") == 0) r.resize(r.size() - 2);
  return r;
}

void TCodeEditStringList::LoadFromFile(const std::string& fileName) {
  TFileStream stream(fileName, fmOpenRead | fmShareDenyNone);
  LoadFromStream(&stream);
}

void TCodeEditStringList::LoadFromStream(TStream* stream) {
  Updated([&] {
    // Read to the real end: a stream's reported size is only a hint.
    std::string bytes;
    stream->Seek(0, soFromBeginning);
    int64_t hint = stream->Size();
    if (hint > 0 && hint < (int64_t{1} << 31)) bytes.reserve(static_cast<size_t>(hint));
    char chunk[65536];
    for (;;) {
      int64_t got = stream->Read(chunk, sizeof chunk);
      if (got <= 0) break;
      bytes.append(chunk, static_cast<size_t>(got));
    }
    Clear();
    const std::u32string text = Utf8ToUtf32(bytes);
    bool sawCR = false, sawLF = false;
    size_t p = 0;
    const size_t n = text.size();
    while (p < n) {
      size_t start = p;
      while (p < n && text[p] != U'\r' && text[p] != U'\n') ++p;
      AddU32(text.substr(start, p - start));
      if (p < n && text[p] == U'\r') {
        ++p;
        sawCR = true;
      }
      if (p < n && text[p] == U'\n') {
        ++p;
        sawLF = true;
      }
    }
    if (!appendNewLineAtEOF_ && n > 0 && (text[n - 1] == U'\r' || text[n - 1] == U'\n'))
      AddU32(std::u32string());
    if (sawCR && !sawLF)
      fileFormat_ = sffMac;
    else if (sawLF && !sawCR)
      fileFormat_ = sffUnix;
    else
      fileFormat_ = sffDos;
  });
}

void TCodeEditStringList::SaveToStream(TStream* stream) const {
  const char* lineEnd = fileFormat_ == sffDos ? "\r\n" : (fileFormat_ == sffUnix ? "\n" : "\r");
  std::string out;
  size_t size = 0;
  for (const auto& rec : list_) size += rec.fString.size() + 2;
  out.reserve(size);
  const int n = GetCount();
  for (int i = 0; i < n; ++i) {
    for (char32_t c : list_[i].fString) Utf8Append(out, c);
    if (i < n - 1 || appendNewLineAtEOF_) out += lineEnd;
  }
  if (!out.empty()) stream->WriteBuffer(out.data(), static_cast<int64_t>(out.size()));
}

void TCodeEditStringList::SaveToFile(const std::string& fileName) const {
  TCodeEditFileWriter writer(fileName, fileFormat_);
  const int n = GetCount();
  for (int i = 0; i < n; ++i) {
    if (i < n - 1 || appendNewLineAtEOF_)
      writer.WriteLine(Utf32ToUtf8(list_[i].fString));
    else
      writer.Write(Utf32ToUtf8(list_[i].fString));
  }
  writer.Close();
}

// ---------------------------------------------------------------------------------------------------

void TCodeEditUndoItem::Assign(TPersistent* source) {
  auto* src = dynamic_cast<TCodeEditUndoItem*>(source);
  if (!src) {
    TPersistent::Assign(source);
    return;
  }
  ChangeReason = src->ChangeReason;
  ChangeSelMode = src->ChangeSelMode;
  ChangeStartPos = src->ChangeStartPos;
  ChangeEndPos = src->ChangeEndPos;
  ChangeStr = src->ChangeStr;
  ChangeNumber = src->ChangeNumber;
}

TCodeEditUndoList::~TCodeEditUndoList() = default;

void TCodeEditUndoList::Assign(TPersistent* source) {
  auto* src = dynamic_cast<TCodeEditUndoList*>(source);
  if (!src) {
    TPersistent::Assign(source);
    return;
  }
  if (src == this) return;
  items_.clear();
  for (const auto& item : src->items_) {
    auto copy = std::make_unique<TCodeEditUndoItem>();
    copy->Assign(item.get());
    items_.push_back(std::move(copy));
  }
  blockChangeNumber_ = src->blockChangeNumber_;
  blockCount_ = src->blockCount_;
  fullUndoImpossible_ = src->fullUndoImpossible_;
  lockCount_ = src->lockCount_;
  maxUndoActions_ = src->maxUndoActions_;
  nextChangeNumber_ = src->nextChangeNumber_;
}

void TCodeEditUndoList::IncNextChangeNumber() {
  ++nextChangeNumber_;
  if (nextChangeNumber_ == 0) ++nextChangeNumber_;
}

void TCodeEditUndoList::AddChange(uint8_t reason, const TBufferCoord& start, const TBufferCoord& end,
                                  std::string changeText, TCodeSelectionMode selMode) {
  if (lockCount_ > 0) return;
  auto item = std::make_unique<TCodeEditUndoItem>();
  item->ChangeReason = reason;
  item->ChangeSelMode = selMode;
  item->ChangeStartPos = start;
  item->ChangeEndPos = end;
  item->ChangeStr = std::move(changeText);
  if (blockChangeNumber_ != 0) {
    item->ChangeNumber = blockChangeNumber_;
  } else {
    item->ChangeNumber = nextChangeNumber_;
    if (blockCount_ == 0) IncNextChangeNumber();
  }
  PushItem(std::move(item));
}

void TCodeEditUndoList::BeginBlock() {
  ++blockCount_;
  blockChangeNumber_ = nextChangeNumber_;
}

void TCodeEditUndoList::EndBlock() {
  if (blockCount_ <= 0) return;
  --blockCount_;
  if (blockCount_ == 0) {
    int closed = blockChangeNumber_;
    blockChangeNumber_ = 0;
    IncNextChangeNumber();
    if (!items_.empty() && items_.back()->ChangeNumber == closed && OnAddedUndo) OnAddedUndo(this);
  }
}

void TCodeEditUndoList::AddGroupBreak() {
  if (LastChangeReason() == ucGroupBreak) return;
  AddChange(ucGroupBreak, TBufferCoord{0, 0}, TBufferCoord{0, 0}, std::string(), smNormal);
}

void TCodeEditUndoList::Clear() {
  items_.clear();
  fullUndoImpossible_ = false;
}

void TCodeEditUndoList::Lock() {
  ++lockCount_;
}

void TCodeEditUndoList::Unlock() {
  if (lockCount_ > 0) --lockCount_;
}

std::unique_ptr<TCodeEditUndoItem> TCodeEditUndoList::PopItem() {
  if (items_.empty()) return nullptr;
  auto item = std::move(items_.back());
  items_.pop_back();
  return item;
}

void TCodeEditUndoList::PushItem(std::unique_ptr<TCodeEditUndoItem> item) {
  if (!item) return;
  const bool groupBreak = item->ChangeReason == ucGroupBreak;
  items_.push_back(std::move(item));
  EnsureMaxEntries();
  if (!groupBreak && OnAddedUndo) OnAddedUndo(this);
}

namespace {

bool IsBeginMarker(uint8_t r) {
  return r == 10 || r == 12 || r == 14 || r == 16;
}
bool IsEndMarker(uint8_t r) {
  return r == 11 || r == 13 || r == 15 || r == 17;
}

}  // namespace

void TCodeEditUndoList::EnsureMaxEntries() {
  if (static_cast<int>(items_.size()) <= maxUndoActions_) return;
  fullUndoImpossible_ = true;
  const int newest = items_.empty() ? 0 : items_.back()->ChangeNumber;
  while (static_cast<int>(items_.size()) > maxUndoActions_) {
    const int dropped = items_.front()->ChangeNumber;
    items_.pop_front();
    // Keep whole changes: the rest of a change whose first items went is dropped too, unless it is
    // the change being recorded now.
    while (!items_.empty() && dropped != newest && items_.front()->ChangeNumber == dropped)
      items_.pop_front();
  }
  // An end marker whose begin marker went would make one undo run through the whole history: drop
  // everything up to and including such an orphan end.
  for (;;) {
    int depth[4] = {0, 0, 0, 0};
    size_t orphan = items_.size();
    for (size_t i = 0; i < items_.size(); ++i) {
      uint8_t r = items_[i]->ChangeReason;
      if (IsBeginMarker(r)) {
        ++depth[(r - 10) / 2];
      } else if (IsEndMarker(r)) {
        if (depth[(r - 11) / 2] == 0) {
          orphan = i;
          break;
        }
        --depth[(r - 11) / 2];
      }
    }
    if (orphan == items_.size()) break;
    items_.erase(items_.begin(), items_.begin() + static_cast<std::ptrdiff_t>(orphan) + 1);
  }
}

void TCodeEditUndoList::SetMaxUndoActions(int value) {
  if (value < 0) value = 0;
  if (value == maxUndoActions_) return;
  maxUndoActions_ = value;
  EnsureMaxEntries();
}

void TCodeEditUndoList::MarkTopAsUnmodified(bool value) {
  if (value) {
    unmodifiedMark_ = items_.empty() ? 0 : items_.back()->ChangeNumber;
  } else if (IsTopMarkedAsUnmodified()) {
    unmodifiedMark_ = -1;
  }
}

bool TCodeEditUndoList::IsTopMarkedAsUnmodified() const {
  if (items_.empty()) return unmodifiedMark_ == 0;
  return items_.back()->ChangeNumber == unmodifiedMark_;
}
