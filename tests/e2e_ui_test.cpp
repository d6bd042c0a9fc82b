// Davrel end to end: the real program, driven through its window, with the
// real aapt, the adb bridge to Debian's adb and a simulated TV (started by
// devtools/e2e/helpers.sh as ctest's fixture). What the TV received is read
// back from its record.
#include "support/RealTools.h"
#include "support/SavedSettings.h"
#include "support/ScreenCapture.h"
#include "support/TestImages.h"
#include "support/UiTest.h"

namespace {

// The real package as aapt describes it, and as the window shows it.
const char SAMPLE_LABEL[] = "API Demos";
const char SAMPLE_PACKAGE[] = "io.appium.android.apis";
const char SAMPLE_VERSION[] = "5.0.0";
const char SAMPLE_SDK[] = "Android 4.2";  // minSdkVersion 17
const char SAMPLE_SIZE[] = "6.12MB";      // 6,419,064 bytes

const char STATUS_READY[] = "软件已就绪，点击\"安装\"按钮进行安装...";

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
const int STORAGE_IDS[] = {IDC_STATIC_SYSTEM_SIZE, IDC_STATIC_SYSTEM_FREE, IDC_STATIC_DATA_SIZE,
                           IDC_STATIC_DATA_FREE,   IDC_STATIC_SDCARD_SIZE, IDC_STATIC_SDCARD_FREE,
                           IDC_STATIC_SDEXT2_SIZE, IDC_STATIC_SDEXT2_FREE};
const std::vector<std::string> SHOWN_FIGURES = {"300.0M", "100.0M", "2.0G", "900.5M",
                                                "7.4G",   "5.4G",   "1.5G", "1.4G"};

// Installs and uninstalls take a TV a moment; long enough here to see the
// window while they run.
const DWORD TV_WAIT_MS = 60000;

std::string TvConfig(const std::string& strMore = "") {
    return std::string("{\"mounts\": ") + MOUNTS + ", \"reinstall\": \"replace\", \"delays\": {\"install\": 1}" +
           strMore + "}";
}

std::string Field(const TvEvent& event, const char* pszName) {
    auto it = event.find(pszName);
    return it == event.end() ? std::string() : it->second;
}

// Of the points where the icon, stretched over the control as the window
// paints it, is opaque and differs from the dialog's face, the share that
// the screen shows in the icon's colour; nPoints tells how many there were.
double IconShown(const std::string& strIconFile, HWND hwndControl, int& nPoints) {
    nPoints = 0;
    ScreenPixels shot;
    if (!CaptureWindow(hwndControl, shot)) return 0;
    std::wstring strWide(strIconFile.begin(), strIconFile.end());  // an ASCII path
    Gdiplus::Bitmap icon(strWide.c_str());
    Gdiplus::Bitmap expected(shot.nWidth, shot.nHeight, PixelFormat32bppARGB);
    if (icon.GetLastStatus() != Gdiplus::Ok || expected.GetLastStatus() != Gdiplus::Ok) return 0;
    {
        Gdiplus::Graphics graphics(&expected);
        graphics.Clear(Gdiplus::Color(0, 0, 0, 0));
        graphics.DrawImage(&icon, 0, 0, shot.nWidth, shot.nHeight);
    }
    const COLORREF crFace = GetSysColor(COLOR_3DFACE);
    int nShown = 0;
    for (int y = 1; y < shot.nHeight - 1; y += 3) {
        for (int x = 1; x < shot.nWidth - 1; x += 3) {
            Gdiplus::Color colour;
            expected.GetPixel(x, y, &colour);
            COLORREF crIcon = RGB(colour.GetR(), colour.GetG(), colour.GetB());
            if (colour.GetA() != 255 || NearColour(crIcon, crFace, 30)) continue;
            ++nPoints;
            if (NearColour(shot.At(x, y), crIcon, 48)) ++nShown;
        }
    }
    return nPoints ? static_cast<double>(nShown) / nPoints : 0;
}

class CEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string strProblem = RealToolsProblem();
        ASSERT_EQ("", strProblem);
        ASSERT_TRUE(m_app.Ready());
        ASSERT_TRUE(UseRealTools(m_app));
        ASSERT_TRUE(WriteSavedSettings(0, NULL));
        ASSERT_TRUE(ConfigureTv(TvConfig()));
        // No TV connection left over from an earlier test.
        RunDataTool(m_app, "adb", "kill-server");
        // A folder name with a blank and Chinese, which the tools must get whole.
        m_strPackage = m_app.MakeFolder("安装 包") + "\\ApiDemos-debug.apk";
        ASSERT_TRUE(CopyFileA(SamplePackage().c_str(), m_strPackage.c_str(), FALSE));
        m_strAddress = TvAddress();
    }

    void StartWithPackage() {
        ASSERT_TRUE(m_app.Start("\"" + m_strPackage + "\""));
        ASSERT_EQ(SAMPLE_LABEL, m_app.Text(IDC_STATIC_NAME));
    }

    void Connect() {
        ASSERT_TRUE(m_app.SetText(IDC_EDIT_ADDRESS, m_strAddress));
        ASSERT_TRUE(m_app.Click(IDC_BTN_CONNECT));
        ASSERT_TRUE(m_app.WaitText(IDC_LINK_STATUS, "电视连接良好")) << m_app.Text(IDC_LINK_STATUS);
    }

    // Presses Install with the location index chosen and waits for the
    // task's last word. The status is cleared first, so that a text left
    // by an earlier command cannot pass for this one's.
    std::string Install(int nLocation) {
        EXPECT_TRUE(m_app.SelectCombo(IDC_COMBO_LOCATION, nLocation));
        m_app.SetText(IDC_LINK_STATUS, "");
        EXPECT_TRUE(m_app.Click(IDC_BTN_INSTALL));
        EXPECT_TRUE(m_app.WaitText(IDC_LINK_STATUS, "正在安装软件...")) << m_app.Text(IDC_LINK_STATUS);
        EXPECT_FALSE(m_app.IsEnabled(IDC_BTN_UNINSTALL)) << "Uninstall waits for the install";
        WaitUntil([&] { return m_app.Text(IDC_LINK_STATUS).find("正在") != 0; }, TV_WAIT_MS);
        EXPECT_TRUE(m_app.WaitEnabled(IDC_BTN_UNINSTALL, true));
        return m_app.Text(IDC_LINK_STATUS);
    }

    std::vector<std::string> StorageShown() const {
        std::vector<std::string> figures;
        for (int nId : STORAGE_IDS) figures.push_back(Trimmed(m_app.Text(nId)));
        return figures;
    }

    CGdiplusSession m_gdiplus;
    CDavrelDriver m_app;
    std::string m_strPackage;
    std::string m_strAddress;
};
// Named so that "ctest -R e2e" finds these tests.
typedef CEndToEnd e2e;

