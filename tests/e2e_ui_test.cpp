// Davrel end to end: the real program, driven through its window, with the
// real aapt, the adb bridge to Debian's adb and a simulated TV (started by
// devtools/e2e/helpers.sh as ctest's fixture). What the TV received is read
// back from its record.
#include "support/RealTools.h"
#include "support/SavedSettings.h"
#include <gtest/gtest.h>
#include "resources/resource.h"
#include "framework/TextConvert.h"

namespace {

// The real package as the window shows it (6,419,064 bytes, minSdkVersion 17).
const char SAMPLE_PACKAGE[] = "io.appium.android.apis";
const char* const SAMPLE_SHOWN[] = {"API Demos", SAMPLE_PACKAGE, "5.0.0", "Android 4.2", "6.12MB"};

// The storage figures the window shows for the TV's default mount table:
// /system and /data size and available, then the SD card's two partitions.
const std::string SHOWN_FIGURES = "250.0M 69.8M 1.2G 816.7M 3.7G 2.6G 996.0M 975.9M ";

const DWORD TV_WAIT_MS = 60000;  // installs and uninstalls take a TV a moment

std::string TvConfig(const std::string& strMore = "") {
    return "{\"reinstall\": \"replace\", \"delays\": {\"install\": 1}" + strMore + "}";
}

class e2e : public ::testing::Test {  // named so that "ctest -R e2e" finds these tests
protected:
    void SetUp() override {
        ASSERT_EQ("", RealToolsProblem());
        ASSERT_TRUE(m_app.Ready() && UseRealTools(m_app));
        ASSERT_TRUE(WriteSavedSettings(0, NULL));
        ASSERT_TRUE(ConfigureTv(TvConfig()));
        RunDataTool(m_app, "adb", "kill-server");  // no TV connection left over from an earlier test
        // A folder name with a blank and Chinese, which the tools must get whole.
        m_strPackage = m_app.MakeFolder("安装 包") + "\\ApiDemos-debug.apk";
        ASSERT_TRUE(CopyFileA(SamplePackage().c_str(), m_strPackage.c_str(), FALSE));
        ASSERT_TRUE(m_app.Start("\"" + m_strPackage + "\""));
    }

    void Connect() {
        ASSERT_TRUE(m_app.SetText(IDC_EDIT_ADDRESS, TvAddress()));
        ASSERT_TRUE(m_app.Click(IDC_BTN_CONNECT));
        ASSERT_TRUE(m_app.WaitText(IDC_LINK_STATUS, "电视连接良好")) << m_app.Text(IDC_LINK_STATUS);
    }

    // Presses a task's button and returns the task's last word. The status
    // is cleared first, so that an earlier text cannot pass for this one's.
    std::string RunTask(int nButton, int nOther) {
        m_app.SetText(IDC_LINK_STATUS, "");
        EXPECT_TRUE(m_app.Click(nButton));
        WaitUntil([&] {
            const std::string strStatus = m_app.Text(IDC_LINK_STATUS);
            return !strStatus.empty() && strStatus.find("正在") != 0;
        }, TV_WAIT_MS);
        EXPECT_TRUE(m_app.WaitEnabled(nOther, true));
        return m_app.Text(IDC_LINK_STATUS);
    }
    std::string Install(int nLocation) {
        EXPECT_TRUE(m_app.SelectCombo(IDC_COMBO_LOCATION, nLocation));
        return RunTask(IDC_BTN_INSTALL, IDC_BTN_UNINSTALL);
    }

    std::string StorageShown() const {  // each figure without its line end, then a blank
        std::string strFigures;
        for (int nId = IDC_STATIC_SYSTEM_SIZE; nId <= IDC_STATIC_SDEXT2_FREE; ++nId)
            if (nId != IDC_BTN_REFRESH) strFigures += m_app.Text(nId).substr(0, m_app.Text(nId).find_first_of("\r\n")) + " ";
        return strFigures;
    }

