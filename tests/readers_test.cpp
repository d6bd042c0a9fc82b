// What Davrel reads from the tools' output and the command lines it gives
// them, table by table over output captured from the real tools.
#include <gtest/gtest.h>
#include <windows.h>

#include "data/BadgingSamples.h"
#include "support/StandIn.h"
#include "tools/ApkTool.h"
#include "tools/BadgingReport.h"
#include "tools/DeviceReport.h"
#include "tools/FileSize.h"
#include "tools/ToolRunner.h"

namespace {

BadgingDetails Read(const std::string& strUtf8Report) {
    static CApkTool tool;  // for its permission table
    return ReadBadgingReport(Utf8ToAnsi(strUtf8Report.c_str(), int(strUtf8Report.size())), tool.m_mapPermissions);
}

TEST(Badging, DetailsAndEveryPermissionFormInReportOrder) {
    BadgingDetails old = Read(OLD_BADGING_REPORT);
    EXPECT_EQ("Demo|com.a.b|1.2|Android 2.2|res/drawable/icon.png",
              old.strLabel + "|" + old.strPackageName + "|" + old.strVersionName + "|" + old.strSdkVersion + "|" +
                  old.strIconEntry);
    // The package's own permission has no description and is left out.
    EXPECT_EQ("允许访问网络\n允许读取短信息(危险)\n允许访问网络\n", old.strPermissions);

    BadgingDetails current = Read(CURRENT_BADGING_REPORT);
    EXPECT_EQ("TV Player|com.example.tvplayer|3.4.15|Android 4.2",
              current.strLabel + "|" + current.strPackageName + "|" + current.strVersionName + "|" +
                  current.strSdkVersion);
    // "name=" lines, one with maxSdkVersion, and the sdk-23 form; implied
    // permissions and the package's own declaration are no requests.
    EXPECT_EQ("允许访问网络\n允许访问网络信息\n允许访问Wi-Fi网络状态信息\n保持进程在休眠时从屏幕消失\n"
              "开机自动运行(危险)\n允许读写SD卡数据\n允许弹出系统级窗口\n允许进入WIFI组播模式\n允许振动\n",
              current.strPermissions);

    // A failed dump empties everything, even fields read before it.
    BadgingDetails failed = Read(std::string(OLD_BADGING_REPORT) + "\nERROR: dump failed because no AndroidManifest.xml found\n");
    EXPECT_TRUE(failed.bDumpFailed);
    EXPECT_EQ("", failed.strLabel + failed.strPackageName + failed.strPermissions + failed.strIconEntry);
}

TEST(Badging, AdaptiveIconFallsBackToTheDensestRasterImage) {
    EXPECT_EQ("res/mipmap-xxxhdpi-v4/ic_launcher.png", Read(CURRENT_BADGING_REPORT).strIconEntry);
    const std::string strXml = "application: label='A' icon='res/mipmap-anydpi-v26/ic_launcher.xml'\n";
    const struct { const char* pszIcons; const char* pszEntry; } CASES[] = {
        // Any-density and no-density images only serve when nothing else does.
        {"application-icon-65535:'res/none.png'\napplication-icon-65534:'res/any.png'\n"
         "application-icon-120:'res/l.png'\napplication-icon-240:'res/m.JPG'\napplication-icon-480:'res/x.xml'\n",
         "res/m.JPG"},
        {"application-icon-65534:'res/any.png'\n", "res/any.png"},
        {"application-icon-160:'res/a.xml'\n", "res/mipmap-anydpi-v26/ic_launcher.xml"},  // no raster image
    };
    for (const auto& c : CASES) EXPECT_EQ(c.pszEntry, Read(c.pszIcons + strXml).strIconEntry) << c.pszIcons;
}

TEST(DeviceReport, DeviceListInstallAndUninstallOutcomes) {
    const struct { const char* pszOutput; bool bReady; } DEVICES[] = {
        {"List of devices attached\r\n192.168.1.20:5555\tdevice\r\n", true},
        {"List of devices attached\nemulator-5554\toffline\n0123456789ABCDEF       device product:tv model:X\n", true},
        {"List of devices attached\n192.168.1.20:5555\tunauthorized\n", false},
        {"List of devices attached\nmydevice-01\toffline\n", false},  // the word in a serial is no state
        {"List of devices attached\n192.168.1.20:5555\tdevices\n", false},
        {"List of devices attached\nadb: no devices/emulators found\n", false},
        {"192.168.1.20:5555\tdevice\n", false},  // no header
    };
    for (const auto& c : DEVICES) EXPECT_EQ(c.bReady, ReadDeviceList(c.pszOutput)) << c.pszOutput;

    const struct { const char* pszOutput; bool bSuccess; const char* pszReason; } INSTALLS[] = {
        {"1385 KB/s (2459 bytes in 0.001s)\r\n\tpkg: /data/local/tmp/install.apk\r\nSuccess\r\n", true, ""},
        {"Performing Streamed Install\nadb: failed to install install.apk: Failure [INSTALL_FAILED_ALREADY_EXISTS: "
         "Attempt to re-install com.a.b]\n",
         false, "Failure [INSTALL_FAILED_ALREADY_EXISTS: Attempt to re-install com.a.b]"},
        {"Success\nFailure [INSTALL_FAILED_INSUFFICIENT_STORAGE]\n", false, "Failure [INSTALL_FAILED_INSUFFICIENT_STORAGE]"},
        {"* daemon started successfully\nadb: error: failed to get feature set: no devices/emulators found", false,
         "adb: error: failed to get feature set: no devices/emulators found"},
        {"error: device offline\n", false, "error: device offline"},
        {"Performing Push Install\n", false, "Performing Push Install"},
        {"", false, ""},
    };
    for (const auto& c : INSTALLS) {
        InstallResult result = ReadInstallOutput(c.pszOutput);
        EXPECT_EQ(c.bSuccess, result.bSuccess) << c.pszOutput;
        if (!c.bSuccess) {
            EXPECT_EQ(c.pszReason, result.strReason) << c.pszOutput;
        }
    }

    EXPECT_TRUE(ReadUninstallOutput("Success\r\n"));
    for (const char* pszOutput : {"Success\nFailure [not installed for 0]\n", "Failure [DELETE_FAILED_INTERNAL_ERROR]\n",
                                  "error: device offline\n", ""})
        EXPECT_FALSE(ReadUninstallOutput(pszOutput)) << pszOutput;
}

TEST(DeviceReport, UnsafePackageNamesNeverReachAdb) {
    CTempDir dir;
    CApkTool tool;
    tool.m_strAdbPath = InstallStandIn(dir.Path(), "adb", "when *\nout Success\\r\\n");
    tool.m_strLabel = "Demo";
    for (const char* pszName : {"", "a.b; reboot", "a.b|reboot", "a.b\nreboot", "a.b$(reboot)", "a.b --user 0 c.d",
                                "com.电视"}) {
        EXPECT_FALSE(IsSafePackageName(pszName)) << pszName;
        tool.m_strPackageName = pszName;
        EXPECT_FALSE(tool.UninstallPackage()) << pszName;
    }
    EXPECT_TRUE(RecordedCalls(tool.m_strAdbPath).empty());
    tool.m_strPackageName = "com.example.tv_player2";
    EXPECT_TRUE(tool.UninstallPackage());
    ASSERT_EQ(1u, RecordedCalls(tool.m_strAdbPath).size());
    EXPECT_EQ("uninstall com.example.tv_player2", ArgumentsOf(RecordedCalls(tool.m_strAdbPath)[0]));
}

TEST(FileSize, ThreeDigitsLikeTheCRuntimeAndBeyondFourGigabytes) {
    const struct { unsigned long long n; const char* pszText; } CASES[] = {
        {0, "0.字节"}, {500, "500字节"}, {1000, "1.e+003字节"}, {1024, "1.KB"}, {1152, "1.13KB"},
        {1536, "1.5KB"}, {10235, "10.KB"}, {102912, "101KB"}, {1023488, "1.e+003KB"}, {1047552, "1.02e+003KB"},
        {3292529, "3.14MB"}, {129394278, "123MB"}, {4294967296ULL + 1536, "4.1e+003MB"},
        {5368709120ULL, "5.12e+003MB"},
    };
    for (const auto& c : CASES) EXPECT_EQ(c.pszText, FormatFileSize(c.n)) << c.n;

    // The package's own size is measured in 64 bits too (a sparse file).
    CTempDir dir;
    const std::string strBig = dir / "big.apk";
    HANDLE hFile = CreateFileA(strBig.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    LARGE_INTEGER end;
    end.QuadPart = 4294967296LL + 1536;
    const bool bMade = SetFilePointerEx(hFile, end, NULL, FILE_BEGIN) && SetEndOfFile(hFile);
    CloseHandle(hFile);
    if (!bMade) GTEST_SKIP() << "no room for a sparse 4 GiB file";
    CApkTool tool;
    tool.SetApkPath(strBig);
    tool.LoadPackageInfo();
    EXPECT_EQ("4.1e+003MB", tool.m_strFileSize);
}

TEST(BuildCommand, TheThirteenCommandLinesAndTheRefusals) {
    CApkTool tool;
    tool.m_strAdbPath = "C:\\T\\data\\adb.exe";
    tool.m_strAaptPath = "C:\\T\\data\\aapt.exe";
    tool.m_strApkPath = "D:\\x y.apk";
    tool.m_strLabel = "Demo";
    tool.m_strPackageName = "com.a.b";
    const std::string df = "shell \"busybox df -h|busybox grep ' ";
    const char* const ARGUMENTS[] = {
        "d badging \"D:\\x y.apk\"", "devices ", "install \"D:\\x y.apk\"", "install -s \"D:\\x y.apk\"",
        "uninstall com.a.b",
        "/system$'|busybox awk '{print $2}'\" ", "/system$'|busybox awk '{print $4}'\" ",
        "/data$'|busybox awk '{print $2}'\" ", "/data$'|busybox awk '{print $4}'\" ",
        "/mnt/sdcard$'|busybox awk '{print $1}'\" ", "/mnt/sdcard$'|busybox awk '{print $3}'\" ",
        "/data/sdext2$'|busybox awk '{print $1}'\" ", "/data/sdext2$'|busybox awk '{print $3}'\" ",
    };
    for (unsigned code = 0; code <= 12; ++code) {
        const std::string strLine = tool.BuildCommand(code);
        EXPECT_NE(std::string::npos, strLine.find(code == CMD_BADGING ? "aapt.exe" : "adb.exe")) << code;
        EXPECT_EQ((code >= CMD_SYSTEM_SIZE ? df : "") + ARGUMENTS[code], ArgumentsOf(strLine)) << code;
    }
    EXPECT_EQ("", tool.BuildCommand(13));
    // No package details loaded: nothing to uninstall; no package: nothing to read or install.
    tool.m_strLabel.clear();
    EXPECT_EQ("", tool.BuildCommand(CMD_UNINSTALL));
    tool.m_strApkPath.clear();
    for (unsigned code : {CMD_BADGING, CMD_INSTALL, CMD_INSTALL_SDCARD}) EXPECT_EQ("", tool.BuildCommand(code)) << code;
}

}  // namespace
