// Points along long lines where the highlighter's scan can start: the range before a token every
// so many columns, kept per version of a line, so that a paint of a part of a long line scans the
// tokens of that part only, and a rescan of a changed line records them for the paint that follows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class TCodeCustomHighlighter;
class TCodeEditStringList;

class TCodeScanPoints {
 public:
  // Lines shorter than this (expanded) are always scanned from their start.
  static constexpr int kMinLength = 1024;
  // The least distance between two points of a line, in expanded columns.
  static constexpr int kSpacing = 128;
  // How many lines keep their points.
  static constexpr size_t kLines = 8;

  // Sets `highlighter` on the expanded `text` of the line `index` of `lines`, for a scan that needs
  // the tokens from expanded column `from` (from 0) on: at the last point at or before it, or at the
  // line's start. The range before the line is set on the highlighter already. Until the next call
  // the caller reports each token it reads through Passed.
  void Start(TCodeCustomHighlighter* highlighter, TCodeEditStringList* lines, int index,
             const std::u32string& text, int from);
  // The token just read ends at `next` (where the next one starts) with `range` after it.
  void Passed(int next, int32_t range) {
    if (current_ && next > current_->ScannedTo) Record(next, range);
  }
  // Scans the line `index` to its end (its range before it set on the highlighter), recording its
  // points; the highlighter's range is then the range after the line.
  void ScanToEol(TCodeCustomHighlighter* highlighter, TCodeEditStringList* lines, int index);
  // Forgets every point (the highlighter or its settings changed).
  void Clear();

 private:
  struct TPoint {
    int32_t Pos;
    int32_t Range;
  };
  // The points of one version of a line scanned from one range with one tab width by one
  // highlighter; they stand for every token start up to ScannedTo.
  struct TLine {
    uint64_t Version = 0;
    int32_t StartRange = 0;
    int TabWidth = 0;
    const TCodeCustomHighlighter* Highlighter = nullptr;
    std::vector<TPoint> Points;
    int ScannedTo = 0;
    uint64_t LastUse = 0;
  };

  void Record(int next, int32_t range);
  TLine& LineOf(const TCodeCustomHighlighter* highlighter, TCodeEditStringList* lines, int index);

  std::vector<TLine> lines_;
  TLine* current_ = nullptr;  // the line Passed records into; none for lines scanned from their start
  uint64_t clock_ = 0;
};
