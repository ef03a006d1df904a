// Saving and restoring where a form's dockable windows are: one section of named values per window,
// exchanged through read and write callbacks, and front ends over a registry key.
#pragma once

#include <string>

#include "platform/rtl/Registry.h"
#include "toolbar/BarDock.h"

// The revision of the stored format; a section of another revision is ignored.
constexpr int BarPositionsRevision = 2000;

// The first dock among the form's components whose Name matches ignoring case; nullptr when none.
TBarDock* FindDockByName(TComponent* Form, const std::string& Name);

void LoadToolbarPositions(TComponent* Form, const TBarPositionReadIntProc& ReadIntProc,
                          const TBarPositionReadStringProc& ReadStringProc);
void SaveToolbarPositions(TComponent* Form, const TBarPositionWriteIntProc& WriteIntProc,
                          const TBarPositionWriteStringProc& WriteStringProc);

// The same over a TRegIniFile on RootKey\BaseKey (created when missing): one sub-key per window.
void RegLoadToolbarPositions(TComponent* Form, HKEY RootKey, const std::string& BaseKey);
void RegSaveToolbarPositions(TComponent* Form, HKEY RootKey, const std::string& BaseKey);
