#include "editor/CodeEditWordWrap.h"

#include <algorithm>

#include "editor/CodeEditStrConst.h"

namespace {

constexpr int kMaxRow = 255;
// A line of more rows keeps the columns its rows start at.
constexpr int kManyRows = 32;

void Reserve(std::vector<int32_t>& v, size_t n) {
  if (n > v.capacity()) v.reserve((n + 255) / 256 * 256);
}
void Reserve(std::vector<uint8_t>& v, size_t n) {
  if (n > v.capacity()) v.reserve((n + 511) / 512 * 512);
}

}  // namespace

TCodeWordWrapPlugin::TCodeWordWrapPlugin(ICodeEditWrapHost* editor) : editor_(editor) {
  if (!editor_) throw Exception(CodeEditStr::SWordWrapOwner);
  Reset();
}

void TCodeWordWrapPlugin::Check(bool condition) {
  if (!condition) throw Exception(CodeEditStr::SAssertionFailure);
}

void TCodeWordWrapPlugin::Reset() {
  maxRowLength_ = std::min(std::max(editor_->CharsInWindow(), 0), kMaxRow);
  minRowLength_ = std::max(maxRowLength_ - maxRowLength_ / 3, 1);
  breakChars_ = editor_->IdentChars().Complement();
  WrapLines();
}

void TCodeWordWrapPlugin::DisplayChanged() {
  if (std::min(std::max(editor_->CharsInWindow(), 0), kMaxRow) != maxRowLength_) Reset();
}

void TCodeWordWrapPlugin::IdentCharsChanged() {
  if (editor_->IdentChars().Complement() != breakChars_) Reset();
}

void TCodeWordWrapPlugin::Clear() {
  ++rowsVersion_;
  lineOffsets_.clear();
  rowLengths_.clear();
  lineOffsets_.shrink_to_fit();
  rowLengths_.shrink_to_fit();
  lineCount_ = 0;
}

void TCodeWordWrapPlugin::WrapLine(int index, std::vector<uint8_t>& rows) const {
  rows.clear();
  const std::u32string text = editor_->Lines()->ExpandedStrings(index);
  const int len = static_cast<int>(text.size());
  const int tabWidth = std::max(editor_->Lines()->TabWidth(), 1);
  int s = 0;
  int e = s + maxRowLength_;
  while (e < len) {
    const char32_t c = text[e];
    if (c != U'\t' && c != U' ') {
      for (int p = e - 1; p > s + minRowLength_; --p)
        if (breakChars_.Contains(text[p])) {
          e = p + 1;
          break;
        }
    } else {
      while (e < len && (text[e] == U'\t' || text[e] == U' ')) ++e;
    }
    if (e - s > kMaxRow) {
      e = s + kMaxRow;
      const int limit = e - kMaxRow % tabWidth;
      while (e > limit && e < len && text[e] == U'\t') --e;
    }
    if (e <= s) e = s + 1;  // every row takes at least one character
    rows.push_back(static_cast<uint8_t>(e - s));
    s = e;
    e = s + maxRowLength_;
  }
  rows.push_back(static_cast<uint8_t>(len - s));
}

void TCodeWordWrapPlugin::WrapLines() {
  ++rowsVersion_;
  TCodeEditStringList* lines = editor_->Lines();
  const int n = lines ? lines->Count() : 0;
  if (n == 0 || maxRowLength_ == 0) {
    Clear();
    return;
  }
  lineOffsets_.clear();
  rowLengths_.clear();
  Reserve(lineOffsets_, static_cast<size_t>(n));
  Reserve(rowLengths_, static_cast<size_t>(n));
  std::vector<uint8_t> rows;
  for (int i = 0; i < n; ++i) {
    WrapLine(i, rows);
    Reserve(rowLengths_, rowLengths_.size() + rows.size());
    rowLengths_.insert(rowLengths_.end(), rows.begin(), rows.end());
    lineOffsets_.push_back(static_cast<int32_t>(rowLengths_.size()));
  }
  lineCount_ = n;
}

