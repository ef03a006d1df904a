// Texts read right to left: each text path of the drawing layer and each standard control that
// reads in its control's direction shows "Сеанс 12!" as "!Сеанс 12" (the closing mark goes to the
// reading end), while a text that reads alike both ways draws exactly as before. The edit's caret,
// clicks and selection follow the shown order.
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "FormTestSupport.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Graphics.h"
#include "platform/gui/StdCtrls.h"
#include "platform/gui/WinManager.h"
#include "platform/rtl/SysUtils.h"

using namespace guitest;

namespace {

// The text, and how it shows read right to left (as it would read left to right).
const std::string kText = "Сеанс 12!";
const std::string kShown = "!Сеанс 12";
const std::string kAlike = "Сеанс SYS 12";

constexpr int kWidth = 240, kHeight = 48;

// A bitmap of its own with a font selected, read back pixel by pixel.
class Picture {
 public:
  Picture() {
    dc_ = CreateCompatibleDC(nullptr);
    bitmap_ = CreateCompatibleBitmap(dc_, kWidth, kHeight);
    oldBitmap_ = SelectObject(dc_, bitmap_);
    LOGFONT lf;
    lf.lfHeight = -13;
    lf.lfFaceName = "Arial";
    font_ = CreateFontIndirect(lf);
    oldFont_ = SelectObject(dc_, font_);
    PatBlt(dc_, 0, 0, kWidth, kHeight, WHITENESS);
    SetBkMode(dc_, TRANSPARENT);
    SetTextColor(dc_, RGB(0, 0, 128));
  }
  ~Picture() {
    SelectObject(dc_, oldFont_);
    SelectObject(dc_, oldBitmap_);
    DeleteObject(font_);
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
  HGDIOBJ oldBitmap_, oldFont_;
  HFONT font_;
};

// The advance of each character, for the path that places characters one by one.
std::vector<int> Advances(HDC dc, const std::string& text) {
  std::vector<int> dx;
  for (char32_t c : Utf8ToUtf32(text)) {
    SIZE s;
    GetTextExtentPoint32(dc, Utf32ToUtf8(std::u32string(1, c)), s);
    dx.push_back(s.cx);
  }
  return dx;
}

struct DrawPath {
  const char* name;
  // draws the text, right to left when asked
  std::function<void(HDC, const std::string&, bool)> draw;
};

void PrintTo(const DrawPath& c, std::ostream* os) {
  *os << c.name;
}

const DrawPath kPaths[] = {
    {"TextOutWithTheOption", [](HDC dc, const std::string& t,
                                bool rtl) { ExtTextOut(dc, 4, 6, rtl ? ETO_RTLREADING : 0, nullptr, t); }},
    {"ClippedCell",
     [](HDC dc, const std::string& t, bool rtl) {
       RECT cell = Rect(2, 2, 200, 30);
       ExtTextOut(dc, 4, 6, ETO_CLIPPED | (rtl ? ETO_RTLREADING : 0), &cell, t);
     }},
    {"CharacterAdvances",
     [](HDC dc, const std::string& t, bool rtl) {
       std::vector<int> dx = Advances(dc, t);
       for (int& w : dx) w += 2;  // spaced out: each character stands where its advance puts it
       ExtTextOut(dc, 4, 6, rtl ? ETO_RTLREADING : 0, nullptr, t, dx.data());
     }},
    {"TextAlignment",
     [](HDC dc, const std::string& t, bool rtl) {
       SetTextAlign(dc, TA_LEFT | TA_TOP | (rtl ? TA_RTLREADING : 0));
       TextOut(dc, 4, 6, t);
       SetTextAlign(dc, TA_LEFT | TA_TOP);
     }},
    {"OneLineBox",
     [](HDC dc, const std::string& t, bool rtl) {
       RECT r = Rect(4, 4, 200, 30);
       DrawText(dc, t, r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | (rtl ? DT_RTLREADING : 0));
     }},
    {"WrappedBox",
     [](HDC dc, const std::string& t, bool rtl) {
       RECT r = Rect(4, 4, 200, 40);
       DrawText(dc, t, r, DT_WORDBREAK | DT_NOPREFIX | (rtl ? DT_RTLREADING : 0));
     }},
    {"RightAlignedBox",
     [](HDC dc, const std::string& t, bool rtl) {
       RECT r = Rect(4, 4, 200, 30);
       DrawText(dc, t, r, DT_SINGLELINE | DT_RIGHT | DT_NOPREFIX | (rtl ? DT_RTLREADING : 0));
     }},
    {"CanvasFormat",
     [](HDC dc, const std::string& t, bool rtl) {
       TCanvas canvas;
       canvas.SetHandle(dc);
       canvas.Brush()->SetStyle(bsClear);
       canvas.Font()->SetName("Arial");
       canvas.Font()->SetHeight(-13);
       canvas.Font()->SetColor(static_cast<TColor>(RGB(0, 0, 128)));
       TRect r = Rect(4, 4, 200, 30);
       std::string text = t;
       TTextFormat format{tfSingleLine, tfNoPrefix};
       if (rtl) format.Include(tfRtlReading);
       canvas.TextRect(r, text, format);
       canvas.SetHandle(nullptr);
     }},
};

class ReadingOrderPaths : public GuiTest, public ::testing::WithParamInterface<DrawPath> {
 protected:
  void TearDown() override {
    talvik::gui::SetShapedTextCache(true);
    GuiTest::TearDown();
  }
  // The pixels of the text drawn once and drawn again (the second time from the font's shaped texts).
  static std::pair<std::vector<COLORREF>, std::vector<COLORREF>> Drawn(const std::string& text, bool rtl) {
    Picture picture;
    GetParam().draw(picture.Dc(), text, rtl);
    std::vector<COLORREF> first = picture.Pixels();
    PatBlt(picture.Dc(), 0, 0, kWidth, kHeight, WHITENESS);
    GetParam().draw(picture.Dc(), text, rtl);
    return {first, picture.Pixels()};
  }
};

TEST_P(ReadingOrderPaths, ShowsTheTextInTheOrderItReads) {
  const auto [readRightToLeft, again] = Drawn(kText, true);
  const auto [shown, unused] = Drawn(kShown, false);
  const auto [leftToRight, unused2] = Drawn(kText, false);
  EXPECT_EQ(readRightToLeft, shown) << "the closing mark stands at the reading end";
  EXPECT_EQ(again, shown) << "drawn again from the font's shaped texts";
  EXPECT_NE(readRightToLeft, leftToRight);
}

TEST_P(ReadingOrderPaths, ATextThatReadsAlikeDrawsAsBefore) {
  EXPECT_EQ(Drawn(kAlike, true), Drawn(kAlike, false));
}

INSTANTIATE_TEST_SUITE_P(Paths, ReadingOrderPaths, ::testing::ValuesIn(kPaths),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(GuiTest, TheAcceleratorMarkFollowsItsLetterReadRightToLeft) {
  // the underline stands under the same letter as when the shown order is drawn left to right
  auto drawn = [](const std::string& text, bool rtl) {
    Picture picture;
    RECT r = Rect(4, 4, 200, 30);
    DrawText(picture.Dc(), text, r, DT_SINGLELINE | (rtl ? DT_RTLREADING : 0));
    return picture.Pixels();
  };
  EXPECT_EQ(drawn("&Сеанс 12!", true), drawn("!&Сеанс 12", false));
}

// ---------------------------------------------------------------- controls

class ReadingControls : public FormTest {
 protected:
  ReadingControls() : FormTest(420, 320) {}

 public:
  using FormTest::Add;  // the table's rows place their controls
  using FormTest::form;

 protected:
  // What a control shows inside its edges: the columns and rows that differ from its colour, cut
  // to their bounding box (so that where the text stands does not count, only how it shows).
  struct Ink {
    int left = -1, top = -1, width = 0, height = 0;
    std::vector<bool> set;
    bool operator==(const Ink& o) const { return width == o.width && height == o.height && set == o.set; }
  };
  // `edge`: the columns and rows at the client's edges left out (frames drawn inside it).
  Ink InkOf(TControl* c, TColor back, TPoint edge, int button = 0) {
    const bool buttonLeft = c->UseRightToLeftScrollBar();
    talvik::gui::UpdateAllWindows(form->Handle());
    RECT window;
    GetWindowRect(form->Handle(), window);
    const TPoint origin = c->ClientToScreen({0, 0});
    auto pixel = [&](int x, int y) {
      return talvik::gui::WindowPixel(form->Handle(), origin.X - window.Left + x,
                                      origin.Y - window.Top + y) != ColorToRGB(back);
    };
    Ink ink;
    int right = -1, bottom = -1;
    for (int y = edge.Y; y < c->ClientHeight() - edge.Y; ++y)
      for (int x = edge.X + (buttonLeft ? button : 0);
           x < c->ClientWidth() - edge.X - (buttonLeft ? 0 : button); ++x)
        if (pixel(x, y)) {
          ink.left = ink.left < 0 ? x : std::min(ink.left, x);
          ink.top = ink.top < 0 ? y : std::min(ink.top, y);
          right = std::max(right, x);
          bottom = std::max(bottom, y);
        }
    if (ink.left < 0) return ink;
    ink.width = right - ink.left + 1;
    ink.height = bottom - ink.top + 1;
    for (int y = ink.top; y <= bottom; ++y)
      for (int x = ink.left; x <= right; ++x) ink.set.push_back(pixel(x, y));
    return ink;
  }
};

TEST_F(ReadingControls, TheEditsCaretClicksAndSelectionFollowTheShownOrder) {
  form->SetBiDiMode(bdRightToLeft);
  auto* edit = Add<TEdit>(10, 10, 200, 21);
  edit->SetText(kText);
  form->Show();
  edit->SetFocus();
  Application->ProcessMessages();
  HWND h = edit->Handle();
  TCanvas measure;
  measure.SetHandle(CreateCompatibleDC(nullptr));
  measure.Font()->Assign(edit->Font());
  const int bang = measure.TextWidth("!"), word = measure.TextWidth("Сеанс"), all = measure.TextWidth(kText);
  const int two = measure.TextWidth("Се");
  DeleteDC(measure.Handle());
  measure.SetHandle(nullptr);
  RECT r;
  SendMessage(h, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&r));
  const int textLeft = r.Right - all;  // the text stands at the right
  auto caretAt = [&](int pos) {
    SendMessage(h, EM_SETSEL, static_cast<WPARAM>(pos), pos);
    POINT p;
    EXPECT_TRUE(GetCaretPos(p));
    return p.X;
  };
  EXPECT_EQ(caretAt(9), textLeft) << "the text's end is its left end";
  EXPECT_EQ(caretAt(0), textLeft + bang) << "its start is where the letters begin, after the mark";
  EXPECT_EQ(caretAt(5), textLeft + bang + word);
  auto click = [&](int x) {
    const LPARAM at = MAKELPARAM(x, (r.Top + r.Bottom) / 2);
    SendMessage(h, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessage(h, WM_LBUTTONUP, 0, at);
    return edit->SelStart();
  };
  EXPECT_EQ(click(textLeft), 9);
  EXPECT_EQ(click(textLeft + bang + two + 1), 2);
  // the mark alone selected: the highlight stands at the left end, not after the last digit nor
  // before the first letter
  SendMessage(h, EM_SETSEL, 8, 9);
  talvik::gui::UpdateAllWindows(form->Handle());
  RECT window;
  GetWindowRect(form->Handle(), window);
  const TPoint origin = edit->ClientToScreen({0, 0});
  auto pixel = [&](int x) {
    return talvik::gui::WindowPixel(form->Handle(), origin.X - window.Left + x,
                                    origin.Y - window.Top + r.Top + 1);  // above the letters
  };
  const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
  EXPECT_EQ(pixel(textLeft), highlight);
  EXPECT_NE(pixel(r.Right - 1), highlight);
  EXPECT_NE(pixel(textLeft + bang + 1), highlight);
}

struct ControlCase {
  const char* name;
  // makes the control showing the text, and answers the colour it shows the text on
  std::function<TControl*(ReadingControls&, TForm*, const std::string&)> make;
  TColor back;
  TPoint edge;          // frames drawn inside the client area: left out
  bool button = false;  // a drop-down button stands at the scroll bar's side: left out
};

void PrintTo(const ControlCase& c, std::ostream* os) {
  *os << c.name;
}

class ReadingControlsEach : public ReadingControls, public ::testing::WithParamInterface<ControlCase> {
 protected:
  // How the control shows the text in the mode, and how the drawing layer draws the text with the
  // control's font in the reading order asked for.
  std::pair<Ink, Ink> Shows(const std::string& text, TBiDiMode mode, bool rightToLeft) {
    form->SetBiDiMode(mode);
    TControl* c = GetParam().make(*this, form.get(), text);
    form->Show();
    form->SetActiveControl(nullptr);
    ::SetFocus(nullptr);  // no caret, no focused look
    Application->ProcessMessages();
    Ink ink =
        InkOf(c, GetParam().back, GetParam().edge, GetParam().button ? GetSystemMetrics(SM_CXVSCROLL) : 0);
    Ink drawn = Drawn(c->Font(), text, rightToLeft);
    delete c;
    return {ink, drawn};
  }
  static Ink Drawn(TFont* font, const std::string& text, bool rightToLeft) {
    TCanvas canvas;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, kWidth, kHeight);
    HGDIOBJ old = SelectObject(dc, bitmap);
    PatBlt(dc, 0, 0, kWidth, kHeight, WHITENESS);
    canvas.SetHandle(dc);
    canvas.Font()->Assign(font);
    canvas.Font()->SetColor(clBlack);
    canvas.Brush()->SetStyle(bsClear);
    TRect r = Rect(4, 4, kWidth - 4, kHeight - 4);
    std::string t = text;
    TTextFormat format{tfSingleLine, tfNoPrefix};
    if (rightToLeft) format.Include(tfRtlReading);
    canvas.TextRect(r, t, format);
    Ink ink;
    int right = -1, bottom = -1;
    auto pixel = [&](int x, int y) { return GetPixel(dc, x, y) != RGB(255, 255, 255); };
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x)
        if (pixel(x, y)) {
          ink.left = ink.left < 0 ? x : std::min(ink.left, x);
          ink.top = ink.top < 0 ? y : std::min(ink.top, y);
          right = std::max(right, x);
          bottom = std::max(bottom, y);
        }
    if (ink.left >= 0) {
      ink.width = right - ink.left + 1;
      ink.height = bottom - ink.top + 1;
      for (int y = ink.top; y <= bottom; ++y)
        for (int x = ink.left; x <= right; ++x) ink.set.push_back(pixel(x, y));
    }
    canvas.SetHandle(nullptr);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return ink;
  }
};

TEST_P(ReadingControlsEach, ShowTheirTextInTheOrderItReads) {
  const auto [rightToLeft, readRightToLeft] = Shows(kText, bdRightToLeft, true);
  const auto [leftToRight, readLeftToRight] = Shows(kText, bdLeftToRight, false);
  ASSERT_GT(rightToLeft.width, 0);
  ASSERT_FALSE(readRightToLeft == readLeftToRight) << "the closing mark goes to the reading end";
  EXPECT_TRUE(rightToLeft == readRightToLeft) << "read right to left";
  EXPECT_TRUE(leftToRight == readLeftToRight)
      << "read left to right " << leftToRight.left << "," << leftToRight.top << " " << leftToRight.width
      << "x" << leftToRight.height << " / " << readLeftToRight.width << "x" << readLeftToRight.height;
  // right to left reading without the mirrored alignment
  const auto [readingOnly, read] = Shows(kText, bdRightToLeftReadingOnly, true);
  EXPECT_TRUE(readingOnly == read);
}

INSTANTIATE_TEST_SUITE_P(
    Controls, ReadingControlsEach,
    ::testing::Values(ControlCase{"Edit",
                                  [](ReadingControls& t, TForm*, const std::string& s) -> TControl* {
                                    auto* e = t.Add<TEdit>(10, 10, 200, 21);
                                    e->SetText(s);
                                    return e;
                                  },
                                  clWindow,
                                  {1, 1}},
                      ControlCase{"Memo",
                                  [](ReadingControls& t, TForm*, const std::string& s) -> TControl* {
                                    auto* m = t.Add<TMemo>(10, 10, 200, 60);
                                    m->SetText(s);
                                    return m;
                                  },
                                  clWindow,
                                  {1, 1}},
                      ControlCase{"Label",
                                  [](ReadingControls& t, TForm*, const std::string& s) -> TControl* {
                                    auto* l = t.Add<TLabel>(10, 10, 200, 20);
                                    l->SetAutoSize(false);
                                    l->SetCaption(s);
                                    return l;
                                  },
                                  clBtnFace,
                                  {0, 0}},
                      ControlCase{"ListItem",
                                  [](ReadingControls& t, TForm*, const std::string& s) -> TControl* {
                                    auto* l = t.Add<TListBox>(10, 10, 200, 60);
                                    l->Items()->Add(s);
                                    return l;
                                  },
                                  clWindow,
                                  {1, 1}},
                      ControlCase{"ComboItem",
                                  [](ReadingControls& t, TForm*, const std::string& s) -> TControl* {
                                    auto* c = t.Add<TComboBox>(10, 10, 200, 21);
                                    c->SetStyle(csDropDownList);
                                    c->Items()->Add(s);
                                    c->SetItemIndex(0);
                                    return c;
                                  },
                                  clWindow,
                                  {3, 3},
                                  true},
                      ControlCase{"StatusBar",
                                  [](ReadingControls& t, TForm*, const std::string& s) -> TControl* {
                                    auto* b = t.Add<TStatusBar>(10, 10, 200, 22);
                                    b->SetSizeGrip(false);
                                    b->SetSimplePanel(true);
                                    b->SetSimpleText(s);
                                    return b;
                                  },
                                  clBtnFace,
                                  {1, 3}},
                      ControlCase{"Button",
                                  [](ReadingControls& t, TForm*, const std::string& s) -> TControl* {
                                    auto* b = t.Add<TButton>(10, 10, 200, 25);
                                    b->SetCaption(s);
                                    return b;
                                  },
                                  clBtnFace,
                                  {3, 3}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
