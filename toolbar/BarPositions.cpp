// Toolbar position persistence.
#include "toolbar/BarPositions.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "platform/rtl/Lifetime.h"
#include "platform/rtl/ScopeExit.h"
#include "platform/rtl/SysUtils.h"

namespace {

const char* const kRev = "Rev";
const char* const kVisible = "Visible";
const char* const kDockedTo = "DockedTo";
const char* const kLastDock = "LastDock";
const char* const kDockRow = "DockRow";
const char* const kDockPos = "DockPos";
const char* const kFloatLeft = "FloatLeft";
const char* const kFloatTop = "FloatTop";
const char* const kFloatingMark = "+";

const char* const kNoName = "Cannot save dockable window's position because Name property is not set";
const char* const kNoDockName =
    "Cannot save dockable window's position because DockedTo's Name property not set";

// Stored places are read from outside: coordinates beyond any screen would overflow the window
// geometry, so they are held to what a window position can be.
const int kStoredPlaceLimit = 32767;

int StoredPlace(int Value) {
  return std::clamp(Value, -kStoredPlaceLimit, kStoredPlaceLimit);
}

std::vector<TBarCustomDockableWindow*> DockableWindowsOf(TComponent* Form) {
  std::vector<TBarCustomDockableWindow*> windows;
  for (int I = 0; I < Form->ComponentCount(); ++I)
    if (auto* W = dynamic_cast<TBarCustomDockableWindow*>(Form->Components(I))) windows.push_back(W);
  return windows;
}

}  // namespace

TBarDock* FindDockByName(TComponent* Form, const std::string& Name) {
  for (int I = 0; I < Form->ComponentCount(); ++I)
    if (auto* D = dynamic_cast<TBarDock*>(Form->Components(I)); D && SameText(D->Name(), Name)) return D;
  return nullptr;
}

void SaveToolbarPositions(TComponent* Form, const TBarPositionWriteIntProc& WriteIntProc,
                          const TBarPositionWriteStringProc& WriteStringProc) {
  for (TBarCustomDockableWindow* W : DockableWindowsOf(Form)) {
    const std::string& section = W->Name();
    if (section.empty()) throw EInvalidOperation(kNoName);
    std::string dockedTo;
    if (W->Floating()) {
      dockedTo = kFloatingMark;
    } else if (W->Docked()) {
      if (W->CurrentDock()->AllowDrag()) {
        dockedTo = W->CurrentDock()->Name();
        if (dockedTo.empty()) throw EInvalidOperation(kNoDockName);
      }
    } else {
      continue;
    }
    WriteIntProc(section, kRev, BarPositionsRevision);
    WriteIntProc(section, kVisible, W->Visible() ? 1 : 0);
    WriteStringProc(section, kDockedTo, dockedTo);
    WriteStringProc(section, kLastDock, W->LastDock() ? W->LastDock()->Name() : "");
    WriteIntProc(section, kDockRow, W->DockRow());
    WriteIntProc(section, kDockPos, W->DockPos());
    WriteIntProc(section, kFloatLeft, W->FloatingPosition().X);
    WriteIntProc(section, kFloatTop, W->FloatingPosition().Y);
    W->WritePositionData(TBarWritePositionData{WriteIntProc, WriteStringProc});
  }
}

void LoadToolbarPositions(TComponent* Form, const TBarPositionReadIntProc& ReadIntProc,
                          const TBarPositionReadStringProc& ReadStringProc) {
  // Every dock arranges once at the end, even when a read fails on the way.
  std::vector<TComponentRef<TBarDock>> docks;
  for (int I = 0; I < Form->ComponentCount(); ++I)
    if (auto* D = dynamic_cast<TBarDock*>(Form->Components(I))) {
      D->DisableArrange();
      docks.emplace_back(D);
    }
  TScopeExit enable([&] {
    for (auto It = docks.rbegin(); It != docks.rend(); ++It)
      if (TBarDock* D = It->Get()) D->EnableArrange();
  });

  for (TBarCustomDockableWindow* W : DockableWindowsOf(Form)) {
    const std::string& section = W->Name();
    if (section.empty()) throw EInvalidOperation(kNoName);
    if (ReadIntProc(section, kRev, 0) != BarPositionsRevision) continue;
    W->SetVisible(ReadIntProc(section, kVisible, W->Visible() ? 1 : 0) != 0);
    const std::string dockedTo = ReadStringProc(section, kDockedTo, "");
    if (dockedTo.empty()) continue;
    TBarDock* dock = nullptr;
    const bool floating = dockedTo == kFloatingMark;
    if (!floating) {
      dock = FindDockByName(Form, dockedTo);
      if (!dock || !dock->AllowDrag()) continue;
    }
    W->DisableArrange();
    TScopeExit arrange([W] { W->EnableArrange(); });
    W->SetDockRow(StoredPlace(ReadIntProc(section, kDockRow, W->DockRow())));
    W->SetDockPos(StoredPlace(ReadIntProc(section, kDockPos, W->DockPos())));
    const TPoint floatingPosition(StoredPlace(ReadIntProc(section, kFloatLeft, 0)),
                                  StoredPlace(ReadIntProc(section, kFloatTop, 0)));
    W->ReadPositionData(TBarReadPositionData{ReadIntProc, ReadStringProc});
    if (floating) {
      W->SetFloatingPosition(floatingPosition);
      W->SetFloating(true);
      W->MoveOnScreen(true);
      if (W->UseLastDock())
        if (TBarDock* last = FindDockByName(Form, ReadStringProc(section, kLastDock, "")))
          W->SetLastDock(last);
    } else {
      W->SetFloatingPosition(floatingPosition);
      W->SetParent(dock);
    }
    W->DoneReadingPositionData();
  }
}

namespace {

// The store on the base key; nothing is written until a position is (the key is made then).
std::unique_ptr<TRegIniFile> OpenPositionsKey(HKEY RootKey, const std::string& BaseKey) {
  auto ini = std::make_unique<TRegIniFile>(BaseKey);
  if (ini->RootKey() != RootKey) ini->SetRootKey(RootKey);  // the key is opened anew under this root
  return ini;
}

}  // namespace

void RegLoadToolbarPositions(TComponent* Form, HKEY RootKey, const std::string& BaseKey) {
  const std::unique_ptr<TRegIniFile> ini = OpenPositionsKey(RootKey, BaseKey);
  TRegIniFile* const I = ini.get();
  LoadToolbarPositions(
      Form,
      [I](const std::string& Section, const std::string& Name, int Default) {
        return I->ReadInteger(Section, Name, Default);
      },
      [I](const std::string& Section, const std::string& Name, const std::string& Default) {
        return I->ReadString(Section, Name, Default);
      });
}

void RegSaveToolbarPositions(TComponent* Form, HKEY RootKey, const std::string& BaseKey) {
  // every window's place reaches the file in one save; what was written before a fault still does
  TRegistryUpdate update(RootKey);
  const std::unique_ptr<TRegIniFile> ini = OpenPositionsKey(RootKey, BaseKey);
  TRegIniFile* const I = ini.get();
  SaveToolbarPositions(
      Form,
      [I](const std::string& Section, const std::string& Name, int Value) {
        I->WriteInteger(Section, Name, Value);
      },
      [I](const std::string& Section, const std::string& Name, const std::string& Value) {
        I->WriteString(Section, Name, Value);
      });
  update.End();
}