int TCodeWordWrapPlugin::ReWrapLine(int index) {
  ++rowsVersion_;
  std::vector<uint8_t> rows;
  WrapLine(index, rows);
  const int start = index > 0 ? lineOffsets_[index - 1] : 0;
  const int oldCount = lineOffsets_[index] - start;
  const int diff = static_cast<int>(rows.size()) - oldCount;
  if (diff > 0) Reserve(rowLengths_, rowLengths_.size() + static_cast<size_t>(diff));
  if (diff != 0) {
    rowLengths_.erase(rowLengths_.begin() + start, rowLengths_.begin() + start + oldCount);
    rowLengths_.insert(rowLengths_.begin() + start, rows.begin(), rows.end());
    for (int i = index; i < lineCount_; ++i) lineOffsets_[i] += diff;
  } else {
    std::copy(rows.begin(), rows.end(), rowLengths_.begin() + start);
  }
  return diff;
}

int TCodeWordWrapPlugin::LinesInserted(int index, int count) {
  if (maxRowLength_ == 0) return 0;
  Check(index >= 0 && count >= 1 && index <= lineCount_);
  const int before = index > 0 ? lineOffsets_[index - 1] : 0;
  Reserve(lineOffsets_, static_cast<size_t>(lineCount_ + count));
  ++rowsVersion_;
  lineOffsets_.insert(lineOffsets_.begin() + index, static_cast<size_t>(count), before);
  lineCount_ += count;
  int added = 0;
  for (int i = index; i < index + count; ++i) added += ReWrapLine(i);
  return added;
}

int TCodeWordWrapPlugin::LinesDeleted(int index, int count) {
  if (maxRowLength_ == 0) return 0;
  Check(index >= 0 && count >= 1 && index + count <= lineCount_);
  const int start = index > 0 ? lineOffsets_[index - 1] : 0;
  const int end = lineOffsets_[index + count - 1];
  const int removed = end - start;
  ++rowsVersion_;
  rowLengths_.erase(rowLengths_.begin() + start, rowLengths_.begin() + end);
  lineOffsets_.erase(lineOffsets_.begin() + index, lineOffsets_.begin() + index + count);
  lineCount_ -= count;
  for (int i = index; i < lineCount_; ++i) lineOffsets_[i] -= removed;
  return removed;
}

int TCodeWordWrapPlugin::LinesPutted(int index, int count) {
  if (maxRowLength_ == 0) return 0;
  Check(index >= 0 && count >= 1 && index + count <= lineCount_);
  int diff = 0;
  for (int i = index; i < index + count; ++i) diff += ReWrapLine(i);
  return diff;
}

int TCodeWordWrapPlugin::GetRowLength(int row) const {
  if (row < 1 || row > RowCount()) throw EListError(Format(CodeEditStr::SListIndexOutOfBounds, {row}));
  return rowLengths_[row - 1];
}

int TCodeWordWrapPlugin::LineToRow(int line) const {
  if (line < 1) return 1;
  if (line > lineCount_) return RowCount() + (line - lineCount_);
  return (line > 1 ? lineOffsets_[line - 2] : 0) + 1;
}

int TCodeWordWrapPlugin::RowsOfLine(int line) const {
  if (line < 1 || line > lineCount_) return 1;
  return lineOffsets_[line - 1] - (line > 1 ? lineOffsets_[line - 2] : 0);
}

int TCodeWordWrapPlugin::LineOfRowIndex(int rowIndex) const {
  // the first line whose offset passes the row index
  auto it = std::upper_bound(lineOffsets_.begin(), lineOffsets_.begin() + lineCount_, rowIndex);
  return static_cast<int>(it - lineOffsets_.begin());
}

