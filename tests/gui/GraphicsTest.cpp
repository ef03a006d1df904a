#include <gtest/gtest.h>

#include <algorithm>

#include "GuiTestSupport.h"
#include "platform/gui/Graphics.h"
#include "platform/gui/WinManager.h"
#include "platform/rtl/SysUtils.h"

using namespace guitest;

namespace {

constexpr COLORREF kFace = RGB(212, 208, 200), kShadow = RGB(128, 128, 128), kDark = RGB(64, 64, 64),
                   kWhite = RGB(255, 255, 255), kBlack = RGB(0, 0, 0);

class Painting : public GuiTest {
 protected:
  HWND Paint(int w, int h, std::function<void(HDC)> paint) {
    HWND hwnd = Top(0, 0, w, h);
    Handlers()[hwnd] = [paint](HWND hw, UINT m, WPARAM, LPARAM, LRESULT* r) {
      if (m != WM_PAINT) return false;
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hw, ps);
      paint(dc);
      EndPaint(hw, ps);
      *r = 0;
      return true;
    };
    return hwnd;
  }
  static COLORREF Px(HWND h, int x, int y) { return talvik::gui::WindowPixel(h, x, y); }
  // A window that paints itself red all over.
  HWND RedWindow(int w, int h) {
    return Paint(w, h, [w, h](HDC dc) {
      HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
      FillRect(dc, Rect(0, 0, w, h), red);
      DeleteObject(red);
    });
  }
  // Columns (or rows) of r that hold any pixel differing from `bg`.
  static std::pair<int, int> InkSpanX(HWND h, const RECT& r, COLORREF bg) {
    int lo = -1, hi = -1;
    for (int x = r.Left; x < r.Right; ++x)
      for (int y = r.Top; y < r.Bottom; ++y)
        if (Px(h, x, y) != bg) {
          if (lo < 0) lo = x;
          hi = x;
          break;
        }
    return {lo, hi};
  }
  static std::pair<int, int> InkSpanY(HWND h, const RECT& r, COLORREF bg) {
    int lo = -1, hi = -1;
    for (int y = r.Top; y < r.Bottom; ++y)
      for (int x = r.Left; x < r.Right; ++x)
        if (Px(h, x, y) != bg) {
          if (lo < 0) lo = y;
          hi = y;
          break;
        }
    return {lo, hi};
  }
};

}  // namespace

