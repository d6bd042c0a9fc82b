// Davrel with real tools: the adb bridge and aapt in its data folder, the
// tool relay behind the bridge and a simulated TV, all started beforehand by
// devtools/e2e/helpers.sh into <build>\e2e (a ctest fixture, or the bench
// script). Shared by the end-to-end tests and the benchmark.
#pragma once
#include <map>
#include <string>
#include <vector>
#include "support/DavrelDriver.h"

std::string RealToolsDir();      // <build>\e2e, where the helpers keep their state
std::string RealToolsProblem();  // empty when the relay and the TV are ready, else what is missing
// Points the bridges of this process and its children (Davrel, its tools)
// at the relay, and puts the real tools into the driver's data folder.
bool UseRealTools(CDavrelDriver& app);
// Runs a tool of the driver's data folder as Davrel does; returns what it printed.
std::string RunDataTool(const CDavrelDriver& app, const char* pszTool, const std::string& strArgs);
std::string TvAddress();      // "127.0.0.1:<port>"
std::string ScanTvAddress(const char* pszMode);  // a TV on port 5555 ("online", "unauthorized"): "127.0.0.x"
std::string SamplePackage();  // the real package the helpers provide (ApiDemos, about 6 MB)
// A bundle the helpers made (devtools/bundles/make_suite.py): "sample.apks", "slip.xapk", ...
std::string BundlePath(const char* pszName);
bool ConfigureTv(const std::string& strJson);  // returns once the TV surely read it

// One thing the TV recorded: its plain fields as text (strings as the TV
// wrote them, UTF-8); null and nested values are left out.
typedef std::map<std::string, std::string> TvEvent;
std::vector<TvEvent> TvEvents(const char* pszType = NULL,  // oldest first; of one type when given
                              const char* pszRecord = "received.json");  // or the record of another TV

std::string FileSha256(const std::string& strPath);  // lower-case hex; empty when unreadable
