#include "editor/CodeEditScanPoints.h"

#include <algorithm>
#include <cassert>

#include "editor/CodeEditHighlighter.h"
#include "editor/CodeEditTextBuffer.h"

namespace {

constexpr unsigned kTokensBetweenLooks = 8;

}  // namespace

TCodeScanPoints::TLine& TCodeScanPoints::LineOf(const TCodeCustomHighlighter* highlighter,
                                                TCodeEditStringList* lines, int index) {
  const uint64_t version = lines->Version(index);
  const int32_t startRange = highlighter->GetRange();
  const int tabWidth = lines->TabWidth();
  ++clock_;
  for (TLine& l : lines_)
    if (l.Version == version && l.StartRange == startRange && l.TabWidth == tabWidth &&
        l.Highlighter == highlighter) {
      l.LastUse = clock_;
      return l;
    }
  TLine* slot = nullptr;
  if (lines_.size() < kLines) {
    slot = &lines_.emplace_back();
  } else {
    slot = &*std::min_element(lines_.begin(), lines_.end(),
                              [](const TLine& a, const TLine& b) { return a.LastUse < b.LastUse; });
  }
  slot->Version = version;
  slot->StartRange = startRange;
  slot->TabWidth = tabWidth;
  slot->Highlighter = highlighter;
  slot->Points.assign(1, TPoint{0, startRange});
  slot->ScannedTo = 0;
  slot->LastUse = clock_;
  return *slot;
}

void TCodeScanPoints::Start(TCodeCustomHighlighter* highlighter, TCodeEditStringList* lines, int index,
                            const std::u32string& text, int from) {
  current_ = nullptr;
  if (!highlighter->CanScanFrom() || text.size() < static_cast<size_t>(kMinLength)) {
    highlighter->SetLine(text, index);
    return;
  }
  TLine& line = LineOf(highlighter, lines, index);
  // the last point at or before `from`
  auto it = std::upper_bound(line.Points.begin(), line.Points.end(), from,
                             [](int pos, const TPoint& p) { return pos < p.Pos; });
  assert(it != line.Points.begin());
  const TPoint start = *(it - 1);
  current_ = &line;
  highlighter->SetLineFrom(text, index, start.Pos, start.Range);
}

void TCodeScanPoints::Record(int next, int32_t range) {
  if (next - current_->Points.back().Pos >= kSpacing) current_->Points.push_back(TPoint{next, range});
  current_->ScannedTo = next;
}

void TCodeScanPoints::ScanToEol(TCodeCustomHighlighter* highlighter, TCodeEditStringList* lines, int index) {
  // the expanded copy of a line with tabs lives for this scan only: a long line is not kept twice
  std::u32string expanded;
  const std::u32string& text = lines->ExpandedLine(index, expanded);
  Start(highlighter, lines, index, text, static_cast<int>(text.size()));
  if (!current_) {
    highlighter->NextToEol();
    return;
  }
  // a look at every few tokens is enough to keep the points about kSpacing apart
  for (unsigned n = 1; !highlighter->GetEol(); ++n) {
    if (n % kTokensBetweenLooks == 0)
      Passed(highlighter->GetTokenPos() + highlighter->GetTokenLen(), highlighter->GetRange());
    highlighter->Next();
  }
  current_ = nullptr;
}

void TCodeScanPoints::Clear() {
  lines_.clear();
  current_ = nullptr;
}