TEST_F(e2e, StartsWithARealPackageAndShowsItsDetailsIconAndPermissions) {
    ASSERT_NO_FATAL_FAILURE(StartWithPackage());
    EXPECT_EQ(SAMPLE_PACKAGE, m_app.Text(IDC_STATIC_PACKAGE));
    EXPECT_EQ(SAMPLE_VERSION, m_app.Text(IDC_STATIC_VERSION));
    EXPECT_EQ(SAMPLE_SDK, m_app.Text(IDC_STATIC_SDK));
    EXPECT_EQ(SAMPLE_SIZE, m_app.Text(IDC_STATIC_SIZE));
    // No TV was connected at start.
    EXPECT_TRUE(m_app.WaitText(IDC_LINK_STATUS, "电视未连接")) << m_app.Text(IDC_LINK_STATUS);

    char szTemp[MAX_PATH] = {0};
    GetTempPathA(MAX_PATH, szTemp);
    const std::string strIconFile = std::string(szTemp) + SAMPLE_PACKAGE + SAMPLE_VERSION + ".png";
    std::string strIcon;
    ASSERT_TRUE(ReadFileBytes(strIconFile, strIcon)) << strIconFile;
    EXPECT_EQ(0u, strIcon.find("\x89PNG\r\n\x1a\n")) << "the icon file holds the package's PNG";
    int nPoints = 0;
    double dShown = 0;
    WaitUntil([&] { return (dShown = IconShown(strIconFile, m_app.Item(IDC_STATIC_ICON), nPoints)) > 0.9; });
    EXPECT_GT(nPoints, 20);
    EXPECT_GT(dShown, 0.9) << "share of the icon's pixels on the screen";

    ASSERT_TRUE(m_app.PostLinkClick(IDC_LINK_PERMISSIONS));
    HWND hwndBox = m_app.WaitDialog("APK权限列表");
    ASSERT_TRUE(hwndBox);
    const std::string strList = CDavrelDriver::DialogText(hwndBox);
    EXPECT_NE(std::string::npos, strList.find("允许访问网络")) << strList;
    EXPECT_NE(std::string::npos, strList.find("允许发送短信")) << strList;
    CDavrelDriver::AnswerDialog(hwndBox, IDOK);
    EXPECT_TRUE(m_app.WaitNoDialog());
}

TEST_F(e2e, ConnectsToTheTypedAddressAndShowsTheTvStorage) {
    ASSERT_TRUE(m_app.Start());
    ASSERT_NO_FATAL_FAILURE(Connect());
    EXPECT_EQ(SHOWN_FIGURES, StorageShown());
    EXPECT_EQ(IDC_BTN_INSTALL, m_app.DefaultButton());
    ASSERT_FALSE(TvEvents("connect").empty());
    std::string strSaved;
    EXPECT_TRUE(ReadSavedAddress(strSaved));
    EXPECT_EQ(m_strAddress, strSaved);
}

