// Several shell queries of one TV in a single "adb shell" run: one tool
// start and one round trip to the TV instead of one each. Each query's output
// is told apart from the next by a line the shell echoes between them.
#pragma once
#include <string>
#include <vector>
#include "tools/ToolRunner.h"

extern const char SHELL_PART_END[];  // the line echoed between two queries

// "a; echo <line>; b": the queries in turn, each run whatever the one before did.
std::string ShellScriptsInTurn(const std::vector<std::string>& vecScripts);

// The run of such a script as the runs of its nScripts queries, in order,
// each with its own output. A query followed by the line ran to its end; the
// last, and any the output stopped before, end as the run did (a TV that fell
// silent midway keeps what it answered). A run that printed no such line
// (adb's own error, a TV that could not start the shell) gives its whole
// output to every query, so that each names the same trouble.
std::vector<ToolRun> SplitShellRun(const ToolRun& run, size_t nScripts);
