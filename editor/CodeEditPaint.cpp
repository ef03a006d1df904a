// The editor's painting: the gutter with line numbers and marks, and the text lines with the
// selection, highlighted tokens merged into runs, special characters and the right edge.
#include <algorithm>
#include <climits>

#include "editor/CodeEdit.h"
#include "platform/gui/ImgList.h"
#include "platform/rtl/Lifetime.h"

// The selection as painting sees it: display coordinates, ends in order.
struct TSelectionPaint {
  bool Shown = false;
  TDisplayCoord Start;
  TDisplayCoord End;
  TCodeSelectionMode Mode = smNormal;
};

namespace {

constexpr char32_t kPilcrow = U'\u00B6';
constexpr char32_t kMiddleDot = U'\u00B7';
constexpr char32_t kTabMark = U'\u00BB';
constexpr char32_t kReplacement = U'\uFFFD';

int ClampToInt(int64_t v) {
  return static_cast<int>(std::clamp<int64_t>(v, INT_MIN / 4, INT_MAX / 4));
}

bool IsBlanks(std::u32string_view s) {
  for (char32_t c : s)
    if (c != U' ' && c != U'\t') return false;
  return true;
}

// One run of equally drawn characters: display columns [Start, Start + Text.size()).
struct TRun {
  int Start = 0;
  std::u32string Text;
  TColor Fore = clNone;
  TColor Back = clNone;
  TFontStyles Style;
};

}  // namespace

// ------------------------------------------------------------------ Paint

void TCustomCodeEdit::Paint() {
  TRect clip = Canvas()->ClipRect();
  if (charWidth_ <= 0 || lineHeight_ <= 0) return;
  int64_t textLeft = gutterWidth_ + 2;
  int firstCol = leftChar_;
  // A glyph may reach a pixel into the next cell: the column left of the clip is drawn too (within the
  // clip), so that its glyph reaches into the clip as in a whole paint.
  if (clip.Left > textLeft)
    firstCol = std::max(leftChar_, ClampToInt(leftChar_ + (clip.Left - textLeft) / charWidth_) - 1);
  // the last column and row that the clip touches (its right and bottom edges are exclusive)
  int lastCol = ClampToInt(leftChar_ + std::max<int64_t>(clip.Right - textLeft - 1, 0) / charWidth_);
  int firstRow = topLine_ + std::max(clip.Top, 0) / lineHeight_;
  int lastRow = topLine_ + std::max(clip.Bottom - 1, 0) / lineHeight_;
  lastRow = std::clamp(lastRow, 1, std::max(DisplayLineCount(), 1));
  HideCaretNow();
  if (clip.Left < gutterWidth_) {
    TRect r = clip;
    r.Right = std::min(r.Right, gutterWidth_);
    PaintGutter(r, firstRow, lastRow);
  }
  if (clip.Right > gutterWidth_) {
    TRect r = clip;
    r.Left = std::max(r.Left, gutterWidth_);
    PaintTextLines(r, firstRow, lastRow, firstCol, lastCol);
  }
  if (!plugins_.empty()) {
    int firstLine = RowToLine(firstRow), lastLine = RowToLine(lastRow);
    for (auto& p : plugins_) p->AfterPaint(Canvas(), clip, firstLine, lastLine);
  }
  DoOnPaint();
  DoOnPaintTransient(ttAfter);
  UpdateCaret();
}

TColor TCustomCodeEdit::ColorEditorBG() const {
  if (highlighter_) {
    TCodeHighlighterAttributes* ws = highlighter_->GetDefaultAttribute(4);
    if (ws && ws->Background() != clNone) return ws->Background();
  }
  return color_;
}

// ------------------------------------------------------------------ gutter

