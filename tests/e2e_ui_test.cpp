// Davrel end to end: the real program, driven through its window, with the
// real aapt, the adb bridge to Debian's adb and a simulated TV (started by
// devtools/e2e/helpers.sh as ctest's fixture). What the TV received is read
// back from its record.
#include "support/RealTools.h"
#include "support/SavedSettings.h"
#include <gtest/gtest.h>
#include "resources/resource.h"

namespace {

// The real package as the window shows it (6,419,064 bytes, minSdkVersion 17).
const char SAMPLE_PACKAGE[] = "io.appium.android.apis";
const char* const SAMPLE_SHOWN[] = {"API Demos", SAMPLE_PACKAGE, "5.0.0", "Android 4.2", "6.12MB"};

// The TV's mount table, and the figures the window shows for it: /system
// and /data size and available, then the SD card's two partitions.
const char MOUNTS[] =
    "[{\"filesystem\": \"/dev/block/mtdblock0\", \"size\": \"300.0M\", \"used\": \"200.0M\","
    "  \"available\": \"100.0M\", \"mounted_on\": \"/system\"},"
    " {\"filesystem\": \"/dev/block/mtdblock2\", \"size\": \"2.0G\", \"used\": \"1.1G\","
    "  \"available\": \"900.5M\", \"mounted_on\": \"/data\"},"
    " {\"filesystem\": \"/dev/block/vold/179:1\", \"size\": \"7.4G\", \"used\": \"2.0G\","
    "  \"available\": \"5.4G\", \"mounted_on\": \"/mnt/sdcard\"},"
    " {\"filesystem\": \"/dev/block/vold/179:2\", \"size\": \"1.5G\", \"used\": \"12.0M\","
    "  \"available\": \"1.4G\", \"mounted_on\": \"/data/sdext2\"}]";
const std::string SHOWN_FIGURES = "300.0M 100.0M 2.0G 900.5M 7.4G 5.4G 1.5G 1.4G ";

const DWORD TV_WAIT_MS = 60000;  // installs and uninstalls take a TV a moment

std::string TvConfig(const std::string& strMore = "") {
    return std::string("{\"mounts\": ") + MOUNTS + ", \"reinstall\": \"replace\", \"delays\": {\"install\": 1}" +
           strMore + "}";
}

std::string Field(const TvEvent& event, const char* pszName) {
    auto it = event.find(pszName);
    return it == event.end() ? std::string() : it->second;
}

bool StartsWith(const std::string& strText, const char* pszPrefix) {
    return strText.compare(0, strlen(pszPrefix), pszPrefix) == 0;
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
            return !strStatus.empty() && !StartsWith(strStatus, "正在");
        }, TV_WAIT_MS);
        EXPECT_TRUE(m_app.WaitEnabled(nOther, true));
        return m_app.Text(IDC_LINK_STATUS);
    }
    std::string Install(int nLocation) {
        EXPECT_TRUE(m_app.SelectCombo(IDC_COMBO_LOCATION, nLocation));
        return RunTask(IDC_BTN_INSTALL, IDC_BTN_UNINSTALL);
    }

    std::string StorageShown() const {
        std::string strFigures;
        for (int nId = IDC_STATIC_SYSTEM_SIZE; nId <= IDC_STATIC_SDEXT2_FREE; ++nId) {
            if (nId == IDC_BTN_REFRESH) continue;
            std::string strText = m_app.Text(nId);
            strText.erase(strText.find_last_not_of(" \r\n") + 1);
            strFigures += strText + " ";
        }
        return strFigures;
    }

    CDavrelDriver m_app;
    std::string m_strPackage;
};