    CDavrelDriver m_app;
    std::string m_strPackage;
};

TEST_F(e2e, DetailsIconConnectInstallBothWaysAndUninstall) {
    for (int i = 0; i < 5; ++i) EXPECT_EQ(SAMPLE_SHOWN[i], m_app.Text(IDC_STATIC_NAME + i));  // name to size
    EXPECT_TRUE(WaitUntil([&] { return m_app.Text(IDC_LINK_STATUS).find("电视未连接") == 0; }))
        << m_app.Text(IDC_LINK_STATUS);

    // The picture control shows the package's icon: much more than the dialog's face.
    EXPECT_TRUE(WaitUntil([&] { return m_app.DrawnShare(IDC_STATIC_ICON) > 0.25; })) << "no icon on the screen";

    ASSERT_NO_FATAL_FAILURE(Connect());
    EXPECT_EQ(SHOWN_FIGURES, StorageShown());
    std::string strSaved;
    EXPECT_TRUE(ReadSavedAddress(strSaved) && strSaved == TvAddress()) << strSaved;
    ASSERT_FALSE(TvEvents("connect").empty());

    // Exactly the package's bytes, on the SD card and then on the TV.
    const size_t nBefore = TvEvents("install").size();
    EXPECT_EQ("软件安装完成", Install(0));
    EXPECT_EQ("软件安装完成", Install(1));
    std::vector<TvEvent> installs = TvEvents("install");
    ASSERT_EQ(nBefore + 2, installs.size());
    const std::string strSha = FileSha256(m_strPackage);
    for (int i = 0; i < 2; ++i) {
        TvEvent& event = installs[nBefore + i];
        EXPECT_EQ(i == 0 ? "sdcard" : "internal", event["location"]);
        EXPECT_EQ(SAMPLE_PACKAGE, event["package"]);
        EXPECT_EQ("6419064", event["size"]);
        EXPECT_EQ(strSha, event["sha256"]) << "the TV got other bytes than the package's";
        EXPECT_EQ("Success", event["result"]);
    }

    EXPECT_EQ("软件卸载完成", RunTask(IDC_BTN_UNINSTALL, IDC_BTN_INSTALL));
    ASSERT_FALSE(TvEvents("uninstall").empty());
    EXPECT_EQ(SAMPLE_PACKAGE, TvEvents("uninstall").back()["package"]);
    // Gone now: the TV refuses a second time.
    const std::string strRefused = RunTask(IDC_BTN_UNINSTALL, IDC_BTN_INSTALL);
    EXPECT_TRUE(strRefused.find("软件卸载失败：Failure [") == 0) << "without adb's words: " << strRefused;
}

TEST_F(e2e, AFailingInstallSaysWhyAndAnOfflineTvIsNotConnected) {
    ASSERT_TRUE(ConfigureTv(TvConfig(", \"failures\": {\"install\": \"INSTALL_FAILED_INSUFFICIENT_STORAGE\"}")));
    ASSERT_NO_FATAL_FAILURE(Connect());
    const std::string strStatus = Install(0);
    EXPECT_TRUE(strStatus.find("软件安装失败：") == 0);
    EXPECT_NE(std::string::npos, strStatus.find("INSTALL_FAILED_INSUFFICIENT_STORAGE")) << strStatus;
    ASSERT_FALSE(TvEvents("install").empty());
    EXPECT_EQ("Failure [INSTALL_FAILED_INSUFFICIENT_STORAGE]", TvEvents("install").back()["result"]);

    // Each way of not being connected says why.
    const std::string NOT_CONNECTED = "电视未连接：";
    ASSERT_TRUE(ConfigureTv(TvConfig(", \"mode\": \"offline\"")));
    EXPECT_TRUE(WaitUntil([&] {  // adb notices a dropped TV within a moment
        return m_app.Click(IDC_BTN_REFRESH) && m_app.Text(IDC_LINK_STATUS) == NOT_CONNECTED + "电视已离线，请重新点击\"连接设备\"";
    }, 20000)) << m_app.Text(IDC_LINK_STATUS);
    ASSERT_TRUE(ConfigureTv(TvConfig(", \"mode\": \"unauthorized\"")));
    ASSERT_TRUE(m_app.Click(IDC_BTN_CONNECT));
    EXPECT_TRUE(m_app.WaitText(IDC_LINK_STATUS, NOT_CONNECTED + "请在电视弹出的调试授权提示中选择\"允许\""))
        << m_app.Text(IDC_LINK_STATUS);
    ASSERT_TRUE(m_app.SetText(IDC_EDIT_ADDRESS, "127.0.0.1:9") && m_app.Click(IDC_BTN_CONNECT));  // nobody there
    EXPECT_TRUE(m_app.WaitText(IDC_LINK_STATUS, NOT_CONNECTED + "此地址没有电视响应，请检查IP和电视的网络调试"))
        << m_app.Text(IDC_LINK_STATUS);
}

TEST_F(e2e, PackagesOpenThroughTheAssociationWhateverTheirNames) {
    // Davrel registers itself at a start with the association chosen.
    ASSERT_TRUE(m_app.Close() && WriteSavedSettings(1, NULL) && m_app.Start() && m_app.Close());
    wchar_t szCommand[1024] = {0};
    DWORD cb = sizeof szCommand - sizeof(wchar_t);
    ASSERT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_CLASSES_ROOT, L"apkfile\\shell\\open\\command", NULL, RRF_RT_REG_SZ,
                                          NULL, szCommand, &cb));
    const std::wstring strProgram = L"\"" + AnsiToWide(m_app.ProgramDir()) + L"\\Davrel.exe\" ";
    ASSERT_EQ(strProgram + L"\"%1\"", szCommand);
    // Korean in a folder with blanks and Chinese; then a path over 260 characters.
    std::wstring strKorean = AnsiToWide(m_app.ProgramDir()) + L"\\내 앱 安装包";
    std::wstring strLong = L"\\\\?\\" + AnsiToWide(m_app.ProgramDir());
    for (int i = 0; i < 3; ++i) CreateDirectoryW((strLong += L"\\" + std::wstring(90, L'k' + i)).c_str(), NULL);
    ASSERT_TRUE(CreateDirectoryW(strKorean.c_str(), NULL));
    for (std::wstring strPackage : {strKorean + L"\\한국어 패키지.apk", strLong + L"\\ApiDemos.apk"}) {
        ASSERT_TRUE(CopyFileW(AnsiToWide(SamplePackage()).c_str(), strPackage.c_str(), FALSE));
        if (strPackage.compare(0, 4, L"\\\\?\\") == 0) strPackage.erase(0, 4);  // as the file manager passes it
        ASSERT_TRUE(m_app.StartW(L"\"" + strPackage + L"\""));
        EXPECT_EQ(SAMPLE_PACKAGE, m_app.Text(IDC_STATIC_PACKAGE)) << m_app.Text(IDC_LINK_STATUS);
        EXPECT_TRUE(WaitUntil([&] { return m_app.DrawnShare(IDC_STATIC_ICON) > 0.25; })) << "no icon on the screen";
        EXPECT_TRUE(m_app.Close());
    }
    WriteSavedSettings(0, NULL);
}

}  // namespace