TEST_F(Painting, DrawEdgeUsesTheClassicColoursPerRing) {
  HWND w = Paint(200, 100, [](HDC dc) {
    RECT raised = Rect(10, 10, 50, 40);
    DrawEdge(dc, raised, EDGE_RAISED, BF_RECT | BF_MIDDLE);
    RECT sunken = Rect(60, 10, 100, 40);
    DrawEdge(dc, sunken, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    FillRect(dc, sunken, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
    RECT top = Rect(110, 10, 150, 40);
    DrawEdge(dc, top, BDR_RAISEDINNER, BF_TOP);
  });
  // raised: outer light / dark shadow, inner highlight / shadow
  EXPECT_EQ(Px(w, 10, 10), kFace);
  EXPECT_EQ(Px(w, 11, 11), kWhite);
  EXPECT_EQ(Px(w, 49, 39), kDark);
  EXPECT_EQ(Px(w, 48, 38), kShadow);
  EXPECT_EQ(Px(w, 49, 10), kDark);  // the right side owns the top-right corner
  EXPECT_EQ(Px(w, 30, 25), kFace);  // BF_MIDDLE
  // sunken: outer shadow / highlight, inner dark shadow / light; BF_ADJUST leaves the inside
  EXPECT_EQ(Px(w, 60, 20), kShadow);
  EXPECT_EQ(Px(w, 61, 20), kDark);
  EXPECT_EQ(Px(w, 99, 20), kWhite);
  EXPECT_EQ(Px(w, 98, 20), kFace);
  EXPECT_EQ(Px(w, 62, 20), kWhite);  // the window colour filled after adjusting
  EXPECT_EQ(Px(w, 97, 37), kWhite);
  // one side only
  EXPECT_EQ(Px(w, 120, 10), kWhite);
  EXPECT_EQ(Px(w, 120, 39), kFace);
  EXPECT_EQ(Px(w, 110, 20), kFace);
}

TEST_F(Painting, DrawFrameControlPaintsChecksArrowsAndButtons) {
  HWND w = Paint(200, 100, [](HDC dc) {
    RECT checked = Rect(10, 10, 23, 23);
    DrawFrameControl(dc, checked, DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_CHECKED);
    RECT empty = Rect(30, 10, 43, 23);
    DrawFrameControl(dc, empty, DFC_BUTTON, DFCS_BUTTONCHECK);
    RECT greyed = Rect(50, 10, 63, 23);
    DrawFrameControl(dc, greyed, DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_INACTIVE);
    RECT down = Rect(70, 10, 87, 27);
    DrawFrameControl(dc, down, DFC_SCROLL, DFCS_SCROLLDOWN);
    RECT combo = Rect(90, 10, 107, 27);
    DrawFrameControl(dc, combo, DFC_SCROLL, DFCS_SCROLLCOMBOBOX | DFCS_INACTIVE);
    RECT pushed = Rect(110, 10, 140, 30);
    DrawFrameControl(dc, pushed, DFC_BUTTON, DFCS_BUTTONPUSH | DFCS_PUSHED);
  });
  // the check box: sunken frame, white inside, a black tick in the middle
  EXPECT_EQ(Px(w, 10, 10), kShadow);
  EXPECT_EQ(Px(w, 11, 11), kDark);
  int black = 0;
  for (int x = 12; x < 21; ++x)
    for (int y = 12; y < 21; ++y) black += Px(w, x, y) == kBlack;
  EXPECT_GE(black, 15);
  EXPECT_EQ(Px(w, 12, 12), kWhite);
  for (int x = 32; x < 41; ++x)
    for (int y = 12; y < 21; ++y) ASSERT_EQ(Px(w, x, y), kWhite);
  EXPECT_EQ(Px(w, 56, 16), kFace);  // inactive: face inside
  // the scroll arrow: raised button, a black triangle pointing down, wide row above narrow row
  EXPECT_EQ(Px(w, 70, 10), kFace);
  EXPECT_EQ(Px(w, 86, 26), kDark);
  auto span = InkSpanY(w, Rect(74, 13, 84, 24), kFace);
  ASSERT_GE(span.first, 0);
  int wideRow = 0, narrowRow = 0;
  for (int x = 72; x < 86; ++x) {
    wideRow += Px(w, x, span.first) == kBlack;
    narrowRow += Px(w, x, span.second) == kBlack;
  }
  EXPECT_GT(wideRow, narrowRow);
  EXPECT_EQ(narrowRow, 1);
  // inactive arrows are grey with a white shadow
  bool grey = false, anyBlack = false;
  for (int x = 92; x < 106; ++x)
    for (int y = 12; y < 26; ++y) {
      grey |= Px(w, x, y) == kShadow;
      anyBlack |= Px(w, x, y) == kBlack;
    }
  EXPECT_TRUE(grey);
  EXPECT_FALSE(anyBlack);
  // a pushed button: black frame, then shadow
  EXPECT_EQ(Px(w, 110, 10), kBlack);
  EXPECT_EQ(Px(w, 111, 11), kShadow);
  EXPECT_EQ(Px(w, 120, 20), kFace);
}

TEST_F(Painting, DrawTextAlignsWrapsTruncatesAndMeasures) {
  LOGFONT lf;
  lf.lfHeight = -13;
  lf.lfFaceName = "Arial";
  HFONT font = CreateFontIndirect(lf);
  TEXTMETRIC tm;
  int calcHeight = 0, calcWidth = 0, wrappedHeight = 0;
  HWND w = Paint(300, 200, [&](HDC dc) {
    SelectObject(dc, font);
    GetTextMetrics(dc, tm);
    SetBkMode(dc, TRANSPARENT);
    RECT calc = Rect(0, 0, 0, 0);
    calcHeight = DrawText(dc, "Привет", calc, DT_CALCRECT | DT_SINGLELINE);
    calcWidth = calc.Width();
    RECT right = Rect(10, 10, 200, 30);
    DrawText(dc, "Right", right, DT_RIGHT | DT_SINGLELINE | DT_VCENTER);
    RECT wrap = Rect(10, 40, 40, 140);
    RECT wrapCalc = wrap;
    wrappedHeight = DrawText(dc, "aaa bbb ccc", wrapCalc, DT_WORDBREAK | DT_CALCRECT);
    DrawText(dc, "aaa bbb ccc", wrap, DT_WORDBREAK);
    RECT ellipsis = Rect(100, 40, 140, 60);
    DrawText(dc, "A very long caption", ellipsis, DT_END_ELLIPSIS | DT_SINGLELINE);
    RECT prefix = Rect(150, 40, 250, 60);
    DrawText(dc, "&File", prefix, DT_SINGLELINE);
    RECT noPrefix = Rect(150, 70, 250, 90);
    DrawText(dc, "&File", noPrefix, DT_SINGLELINE | DT_NOPREFIX);
  });
  talvik::gui::UpdateAllWindows(w);
  EXPECT_EQ(calcHeight, tm.tmHeight);
  EXPECT_GT(calcWidth, 30);
  EXPECT_EQ(wrappedHeight, 3 * tm.tmHeight);
  // right alignment: the ink ends near the right edge, far from the left
  auto right = InkSpanX(w, Rect(10, 10, 200, 30), kFace);
  ASSERT_GE(right.first, 0);
  EXPECT_GE(right.second, 190);
  EXPECT_GT(right.first, 120);
  // three wrapped lines
  auto lines = InkSpanY(w, Rect(10, 40, 40, 140), kFace);
  EXPECT_GE(lines.second - lines.first, 2 * tm.tmHeight);
  // the ellipsis keeps the text inside its rectangle
  auto el = InkSpanX(w, Rect(95, 40, 149, 60), kFace);
  EXPECT_LT(el.second, 140);
  // "&File" underlines the F and does not show the ampersand, unlike DT_NOPREFIX
  int underlineRow = 40 + tm.tmAscent + 1;
  bool underline = false;
  for (int x = 150; x < 160; ++x) underline |= Px(w, x, underlineRow) == kBlack;
  EXPECT_TRUE(underline);
  auto withPrefix = InkSpanX(w, Rect(150, 40, 250, 60), kFace);
  auto literal = InkSpanX(w, Rect(150, 70, 250, 90), kFace);
  EXPECT_GT(literal.second - literal.first, withPrefix.second - withPrefix.first);
  DeleteObject(font);
}

TEST_F(Painting, ExtTextOutFillsAndClipsToItsRectangle) {
  HWND w = Paint(200, 60, [](HDC dc) {
    SetBkColor(dc, RGB(255, 0, 0));
    SetTextColor(dc, RGB(0, 0, 255));
    RECT r = Rect(10, 10, 40, 30);
    ExtTextOut(dc, 12, 12, ETO_OPAQUE | ETO_CLIPPED, &r, "WWWWWWWWWWWW");
    int dx[3] = {20, 20, 20};
    SetBkMode(dc, TRANSPARENT);
    ExtTextOut(dc, 100, 10, 0, nullptr, "III", dx);
  });
  EXPECT_EQ(Px(w, 10, 10), RGB(255, 0, 0));
  EXPECT_EQ(Px(w, 39, 29), RGB(255, 0, 0));
  for (int y = 5; y < 40; ++y) ASSERT_EQ(Px(w, 41, y), kFace) << y;  // nothing beyond the clip
  // per-character advances put the glyphs 20 pixels apart
  int bars = 0;
  bool inInk = false;
  for (int x = 95; x < 170; ++x) {
    bool ink = false;
    for (int y = 10; y < 30; ++y) ink |= Px(w, x, y) == RGB(0, 0, 255);
    if (ink && !inInk) ++bars;
    inInk = ink;
  }
  EXPECT_EQ(bars, 3);
}

TEST_F(Painting, ClippingSavingAndRestoring) {
  HWND w = Paint(100, 100, [](HDC dc) {
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
    int saved = SaveDC(dc);
    IntersectClipRect(dc, 10, 10, 50, 50);
    ExcludeClipRect(dc, 20, 20, 30, 30);
    RECT box;
    GetClipBox(dc, box);
    EXPECT_EQ(box, Rect(10, 10, 50, 50));
    EXPECT_FALSE(RectVisible(dc, Rect(60, 60, 70, 70)));
    FillRect(dc, Rect(0, 0, 100, 100), red);
    RestoreDC(dc, saved);
    FillRect(dc, Rect(80, 80, 90, 90), blue);
    HRGN rgn = CreateRectRgn(0, 60, 10, 70);
    SelectClipRgn(dc, rgn);
    FillRect(dc, Rect(0, 0, 100, 100), blue);
    SelectClipRgn(dc, nullptr);
    DeleteObject(rgn);
    DeleteObject(red);
    DeleteObject(blue);
  });
  EXPECT_EQ(Px(w, 5, 5), kFace);
  EXPECT_EQ(Px(w, 15, 15), RGB(255, 0, 0));
  EXPECT_EQ(Px(w, 25, 25), kFace);
  EXPECT_EQ(Px(w, 85, 85), RGB(0, 0, 255));
  EXPECT_EQ(Px(w, 5, 65), RGB(0, 0, 255));
  EXPECT_EQ(Px(w, 15, 65), kFace);
}

TEST_F(Painting, ChildWindowsAreClippedOutOfTheirParent) {
  HWND w = RedWindow(100, 100);
  HWND child = Child(w, 20, 20, 30, 30);
  talvik::gui::UpdateAllWindows(w);
  EXPECT_EQ(Px(w, 10, 10), RGB(255, 0, 0));
  EXPECT_EQ(Px(w, 25, 25), kFace);  // the child erased itself with its class brush
  // invalidating the parent repaints the child area too, and the child stays on top
  InvalidateRect(w, nullptr, true);
  EXPECT_EQ(Px(w, 25, 25), kFace);
  ShowWindow(child, SW_HIDE);
  EXPECT_EQ(Px(w, 25, 25), RGB(255, 0, 0));
}

TEST_F(Painting, XorPenAndFocusRectangleUndoThemselves) {
  int passes = 2;
  HWND w = Paint(100, 100, [&](HDC dc) {
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 255, 255));
    HGDIOBJ old = SelectObject(dc, pen);
    SetROP2(dc, R2_XORPEN);
    for (int i = 0; i < passes; ++i) {
      MoveToEx(dc, 10, 10, nullptr);
      LineTo(dc, 10, 50);
      DrawFocusRect(dc, Rect(30, 30, 60, 60));
    }
    SelectObject(dc, old);
    DeleteObject(pen);
  });
  EXPECT_EQ(Px(w, 10, 20), kFace);
  EXPECT_EQ(Px(w, 30, 30), kFace);
  passes = 1;
  InvalidateRect(w, nullptr, true);
  COLORREF inverted = RGB(255 - 212, 255 - 208, 255 - 200);
  EXPECT_EQ(Px(w, 10, 20), inverted);
  EXPECT_EQ(Px(w, 10, 50), kFace);  // the end point is not drawn
  EXPECT_EQ(Px(w, 30, 30), inverted);
  EXPECT_EQ(Px(w, 31, 30), kFace);  // dotted
}

