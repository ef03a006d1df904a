#include "app/Talvik.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "app/MainF.h"
#include "app/SessionF.h"
#include "grid/DatasetFeatures.h"
#include "grid/GridLibRVL.h"
#include "oracle/OracleVisual.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Graphics.h"
#include "platform/gui/WinManager.h"
#include "platform/gui/WinVer.h"
#include "platform/rtl/Process.h"
#include "platform/rtl/ScopeExit.h"
#include "platform/speech/Speech.h"

#ifndef TALVIK_VERSION
#define TALVIK_VERSION "1.0.0.0"
#endif

namespace {

// The version block the About box reads: Russian, code page 1251, the product and its version.
TVersionInfo ProgramVersion() {
  TVersionInfo info;
  info.Language = 0x0419;
  info.CodePage = 1251;
  info.Strings = {{"ProductName", "Talvik"}, {"FileVersion", TALVIK_VERSION}};
  return info;
}

constexpr int kIconSize = 32;
constexpr COLORREF kIconClear = RGB(255, 0, 255);

// The program's icon (the About box and the tray show it): a database drum of three discs with a
// green pulse line across its front, drawn here pixel by pixel.
RESOURCE_ART ProgramIconArt() {
  RESOURCE_ART art;
  art.palette = {{'k', RGB(0, 0, 0)},
                 {'b', RGB(0, 64, 160)},
                 {'c', RGB(96, 160, 232)},
                 {'d', RGB(0, 32, 96)},
                 {'g', RGB(0, 220, 0)}};
  art.hotSpot = {0, 0};
  constexpr double kCx = 15.5, kRx = 11.5, kRy = 4.0, kTop = 6.0, kBottom = 25.0;
  auto onEllipse = [&](int x, int y, double cy, double width) {
    const double dx = (x - kCx) / kRx, dy = (y - cy) / kRy, d = dx * dx + dy * dy;
    return d <= 1.0 && d >= 1.0 - width;
  };
  auto inEllipse = [&](int x, int y, double cy) {
    const double dx = (x - kCx) / kRx, dy = (y - cy) / kRy;
    return dx * dx + dy * dy <= 1.0;
  };
  const int pulse[kIconSize] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, -1, -3, -5, -2,
                                2, 4, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  0,  0,  0};
  for (int y = 0; y < kIconSize; ++y) {
    std::string row(kIconSize, '.');
    for (int x = 0; x < kIconSize; ++x) {
      const bool side = x >= kCx - kRx && x <= kCx + kRx && y >= kTop && y <= kBottom;
      char c = '.';
      if (side || inEllipse(x, y, kBottom)) c = 'b';
      if (std::abs(x - kCx) >= kRx - 0.5 && side) c = 'k';
      if (onEllipse(x, y, kBottom, 0.35) && y >= kBottom) c = 'k';
      for (double band : {12.5, 19.0})
        if (onEllipse(x, y, band, 0.35) && y >= band) c = 'd';
      if (inEllipse(x, y, kTop)) c = onEllipse(x, y, kTop, 0.35) ? 'k' : 'c';
      if (x >= 6 && x <= 25 && y == 16 + pulse[x]) c = 'g';
      row[static_cast<std::size_t>(x)] = c;
    }
    art.rows.push_back(row);
  }
  return art;
}

// The application's icon, as a program file carries it.
void LoadProgramIcon() {
  static int anchor = 0;
  const auto module = reinterpret_cast<HINSTANCE>(&anchor);
  RegisterResourceArt(module, "MAINICON", RT_ICON, ProgramIconArt());
  TIcon icon;
  icon.Bitmap()->SetHandle(LoadIconBitmap(module, "MAINICON", kIconClear));
  icon.SetTransparentColor(static_cast<TColor>(kIconClear));
  Application->SetIcon(&icon);
}

void FreeApplication() {
  delete Application;
  Application = nullptr;
  delete Screen;
  Screen = nullptr;
}

}  // namespace

int RunTalvik(int argc, const char* const* argv) {
  SetCommandLine(argc, argv);
  try {
    talvik::gui::UseQtBackend();
  } catch (const talvik::gui::EDisplayUnavailable& e) {
    std::fprintf(stderr, "talvik: %s\n", e.Message().c_str());
    return talvik::gui::kExitDisplayLost;
  }
  RegisterSpeechControl();
  RegisterVersionInfo(ParamStr(0), ProgramVersion());
  CreateApplication();
  LoadProgramIcon();
  SetOracleUserInterface(&ClassLibraryOracleUserInterface());
  RegisterOracleDatasetFeatures();  // the grids sort and filter the Oracle datasets on the server
  const TScopeExit cleanup([] {
    ClearDatasetFeatures();
    RegIni.reset();
    SetOracleUserInterface(nullptr);
    FreeApplication();
    UnregisterVersionInfo(ParamStr(0));
  });
  Application->Initialize();
  Application->SetTitle("Talvik");
  try {
    Application->CreateForm(MainForm);
  } catch (const EProgramEnd& e) {
    if (e.ExitCode() != 0) {
      std::fprintf(stderr, "talvik: %s\n", e.Message().c_str());
      // started from a desktop menu the user sees no standard error: the error box says it too
      Application->ShowException(e);
    }
    return e.ExitCode();
  }
  // the session window shows at once and lists the sessions
  TSessionForm* sessionForm = nullptr;
  Application->CreateForm(sessionForm);
  Application->Run();
  return 0;
}
