// Edit buttons: pixel probes of the painted faces, the face cache, the check-box rectangle, the double
// click test, the button control driven by mouse and timer messages, the button definitions, a sheet
// of every face rendered to PNG, and an edit's button controls laid side by side.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "GridTestSupport.h"
#include "grid/EditButtons.h"

using namespace gridtest;

namespace {

constexpr COLORREF kBack = RGB(255, 0, 255);

// A bitmap of the given size filled with kBack, with a face painted on it.
struct Canvas {
  TBitmap bmp;
  Canvas(int w, int h) {
    bmp.SetSize(w, h);
    bmp.Canvas()->Brush()->SetColor(static_cast<TColor>(kBack));
    bmp.Canvas()->FillRect(Rect(0, 0, w, h));
  }
  HDC Dc() { return bmp.Canvas()->Handle(); }
  COLORREF At(int x, int y) { return GetPixel(Dc(), x, y); }
  // The bounding box and count of the pixels of colour c inside r.
  TRect Box(COLORREF c, const TRect& r, int* count = nullptr) {
    TRect box(r.Right, r.Bottom, r.Left - 1, r.Top - 1);
    int n = 0;
    for (int y = r.Top; y < r.Bottom; ++y)
      for (int x = r.Left; x < r.Right; ++x)
        if (At(x, y) == c) {
          ++n;
          box.Left = std::min(box.Left, x);
          box.Top = std::min(box.Top, y);
          box.Right = std::max(box.Right, x + 1);
          box.Bottom = std::max(box.Bottom, y + 1);
        }
    if (count) *count = n;
    return box;
  }
};

const COLORREF kText = 0;  // the classic button-text colour

class ButtonFaces : public GridGuiTest {
 protected:
  void SetUp() override {
    GridGuiTest::SetUp();
    ClearButtonsBitmapCache();
    SetButtonsBitmapCacheEnabled(true);
  }
};

TEST_F(ButtonFaces, UpDownOfOddHeightLeavesTheMiddleRowInTheColour) {
  Canvas c(17, 17);
  DrawEditButton(c.Dc(), Rect(0, 0, 17, 17), clRed, bcsUpDownEx, 0, false, false, true, cbUnchecked);
  for (int x : {0, 8, 16}) EXPECT_EQ(c.At(x, 8), RGB(255, 0, 0)) << x;
  EXPECT_NE(c.At(8, 7), RGB(255, 0, 0));
  EXPECT_NE(c.At(8, 9), RGB(255, 0, 0));
  Canvas even(17, 16);
  DrawEditButton(even.Dc(), Rect(0, 0, 17, 16), clRed, bcsUpDownEx, 0, false, false, true, cbUnchecked);
  for (int y = 0; y < 16; ++y) EXPECT_NE(even.At(8, y), RGB(255, 0, 0)) << y;
}

struct DotsCase {
  int faceWidth, dot, span;
};

class EllipsisDots : public ButtonFaces, public ::testing::WithParamInterface<DotsCase> {};

TEST_P(EllipsisDots, SizeAndGapFollowTheFaceWidth) {
  const DotsCase& d = GetParam();
  const int w = d.faceWidth + 4;  // a raised edge of two pixels each side
  Canvas c(w, 17);
  DrawEditButton(c.Dc(), Rect(0, 0, w, 17), clWindow, bcsEllipsisEx, 0, false, false, true, cbUnchecked);
  int count = 0;
  const TRect box = c.Box(kText, Rect(2, 2, w - 2, 15), &count);
  EXPECT_EQ(count, 3 * d.dot * d.dot);
  EXPECT_EQ(box.Width(), d.span);
  EXPECT_EQ(box.Height(), d.dot);
  EXPECT_EQ(box.Left - 2, (d.faceWidth - d.span) / 2);  // centred
  // pressed: moved one pixel right and down
  Canvas p(w, 17);
  DrawEditButton(p.Dc(), Rect(0, 0, w, 17), clWindow, bcsEllipsisEx, 1, false, false, true, cbUnchecked);
  const TRect moved = p.Box(kText, Rect(2, 2, w - 2, 15));
  EXPECT_EQ(moved.Left, box.Left + 1);
  EXPECT_EQ(moved.Top, box.Top + 1);
}

INSTANTIATE_TEST_SUITE_P(Widths, EllipsisDots,
                         ::testing::Values(DotsCase{7, 1, 5}, DotsCase{8, 2, 8}, DotsCase{11, 2, 8},
                                           DotsCase{12, 2, 10}),
                         [](const auto& info) { return "Face" + std::to_string(info.param.faceWidth); });

class PlusMinusSigns : public ButtonFaces, public ::testing::WithParamInterface<int> {};

TEST_P(PlusMinusSigns, BarsCentreAndCross) {
  const int s = GetParam();  // face side
  for (bool flat : {false, true}) {
    const int w = s + (flat ? 2 : 4);
    const TRect face = flat ? Rect(1, 1, w - 1, w - 1) : Rect(2, 2, w - 2, w - 2);
    // minus: one bar, centred horizontally
    Canvas m(w, w);
    PaintButtonFace(m.Dc(), bcsMinusEx, Rect(0, 0, w, w), false, false, true, flat, true);
    const TRect bar = m.Box(kText, face);
    EXPECT_EQ(bar.Left - face.Left, face.Right - bar.Right) << s << " flat " << flat;
    // plus: the two bars cross at a common centre
    Canvas p(w, w);
    PaintButtonFace(p.Dc(), bcsPlusEx, Rect(0, 0, w, w), false, false, true, flat, true);
    int n = 0;
    const TRect box = p.Box(kText, face, &n);
    ASSERT_EQ(box.Width(), box.Height()) << s;
    for (int y = box.Top; y < box.Bottom; ++y)
      for (int x = box.Left; x < box.Right; ++x) {
        const bool on = p.At(x, y) == kText;
        EXPECT_EQ(on, p.At(box.Right - 1 - (x - box.Left), y) == kText) << s << " " << x << "," << y;
        EXPECT_EQ(on, p.At(x, box.Bottom - 1 - (y - box.Top)) == kText) << s << " " << x << "," << y;
      }
  }
}

INSTANTIATE_TEST_SUITE_P(Sides, PlusMinusSigns, ::testing::Range(7, 19),
                         [](const auto& info) { return "Side" + std::to_string(info.param); });

TEST_F(ButtonFaces, FlatFramesInactiveActiveAndPressed) {
  const COLORREF white = ColorToRGB(clBtnHighlight), shadow = ColorToRGB(clBtnShadow);
  Canvas inactive(15, 17);
  DrawEditButton(inactive.Dc(), Rect(0, 0, 15, 17), clRed, bcsDropDownEx, 0, true, false, true, cbUnchecked);
  EXPECT_EQ(inactive.At(0, 0), RGB(255, 0, 0));
  EXPECT_EQ(inactive.At(14, 16), RGB(255, 0, 0));
  EXPECT_NE(inactive.At(1, 1), RGB(255, 0, 0));
  Canvas active(15, 17);
  DrawEditButton(active.Dc(), Rect(0, 0, 15, 17), clRed, bcsDropDownEx, 0, true, true, true, cbUnchecked);
  EXPECT_EQ(active.At(0, 0), white);
  EXPECT_EQ(active.At(14, 16), shadow);
  Canvas pressed(15, 17);
  DrawEditButton(pressed.Dc(), Rect(0, 0, 15, 17), clRed, bcsDropDownEx, 1, true, true, true, cbUnchecked);
  EXPECT_EQ(pressed.At(0, 0), shadow);
  EXPECT_EQ(pressed.At(14, 16), white);
  // a flat check box: square, framed in the colour when inactive
  Canvas check(21, 13);
  DrawEditButton(check.Dc(), Rect(0, 0, 21, 13), clRed, bcsCheckboxEx, 0, true, false, true, cbChecked);
  EXPECT_EQ(check.At(3, 6), kBack);  // outside the centred square
  EXPECT_EQ(check.At(4 + 0, 0), RGB(255, 0, 0));
  EXPECT_EQ(check.At(4 + 12, 12), RGB(255, 0, 0));
}

TEST_F(ButtonFaces, CacheKeysAndTheSameFacesAsDirectPainting) {
  Canvas a(16, 17);
  DrawEditButton(a.Dc(), Rect(0, 0, 16, 17), clBtnFace, bcsDropDownEx, 0, false, false, true, cbUnchecked);
  EXPECT_EQ(ButtonsBitmapCacheCount(), 1);
  DrawEditButton(a.Dc(), Rect(0, 0, 16, 17), clBtnFace, bcsDropDownEx, 0, false, false, true, cbUnchecked);
  EXPECT_EQ(ButtonsBitmapCacheCount(), 1);
  DrawEditButton(a.Dc(), Rect(0, 0, 16, 17), clBtnFace, bcsDropDownEx, 1, false, false, true, cbUnchecked);
  EXPECT_EQ(ButtonsBitmapCacheCount(), 2);  // pressed is another face
  DrawEditButton(a.Dc(), Rect(0, 0, 16, 17), clBtnFace, bcsUpDownEx, 0, false, false, true, cbUnchecked);
  EXPECT_EQ(ButtonsBitmapCacheCount(), 4);  // two halves
  DrawEditButton(a.Dc(), Rect(0, 0, 16, 17), clBtnFace, bcsCheckboxEx, 0, false, false, true, cbGrayed);
  DrawEditButton(a.Dc(), Rect(0, 0, 16, 17), clBtnFace, bcsCheckboxEx, 0, false, false, true, cbChecked);
  EXPECT_EQ(ButtonsBitmapCacheCount(), 6);  // the state is part of the key
  ClearButtonsBitmapCache();
  EXPECT_EQ(ButtonsBitmapCacheCount(), 0);

  struct Face {
    TDrawButtonControlStyleEx style;
    int down;
    bool flat, active, enabled;
    TCheckBoxState state;
  };
  const Face faces[] = {
      {bcsDropDownEx, 0, false, false, true, cbUnchecked}, {bcsEllipsisEx, 1, true, true, true, cbUnchecked},
      {bcsUpDownEx, 2, false, false, true, cbUnchecked},   {bcsPlusEx, 0, true, false, false, cbUnchecked},
      {bcsMinusEx, 0, false, false, false, cbUnchecked},   {bcsCheckboxEx, 1, true, true, true, cbGrayed}};
  for (const Face& f : faces) {
    Canvas cached(19, 17), direct(19, 17);
    SetButtonsBitmapCacheEnabled(true);
    DrawEditButton(cached.Dc(), Rect(0, 0, 19, 17), clBtnFace, f.style, f.down, f.flat, f.active, f.enabled,
                   f.state);
    SetButtonsBitmapCacheEnabled(false);
    const int before = ButtonsBitmapCacheCount();
    DrawEditButton(direct.Dc(), Rect(0, 0, 19, 17), clBtnFace, f.style, f.down, f.flat, f.active, f.enabled,
                   f.state);
    EXPECT_EQ(ButtonsBitmapCacheCount(), before);
    for (int y = 0; y < 17; ++y)
      for (int x = 0; x < 19; ++x)
        ASSERT_EQ(cached.At(x, y), direct.At(x, y)) << "style " << f.style << " at " << x << "," << y;
  }
  SetButtonsBitmapCacheEnabled(true);
}

TEST(ButtonGeometry, CheckBoxRectangleAlignsAndClamps) {
  EXPECT_EQ(GetCheckBoxRect(Rect(0, 0, 40, 20), taCenter, tlCenter), Bounds(13, 3, 13, 13));
  EXPECT_EQ(GetCheckBoxRect(Rect(0, 0, 40, 20), taLeftJustify, tlTop), Bounds(0, 0, 13, 13));
  EXPECT_EQ(GetCheckBoxRect(Rect(0, 0, 40, 20), taRightJustify, tlBottom), Bounds(27, 7, 13, 13));
  EXPECT_EQ(GetCheckBoxRect(Rect(5, 5, 15, 13), taCenter, tlCenter), Bounds(5, 5, 10, 8));
}

TEST(ButtonGeometry, DoubleClickNeedsTimeAndDistance) {
  SetDoubleClickTime(500);
  const int dx = GetSystemMetrics(SM_CXDOUBLECLK), dy = GetSystemMetrics(SM_CYDOUBLECLK);
  EXPECT_TRUE(IsDoubleClick(Point(10, 10), Point(10 + dx, 10 - dy), 500));
  EXPECT_FALSE(IsDoubleClick(Point(10, 10), Point(10, 10), 501));
  EXPECT_FALSE(IsDoubleClick(Point(10, 10), Point(11 + dx, 10), 10));
  EXPECT_FALSE(IsDoubleClick(Point(10, 10), Point(10, 11 + dy), 10));
}

TEST(ButtonGeometry, FlatButtonWidthIsOddAndBounded) {
  const int w = GetDefaultFlatButtonWidth();
  EXPECT_EQ(w % 2, 1);
  EXPECT_LE(w, GetSystemMetrics(SM_CXVSCROLL));
  EXPECT_GT(w, 3);
}

// ---------------------------------------------------------------- the button control

class ButtonControl : public GridGuiTest {
 protected:
  void SetUp() override {
    GridGuiTest::SetUp();
    form = std::make_unique<TForm>(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(100, 100, 200, 100);
    button = new TEditButtonControlEx(form.get());
    button->SetParent(form.get());
    button->SetBounds(10, 10, 17, 17);
    button->SetStyle(ebsUpDownEx);
    button->OnDown = [this](TObject*, bool top, bool& repeat, bool&) {
      downs.push_back({top, repeat, FakeNow() - start});
    };
    button->OnClick = [this](TObject*) { ++clicks; };
    form->Show();
    start = FakeNow();
  }
  void TearDown() override {
    form.reset();
    GridGuiTest::TearDown();
  }
  void Mouse(UINT msg, int x, int y) {
    SendMessage(form->Handle(), msg, msg == WM_LBUTTONUP ? 0 : MK_LBUTTON, MAKELPARAM(10 + x, 10 + y));
  }
  struct Down {
    bool top, autoRepeat;
    std::uint64_t at;
  };
  std::unique_ptr<TForm> form;
  TEditButtonControlEx* button = nullptr;
  std::vector<Down> downs;
  int clicks = 0;
  std::uint64_t start = 0;
};

TEST_F(ButtonControl, LowerHalfRepeatsAfter400ThenEvery100UntilReleased) {
  Mouse(WM_LBUTTONDOWN, 8, 12);  // lower half: y > 17 - 8
  ASSERT_EQ(downs.size(), 1u);
  EXPECT_FALSE(downs[0].top);
  EXPECT_TRUE(downs[0].autoRepeat);
  EXPECT_EQ(button->ButtonNum(), 2);
  Advance(399);
  EXPECT_EQ(downs.size(), 1u);
  Advance(1);
  ASSERT_EQ(downs.size(), 2u);
  EXPECT_EQ(downs[1].at, 400u);
  Advance(99);
  EXPECT_EQ(downs.size(), 2u);
  Advance(1);
  Advance(100);
  ASSERT_EQ(downs.size(), 4u);
  EXPECT_EQ(downs[3].at, 600u);
  EXPECT_FALSE(downs[3].top);
  Mouse(WM_LBUTTONUP, 8, 12);
  EXPECT_EQ(clicks, 1);
  Advance(1000);
  EXPECT_EQ(downs.size(), 4u);
}

TEST_F(ButtonControl, TheMiddleRowPressesNothingAndLeavingTheHalfDropsTheClick) {
  Mouse(WM_LBUTTONDOWN, 8, 8);  // the middle row of 17 pixels
  EXPECT_TRUE(downs.empty());
  Mouse(WM_LBUTTONUP, 8, 8);
  downs.clear();
  clicks = 0;
  Mouse(WM_LBUTTONDOWN, 8, 2);
  ASSERT_EQ(downs.size(), 1u);
  EXPECT_TRUE(downs[0].top);
  EXPECT_TRUE(button->ShownPressed());
  Mouse(WM_MOUSEMOVE, 8, 14);
  EXPECT_FALSE(button->ShownPressed());
  Mouse(WM_LBUTTONUP, 8, 14);
  EXPECT_EQ(clicks, 0);
}

TEST_F(ButtonControl, HandlerCanStopTheRepeatAndAlwaysDownHoldsThePress) {
  button->OnDown = [this](TObject*, bool, bool& repeat, bool&) {
    downs.push_back({true, repeat, 0});
    repeat = downs.size() < 2;
  };
  Mouse(WM_LBUTTONDOWN, 8, 2);
  Advance(400);
  Advance(100);
  Advance(100);
  EXPECT_EQ(downs.size(), 2u);
  Mouse(WM_LBUTTONUP, 8, 2);
  button->SetStyle(ebsDropDownEx);
  button->SetAlwaysDown(true);
  EXPECT_TRUE(button->ShownPressed());
  EXPECT_EQ(button->ButtonNum(), 1);
  button->SetAlwaysDown(false);
  EXPECT_FALSE(button->ShownPressed());
  EXPECT_EQ(button->GroupIndex(), 0);
}

// ---------------------------------------------------------------- definitions

TEST(EditButtonDefinitions, DefaultsClampsAndChangeNotifications) {
  TEditButtonsEx buttons(nullptr, CollectionItemClass<TVisibleEditButtonEx>);
  int changes = 0;
  buttons.OnChanged = [&](TObject*) { ++changes; };
  TEditButtonEx* b = buttons.Add();
  EXPECT_EQ(b->ShortCut(), kAltDownShortCut);
  EXPECT_TRUE(b->Visible());
  const int afterAdd = changes;
  b->SetNumGlyphs(0);
  EXPECT_EQ(b->NumGlyphs(), 1);
  EXPECT_EQ(changes, afterAdd);  // unchanged value: no notification
  b->SetNumGlyphs(9);
  EXPECT_EQ(b->NumGlyphs(), 4);
  EXPECT_EQ(changes, afterAdd + 1);
  TEditButtonEx alone(nullptr);
  EXPECT_FALSE(alone.Visible());
  EXPECT_EQ(alone.ShortCut(), 0);
  int own = 0;
  alone.OnChange = [&](TObject*) { ++own; };
  alone.Assign(b);
  EXPECT_EQ(own, 1);
  EXPECT_EQ(alone.NumGlyphs(), 4);
  EXPECT_TRUE(alone.Visible());
  EXPECT_EQ(EditButtonStyleToDrawStyle(ebsGlyphEx), bcsUpDownEx);
  EXPECT_EQ(EditButtonStyleToDrawStyle(ebsMinusEx), bcsMinusEx);
}

// ---------------------------------------------------------------- the sheet of faces

// Every face in its looks: rows are styles (check box in three states), columns are the looks.
class TFaceSheet : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  static constexpr int kCell = 30, kW = 19, kH = 19;