TEST_F(Painting, MonochromeBlitsTakeTextAndBackgroundColours) {
  HWND w = Paint(100, 60, [](HDC dc) {
    BYTE bits[4] = {0xF0, 0x00, 0x0F, 0x00};  // two rows of 8 pixels: 11110000, 00001111
    HBITMAP mono = CreateBitmap(8, 2, 1, 1, bits);
    HDC mem = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(mem, mono);
    SetTextColor(dc, RGB(0, 0, 255));
    SetBkColor(dc, RGB(255, 255, 0));
    BitBlt(dc, 10, 10, 8, 2, mem, 0, 0, SRCCOPY);
    // pattern brushes and XOR
    HBRUSH pattern = CreatePatternBrush(mono);
    HGDIOBJ oldBrush = SelectObject(dc, pattern);
    PatBlt(dc, 32, 10, 8, 2, PATCOPY);  // patterns line up with the window origin
    SelectObject(dc, oldBrush);
    DeleteObject(pattern);
    SelectObject(mem, old);
    DeleteDC(mem);
    EXPECT_FALSE(DeleteObject(reinterpret_cast<HGDIOBJ>(0x1234)));
    DeleteObject(mono);
  });
  EXPECT_EQ(Px(w, 10, 10), RGB(255, 255, 0));  // 1 bits take the background colour
  EXPECT_EQ(Px(w, 14, 10), RGB(0, 0, 255));    // 0 bits the text colour
  EXPECT_EQ(Px(w, 14, 11), RGB(255, 255, 0));
  EXPECT_EQ(Px(w, 32, 10), RGB(255, 255, 0));
  EXPECT_EQ(Px(w, 36, 10), RGB(0, 0, 255));
}

