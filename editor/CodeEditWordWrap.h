// Word wrap: maps the lines of the editor's buffer to display rows no wider than the text area,
// cutting preferably after a word.
#pragma once

#include <cstdint>
#include <vector>

#include "editor/CodeEditTextBuffer.h"
#include "editor/CodeEditTypes.h"

// What the editor offers its buffer plug-ins.
class ICodeEditWrapHost {
 public:
  virtual ~ICodeEditWrapHost() = default;
  virtual int CharsInWindow() const = 0;
  virtual TCodeCharSet IdentChars() const = 0;
  virtual TCodeEditStringList* Lines() const = 0;
};

// A plug-in told about buffer changes that maps buffer positions to display positions.
class ICodeEditBufferPlugin {
 public:
  virtual ~ICodeEditBufferPlugin() = default;
  virtual TDisplayCoord BufferToDisplayPos(const TBufferCoord& pos) const = 0;
  virtual TBufferCoord DisplayToBufferPos(const TDisplayCoord& pos) const = 0;
  virtual int RowCount() const = 0;
  virtual int GetRowLength(int row) const = 0;
  virtual int LinesInserted(int index, int count) = 0;
  virtual int LinesDeleted(int index, int count) = 0;
  virtual int LinesPutted(int index, int count) = 0;
  virtual void Reset() = 0;
  virtual void DisplayChanged() = 0;
};

class TCodeWordWrapPlugin : public ICodeEditBufferPlugin {
 public:
  explicit TCodeWordWrapPlugin(ICodeEditWrapHost* editor);

  TDisplayCoord BufferToDisplayPos(const TBufferCoord& pos) const override;
  TBufferCoord DisplayToBufferPos(const TDisplayCoord& pos) const override;
  int RowCount() const override { return lineCount_ > 0 ? lineOffsets_[lineCount_ - 1] : 0; }
  int GetRowLength(int row) const override;
  int LinesInserted(int index, int count) override;
  int LinesDeleted(int index, int count) override;
  int LinesPutted(int index, int count) override;
  void Reset() override;
  void DisplayChanged() override;
  // The highlighter's word characters may have changed: the lines wrap again if they did.
  void IdentCharsChanged();
  void Clear();

  int LineCount() const { return lineCount_; }
  int MaxRowLength() const { return maxRowLength_; }
  int MinRowLength() const { return minRowLength_; }
  // The rows of a line (from 1): the first row (from 1) and how many rows it takes.
  int LineToRow(int line) const;
  int RowsOfLine(int line) const;
  // The line (from 1) that a row (from 1) shows; rows past the last line count on one a line.
  int RowToLine(int row) const;
  // The expanded column (from 1) of its line that a row of a wrapped line starts at.
  int ColumnOfRow(int row) const;

 private:
  void WrapLine(int index, std::vector<uint8_t>& rows) const;
  int ReWrapLine(int index);
  void WrapLines();
  static void Check(bool condition);
  // The line (from 0) whose rows hold the row index (from 0).
  int LineOfRowIndex(int rowIndex) const;
  // The expanded column (from 1) each row of a line (from 0) starts at, kept for the last line asked
  // about until the rows change: a line of many rows is then not walked row by row again.
  const std::vector<int32_t>& RowStarts(int index) const;
  bool ManyRows(int index) const;

  ICodeEditWrapHost* editor_;
  std::vector<int32_t> lineOffsets_;
  std::vector<uint8_t> rowLengths_;
  int lineCount_ = 0;
  int maxRowLength_ = 0;
  int minRowLength_ = 0;
  TCodeCharSet breakChars_;
  uint64_t rowsVersion_ = 0;  // counts the changes of the rows
  mutable int startsLine_ = -1;
  mutable uint64_t startsVersion_ = 0;
  mutable std::vector<int32_t> rowStarts_;
};
