// Background tasks as the user meets them: commands given while a task runs
// or waits, and closing the window in the middle of it all.
#include "support/UiTest.h"

namespace {

class TasksTest : public CDavrelUiTest {
protected:
    void StartWithDemo() {
        m_strPackage = MakePackage("pkg", "demo.apk");
        ASSERT_TRUE(StartWith(m_strPackage));
        ASSERT_EQ(DEMO_LABEL, m_app.Text(IDC_STATIC_NAME));
    }

    std::string m_strPackage;
};

TEST_F(TasksTest, ClosingWhileAnInstallRunsAndAnotherWaitsEndsPromptly) {
    // adb has reported the upload and then goes quiet for good.
    m_adb.strInstall = "";
    m_adb.bInstallWaits = true;
    ApplyAdb();
    StartWithDemo();
    ASSERT_TRUE(m_app.Click(IDC_BTN_INSTALL));
    ASSERT_TRUE(m_app.WaitText(IDC_LINK_STATUS, "正在安装软件..."));
    ASSERT_TRUE(m_app.Click(IDC_BTN_INSTALL));  // waits for the first
    ASSERT_TRUE(WaitUntil([&] { return CountAdb("install") == 1; }));
    const std::string strCopy = m_strPackage.substr(0, m_strPackage.rfind('\\') + 1) + "install.apk";
    ASSERT_TRUE(FileExists(strCopy));

    DWORD dwStart = GetTickCount();
    EXPECT_TRUE(CloseCleanly(8000)) << "exit code " << std::hex << m_app.ExitCode();
    RecordProperty("close_ms", static_cast<int>(GetTickCount() - dwStart));
    EXPECT_TRUE(WaitUntil([&] { return !FileExists(strCopy); }, 3000)) << "the copy is left behind";
}

TEST_F(TasksTest, EachTaskDoesTheCommandThatStartedIt) {
    // While an install holds the tasks, Connect and Install again queue
    // their own. Each must do its own work: two installs, and one device
    // query besides the two the Install handlers make themselves.
    m_adb.bInstallWaits = true;
    ApplyAdb();
    StartWithDemo();
    m_app.ClearToolLog("adb");
    ASSERT_TRUE(m_app.Click(IDC_BTN_INSTALL));
    ASSERT_TRUE(m_app.Click(IDC_BTN_CONNECT));
    ASSERT_TRUE(m_app.Click(IDC_BTN_INSTALL));
    ASSERT_TRUE(m_app.Sync());
    ASSERT_EQ(1u, CountAdb("install"));
    ASSERT_EQ(2u, CountAdb("devices"));

    size_t nFinished = 0;
    EXPECT_TRUE(WaitUntil([&] {
        if (nFinished < CountAdb("install") && FinishAdb("install", nFinished + 1)) ++nFinished;
        return nFinished == 2 && CountAdb("devices") == 3;
    }, 20000)) << CountAdb("install") << " installs, " << CountAdb("devices") << " device queries";
    EXPECT_TRUE(m_app.WaitEnabled(IDC_BTN_UNINSTALL, true));
    EXPECT_TRUE(WaitUntil([&] {
        std::string strStatus = m_app.Text(IDC_LINK_STATUS);
        return strStatus == "软件安装完成" || strStatus == "电视连接良好";
    }));
    EXPECT_EQ(2u, CountAdb("install"));
}

TEST_F(TasksTest, WaitingInstallUsesTheLocationChosenMeanwhile) {
    m_adb.bInstallWaits = true;
    ApplyAdb();
    StartWithDemo();
    ASSERT_TRUE(m_app.Click(IDC_BTN_INSTALL));
    ASSERT_TRUE(WaitUntil([&] { return CountAdb("install") == 1; }));  // it has read its location
    ASSERT_TRUE(m_app.Click(IDC_BTN_INSTALL));
    ASSERT_TRUE(m_app.SelectCombo(IDC_COMBO_LOCATION, 1));
    ASSERT_TRUE(FinishAdb("install", 1));
    ASSERT_TRUE(WaitUntil([&] { return CountAdb("install") == 2; }));
    std::vector<std::string> installs = AdbArgs("install");
    EXPECT_EQ(0u, installs[0].find("install -s \""));
    EXPECT_EQ(0u, installs[1].find("install \""));
}

TEST_F(TasksTest, ChoosingAnotherPackageDuringAnInstall) {
    std::string strScript = AaptScript(BadgingReport("Second", "com.norvale.second", "2.0", "14", {}));
    strScript.replace(0, strScript.find('\n'), "when second.apk");
    ASSERT_TRUE(m_app.SetScript("aapt", strScript + AaptScript(DemoReport())));
    m_adb.bInstallWaits = true;
    ApplyAdb();
    StartWithDemo();
    ASSERT_TRUE(m_app.Click(IDC_BTN_INSTALL));
    ASSERT_TRUE(ChoosePackage(MakePackage("more", "second.apk")));
    EXPECT_EQ("Second", m_app.Text(IDC_STATIC_NAME));
    EXPECT_EQ("Android 4.0", m_app.Text(IDC_STATIC_SDK));
    ASSERT_TRUE(FinishAdb("install", 1));
    EXPECT_TRUE(m_app.WaitText(IDC_LINK_STATUS, "软件安装完成"));
    std::vector<std::string> installs = AdbArgs("install");
    ASSERT_EQ(1u, installs.size());
    EXPECT_NE(std::string::npos, installs[0].find("\\pkg\\install.apk\""));

    ASSERT_TRUE(m_app.WaitEnabled(IDC_BTN_UNINSTALL, true));
    ASSERT_TRUE(m_app.Click(IDC_BTN_UNINSTALL));
    EXPECT_TRUE(m_app.WaitText(IDC_LINK_STATUS, "软件卸载完成"));
    EXPECT_EQ((std::vector<std::string>{"uninstall com.norvale.second"}), AdbArgs("uninstall"));
}

}  // namespace
