// Texts kept shaped on their font draw exactly the pixels of texts laid out anew; the fonts' stores
// stay bounded; a font selected between two draws is the one that draws.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "GuiTestSupport.h"
#include "platform/gui/Graphics.h"
#include "platform/gui/WinManager.h"
#include "platform/rtl/SysUtils.h"

using namespace guitest;

namespace {

constexpr int kWidth = 220, kHeight = 44;

// A bitmap of its own to draw in, read back pixel by pixel.
class Picture {
 public:
  Picture() {
    dc_ = CreateCompatibleDC(nullptr);
    bitmap_ = CreateCompatibleBitmap(dc_, kWidth, kHeight);
    old_ = SelectObject(dc_, bitmap_);
    PatBlt(dc_, 0, 0, kWidth, kHeight, WHITENESS);
  }
  ~Picture() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  HDC Dc() const { return dc_; }
  std::vector<COLORREF> Pixels() const {
    std::vector<COLORREF> out;
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) out.push_back(GetPixel(dc_, x, y));
    return out;
  }

 private:
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ old_;
};

int InkCount(const std::vector<COLORREF>& pixels) {
  int n = 0;
  for (COLORREF c : pixels) n += c != RGB(255, 255, 255);
  return n;
}

// How a case draws its text: each of the layer's text paths the cache serves.
enum class Draw { Cell, NarrowCell, Plain, Opaque, Ellipsis, CentredOpaque, Prefixed };

struct TextCase {
  const char* name;
  const char* text;
  Draw draw;
  int weight = FW_NORMAL;
  bool decorated = false;  // underlined and struck out
};

void PrintTo(const TextCase& c, std::ostream* os) {
  *os << c.name;
}

