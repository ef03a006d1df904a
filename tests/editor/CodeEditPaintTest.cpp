// What the editor paints: the gutter, highlighted SQL, the selection, special characters, the
// right edge and the active line, seen on a recording device context and in pixels.
#include <algorithm>
#include <cstddef>

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define TALVIK_SANITIZER_HEAP 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TALVIK_SANITIZER_HEAP 1
#endif
#ifndef TALVIK_SANITIZER_HEAP
#include <malloc.h>
#elif __has_include(<sanitizer/allocator_interface.h>)
#include <sanitizer/allocator_interface.h>
#else
// (the sanitizers' run-time library has it; not every compiler ships its header)
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

#include "CodeEditTestSupport.h"
#include "platform/gui/ImgList.h"
#include "platform/rtl/ScopeExit.h"

using namespace edittest;

namespace {

constexpr COLORREF kGray = RGB(128, 128, 128);
constexpr COLORREF kGreen = RGB(0, 128, 0);

class CodeEditPaint : public CodeEditTest {
 protected:
  // Under a real display (Xvfb, TALVIK_DEMO_DISPLAY set) the form is a toolkit window too, made
  // afresh on the toolkit's backend, and the screen is grabbed after the offscreen image.
  bool display_ = false;
  void UseDisplayIfAny() {
    display_ = std::getenv("TALVIK_DEMO_DISPLAY") != nullptr;
    if (!display_) return;
    form.reset();
    talvik::gui::UseQtBackend();
    form = std::make_unique<TForm>(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(0, 0, 480, 260);
    edit = new TCodeEdit(form.get());
    edit->SetParent(form.get());
    edit->SetBounds(0, 0, 480, 260);
  }
  void GrabDisplay(const std::string& name) {
    if (!display_) return;
    for (int i = 0; i < 20; ++i) Application->ProcessMessages();
    talvik::gui::GrabDisplayToPng(ScreenshotDir() + "/" + name + "-display.png");
  }
  // Row rectangle of a screen row (from 1) over the text area.
  TRect RowRect(int row) {
    int h = edit->LineHeight();
    return TRect(edit->GutterWidth(), (row - 1) * h, edit->ClientWidth(), row * h);
  }
};

TEST(CodeEditGutter, DigitsWidthAndLimits) {
  TCodeGutter g;
  g.SetShowLineNumbers(true);
  g.SetAutoSize(true);
  g.AutoSizeDigitCount(12345);
  EXPECT_EQ(g.FormatLineNumber(12345), "12345");
  EXPECT_EQ(g.FormatLineNumber(7), "    7");
  g.SetAutoSize(false);
  g.AutoSizeDigitCount(12345);
  g.SetLeadingZeros(true);
  EXPECT_EQ(g.FormatLineNumber(7), "0007");
  g.SetZeroStart(true);
  EXPECT_EQ(g.FormatLineNumber(1), "0000");
  EXPECT_EQ(g.RealGutterWidth(8), 16 + 2 + 4 * 8 + 2);
  g.SetShowLineNumbers(false);
  EXPECT_EQ(g.RealGutterWidth(8), 30);
  g.SetVisible(false);
  EXPECT_EQ(g.RealGutterWidth(8), 0);
  int changes = 0;
  g.OnChange = [&](TObject*) { ++changes; };
  g.SetDigitCount(20);
  EXPECT_EQ(g.DigitCount(), 12);
  g.SetDigitCount(1);
  EXPECT_EQ(g.DigitCount(), 2);
  g.SetWidth(-5);
  EXPECT_EQ(g.Width(), 0);
  g.SetWidth(0);  // unchanged: no notice
  EXPECT_EQ(changes, 3);
}

TEST(CodeEditTextDrawer, RefusesANilFontAndSharesVariantsBetweenDrawers) {
  TFont font;
  font.SetName("Courier New");
  font.SetHeight(-13);
  int before = GetFontsInfoManager()->Count();
  {
    TheTextDrawer a(TFontStyles{fsBold}, &font);
    TheTextDrawer b(TFontStyles{fsBold}, &font);
    EXPECT_EQ(GetFontsInfoManager()->Count(), before + 1);
    EXPECT_GT(a.GetCharWidth(), 0);
    EXPECT_EQ(a.GetCharWidth(), b.GetCharWidth());
    a.SetCharExtra(3);
    EXPECT_EQ(a.GetCharWidth(), b.GetCharWidth() + 3);
    try {
      a.SetBaseFont(nullptr);
      FAIL();
    } catch (const ETextDrawerException& e) {
      EXPECT_STREQ(e.what(), "SetBaseFont: 'Value' must be specified.");
    }
    try {
      TheFontStock stock(nullptr);
      FAIL();
    } catch (const EFontStockException& e) {
      EXPECT_STREQ(e.what(), "SetBaseFont: 'Value' must be specified.");
    }
  }
  EXPECT_EQ(GetFontsInfoManager()->Count(), before);
}

TEST_F(CodeEditPaint, EveryCharacterTakesOneCellWhateverItsGlyph) {
  edit->Gutter()->SetVisible(false);
  edit->SetText("WiW\nПри\tx");
  ShowAndFocus();
  auto texts = Texts(RecordPaint(edit->ClientRect()));
  int cw = edit->CharWidth();
  // the Cyrillic line: three letters, a tab of five cells, x at column 9
  bool seenX = false;
  for (const auto& t : texts) {
    if (t.Text.find('x') == std::string::npos) continue;
    size_t cells = static_cast<size_t>(Utf8Length(t.Text));
    size_t at = Utf8Length(t.Text.substr(0, t.Text.find('x')));
    EXPECT_EQ(t.From.X + static_cast<int>(at) * cw, edit->GutterWidth() + 2 + 8 * cw);
    EXPECT_LE(cells, 9u);
    seenX = true;
  }
  EXPECT_TRUE(seenX);
}

TEST_F(CodeEditPaint, OnlyTheClipsRowsAndColumnsAreDrawn) {
  SessionSetup(edit);
  std::string text;
  for (int i = 1; i <= 300; ++i)
    text += "SELECT col" + std::to_string(i) + ", 'txt' FROM t" + std::to_string(i) + "\n";
  edit->SetText(text);
  ShowAndFocus();
  edit->SetTopLine(100);
  int cw = edit->CharWidth(), lh = edit->LineHeight();
  // rows 3 and 4, columns 11 to 14
  TRect clip(2 + 10 * cw, 2 * lh, 2 + 14 * cw, 4 * lh);
  auto records = RecordPaint(clip);
  auto texts = Texts(records);
  ASSERT_FALSE(texts.empty());
  std::string all;
  for (const auto& t : texts) {
    EXPECT_GE(t.Rect.Top, clip.Top);
    EXPECT_LE(t.Rect.Bottom, clip.Bottom);
    EXPECT_GE(t.Rect.Right, clip.Left);
    EXPECT_LE(t.Rect.Left, clip.Right);
    EXPECT_LE(Utf8Length(t.Text), 5);
    all += t.Text;
  }
  // line 102 is row 3: its columns 11 to 14 are "102,"
  EXPECT_NE(all.find("102,"), std::string::npos);
  EXPECT_NE(all.find("103,"), std::string::npos);
  EXPECT_EQ(all.find("SELECT"), std::string::npos);
  EXPECT_EQ(all.find("101"), std::string::npos);
  EXPECT_EQ(all.find("104"), std::string::npos);
}

TEST_F(CodeEditPaint, EquallyColouredKeywordsAcrossABlankAreOneTextOut) {
  SessionSetup(edit);
  edit->SetText("select distinct x from dual");
  ShowAndFocus();
  auto texts = Texts(RecordPaint(edit->ClientRect()));
  auto it = std::find_if(texts.begin(), texts.end(),
                         [](const TDrawRecord& r) { return r.Text.rfind("select distinct", 0) == 0; });
  ASSERT_NE(it, texts.end());
  EXPECT_EQ(it->Font.lfWeight, FW_BOLD);
}

TEST_F(CodeEditPaint, CommentStringAndNulAreDrawnInTheirColours) {
  SessionSetup(edit);
  std::string line = "x := 'abc'; -- Проверка";
  line += '\0';
  line += "y";
  edit->Lines()->Add("BEGIN");
  edit->Lines()->Add(std::string("y := 1; ") + std::string(1, '\0') + " z");
  edit->Lines()->Add("x := 'abc'; -- Проверка");
  ShowAndFocus();
  auto texts = Texts(RecordPaint(edit->ClientRect()));
  bool comment = false, str = false, afterNul = false;
  for (const auto& t : texts) {
    if (t.Text.find("Проверка") != std::string::npos) {
      comment = true;
      EXPECT_EQ(t.TextColor, kGray);
    }
    if (t.Text.find("'abc'") != std::string::npos) {
      str = true;
      EXPECT_EQ(t.TextColor, kGreen);
    }
    if (t.Text.find("\xEF\xBF\xBD") != std::string::npos || t.Text.find(" z") != std::string::npos)
      afterNul = true;
  }
  EXPECT_TRUE(comment);
  EXPECT_TRUE(str);
  EXPECT_TRUE(afterNul);
}

TEST_F(CodeEditPaint, SpecialCharactersRightEdgeAndActiveLine) {
  edit->Gutter()->SetVisible(false);
  edit->SetOptions(edit->Options() + eoShowSpecialChars);
  edit->SetRightEdge(10);
  edit->SetActiveLineColor(clYellow);
  edit->SetText("a b\tc\nsecond");
  ShowAndFocus();
  auto records = RecordPaint(edit->ClientRect());
  std::string all;
  for (const auto& t : Texts(records)) all += t.Text;
  EXPECT_NE(all.find("a\u00B7b"), std::string::npos);
  EXPECT_NE(all.find("\u00BB"), std::string::npos);
  EXPECT_NE(all.find("\u00B6"), std::string::npos);
  int edgeX = 2 + 10 * edit->CharWidth();
  bool edge = std::any_of(records.begin(), records.end(), [&](const TDrawRecord& r) {
    return r.Kind == TDrawRecord::drLine && r.From.X == edgeX && r.To.X == edgeX &&
           r.TextColor == RGB(192, 192, 192);
  });
  EXPECT_TRUE(edge);
  // the caret's line is on yellow, the other on the window colour
  EXPECT_EQ(Pixel(edit->ClientWidth() - 5, edit->LineHeight() / 2), RGB(255, 255, 0));
  EXPECT_EQ(Pixel(edit->ClientWidth() - 5, edit->LineHeight() * 3 / 2), RGB(255, 255, 255));
}

TEST_F(CodeEditPaint, SpecialLineColoursAndSelectionThatEndsPastTheLine) {
  edit->Gutter()->SetVisible(false);
  edit->SetText("first line\nsecond\nthird");
  edit->OnSpecialLineColors = [](TObject*, int line, bool& special, TColor& fg, TColor& bg) {
    if (line != 3) return;
    special = true;
    fg = clWhite;
    bg = clMaroon;
  };
  ShowAndFocus();
  edit->SetCaretAndSelection({3, 2}, {3, 1}, {3, 2});
  Pump();
  int lh = edit->LineHeight(), right = edit->ClientWidth() - 5;
  // the first line is selected past its end, the second up to column 3 only
  EXPECT_EQ(Pixel(right, lh / 2), RGB(10, 36, 106));
  EXPECT_EQ(Pixel(right, lh * 3 / 2), RGB(255, 255, 255));
  EXPECT_EQ(Pixel(right, lh * 5 / 2), RGB(128, 0, 0));
  // on the special line the selection swaps the line's colours
  edit->SetCaretAndSelection({3, 3}, {1, 3}, {3, 3});
  Pump();
  EXPECT_EQ(Pixel(2 + edit->CharWidth() / 2, lh * 5 / 2 + lh / 2 - 1) == RGB(255, 255, 255) ||
                Pixel(2 + 1, lh * 2 + 1) == RGB(255, 255, 255),
            true);
}

// Paints of a part of a row draw there what a whole paint does: each from one of its columns to the
// window's right edge, and each of its columns alone. So marks of blanks, tabs and the line's end,
// tokens cut by the clip, glyphs that reach into the next cell (a character outside the font's
// cells), the selection past a line's end. A paint that starts at a line's end column, where no
// token of the line reaches, still draws the line end's mark, in the colour of the comment the line
// may end in; so does a paint with the view scrolled to begin at that column.
TEST_F(CodeEditPaint, APaintOfAPartOfARowDrawsWhatAWholePaintDrawsThere) {
  SessionSetup(edit);
  edit->SetOptions(edit->Options() + eoShowSpecialChars);
  // a long line (its scan starts at points recorded along it) ends in a long comment
  std::string longLine;
  while (longLine.size() < 1200) longLine += "s.sid, 'abc', 12345, ";
  longLine += "-- " + std::string(300, 'c');
  edit->SetText("select x\n  from dual  \n\tx := 'a\tb'; -- end\n\nbegin /* open\n  closed */ null;\n/\n" +
                longLine + "\nx := '\U0001D7D8\U0001D7D8' || 'y\U0001D7D8';");
  edit->SetMaxScrollWidth(static_cast<int>(longLine.size()) + 100);
  ShowAndFocus();
  const int w = edit->ClientWidth(), h = edit->ClientHeight(), lh = edit->LineHeight(),
            cw = edit->CharWidth();
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bmp = CreateCompatibleBitmap(dc, w, h);
  HGDIOBJ old = SelectObject(dc, bmp);
  HBRUSH magenta = CreateSolidBrush(RGB(255, 0, 255));  // a colour the editor never paints
  TScopeExit free([&] {
    DeleteObject(magenta);
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
  });
  // the pixels of a row from `left` to `right`
  const auto rowPixels = [&](int top, int left, int right) {
    std::vector<COLORREF> pixels;
    for (int y = top; y < top + lh; ++y)
      for (int x = left; x < right; ++x) pixels.push_back(GetPixel(dc, x, y));
    return pixels;
  };
  const auto differing = [](const std::vector<COLORREF>& a, const std::vector<COLORREF>& b) {
    int count = 0;
    for (size_t i = 0; i < a.size(); ++i) count += a[i] != b[i];
    return count;
  };
  // every line from the left, without and with a selection, then scrolled to the long line's end
  for (int pass = 0; pass < 3; ++pass) {
    const bool selected = pass == 1;
    SCOPED_TRACE(selected ? "with lines 2 to 5 selected" : pass == 2 ? "scrolled right" : "from the left");
    if (selected)
      edit->SetCaretAndSelection({3, 5}, {4, 2}, {3, 5});
    else
      edit->SetCaretAndSelection({1, 7}, {1, 7}, {1, 7});
    edit->SetLeftChar(pass == 2 ? static_cast<int>(longLine.size()) - 20 : 1);
    Pump();
    ASSERT_EQ(edit->LeftChar(), pass == 2 ? static_cast<int>(longLine.size()) - 20 : 1);
    edit->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc));
    for (int line = 1; line <= edit->Lines()->Count(); ++line) {
      const int length = edit->Lines()->ExpandedStringLength(line - 1);
      const int top = edit->RowColumnToPixels(TDisplayCoord{1, line}).Y;
      const std::vector<COLORREF> whole = rowPixels(top, 0, w);
      const int first = edit->LeftChar(), last = std::min(length + 2, first + edit->CharsInWindow() - 1);
      for (int column = first; column <= last; ++column) {
        const int left = edit->RowColumnToPixels(TDisplayCoord{column, line}).X;
        for (const int right : {w, left + cw}) {
          const TRect clip(left, top, right, top + lh);
          std::vector<COLORREF> expected;
          for (int y = 0; y < lh; ++y)
            for (int x = left; x < right; ++x) expected.push_back(whole[static_cast<size_t>(y * w + x)]);
          FillRect(dc, clip, magenta);
          const int saved = SaveDC(dc);
          IntersectClipRect(dc, clip.Left, clip.Top, clip.Right, clip.Bottom);
          edit->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc));
          RestoreDC(dc, saved);
          EXPECT_EQ(differing(expected, rowPixels(top, left, right)), 0)
              << "a paint of line " << line << " (" << length << " columns) from column " << column
              << (right == w ? " on" : " alone");
        }
      }
    }
  }
  // each line scrolled to begin at its end's column: that cell and the rest of the row look as they
  // do scrolled a column less
  edit->SetCaretAndSelection({1, 7}, {1, 7}, {1, 7});
  const int textLeft = edit->GutterWidth() + 2;
  for (int line = 1; line <= edit->Lines()->Count(); ++line) {
    const int length = edit->Lines()->ExpandedStringLength(line - 1);
    if (length == 0) continue;
    const int top = edit->RowColumnToPixels(TDisplayCoord{1, line}).Y;
    std::vector<COLORREF> shown[2];
    for (int shift : {0, 1}) {
      edit->SetLeftChar(length + shift);
      Pump();
      ASSERT_EQ(edit->LeftChar(), length + shift);
      edit->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc));
      shown[shift] = rowPixels(top, textLeft + cw * (1 - shift), w - cw * shift);
    }
    EXPECT_EQ(differing(shown[0], shown[1]), 0)
        << "line " << line << " (" << length << " columns) scrolled to begin at its end";
  }
}