void TCustomCodeEdit::PaintGutter(const TRect& clip, int firstRow, int lastRow) {
  TCanvas* canvas = Canvas();
  int firstLine = RowToLine(firstRow);
  int lastLine = RowToLine(lastRow);
  canvas->Brush()->SetColor(gutter_->Color());
  if (gutter_->ShowLineNumbers()) {
    TFont* font = gutter_->UseFontStyle() ? gutter_->Font() : Font();
    if (gutter_->UseFontStyle()) textDrawer_->SetBaseFont(gutter_->Font());
    textDrawer_->SetStyle(gutter_->UseFontStyle() ? gutter_->Font()->Style() : TFontStyles{});
    textDrawer_->BeginDrawing(canvas->Handle());
    textDrawer_->SetForeColor(font->Color());
    textDrawer_->SetBackColor(gutter_->Color());
    int numWidth = textDrawer_->GetCharWidth();
    int numHeight = textDrawer_->GetCharHeight();
    int bottom = clip.Top;
    for (int line = firstLine; line <= lastLine && line <= std::max(lines_->Count(), 1); ++line) {
      int row = LineToRow(line);
      int top = (row - topLine_) * lineHeight_;
      TRect r(clip.Left, top, std::max(clip.Right, gutterWidth_ - 2), top + lineHeight_);
      r.Right = std::min(r.Right, gutterWidth_ - 2 > clip.Left ? gutterWidth_ - 2 : clip.Right);
      if (wordWrapPlugin_ && top > bottom) {
        textDrawer_->ExtTextOut(clip.Left, bottom, ETO_OPAQUE, TRect(clip.Left, bottom, r.Right, top), U"");
      }
      std::string text = gutter_->FormatLineNumber(line);
      InvokeEvent(OnGutterGetText, this, line, text);
      std::u32string t = Utf8ToUtf32(text);
      int x = gutterWidth_ - gutter_->RightOffset() - 2 - static_cast<int>(t.size()) * numWidth;
      int y = top + (lineHeight_ - numHeight) / 2;
      textDrawer_->ExtTextOut(x, y, ETO_OPAQUE | ETO_CLIPPED, r, t);
      bottom = top + lineHeight_;
    }
    if (bottom < clip.Bottom)
      textDrawer_->ExtTextOut(clip.Left, bottom, ETO_OPAQUE,
                              TRect(clip.Left, bottom, clip.Right, clip.Bottom), U"");
    textDrawer_->EndDrawing();
    if (gutter_->UseFontStyle()) {
      textDrawer_->SetBaseFont(Font());
      RecalcCharExtent();
    }
  } else {
    canvas->FillRect(clip);
  }
  if (wordWrapPlugin_ && wordWrapGlyph_->Visible()) {
    int x = gutterWidth_ - gutter_->RightOffset() - 2 - wordWrapGlyph_->Width();
    for (int row = firstRow; row <= lastRow; ++row)
      if (LineToRow(RowToLine(row)) != row)
        wordWrapGlyph_->Draw(canvas, x, (row - topLine_) * lineHeight_, lineHeight_);
  }
  if (gutter_->BorderStyle() != gbsNone && clip.Right >= gutterWidth_ - 2) {
    TPen* pen = canvas->Pen();
    pen->SetColor(color_);
    pen->SetWidth(1);
    if (gutter_->BorderStyle() == gbsMiddle) {
      canvas->MoveTo(gutterWidth_ - 2, clip.Top);
      canvas->LineTo(gutterWidth_ - 2, clip.Bottom);
      pen->SetColor(gutter_->Color());
    }
    canvas->MoveTo(gutterWidth_ - 1, clip.Top);
    canvas->LineTo(gutterWidth_ - 1, clip.Bottom);
  }
  // marks: bookmarks of the preferred kind first, then the others
  if (bookMarkOpt_->GlyphsVisible() && markList_->Count() > 0 && lines_->Count() > 0) {
    if (!internalBookmarkImage_)
      internalBookmarkImage_ = std::make_unique<TCodeInternalImage>("CodeEditInternalImages", 10);
    int rows = lastRow - firstRow + 1;
    std::vector<int> offsets(static_cast<size_t>(std::max(rows, 0)), 0);
    auto drawPass = [&](bool bookmarks) {
      for (int i = 0; i < markList_->Count(); ++i) {
        TCodeEditMark* m = markList_->Items(i);
        if (!m->Visible() || m->IsBookmark() != bookmarks) continue;
        if (m->Line() < firstLine || m->Line() > lastLine) continue;
        int row = LineToRow(m->Line());
        if (row < firstRow || row > lastRow) continue;
        int& offset = offsets[static_cast<size_t>(row - firstRow)];
        int top = (row - topLine_) * lineHeight_;
        if (!m->InternalImage()) {
          TCustomImageList* images = bookMarkOpt_->BookmarkImages();
          if (!images || m->ImageIndex() < 0 || m->ImageIndex() >= images->Count()) continue;
          if (bookmarks == bookMarkOpt_->DrawBookmarksFirst())
            offset = 0;
          else if (offset == 0)
            offset = bookMarkOpt_->Xoffset();
          images->Draw(canvas, bookMarkOpt_->LeftMargin() + offset, top, m->ImageIndex());
          offset += bookMarkOpt_->Xoffset();
        } else if (m->ImageIndex() >= 0 && m->ImageIndex() < 10 && offset == 0) {
          internalBookmarkImage_->DrawMark(canvas, m->ImageIndex(), bookMarkOpt_->LeftMargin() + offset, top,
                                           lineHeight_);
          offset += bookMarkOpt_->Xoffset();
        }
      }
    };
    drawPass(bookMarkOpt_->DrawBookmarksFirst());
    drawPass(!bookMarkOpt_->DrawBookmarksFirst());
    if (OnGutterPaint)
      for (int line = firstLine; line <= lastLine; ++line) {
        int row = LineToRow(line);
        if (row < firstRow || row > lastRow) continue;
        OnGutterPaint(this, line, offsets[static_cast<size_t>(row - firstRow)],
                      (row - topLine_) * lineHeight_);
      }
  }
}

