// The program's small pieces: the simple timer, the 3D labels, the About box and the server release.
#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

#include "app/SimpleTimer.h"
#include "app/ZrDBText3D.h"
#include "app/ZrDialogUtils.h"
#include "app/ZrLabel3D.h"
#include "db/MemDataSet.h"
#include "gui/GuiTestSupport.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/WinVer.h"
#include "platform/rtl/Process.h"

using guitest::FakeNow;
using guitest::GuiTest;

namespace {

std::string ScreenshotDir() {
  const char* bin = std::getenv("TALVIK_BINARY_DIR");
  std::string dir = std::string(bin ? bin : ".") + "/screenshots";
  std::filesystem::create_directories(dir);
  return dir;
}

struct Ticks {
  int count = 0;
  bool raise = false;
};

void Tick(void* data) {
  auto* t = static_cast<Ticks*>(data);
  ++t->count;
  if (t->raise) throw std::runtime_error("tick failed");
}

void Advance(unsigned ms) {
  FakeNow() += ms;
  talvik::gui::ProcessPending();
}

}  // namespace

class SimpleTimerTest : public GuiTest {};

TEST_F(SimpleTimerTest, TicksAtItsIntervalRestartsWithANewOneAndSharesOneWindow) {
  Ticks a, b;
  {
    TSimpleTimer t1(&a, Tick), t2(&b, Tick);
    EXPECT_EQ(SimpleTimerHandlerUsers(), 2);
    ASSERT_TRUE(t1.Start(100));
    Advance(100);
    EXPECT_EQ(a.count, 1);
    ASSERT_TRUE(t1.Start(300));  // restarted: the 100 ms timer is gone
    Advance(100);
    Advance(100);
    EXPECT_EQ(a.count, 1);
    Advance(100);
    EXPECT_EQ(a.count, 2);
    EXPECT_EQ(b.count, 0);
    EXPECT_TRUE(t1.Stop());
    EXPECT_FALSE(t1.Active());
    EXPECT_FALSE(t1.Stop());  // no such system timer any more
    EXPECT_FALSE(t1.Active());
  }
  EXPECT_EQ(SimpleTimerHandlerUsers(), 0);
  EXPECT_EQ(SimpleTimerHandlerWindow(), nullptr);
}

TEST_F(SimpleTimerTest, ACallbackThatRaisesKeepsTheTimerTickingAndShowsNothing) {
  Ticks a;
  a.raise = true;
  TSimpleTimer t(&a, Tick);
  t.Start(50);
  for (int i = 0; i < 3; ++i) Advance(50);
  EXPECT_EQ(a.count, 3);
  EXPECT_TRUE(t.Active());
}

TEST_F(SimpleTimerTest, ATickQueuedForATimerAlreadyGoneIsDropped) {
  Ticks a, keep;
  TSimpleTimer keeper(&keep, Tick);  // holds the shared window
  auto* t = new TSimpleTimer(&a, Tick);
  t->Start(10);
  const HWND window = SimpleTimerHandlerWindow();
  PostMessage(window, WM_TIMER, reinterpret_cast<WPARAM>(t), 0);
  delete t;
  talvik::gui::ProcessPending();
  EXPECT_EQ(a.count, 0);
}

// ---------------------------------------------------------------- 3D labels

class Label3DTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    CreateApplication();
    form = std::make_unique<TForm>(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(0, 0, 300, 200);
    form->SetColor(clWhite);
  }
  void TearDown() override {
    form.reset();
    GuiTest::TearDown();
  }
  TZrLabel3D* Label(int x, int y, int w, int h) {
    auto* l = new TZrLabel3D(form.get());
    l->SetParent(form.get());
    l->SetAutoSize(false);
    l->SetBounds(x, y, w, h);
    l->SetCaption("");
    return l;
  }
  COLORREF At(int x, int y) {
    form->Show();
    return talvik::gui::WindowPixel(form->Handle(), x, y);
  }
  std::unique_ptr<TForm> form;
};

TEST_F(Label3DTest, GradientHasOneStripPerPixelWithExactEnds) {
  auto* l = Label(10, 10, 101, 20);
  l->SetFillGradient(true);
  l->SetFirstColor(static_cast<TColor>(RGB(0, 0, 0)));
  l->SetLastColor(static_cast<TColor>(RGB(200, 100, 50)));
  EXPECT_EQ(At(10, 15), RGB(0, 0, 0));
  EXPECT_EQ(At(110, 15), RGB(200, 100, 50));
  EXPECT_EQ(At(60, 15), RGB(100, 50, 25));  // strip 50 of n = 100
  EXPECT_EQ(At(11, 15), RGB(2, 1, 0));      // divisions truncate
  l->SetGradientOrientation(goVertical);
  EXPECT_EQ(At(60, 10), RGB(0, 0, 0));
  EXPECT_EQ(At(60, 29), RGB(200, 100, 50));
}