void DrawCase(HDC dc, const TextCase& c) {
  SetTextColor(dc, RGB(0, 0, 128));
  SetBkColor(dc, RGB(255, 255, 0));
  SetBkMode(dc, TRANSPARENT);
  RECT cell = Rect(4, 4, 150, 28), narrow = Rect(4, 4, 40, 18);
  switch (c.draw) {
    case Draw::Cell:
      ExtTextOut(dc, cell.Left + 2, cell.Top + 3, ETO_OPAQUE | ETO_CLIPPED, &cell, c.text);
      break;
    case Draw::NarrowCell:
      ExtTextOut(dc, narrow.Left + 2, narrow.Top + 3, ETO_OPAQUE | ETO_CLIPPED, &narrow, c.text);
      break;
    case Draw::Plain:
      TextOut(dc, 3, 5, c.text);
      break;
    case Draw::Opaque:
      SetBkMode(dc, OPAQUE);
      TextOut(dc, 3, 5, c.text);
      break;
    case Draw::Ellipsis: {
      RECT r = Rect(6, 2, 70, 40);
      DrawText(dc, c.text, r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
      break;
    }
    case Draw::CentredOpaque: {
      SetBkMode(dc, OPAQUE);
      RECT r = Rect(10, 2, 90, 20);
      DrawText(dc, c.text, r, DT_SINGLELINE | DT_CENTER | DT_END_ELLIPSIS);
      break;
    }
    case Draw::Prefixed: {
      RECT r = Rect(2, 2, 200, 40);
      DrawText(dc, std::string("&") + c.text, r, DT_SINGLELINE);
      break;
    }
  }
}

class ShapedTextPixels : public GuiTest, public ::testing::WithParamInterface<TextCase> {
 protected:
  void TearDown() override {
    talvik::gui::SetShapedTextCache(true);
    GuiTest::TearDown();
  }
  std::vector<COLORREF> Drawn(bool cached) {
    talvik::gui::SetShapedTextCache(cached);
    const TextCase& c = GetParam();
    LOGFONT lf;
    lf.lfHeight = -12;
    lf.lfWeight = c.weight;
    lf.lfUnderline = c.decorated;
    lf.lfStrikeOut = c.decorated;
    lf.lfFaceName = "Arial";
    HFONT font = CreateFontIndirect(lf);
    Picture picture;
    SelectObject(picture.Dc(), font);
    DrawCase(picture.Dc(), c);
    // a text drawn before is drawn again from what the font kept of it
    PatBlt(picture.Dc(), 0, 0, kWidth, kHeight, WHITENESS);
    DrawCase(picture.Dc(), c);
    std::vector<COLORREF> pixels = picture.Pixels();
    SelectObject(picture.Dc(), GetStockObject(SYSTEM_FONT));
    DeleteObject(font);
    return pixels;
  }
};

TEST_P(ShapedTextPixels, EqualTheTextLaidOutAnew) {
  std::vector<COLORREF> anew = Drawn(false);
  std::vector<COLORREF> kept = Drawn(true);
  ASSERT_GT(InkCount(anew), 0);
  int differing = 0, first = -1;
  for (std::size_t i = 0; i < anew.size(); ++i)
    if (anew[i] != kept[i]) {
      if (first < 0) first = static_cast<int>(i);
      ++differing;
    }
  EXPECT_EQ(differing, 0) << "first at x=" << first % kWidth << " y=" << first / kWidth;
}

const char kLatin[] = "SCOTT.1234 sqlplus.exe";
const char kCyrillic[] = "Сеанс 1234 ожидает";
const char kMixed[] = "enq: TX - блокировка строки";
const char kLacking[] = "Снеговик ☃ и 日本 ∑";

INSTANTIATE_TEST_SUITE_P(
    Texts, ShapedTextPixels,
    ::testing::Values(
        TextCase{"LatinCell", kLatin, Draw::Cell}, TextCase{"CyrillicCell", kCyrillic, Draw::Cell},
        TextCase{"MixedCell", kMixed, Draw::Cell}, TextCase{"LackingCell", kLacking, Draw::Cell},
        TextCase{"LatinClipped", kLatin, Draw::NarrowCell},
        TextCase{"CyrillicClipped", kCyrillic, Draw::NarrowCell},
        TextCase{"LackingClipped", kLacking, Draw::NarrowCell}, TextCase{"LatinPlain", kLatin, Draw::Plain},
        TextCase{"MixedOpaque", kMixed, Draw::Opaque}, TextCase{"LackingPlain", kLacking, Draw::Plain},
        TextCase{"LatinEllipsis", kLatin, Draw::Ellipsis},
        TextCase{"CyrillicEllipsis", kCyrillic, Draw::Ellipsis},
        TextCase{"MixedEllipsis", kMixed, Draw::Ellipsis},
        TextCase{"LackingEllipsis", kLacking, Draw::Ellipsis},
        TextCase{"MixedCentredOpaque", kMixed, Draw::CentredOpaque},
        TextCase{"CyrillicPrefixed", kCyrillic, Draw::Prefixed},
        TextCase{"BoldCyrillicCell", kCyrillic, Draw::Cell, FW_BOLD},
        TextCase{"DecoratedMixedCell", kMixed, Draw::Cell, FW_NORMAL, true},
        TextCase{"DecoratedLatinClipped", kLatin, Draw::NarrowCell, FW_NORMAL, true},
        TextCase{"DecoratedCyrillicPlain", kCyrillic, Draw::Plain, FW_BOLD, true},
        TextCase{"DecoratedLackingEllipsis", kLacking, Draw::Ellipsis, FW_NORMAL, true}),
    [](const ::testing::TestParamInfo<TextCase>& info) { return std::string(info.param.name); });

class ShapedTextStore : public GuiTest {};

TEST_F(ShapedTextStore, StaysBoundedUnderAHundredThousandDistinctTexts) {
  LOGFONT lf;
  lf.lfHeight = -11;
  HFONT font = CreateFontIndirect(lf);
  Picture picture;
  SelectObject(picture.Dc(), font);
  std::size_t most = 0;
  SIZE size;
  for (int i = 0; i < 100000; ++i) {
    std::string text = "Сеанс " + std::to_string(i);
    if (i % 100 == 0)
      TextOut(picture.Dc(), 0, 0, text);
    else
      GetTextExtentPoint32(picture.Dc(), text, size);
    most = std::max(most, talvik::gui::ShapedTextCount(font));
  }
  EXPECT_GT(most, 1000u);
  EXPECT_LE(most, 4096u);
  // what was measured last is still right
  SIZE again;
  talvik::gui::SetShapedTextCache(false);
  GetTextExtentPoint32(picture.Dc(), "Сеанс 99999", again);
  talvik::gui::SetShapedTextCache(true);
  EXPECT_EQ(size.cx, again.cx);
  SelectObject(picture.Dc(), GetStockObject(SYSTEM_FONT));
  DeleteObject(font);
}

// Draws "Wg" with a font of `height` pixels in a fresh picture: the reference.
std::vector<COLORREF> Reference(int height, const char* text) {
  LOGFONT lf;
  lf.lfHeight = -height;
  HFONT font = CreateFontIndirect(lf);
  Picture picture;
  SelectObject(picture.Dc(), font);
  TextOut(picture.Dc(), 2, 2, text);
  std::vector<COLORREF> pixels = picture.Pixels();
  SelectObject(picture.Dc(), GetStockObject(SYSTEM_FONT));
  DeleteObject(font);
  return pixels;
}

class FontBetweenDraws : public GuiTest, public ::testing::WithParamInterface<bool> {
 protected:
  void TearDown() override {
    talvik::gui::SetShapedTextCache(true);
    GuiTest::TearDown();
  }
};

// A font made again after the first went (perhaps at the same address) is the one that draws, on
// the same device context, whether texts are kept shaped or not.
TEST_P(FontBetweenDraws, TakesEffect) {
  talvik::gui::SetShapedTextCache(GetParam());
  Picture picture;
  LOGFONT lf;
  lf.lfHeight = -10;
  HFONT small = CreateFontIndirect(lf);
  SelectObject(picture.Dc(), small);
  TextOut(picture.Dc(), 2, 2, "Wg Жж");
  EXPECT_EQ(picture.Pixels(), Reference(10, "Wg Жж"));
  SelectObject(picture.Dc(), GetStockObject(SYSTEM_FONT));
  DeleteObject(small);
  lf.lfHeight = -24;
  HFONT large = CreateFontIndirect(lf);
  SelectObject(picture.Dc(), large);
  PatBlt(picture.Dc(), 0, 0, kWidth, kHeight, WHITENESS);
  TextOut(picture.Dc(), 2, 2, "Wg Жж");
  EXPECT_EQ(picture.Pixels(), Reference(24, "Wg Жж"));
  SelectObject(picture.Dc(), GetStockObject(SYSTEM_FONT));
  DeleteObject(large);
}

INSTANTIATE_TEST_SUITE_P(ShapedOrNot, FontBetweenDraws, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "Kept" : "Anew");
                         });

}  // namespace

