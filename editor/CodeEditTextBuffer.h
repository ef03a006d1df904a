// The editor's line buffer (lines as code points, with the highlighter's range state and the
// cached tab-expanded length of each line) and the undo list the editor records changes in.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "editor/CodeEditMiscClasses.h"
#include "editor/CodeEditMiscProcs.h"
#include "editor/CodeEditTypes.h"
#include "platform/rtl/Classes.h"

TALVIK_DECLARE_EXCEPTION(ECodeEditStringList, Exception);

// Bits of a line's flags.
enum : uint8_t { sfHasTabs = 1, sfHasNoTabs = 2, sfExpandedLengthUnknown = 4 };

struct TCodeEditStringRec {
  std::u32string fString;
  TObject* fObject = nullptr;
  int32_t fRange = -1;
  int32_t fExpandedLength = -1;
  uint8_t fFlags = sfExpandedLengthUnknown;
  uint64_t fVersion = 0;  // changes whenever fString does (see TCodeEditStringList::Version)
};

using TStringListChangeEvent = std::function<void(TObject* sender, int index, int count)>;

class TCodeEditStringList : public TStrings {
  TALVIK_CLASS(TCodeEditStringList, TStrings)
  TCodeEditStringList();
  ~TCodeEditStringList() override;

  int Add(const std::string& s) override;
  int AddU32(std::u32string s);
  void AddStrings(TStrings* strings) override;
  void Clear() override;
  void Delete(int index) override;
  void DeleteLines(int index, int numLines);
  void Exchange(int index1, int index2) override;
  void Insert(int index, const std::string& s) override;
  void InsertU32(int index, std::u32string s);
  void InsertLines(int index, int numLines);
  void PutU32(int index, std::u32string s);
  void LoadFromFile(const std::string& fileName) override;
  void LoadFromStream(TStream* stream) override;
  void SaveToFile(const std::string& fileName) const override;
  void SaveToStream(TStream* stream) const override;
  // The joined text with the final line end removed.
  std::string Text() const override;

  // A line as code points (an empty line outside the list).
  const std::u32string& Line32(int index) const;
  int Capacity() const override { return capacity_; }
  void SetCapacity(int newCapacity) override;

  int32_t Ranges(int index) const;
  void SetRanges(int index, int32_t range);
  // The line with every tab expanded to tab cells (code 9) up to the next tab stop.
  std::u32string ExpandedStrings(int index);
  int ExpandedStringLength(int index);
  // The expanded line without a copy when it has no tabs; otherwise it is expanded into `scratch`.
  // The reference lives until the line or the list changes.
  const std::u32string& ExpandedLine(int index, std::u32string& scratch);
  // Whether the line holds a tab (known from then on until the line changes).
  bool HasTabs(int index);
  // A number that no other text of any line of any list had before: it changes with every change of
  // the line's text, so that what is computed from a line can be kept under it.
  uint64_t Version(int index) const;
  int LengthOfLongestLine();

  int TabWidth() const { return tabWidth_; }
  void SetTabWidth(int value);
  TCodeEditFileFormat FileFormat() const { return fileFormat_; }
  void SetFileFormat(TCodeEditFileFormat value) { fileFormat_ = value; }
  bool AppendNewLineAtEOF() const { return appendNewLineAtEOF_; }
  void SetAppendNewLineAtEOF(bool value) { appendNewLineAtEOF_ = value; }

  void Put(int index, const std::string& s) override;
  void PutObject(int index, TObject* object) override;

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;
  TNotifyEvent OnCleared;
  TStringListChangeEvent OnDeleted;
  TStringListChangeEvent OnInserted;
  TStringListChangeEvent OnPutted;

 protected:
  std::string Get(int index) const override;
  int GetCount() const override { return static_cast<int>(list_.size()); }
  TObject* GetObject(int index) const override;
  void SetUpdateState(bool updating) override;

 private:
  [[noreturn]] void ListIndexOutOfBounds(int index) const;
  void Grow();
  void InsertItem(int index, std::u32string s);
  std::u32string ExpandString(int index);
  // Runs `fn` between BeginUpdate and EndUpdate, also when it raises.
  template <typename F>
  void Updated(F&& fn);

