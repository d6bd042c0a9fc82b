// The fixture of the suites that drive Davrel.exe: a fresh program folder,
// settings without an address and without the .apk association, a TV that
// is attached and answers at once, and an aapt that describes every package
// as the demo player below.
#pragma once
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "resources/resource.h"
#include "support/DavrelDriver.h"
#include "support/ToolScripts.h"

// The demo package as the window shows it (GBK), and as aapt reports it.
extern const char DEMO_LABEL[];         // "演示播放器"
extern const char DEMO_PACKAGE[];       // "com.norvale.demo"
extern const char DEMO_VERSION[];       // "1.2"
extern const char DEMO_SDK_SHOWN[];     // "Android 2.2"
extern const char DEMO_SIZE_SHOWN[];    // of a package made with the default size
extern const char DEMO_PERMISSIONS[];   // the two descriptions, one per line
std::string DemoReport();

// A line with its line end and surrounding blanks removed.
std::string Trimmed(const std::string& strText);

class CDavrelUiTest : public ::testing::Test {
protected:
    void SetUp() override;

    // Writes m_adb as the adb stand-in's script.
    void ApplyAdb();
    // A package file of nBytes bytes in a folder under the program folder.
    std::string MakePackage(const std::string& strFolder, const std::string& strName, size_t nBytes = 1536);
    // Starts Davrel with a package path, quoted, as the file manager does.
    bool StartWith(const std::string& strPackage);
    // The adb arguments recorded so far that begin with strPrefix.
    std::vector<std::string> AdbArgs(const std::string& strPrefix) const;
    // Lets the nth adb run whose arguments begin with strPrefix finish (the
    // script made it wait): waits for it to start, for the window to be
    // idle, then ends it. False when there was nothing to end.
    bool FinishAdb(const std::string& strPrefix, size_t nth);
    size_t CountAdb(const std::string& strPrefix) const { return AdbArgs(strPrefix).size(); }
    // Chooses a package through the open-file dialog.
    bool ChoosePackage(const std::string& strPath);
    // Closes the window; true when the process ended in time and not by a crash.
    bool CloseCleanly(DWORD timeoutMs = UI_WAIT_MS);

    CDavrelDriver m_app;
    CAdbScript m_adb;
};
