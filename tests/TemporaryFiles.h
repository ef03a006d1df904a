// What a test program makes in the temporary directory: a test runs cases of its own program, as a
// process of their own, in a temporary directory of their own that is watched, and reads what was
// made there. A test process keeps its files in its own folder (tests/rtl/TempDir.h), so that folder
// should be the one name made, and nothing should stay once the process has ended.
#pragma once

#include <string>
#include <vector>

struct TemporaryFilesOfARun {
  int exitCode = -1;  // as childwait::RunShell tells it
  // every name made in the temporary directory, in order, but for the files the sanitizer runtime
  // makes in its own name in each process it starts in
  std::vector<std::string> made;
  std::vector<std::string> left;  // the names there once the program had ended
};

// Runs the cases of this test program that Filter names with TMPDIR naming a fresh, watched folder.
TemporaryFilesOfARun RunWithOwnTemporaryDirectory(const std::string& filter);

// Whether Name is the name of a test process's own folder.
bool IsProcessFolderName(const std::string& name);

// Runs the cases Filter names as RunWithOwnTemporaryDirectory does; the test fails unless they pass,
// their process's own folder is the one name they made, and nothing stays once they have ended.
void ExpectOnlyTheProcessFolderMade(const std::string& filter);