TEST_F(Label3DTest, OnePixelWideGradientPaintsNoBackground) {
  form->SetColor(clWhite);
  auto* l = Label(10, 10, 1, 20);
  l->SetTransparent(true);
  l->SetFillGradient(true);
  l->SetFirstColor(clRed);
  l->SetLastColor(clBlue);
  EXPECT_EQ(At(10, 15), RGB(255, 255, 255));
}

TEST_F(Label3DTest, BorderStylesDrawTheirRingsOutsideTheBackground) {
  struct Case {
    TZrLabel3DBorderStyle style;
    int width;
    std::vector<COLORREF> rings;  // top-left pixels from the outside in
  };
  const COLORREF hi = ColorToRGB(clBtnHighlight), sh = ColorToRGB(clBtnShadow), red = RGB(255, 0, 0);
  const Case cases[] = {
      {lbNormal, 1, {red}},         {lbLowered, 1, {sh}}, {lbRaised, 2, {hi, hi}},
      {lbInn, 2, {sh, sh, hi, hi}}, {lbOut, 1, {hi, sh}},
  };
  for (const Case& c : cases) {
    auto* l = Label(20, 20, 60, 40);
    l->SetBorderColor(clRed);
    l->SetColor(clLime);
    l->SetBorderStyle(c.style);
    l->SetBorderWidth(c.width);
    for (std::size_t i = 0; i < c.rings.size(); ++i) {
      const int p = 20 + static_cast<int>(i);
      EXPECT_EQ(At(p, p + 10), c.rings[i]) << "style " << c.style << " ring " << i;
    }
    const int inside = 20 + static_cast<int>(c.rings.size());
    EXPECT_EQ(At(inside, inside + 10), RGB(0, 255, 0)) << "style " << c.style;
    delete l;
  }
}

TEST_F(Label3DTest, BevelsPlaceTheirCopiesAndADisabledLabelDrawsNoHighlight) {
  // A full block glyph-free probe: draw "█" large so the copies show beside the text
  auto* l = Label(10, 10, 100, 60);
  l->Font()->SetSize(28);
  l->Font()->SetColor(clBlack);
  l->SetColor(clLime);
  l->SetCaption("█");
  l->SetAlignment(taCenter);
  l->SetHighLightColor(clRed);
  l->SetShadowColor(clBlue);
  l->SetShadowSize(3);
  // find the text's left edge at mid-height
  l->SetBevel(blNone);
  int edge = -1;
  for (int x = 10; x < 110 && edge < 0; ++x)
    if (At(x, 35) == RGB(0, 0, 0)) edge = x;
  ASSERT_GE(edge, 13);
  l->SetBevel(blRaised);  // light copy up-left, dark copy down-right
  EXPECT_EQ(At(edge - 2, 35), RGB(255, 0, 0));
  l->SetBevel(blLowered);  // the reverse
  EXPECT_EQ(At(edge - 2, 35), RGB(0, 0, 255));
  l->SetBevel(blShadow);  // only the down-right copy
  EXPECT_EQ(At(edge - 2, 35), RGB(0, 255, 0));
  l->SetBevel(blRaised);
  l->SetEnabled(false);
  EXPECT_EQ(At(edge - 2, 35), RGB(0, 255, 0));  // no highlight copy
  EXPECT_EQ(At(edge + 2, 35), ColorToRGB(clGrayText));
  l->SetShadowSize(0);  // the copies fall on the text itself
  l->SetEnabled(true);
  EXPECT_EQ(At(edge - 2, 35), RGB(0, 255, 0));
  EXPECT_EQ(At(edge + 2, 35), RGB(0, 0, 0));
}