// ------------------------------------------------------------------ text lines

void TCustomCodeEdit::PaintTextLines(const TRect& clip, int firstRow, int lastRow, int firstCol,
                                     int lastCol) {
  TCanvas* canvas = Canvas();
  HDC dc = canvas->Handle();
  textDrawer_->BeginDrawing(dc);
  struct TEnd {
    TheTextDrawer* d;
    ~TEnd() { d->EndDrawing(); }
  } end{textDrawer_.get()};
  // the margin between the gutter and the text
  if (clip.Left < gutterWidth_ + 2) {
    textDrawer_->SetBackColor(ColorEditorBG());
    textDrawer_->ExtTextOut(gutterWidth_, clip.Top, ETO_OPAQUE,
                            TRect(gutterWidth_, clip.Top, gutterWidth_ + 2, clip.Bottom), U"");
  }
  if (highlighter_) highlighter_->ResetRange();
  TSelectionPaint sel;
  if (!(hideSelection_ && !Focused()) && SelAvail()) {
    TBufferCoord b = BlockBegin(), e = BlockEnd();
    if (selectionMode_ == smColumn && b.Char > e.Char) std::swap(b.Char, e.Char);
    int firstLine = RowToLine(firstRow), lastLine = RowToLine(lastRow);
    if (b.Line <= lastLine && e.Line >= firstLine) {
      sel.Shown = true;
      sel.Mode = selectionMode_;
      sel.Start = BufferToDisplayPos(b);
      sel.End = BufferToDisplayPos(e);
      if (selectionMode_ == smColumn && sel.Start.Column > sel.End.Column)
        std::swap(sel.Start.Column, sel.End.Column);
    }
  }
  int row = firstRow;
  int rowCount = DisplayLineCount();
  while (row <= lastRow && row <= rowCount) {
    int line = RowToLine(row);
    int lineLastRow = wordWrapPlugin_ ? LineToRow(line + 1) - 1 : row;
    if (line > lines_->Count()) lineLastRow = row;
    PaintLine(line, row, std::min(lineLastRow, lastRow), firstCol, lastCol, clip, sel);
    row = std::min(lineLastRow, lastRow) + 1;
  }
  int64_t bottom = static_cast<int64_t>(row - topLine_) * lineHeight_;
  if (bottom < clip.Bottom) {
    int top = static_cast<int>(std::max<int64_t>(bottom, clip.Top));
    textDrawer_->SetBackColor(ColorEditorBG());
    textDrawer_->ExtTextOut(clip.Left, top, ETO_OPAQUE, TRect(clip.Left, top, clip.Right, clip.Bottom), U"");
    int64_t edge = textOffset_ + static_cast<int64_t>(rightEdge_) * charWidth_;
    if (rightEdge_ > 0 && edge >= clip.Left && edge < clip.Right) {
      canvas->Pen()->SetColor(rightEdgeColor_);
      canvas->Pen()->SetWidth(1);
      // the text drawer draws nothing after this line: the end of its drawing puts back the state the
      // device context had when the drawing began
      canvas->MoveTo(static_cast<int>(edge), top);
      canvas->LineTo(static_cast<int>(edge), clip.Bottom + 1);
    }
  }
}

