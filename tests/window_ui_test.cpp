// The main window's rules, walked as scenarios in as few starts of the real
// Davrel.exe as the rules allow, with the scripted stand-ins for its tools.
#include "support/UiTest.h"

namespace {

const char DATA_INCOMPLETE[] = "Davrel数据不完整，请<a href=\"#\">点击此处</a>重新下载";

std::string Folder(const std::string& strPath) {
    return strPath.substr(0, strPath.rfind('\\') + 1);
}

class WindowTest : public CDavrelUiTest {};

TEST_F(WindowTest, StartsWithMissingToolsAndKeepsWhatStillWorks) {
    // Without adb: a package is still read, the TV's buttons stay off.
    ASSERT_TRUE(DeleteFileA(m_app.ToolPath("adb").c_str()));
    ASSERT_TRUE(StartWith(MakePackage("我的 软件", "演示 播放器.apk")));
    EXPECT_EQ(DATA_INCOMPLETE, m_app.Text(IDC_LINK_STATUS));
    EXPECT_EQ(DEMO_LABEL, m_app.Text(IDC_STATIC_NAME));
    for (int nId : {IDC_BTN_CONNECT, IDC_BTN_INSTALL, IDC_BTN_UNINSTALL})
        EXPECT_FALSE(m_app.IsEnabled(nId)) << "control " << nId;
    EXPECT_TRUE(m_app.IsEnabled(IDC_BTN_SELECT));
    EXPECT_TRUE(CloseCleanly());

    // Without aapt: no package can be chosen; Refresh still asks the TV.
    CDavrelDriver noAapt;
    ASSERT_TRUE(noAapt.SetScript("adb", m_adb.Text()));
    ASSERT_TRUE(DeleteFileA(noAapt.ToolPath("aapt").c_str()));
    ASSERT_TRUE(noAapt.Start());
    EXPECT_EQ(DATA_INCOMPLETE, noAapt.Text(IDC_LINK_STATUS));
    for (int nId : {IDC_BTN_SELECT, IDC_BTN_CONNECT, IDC_BTN_INSTALL, IDC_BTN_UNINSTALL})
        EXPECT_FALSE(noAapt.IsEnabled(nId)) << "control " << nId;
    ASSERT_TRUE(noAapt.Click(IDC_BTN_REFRESH));
    EXPECT_EQ("电视连接良好", noAapt.Text(IDC_LINK_STATUS));
    EXPECT_FALSE(noAapt.IsEnabled(IDC_BTN_INSTALL));
    EXPECT_TRUE(noAapt.Close());
}

TEST_F(WindowTest, TasksHoldTheOtherCommandAndClosingEndsThemPromptly) {
    m_adb.bInstallWaits = m_adb.bUninstallWaits = true;
    ApplyAdb();
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
    EXPECT_EQ((std::vector<std::string>{std::string("uninstall ") + DEMO_PACKAGE}), AdbArgs("uninstall"));

    // Closing now ends the running tool and the waiting task at once.
    DWORD dwStart = GetTickCount();
    EXPECT_TRUE(CloseCleanly(8000)) << "exit code " << std::hex << m_app.ExitCode();
    RecordProperty("close_ms", static_cast<int>(GetTickCount() - dwStart));
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