 protected:
  void Paint() override {
    struct Row {
      TDrawButtonControlStyleEx style;
      TCheckBoxState state;
    };
    static const Row rows[] = {{bcsDropDownEx, cbUnchecked}, {bcsEllipsisEx, cbUnchecked},
                               {bcsUpDownEx, cbUnchecked},   {bcsPlusEx, cbUnchecked},
                               {bcsMinusEx, cbUnchecked},    {bcsCheckboxEx, cbUnchecked},
                               {bcsCheckboxEx, cbChecked},   {bcsCheckboxEx, cbGrayed}};
    struct Look {
      int down;
      bool flat, active, enabled;
    };
    static const Look looks[] = {{0, false, false, true}, {1, false, false, true}, {0, false, false, false},
                                 {0, true, false, true},  {0, true, true, true},   {1, true, true, true},
                                 {2, true, true, true},   {0, true, false, false}};
    Canvas()->Brush()->SetColor(clWindow);
    Canvas()->FillRect(ClientRect());
    for (int r = 0; r < 8; ++r)
      for (int c = 0; c < 8; ++c)
        DrawEditButton(Canvas()->Handle(), Bounds(6 + c * kCell, 6 + r * kCell, kW, kH), clWindow,
                       rows[r].style, looks[c].down, looks[c].flat, looks[c].active, looks[c].enabled,
                       rows[r].state);
  }
};

void RenderSheet(bool display) {
  TForm form(nullptr);
  form.SetBorderStyle(bsNone);
  form.SetCaption("TalvikButtonFaces");
  form.SetBounds(60, 60, 252, 252);
  auto* sheet = new TFaceSheet(&form);
  sheet->SetParent(&form);
  sheet->SetAlign(alClient);
  form.Show();
  const std::string dir = ScreenshotDir();
  ASSERT_TRUE(talvik::gui::RenderWindowToPng(
      form.Handle(), dir + (display ? "/grid-button-faces-x11.png" : "/grid-button-faces.png")));
  // probes: a raised drop-down face, the pressed ellipsis dots moved, a checked box's mark
  HWND h = form.Handle();
  EXPECT_EQ(talvik::gui::WindowPixel(h, 6 + 3, 6 + 3), ColorToRGB(clBtnFace));
  EXPECT_EQ(talvik::gui::WindowPixel(h, 6 + 18, 6 + 18), ColorToRGB(cl3DDkShadow));   // 3-D outer edge
  EXPECT_EQ(talvik::gui::WindowPixel(h, 6 + 4 * 30, 6), ColorToRGB(clBtnHighlight));  // flat active: raised
  if (display) {
    for (int i = 0; i < 20; ++i) Application->ProcessMessages();
    talvik::gui::GrabDisplayToPng(dir + "/grid-button-faces-display.png");
  }
}

class ButtonSheet : public GridGuiTest {};

TEST_F(ButtonSheet, RendersEveryFaceOffscreen) {
  ClearButtonsBitmapCache();
  RenderSheet(false);
}

}  // namespace

