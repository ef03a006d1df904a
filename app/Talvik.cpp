#include "app/Talvik.h"

#include <cstdio>

#include "app/MainF.h"
#include "app/SessionF.h"
#include "grid/DatasetFeatures.h"
#include "grid/GridLibRVL.h"
#include "oracle/OracleVisual.h"
#include "platform/gui/Forms.h"
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

void FreeApplication() {
  delete Application;
  Application = nullptr;
  delete Screen;
  Screen = nullptr;
}

}  // namespace

int RunTalvik(int argc, const char* const* argv) {
  SetCommandLine(argc, argv);
  talvik::gui::UseQtBackend();
  RegisterSpeechControl();
  RegisterVersionInfo(ParamStr(0), ProgramVersion());
  CreateApplication();
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
    if (e.ExitCode() != 0) std::fprintf(stderr, "talvik: %s\n", e.Message().c_str());
    return e.ExitCode();
  }
  // the session window shows at once and lists the sessions
  TSessionForm* sessionForm = nullptr;
  Application->CreateForm(sessionForm);
  Application->Run();
  return 0;
}