TEST_F(Label3DTest, LayoutsPlaceTheMeasuredTextAndAnEmptyCaptionMeasuresOneLine) {
  auto* l = Label(0, 0, 100, 100);
  l->SetBevel(blNone);
  l->Font()->SetColor(clBlack);
  l->SetColor(clWhite);
  l->SetCaption("█");
  auto firstInk = [&] {
    for (int y = 0; y < 100; ++y)
      for (int x = 0; x < 40; ++x)
        if (At(x, y) == RGB(0, 0, 0)) return y;
    return -1;
  };
  const int top = firstInk();
  l->SetLayout(tlCenter);
  const int centre = firstInk();
  l->SetLayout(tlBottom);
  const int bottom = firstInk();
  EXPECT_GT(centre, top);
  EXPECT_GT(bottom, centre);
  EXPECT_NEAR(centre - top, (bottom - top) / 2.0, 1);

  TZr3DLook look;
  TZr3DText text;
  text.Font = l->Font();
  TRect r(0, 0, 100, 0);
  TBitmap bmp;
  bmp.SetSize(10, 10);
  DrawLabelText3D(bmp.Canvas(), look, text, r, DT_CALCRECT | DT_WORDBREAK);
  EXPECT_GT(r.Height(), 0);  // one blank line
}

TEST_F(Label3DTest, SheetOfBevelsAndBorders) {
  form->SetBounds(0, 0, 640, 260);
  form->SetColor(clBtnFace);
  const TZrLabel3DBevel bevels[] = {blNone, blLowered, blRaised, blShadow};
  const TZrLabel3DBorderStyle borders[] = {lbNone, lbNormal, lbLowered, lbRaised, lbInn, lbOut};
  const char* names[] = {"blNone", "blLowered", "blRaised", "blShadow"};
  for (int b = 0; b < 4; ++b) {
    for (int s = 0; s < 6; ++s) {
      auto* l = Label(10 + s * 104, 10 + b * 60, 98, 50);
      l->SetBevel(bevels[b]);
      l->SetShadowColor(clBlack);
      l->SetHighLightColor(clWhite);
      l->SetBorderStyle(borders[s]);
      l->SetBorderWidth(2);
      l->SetFillGradient(s % 2 == 1);
      l->SetLayout(tlCenter);
      l->SetAlignment(taCenter);
      l->Font()->SetSize(10);
      l->Font()->SetStyle({fsBold});
      l->SetCaption(std::string(names[b]) + " Сеансы");
    }
  }
  form->Show();
  EXPECT_TRUE(talvik::gui::RenderWindowToPng(form->Handle(), ScreenshotDir() + "/app-labels3d.png"));
}

// ---------------------------------------------------------------- About box

class AboutBoxTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    CreateApplication();
    Application->SetTitle("Talvik");
    SetCommandLine(std::vector<std::string>{"/opt/talvik/talvik"});
  }
  void TearDown() override {
    UnregisterVersionInfo(ParamStr(0));
    GuiTest::TearDown();
  }
  static void Register(std::vector<std::pair<std::string, std::string>> strings) {
    TVersionInfo info;
    info.CodePage = 1251;
    info.Strings = std::move(strings);
    RegisterVersionInfo(ParamStr(0), info);
  }
  static std::vector<TControl*> Labels(TForm* f) {
    std::vector<TControl*> out;
    for (int i = 0; i < f->ControlCount(); ++i)
      if (dynamic_cast<TLabel*>(f->Controls(i))) out.push_back(f->Controls(i));
    return out;
  }
};

TEST_F(AboutBoxTest, NoVersionInformationShowsNothing) {
  EXPECT_EQ(CreateAboutBox(), nullptr);
}