TEST_F(CodeEditPaint, WrappedRowsGetTheWrapGlyphInTheGutter) {
  edit->SetBounds(0, 0, 200, 200);
  edit->SetText(std::string(60, 'a') + "\nshort");
  edit->SetWordWrap(true);
  ShowAndFocus();
  ASSERT_GT(edit->DisplayLineCount(), 2);
  int lh = edit->LineHeight();
  int x0 = edit->GutterWidth() - edit->Gutter()->RightOffset() - 2 - edit->WordWrapGlyph()->Width();
  auto navyIn = [&](int row) {
    for (int y = (row - 1) * lh; y < row * lh; ++y)
      for (int x = x0; x < x0 + edit->WordWrapGlyph()->Width(); ++x)
        if (Pixel(x, y) == RGB(0, 0, 128)) return true;
    return false;
  };
  EXPECT_FALSE(navyIn(1));
  EXPECT_TRUE(navyIn(2));
}

TEST_F(CodeEditPaint, SessionSampleWithSelectionLineNumbersAndMarks) {
  UseDisplayIfAny();
  SessionSetup(edit);
  edit->Gutter()->SetVisible(true);
  edit->Gutter()->SetShowLineNumbers(true);
  edit->SetText(kOracleSample);
  edit->SetBookMark(1, 1, 3);
  edit->SetBookMark(2, 1, 9);
  ShowAndFocus();
  edit->SetCaretAndSelection({5, 4}, {3, 2}, {5, 4});
  Pump();
  ASSERT_TRUE(talvik::gui::RenderWindowToPng(form->Handle(), ScreenshotDir() + "/editor-session-sample.png"));
  GrabDisplay("editor-session-sample");
  int lh = edit->LineHeight(), cw = edit->CharWidth(), gx = edit->GutterWidth() + 2;
  EXPECT_EQ(Pixel(gx + 10 * cw, lh * 2), RGB(10, 36, 106));                   // selected, line 3
  EXPECT_EQ(Pixel(gx + 10 * cw, lh * 5), RGB(255, 255, 255));                 // not selected, line 6
  EXPECT_EQ(Pixel(edit->GutterWidth() / 2, lh * 6 + 2), RGB(212, 208, 200));  // the gutter's face
  // the comment of line 1 and the string of line 9 hold their colours somewhere
  auto has = [&](int row, COLORREF c, int from = -1) {
    for (int x = from < 0 ? gx : from; x < edit->ClientWidth(); ++x)
      for (int y = (row - 1) * lh; y < row * lh; ++y)
        if (Pixel(x, y) == c) return true;
    return false;
  };
  EXPECT_TRUE(has(1, kGray));
  EXPECT_TRUE(has(9, kGreen));
  EXPECT_TRUE(has(3, RGB(0, 128, 128), 0));  // bookmark 1 in the gutter
}