namespace {

TEST_F(ShapedTextStore, AFontMadeAgainFindsItsTextsAnotherFontHasItsOwn) {
  LOGFONT lf;
  lf.lfHeight = -13;
  lf.lfFaceName = "Tahoma";
  HFONT first = CreateFontIndirect(lf);
  {
    Picture picture;
    SelectObject(picture.Dc(), first);
    TextOut(picture.Dc(), 0, 0, "Сеанс 1");
    TextOut(picture.Dc(), 0, 0, "Сеанс 1");
    SelectObject(picture.Dc(), GetStockObject(SYSTEM_FONT));
  }
  std::size_t kept = talvik::gui::ShapedTextCount(first);
  EXPECT_GE(kept, 1u);
  DeleteObject(first);
  HFONT again = CreateFontIndirect(lf);
  EXPECT_EQ(talvik::gui::ShapedTextCount(again), kept);
  lf.lfWeight = FW_BOLD;
  HFONT bold = CreateFontIndirect(lf);
  EXPECT_EQ(talvik::gui::ShapedTextCount(bold), 0u);
  DeleteObject(again);
  DeleteObject(bold);
}

TEST_F(ShapedTextStore, AnEqualFontAssignedKeepsItsHandleAndStillTellsOfTheChange) {
  TFont a, b;
  a.SetName("Arial");
  b.SetName("Arial");
  b.SetColor(clRed);
  HFONT handle = a.Handle();
  int changes = 0;
  a.OnChange = [&](TObject*) { ++changes; };
  a.Assign(&b);
  EXPECT_EQ(a.Handle(), handle);
  EXPECT_EQ(a.Color(), clRed);
  EXPECT_EQ(changes, 1);
  b.SetStyle({fsBold});
  a.Assign(&b);
  EXPECT_EQ(changes, 2);
  LOGFONT lf;
  ASSERT_TRUE(GetObject(a.Handle(), lf));
  EXPECT_EQ(lf.lfWeight, FW_BOLD);
}

}  // namespace

namespace {

// A U+FEFF (a byte-order mark left in a pasted or loaded text, or a zero-width no-break space) and a
// U+FFFE are characters like any other on their way to the toolkit, wherever they stand in a text.
struct MarkCase {
  const char* name;
  std::u32string text;
};

void PrintTo(const MarkCase& c, std::ostream* os) {
  *os << c.name;
}

class ByteOrderMarkText : public GuiTest, public ::testing::WithParamInterface<MarkCase> {
 protected:
  static constexpr int kCell = 11;  // the advance each character gets in a cell-by-cell draw
  static constexpr int kLeft = 5, kTop = 8;