TEST_F(AboutBoxTest, LabelsStackUnderTheProductAndTheFormFollowsThem) {
  Register({{"ProductName", "Talvik"},
            {"FileVersion", "1.0.0.7"},
            {"CompanyName", ""},  // empty: left out
            {"License", "GPL, a very long licence line that makes this label the widest of all"}});
  auto form = CreateAboutBox();
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(form->Caption(), "О программе: Talvik");
  auto labels = Labels(form.get());
  ASSERT_EQ(labels.size(), 3u);
  auto* image = dynamic_cast<TImage*>(form->Controls(0));
  ASSERT_NE(image, nullptr);
  const int x = image->Left() + image->Width() + 10;
  EXPECT_EQ(labels[0]->Top(), 10);
  int widest = 0;
  for (std::size_t i = 0; i < labels.size(); ++i) {
    EXPECT_EQ(labels[i]->Left(), x);
    if (i > 0) {
      EXPECT_EQ(labels[i]->Top(), labels[i - 1]->Top() + labels[i - 1]->Height() + 5);
    }
    widest = std::max(widest, labels[i]->Left() + labels[i]->Width());
  }
  EXPECT_EQ(static_cast<TLabel*>(labels[0])->Caption(), "Talvik");
  EXPECT_EQ(static_cast<TLabel*>(labels[0])->Font()->Color(), clNavy);
  EXPECT_TRUE(static_cast<TLabel*>(labels[0])->Font()->Style().Contains(fsBold));
  EXPECT_EQ(static_cast<TLabel*>(labels[0])->Font()->Size(), 10);
  EXPECT_EQ(static_cast<TLabel*>(labels[1])->Caption(), "Версия: 1.0.0.7");
  EXPECT_EQ(static_cast<TLabel*>(labels[2])->Caption().rfind("Лицензия: GPL", 0), 0u);
  EXPECT_EQ(form->Height(), labels[2]->Top() + labels[2]->Height() + 85);
  EXPECT_EQ(form->Width(), widest + 20);
  TButton* ok = nullptr;
  for (int i = 0; i < form->ControlCount(); ++i)
    if (auto* b = dynamic_cast<TButton*>(form->Controls(i))) ok = b;
  ASSERT_NE(ok, nullptr);
  EXPECT_EQ(ok->Caption(), "Ok");
  EXPECT_EQ(ok->ModalResult(), mrOk);
  EXPECT_EQ(ok->Left(), form->Width() / 2 - ok->Width() / 2);
  EXPECT_EQ(ok->Top(), form->Height() - 60);
  form->Show();
  EXPECT_TRUE(talvik::gui::RenderWindowToPng(form->Handle(), ScreenshotDir() + "/app-about.png"));
}

TEST_F(AboutBoxTest, ProductNameAloneGivesIconProductLineBevelAndButton) {
  Register({{"ProductName", "Talvik"}});
  auto form = CreateAboutBox();
  ASSERT_NE(form, nullptr);
  auto labels = Labels(form.get());
  ASSERT_EQ(labels.size(), 1u);
  EXPECT_EQ(form->Height(), labels[0]->Top() + labels[0]->Height() + 85);
  int bevels = 0;
  for (int i = 0; i < form->ControlCount(); ++i)
    bevels += dynamic_cast<TBevel*>(form->Controls(i)) != nullptr;
  EXPECT_EQ(bevels, 1);
}

// ---------------------------------------------------------------- the data-aware twin

TEST_F(Label3DTest, DataTextDrawsTheFieldsDisplayTextWithTheSameLookAndFollowsTheRecord) {
  auto* ds = new TMemDataSet(form.get());
  ds->FieldDefs()->Add("STATUS", ftString, 20);
  ds->AddRow({TVariant("█")});
  ds->AddRow({TVariant()});
  auto* source = new TDataSource(form.get());
  source->SetDataSet(ds);
  ds->Open();
  auto* t = new TZrDBText3D(form.get());
  t->SetParent(form.get());
  t->SetBounds(10, 10, 100, 60);
  EXPECT_FALSE(t->AutoSize());
  EXPECT_EQ(t->Layout(), tlTop);
  EXPECT_EQ(t->Bevel(), blShadow);
  EXPECT_EQ(t->ShadowColor(), clBtnHighlight);
  t->SetDataSource(source);
  t->SetDataField("STATUS");
  t->Font()->SetSize(28);
  t->Font()->SetColor(clBlack);
  t->SetColor(clLime);
  t->SetAlignment(taCenter);
  t->SetShadowColor(clBlue);
  t->SetShadowSize(3);
  t->SetLayout(tlBottom);
  EXPECT_EQ(t->Width(), 100);  // no automatic sizing
  // the shadow copy lies down-right of the text's ink, the text over it
  int edge = -1;
  for (int x = 10; x < 110 && edge < 0; ++x)
    for (int y = 10; y < 70 && edge < 0; ++y)
      if (At(x, y) == RGB(0, 0, 0)) edge = x;
  ASSERT_GT(edge, 10);
  int blue = 0;
  for (int y = 10; y < 70; ++y)
    blue += At(edge + 1, y) == RGB(0, 0, 255) || At(edge + 2, y) == RGB(0, 0, 255);
  EXPECT_EQ(blue, 0);  // at the text's left edge only black and background: the copy lies right
  ds->Next();          // a null field shows nothing
  for (int x = 10; x < 110; x += 3)
    for (int y = 10; y < 70; y += 3) ASSERT_EQ(At(x, y), RGB(0, 255, 0)) << x << "," << y;
}
