// The main window's rules, walked as scenarios in as few starts of the real
// Davrel.exe as the rules allow, with the scripted stand-ins for its tools.
#include <gtest/gtest.h>
#include "resources/resource.h"
#include "support/DavrelDriver.h"
#include "support/SavedSettings.h"

namespace {

// The fixture: a fresh program folder, settings without an address and
// without the .apk association, a stand-in TV that is attached and answers at
// once, and an aapt that describes every package as the demo player.
const char DEMO_LABEL[] = "演示播放器";
const char DATA_INCOMPLETE[] = "Davrel数据不完整，请<a href=\"#\">点击此处</a>重新下载";

std::string Rule(const std::string& strPattern, const std::string& strOut, bool bHang = false) {
    return "when " + ScriptText(strPattern) + "\nout " + ScriptText(strOut) + "\n" + (bHang ? "hang\n" : "");
}

std::string Folder(const std::string& strPath) {
    return strPath.substr(0, strPath.rfind('\\') + 1);
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_app.Ready()) << "could not lay out " << m_app.ProgramDir();
        ASSERT_TRUE(WriteSavedSettings(0, NULL));
        UseAdb(false);
        ASSERT_TRUE(m_app.SetScript("aapt", Rule(" d badging \"", u8"package: name='com.norvale.demo' versionName='1.2'\n"
                                                                   u8"application: label='演示播放器' icon='res/i.png'\n")));
    }
    // A TV is attached; with bWait, installs and uninstalls hang after their
    // answer until the test lets them end (FinishAdb).
    void UseAdb(bool bWait) {
        ASSERT_TRUE(m_app.SetScript("adb", Rule(" devices ", "List of devices attached \r\n192.168.1.20:5555\tdevice\r\n") +
                                               Rule(" install ", "3 KB/s (2459 bytes in 0.001s)\r\nSuccess\r\n", bWait) +
                                               Rule(" uninstall ", "Success\r\n", bWait)));
    }
    // A package file (not a real archive) in a folder under the program folder.
    std::string MakePackage(const std::string& strFolder, const std::string& strName) {
        std::string strPath = m_app.MakeFolder(strFolder) + "\\" + strName;
        EXPECT_TRUE(WriteFileBytes(strPath, std::string(1536, 'P'))) << strPath;
        return strPath;
    }
    bool StartWith(const std::string& strPackage) { return m_app.Start("\"" + strPackage + "\""); }
    // The adb arguments recorded so far (".log") or held (".held") that begin with strPrefix.
    std::vector<std::string> AdbArgs(const std::string& strPrefix, const char* pszExt = ".log") const {
        std::vector<std::string> matching;
        for (const std::string& strArgs : m_app.ToolArgs("adb", pszExt))
            if (strArgs.compare(0, strPrefix.size(), strPrefix) == 0) matching.push_back(strArgs);
        return matching;
    }
    // Waits until the nth adb run beginning with strPrefix hangs, then lets it end.
    bool FinishAdb(const std::string& strPrefix, size_t nth) {
        return WaitUntil([&] { return AdbArgs(strPrefix, ".held").size() >= nth; }) && m_app.Sync() &&
               m_app.ReleaseTool("adb");
    }
    bool ChoosePackage(const std::string& strPath) {  // through the open-file dialog
        HWND hwndDialog = m_app.PostClick(IDC_BTN_SELECT) ? m_app.WaitDialog() : NULL;
        return hwndDialog && m_app.AnswerFileDialog(hwndDialog, strPath) &&
               WaitUntil([&] { return m_app.OtherWindows().empty(); }) && m_app.Sync();
    }
    // Closes the window; true when the process ended in time and not by a crash
    // (which ends it with an exception code such as 0xC0000005).
    bool CloseCleanly(DWORD timeoutMs = UI_WAIT_MS) {
        return m_app.Close(timeoutMs) && m_app.ExitCode() < 0xC0000000;
    }

    CDavrelDriver m_app;
};

TEST_F(WindowTest, StartsWithoutAdbAndKeepsWhatStillWorks) {
    // A package is still read; the TV's buttons stay off.
    ASSERT_TRUE(DeleteFileA(m_app.ToolPath("adb").c_str()));
    ASSERT_TRUE(StartWith(MakePackage("我的 软件", "演示 播放器.apk")));
    EXPECT_EQ(DATA_INCOMPLETE, m_app.Text(IDC_LINK_STATUS));
    EXPECT_EQ(DEMO_LABEL, m_app.Text(IDC_STATIC_NAME));
    for (int nId : {IDC_BTN_CONNECT, IDC_BTN_INSTALL, IDC_BTN_UNINSTALL})
        EXPECT_FALSE(m_app.IsEnabled(nId)) << "control " << nId;
    EXPECT_TRUE(m_app.IsEnabled(IDC_BTN_SELECT));
    EXPECT_TRUE(CloseCleanly());
}