  std::vector<TCodeEditStringRec> list_;
  int capacity_ = 0;
  TCodeEditFileFormat fileFormat_ = sffDos;
  bool appendNewLineAtEOF_ = true;
  TConvertTabsProc convertTabsProc_;
  int tabWidth_ = 8;
  int indexOfLongestLine_ = -1;
};

// The kinds of change an undo item records.
constexpr uint8_t ucInsert = 0, ucPaste = 1, ucDragDropInsert = 2, ucDeleteAfterCursor = 3, ucDelete = 4,
                  ucLineBreak = 5, ucIndent = 6, ucUnindent = 7, ucSilentDelete = 8,
                  ucSilentDeleteAfterCursor = 9, ucAutoCompleteBegin = 10, ucAutoCompleteEnd = 11,
                  ucPasteBegin = 12, ucPasteEnd = 13, ucSpecial1Begin = 14, ucSpecial1End = 15,
                  ucSpecial2Begin = 16, ucSpecial2End = 17, ucCaret = 18, ucSelection = 19, ucNothing = 20,
                  ucGroupBreak = 21, ucDeleteAll = 22, ucWhiteSpaceAdd = 25;

class TCodeEditUndoItem : public TPersistent {
  TALVIK_CLASS(TCodeEditUndoItem, TPersistent)
  TCodeEditUndoItem() = default;
  void Assign(TPersistent* source) override;

  uint8_t ChangeReason = ucNothing;
  TCodeSelectionMode ChangeSelMode = smNormal;
  TBufferCoord ChangeStartPos;
  TBufferCoord ChangeEndPos;
  std::string ChangeStr;
  int32_t ChangeNumber = 0;
};

class TCodeEditUndoList : public TPersistent {
  TALVIK_CLASS(TCodeEditUndoList, TPersistent)
  TCodeEditUndoList() = default;
  ~TCodeEditUndoList() override;

  void Assign(TPersistent* source) override;
  void AddChange(uint8_t reason, const TBufferCoord& start, const TBufferCoord& end, std::string changeText,
                 TCodeSelectionMode selMode);
  void BeginBlock();
  void EndBlock();
  void AddGroupBreak();
  void Clear();
  void Lock();
  void Unlock();
  bool CanUndo() const { return !items_.empty(); }
  int ItemCount() const { return static_cast<int>(items_.size()); }
  TCodeEditUndoItem* Items(int index) const { return items_.at(static_cast<size_t>(index)).get(); }
  TCodeEditUndoItem* PeekItem() const { return items_.empty() ? nullptr : items_.back().get(); }
  // Takes the newest item out of the list; the caller owns it.
  std::unique_ptr<TCodeEditUndoItem> PopItem();
  // Appends an item (its number kept), trims the list and reports it.
  void PushItem(std::unique_ptr<TCodeEditUndoItem> item);
  uint8_t LastChangeReason() const { return items_.empty() ? ucNothing : items_.back()->ChangeReason; }

  int MaxUndoActions() const { return maxUndoActions_; }
  void SetMaxUndoActions(int value);
  int BlockChangeNumber() const { return blockChangeNumber_; }
  void SetBlockChangeNumber(int value) { blockChangeNumber_ = value; }
  int BlockCount() const { return blockCount_; }
  bool FullUndoImpossible() const { return fullUndoImpossible_; }
  int LockCount() const { return lockCount_; }
  int NextChangeNumber() const { return nextChangeNumber_; }
  void MarkTopAsUnmodified(bool value);
  bool IsTopMarkedAsUnmodified() const;

  TNotifyEvent OnAddedUndo;

 private:
  void IncNextChangeNumber();
  void EnsureMaxEntries();

  std::deque<std::unique_ptr<TCodeEditUndoItem>> items_;
  int blockChangeNumber_ = 0;
  int blockCount_ = 0;
  bool fullUndoImpossible_ = false;
  int lockCount_ = 0;
  int maxUndoActions_ = 1024;
  int nextChangeNumber_ = 1;
  int unmodifiedMark_ = 0;
};