// Marks with their own images come from the bookmark image list: bookmarks first from the left
// margin, then the other marks one Xoffset further; an index past the list draws nothing.
TEST_F(CodeEditPaint, MarksOfTheImageListAreDrawnFromIt) {
  auto* images = new TImageList(form.get(), 12, 12);
  TBitmap strip;
  strip.SetSize(24, 12);
  strip.Canvas()->Brush()->SetColor(RGB(200, 0, 0));
  strip.Canvas()->FillRect(TRect(0, 0, 12, 12));
  strip.Canvas()->Brush()->SetColor(RGB(0, 0, 200));
  strip.Canvas()->FillRect(TRect(12, 0, 24, 12));
  images->Add(&strip, nullptr);
  ASSERT_EQ(images->Count(), 2);
  edit->Font()->SetHeight(-16);
  edit->BookMarkOptions()->SetBookmarkImages(images);
  edit->SetText("one\ntwo\nthree\nfour");
  edit->SetBookMark(1, 1, 2);  // image 1
  auto* plain = new TCodeEditMark(edit);
  plain->SetLine(2);
  plain->SetImageIndex(0);
  plain->SetVisible(true);
  edit->Marks()->Add(plain);
  auto* missing = new TCodeEditMark(edit);
  missing->SetLine(3);
  missing->SetImageIndex(7);
  missing->SetVisible(true);
  edit->Marks()->Add(missing);
  ShowAndFocus();
  Pump();
  const int lh = edit->LineHeight(), margin = edit->BookMarkOptions()->LeftMargin();
  const int xoff = edit->BookMarkOptions()->Xoffset();
  EXPECT_EQ(Pixel(margin + 5, lh + 5), RGB(0, 0, 200));                     // the bookmark's image 1
  EXPECT_EQ(Pixel(margin + xoff + 5, lh + 5), RGB(200, 0, 0));              // the plain mark after it
  EXPECT_EQ(Pixel(margin + 5, 2 * lh + 5), Pixel(margin + 5, 3 * lh + 5));  // nothing on line 3
  // the list going away leaves the gutter without those images
  delete images;
  edit->Invalidate();
  Pump();
  EXPECT_EQ(edit->BookMarkOptions()->BookmarkImages(), nullptr);
  EXPECT_EQ(Pixel(margin + 5, lh + 5), Pixel(margin + 5, 3 * lh + 5));
}