// Under a real X server the same sheet through the toolkit's windows.
TEST(X11ButtonSheet, RendersEveryFaceOnTheDisplay) {
  const char* display = std::getenv("DISPLAY");
  const bool ci = std::getenv("CI") && std::string(std::getenv("CI")) == "true";
  if (!display || !*display) {
    if (ci) FAIL() << "no X server: run these tests through xvfb-run -a";
    GTEST_SKIP() << "no X server (run through xvfb-run -a)";
  }
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  talvik::gui::UseQtBackend();
  CreateApplication();
  RenderSheet(true);
}

// ---- the button controls of an edit laid side by side

namespace {

class TButtonsOwner : public IEditButtonsOwnerEx {
 public:
  explicit TButtonsOwner(TWinControl* AEdit) : edit(AEdit) {}
  TEditButtonControlEx* CreateEditButtonControl() override {
    auto* b = new TEditButtonControlEx(edit);
    b->SetParent(edit);
    return b;
  }
  void EditButtonClick(TObject*) override { ++clicks; }
  void EditButtonDown(TObject*, bool, bool&, bool&) override {}
  void EditButtonMouseMove(TObject*, TShiftState, int, int) override {}
  void EditButtonMouseUp(TObject*, TMouseButton, TShiftState, int, int) override {}
  TWinControl* edit;
  int clicks = 0;
};

struct PlaceCase {
  const char* name;
  bool flat, rightToLeft, lastAtEdge;
  std::vector<int> lefts;  // of the buttons by pair
  int taken;
};

// Buttons 17, 0 (hidden) and 20 pixels wide in a client area 200 wide.
const PlaceCase kPlaceCases[] = {
    {"MainAtTheRightEdge", false, false, false, {183, 183, 163}, 37},
    {"LastAtTheRightEdge", false, false, true, {163, 180, 180}, 37},
    {"FlatSeparatorsBesideShownButtons", true, false, false, {183, 182, 162}, 39},
    {"MainAtTheLeftEdgeRightToLeft", true, true, false, {0, 18, 18}, 39},
    {"LastAtTheLeftEdgeRightToLeft", false, true, true, {20, 20, 0}, 37},
};

class EditButtonPlacement : public GridGuiTest, public ::testing::WithParamInterface<PlaceCase> {};

TEST_P(EditButtonPlacement, SideBySideFromTheEdge) {
  const PlaceCase& c = GetParam();
  TForm form(nullptr);
  TButtonsOwner owner(&form);
  TEditButtonPairsEx pairs;
  ResizeEditButtonPairs(pairs, 3, &form, &owner);
  const int taken = PlaceEditButtonPairs(pairs, {17, 0, 20}, {17, 0, 21}, TSize{200, 21}, c.flat,
                                         c.rightToLeft, c.lastAtEdge);
  EXPECT_EQ(taken, c.taken);
  for (size_t i = 0; i < pairs.size(); ++i) EXPECT_EQ(pairs[i].Button->Left(), c.lefts[i]) << "pair " << i;
  EXPECT_EQ(pairs[1].Separator->Visible(), false);  // no line beside a hidden button
  EXPECT_EQ(pairs[0].Separator->Visible(), c.flat);
}

INSTANTIATE_TEST_SUITE_P(EditButtons, EditButtonPlacement, ::testing::ValuesIn(kPlaceCases),
                         [](const auto& Info) { return std::string(Info.param.name); });

TEST_F(ButtonFaces, PairsFollowTheCountAndCallTheirOwner) {
  TForm form(nullptr);
  TButtonsOwner owner(&form);
  TEditButtonPairsEx pairs;
  ResizeEditButtonPairs(pairs, 3, &form, &owner);
  ASSERT_EQ(pairs.size(), 3u);
  pairs[2].Button->Click();
  EXPECT_EQ(owner.clicks, 1);
  const int controls = form.ControlCount();
  ResizeEditButtonPairs(pairs, 1, &form, &owner);  // the dropped pairs go with their controls
  EXPECT_EQ(pairs.size(), 1u);
  EXPECT_EQ(form.ControlCount(), controls - 4);
  EXPECT_EQ(EditButtonHeight(17, 27), 17);  // square in a client more than 1.5 times as high
  EXPECT_EQ(EditButtonHeight(17, 26), 26);
}

}  // namespace
