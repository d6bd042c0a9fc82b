// The main window at start-up: what it shows with and without a package,
// with and without a TV, and when its tools are missing; and how it closes.
#include "support/UiTest.h"

namespace {

const int DETAIL_IDS[] = {IDC_STATIC_NAME, IDC_STATIC_PACKAGE, IDC_STATIC_VERSION, IDC_STATIC_SDK,
                          IDC_STATIC_SIZE};
const int STORAGE_IDS[] = {IDC_STATIC_SYSTEM_SIZE, IDC_STATIC_SYSTEM_FREE, IDC_STATIC_DATA_SIZE,
                           IDC_STATIC_DATA_FREE,   IDC_STATIC_SDCARD_SIZE, IDC_STATIC_SDCARD_FREE,
                           IDC_STATIC_SDEXT2_SIZE, IDC_STATIC_SDEXT2_FREE};
const char DATA_INCOMPLETE[] = "Davrel数据不完整，请<a href=\"#\">点击此处</a>重新下载";
const char BAD_ARGUMENT[] = "获取APK信息失败，请检查APK文件名是否含空格";

class WindowTest : public CDavrelUiTest {
protected:
    void ExpectNoDetails() {
        for (int nId : DETAIL_IDS) EXPECT_EQ("", m_app.Text(nId)) << "control " << nId;
    }
    void ExpectNoStorage() {
        for (int nId : STORAGE_IDS) EXPECT_EQ("", m_app.Text(nId)) << "control " << nId;
    }
};

TEST_F(WindowTest, StartsWithoutPackageAndShowsTheAttachedTv) {
    ASSERT_TRUE(m_app.Start());
    EXPECT_EQ(0u, m_app.Title().find("Davrel     "));
    ExpectNoDetails();
    EXPECT_EQ((std::vector<std::string>{"SD卡", "电视"}), m_app.ComboItems(IDC_COMBO_LOCATION));
    EXPECT_EQ(0, m_app.ComboSelection(IDC_COMBO_LOCATION));
    EXPECT_EQ("电视连接良好", m_app.Text(IDC_LINK_STATUS));
    EXPECT_EQ(IDC_BTN_INSTALL, m_app.DefaultButton());
    for (int i = 0; i < 8; ++i) EXPECT_EQ(STORAGE_FIGURES[i], Trimmed(m_app.Text(STORAGE_IDS[i]))) << i;
    for (int nId : {IDC_BTN_SELECT, IDC_BTN_CONNECT, IDC_BTN_INSTALL, IDC_BTN_UNINSTALL, IDC_BTN_REFRESH, IDCANCEL,
                    IDC_BTN_ABOUT, IDC_EDIT_ADDRESS, IDC_COMBO_LOCATION})
        EXPECT_TRUE(m_app.IsEnabled(nId)) << "control " << nId;
    EXPECT_TRUE(m_app.ToolLog("aapt").empty()) << "no package, no badging report";
    EXPECT_TRUE(CloseCleanly());
}

TEST_F(WindowTest, StartsWithoutTvWithConnectAsDefaultAndNoStorage) {
    m_adb.bDevice = false;
    ApplyAdb();
    ASSERT_TRUE(m_app.Start());
    EXPECT_EQ("电视未连接", m_app.Text(IDC_LINK_STATUS));
    EXPECT_EQ(IDC_BTN_CONNECT, m_app.DefaultButton());
    ExpectNoStorage();
    EXPECT_TRUE(AdbArgs("shell").empty()) << "storage is not asked of a TV that is not there";
}

TEST_F(WindowTest, PackageFromTheCommandLineIsShownFromTheFirstDisplay) {
    // A path with a blank and Chinese, as the file manager hands it over;
    // a second argument is not a package to open.
    std::string strPackage = MakePackage("我的 软件", "演示 播放器.apk");
    std::string strOther = MakePackage("other", "other.apk");
    ASSERT_TRUE(m_app.Start("\"" + strPackage + "\" \"" + strOther + "\""));
    // Read at once: the details must be there when the window first shows.
    EXPECT_EQ(DEMO_LABEL, m_app.Text(IDC_STATIC_NAME));
    EXPECT_EQ(DEMO_PACKAGE, m_app.Text(IDC_STATIC_PACKAGE));
    EXPECT_EQ(DEMO_VERSION, m_app.Text(IDC_STATIC_VERSION));
    EXPECT_EQ(DEMO_SDK_SHOWN, m_app.Text(IDC_STATIC_SDK));
    EXPECT_EQ(DEMO_SIZE_SHOWN, m_app.Text(IDC_STATIC_SIZE));
    EXPECT_EQ("电视连接良好", m_app.Text(IDC_LINK_STATUS));
    EXPECT_EQ((std::vector<std::string>{"d badging \"" + strPackage + "\""}), m_app.ToolArgs("aapt"));
    EXPECT_TRUE(CloseCleanly());
}

TEST_F(WindowTest, UnreadablePackageSaysSoAndShowsNoDetails) {
    ASSERT_TRUE(m_app.SetScript("aapt", AaptScript("ERROR: dump failed because no AndroidManifest.xml found\n")));
    m_adb.bDevice = false;
    ApplyAdb();
    ASSERT_TRUE(StartWith(MakePackage("pkg", "broken.apk")));
    ExpectNoDetails();
    // The window's own connection text comes last.
    EXPECT_EQ("电视未连接", m_app.Text(IDC_LINK_STATUS));
    ASSERT_TRUE(ChoosePackage(m_app.ProgramDir() + "\\pkg\\broken.apk"));
    EXPECT_TRUE(m_app.WaitText(IDC_LINK_STATUS, "无法获取该APK文件信息"));
    ExpectNoDetails();
}

TEST_F(WindowTest, UnquotedPathWithBlankIsNotOpenedAndTheMessageStays) {
    std::string strPackage = MakePackage("my apps", "demo.apk");
    ASSERT_TRUE(m_app.Start(strPackage));  // cut at the blank by the runtime
    ExpectNoDetails();
    // The TV is attached, yet the start-up message is what the user sees.
    EXPECT_EQ(BAD_ARGUMENT, m_app.Text(IDC_LINK_STATUS));
    EXPECT_TRUE(m_app.ToolLog("aapt").empty());
    EXPECT_TRUE(m_app.IsEnabled(IDC_BTN_INSTALL));
}

TEST_F(WindowTest, MissingAaptDisablesChooseAndTheTvButtons) {
    ASSERT_TRUE(m_app.RemoveTool("aapt"));
    ASSERT_TRUE(m_app.Start());
    for (int nId : {IDC_BTN_SELECT, IDC_BTN_CONNECT, IDC_BTN_INSTALL, IDC_BTN_UNINSTALL})
        EXPECT_FALSE(m_app.IsEnabled(nId)) << "control " << nId;
    EXPECT_TRUE(m_app.IsEnabled(IDC_BTN_REFRESH));
    EXPECT_EQ(DATA_INCOMPLETE, m_app.Text(IDC_LINK_STATUS));
    // The user's own actions still answer.
    ASSERT_TRUE(m_app.Click(IDC_BTN_REFRESH));
    EXPECT_EQ("电视连接良好", m_app.Text(IDC_LINK_STATUS));
    EXPECT_FALSE(m_app.IsEnabled(IDC_BTN_INSTALL));
}

TEST_F(WindowTest, MissingAdbLeavesChooseWorking) {
    ASSERT_TRUE(m_app.RemoveTool("adb"));
    ASSERT_TRUE(m_app.Start());
    for (int nId : {IDC_BTN_CONNECT, IDC_BTN_INSTALL, IDC_BTN_UNINSTALL})
        EXPECT_FALSE(m_app.IsEnabled(nId)) << "control " << nId;
    EXPECT_EQ(DATA_INCOMPLETE, m_app.Text(IDC_LINK_STATUS));
    ExpectNoStorage();
    ASSERT_TRUE(m_app.IsEnabled(IDC_BTN_SELECT));
    ASSERT_TRUE(ChoosePackage(MakePackage("pkg", "demo.apk")));
    EXPECT_EQ(DEMO_LABEL, m_app.Text(IDC_STATIC_NAME));
    EXPECT_EQ(DEMO_PACKAGE, m_app.Text(IDC_STATIC_PACKAGE));
    EXPECT_FALSE(m_app.IsEnabled(IDC_BTN_INSTALL));
}

TEST_F(WindowTest, MissingDataFolderAndItsLinkThatMakesIt) {
    ASSERT_TRUE(m_app.RemoveDataFolder());
    ASSERT_TRUE(m_app.Start());
    for (int nId : {IDC_BTN_SELECT, IDC_BTN_CONNECT, IDC_BTN_INSTALL, IDC_BTN_UNINSTALL})
        EXPECT_FALSE(m_app.IsEnabled(nId)) << "control " << nId;
    ASSERT_EQ(DATA_INCOMPLETE, m_app.Text(IDC_LINK_STATUS));

    // The link sits in the middle of the message: click along the line until
    // a click lands on it, which makes the folder and shows it.
    RECT rc = {};
    GetClientRect(m_app.Item(IDC_LINK_STATUS), &rc);
    for (int x = 2; x < rc.right && !FileExists(m_app.DataDir()); x += 5)
        m_app.ClickLink(IDC_LINK_STATUS, x, UI_WAIT_MS);
    EXPECT_TRUE(FileExists(m_app.DataDir()));

    ASSERT_TRUE(m_app.Click(IDC_BTN_REFRESH));
    EXPECT_EQ("电视未连接", m_app.Text(IDC_LINK_STATUS));
    EXPECT_EQ(IDC_BTN_CONNECT, m_app.DefaultButton());
    EXPECT_FALSE(m_app.IsEnabled(IDC_BTN_CONNECT)) << "the tools are still missing";
}

TEST_F(WindowTest, EveryWayOfClosingEndsTheProgram) {
    ASSERT_TRUE(m_app.Start());
    ASSERT_TRUE(m_app.Click(IDCANCEL));
    EXPECT_TRUE(m_app.WaitExit());

    CDavrelDriver byEscape;
    ASSERT_TRUE(byEscape.Start());
    ASSERT_TRUE(byEscape.PressKey(IDC_EDIT_ADDRESS, VK_ESCAPE));
    EXPECT_TRUE(byEscape.WaitExit());

    CDavrelDriver byCloseBox;
    ASSERT_TRUE(byCloseBox.Start());
    ASSERT_TRUE(byCloseBox.PostSysCommand(SC_CLOSE));
    EXPECT_TRUE(byCloseBox.WaitExit());
}

}  // namespace