TEST_F(e2e, DetailsIconConnectInstallBothWaysAndUninstall) {
    const int DETAIL_IDS[] = {IDC_STATIC_NAME, IDC_STATIC_PACKAGE, IDC_STATIC_VERSION, IDC_STATIC_SDK,
                              IDC_STATIC_SIZE};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(SAMPLE_SHOWN[i], m_app.Text(DETAIL_IDS[i]));
    EXPECT_TRUE(WaitUntil([&] { return StartsWith(m_app.Text(IDC_LINK_STATUS), "电视未连接"); }))
        << m_app.Text(IDC_LINK_STATUS);

    // The icon file holds the package's PNG, and the picture control shows
    // more than the dialog's face.
    char szTemp[MAX_PATH] = {0};
    GetTempPathA(MAX_PATH, szTemp);
    std::string strIcon;
    EXPECT_TRUE(ReadFileBytes(std::string(szTemp) + SAMPLE_PACKAGE + "5.0.0.png", strIcon));
    EXPECT_EQ(0u, strIcon.find("\x89PNG\r\n\x1a\n"));
    RECT rc = {};
    GetWindowRect(m_app.Item(IDC_STATIC_ICON), &rc);
    EXPECT_TRUE(WaitUntil([&] {
        HDC hScreen = GetDC(NULL);
        int nDrawn = 0, nPoints = 0;
        for (int y = rc.top + 2; y < rc.bottom - 2; y += 4)
            for (int x = rc.left + 2; x < rc.right - 2; x += 4, ++nPoints)
                nDrawn += GetPixel(hScreen, x, y) != GetSysColor(COLOR_3DFACE);
        ReleaseDC(NULL, hScreen);
        return nPoints > 20 && nDrawn * 4 > nPoints;
    })) << "no icon on the screen";

    ASSERT_TRUE(m_app.PostLinkClick(IDC_LINK_PERMISSIONS));
    HWND hwndBox = m_app.WaitDialog("APK权限列表");
    const std::string strList = CDavrelDriver::DialogText(hwndBox);
    EXPECT_TRUE(strList.find("允许访问网络") != std::string::npos && strList.find("允许发送短信") != std::string::npos)
        << strList;
    CDavrelDriver::AnswerDialog(hwndBox, IDOK);
    ASSERT_TRUE(WaitUntil([&] { return m_app.OtherWindows().empty(); }));

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
        const TvEvent& event = installs[nBefore + i];
        EXPECT_EQ(i == 0 ? "sdcard" : "internal", Field(event, "location"));
        EXPECT_EQ(SAMPLE_PACKAGE, Field(event, "package"));
        EXPECT_EQ("6419064", Field(event, "size"));
        EXPECT_EQ(strSha, Field(event, "sha256")) << "the TV got other bytes than the package's";
        EXPECT_EQ("Success", Field(event, "result"));
    }

    EXPECT_EQ("软件卸载完成", RunTask(IDC_BTN_UNINSTALL, IDC_BTN_INSTALL));
    ASSERT_FALSE(TvEvents("uninstall").empty());
    EXPECT_EQ(SAMPLE_PACKAGE, Field(TvEvents("uninstall").back(), "package"));
    // Gone now: the TV refuses a second time.
    EXPECT_TRUE(StartsWith(RunTask(IDC_BTN_UNINSTALL, IDC_BTN_INSTALL), "软件卸载失败"));
}

TEST_F(e2e, AFailingInstallSaysWhyAndAnOfflineTvIsNotConnected) {
    ASSERT_TRUE(ConfigureTv(TvConfig(", \"failures\": {\"install\": \"INSTALL_FAILED_INSUFFICIENT_STORAGE\"}")));
    ASSERT_NO_FATAL_FAILURE(Connect());
    const std::string strStatus = Install(0);
    EXPECT_TRUE(StartsWith(strStatus, "软件安装失败："));
    EXPECT_NE(std::string::npos, strStatus.find("INSTALL_FAILED_INSUFFICIENT_STORAGE")) << strStatus;
    ASSERT_FALSE(TvEvents("install").empty());
    EXPECT_EQ("Failure [INSTALL_FAILED_INSUFFICIENT_STORAGE]", Field(TvEvents("install").back(), "result"));

    ASSERT_TRUE(ConfigureTv(TvConfig(", \"mode\": \"offline\"")));
    // adb notices a dropped TV within a moment.
    EXPECT_TRUE(WaitUntil([&] {
        return m_app.Click(IDC_BTN_REFRESH) && StartsWith(m_app.Text(IDC_LINK_STATUS), "电视未连接");
    }, 20000)) << m_app.Text(IDC_LINK_STATUS);
}

}  // namespace