// The options dialog's editor with SQL typed by keys, three bookmarks set by Ctrl+Shift+digit and a
// column block.
TEST_F(CodeEditPaint, CustomEditorWithTypedSqlBookmarksAndAColumnBlock) {
  UseDisplayIfAny();
  highlighter = SessionHighlighter();
  CustomSetup(edit, highlighter.get());
  ShowAndFocus();
  auto type = [&](const std::u32string& text) {
    for (char32_t c : text) {
      WORD vk = c == U'\r' ? VK_RETURN : (c >= U'a' && c <= U'z') ? static_cast<WORD>(c - U'a' + 'A') : 'A';
      talvik::gui::InjectKey(vk, true, c, {});
      talvik::gui::InjectKey(vk, false, 0, {});
    }
    Pump();
  };
  type(U"select sid, username\rfrom v$session\r-- только активные\rwhere status = 'ACTIVE'");
  ASSERT_EQ(edit->Text(),
            "select sid, username\r\nfrom v$session\r\n-- только активные\r\nwhere status = 'ACTIVE'");
  for (int line = 1; line <= 3; ++line) {
    edit->SetCaretXY({1, line});
    Key(static_cast<WORD>('0' + line), {.shift = true, .ctrl = true});
  }
  ASSERT_EQ(edit->Marks()->Count(), 3);
  edit->SetSelectionMode(smColumn);
  edit->SetCaretAndSelection({12, 4}, {3, 2}, {12, 4});
  Pump();
  ASSERT_TRUE(talvik::gui::RenderWindowToPng(form->Handle(), ScreenshotDir() + "/editor-custom.png"));
  GrabDisplay("editor-custom");
  int lh = edit->LineHeight(), cw = edit->CharWidth(), gx = edit->GutterWidth() + 2;
  EXPECT_EQ(Pixel(gx + 5 * cw, lh * 2), RGB(10, 36, 106));                // inside the block, line 3
  EXPECT_EQ(Pixel(gx + 14 * cw, lh * 2), RGB(255, 255, 255));             // right of it
  EXPECT_EQ(Pixel(gx + 5 * cw, lh * 0), RGB(255, 255, 255));              // above it
  EXPECT_EQ(Pixel(edit->GutterWidth() / 2, lh * 5), RGB(212, 208, 200));  // the gutter's face
  // the bookmark flags of lines 1 to 3 and none on line 4
  auto teal = [&](int row) {
    for (int x = 0; x < edit->GutterWidth(); ++x)
      for (int y = (row - 1) * lh; y < row * lh; ++y)
        if (Pixel(x, y) == RGB(0, 128, 128)) return true;
    return false;
  };
  EXPECT_TRUE(teal(1));
  EXPECT_TRUE(teal(3));
  EXPECT_FALSE(teal(4));
}

