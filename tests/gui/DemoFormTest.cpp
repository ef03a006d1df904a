// A demonstration form with panels, a hand-painted control, scroll bars and a popup window, rendered
// to PNG files under the build tree (screenshots/), with pixel probes on what must be there.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "GuiTestSupport.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/WinManager.h"

using namespace guitest;

namespace {

// A hand-painted table of cells, in the classic look.
class TCellView : public TCustomControl {
 public:
  explicit TCellView(TComponent* owner) : TCustomControl(owner) {
    color_ = clWindow;
    parentColor_ = false;
  }

 protected:
  void CreateParams(TCreateParams& Params) override {
    TCustomControl::CreateParams(Params);
    Params.Style |= WS_VSCROLL | WS_HSCROLL;
    Params.ExStyle |= WS_EX_CLIENTEDGE;
  }
  void CreateWnd() override {
    TCustomControl::CreateWnd();
    SCROLLINFO si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMax = 99;
    si.nPage = 12;
    si.nPos = 20;
    SetScrollInfo(Handle(), SB_VERT, si, true);
    si.nMax = 9;
    si.nPage = 4;
    si.nPos = 0;
    SetScrollInfo(Handle(), SB_HORZ, si, true);
  }
  void Paint() override {
    static const char* headers[] = {"SID", "Пользователь", "Программа", "Активен"};
    static const int widths[] = {50, 130, 150, 70};
    static const char* rows[][3] = {{"12", "SCOTT", "sqlplus.exe"},   {"17", "SYSTEM", "Talvik"},
                                    {"23", "Иванов", "Учёт заказов"}, {"31", "HR", "JDBC Thin Client"},
                                    {"45", "Петров", "TOAD.exe"},     {"52", "APP_USER", "w3wp.exe"}};
    TCanvas* c = Canvas();
    int rowH = 18;
    c->Brush()->SetColor(clWindow);
    c->FillRect(ClientRect());
    int x = 0;
    for (int col = 0; col < 4; ++col) {
      TRect r = Bounds(x, 0, widths[col], rowH);
      c->Brush()->SetColor(clBtnFace);
      c->FillRect(r);
      RECT e = r;
      DrawEdge(c->Handle(), e, BDR_RAISEDINNER, BF_RECT);
      c->Brush()->SetStyle(bsClear);
      c->Font()->SetColor(clBtnText);
      c->TextOut(x + 4, 2, headers[col]);
      c->Brush()->SetStyle(bsSolid);
      x += widths[col];
    }
    for (int row = 0; row < 6; ++row) {
      int y = rowH * (row + 1);
      bool selected = row == 2;
      x = 0;
      for (int col = 0; col < 4; ++col) {
        TRect r = Bounds(x, y, widths[col], rowH);
        c->Brush()->SetColor(selected ? clHighlight : clWindow);
        c->Font()->SetColor(selected ? clHighlightText : clWindowText);
        if (col < 3) {
          c->TextRect(r, r.Left + 4, r.Top + 2, rows[row][col]);
        } else {
          c->FillRect(r);
          RECT box = Bounds(r.Left + 28, r.Top + 2, 13, 13);
          DrawFrameControl(c->Handle(), box, DFC_BUTTON, DFCS_BUTTONCHECK | (row % 2 ? DFCS_CHECKED : 0));
        }
        c->Pen()->SetColor(clBtnFace);
        c->MoveTo(r.Right - 1, r.Top);
        c->LineTo(r.Right - 1, r.Bottom);
        c->MoveTo(r.Left, r.Bottom - 1);
        c->LineTo(r.Right, r.Bottom - 1);
        x += widths[col];
      }
      if (selected) c->DrawFocusRect(Rect(0, y, x - 1, y + rowH - 1));
    }
  }
};

// A frameless popup with a drop-down list look.
class TDropDown : public TCustomControl {
 public:
  explicit TDropDown(TComponent* owner) : TCustomControl(owner) {
    color_ = clWindow;
    parentColor_ = false;
    visible_ = false;
  }

 protected:
  void CreateParams(TCreateParams& Params) override {
    TCustomControl::CreateParams(Params);
    Params.Style = WS_POPUP | WS_BORDER | WS_CLIPCHILDREN;
    Params.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
    Params.WndParent = nullptr;
  }
  void Paint() override {
    static const char* items[] = {"Все сеансы", "Активные", "Заблокированные", "Фоновые процессы"};
    TCanvas* c = Canvas();
    for (int i = 0; i < 4; ++i) {
      TRect r = Bounds(0, i * 17, ClientWidth(), 17);
      c->Brush()->SetColor(i == 1 ? clHighlight : clWindow);
      c->Font()->SetColor(i == 1 ? clHighlightText : clWindowText);
      c->TextRect(r, 3, r.Top + 2, items[i]);
    }
  }
};

std::string ScreenshotDir() {
  const char* bin = std::getenv("TALVIK_BINARY_DIR");
  std::string dir = std::string(bin ? bin : ".") + "/screenshots";
  std::filesystem::create_directories(dir);
  return dir;
}

}  // namespace

class DemoForm : public GuiTest {};