void TCustomCodeEdit::PaintLine(int line, int firstRow, int lastRow, int firstCol, int lastCol,
                                const TRect& clip, const TSelectionPaint& sel) {
  TCanvas* canvas = Canvas();
  bool currentLine = line == caretY_;
  TColor lineFG = Font()->Color();
  TColor lineBG = (currentLine && activeLineColor_ != clNone) ? activeLineColor_ : ColorEditorBG();
  bool special = DoOnSpecialLineColors(line, lineFG, lineBG);
  // the line's text stays as it is while the line is painted
  std::u32string expanded;
  const std::u32string& text = line <= lines_->Count() ? lines_->ExpandedLine(line - 1, expanded) : expanded;
  TColor selFG = special ? lineBG : selectedColor_->Foreground();
  TColor selBG = special ? lineFG : selectedColor_->Background();
  int64_t edgeX = textOffset_ + static_cast<int64_t>(rightEdge_) * charWidth_;
  bool edgeInClip = rightEdge_ > 0 && edgeX >= clip.Left && edgeX < clip.Right;

  // the tokens of the whole line, in expanded columns (0-based)
  struct TToken {
    int Pos;
    int Len;
    TCodeHighlighterAttributes* Attr;
  };
  std::vector<TToken> tokens;
  // the attribute of the last token the scan read: the line's last one when the paint reaches the
  // line's end, whose look the line end's mark follows
  TCodeHighlighterAttributes* lastScanned = nullptr;
  // the expanded column shown at display column 1 of the first painted row
  const int firstRowStartCol =
      wordWrapPlugin_ && line <= lines_->Count() ? wordWrapPlugin_->ColumnOfRow(firstRow) : 1;
  int lastPaintedExpanded = 0;  // one past the last expanded column any row of this line paints
  if (wordWrapPlugin_) {
    int rowStartCol = firstRowStartCol;
    for (int row = firstRow; row <= lastRow; ++row) {
      int width = wordWrapPlugin_->GetRowLength(row);
      lastPaintedExpanded =
          static_cast<int>(std::min<int64_t>(static_cast<int64_t>(rowStartCol) - 1 + width, INT_MAX / 4));
      rowStartCol += width;
    }
  } else {
    lastPaintedExpanded = std::min(lastCol, INT_MAX / 4);
  }
  if (highlighter_ && line <= lines_->Count()) {
    if (line == 1)
      highlighter_->ResetRange();
    else
      highlighter_->SetRange(lines_->Ranges(line - 2));
    // a highlighter that starts inside a line needs the tokens of the painted rows only; the others
    // scan a wrapped line from its start
    int firstPainted = wordWrapPlugin_ ? 0 : firstCol - 1;
    if (highlighter_->CanScanFrom()) firstPainted = wordWrapPlugin_ ? firstRowStartCol - 1 : firstCol - 1;
    // the scan starts no later than the line's last character, so that it reads the line's last token
    // also in a paint that starts at the line's end
    const int scanFrom = std::min(firstPainted, std::max(static_cast<int>(text.size()) - 1, 0));
    scanPoints_.Start(highlighter_, lines_, line - 1, text, scanFrom);
    while (!highlighter_->GetEol()) {
      int pos = highlighter_->GetTokenPos();
      int len = highlighter_->GetTokenLen();
      if (pos >= lastPaintedExpanded) break;
      lastScanned = highlighter_->GetTokenAttribute();
      if (pos + len > firstPainted) tokens.push_back({pos, len, lastScanned});
      scanPoints_.Passed(pos + len, highlighter_->GetRange());
      highlighter_->Next();
    }
  } else {
    tokens.push_back({0, static_cast<int>(text.size()), nullptr});
  }
  const bool lastTokenComment = lastScanned && lastScanned == highlighter_->GetDefaultAttribute(0);

  int rowStartCol = firstRowStartCol;  // the expanded column shown at display column 1 of the row
  size_t firstToken = 0;               // the first token that does not end before the row
  for (int row = firstRow; row <= lastRow; ++row) {
    int rowLength = wordWrapPlugin_ ? wordWrapPlugin_->GetRowLength(row) : INT_MAX / 4;
    int top = (row - topLine_) * lineHeight_;
    int rowEndCol = rowStartCol + rowLength;  // exclusive, expanded
    bool lastRowOfLine = !wordWrapPlugin_ || row == LineToRow(line + 1) - 1 || line > lines_->Count();
    // selection on this row, in display columns [selStart, selEnd)
    int selStart = 0, selEnd = 0;
    bool selPastEol = false;
    if (sel.Shown && row >= sel.Start.Row && row <= sel.End.Row) {
      selStart = firstCol;
      selEnd = lastCol + 1;
      bool rowSelected = true;
      if (sel.Mode == smColumn || (sel.Mode == smNormal && row == sel.Start.Row)) {
        if (sel.Start.Column > lastCol)
          rowSelected = false;
        else if (sel.Start.Column > firstCol)
          selStart = sel.Start.Column;
      }
      if (sel.Mode == smColumn || (sel.Mode == smNormal && row == sel.End.Row)) {
        if (sel.End.Column < firstCol)
          rowSelected = false;
        else if (sel.End.Column <= lastCol)
          selEnd = sel.End.Column;
      }
      if (!rowSelected) selStart = selEnd = 0;
      if (rowSelected && selStart < selEnd) {
        if (sel.Mode == smLine) selPastEol = true;
        if (sel.Mode == smNormal && row != sel.End.Row) selPastEol = true;
        if (sel.Mode == smColumn || (sel.Mode == smNormal && row == sel.End.Row))
          selPastEol = selEnd > lastCol;
      }
    }
    auto drawPart = [&](int col0, int col1, std::u32string_view s, TColor fg, TColor bg, TFontStyles style) {
      // display columns [col0, col1), limited to the painted columns
      int from = std::max(col0, firstCol), to = std::min(col1, lastCol + 1);
      if (from >= to) return;
      std::u32string_view part = s.substr(static_cast<size_t>(from - col0), static_cast<size_t>(to - from));
      int64_t x0 = textOffset_ + static_cast<int64_t>(from - 1) * charWidth_;
      int64_t x1 = textOffset_ + static_cast<int64_t>(to - 1) * charWidth_;
      TRect r(ClampToInt(std::max<int64_t>(x0, clip.Left)), top,
              ClampToInt(std::min<int64_t>(x1, clip.Right)), top + lineHeight_);
      if (r.Left >= r.Right) return;
      if (style.Contains(fsItalic) && !part.empty()) r.Right += textDrawer_->Overhang(part.back());
      textDrawer_->SetStyle(style);
      textDrawer_->SetForeColor(fg);
      textDrawer_->SetBackColor(bg);
      if (showSpecialChars_) {
        std::u32string shown(part);
        size_t i = 0;
        while (i < shown.size()) {
          if (shown[i] == U' ') shown[i] = kMiddleDot;
          ++i;
        }
        // tab marks: drawn over their span of tab cells, one cell centred
        textDrawer_->ExtTextOut(ClampToInt(x0 < r.Left ? x0 : r.Left), top, ETO_OPAQUE | ETO_CLIPPED, r,
                                std::u32string(shown.size(), U' '));
        for (size_t k = 0; k < shown.size();) {
          size_t j = k;
          while (j < shown.size() && shown[j] != U'\t') ++j;
          if (j > k) {
            int64_t xs = x0 + static_cast<int64_t>(k) * charWidth_;
            textDrawer_->ExtTextOut(ClampToInt(xs), top, ETO_CLIPPED, r,
                                    std::u32string_view(shown).substr(k, j - k));
          }
          k = j;
          while (k < shown.size() && shown[k] == U'\t') ++k;
        }
        // A tab mark stands in the middle cell of its run of tab cells in the row, wherever the
        // clip or the selection cuts the run, so that a paint of a part of the row draws it where a
        // whole paint does.
        const auto at = [&](int col) -> size_t { return static_cast<size_t>(rowStartCol - 1 + col - 1); };
        const size_t rowEnd = std::min(text.size(), static_cast<size_t>(std::max(rowEndCol - 1, 0)));
        const size_t rowBegin = static_cast<size_t>(rowStartCol - 1);
        for (int c = from; c < to;) {
          size_t i = at(c);
          if (i >= rowEnd || text[i] != U'\t') {
            ++c;
            continue;
          }
          size_t first = i, last = i + 1;
          while (first > rowBegin && text[first - 1] == U'\t') --first;
          while (last < rowEnd && text[last] == U'\t') ++last;
          const int markCol = c + static_cast<int>(first + (last - first - 1) / 2) - static_cast<int>(i);
          if (markCol >= from && markCol < to) {
            int64_t xs = textOffset_ + static_cast<int64_t>(markCol - 1) * charWidth_;
            TRect cell(ClampToInt(std::max<int64_t>(xs, r.Left)), top,
                       ClampToInt(std::min<int64_t>(xs + charWidth_, r.Right)), top + lineHeight_);
            textDrawer_->ExtTextOut(ClampToInt(xs), top, ETO_OPAQUE | ETO_CLIPPED, cell,
                                    std::u32string(1, kTabMark));
          }
          c += static_cast<int>(last - i);
        }
        return;
      }
      std::u32string shown(part);
      for (char32_t& c : shown) {
        if (c == U'\t')
          c = U' ';
        else if (c == 0)
          c = kReplacement;
      }
      textDrawer_->ExtTextOut(ClampToInt(x0 < r.Left ? x0 : std::max<int64_t>(x0, r.Left)), top,
                              ETO_OPAQUE | ETO_CLIPPED, r, shown);
    };
    auto paintRun = [&](const TRun& run) {
      int col0 = run.Start, col1 = run.Start + static_cast<int>(run.Text.size());
      if (selStart < selEnd && col0 < selEnd && col1 > selStart) {
        int a = std::max(col0, selStart), b = std::min(col1, selEnd);
        std::u32string_view t(run.Text);
        if (col0 < a)
          drawPart(col0, a, t.substr(0, static_cast<size_t>(a - col0)), run.Fore, run.Back, run.Style);
        drawPart(a, b, t.substr(static_cast<size_t>(a - col0), static_cast<size_t>(b - a)), selFG, selBG,
                 run.Style);
        if (b < col1)
          drawPart(b, col1, t.substr(static_cast<size_t>(b - col0)), run.Fore, run.Back, run.Style);
      } else {
        drawPart(col0, col1, run.Text, run.Fore, run.Back, run.Style);
      }
    };
    // tokens of this row, merged into runs
    TRun run;
    bool haveRun = false;
    auto addToken = [&](int displayCol, std::u32string_view s, TColor fg, TColor bg, TFontStyles style) {
      if (haveRun) {
        bool sameBack = run.Back == bg;
        bool blanks = IsBlanks(s);
        bool sameLook = run.Fore == fg && run.Style == style;
        // blanks show nothing of the run's colour and style unless special characters show them as
        // marks: then a mark keeps its own token's look, wherever the paint's clip starts
        bool blankJoins =
            blanks && !showSpecialChars_ &&
            (run.Style == style || (!run.Style.Contains(fsUnderline) && !style.Contains(fsUnderline)));
        if (sameBack && (sameLook || blankJoins) &&
            run.Start + static_cast<int>(run.Text.size()) == displayCol) {
          run.Text.append(s);
          return;
        }
        paintRun(run);
      }
      run = TRun{displayCol, std::u32string(s), fg, bg, style};
      haveRun = true;
    };
    int textEndCol = 1;  // display column one past the row's text
    while (firstToken < tokens.size() && tokens[firstToken].Pos + tokens[firstToken].Len + 1 <= rowStartCol)
      ++firstToken;
    for (size_t t = firstToken; t < tokens.size(); ++t) {
      const TToken& tk = tokens[t];
      int a = std::max(tk.Pos + 1, rowStartCol), b = std::min(tk.Pos + 1 + tk.Len, rowEndCol);
      if (a >= b) continue;
      int displayA = a - rowStartCol + 1;
      if (displayA > lastCol) break;
      TColor fg = lineFG, bg = lineBG;
      TFontStyles style = Font()->Style();
      if (tk.Attr) {
        style = tk.Attr->Style();
        if (tk.Attr->Foreground() != clNone && !(special && !options_.Contains(eoSpecialLineDefaultFg)))
          fg = tk.Attr->Foreground();
        if (tk.Attr->Background() != clNone && !special) bg = tk.Attr->Background();
      }
      addToken(displayA,
               std::u32string_view(text).substr(static_cast<size_t>(a - 1), static_cast<size_t>(b - a)), fg,
               bg, style);
      textEndCol = displayA + (b - a);
    }
    // also when no token reaches the painted columns (the line ends just left of them): the line
    // end's mark may stand in the first painted column
    const int lineEnd = std::min(static_cast<int>(text.size()) + 1, rowEndCol) - rowStartCol + 1;
    textEndCol = std::max(textEndCol, lineEnd);
    if (showSpecialChars_ && lastRowOfLine && line <= lines_->Count() && textEndCol <= lastCol) {
      TCodeHighlighterAttributes* attr =
          highlighter_ ? highlighter_->GetDefaultAttribute(lastTokenComment ? 0 : 4) : nullptr;
      TColor fg = attr && attr->Foreground() != clNone ? attr->Foreground() : lineFG;
      TColor bg = attr && attr->Background() != clNone ? attr->Background() : lineBG;
      addToken(textEndCol, std::u32string(1, kPilcrow), fg, bg, TFontStyles{});
      ++textEndCol;
    }
    if (haveRun) paintRun(run);
    // the rest of the row
    int fillFrom = std::max(textEndCol, firstCol);
    if (fillFrom <= lastCol) {
      int64_t x0 = textOffset_ + static_cast<int64_t>(fillFrom - 1) * charWidth_;
      int left = ClampToInt(std::max<int64_t>(x0, clip.Left));
      auto fill = [&](int from, int to, TColor bg) {
        if (from >= to) return;
        textDrawer_->SetBackColor(bg);
        textDrawer_->ExtTextOut(from, top, ETO_OPAQUE, TRect(from, top, to, top + lineHeight_), U"");
      };
      if (selStart < selEnd && selPastEol) {
        int64_t sx = textOffset_ + static_cast<int64_t>(std::max(selStart, fillFrom) - 1) * charWidth_;
        int selLeft = ClampToInt(std::clamp<int64_t>(sx, left, clip.Right));
        int selRight = clip.Right;
        if (sel.Mode == smColumn && selEnd <= lastCol)
          selRight = ClampToInt(std::clamp<int64_t>(
              textOffset_ + static_cast<int64_t>(selEnd - 1) * charWidth_, selLeft, clip.Right));
        fill(left, selLeft, lineBG);
        fill(selLeft, selRight, selBG);
        fill(selRight, clip.Right, lineBG);
      } else if (selStart < selEnd && sel.Mode == smColumn && selEnd > fillFrom) {
        int64_t sx = textOffset_ + static_cast<int64_t>(std::max(selStart, fillFrom) - 1) * charWidth_;
        int64_t ex = textOffset_ + static_cast<int64_t>(selEnd - 1) * charWidth_;
        int selLeft = ClampToInt(std::clamp<int64_t>(sx, left, clip.Right));
        int selRight = ClampToInt(std::clamp<int64_t>(ex, selLeft, clip.Right));
        fill(left, selLeft, lineBG);
        fill(selLeft, selRight, selBG);
        fill(selRight, clip.Right, lineBG);
      } else {
        fill(left, clip.Right, lineBG);
      }
    }
    if (edgeInClip) {
      canvas->Pen()->SetColor(rightEdgeColor_);
      canvas->Pen()->SetWidth(1);
      canvas->MoveTo(static_cast<int>(edgeX), top);
      canvas->LineTo(static_cast<int>(edgeX), top + lineHeight_ + 1);
      textDrawer_->RestoreDCState();
    }
    rowStartCol += rowLength;
  }
}