// A patterned fill of any height is one unbroken dither, anchored to the window (not to the filled
// area), also through a clip of several rectangles: tall fills and short ones, starting anywhere.
TEST_F(Painting, TallPatternFillsAreOneDitherAnchoredToTheWindow) {
  struct Fill {
    RECT area;
  };
  const Fill fills[] = {{Rect(0, 0, 9, 400)},
                        {Rect(13, 37, 20, 395)},
                        {Rect(24, 3, 41, 130)},
                        {Rect(45, 64, 60, 129)},
                        {Rect(64, 1, 70, 2)}};
  HWND w = Paint(80, 400, [&](HDC dc) {
    BYTE raw[16];
    for (int i = 0; i < 8; ++i) {
      raw[i * 2] = i % 2 ? 0x55 : 0xAA;
      raw[i * 2 + 1] = i % 2 ? 0x55 : 0xAA;
    }
    HBITMAP pattern = CreateBitmap(8, 8, 1, 1, raw);
    HBRUSH dither = CreatePatternBrush(pattern);
    SetTextColor(dc, kBlack);
    SetBkColor(dc, kWhite);
    ExcludeClipRect(dc, 0, 200, 80, 210);  // a band across every fill: a clip of two rectangles
    for (const Fill& f : fills) FillRect(dc, f.area, dither);
    DeleteObject(dither);
    DeleteObject(pattern);
  });
  for (const Fill& f : fills) {
    SCOPED_TRACE("fill at " + std::to_string(f.area.Left) + "," + std::to_string(f.area.Top));
    int wrong = 0;
    for (int y = f.area.Top; y < f.area.Bottom; ++y)
      for (int x = f.area.Left; x < f.area.Right; ++x) {
        const COLORREF expected = (y >= 200 && y < 210) ? kFace : ((x + y) % 2 ? kBlack : kWhite);
        if (Px(w, x, y) != expected && wrong++ < 3) ADD_FAILURE() << "pixel " << x << "," << y;
      }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(Px(w, f.area.Right, f.area.Top), kFace) << "right of the fill";
  }
  EXPECT_EQ(Px(w, 30, 135), kFace) << "below the third fill";
}

