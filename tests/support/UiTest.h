// The fixture of the window scenarios: a fresh program folder, settings
// without an address and without the .apk association, a stand-in TV that
// is attached and answers at once, and an aapt that describes every package
// as the demo player.
#pragma once
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "resources/resource.h"
#include "support/DavrelDriver.h"

extern const char DEMO_LABEL[];    // "演示播放器", GBK as the window shows it
extern const char DEMO_PACKAGE[];  // "com.norvale.demo"

// A badging report as aapt prints it (UTF-8), and an aapt script that prints
// it for every badging run.
std::string BadgingReport(const std::string& strLabel, const std::string& strPackage,
                          const std::vector<std::string>& permissions = {});
std::string AaptScript(const std::string& strReport);

// What the adb stand-in answers; a run that waits hangs after its answer
// until the test lets it end (FinishAdb).
struct CAdbScript {
    bool bDevice = true;
    std::string strInstall = "Success";
    bool bInstallWaits = false;
    std::string strUninstall = "Success";
    bool bUninstallWaits = false;
    std::string Text() const;
};

class CDavrelUiTest : public ::testing::Test {
protected:
    void SetUp() override;
    void ApplyAdb() { ASSERT_TRUE(m_app.SetScript("adb", m_adb.Text())); }
    // A package file (not a real archive) in a folder under the program folder.
    std::string MakePackage(const std::string& strFolder, const std::string& strName);
    bool StartWith(const std::string& strPackage) { return m_app.Start("\"" + strPackage + "\""); }
    // The adb arguments recorded so far (".log") or held (".held") that begin with strPrefix.
    std::vector<std::string> AdbArgs(const std::string& strPrefix, const char* pszExt = ".log") const;
    // Waits until the nth adb run beginning with strPrefix hangs, then lets it end.
    bool FinishAdb(const std::string& strPrefix, size_t nth);
    bool ChoosePackage(const std::string& strPath);  // through the open-file dialog
    // Closes the window; true when the process ended in time and not by a crash.
    bool CloseCleanly(DWORD timeoutMs = UI_WAIT_MS);

    CDavrelDriver m_app;
    CAdbScript m_adb;
};