TEST_F(CodeEditPaint, ColumnSelectionScreenshot) {
  UseDisplayIfAny();
  SessionSetup(edit);
  edit->SetText(kOracleSample);
  ShowAndFocus();
  edit->SetSelectionMode(smColumn);
  edit->SetCaretAndSelection({12, 6}, {3, 2}, {12, 6});
  Pump();
  ASSERT_TRUE(
      talvik::gui::RenderWindowToPng(form->Handle(), ScreenshotDir() + "/editor-column-selection.png"));
  int lh = edit->LineHeight(), cw = edit->CharWidth(), gx = 2;
  EXPECT_EQ(Pixel(gx + 5 * cw, lh * 3), RGB(10, 36, 106));     // inside the block
  EXPECT_EQ(Pixel(gx + 14 * cw, lh * 3), RGB(255, 255, 255));  // right of it
  EXPECT_EQ(Pixel(gx + 5 * cw, lh * 7), RGB(255, 255, 255));   // below it
}

// A U+FEFF (a byte-order mark left in pasted text) takes its cell like any other character and
// draws nothing there: at a line's start, in the middle of a token and at the end of an italic
// comment it paints as a blank would.
TEST_F(CodeEditPaint, AByteOrderMarkInItalicCommentsPaintsAsABlank) {
  SessionSetup(edit);
  highlighter->CommentAttri()->SetStyle({fsItalic});
  ShowAndFocus();
  auto painted = [&](const std::string& mark) {
    edit->SetText(mark + "select 1 -- note" + mark + "\nselect 2 /* x" + mark + "y" + mark + "\n-- end" +
                  mark);
    return PaintedPixels(edit);
  };
  const std::vector<COLORREF> marks = painted("\uFEFF"), blanks = painted(" ");
  ASSERT_EQ(marks.size(), blanks.size());
  int differing = 0, first = -1;
  for (size_t i = 0; i < marks.size(); ++i)
    if (marks[i] != blanks[i]) {
      if (first < 0) first = static_cast<int>(i);
      ++differing;
    }
  const int w = edit->ClientWidth();
  EXPECT_EQ(differing, 0) << "first at x=" << first % w << " y=" << first / w;
}