TEST_F(e2e, InstallsExactlyThePackageOnTheSdCardAndOnTheTv) {
    const std::string strSha = FileSha256(m_strPackage);
    ASSERT_EQ(64u, strSha.size());
    ASSERT_NO_FATAL_FAILURE(StartWithPackage());
    ASSERT_NO_FATAL_FAILURE(Connect());
    const size_t nBefore = TvEvents("install").size();

    EXPECT_EQ("软件安装完成", Install(0));
    EXPECT_EQ("软件安装完成", Install(1));

    std::vector<TvEvent> installs = TvEvents("install");
    ASSERT_EQ(nBefore + 2, installs.size());
    const char* locations[] = {"sdcard", "internal"};
    for (int i = 0; i < 2; ++i) {
        const TvEvent& event = installs[nBefore + i];
        EXPECT_EQ(locations[i], Field(event, "location"));
        EXPECT_EQ(SAMPLE_PACKAGE, Field(event, "package"));
        EXPECT_EQ("6419064", Field(event, "size"));
        EXPECT_EQ(strSha, Field(event, "sha256")) << "the TV got other bytes than the package's";
        EXPECT_EQ("Success", Field(event, "result"));
    }
    // Storage figures were read again along with the install.
    EXPECT_EQ(SHOWN_FIGURES, StorageShown());
}

TEST_F(e2e, AFailedInstallShowsTheTvsReason) {
    ASSERT_TRUE(ConfigureTv(TvConfig(", \"failures\": {\"install\": \"INSTALL_FAILED_INSUFFICIENT_STORAGE\"}")));
    ASSERT_NO_FATAL_FAILURE(StartWithPackage());
    ASSERT_NO_FATAL_FAILURE(Connect());
    const std::string strStatus = Install(0);
    EXPECT_EQ(0u, strStatus.find("软件安装失败：")) << strStatus;
    EXPECT_NE(std::string::npos, strStatus.find("INSTALL_FAILED_INSUFFICIENT_STORAGE")) << strStatus;
    ASSERT_FALSE(TvEvents("install").empty());
    EXPECT_EQ("Failure [INSTALL_FAILED_INSUFFICIENT_STORAGE]", Field(TvEvents("install").back(), "result"));
}

TEST_F(e2e, UninstallsThePackageAndSaysWhenTheTvRefuses) {
    ASSERT_NO_FATAL_FAILURE(StartWithPackage());
    ASSERT_NO_FATAL_FAILURE(Connect());
    ASSERT_EQ("软件安装完成", Install(1));

    m_app.SetText(IDC_LINK_STATUS, "");
    ASSERT_TRUE(m_app.Click(IDC_BTN_UNINSTALL));
    EXPECT_TRUE(m_app.WaitText(IDC_LINK_STATUS, "软件卸载完成", TV_WAIT_MS)) << m_app.Text(IDC_LINK_STATUS);
    EXPECT_TRUE(m_app.WaitEnabled(IDC_BTN_INSTALL, true));
    std::vector<TvEvent> uninstalls = TvEvents("uninstall");
    ASSERT_FALSE(uninstalls.empty());
    EXPECT_EQ(SAMPLE_PACKAGE, Field(uninstalls.back(), "package"));
    EXPECT_EQ("Success", Field(uninstalls.back(), "result"));

    // Gone now: the TV refuses a second time.
    m_app.SetText(IDC_LINK_STATUS, "");
    ASSERT_TRUE(m_app.Click(IDC_BTN_UNINSTALL));
    EXPECT_TRUE(m_app.WaitText(IDC_LINK_STATUS, "软件卸载失败", TV_WAIT_MS)) << m_app.Text(IDC_LINK_STATUS);
    EXPECT_TRUE(m_app.WaitEnabled(IDC_BTN_INSTALL, true));
}

TEST_F(e2e, RefreshSaysNotConnectedOnceTheTvWentOffline) {
    ASSERT_TRUE(m_app.Start());
    ASSERT_NO_FATAL_FAILURE(Connect());
    ASSERT_TRUE(m_app.Click(IDC_BTN_REFRESH));
    EXPECT_EQ("电视连接良好", m_app.Text(IDC_LINK_STATUS));
    EXPECT_EQ(SHOWN_FIGURES, StorageShown());

    ASSERT_TRUE(ConfigureTv(TvConfig(", \"mode\": \"offline\"")));
    // adb notices a dropped TV within a moment.
    EXPECT_TRUE(WaitUntil(
        [&] { return m_app.Click(IDC_BTN_REFRESH) && m_app.Text(IDC_LINK_STATUS) == "电视未连接"; }, 20000))
        << m_app.Text(IDC_LINK_STATUS);
    EXPECT_EQ(IDC_BTN_CONNECT, m_app.DefaultButton());
}

}  // namespace
