// The program's start-up routine.
#pragma once

// Runs Talvik: the application object titled "Talvik", the main window (which logs on first), the
// message loop; frees everything and answers the process's exit code.
int RunTalvik(int argc, const char* const* argv);