// One long line under word wrap, seen at its start, in its middle with a selection across rows, with
// a comment opened there, and at its end, with line numbers and the wrap glyph. Each picture, as the
// window shows it after the editor's own repaints, is what a fresh editor with the same text,
// settings and view paints.
TEST_F(CodeEditPaint, AWrappedLongLineScreenshots) {
  SessionSetup(edit);
  edit->SetReadOnly(false);
  edit->Gutter()->SetVisible(true);
  edit->Gutter()->SetShowLineNumbers(true);
  constexpr std::string_view kPiece = "s.sid, s.username, 'abc',\t12345, /* Привет */ NVL(x, 0), ";
  const int pieceLength = Utf8Length(kPiece);
  std::string line;
  while (line.size() < 60000) line += kPiece;
  edit->SetText("SELECT\n" + line + "\nFROM v$session s");
  edit->SetWordWrap(true);
  ShowAndFocus();
  // a second form of the same size, its editor set up as this one
  std::unique_ptr<TCodeSQLHighlighter> freshHighlighter = SessionHighlighter();
  auto freshForm = std::make_unique<TForm>(nullptr);
  freshForm->SetBorderStyle(bsNone);
  freshForm->SetBounds(0, 0, form->Width(), form->Height());
  auto shoot = [&](const std::string& name) {
    SCOPED_TRACE(name);
    edit->EnsureCursorPosVisible();
    Pump();
    ASSERT_TRUE(talvik::gui::RenderWindowToPng(form->Handle(), ScreenshotDir() + "/" + name + ".png"));
    const std::vector<COLORREF> shown = ClientImage(edit);
    auto* fresh = new TCodeEdit(freshForm.get());
    TScopeExit freeFresh([&] { delete fresh; });
    fresh->SetParent(freshForm.get());
    fresh->SetBounds(edit->Left(), edit->Top(), edit->Width(), edit->Height());
    std::swap(edit, fresh);
    SessionSetup(edit);
    std::swap(edit, fresh);
    fresh->SetHighlighter(freshHighlighter.get());
    fresh->SetReadOnly(false);
    fresh->Gutter()->SetVisible(true);
    fresh->Gutter()->SetShowLineNumbers(true);
    fresh->SetText(edit->Text());
    fresh->SetWordWrap(true);
    fresh->SetCaretAndSelection(edit->CaretXY(), edit->RawBlockBegin(), edit->RawBlockEnd());
    fresh->SetTopLine(edit->TopLine());
    ASSERT_EQ(fresh->TopLine(), edit->TopLine());
    freshForm->Show();
    fresh->SetFocus();
    Pump();
    const std::vector<COLORREF> afresh = ClientImage(fresh);
    freshForm->Hide();
    ShowAndFocus();
    ASSERT_TRUE(edit->Focused());
    ASSERT_EQ(shown.size(), afresh.size());
    const int w = edit->ClientWidth();
    int differing = 0, first = -1;
    for (size_t i = 0; i < shown.size(); ++i)
      if (shown[i] != afresh[i]) {
        if (first < 0) first = static_cast<int>(i);
        ++differing;
      }
    EXPECT_EQ(differing, 0) << "first at x=" << first % w << " y=" << first / w;
  };
  edit->SetCaretXY({1, 2});
  shoot("editor-wrapped-long-line-start");
  edit->SetCaretAndSelection({30010, 2}, {29950, 2}, {30010, 2});
  shoot("editor-wrapped-long-line-middle");
  // a comment opens at the start of a piece, outside the pieces' own comments, and runs to the end
  // of the next one: typed in view, with rows of the line below the caret's
  const int opened = 700 * pieceLength + 1;
  edit->SetCaretXY({opened + 150, 2});
  edit->EnsureCursorPosVisible();
  Pump();
  const int top = edit->TopLine();
  edit->SetCaretAndSelection({opened, 2}, {opened, 2}, {opened, 2});
  Key('A', {}, U'/');
  Key('A', {}, U'*');
  ASSERT_EQ(edit->TopLine(), top);
  std::string token;
  TCodeHighlighterAttributes* attri = nullptr;
  ASSERT_TRUE(edit->GetHighlighterAttriAtRowCol({opened + 10, 2}, token, attri));
  EXPECT_EQ(attri, highlighter->CommentAttri()) << token;
  shoot("editor-wrapped-long-line-comment");
  edit->SetCaretXY({static_cast<int>(Utf8Length(edit->Lines()->Strings(1))) + 1, 2});
  shoot("editor-wrapped-long-line-end");
}

