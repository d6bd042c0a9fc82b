// The user's commands on the main window: connect, install, uninstall,
// refresh, choose, the permission list, and what becomes of "install.apk".
#include "support/SavedSettings.h"
#include "support/UiTest.h"

namespace {

class CommandsTest : public CDavrelUiTest {
protected:
    // The demo package in folder "pkg", loaded from the command line.
    void StartWithDemo() {
        m_strPackage = MakePackage("pkg", "demo.apk");
        ASSERT_TRUE(StartWith(m_strPackage));
        ASSERT_EQ(DEMO_LABEL, m_app.Text(IDC_STATIC_NAME));
    }
    std::string Folder(const std::string& strPath) { return strPath.substr(0, strPath.rfind('\\') + 1); }

    std::string m_strPackage;
};

// ---------------------------------------------------------------- connect

TEST_F(CommandsTest, ConnectRestartsAdbConnectsAndChecksTheTv) {
    ASSERT_TRUE(m_app.Start());
    ASSERT_TRUE(m_app.SetText(IDC_EDIT_ADDRESS, "192.168.1.20:5555"));
    m_app.ClearToolLog("adb");
    ASSERT_TRUE(m_app.Click(IDC_BTN_CONNECT));

    std::vector<std::string> args = m_app.ToolArgs("adb");
    ASSERT_GE(args.size(), 2u);
    EXPECT_EQ("kill-server", args[0]);
    EXPECT_EQ("connect 192.168.1.20:5555", args[1]);
    EXPECT_TRUE(m_app.WaitText(IDC_LINK_STATUS, "电视连接良好"));
    EXPECT_EQ(IDC_BTN_INSTALL, m_app.DefaultButton());
    EXPECT_TRUE(m_app.IsEnabled(IDC_BTN_CONNECT));
    EXPECT_EQ(STORAGE_FIGURES[0], Trimmed(m_app.Text(IDC_STATIC_SYSTEM_SIZE)));
    std::string strSaved;
    EXPECT_TRUE(ReadSavedAddress(strSaved));
    EXPECT_EQ("192.168.1.20:5555", strSaved);
}

TEST_F(CommandsTest, ConnectIsDisabledWhileItRunsAndAnEmptyAddressIsPassedOn) {
    ASSERT_TRUE(WriteSavedSettings(0, "10.0.0.9"));
    m_adb.bDevice = false;
    ApplyAdb();
    ASSERT_TRUE(m_app.Start());
    ASSERT_EQ("10.0.0.9", m_app.Text(IDC_EDIT_ADDRESS));
    ASSERT_TRUE(m_app.SetText(IDC_EDIT_ADDRESS, ""));
    // A slow adb, to see the button while the command runs.
    ASSERT_TRUE(m_app.SetScript("adb", "when kill-server\nsleep 600\n" + m_adb.Text()));
    m_app.ClearToolLog("adb");
    ASSERT_TRUE(m_app.PostClick(IDC_BTN_CONNECT));
    EXPECT_TRUE(m_app.WaitEnabled(IDC_BTN_CONNECT, false));
    EXPECT_TRUE(m_app.WaitEnabled(IDC_BTN_CONNECT, true));

    EXPECT_EQ((std::vector<std::string>{"connect "}), AdbArgs("connect"));
    EXPECT_TRUE(m_app.WaitText(IDC_LINK_STATUS, "电视未连接"));
    EXPECT_EQ(IDC_BTN_INSTALL, m_app.DefaultButton()) << "Install is the default after Connect, whatever came of it";
    std::string strSaved = "?";
    EXPECT_TRUE(ReadSavedAddress(strSaved));
    EXPECT_EQ("", strSaved);
}

TEST_F(CommandsTest, EnterInTheAddressBoxPressesConnect) {
    ASSERT_TRUE(m_app.Start());
    ASSERT_EQ(IDC_BTN_INSTALL, m_app.DefaultButton());
    ASSERT_TRUE(m_app.Focus(IDC_EDIT_ADDRESS));
    EXPECT_EQ(IDC_BTN_CONNECT, m_app.DefaultButton());
    ASSERT_TRUE(m_app.SetText(IDC_EDIT_ADDRESS, "192.168.1.30"));
    m_app.ClearToolLog("adb");
    ASSERT_TRUE(m_app.PressKey(IDC_EDIT_ADDRESS, VK_RETURN));
    EXPECT_TRUE(WaitUntil([&] { return !AdbArgs("connect").empty(); }));
    EXPECT_EQ((std::vector<std::string>{"connect 192.168.1.30"}), AdbArgs("connect"));
    EXPECT_TRUE(m_app.WaitText(IDC_LINK_STATUS, "电视连接良好"));
}

// ---------------------------------------------------------------- install

TEST_F(CommandsTest, InstallToTheSdCardReportsProgressAndHoldsUninstall) {
    m_adb.bInstallWaits = true;
    ApplyAdb();
    StartWithDemo();
    ASSERT_TRUE(m_app.Click(IDC_BTN_INSTALL));
    EXPECT_TRUE(m_app.WaitText(IDC_LINK_STATUS, "正在安装软件..."));
    EXPECT_FALSE(m_app.IsEnabled(IDC_BTN_UNINSTALL));
    EXPECT_TRUE(m_app.IsEnabled(IDC_BTN_INSTALL));
    ASSERT_TRUE(FinishAdb("install", 1));
    EXPECT_TRUE(m_app.WaitText(IDC_LINK_STATUS, "软件安装完成"));
    EXPECT_TRUE(m_app.WaitEnabled(IDC_BTN_UNINSTALL, true));
    EXPECT_EQ(IDC_BTN_INSTALL, m_app.DefaultButton());
    EXPECT_EQ((std::vector<std::string>{"install -s \"" + Folder(m_strPackage) + "install.apk\""}), AdbArgs("install"));
}

TEST_F(CommandsTest, InstallToTheTvWhenTheListSaysSo) {
    StartWithDemo();
    ASSERT_TRUE(m_app.SelectCombo(IDC_COMBO_LOCATION, 1));
    ASSERT_TRUE(m_app.Click(IDC_BTN_INSTALL));
    EXPECT_TRUE(m_app.WaitText(IDC_LINK_STATUS, "软件安装完成"));
    EXPECT_EQ((std::vector<std::string>{"install \"" + Folder(m_strPackage) + "install.apk\""}), AdbArgs("install"));
}

TEST_F(CommandsTest, FailedInstallSaysWhy) {
    m_adb.strInstall = "Failure [INSTALL_FAILED_INSUFFICIENT_STORAGE]";
    ApplyAdb();
    StartWithDemo();
    ASSERT_TRUE(m_app.Click(IDC_BTN_INSTALL));
    std::string strStatus;
    EXPECT_TRUE(WaitUntil([&] {
        strStatus = m_app.Text(IDC_LINK_STATUS);
        return strStatus.find("软件安装") == 0 && strStatus != "正在安装软件...";
    }));
    EXPECT_EQ(0u, strStatus.find("软件安装失败："));
    EXPECT_NE(std::string::npos, strStatus.find("INSTALL_FAILED_INSUFFICIENT_STORAGE"));
    EXPECT_TRUE(m_app.WaitEnabled(IDC_BTN_UNINSTALL, true));
}

TEST_F(CommandsTest, InstallWithoutTvMakesConnectTheDefault) {
    StartWithDemo();
    ASSERT_EQ(IDC_BTN_INSTALL, m_app.DefaultButton());
    m_adb.bDevice = false;
    ApplyAdb();
    ASSERT_TRUE(m_app.Click(IDC_BTN_INSTALL));
    EXPECT_EQ("电视未连接", m_app.Text(IDC_LINK_STATUS));
    EXPECT_EQ(IDC_BTN_CONNECT, m_app.DefaultButton());
    EXPECT_TRUE(AdbArgs("install").empty());
    EXPECT_FALSE(FileExists(Folder(m_strPackage) + "install.apk"));
}

TEST_F(CommandsTest, InstallWithoutPackageAsksForOneAndCancellingChangesNothing) {
    ASSERT_TRUE(m_app.Start());
    ASSERT_TRUE(m_app.PostClick(IDC_BTN_INSTALL));
    HWND hwndDialog = m_app.WaitDialog();
    ASSERT_TRUE(hwndDialog) << "no file dialog";
    EXPECT_TRUE(CDavrelDriver::AnswerDialog(hwndDialog, IDCANCEL));
    EXPECT_TRUE(m_app.WaitNoDialog());
    ASSERT_TRUE(m_app.Sync());
    EXPECT_EQ("电视连接良好", m_app.Text(IDC_LINK_STATUS));
    EXPECT_EQ("", m_app.Text(IDC_STATIC_NAME));
    EXPECT_TRUE(AdbArgs("install").empty());
    EXPECT_TRUE(m_app.ToolLog("aapt").empty());
}

TEST_F(CommandsTest, InstallTwiceInstallsTwice) {
    m_adb.bInstallWaits = true;
    ApplyAdb();
    StartWithDemo();
    ASSERT_TRUE(m_app.Click(IDC_BTN_INSTALL));
    ASSERT_TRUE(m_app.Click(IDC_BTN_INSTALL));
    ASSERT_TRUE(FinishAdb("install", 1));
    ASSERT_TRUE(FinishAdb("install", 2));
    const std::string strCopy = "install -s \"" + Folder(m_strPackage) + "install.apk\"";
    EXPECT_EQ((std::vector<std::string>{strCopy, strCopy}), AdbArgs("install"));
    EXPECT_TRUE(m_app.WaitText(IDC_LINK_STATUS, "软件安装完成"));
    EXPECT_TRUE(m_app.WaitEnabled(IDC_BTN_UNINSTALL, true));
}

// ---------------------------------------------------------------- uninstall

TEST_F(CommandsTest, UninstallRemovesTheLoadedPackageAndHoldsInstall) {
    m_adb.bUninstallWaits = true;
    ApplyAdb();
    StartWithDemo();
    ASSERT_TRUE(m_app.Click(IDC_BTN_UNINSTALL));
    EXPECT_TRUE(m_app.WaitText(IDC_LINK_STATUS, "正在卸载软件..."));
    EXPECT_FALSE(m_app.IsEnabled(IDC_BTN_INSTALL));
    ASSERT_TRUE(FinishAdb("uninstall", 1));
    EXPECT_TRUE(m_app.WaitText(IDC_LINK_STATUS, "软件卸载完成"));
    EXPECT_TRUE(m_app.WaitEnabled(IDC_BTN_INSTALL, true));
    EXPECT_EQ((std::vector<std::string>{std::string("uninstall ") + DEMO_PACKAGE}), AdbArgs("uninstall"));
}

TEST_F(CommandsTest, FailedUninstallSaysSo) {
    m_adb.strUninstall = "Failure";
    ApplyAdb();
    StartWithDemo();
    ASSERT_TRUE(m_app.Click(IDC_BTN_UNINSTALL));
    EXPECT_TRUE(m_app.WaitText(IDC_LINK_STATUS, "软件卸载失败"));
    EXPECT_TRUE(m_app.WaitEnabled(IDC_BTN_INSTALL, true));
}

TEST_F(CommandsTest, UninstallNeedsATvAndAPackage) {
    ASSERT_TRUE(m_app.Start());
    ASSERT_TRUE(m_app.Click(IDC_BTN_UNINSTALL));
    EXPECT_EQ("请选择你要卸载的软件", m_app.Text(IDC_LINK_STATUS));

    m_adb.bDevice = false;
    ApplyAdb();
    ASSERT_EQ(IDC_BTN_INSTALL, m_app.DefaultButton());
    ASSERT_TRUE(m_app.Click(IDC_BTN_UNINSTALL));
    EXPECT_EQ("电视未连接", m_app.Text(IDC_LINK_STATUS));
    EXPECT_EQ(IDC_BTN_INSTALL, m_app.DefaultButton()) << "Uninstall leaves the default alone";
    EXPECT_TRUE(AdbArgs("uninstall").empty());
}

// ---------------------------------------------------------------- refresh

TEST_F(CommandsTest, RefreshFollowsTheTv) {
    m_adb.bDevice = false;
    ApplyAdb();
    ASSERT_TRUE(m_app.Start());
    ASSERT_EQ("", m_app.Text(IDC_STATIC_DATA_FREE));

    m_adb.bDevice = true;
    ApplyAdb();
    ASSERT_TRUE(m_app.Click(IDC_BTN_REFRESH));
    EXPECT_EQ("电视连接良好", m_app.Text(IDC_LINK_STATUS));
    EXPECT_EQ(IDC_BTN_INSTALL, m_app.DefaultButton());
    EXPECT_EQ(STORAGE_FIGURES[3], Trimmed(m_app.Text(IDC_STATIC_DATA_FREE)));
    EXPECT_EQ(STORAGE_FIGURES[7], Trimmed(m_app.Text(IDC_STATIC_SDEXT2_FREE)));

    m_adb.bDevice = false;
    ApplyAdb();
    ASSERT_TRUE(m_app.Click(IDC_BTN_REFRESH));
    EXPECT_EQ("电视未连接", m_app.Text(IDC_LINK_STATUS));
    EXPECT_EQ(IDC_BTN_CONNECT, m_app.DefaultButton());
}

// ---------------------------------------------------------------- permissions

TEST_F(CommandsTest, PermissionLinkListsThePackagesPermissions) {
    StartWithDemo();
    ASSERT_TRUE(m_app.PostLinkClick(IDC_LINK_PERMISSIONS));
    HWND hwndBox = m_app.WaitDialog("APK权限列表");
    ASSERT_TRUE(hwndBox);
    EXPECT_EQ(Trimmed(DEMO_PERMISSIONS), Trimmed(CDavrelDriver::DialogText(hwndBox)));
    EXPECT_FALSE(m_app.IsWindowEnabled()) << "the list is modal";
    EXPECT_TRUE(CDavrelDriver::AnswerDialog(hwndBox, IDOK));
    EXPECT_TRUE(m_app.WaitNoDialog());
    EXPECT_TRUE(WaitUntil([&] { return m_app.IsWindowEnabled(); }));
}

TEST_F(CommandsTest, PermissionLinkShowsNothingWithoutPermissions) {
    // No package at all, then a package that asks for no permission.
    ASSERT_TRUE(m_app.Start());
    EXPECT_TRUE(m_app.ClickLink(IDC_LINK_PERMISSIONS)) << "a box opened";
    EXPECT_TRUE(m_app.OtherWindows().empty());

    ASSERT_TRUE(m_app.SetScript("aapt", AaptScript(BadgingReport("Plain", "com.norvale.plain", "1.0", "8", {}))));
    ASSERT_TRUE(ChoosePackage(MakePackage("pkg", "plain.apk")));
    ASSERT_EQ("Plain", m_app.Text(IDC_STATIC_NAME));
    EXPECT_TRUE(m_app.ClickLink(IDC_LINK_PERMISSIONS)) << "a box opened";
    EXPECT_TRUE(m_app.OtherWindows().empty());
}

// ---------------------------------------------------------------- install.apk

TEST_F(CommandsTest, UsersOwnInstallApkIsNeitherOverwrittenNorDeleted) {
    m_strPackage = MakePackage("pkg", "demo.apk");
    const std::string strUsers = Folder(m_strPackage) + "install.apk";
    ASSERT_TRUE(WriteFileBytes(strUsers, "the user's own file"));
    ASSERT_TRUE(StartWith(m_strPackage));
    ASSERT_TRUE(m_app.Click(IDC_BTN_INSTALL));
    EXPECT_TRUE(m_app.WaitText(IDC_LINK_STATUS, "软件安装完成"));
    EXPECT_EQ((std::vector<std::string>{"install -s \"" + m_strPackage + "\""}), AdbArgs("install"))
        << "the chosen package is installed as it is";
    ASSERT_TRUE(CloseCleanly());
    std::string strContent;
    EXPECT_TRUE(ReadFileBytes(strUsers, strContent));
    EXPECT_EQ("the user's own file", strContent);
}

TEST_F(CommandsTest, PackageNamedInstallApkIsInstalledAndKept) {
    m_strPackage = MakePackage("pkg", "install.apk");
    ASSERT_TRUE(StartWith(m_strPackage));
    ASSERT_TRUE(m_app.Click(IDC_BTN_INSTALL));
    EXPECT_TRUE(m_app.WaitText(IDC_LINK_STATUS, "软件安装完成"));
    EXPECT_EQ((std::vector<std::string>{"install -s \"" + m_strPackage + "\""}), AdbArgs("install"));
    ASSERT_TRUE(CloseCleanly());
    EXPECT_TRUE(FileExists(m_strPackage));
}

TEST_F(CommandsTest, EveryCopyMadeThisRunIsDeletedAtClose) {
    StartWithDemo();
    ASSERT_TRUE(m_app.Click(IDC_BTN_INSTALL));
    EXPECT_TRUE(m_app.WaitText(IDC_LINK_STATUS, "软件安装完成"));
    const std::string strFirstCopy = Folder(m_strPackage) + "install.apk";
    EXPECT_TRUE(FileExists(strFirstCopy));

    const std::string strSecond = MakePackage("more", "second.apk");
    ASSERT_TRUE(ChoosePackage(strSecond));
    ASSERT_TRUE(m_app.Click(IDC_BTN_INSTALL));
    EXPECT_TRUE(WaitUntil([&] { return AdbArgs("install").size() == 2; }));
    EXPECT_TRUE(m_app.WaitText(IDC_LINK_STATUS, "软件安装完成"));
    const std::string strSecondCopy = Folder(strSecond) + "install.apk";
    EXPECT_EQ("install -s \"" + strSecondCopy + "\"", AdbArgs("install").back());

    ASSERT_TRUE(CloseCleanly());
    EXPECT_FALSE(FileExists(strFirstCopy));
    EXPECT_FALSE(FileExists(strSecondCopy));
    EXPECT_TRUE(FileExists(m_strPackage));
    EXPECT_TRUE(FileExists(strSecond));
}

}  // namespace
