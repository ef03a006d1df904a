// Regions, shapes, bitmaps on disk, scrolling, z-order, the screen object and the system clipboard.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "GuiTestSupport.h"
#include "platform/gui/Clipbrd.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Graphics.h"
#include "platform/gui/WinManager.h"
#include "rtl/TempDir.h"
#include "tests/TemporaryFiles.h"

using namespace guitest;

TEST(Regions, CombineOffsetAndQuery) {
  talvik::gui::UseQtBackend();
  HRGN a = CreateRectRgn(0, 0, 10, 10);
  HRGN b = CreateRectRgn(5, 5, 15, 15);
  HRGN r = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(CombineRgn(r, a, b, RGN_AND), SIMPLEREGION);
  RECT box;
  GetRgnBox(r, box);
  EXPECT_EQ(box, Rect(5, 5, 10, 10));
  EXPECT_EQ(CombineRgn(r, a, b, RGN_OR), COMPLEXREGION);
  GetRgnBox(r, box);
  EXPECT_EQ(box, Rect(0, 0, 15, 15));
  EXPECT_FALSE(PtInRegion(r, 12, 2));
  EXPECT_TRUE(PtInRegion(r, 12, 12));
  EXPECT_EQ(CombineRgn(r, a, b, RGN_DIFF), COMPLEXREGION);
  EXPECT_FALSE(PtInRegion(r, 7, 7));
  EXPECT_TRUE(PtInRegion(r, 2, 7));
  EXPECT_EQ(CombineRgn(r, a, a, RGN_XOR), NULLREGION);
  OffsetRgn(a, 5, 5);
  HRGN c = CreateRectRgn(5, 5, 15, 15);
  EXPECT_TRUE(EqualRgn(a, b));
  EXPECT_TRUE(EqualRgn(b, c));
  EXPECT_TRUE(RectInRegion(b, Rect(14, 14, 20, 20)));
  EXPECT_FALSE(RectInRegion(b, Rect(15, 15, 20, 20)));
  EXPECT_EQ(CombineRgn(r, a, nullptr, RGN_AND), ERROR);  // a missing operand is an error, not a crash
  for (HRGN h : {a, b, c, r}) EXPECT_TRUE(DeleteObject(h));
  EXPECT_FALSE(DeleteObject(a));  // twice is refused
}

class Shapes : public GuiTest {
 protected:
  // A 40x30 bitmap with a white background and its canvas.
  void SetUp() override {
    GuiTest::SetUp();
    bmp.SetSize(40, 30);
  }
  TBitmap bmp;
  TCanvas* C() { return bmp.Canvas(); }
};

TEST_F(Shapes, RectangleEllipsePolygonAndLinesFollowTheClassicPixelRules) {
  C()->Pen()->SetColor(clBlack);
  C()->Brush()->SetColor(clRed);
  C()->Rectangle(2, 2, 12, 8);
  EXPECT_EQ(C()->Pixels(2, 2), clBlack);
  EXPECT_EQ(C()->Pixels(11, 7), clBlack);  // right and bottom are inside the outline
  EXPECT_EQ(C()->Pixels(12, 7), clWhite);
  EXPECT_EQ(C()->Pixels(5, 5), clRed);
  C()->Polyline({{20, 2}, {30, 2}, {30, 10}});
  EXPECT_EQ(C()->Pixels(30, 2), clBlack);  // joints are drawn
  EXPECT_EQ(C()->Pixels(30, 9), clBlack);
  EXPECT_EQ(C()->Pixels(30, 10), clWhite);  // the last point is not
  C()->Brush()->SetColor(clBlue);
  C()->Polygon({{2, 20}, {12, 20}, {7, 28}});
  EXPECT_EQ(C()->Pixels(7, 23), clBlue);
  EXPECT_EQ(C()->Pixels(2, 27), clWhite);
  C()->Pen()->SetStyle(psClear);
  C()->Ellipse(20, 15, 36, 29);
  EXPECT_EQ(C()->Pixels(28, 22), clBlue);
  EXPECT_EQ(C()->Pixels(20, 15), clWhite);
  // a diagonal line stops one short of its end point
  C()->Pen()->SetStyle(psSolid);
  C()->MoveTo(38, 0);
  C()->LineTo(33, 5);
  EXPECT_EQ(C()->Pixels(38, 0), clBlack);
  EXPECT_EQ(C()->Pixels(34, 4), clBlack);
  EXPECT_EQ(C()->Pixels(33, 5), clWhite);
  EXPECT_EQ(C()->PenPos(), Point(33, 5));
}