// The SQL highlighter counting the tokens it scans while `Counting`.
class TCountingHighlighter : public TCodeSQLHighlighter {
 public:
  void Next() override {
    if (Counting) ++Tokens;
    TCodeSQLHighlighter::Next();
  }
  bool Counting = false;
  int Tokens = 0;
};

// One line of `length` characters of a generated select list.
std::string LongSelectList(int length) {
  std::string line;
  while (static_cast<int>(line.size()) < length) line += "s.sid, s.username, 'abc', 12345, ";
  line.resize(static_cast<size_t>(length));
  return line;
}

// The SQL highlighter scanning every line from its start.
class TFromStartHighlighter : public TCodeSQLHighlighter {
 public:
  bool CanScanFrom() const override { return false; }
};

class CodeEditLongLinePaint : public CodeEditPaint {
 protected:
  void SetUp() override {
    CodeEditPaint::SetUp();
    counting = new TCountingHighlighter();
    highlighter.reset(counting);
    highlighter->SetSQLDialect(sqlOracle);
    edit->SetHighlighter(highlighter.get());
    edit->Gutter()->SetShowLineNumbers(true);
    edit->SetWordWrap(true);
    ShowAndFocus();
  }
  // The tokens the highlighter scans for one paint of the window with the caret at the end of a
  // wrapped line of `length` characters, after the line is set or after a character typed there.
  int TokensOfAPaintAtTheEnd(int length, bool typed) {
    edit->SetText(LongSelectList(length));
    edit->SetCaretXY({length + 1, 1});
    if (typed) Key('X', {}, U'x');
    edit->EnsureCursorPosVisible();
    EXPECT_GT(edit->TopLine(), 1);
    counting->Tokens = 0;
    counting->Counting = true;
    RecordPaint(edit->ClientRect());
    counting->Counting = false;
    return counting->Tokens;
  }
  // What a paint draws, as text.
  std::vector<std::string> Drawn() {
    std::vector<std::string> out;
    for (const TDrawRecord& r : RecordPaint(edit->ClientRect()))
      out.push_back(std::to_string(r.Kind) + " " + std::to_string(r.Rect.Left) + "," +
                    std::to_string(r.Rect.Top) + "," + std::to_string(r.Rect.Right) + "," +
                    std::to_string(r.Rect.Bottom) + " " + std::to_string(r.TextColor) + "/" +
                    std::to_string(r.BkColor) + " " + std::to_string(r.Font.lfWeight) +
                    std::to_string(r.Font.lfItalic) + " " + r.Text);
    return out;
  }
  TCountingHighlighter* counting = nullptr;
};

TEST_F(CodeEditLongLinePaint, APaintAtTheEndOfAWrappedLineScansWhatItShowsWhateverTheLineLength) {
  for (bool typed : {false, true}) {
    SCOPED_TRACE(typed ? "after a typed character" : "after the text was set");
    int shortLine = TokensOfAPaintAtTheEnd(10000, typed);
    int longLine = TokensOfAPaintAtTheEnd(200000, typed);
    EXPECT_GT(shortLine, 0);
    EXPECT_LE(longLine, shortLine + 100) << "10k characters: " << shortLine << " tokens";
  }
}

