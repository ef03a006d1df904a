// What the toolkit's window shows after the program painted parts of it: the areas the program
// updated reach the toolkit's window pixel for pixel, however many rectangles an update has.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "GuiTestSupport.h"
#include "platform/gui/Forms.h"
#include "platform/gui/StdCtrls.h"
#include "platform/gui/WinManager.h"
#include "rtl/UserLocale.h"

using namespace guitest;

namespace {

// A control of coloured cells with a vertical scroll bar in a sunken frame; each cell's colour can
// be changed and only that cell invalidated.
class TCellsControl : public TCustomControl {
 public:
  static constexpr int kColumns = 6, kRows = 10, kCell = 24;
  explicit TCellsControl(TComponent* owner) : TCustomControl(owner), tone_(kColumns * kRows, 0) {}
  void SetTone(int column, int row, int tone) {
    tone_[row * kColumns + column] = tone;
    RECT r = Bounds(column * kCell, row * kCell, kCell, kCell);
    InvalidateRect(Handle(), &r, false);
  }
  void ScrollTo(int position) {
    SCROLLINFO si;
    si.fMask = SIF_POS;
    si.nPos = position;
    SetScrollInfo(Handle(), SB_VERT, si, true);
  }

 protected:
  void CreateParams(TCreateParams& Params) override {
    TCustomControl::CreateParams(Params);
    Params.Style |= WS_VSCROLL;
    Params.ExStyle |= WS_EX_CLIENTEDGE;
  }
  void CreateWnd() override {
    TCustomControl::CreateWnd();
    SCROLLINFO si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMax = 199;
    si.nPage = 10;
    si.nPos = 0;
    SetScrollInfo(Handle(), SB_VERT, si, true);
  }
  void Paint() override {
    TCanvas* c = Canvas();
    for (int row = 0; row < kRows; ++row)
      for (int column = 0; column < kColumns; ++column) {
        const int tone = tone_[row * kColumns + column];
        c->Brush()->SetColor(static_cast<TColor>(RGB(40 * column, 20 * row, (tone * 70) % 256)));
        c->FillRect(Bounds(column * kCell, row * kCell, kCell, kCell));
        c->Brush()->SetStyle(bsClear);
        c->TextOut(column * kCell + 3, row * kCell + 4, std::to_string(tone));
        c->Brush()->SetStyle(bsSolid);
      }
  }

 private:
  std::vector<int> tone_;
};

class ToolkitWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    talvik::gui::UseQtBackend();
    CreateApplication();
    form = new TForm(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(0, 0, 220, 300);
    cells = new TCellsControl(form);
    cells->SetParent(form);
    cells->SetBounds(10, 20, TCellsControl::kColumns * TCellsControl::kCell + 24,
                     TCellsControl::kRows * TCellsControl::kCell + 4);
    form->Show();
    Application->ProcessMessages();
  }
  void TearDown() override {
    delete form;
    Application->ProcessMessages();
    talvik::gui::SetBackend(nullptr);
  }
  // The toolkit's window against the program's own picture of it, every pixel.
  void ExpectToolkitShowsTheWindow(const std::string& step) {
    Application->ProcessMessages();
    std::vector<COLORREF> shown;
    int width = 0, height = 0;
    ASSERT_TRUE(talvik::gui::ToolkitWindowPixels(form->Handle(), shown, width, height)) << step;
    ASSERT_EQ(width, form->Width()) << step;
    ASSERT_EQ(height, form->Height()) << step;
    int differing = 0, firstX = -1, firstY = -1;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        if (shown[static_cast<std::size_t>(y) * width + x] !=
            talvik::gui::WindowPixel(form->Handle(), x, y)) {
          if (differing++ == 0) firstX = x, firstY = y;
        }
    EXPECT_EQ(differing, 0) << step << ": first at " << firstX << "," << firstY;
  }

  TForm* form = nullptr;
  TCellsControl* cells = nullptr;
};

}  // namespace

TEST_F(ToolkitWindow, UpdatesOfSeveralRectanglesReachItPixelForPixel) {
  ExpectToolkitShowsTheWindow("shown");
  // two cells far apart: an update area of two rectangles
  cells->SetTone(0, 0, 1);
  cells->SetTone(5, 9, 2);
  ExpectToolkitShowsTheWindow("two cells");
  // a column of cells and the scroll bar's thumb (the frame beside them, the whole height)
  for (int row = 0; row < TCellsControl::kRows; row += 2) cells->SetTone(2, row, 3);
  cells->ScrollTo(120);
  ExpectToolkitShowsTheWindow("a column and the thumb");
  // and nothing of it differs from the window painted whole
  RedrawWindow(form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
  ExpectToolkitShowsTheWindow("painted whole");
}

// Without a desktop no other program takes the activation: a drop-down list of the toolkit's, shown and
// gone, leaves the form active however long the program then waits, and keys still reach its control.
TEST_F(ToolkitWindow, AToolkitListThatCameAndWentLeavesTheFormActiveWithoutADesktop) {
  auto* combo = new TComboBox(form);
  combo->SetParent(form);
  combo->SetBounds(10, 2, 150, 16);
  combo->SetStyle(csDropDownList);
  for (const char* item : {"Все", "Активные", "Фоновые"}) combo->Items()->Add(item);
  combo->SetItemIndex(0);
  combo->SetFocus();
  Application->ProcessMessages();
  ASSERT_EQ(GetActiveWindow(), form->Handle());
  const auto key = [](WORD vk, char32_t ch) {
    talvik::gui::InjectKey(vk, true, ch, {});
    talvik::gui::InjectKey(vk, false, ch, {});
    Application->ProcessMessages();
  };
  key(VK_F4, 0);
  ASSERT_TRUE(combo->DroppedDown());
  key(VK_ESCAPE, 27);
  ASSERT_FALSE(combo->DroppedDown());
  // well beyond any wait of the toolkit for a window of ours to be activated again
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  while (std::chrono::steady_clock::now() < end) {
    Application->ProcessMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(GetActiveWindow(), form->Handle());
  key(VK_DOWN, 0);
  EXPECT_EQ(combo->ItemIndex(), 1) << "a key pressed after the list went did not reach the combo box";
}

// Run by the test below in a process of its own: how the C library writes and reads a number once
// the toolkit runs.
TEST(ToolkitLocale, DISABLED_TellsHowTheCLibraryWritesAndReadsANumber) {
  talvik::gui::UseQtBackend();
  char written[32];
  std::snprintf(written, sizeof written, "%.1f", 1.5);
  std::printf("written: %s read: %.2f\n", written, std::strtod("2.25", nullptr));
}

// The toolkit takes the user's locale for the C library as it starts; numbers the C library writes
// and reads for the simulated instance keep their point under a locale with a decimal comma.
TEST(ToolkitLocale, TheCLibraryKeepsThePointInNumbersUnderALocaleWithADecimalComma) {
  for (const char* environment : {"LC_ALL=ru_RU.UTF-8", "LANG=de_DE.UTF-8", "LC_NUMERIC=ru_RU.UTF-8"}) {
    const std::string output = localetest::RunTestInOwnProcess(
        environment, "ToolkitLocale.DISABLED_TellsHowTheCLibraryWritesAndReadsANumber");
    EXPECT_NE(output.find("written: 1.5 read: 2.25\n"), std::string::npos) << environment << "\n" << output;
  }
}