int TCodeWordWrapPlugin::RowToLine(int row) const {
  Check(row >= 1);
  const int rows = RowCount();
  if (row > rows) return row - rows + lineCount_;
  return LineOfRowIndex(row - 1) + 1;
}

bool TCodeWordWrapPlugin::ManyRows(int index) const {
  return lineOffsets_[index] - (index > 0 ? lineOffsets_[index - 1] : 0) > kManyRows;
}

const std::vector<int32_t>& TCodeWordWrapPlugin::RowStarts(int index) const {
  if (startsLine_ != index || startsVersion_ != rowsVersion_) {
    const int first = index > 0 ? lineOffsets_[index - 1] : 0;
    const int last = lineOffsets_[index];
    rowStarts_.resize(static_cast<size_t>(last - first));
    int32_t column = 1;
    for (int r = first; r < last; ++r) {
      rowStarts_[static_cast<size_t>(r - first)] = column;
      column += rowLengths_[r];
    }
    startsLine_ = index;
    startsVersion_ = rowsVersion_;
  }
  return rowStarts_;
}

int TCodeWordWrapPlugin::ColumnOfRow(int row) const {
  Check(row >= 1 && row <= RowCount());
  const int index = LineOfRowIndex(row - 1);
  const int first = index > 0 ? lineOffsets_[index - 1] : 0;
  if (ManyRows(index)) return RowStarts(index)[static_cast<size_t>(row - 1 - first)];
  int column = 1;
  for (int r = first; r < row - 1; ++r) column += rowLengths_[r];
  return column;
}

TDisplayCoord TCodeWordWrapPlugin::BufferToDisplayPos(const TBufferCoord& pos) const {
  Check(pos.Char >= 1 && pos.Line >= 1);
  if (pos.Line > lineCount_) return TDisplayCoord{pos.Char, RowCount() + (pos.Line - lineCount_)};
  const int first = pos.Line > 1 ? lineOffsets_[pos.Line - 2] : 0;
  if (ManyRows(pos.Line - 1)) {
    // the last row that starts at or before the character
    const std::vector<int32_t>& starts = RowStarts(pos.Line - 1);
    const auto it = std::upper_bound(starts.begin() + 1, starts.end(), pos.Char);
    const int i = static_cast<int>(it - starts.begin()) - 1;
    return TDisplayCoord{pos.Char - (starts[static_cast<size_t>(i)] - 1), first + i + 1};
  }
  const int last = lineOffsets_[pos.Line - 1] - 1;
  int row = first;
  int sum = 0;
  while (row < last && sum + rowLengths_[row] < pos.Char) {
    sum += rowLengths_[row];
    ++row;
  }
  return TDisplayCoord{pos.Char - sum, row + 1};
}

TBufferCoord TCodeWordWrapPlugin::DisplayToBufferPos(const TDisplayCoord& pos) const {
  Check(pos.Column >= 1 && pos.Row >= 1);
  const int rows = RowCount();
  if (pos.Row > rows) return TBufferCoord{pos.Column, pos.Row - rows + lineCount_};
  // The line whose rows hold the row: the first line whose offset reaches it.
  auto it = std::lower_bound(lineOffsets_.begin(), lineOffsets_.begin() + lineCount_, pos.Row);
  const int line = static_cast<int>(it - lineOffsets_.begin());
  const int first = line > 0 ? lineOffsets_[line - 1] : 0;
  const int rowIndex = pos.Row - 1;
  const bool lastRowOfLine = rowIndex == lineOffsets_[line] - 1;
  const int limit = (lastRowOfLine ? maxRowLength_ : rowLengths_[rowIndex]) + 1;
  int column = std::min(pos.Column, limit);
  if (ManyRows(line))
    column += RowStarts(line)[static_cast<size_t>(rowIndex - first)] - 1;
  else
    for (int r = first; r < rowIndex; ++r) column += rowLengths_[r];
  return TBufferCoord{column, line + 1};
}
