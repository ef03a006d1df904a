// The program's start-up routine.
#pragma once

// Runs Talvik: the application object titled "Talvik", the main window (which logs on first), the
// message loop; frees everything and answers the process's exit code: 0 when it ended normally or
// the logon was cancelled, 1 when something failed before the main window showed (see EProgramEnd;
// the error box and standard error tell what). When the
// display goes away under it (the X server ends, the connection to it breaks) the program ends
// there and then, with talvik::gui::kExitDisplayLost (3); so does a start without a display (DISPLAY
// unset, empty, or naming no X server), after one line on standard error that names the display.
int RunTalvik(int argc, const char* const* argv);