TEST_F(WindowTest, TasksHoldTheOtherCommandAndClosingEndsThemPromptly) {
    UseAdb(true);
    const std::string strPackage = MakePackage("pkg", "demo.apk");
    ASSERT_TRUE(StartWith(strPackage));
    ASSERT_EQ(DEMO_LABEL, m_app.Text(IDC_STATIC_NAME));

    // While an install runs, Uninstall waits for it and Install stays usable.
    ASSERT_TRUE(m_app.Click(IDC_BTN_INSTALL));
    EXPECT_TRUE(m_app.WaitText(IDC_LINK_STATUS, "正在安装软件..."));
    EXPECT_FALSE(m_app.IsEnabled(IDC_BTN_UNINSTALL));
    EXPECT_TRUE(m_app.IsEnabled(IDC_BTN_INSTALL));
    ASSERT_TRUE(FinishAdb("install", 1));
    EXPECT_TRUE(m_app.WaitText(IDC_LINK_STATUS, "软件安装完成"));
    EXPECT_TRUE(m_app.WaitEnabled(IDC_BTN_UNINSTALL, true));

    // While an uninstall runs, Install waits for it.
    ASSERT_TRUE(m_app.Click(IDC_BTN_UNINSTALL));
    EXPECT_TRUE(m_app.WaitText(IDC_LINK_STATUS, "正在卸载软件..."));
    EXPECT_FALSE(m_app.IsEnabled(IDC_BTN_INSTALL));
    ASSERT_TRUE(FinishAdb("uninstall", 1));
    EXPECT_TRUE(m_app.WaitText(IDC_LINK_STATUS, "软件卸载完成"));
    EXPECT_TRUE(m_app.WaitEnabled(IDC_BTN_INSTALL, true));

    // To the TV's own storage this time; a second install waits behind it.
    ASSERT_TRUE(m_app.SelectCombo(IDC_COMBO_LOCATION, 1));
    ASSERT_TRUE(m_app.Click(IDC_BTN_INSTALL));
    ASSERT_TRUE(WaitUntil([&] { return AdbArgs("install", ".held").size() == 2; }));
    ASSERT_TRUE(m_app.Click(IDC_BTN_INSTALL));
    const std::string strCopy = Folder(strPackage) + "install.apk";
    EXPECT_EQ((std::vector<std::string>{"install -s \"" + strCopy + "\"", "install \"" + strCopy + "\""}),
              AdbArgs("install"));
    EXPECT_EQ(std::vector<std::string>{"uninstall com.norvale.demo"}, AdbArgs("uninstall"));

    // Closing now ends the running tool and the waiting task at once.
    EXPECT_TRUE(CloseCleanly(8000)) << "exit code " << std::hex << m_app.ExitCode();
    EXPECT_TRUE(WaitUntil([&] { return !FileExists(strCopy); }, 3000)) << "the copy is left behind";
    EXPECT_EQ(2u, AdbArgs("install").size()) << "the waiting install ran after all";
}

TEST_F(WindowTest, TheUsersOwnInstallApkIsNeitherOverwrittenNorDeleted) {
    const std::string strPackage = MakePackage("pkg", "demo.apk");
    const std::string strUsers = Folder(strPackage) + "install.apk";
    ASSERT_TRUE(WriteFileBytes(strUsers, "the user's own file"));
    ASSERT_TRUE(StartWith(strPackage));
    auto install = [&]() {
        m_app.SetText(IDC_LINK_STATUS, "");
        EXPECT_TRUE(m_app.Click(IDC_BTN_INSTALL));
        EXPECT_TRUE(m_app.WaitText(IDC_LINK_STATUS, "软件安装完成"));
        std::vector<std::string> installs = AdbArgs("install");
        return installs.empty() ? std::string() : installs.back();
    };
    // A folder holding the user's own install.apk: the package goes as it is.
    EXPECT_EQ("install -s \"" + strPackage + "\"", install());
    // Elsewhere a copy of Davrel's own is made and deleted at close.
    const std::string strSecond = MakePackage("more", "second.apk");
    ASSERT_TRUE(ChoosePackage(strSecond));
    EXPECT_EQ("install -s \"" + Folder(strSecond) + "install.apk\"", install());
    // A package itself named install.apk is installed and kept.
    const std::string strNamed = MakePackage("named", "install.apk");
    ASSERT_TRUE(ChoosePackage(strNamed));
    EXPECT_EQ("install -s \"" + strNamed + "\"", install());

    ASSERT_TRUE(CloseCleanly());
    std::string strContent;
    EXPECT_TRUE(ReadFileBytes(strUsers, strContent));
    EXPECT_EQ("the user's own file", strContent);
    EXPECT_FALSE(FileExists(Folder(strSecond) + "install.apk"));
    EXPECT_TRUE(FileExists(strNamed));
    EXPECT_TRUE(FileExists(strPackage) && FileExists(strSecond));
}

}  // namespace