TEST_F(CodeEditLongLinePaint, EditsInsideALongLineShowAsInAnEditorThatPaintsItAfresh) {
  std::string line = LongSelectList(30000);
  line.replace(20000, 1, "\t");
  edit->SetText(line);
  // the same drawn by a highlighter that scans every line from its start
  // the same drawn by a second editor whose highlighter scans every line from its start; the editor
  // under test keeps its highlighter, and with it the points it keeps, through every step
  TFromStartHighlighter fromStart;
  fromStart.SetSQLDialect(sqlOracle);
  auto* afresh = new TCodeEdit(form.get());
  afresh->SetParent(form.get());
  afresh->Gutter()->SetShowLineNumbers(true);
  afresh->SetWordWrap(true);
  afresh->SetHighlighter(&fromStart);
  auto sameAsAfresh = [&](const char* what) {
    SCOPED_TRACE(what);
    edit->EnsureCursorPosVisible();
    std::vector<std::string> drawn = Drawn();
    afresh->SetBounds(edit->Left(), edit->Top(), edit->Width(), edit->Height());
    afresh->SetTabWidth(edit->TabWidth());
    afresh->SetText(edit->Text());
    afresh->SetCaretXY(edit->CaretXY());
    afresh->SetTopLine(edit->TopLine());
    ASSERT_EQ(afresh->TopLine(), edit->TopLine());
    std::swap(edit, afresh);
    TScopeExit back([&] { std::swap(edit, afresh); });
    EXPECT_EQ(Drawn(), drawn);
  };
  edit->SetCaretXY({29000, 1});
  Drawn();  // keeps the points of the whole line
  edit->SetCaretXY({15000, 1});
  Key('A', {}, U'/');
  Key('A', {}, U'*');  // a comment opens in the middle of the line
  edit->SetCaretXY({29000, 1});
  sameAsAfresh("a comment opened in the middle");
  edit->SetCaretXY({15003, 1});
  Key('A', {}, U'*');
  Key('A', {}, U'/');  // and closes
  edit->SetCaretXY({25000, 1});
  sameAsAfresh("the comment closed");
  edit->SetTabWidth(3);
  sameAsAfresh("another tab width");
  edit->SetBounds(0, 0, 300, 260);
  sameAsAfresh("another wrap width");
  edit->Undo();
  sameAsAfresh("an undo");
}

// The heap's bytes in use: the sanitizer's own allocator serves the heap under a sanitizer, the C
// library's otherwise.
size_t HeapInUse() {
#ifdef TALVIK_SANITIZER_HEAP
  return __sanitizer_get_current_allocated_bytes();
#else
  const struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
#endif
}

// A long line loaded and painted with the view at its start, middle and end holds little more heap
// than its characters (four bytes each), with tabs or without: the expanded copy of a tabbed line,
// which a scan of it needs, lives no longer than that scan.
TEST_F(CodeEditPaint, ALoadedAndPaintedLongLineHoldsLittleMoreThanItsCharacters) {
  constexpr int kLength = 1000 * 1000;
  edit->SetHighlighter((highlighter = SessionHighlighter()).get());
  // the scroll width follows the longest line: the view reaches the line's end
  edit->SetOptions(edit->Options() + eoAutoSizeMaxScrollWidth);
  ShowAndFocus();
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bmp = CreateCompatibleBitmap(dc, edit->ClientWidth(), edit->ClientHeight());
  HGDIOBJ old = SelectObject(dc, bmp);
  TScopeExit free([&] {
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
  });
  for (const bool tabs : {true, false}) {
    SCOPED_TRACE(tabs ? "pieces parted by tabs" : "pieces parted by blanks");
    const std::string_view piece =
        tabs ? "s.sid,\ts.username,\t'abc',\t12345,\t" : "s.sid, s.username, 'abc', 12345, ";
    std::string line;
    while (static_cast<int>(line.size()) < kLength) line += piece;
    line.resize(kLength);
    edit->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc));
    const size_t before = HeapInUse();
    edit->SetText(line);
    for (int at : {1, kLength / 2, kLength + 1}) {
      edit->SetCaretXY({at, 1});
      edit->EnsureCursorPosVisible();
      edit->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc));
      const int column = edit->BufferToDisplayPos({at, 1}).Column;
      EXPECT_TRUE(column >= edit->LeftChar() && column < edit->LeftChar() + edit->CharsInWindow())
          << "column " << column << " out of the view from " << edit->LeftChar();
    }
    // (signed: a heap that shrank says so instead of wrapping round)
    const long long held = static_cast<long long>(HeapInUse()) - static_cast<long long>(before);
    edit->SetText("");
    // the measure sees the line's own characters at least
    EXPECT_GE(held, 4LL * kLength);
    EXPECT_LT(held, 4LL * kLength * 3 / 2)
        << held << " bytes for a line of " << kLength << " characters";
  }
}

}  // namespace