// Several polylines drawn in one call look as each drawn on its own, whatever the pen.
TEST_F(Painting, PolyPolylineDrawsAsItsPolylinesOneByOne) {
  const POINT points[] = {{5, 5},   {60, 5},  {60, 40},  // a corner
                          {10, 50}, {70, 90},            // a slant
                          {80, 10}, {80, 95},            // upright
                          {3, 97},  {90, 97}, {90, 60}, {20, 60}};
  const DWORD counts[] = {3, 2, 2, 4};
  struct PenCase {
    const char* name;
    int style, width;
  };
  const PenCase pens[] = {
      {"thin", PS_SOLID, 1}, {"dashed", PS_DASH, 1}, {"dotted", PS_DOT, 1}, {"wide", PS_SOLID, 3}};
  for (const PenCase& pc : pens) {
    SCOPED_TRACE(pc.name);
    auto draw = [&](bool together) {
      return Paint(100, 100, [&, together](HDC dc) {
        HPEN pen = CreatePen(pc.style, pc.width, RGB(0, 0, 160));
        HGDIOBJ old = SelectObject(dc, pen);
        if (together) {
          PolyPolyline(dc, points, counts, 4);
        } else {
          const POINT* at = points;
          for (DWORD n : counts) {
            Polyline(dc, at, static_cast<int>(n));
            at += n;
          }
        }
        SelectObject(dc, old);
        DeleteObject(pen);
      });
    };
    HWND together = draw(true), oneByOne = draw(false);
    int differing = 0, inked = 0;
    for (int y = 0; y < 100; ++y)
      for (int x = 0; x < 100; ++x) {
        differing += Px(together, x, y) != Px(oneByOne, x, y);
        inked += Px(together, x, y) != kFace;
      }
    EXPECT_EQ(differing, 0);
    EXPECT_GT(inked, 150) << "the lines are drawn";
  }
}