  void SetUp() override {
    GuiTest::SetUp();
    LOGFONT lf;
    lf.lfHeight = -13;
    lf.lfItalic = true;
    lf.lfFaceName = "Courier New";
    font_ = CreateFontIndirect(lf);
  }
  void TearDown() override {
    DeleteObject(font_);
    GuiTest::TearDown();
  }
  std::string Utf8(std::u32string_view text) const {
    std::string s;
    for (char32_t c : text) Utf8Append(s, c);
    return s;
  }
  // The text with each character in a cell of its own, in one run or one character at a time.
  std::vector<COLORREF> Cells(bool oneByOne) {
    Picture picture;
    SelectObject(picture.Dc(), font_);
    SetBkMode(picture.Dc(), TRANSPARENT);
    const std::u32string& text = GetParam().text;
    if (oneByOne) {
      for (size_t k = 0; k < text.size(); ++k)
        ExtTextOut(picture.Dc(), kLeft + kCell * static_cast<int>(k), kTop, 0, nullptr,
                   Utf8(text.substr(k, 1)));
    } else {
      std::vector<int> dx(text.size(), kCell);
      ExtTextOut(picture.Dc(), kLeft, kTop, 0, nullptr, Utf8(text), dx.data());
    }
    std::vector<COLORREF> pixels = picture.Pixels();
    SelectObject(picture.Dc(), GetStockObject(SYSTEM_FONT));
    return pixels;
  }
  HFONT font_ = nullptr;
};

// Drawn in one run with an advance per character, each glyph stands in its own cell: where the
// character alone is drawn at the caret position its cell starts at.
TEST_P(ByteOrderMarkText, DrawsEachGlyphWhereItsCellStarts) {
  const std::vector<COLORREF> run = Cells(false), alone = Cells(true);
  ASSERT_GT(InkCount(alone), 0);
  int differing = 0, first = -1;
  for (size_t i = 0; i < run.size(); ++i)
    if (run[i] != alone[i]) {
      if (first < 0) first = static_cast<int>(i);
      ++differing;
    }
  EXPECT_EQ(differing, 0) << "first at x=" << first % kWidth << " y=" << first / kWidth;
}

// Every character counts in the text's measure: the spacing added after each character widens the
// text by one spacing a character, and each character has its widths, the marks at the text's
// start or end too. With the spacing, each prefix's measure is where the next glyph is drawn.
TEST_P(ByteOrderMarkText, MeasuresEveryCharacter) {
  HDC dc = CreateCompatibleDC(nullptr);
  SelectObject(dc, font_);
  const std::u32string& text = GetParam().text;
  constexpr int kExtra = 7;
  for (size_t k = 0; k <= text.size(); ++k) {
    SIZE plain{}, spaced{};
    SetTextCharacterExtra(dc, 0);
    ASSERT_TRUE(GetTextExtentPoint32(dc, Utf8(text.substr(0, k)), plain));
    SetTextCharacterExtra(dc, kExtra);
    ASSERT_TRUE(GetTextExtentPoint32(dc, Utf8(text.substr(0, k)), spaced));
    EXPECT_EQ(spaced.cx - plain.cx, kExtra * static_cast<int>(k)) << "the first " << k << " characters";
  }
  SetTextCharacterExtra(dc, 0);
  for (char32_t c : text) {
    ABC abc{-1000, 1000, -1000};
    ASSERT_TRUE(GetCharABCWidths(dc, c, c, &abc));
    SIZE one{};
    ASSERT_TRUE(GetTextExtentPoint32(dc, Utf8(std::u32string(1, c)), one));
    EXPECT_EQ(abc.abcA + static_cast<int>(abc.abcB) + abc.abcC, one.cx) << "U+" << std::hex << int(c);
  }
  SelectObject(dc, GetStockObject(SYSTEM_FONT));
  DeleteDC(dc);
}

INSTANTIATE_TEST_SUITE_P(
    Marks, ByteOrderMarkText,
    ::testing::Values(MarkCase{"FeffAtStart", U"\uFEFFselect 1"}, MarkCase{"FeffInMiddle", U"sel\uFEFFect 1"},
                      MarkCase{"FeffAtEnd", U"select 1\uFEFF"},
                      MarkCase{"FeffTwiceAtStart", U"\uFEFF\uFEFFab"},
                      MarkCase{"FffeAtStart", U"\uFFFEselect 1"}, MarkCase{"FffeInMiddle", U"sel\uFFFEect 1"},
                      MarkCase{"FffeAtEnd", U"select 1\uFFFE"}),
    [](const ::testing::TestParamInfo<MarkCase>& info) { return std::string(info.param.name); });

}  // namespace
