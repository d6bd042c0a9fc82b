// Scripts for the stand-ins of adb.exe and aapt.exe (format: fake_tool.cpp):
// a TV that is or is not attached, installs and uninstalls that succeed or
// fail after a delay, storage figures, and badging reports.
#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "support/StandIn.h"  // ScriptText


struct CAdbScript {
    bool bDevice = true;                  // the device list shows a TV
    std::string strInstall = "Success";   // what install prints (a line end follows)
    // Install prints its answer, then waits until the test releases it
    // (CDavrelDriver::ReleaseTools) instead of ending.
    bool bInstallWaits = false;
    std::string strUninstall = "Success";
    bool bUninstallWaits = false;
    bool bStorage = true;                 // storage queries answer (else print nothing)

    std::string Text() const;
};

// The storage figures the adb script answers with, in the window's order of
// controls 1018-1021, 1023-1026.
extern const char* const STORAGE_FIGURES[8];

// A report as aapt prints it (UTF-8), from UTF-8 values. An empty sdk
// leaves out the sdkVersion line.
std::string BadgingReport(const std::string& strLabel, const std::string& strPackage,
                          const std::string& strVersion, const std::string& strSdk,
                          const std::vector<std::string>& permissions);
// An aapt script that prints strReport for every badging command.
std::string AaptScript(const std::string& strReport);