TEST_F(Painting, MirroredMappingDrawsFromTheRight) {
  HWND w = Paint(100, 50, [](HDC dc) {
    SetMapMode(dc, MM_ANISOTROPIC);
    SetWindowOrgEx(dc, 0, 0, nullptr);
    SetWindowExtEx(dc, -1, 1, nullptr);
    SetViewportOrgEx(dc, 100, 0, nullptr);
    SetViewportExtEx(dc, 1, 1, nullptr);
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    FillRect(dc, Rect(0, 0, 10, 10), red);  // logical left edge = physical right edge
    DeleteObject(red);
  });
  EXPECT_EQ(Px(w, 95, 5), RGB(255, 0, 0));
  EXPECT_EQ(Px(w, 89, 5), kFace);
  EXPECT_EQ(Px(w, 5, 5), kFace);
}

TEST_F(Painting, FontsMapToInstalledFamiliesWithCyrillic) {
  // whatever fonts the machine has: every face, known or not, comes out as one of them
  const std::vector<std::string> installed = InstalledFontNames();
  ASSERT_FALSE(installed.empty());
  auto isInstalled = [&](const std::string& family) {
    return std::any_of(installed.begin(), installed.end(),
                       [&](const std::string& f) { return SameText(f, family); });
  };
  for (const char* face : {"MS Sans Serif", "Courier New", "Tahoma", "System", "No Such Font", ""})
    EXPECT_TRUE(isInstalled(MapFontFamily(face))) << "'" << face << "' -> '" << MapFontFamily(face) << "'";
  EXPECT_EQ(MapFontFamily("ms sans serif"), MapFontFamily("MS Sans Serif"));
  // a face the machine has stands for itself
  for (const std::string& f : installed) {
    if (f.find("DejaVu") == std::string::npos && f.find("Liberation") == std::string::npos) continue;
    EXPECT_EQ(MapFontFamily(f), f);
  }
  HDC mem = CreateCompatibleDC(nullptr);
  LOGFONT lf;
  lf.lfHeight = -11;
  lf.lfFaceName = "MS Sans Serif";
  HFONT f = CreateFontIndirect(lf);
  SelectObject(mem, f);
  SIZE latin, cyr;
  GetTextExtentPoint32(mem, "Session", latin);
  GetTextExtentPoint32(mem, "Сеанс", cyr);
  EXPECT_GT(cyr.cx, 15);
  TEXTMETRIC tm;
  GetTextMetrics(mem, tm);
  EXPECT_EQ(cyr.cy, tm.tmHeight);
  EXPECT_GE(tm.tmHeight, 11);
  EXPECT_TRUE(tm.tmPitchAndFamily & TMPF_FIXED_PITCH);  // variable pitch, as the flag's odd name says
  lf.lfFaceName = "Courier New";
  HFONT mono = CreateFontIndirect(lf);
  SelectObject(mem, mono);
  SIZE i, m;
  GetTextExtentPoint32(mem, "iiii", i);
  GetTextExtentPoint32(mem, "MMMM", m);
  EXPECT_EQ(i.cx, m.cx);
  SelectObject(mem, GetStockObject(SYSTEM_FONT));
  DeleteObject(f);
  DeleteObject(mono);
  DeleteDC(mem);
}