TEST_F(DemoForm, RendersPanelsPaintedCellsScrollBarsAndAPopup) {
  // under a real display (Xvfb) the toolkit windows are used too
  bool display = std::getenv("TALVIK_DEMO_DISPLAY") != nullptr;
  if (display) talvik::gui::UseQtBackend();
  CreateApplication();
  TForm form(nullptr);
  form.SetCaption("Talvik — сеансы");
  form.SetBorderStyle(bsNone);
  form.SetBounds(40, 40, 640, 400);
  form.Font()->SetName("MS Sans Serif");
  auto* top = new TPanel(&form);
  top->SetParent(&form);
  top->SetAlign(alTop);
  top->SetHeight(32);
  top->SetCaption("Экземпляр ORCL: 6 сеансов");
  auto* status = new TPanel(&form);
  status->SetParent(&form);
  status->SetAlign(alBottom);
  status->SetHeight(22);
  status->SetBevelOuter(bvLowered);
  status->SetAlignment(taLeftJustify);
  status->SetCaption("  Обновлено 12:00:05");
  auto* left = new TPanel(&form);
  left->SetParent(&form);
  left->SetAlign(alLeft);
  left->SetWidth(120);
  left->SetBevelInner(bvLowered);
  left->SetBorderWidth(2);
  left->SetCaption("Фильтр");
  auto* cells = new TCellView(&form);
  cells->SetParent(&form);
  cells->SetAlign(alClient);
  form.Show();
  auto* drop = new TDropDown(&form);
  drop->SetBounds(260, 150, 160, 4 * 17 + 2);
  drop->Show();

  std::string dir = ScreenshotDir();
  ASSERT_TRUE(talvik::gui::RenderWindowToPng(form.Handle(), dir + "/demo-form.png"));
  ASSERT_TRUE(talvik::gui::RenderScreenToPng(dir + "/demo-screen.png", Rect(0, 0, 720, 480)));
  if (display) {
    for (int i = 0; i < 20; ++i) Application->ProcessMessages();
    talvik::gui::GrabDisplayToPng(dir + "/demo-display.png");
  }

  HWND h = form.Handle();
  auto px = [&](int x, int y) { return talvik::gui::WindowPixel(h, x, y); };
  // the top panel: raised bevel, face colour
  EXPECT_EQ(px(0, 0), RGB(255, 255, 255));
  EXPECT_EQ(px(639, 31), RGB(128, 128, 128));
  EXPECT_EQ(px(5, 15), RGB(212, 208, 200));
  // the status panel: lowered bevel
  EXPECT_EQ(px(0, 378), RGB(128, 128, 128));
  // the cell view: client edge, header face, white cells, the selected row in the highlight colour
  RECT cellsRect;
  GetWindowRect(cells->Handle(), cellsRect);
  POINT o{cellsRect.Left - 40, cellsRect.Top - 40};
  EXPECT_EQ(px(o.X, o.Y + 20), RGB(128, 128, 128));
  EXPECT_EQ(px(o.X + 2 + 45, o.Y + 2 + 10), RGB(212, 208, 200));
  EXPECT_EQ(px(o.X + 2 + 5, o.Y + 2 + 18 * 3 + 5), RGB(10, 36, 106));
  // both scroll bars, with the classic arrow buttons at their ends
  int right = cellsRect.Right - 40;
  EXPECT_EQ(px(right - 3 - 8, o.Y + 2 + 8) == RGB(0, 0, 0) ||
                px(right - 3 - 8, o.Y + 2 + 9) == RGB(0, 0, 0) ||
                px(right - 3 - 9, o.Y + 2 + 8) == RGB(0, 0, 0),
            true);
  // the popup is its own top-level window, on top of the form
  EXPECT_EQ(WindowFromPoint(Point(300, 170)), drop->Handle());
  EXPECT_EQ(talvik::gui::WindowPixel(drop->Handle(), 0, 0), RGB(0, 0, 0));  // WS_BORDER
  EXPECT_EQ(talvik::gui::WindowPixel(drop->Handle(), 5, 17 + 5), RGB(10, 36, 106));
  delete drop;
}

// Input through the toolkit's own events: the translation of the Qt backend, offscreen too.
TEST_F(DemoForm, ToolkitInputReachesControls) {
  talvik::gui::UseQtBackend();
  CreateApplication();
  TForm form(nullptr);
  form.SetBorderStyle(bsNone);
  form.SetBounds(100, 100, 300, 200);
  auto* panel = new TPanel(&form);
  panel->SetParent(&form);
  panel->SetBounds(50, 40, 100, 60);
  std::vector<std::string> got;
  panel->OnMouseDown = [&](TObject*, TMouseButton b, TShiftState, int x, int y) {
    got.push_back("down " + std::to_string(b) + " " + std::to_string(x) + "," + std::to_string(y));
  };
  form.OnKeyDown = [&](TObject*, WORD& k, TShiftState) { got.push_back("vk " + std::to_string(k)); };
  form.OnKeyPress = [&](TObject*, char32_t& k) {
    got.push_back("char " + std::to_string(static_cast<unsigned>(k)));
  };
  form.Show();
  Application->ProcessMessages();
  ASSERT_TRUE(talvik::gui::ToolkitMouseClick(form.Handle(), Point(70, 60), 1));
  ASSERT_TRUE(talvik::gui::ToolkitMouseClick(form.Handle(), Point(60, 45), 2));
  ASSERT_TRUE(talvik::gui::ToolkitKey(form.Handle(), 0x421, 0, "с", true));  // Russian "с" on the C key
  ASSERT_TRUE(talvik::gui::ToolkitKey(form.Handle(), 0x421, 0, "с", false));
  Application->ProcessMessages();
  EXPECT_EQ(got, (std::vector<std::string>{"down 0 20,20", "down 1 10,5", "vk 67", "char 1089"}));
  talvik::gui::SetBackend(nullptr);
}