TEST_F(Shapes, TextFormatsCopyRectAndPatternBrushes) {
  TRect r = Rect(0, 0, 40, 30);
  std::string text = "Длинный текст, который не влезет";
  C()->Font()->SetName("Arial");
  TRect calc = Rect(0, 0, 40, 0);
  C()->TextRect(calc, text, {tfWordBreak, tfCalcRect});
  EXPECT_GT(calc.Height(), C()->TextHeight("Д"));  // more than one line
  C()->Brush()->SetStyle(bsClear);
  C()->TextRect(r, text, {tfSingleLine, tfEndEllipsis});
  // copying a block to another bitmap
  TBitmap other;
  other.SetSize(40, 30);
  C()->Brush()->SetStyle(bsSolid);
  C()->Brush()->SetColor(clLime);
  C()->FillRect(Rect(30, 20, 40, 30));
  other.Canvas()->CopyRect(Rect(0, 0, 10, 10), C(), Rect(30, 20, 40, 30));
  EXPECT_EQ(other.Canvas()->Pixels(5, 5), clLime);
  EXPECT_EQ(other.Canvas()->Pixels(15, 5), clWhite);
  // a brush with a bitmap paints the pattern
  TBitmap pattern;
  pattern.SetSize(2, 1);
  pattern.Canvas()->SetPixels(0, 0, clRed);
  pattern.Canvas()->SetPixels(1, 0, clBlue);
  other.Canvas()->Brush()->SetBitmap(&pattern);
  other.Canvas()->FillRect(Rect(0, 20, 10, 22));
  EXPECT_EQ(other.Canvas()->Pixels(0, 20), clRed);
  EXPECT_EQ(other.Canvas()->Pixels(1, 21), clBlue);
  other.Canvas()->Brush()->SetBitmap(nullptr);
}

TEST_F(Shapes, BitmapsRoundTripThroughFilesAndMakeMasks) {
  C()->Brush()->SetColor(clFuchsia);
  C()->FillRect(Rect(0, 0, 40, 30));
  C()->Brush()->SetColor(clNavy);
  C()->FillRect(Rect(10, 10, 20, 20));
  TempDir dir;
  const std::string path = dir.File("bitmap.png");
  bmp.SaveToFile(path);
  TBitmap loaded;
  loaded.LoadFromFile(path);
  EXPECT_EQ(loaded.Width(), 40);
  EXPECT_EQ(loaded.Canvas()->Pixels(15, 15), clNavy);
  EXPECT_EQ(loaded.TransparentColor(), clFuchsia);  // the bottom-left pixel
  loaded.Mask(clFuchsia);
  EXPECT_TRUE(loaded.Monochrome());
  EXPECT_EQ(loaded.Canvas()->Pixels(0, 0), clWhite);
  EXPECT_EQ(loaded.Canvas()->Pixels(15, 15), clBlack);
  std::remove(path.c_str());
  TBitmap bad;
  EXPECT_THROW(bad.LoadFromFile(path), EInvalidOperation);
}

// The files of the window layer's tests, and what the toolkit keeps at run time, stay in the test
// process's own folder: nothing else is made in the temporary directory, and nothing stays.
TEST(GuiTestFolders, AreInTheProcessFolder) {
  ExpectOnlyTheProcessFolderMade(
      "Shapes.BitmapsRoundTripThroughFilesAndMakeMasks:"
      "BoundedShell.ACommandThatHangsIsKilledWithWhatItStartedOnceItsBoundIsOver");
}

