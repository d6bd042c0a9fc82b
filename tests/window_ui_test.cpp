// The main window's rules, walked as scenarios in as few starts of the real
// Davrel.exe as the rules allow, with the scripted stand-ins for its tools.
#include <gtest/gtest.h>
#include <algorithm>
#include <shlobj.h>
#include "framework/TextConvert.h"
#include "resources/resource.h"
#include "shell/Settings.h"
#include "support/DavrelDriver.h"
#include "support/SavedSettings.h"
#include "version.h"

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
        ASSERT_TRUE(m_app.SetScript("adb", Rule(" devices", "List of devices attached \r\n192.168.1.20:5555\tdevice\r\n") +
                                               Rule(" install ", "3 KB/s (2459 bytes in 0.001s)\r\nSuccess\r\n", bWait) +
                                               Rule(" uninstall ", "Success\r\n", bWait) +
                                               (bWait ? Rule(" shell ", "/dev/block/mtdblock0  512M  180.2M  69.8M  72% /system\r\n") : std::string())));
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
        for (std::string strArgs : m_app.ToolArgs("adb", pszExt)) {
            // Every command names the TV (the stand-in lists one): checked, then left out.
            if (strArgs.compare(0, 3, "-s ") == 0) {
                EXPECT_EQ(0u, strArgs.compare(3, 18, "192.168.1.20:5555 ")) << strArgs;
                strArgs.erase(0, strArgs.find(' ', 3) + 1);
            }
            if (strArgs.compare(0, strPrefix.size(), strPrefix) == 0) matching.push_back(strArgs);
        }
        return matching;
    }
    // Waits until the nth adb run beginning with strPrefix hangs, then lets it end.
    bool FinishAdb(const std::string& strPrefix, size_t nth) {
        return WaitUntil([&] { return AdbArgs(strPrefix, ".held").size() >= nth; }) && m_app.Sync() &&
               m_app.ReleaseTool("adb");
    }
    // Files dropped from the file manager: the drop block is written into
    // Davrel's memory, as the shell hands it over, for its real drop handler.
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
    // A label with '&', and far more permissions than a screen holds.
    std::string strReport = "package: name='com.norvale.demo' versionName='1.2'\napplication: label='1 & 2' icon='r/i.png'\n";
    for (int i = 0; i < 3000; ++i) strReport += "uses-permission: name='android.permission.INTERNET'\n";
    ASSERT_TRUE(m_app.SetScript("aapt", Rule(" d badging \"", strReport)));
    // An earlier package's icon where this one's would go: this package (no zip) has none to show.
    BITMAPINFOHEADER bih = {sizeof bih, 8, 8, 1, 24, BI_RGB, 192, 0, 0, 0, 0};
    BITMAPFILEHEADER bfh = {0x4D42, sizeof bfh + sizeof bih + 192, 0, 0, sizeof bfh + sizeof bih};
    char szTemp[MAX_PATH] = {0};
    GetTempPathA(MAX_PATH, szTemp);
    ASSERT_TRUE(WriteFileBytes(szTemp + std::string("com.norvale.demo1.2.png"),
                               std::string(reinterpret_cast<char*>(&bfh), sizeof bfh) +
                                   std::string(reinterpret_cast<char*>(&bih), sizeof bih) + std::string(192, '\x20')));
    ASSERT_TRUE(StartWith(MakePackage("我的 软件", "演示 播放器.apk")));
    EXPECT_EQ(DATA_INCOMPLETE, m_app.Text(IDC_LINK_STATUS));
    EXPECT_EQ("1 & 2", m_app.Text(IDC_STATIC_NAME));
    EXPECT_TRUE(GetWindowLongA(m_app.Item(IDC_STATIC_NAME), GWL_STYLE) & SS_NOPREFIX) << "'&' shows as an underline";
    for (int nId : {IDC_BTN_CONNECT, IDC_BTN_INSTALL, IDC_BTN_UNINSTALL})
        EXPECT_FALSE(m_app.IsEnabled(nId)) << "control " << nId;
    EXPECT_TRUE(m_app.IsEnabled(IDC_BTN_SELECT));
    RedrawWindow(m_app.Window(), NULL, NULL, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    EXPECT_TRUE(m_app.Sync() && m_app.DrawnShare(IDC_STATIC_ICON) == 0) << "an earlier package's icon is shown";

    PostMessageA(m_app.Item(IDC_LINK_PERMISSIONS), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    PostMessageA(m_app.Item(IDC_LINK_PERMISSIONS), WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    HWND hwndBox = m_app.WaitDialog("APK权限列表");
    RECT rcBox = {}, rcWork = {};
    ASSERT_TRUE(hwndBox && GetWindowRect(hwndBox, &rcBox) && SystemParametersInfoA(SPI_GETWORKAREA, 0, &rcWork, 0));
    EXPECT_LE(rcBox.bottom - rcBox.top, rcWork.bottom - rcWork.top) << "the box's button is off the screen";
    ASSERT_TRUE(m_app.AnswerDialog(hwndBox, IDOK));
    EXPECT_TRUE(CloseCleanly());
    DeleteFileA((szTemp + std::string("com.norvale.demo1.2.png")).c_str());
}

TEST_F(WindowTest, APackageChosenInTheFileDialogIsReadOnceAndAsItself) {
    // aapt names each package after its file: a read begun as the user points
    // at a package, or as they confirm it, is of the package then shown, and
    // the package is not read again unless its file changed in between.
    std::string strAapt;
    for (const char* pszName : {"a", "b"})
        strAapt += Rule(std::string(pszName) + ".apk", std::string("package: name='com.") + pszName +
                                                           "' versionName='1'\napplication: label='" + pszName + "'\n");
    ASSERT_TRUE(m_app.SetScript("aapt", strAapt));
    const std::string A = MakePackage("p", "a.apk"), B = MakePackage("p", "b.apk");
    const std::string strBundle = MakePackage("p", "c.apks"), strFolder = m_app.MakeFolder("p\\folder.apk");
    ASSERT_TRUE(StartWith(A) && m_app.Text(IDC_STATIC_NAME) == "a");
    auto reads = [&] { return m_app.ToolArgs("aapt").size(); };
    auto waitReads = [&](size_t nReads, const std::string& strLast) {
        return WaitUntil([&] { return reads() == nReads; }) && m_app.ToolArgs("aapt").back().find(strLast) != std::string::npos;
    };
    auto openDialog = [&] {
        return m_app.PostClick(IDC_BTN_SELECT) ? m_app.WaitDialog() : HWND(NULL);
    };
    // Pointed at, a bundle and a folder named as a package start nothing; B
    // is read as it is pointed at, and once.
    HWND hwndDialog = openDialog();
    ASSERT_TRUE(hwndDialog);
    for (const std::string& strPath : {strBundle, strFolder, B}) ASSERT_TRUE(m_app.PointFileDialogAt(hwndDialog, strPath));
    ASSERT_TRUE(waitReads(2, "b.apk")) << "not read as pointed at, or the folder or bundle was";
    ASSERT_TRUE(m_app.AnswerDialog(hwndDialog, IDOK) && m_app.WaitText(IDC_STATIC_NAME, "b"));
    EXPECT_EQ(2u, reads()) << "the package pointed at was read again";

    // A pointed at, then written to before it is confirmed: read again.
    ASSERT_TRUE((hwndDialog = openDialog()) && m_app.PointFileDialogAt(hwndDialog, A) && waitReads(3, "a.apk"));
    ASSERT_TRUE(WriteFileBytes(A, std::string(2048, 'Q')));
    ASSERT_TRUE(m_app.AnswerDialog(hwndDialog, IDOK) && m_app.WaitText(IDC_STATIC_NAME, "a"));
    EXPECT_TRUE(waitReads(4, "a.apk")) << "a changed package shown from its earlier read";
    // Pointed at A, B typed and confirmed: B is read as confirmed, and once.
    ASSERT_TRUE((hwndDialog = openDialog()) && m_app.PointFileDialogAt(hwndDialog, A) && waitReads(5, "a.apk"));
    ASSERT_TRUE(m_app.AnswerFileDialog(hwndDialog, B) && m_app.WaitText(IDC_STATIC_NAME, "b"));
    EXPECT_TRUE(waitReads(6, "b.apk") && m_app.Sync() && reads() == 6u);

    EXPECT_TRUE(CloseCleanly());
}

TEST_F(WindowTest, TasksKeepTheirPackageHoldOtherCommandsAndEndPromptlyAtClose) {
    // aapt names each package after its file; a dropped list's first package counts.
    std::string strAapt;
    for (const char* pszName : {"a", "b", "c"})
        strAapt += Rule(std::string(pszName) + ".apk", std::string("package: name='com.") + pszName +
                                                           "' versionName='1'\napplication: label='" + pszName + "'\n");
    ASSERT_TRUE(m_app.SetScript("aapt", strAapt));
    UseAdb(true);
    const std::string A = MakePackage("a", "a.apk"), B = MakePackage("b", "b.apk"), C = MakePackage("c", "c.apk");
    const std::string strNotes = MakePackage("a", "notes.txt");
    ASSERT_TRUE(WriteFileBytes(Folder(C) + "install.apk", "the user's own file"));
    ASSERT_TRUE(StartWith(A));
    ASSERT_TRUE(m_app.Drop({m_app.MakeFolder("a\\folder.apk")}));
    EXPECT_EQ("所选的是文件夹，不是APK文件", m_app.Text(IDC_LINK_STATUS));
    ASSERT_TRUE(m_app.Drop({strNotes}));
    EXPECT_EQ("拖入的不是APK文件", m_app.Text(IDC_LINK_STATUS));

    // An install runs; B and then C are chosen and queued: the TV gets A, B, C
    // in that order, whatever the waiting orders race for.
    ASSERT_TRUE(m_app.Click(IDC_BTN_INSTALL));
    EXPECT_FALSE(m_app.IsEnabled(IDC_BTN_CONNECT)) << "Connect would cut the install short";
    EXPECT_TRUE(m_app.WaitEnabled(IDC_BTN_UNINSTALL, false));
    ASSERT_TRUE(m_app.Drop({strNotes, B, C}) && m_app.Text(IDC_STATIC_NAME) == "b");
    EXPECT_EQ("正在安装软件...", m_app.Text(IDC_LINK_STATUS));
    // Five quick presses for B queue one install and check the TV once.
    const size_t nChecks = AdbArgs("devices").size();
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(m_app.PostClick(IDC_BTN_INSTALL));
    ASSERT_TRUE(m_app.Sync());
    EXPECT_EQ(nChecks + 1, AdbArgs("devices").size()) << "each press re-ran the checks";
    EXPECT_EQ("该软件已在安装队列中，请稍候...", m_app.Text(IDC_LINK_STATUS));
    ASSERT_TRUE(m_app.Drop({C}) && m_app.Text(IDC_STATIC_NAME) == "c");
    ASSERT_TRUE(m_app.Click(IDC_BTN_INSTALL));
    ASSERT_TRUE(FinishAdb("install", 1) && FinishAdb("install", 2) && FinishAdb("install", 3));
    EXPECT_EQ((std::vector<std::string>{"install -r -s \"" + Folder(A) + "install.apk\"",
                                        "install -r -s \"" + Folder(B) + "install.apk\"", "install -r -s \"" + C + "\""}),
              AdbArgs("install"));
    EXPECT_TRUE(m_app.WaitEnabled(IDC_BTN_CONNECT, true));
    // The figures were read again once the installs were done.
    EXPECT_TRUE(m_app.WaitText(IDC_STATIC_SYSTEM_SIZE, "512M\r\n"));

    // The same for uninstalls: C's runs, A's waits while B is chosen.
    ASSERT_TRUE(m_app.Click(IDC_BTN_UNINSTALL));
    EXPECT_TRUE(m_app.WaitEnabled(IDC_BTN_INSTALL, false));  // the task says so as it starts
    ASSERT_TRUE(m_app.Drop({A}) && m_app.Click(IDC_BTN_UNINSTALL) && m_app.Drop({B}));
    ASSERT_TRUE(FinishAdb("uninstall", 1) && FinishAdb("uninstall", 2));
    EXPECT_EQ((std::vector<std::string>{"uninstall com.c", "uninstall com.a"}), AdbArgs("uninstall"));

    // Beside the user's own install.apk, C goes as it is, to the TV's own storage.
    ASSERT_TRUE(m_app.Drop({C}) && m_app.WaitEnabled(IDC_BTN_INSTALL, true) && m_app.SelectCombo(IDC_COMBO_LOCATION, 1));
    ASSERT_TRUE(m_app.Click(IDC_BTN_INSTALL) && WaitUntil([&] { return AdbArgs("install", ".held").size() == 4; }));
    EXPECT_EQ("install -r \"" + C + "\"", AdbArgs("install").back());
    // Closing with one install running and one waiting ends both at once. A
    // file the user put where Davrel's copy was is the user's: only A's copy goes.
    ASSERT_TRUE(m_app.Click(IDC_BTN_INSTALL));
    ASSERT_TRUE(WriteFileBytes(Folder(B) + "install.apk", "the user's own file"));
    EXPECT_TRUE(CloseCleanly(8000)) << "exit code " << std::hex << m_app.ExitCode();
    EXPECT_EQ(4u, AdbArgs("install").size()) << "the waiting install ran after all";
    std::string strB, strC;
    EXPECT_TRUE(ReadFileBytes(Folder(B) + "install.apk", strB) && ReadFileBytes(Folder(C) + "install.apk", strC));
    EXPECT_EQ(strB + strC, "the user's own filethe user's own file");
    EXPECT_FALSE(FileExists(Folder(A) + "install.apk"));
}

TEST_F(WindowTest, TheTypedTvAloneCountsAndACarelessAddressNeverReachesAdb) {
    ASSERT_TRUE(m_app.SetScript("adb", Rule(" connect ", "connected to 192.168.1.20:5555\n") +
                                           Rule(" devices", "List of devices attached\nemulator-5554\tdevice\n"
                                                            "0123456789ABCDEF\tdevice\n") +
                                           Rule(" install ", "Success\r\n")));
    ASSERT_TRUE(StartWith(MakePackage("a", "a.apk")));
    // Two devices and no address: the user must say which.
    EXPECT_EQ("电视未连接：电脑连接了多台设备，请输入电视的IP地址后点击\"连接设备\"", m_app.Text(IDC_LINK_STATUS));
    for (const char* pszTyped : {"127.0.0.1 -s x", ";rm -rf /", "192.168.l.5", "192.168.1.5:0"}) {
        ASSERT_TRUE(m_app.SetText(IDC_EDIT_ADDRESS, pszTyped) && m_app.Click(IDC_BTN_CONNECT));
        EXPECT_EQ("电视未连接：电视IP地址无效，请检查后重新输入", m_app.Text(IDC_LINK_STATUS)) << pszTyped;
    }
    EXPECT_TRUE(AdbArgs("connect").empty());
    // The typed TV connects but is not listed: other ready devices do not make it so.
    ASSERT_TRUE(m_app.SetText(IDC_EDIT_ADDRESS, "１９２．１６８．１．２０") && m_app.Click(IDC_BTN_CONNECT));
    EXPECT_TRUE(m_app.WaitText(IDC_LINK_STATUS, "电视未连接：此地址没有电视响应，请检查IP和电视的网络调试"));
    EXPECT_EQ((std::vector<std::string>{"connect 192.168.1.20:5555"}), AdbArgs("connect"));
    ASSERT_TRUE(m_app.WaitEnabled(IDC_BTN_CONNECT, true) && m_app.Click(IDC_BTN_INSTALL));
    EXPECT_EQ("电视未连接：此地址没有电视响应，请检查IP和电视的网络调试", m_app.Text(IDC_LINK_STATUS));
    EXPECT_TRUE(AdbArgs("install").empty());
    // A connect that never returns (no host at the address) is ended at the
    // limit; adb's server still answers, so it is not restarted.
    ASSERT_TRUE(m_app.SetScript("adb", Rule(" connect ", "", true) +
                                           Rule(" devices", "List of devices attached\nemulator-5554\tdevice\n")));
    ASSERT_TRUE(m_app.SetText(IDC_LINK_STATUS, "") && m_app.Click(IDC_BTN_CONNECT));
    EXPECT_TRUE(m_app.WaitText(IDC_LINK_STATUS, "电视未连接：此地址没有电视响应，请检查IP和电视的网络调试", 20000));
    EXPECT_TRUE(AdbArgs("kill-server").empty());
    EXPECT_TRUE(CloseCleanly());
}

TEST_F(WindowTest, SaysWhyWhenAdbCannotStartOrTheTvStopsAnswering) {
    ASSERT_TRUE(m_app.Start());
    const std::string NOT_CONNECTED = "电视未连接：";
    // A TV that adb can no longer reach when the figures are read: not connected, and no figures.
    ASSERT_TRUE(m_app.SetScript("adb", Rule(" devices", "List of devices attached\n192.168.1.20:5555\tdevice\n") +
                                           Rule(" shell ", "error: device '192.168.1.20:5555' not found\n")));
    ASSERT_TRUE(m_app.Click(IDC_BTN_REFRESH));
    EXPECT_EQ(NOT_CONNECTED + "adb.exe出错：error: device '192.168.1.20:5555' not found", m_app.Text(IDC_LINK_STATUS));
    EXPECT_EQ("", m_app.Text(IDC_STATIC_SYSTEM_SIZE));
    // A TV that answers the device list, then nothing: one storage query waits, not eight.
    ASSERT_TRUE(m_app.SetScript("adb", Rule(" devices", "List of devices attached\n192.168.1.20:5555\tdevice\n") +
                                           Rule(" shell ", "", true)));
    const size_t nShellRuns = AdbArgs("shell").size();
    ASSERT_TRUE(m_app.Click(IDC_BTN_REFRESH));
    EXPECT_EQ(NOT_CONNECTED + "电视没有响应，请检查电视的网络后点击\"刷新\"", m_app.Text(IDC_LINK_STATUS));
    EXPECT_EQ(nShellRuns + 1, AdbArgs("shell").size());
    ASSERT_TRUE(m_app.SetScript("adb", Rule(" devices", "", true)));
    ASSERT_TRUE(m_app.Click(IDC_BTN_INSTALL));
    EXPECT_EQ(NOT_CONNECTED + "adb.exe超时未结束，电视可能没有响应", m_app.Text(IDC_LINK_STATUS));
    ASSERT_TRUE(WriteFileBytes(m_app.ToolPath("adb"), "not a program"));
    ASSERT_TRUE(m_app.Click(IDC_BTN_UNINSTALL));
    EXPECT_EQ(NOT_CONNECTED + "无法启动adb.exe", m_app.Text(IDC_LINK_STATUS));
    EXPECT_TRUE(CloseCleanly());
}

// The text of a message box (its static controls), for what it names.
std::string BoxText(HWND hwndBox) {
    std::string strText;
    char szText[1024];
    for (HWND hwnd = NULL; (hwnd = FindWindowExA(hwndBox, hwnd, "Static", NULL));)
        if (SendMessageA(hwnd, WM_GETTEXT, sizeof szText, reinterpret_cast<LPARAM>(szText)) > 0) strText += szText;
    return strText;
}

TEST_F(WindowTest, TheTvsVersionShowsAndAnOlderOneOrAnotherKeyIsTheUsersChoice) {
    ASSERT_TRUE(m_app.SetScript("aapt", Rule(" d badging \"", u8"package: name='com.norvale.demo' versionCode='3' versionName='1.2'\n"
                                                               u8"application: label='演示播放器' icon='res/i.png'\n")));
    auto tvWith = [&](const std::string& strCode, const std::string& strInstall) {
        return m_app.SetScript("adb", Rule(" devices", "List of devices attached \r\n192.168.1.20:5555\tdevice\r\n") +
                                          Rule(" dumpsys package com.norvale.demo", "Packages:\r\n  Package [com.norvale.demo] (41a5e2d8):\r\n"
                                               "    versionCode=" + strCode + " targetSdk=17\r\n    versionName=4.9.0\r\n") +
                                          Rule(" -d ", "\tpkg: /data/local/tmp/install.apk\r\nFailure [INSTALL_FAILED_VERSION_DOWNGRADE]\r\n") +
                                          Rule(" install ", strInstall) + Rule(" uninstall ", "Success\r\n") +
                                          Rule(" getprop", "[ro.build.version.release]: [4.1.2]\r\n"
                                               "[ro.build.version.sdk]: [16]\r\n[ro.product.cpu.abi]: [armeabi-v7a]\r\n") +
                                          Rule(" shell ", "512M\r\n"));
    };
    ASSERT_TRUE(tvWith("49", "Success\r\n"));
    const std::string A = MakePackage("a", "a.apk"), COPY = "\"" + Folder(A) + "install.apk\"";
    ASSERT_TRUE(StartWith(A));
    EXPECT_TRUE(m_app.WaitText(IDC_STATIC_INSTALLED, "电视上已安装：4.9.0"));
    // An older version over the TV's: No sends nothing.
    ASSERT_TRUE(m_app.WaitEnabled(IDC_BTN_CONNECT, true) && m_app.PostClick(IDC_BTN_INSTALL));
    HWND hwndBox = m_app.WaitDialog("Davrel");
    ASSERT_TRUE(hwndBox);
    const std::string strAsked = BoxText(hwndBox);
    EXPECT_NE(std::string::npos, strAsked.find("4.9.0")) << strAsked;
    EXPECT_NE(std::string::npos, strAsked.find("1.2")) << strAsked;
    ASSERT_TRUE(m_app.AnswerDialog(hwndBox, IDNO));
    EXPECT_TRUE(m_app.WaitText(IDC_LINK_STATUS, "已取消安装"));
    EXPECT_TRUE(AdbArgs("install").empty() && AdbArgs("uninstall").empty());
    // Yes: -d; the TV refuses it still, and Yes to the next question removes its copy first.
    ASSERT_TRUE(m_app.PostClick(IDC_BTN_INSTALL) && (hwndBox = m_app.WaitDialog("Davrel")));
    ASSERT_TRUE(m_app.AnswerDialog(hwndBox, IDYES));
    ASSERT_TRUE(WaitUntil([&] { return m_app.OtherWindows().empty(); }) && (hwndBox = m_app.WaitDialog("Davrel")));
    EXPECT_NE(std::string::npos, BoxText(hwndBox).find("数据将全部丢失"));
    ASSERT_TRUE(m_app.AnswerDialog(hwndBox, IDYES));
    EXPECT_TRUE(m_app.WaitText(IDC_LINK_STATUS, "软件安装完成"));
    EXPECT_EQ((std::vector<std::string>{"install -r -d -s " + COPY, "install -r -s " + COPY}), AdbArgs("install"));
    EXPECT_EQ((std::vector<std::string>{"uninstall com.norvale.demo"}), AdbArgs("uninstall"));

    // Another key, on a TV with the same version: asked after the refusal; No keeps the reason.
    ASSERT_TRUE(tvWith("3", "Failure [INSTALL_FAILED_UPDATE_INCOMPATIBLE: Package com.norvale.demo signatures do not "
                            "match the previously installed version; ignoring!]\r\n"));
    ASSERT_TRUE(m_app.WaitEnabled(IDC_BTN_CONNECT, true) && m_app.Click(IDC_BTN_REFRESH));
    ASSERT_TRUE(m_app.WaitEnabled(IDC_BTN_CONNECT, true) && m_app.PostClick(IDC_BTN_INSTALL));
    ASSERT_TRUE((hwndBox = m_app.WaitDialog("Davrel")));
    EXPECT_NE(std::string::npos, BoxText(hwndBox).find("签名")) << "the downgrade question for the same version";
    ASSERT_TRUE(m_app.AnswerDialog(hwndBox, IDNO));
    EXPECT_TRUE(m_app.WaitText(IDC_LINK_STATUS, "软件安装失败：电视上的此软件签名不同，请先卸载电视上的版本（INSTALL_FAILED_UPDATE_INCOMPATIBLE）"));
    EXPECT_EQ(3u, AdbArgs("install").size());
    EXPECT_EQ(1u, AdbArgs("uninstall").size()) << "No removed the TV's copy";

    // A package the TV cannot take, as it described itself at connecting, is refused before sending.
    const struct { const char* pszLines; const char* pszStatus; } UNFIT[] = {
        {"sdkVersion:'17'\n", "软件安装失败：此软件需要Android 4.2或更高版本，电视是Android 4.1.2"},
        {"sdkVersion:'16'\nnative-code: 'arm64-v8a' 'x86_64'\n", "软件安装失败：此软件只支持arm64-v8a,x86_64的CPU，电视的CPU是armeabi-v7a"},
    };
    for (const auto& c : UNFIT) {
        ASSERT_TRUE(m_app.SetScript("aapt", Rule(" d badging \"", u8"package: name='com.norvale.demo' versionCode='3' versionName='1.2'\n"
                                                                   u8"application: label='演示播放器'\n" + std::string(c.pszLines))));
        ASSERT_TRUE(m_app.Drop({A}) && m_app.WaitEnabled(IDC_BTN_CONNECT, true) && m_app.Click(IDC_BTN_INSTALL));
        EXPECT_EQ(c.pszStatus, m_app.Text(IDC_LINK_STATUS));
    }
    EXPECT_EQ(3u, AdbArgs("install").size());
    const std::vector<std::string> shells = AdbArgs("shell");
    EXPECT_EQ(1, std::count_if(shells.begin(), shells.end(), [](const std::string& s) { return s.find("getprop") != std::string::npos; }))
        << "the TV's properties once per connection";
    EXPECT_TRUE(CloseCleanly());
}

// The about box names the version the program was built as; the check box
// shows what is registered, not what was clicked, and stores that.
TEST_F(WindowTest, AboutBoxShowsTheBuiltVersionAndTheCheckBoxWhatIsRegistered) {
    ASSERT_TRUE(m_app.Start() && m_app.PostClick(IDC_BTN_ABOUT));
    HWND hwndAbout = m_app.WaitDialog("关于Davrel");
    ASSERT_TRUE(hwndAbout);
    const std::string strVersion = std::string("Davrel，") + DAVREL_VERSION_TEXT + " 版";
    char szText[256] = {0};
    for (HWND hwnd = NULL; strVersion != szText && (hwnd = FindWindowExA(hwndAbout, hwnd, "Static", NULL));)
        SendMessageA(hwnd, WM_GETTEXT, sizeof szText, reinterpret_cast<LPARAM>(szText));
    EXPECT_EQ(strVersion, szText) << "not among the about box's texts";
    ASSERT_TRUE(m_app.AnswerDialog(hwndAbout, IDOK) && WaitUntil([&] { return !IsWindow(hwndAbout); }));

    // Another program's .apk that may not be written: ticking takes nothing.
    RegSetKeyValueA(HKEY_CLASSES_ROOT, ".apk", NULL, REG_SZ, "Other.apk", 10);
    LockKey(HKEY_CLASSES_ROOT, ".apk", true);
    const int CHECKED = BST_CHECKED;
    EXPECT_TRUE(m_app.Click(IDC_CHK_ASSOCIATE));  // no ASSERT while the key is locked
    EXPECT_NE(CHECKED, SendMessageA(m_app.Item(IDC_CHK_ASSOCIATE), BM_GETCHECK, 0, 0));
    EXPECT_EQ(0u, ReadSavedFlag());
    LockKey(HKEY_CLASSES_ROOT, ".apk", false);
    ASSERT_TRUE(m_app.Click(IDC_CHK_ASSOCIATE));
    EXPECT_EQ(CHECKED, SendMessageA(m_app.Item(IDC_CHK_ASSOCIATE), BM_GETCHECK, 0, 0));
    EXPECT_EQ(1u, ReadSavedFlag());
    EXPECT_TRUE(m_app.Click(IDC_CHK_ASSOCIATE) && CloseCleanly());
    RegDeleteTreeA(HKEY_CLASSES_ROOT, ".apk");
}

}  // namespace
