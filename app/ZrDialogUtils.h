// The About box, built at run time from the version information the program carries.
#pragma once

#include <memory>

class TForm;

// The About dialog with one label per version value present, not yet shown; nullptr when the
// program has no version information.
std::unique_ptr<TForm> CreateAboutBox();
// Shows the About dialog modally and frees it; shows nothing without version information.
void ShowAboutBox();