TEST_F(Painting, CanvasAndBitmapWorkTogether) {
  TBitmap bmp;
  bmp.SetSize(20, 10);
  bmp.Canvas()->Brush()->SetColor(clRed);
  bmp.Canvas()->FillRect(Rect(0, 0, 20, 10));
  bmp.Canvas()->Pen()->SetColor(clBlue);
  bmp.Canvas()->MoveTo(0, 5);
  bmp.Canvas()->LineTo(20, 5);
  EXPECT_EQ(bmp.Canvas()->Pixels(3, 5), clBlue);
  EXPECT_EQ(bmp.Canvas()->Pixels(3, 3), clRed);
  bmp.Canvas()->Font()->SetName("Arial");
  EXPECT_GT(bmp.Canvas()->TextWidth("Текст"), 10);
  bmp.SetSize(30, 10);  // the picture survives a resize
  EXPECT_EQ(bmp.Canvas()->Pixels(3, 3), clRed);
  EXPECT_EQ(bmp.Canvas()->Pixels(25, 3), clWhite);
  TBitmap copy;
  copy.Assign(&bmp);
  EXPECT_EQ(copy.Canvas()->Pixels(3, 5), clBlue);
  // transparent drawing leaves the key colour out
  copy.SetTransparent(true);
  copy.SetTransparentColor(clRed);
  HWND w = Paint(60, 30, [&](HDC dc) {
    TCanvas c;
    c.SetHandle(dc);
    c.Draw(5, 5, &copy);
    c.SetHandle(nullptr);
  });
  EXPECT_EQ(Px(w, 8, 8), kFace);
  EXPECT_EQ(Px(w, 8, 10), RGB(0, 0, 255));
  EXPECT_EQ(TFont().Size(), 8);
  TFont font;
  font.SetSize(10);
  EXPECT_EQ(font.Height(), -13);
  EXPECT_THROW(bmp.SetSize(-1, 5), EInvalidOperation);
  TCanvas noHandle;
  EXPECT_THROW(noHandle.FillRect(Rect(0, 0, 1, 1)), EInvalidOperation);
}

TEST(ColorNames, StringToColorReadsWhatColorToStringWrites) {
  for (TColor c : {clRed, clWindow, clNone, clInfoBk, static_cast<TColor>(0x00123456)})
    EXPECT_EQ(StringToColor(ColorToString(c)), c) << ColorToString(c);
  TColor c = 0;
  EXPECT_TRUE(IdentToColor("CLSILVER", c));
  EXPECT_EQ(c, clSilver);
  EXPECT_FALSE(IdentToColor("clNoSuchColour", c));
  EXPECT_EQ(StringToColor("255"), clRed);
  EXPECT_THROW(StringToColor("reddish"), EConvertError);
  EXPECT_THROW(StringToColor("$1FFFFFFFF"), EConvertError);
}

TEST_F(Painting, RotatedFontsRunUpwards) {
  HWND w = Paint(120, 120, [](HDC dc) {
    LOGFONT lf;
    lf.lfHeight = -13;
    lf.lfEscapement = 900;
    lf.lfOrientation = 900;
    lf.lfFaceName = "Arial";
    HFONT f = CreateFontIndirect(lf);
    HGDIOBJ old = SelectObject(dc, f);
    SetBkMode(dc, TRANSPARENT);
    TextOut(dc, 50, 100, "Вертикаль");
    SelectObject(dc, old);
    DeleteObject(f);
  });
  auto xs = InkSpanX(w, Rect(0, 0, 120, 120), kFace);
  auto ys = InkSpanY(w, Rect(0, 0, 120, 120), kFace);
  ASSERT_GE(xs.first, 0);
  EXPECT_GT(ys.second - ys.first, 3 * (xs.second - xs.first));  // tall and narrow
  EXPECT_LE(ys.second, 100);                                    // the text goes up from its starting point
  EXPECT_GE(xs.first, 48);
}

TEST_F(Painting, WindowRegionsShapeWhatIsHitAndPainted) {
  HWND w = RedWindow(100, 100);
  HWND grip = Child(w, 50, 50, 40, 40);
  POINT tri[3] = {{40, 0}, {40, 40}, {0, 40}};  // the lower-right triangle, as a size grip has
  SetWindowRgn(grip, CreatePolygonRgn(tri, 3, WINDING), true);
  EXPECT_EQ(WindowFromPoint(Point(85, 85)), grip);
  EXPECT_EQ(WindowFromPoint(Point(55, 55)), w);
  talvik::gui::UpdateAllWindows(w);
  EXPECT_EQ(Px(w, 55, 55), RGB(255, 0, 0));  // the parent shows through outside the region
  EXPECT_EQ(Px(w, 85, 85), kFace);
}
