// A deterministic corpus of real-looking SQL and PL/SQL for the editor benchmarks.
#pragma once

#include <string>
#include <vector>

// `lines` lines of SQL*Plus scripts, queries and PL/SQL blocks with comments and strings.
std::vector<std::string> MakeSqlCorpus(int lines);
// The corpus joined with LF.
std::string JoinLines(const std::vector<std::string>& lines);
