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
  void Clear();

  int LineCount() const { return lineCount_; }
  int MaxRowLength() const { return maxRowLength_; }
  int MinRowLength() const { return minRowLength_; }
  // The rows of a line (from 1): the first row (from 1) and how many rows it takes.
  int LineToRow(int line) const;
  int RowsOfLine(int line) const;

 private:
  void WrapLine(int index, std::vector<uint8_t>& rows) const;
  int ReWrapLine(int index);
  void WrapLines();
  static void Check(bool condition);

  ICodeEditWrapHost* editor_;
  std::vector<int32_t> lineOffsets_;
  std::vector<uint8_t> rowLengths_;
  int lineCount_ = 0;
  int maxRowLength_ = 0;
  int minRowLength_ = 0;
  TCodeCharSet breakChars_;
};
