// Davrel with real tools: the adb bridge and aapt in its data folder, the
// tool relay behind the bridge and a simulated TV, all started beforehand by
// devtools/e2e/helpers.sh into <build>\e2e (a ctest fixture, or the bench
// script). Shared by the end-to-end tests and the benchmark.
#pragma once
#include <map>
#include <string>
#include <vector>
#include "support/DavrelDriver.h"

// <build>\e2e, where the helpers keep their state; no trailing backslash.
std::string RealToolsDir();
// Empty when the relay and the TV are ready, else what is missing.
std::string RealToolsProblem();
// Points the bridges of this process and its children (Davrel, its tools)
// at the relay, and puts the real tools into the driver's data folder.
bool UseRealTools(CDavrelDriver& app);
// Runs a tool of the driver's data folder with the given arguments, as
// Davrel does, and returns what it printed.
std::string RunDataTool(const CDavrelDriver& app, const char* pszTool, const std::string& strArgs);
// The simulated TV's address, "127.0.0.1:<port>".
std::string TvAddress();
// The real package the helpers provide (ApiDemos, about 6 MB).
std::string SamplePackage();
// Replaces the TV's configuration (JSON); returns once the TV surely read it.
bool ConfigureTv(const std::string& strJson);

// One thing the TV recorded: its flat fields as text (strings as the TV
// wrote them, UTF-8), null as "".
typedef std::map<std::string, std::string> TvEvent;
// The TV's record, oldest first; of one type only when pszType is given.
std::vector<TvEvent> TvEvents(const char* pszType = NULL);

// Lower-case hex SHA-256 of a file's bytes; empty when it cannot be read.
std::string FileSha256(const std::string& strPath);