class Layout : public GuiTest {};

TEST_F(Layout, ScrollingMovesChildrenAndInvalidates) {
  HWND top = Top(0, 0, 200, 200);
  HWND child = Child(top, 10, 10, 20, 20);
  Drain();
  RECT u;
  EXPECT_FALSE(GetUpdateRect(top, &u, false));
  ScrollWindowEx(top, 0, -5, nullptr, nullptr, nullptr, &u, SW_SCROLLCHILDREN | SW_INVALIDATE);
  RECT r;
  GetWindowRect(child, r);
  EXPECT_EQ(r.Top, 5);
  EXPECT_TRUE(GetUpdateRect(top, &u, false));
  ValidateRect(top, nullptr);
  EXPECT_FALSE(GetUpdateRect(top, &u, false));
  // topmost windows stay above the others
  HWND a = Top(0, 0, 10, 10, WS_POPUP | WS_VISIBLE, WS_EX_TOPMOST);
  HWND b = Top(0, 0, 10, 10);
  EXPECT_EQ(GetTopWindow(nullptr), a);
  SetWindowPos(b, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_EQ(GetTopWindow(nullptr), a);
  SetWindowPos(b, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_EQ(GetTopWindow(nullptr), b);
  EXPECT_TRUE(GetWindowLongPtr(b, GWL_EXSTYLE) & WS_EX_TOPMOST);
  // a maximised top-level window fills the work area
  ShowWindow(top, SW_SHOWMAXIMIZED);
  GetWindowRect(top, r);
  EXPECT_EQ(r, Rect(0, 0, 1024, 728));
  EXPECT_TRUE(IsZoomed(top));
  ShowWindow(top, SW_RESTORE);
  GetWindowRect(top, r);
  EXPECT_EQ(r, Rect(0, 0, 200, 200));
}

// A page shown again (a tab sheet, say) repaints every window under it, also those below windows that
// clip their children: nothing of what stood in their place stays on the screen.
TEST_F(Layout, AWindowShownAgainRepaintsEveryVisibleWindowUnderIt) {
  HWND top = Top(0, 0, 200, 200, WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN);
  HWND page = Child(top, 0, 0, 200, 200, WS_CLIPCHILDREN);
  HWND panel = Child(page, 0, 0, 100, 200, WS_CLIPCHILDREN);
  HWND box = Child(panel, 5, 5, 90, 90, WS_CLIPCHILDREN | WS_BORDER);
  HWND inBox = Child(box, 5, 5, 20, 20);
  Drain();  // everything painted once
  ShowWindow(page, SW_HIDE);
  Drain();
  RECT u;
  for (HWND h : {panel, box, inBox}) ASSERT_FALSE(GetUpdateRect(h, &u, false));
  ShowWindow(page, SW_SHOW);
  for (HWND h : {page, panel, box, inBox}) {
    ASSERT_TRUE(GetUpdateRect(h, &u, false)) << h;
    RECT client;
    GetClientRect(h, client);
    EXPECT_EQ(u, client) << h;  // the whole of it
  }
}

TEST_F(Layout, ThePlacementKeepsTheNormalRectangleOfAMaximisedWindow) {
  HWND top = Top(10, 20, 200, 100);
  WINDOWPLACEMENT p;
  ASSERT_TRUE(GetWindowPlacement(top, p));
  EXPECT_EQ(p.showCmd, static_cast<UINT>(SW_SHOWNORMAL));
  EXPECT_EQ(p.rcNormalPosition, Rect(10, 20, 210, 120));
  ShowWindow(top, SW_SHOWMAXIMIZED);
  ASSERT_TRUE(GetWindowPlacement(top, p));
  EXPECT_EQ(p.showCmd, static_cast<UINT>(SW_SHOWMAXIMIZED));
  EXPECT_EQ(p.rcNormalPosition, Rect(10, 20, 210, 120));
  // a new normal rectangle while maximised: the window stays, restoring goes there
  p.rcNormalPosition = Rect(30, 40, 330, 240);
  ASSERT_TRUE(SetWindowPlacement(top, p));
  RECT r;
  GetWindowRect(top, r);
  EXPECT_EQ(r, Rect(0, 0, 1024, 728));
  ShowWindow(top, SW_RESTORE);
  GetWindowRect(top, r);
  EXPECT_EQ(r, Rect(30, 40, 330, 240));
  // the placement's state is applied too
  p.showCmd = SW_SHOWMAXIMIZED;
  SetWindowPlacement(top, p);
  EXPECT_TRUE(IsZoomed(top));
  p.showCmd = SW_SHOWNORMAL;
  p.rcNormalPosition = Rect(5, 5, 105, 55);
  SetWindowPlacement(top, p);
  EXPECT_FALSE(IsZoomed(top));
  GetWindowRect(top, r);
  EXPECT_EQ(r, Rect(5, 5, 105, 55));
  EXPECT_FALSE(GetWindowPlacement(reinterpret_cast<HWND>(0x12345), p));
}

TEST_F(Layout, TheScreenObjectReportsMonitorsAndCursors) {
  CreateApplication();
  EXPECT_EQ(Screen->Width(), 1024);
  EXPECT_EQ(Screen->WorkAreaRect(), Rect(0, 0, 1024, 728));
  EXPECT_EQ(Screen->MonitorCount(), 1);
  EXPECT_TRUE(Screen->Monitors(0).Primary);
  EXPECT_THROW(Screen->Monitors(3), EListError);
  EXPECT_EQ(Screen->PixelsPerInch(), 96);
  EXPECT_EQ(CursorId(Screen->Cursors(crHourGlass)), IDC_WAIT);
  EXPECT_EQ(CursorId(Screen->Cursors(crHandPoint)), IDC_HAND);
  std::vector<BYTE> andMask(4 * 32, 0xFF), xorMask(4 * 32, 0);
  HCURSOR own = CreateCursor(nullptr, 0, 0, 32, 32, andMask, xorMask);
  Screen->SetCursors(1, own);
  EXPECT_EQ(Screen->Cursors(1), own);
  Screen->SetCursor(crHourGlass);
  EXPECT_EQ(CursorId(GetCursor()), IDC_WAIT);
  Screen->SetCursor(crDefault);
  Screen->SetCursors(1, nullptr);
  DestroyCursor(own);
  EXPECT_GT(Screen->Fonts()->Count(), 3);
  EXPECT_GE(Screen->Fonts()->IndexOf("Courier New"), 0);
}

TEST(SystemClipboard, CarriesTextAndOwnFormatsThroughTheToolkit) {
  talvik::gui::UseQtBackend();
  SetClipboardBackend(nullptr);
  UINT block = RegisterClipboardFormat("CodeEdit Control Block Type");
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  std::string payload("\x01SELECT 1\0", 10);
  SetClipboardData(block, payload);
  SetClipboardData(CF_TEXT, "SELECT 1");
  CloseClipboard();
  std::string out;
  ASSERT_TRUE(GetClipboardData(block, out));
  EXPECT_EQ(out, payload);
  EXPECT_EQ(Clipboard()->AsText(), "SELECT 1");
  Clipboard()->SetAsText("Сеанс");
  EXPECT_EQ(Clipboard()->AsText(), "Сеанс");
  EXPECT_FALSE(Clipboard()->HasFormat(block));  // setting text replaced everything
}

// A text that starts with a U+FEFF (a byte-order mark left in it) or a U+FFFE pastes back whole.
TEST(SystemClipboard, CarriesEveryCharacterOfATextStartingWithAByteOrderMark) {
  talvik::gui::UseQtBackend();
  SetClipboardBackend(nullptr);
  for (const char* text : {"\uFEFFselect 1\uFEFF", "\uFEFF\uFEFF", "\uFFFEselect\uFFFE 1", "a\uFEFFb"}) {
    Clipboard()->SetAsText(text);
    EXPECT_EQ(Clipboard()->AsText(), std::string(text));
  }
}
