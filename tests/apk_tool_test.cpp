// The tool object's operations end to end: stand-ins for adb.exe and
// aapt.exe print what a TV and aapt print, in their real formats.
#include <gtest/gtest.h>
#include <windows.h>

#include "data/BadgingSamples.h"
#include "support/StandIn.h"
#include "tools/ApkTool.h"

namespace {

const char DAEMON_START[] = "* daemon not running; starting now at tcp:5037\\n* daemon started successfully\\n";

class ApkToolTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_strAdb = InstallStandIn(m_dir / "data", "adb", "");
        m_tool.m_strAdbPath = m_strAdb;
    }
    void Adb(const std::string& strScript) { SetScript(m_strAdb, strScript); }
    size_t AdbCalls() { return RecordedCalls(m_strAdb).size(); }
    void LoadedPackage(const std::string& strName) {
        m_tool.m_strLabel = "Demo";
        m_tool.m_strPackageName = strName;
    }

    CTempDir m_dir;
    CApkTool m_tool;
    std::string m_strAdb;
};

TEST_F(ApkToolTest, DeviceCheckReadsTheDeviceList) {
    Adb(std::string("when  devices \nout ") + DAEMON_START +
        "List of devices attached\\r\\n192.168.1.20:5555\\tdevice\\r\\n\\r\\n");
    EXPECT_TRUE(m_tool.IsDeviceConnected());
    Adb("when  devices \nout List of devices attached\\n192.168.1.20:5555\\toffline\\n\\n");
    EXPECT_FALSE(m_tool.IsDeviceConnected());
}

TEST_F(ApkToolTest, InstallGoesWhereAskedAndTellsWhyItFailed) {
    std::string strApk = m_dir / "x y.apk";
    m_tool.SetApkPath(strApk);
    Adb("when install -s \"\n"
        "out Performing Push Install\\n1843 KB/s (2621440 bytes in 1.388s)\\n"
        "\\tpkg: /data/local/tmp/x y.apk\\nFailure [INSTALL_FAILED_INSUFFICIENT_STORAGE]\\n\n"
        "when install \"\n"
        "out Performing Streamed Install\\r\\nSuccess\\r\\n");
    InstallResult sdcard = m_tool.InstallPackage(0);
    EXPECT_FALSE(sdcard.bSuccess);
    EXPECT_EQ("Failure [INSTALL_FAILED_INSUFFICIENT_STORAGE]", sdcard.strReason);
    EXPECT_TRUE(m_tool.InstallPackage(1).bSuccess);
    EXPECT_TRUE(m_tool.InstallPackage(-1).bSuccess);  // nothing selected: internal storage
    std::vector<std::string> calls = RecordedCalls(m_strAdb);
    ASSERT_EQ(3u, calls.size());
    EXPECT_EQ(m_strAdb + " install -s \"" + strApk + "\"", calls[0]);
    EXPECT_EQ(m_strAdb + " install \"" + strApk + "\"", calls[1]);

    Adb("when install\nout error: device offline\\n");
    InstallResult offline = m_tool.InstallPackage(1);
    EXPECT_FALSE(offline.bSuccess);
    EXPECT_EQ("error: device offline", offline.strReason);
}

TEST_F(ApkToolTest, UninstallSucceedsOnlyOnSuccessAndOnlyForPlainNames) {
    Adb("when  uninstall com.a.b\nout Success\\r\\n");
    m_tool.m_strPackageName = "com.a.b";  // no label: no package loaded
    EXPECT_FALSE(m_tool.UninstallPackage());
    for (const char* pName : {"a.b; reboot", "a.b --user 0 c.d", ""}) {
        LoadedPackage(pName);
        EXPECT_FALSE(m_tool.UninstallPackage()) << pName;
    }
    EXPECT_EQ(0u, AdbCalls());  // none of these ran adb

    LoadedPackage("com.a.b");
    EXPECT_TRUE(m_tool.UninstallPackage());
    Adb("when  uninstall com.a.b\nout Failure [DELETE_FAILED_INTERNAL_ERROR]\\n");
    EXPECT_FALSE(m_tool.UninstallPackage());
    Adb("when  uninstall com.a.b\nerr error: device offline\\n");
    EXPECT_FALSE(m_tool.UninstallPackage());
    Adb("");
    EXPECT_FALSE(m_tool.UninstallPackage());  // adb printed nothing
}

TEST_F(ApkToolTest, StorageFiguresAreTheTvsAnswersInOrder) {
    Adb("when  /system$'|busybox awk '{print $2}'\nout 512.0M\\r\\n\n"
        "when  /system$'|busybox awk '{print $4}'\nout 20.3M\\r\\n\n"
        "when  /data$'|busybox awk '{print $2}'\nout 1.2G\\r\\n\n"
        "when  /data$'|busybox awk '{print $4}'\nout 806.1M\\r\\n\n"
        "when  /mnt/sdcard$'|busybox awk '{print $1}'\nout 7.4G\\r\\n\n"
        "when  /mnt/sdcard$'|busybox awk '{print $3}'\nerr error: closed\\n\n");
    m_tool.QueryStorage();
    EXPECT_EQ("512.0M\r\n", m_tool.m_strSystemSize);
    EXPECT_EQ("20.3M\r\n", m_tool.m_strSystemFree);
    EXPECT_EQ("1.2G\r\n", m_tool.m_strDataSize);
    EXPECT_EQ("806.1M\r\n", m_tool.m_strDataFree);
    EXPECT_EQ("7.4G\r\n", m_tool.m_strSdcardSize);
    EXPECT_EQ("error: closed\n", m_tool.m_strSdcardFree);  // only the first answer is checked
    EXPECT_EQ("", m_tool.m_strSdext2Size);                  // not mounted
    EXPECT_EQ("", m_tool.m_strSdext2Free);
    std::vector<std::string> calls = RecordedCalls(m_strAdb);
    ASSERT_EQ(8u, calls.size());
    EXPECT_NE(std::string::npos, calls[0].find("' /system$'|busybox awk '{print $2}'"));
    EXPECT_NE(std::string::npos, calls[7].find("' /data/sdext2$'|busybox awk '{print $3}'"));

    // An unreachable TV empties every figure and costs one run, not eight.
    Adb("when *\nerr error: device offline\\n");
    m_tool.QueryStorage();
    EXPECT_EQ("", m_tool.m_strSystemSize + m_tool.m_strSystemFree + m_tool.m_strDataSize +
                      m_tool.m_strDataFree + m_tool.m_strSdcardSize + m_tool.m_strSdcardFree +
                      m_tool.m_strSdext2Size + m_tool.m_strSdext2Free);
    EXPECT_EQ(9u, AdbCalls());
}

class PackageInfoTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFileBytes(m_dir / "current.txt", CURRENT_BADGING_REPORT);
        m_strAapt = InstallStandIn(m_dir / "data", "aapt", "");
        m_tool.m_strAaptPath = m_strAapt;
        m_strApk = m_dir / "电视 播放器.apk";
        WriteFileBytes(m_strApk, std::string(1536, 'z'));
        m_tool.SetApkPath(m_strApk);
    }
    CTempDir m_dir;
    CApkTool m_tool;
    std::string m_strAapt, m_strApk;
};

TEST_F(PackageInfoTest, ReportFillsTheDetailsAndEveryLoadReplacesThem) {
    SetScript(m_strAapt, "when  d badging \"\noutfile " + (m_dir / "current.txt"));
    m_tool.LoadPackageInfo();
    EXPECT_EQ("TV Player", m_tool.m_strLabel);
    EXPECT_EQ("com.example.tvplayer", m_tool.m_strPackageName);
    EXPECT_EQ("Android 4.2", m_tool.m_strSdkVersion);
    EXPECT_EQ("1.5KB", m_tool.m_strFileSize);
    EXPECT_EQ("res/mipmap-xxxhdpi-v4/ic_launcher.png", m_tool.m_strIconEntry);
    EXPECT_EQ(0u, m_tool.m_strPermissions.find("允许访问网络\n允许访问网络信息\n"));
    std::vector<std::string> calls = RecordedCalls(m_strAapt);
    ASSERT_EQ(1u, calls.size());
    EXPECT_EQ(m_strAapt + " d badging \"" + m_strApk + "\"", calls[0]);

    // A Chinese label arrives in the code page; what the report lacks is empty.
    SetScript(m_strAapt, "when *\nout " + ScriptText(u8"package: name='com.a.b'\napplication: label='电视'\n"));
    m_tool.LoadPackageInfo();
    EXPECT_EQ("电视", m_tool.m_strLabel);
    EXPECT_EQ("", m_tool.m_strVersionName + m_tool.m_strSdkVersion + m_tool.m_strPermissions +
                      m_tool.m_strIconEntry);

    SetScript(m_strAapt, "when *\nerr ERROR: dump failed because no AndroidManifest.xml found\\n");
    m_tool.LoadPackageInfo();
    EXPECT_EQ("", m_tool.m_strLabel + m_tool.m_strPackageName + m_tool.m_strFileSize);
    EXPECT_EQ(m_strApk, m_tool.GetApkPath());

    m_tool.SetApkPath(m_dir / "gone.apk");
    SetScript(m_strAapt, "when *\noutfile " + (m_dir / "current.txt"));
    m_tool.LoadPackageInfo();
    EXPECT_EQ("TV Player", m_tool.m_strLabel);
    EXPECT_EQ("", m_tool.m_strFileSize);
}

TEST_F(PackageInfoTest, SizeCountsBeyondFourGigabytes) {
    // A sparse file: 4 GiB and 1.5 KB without writing them.
    std::string strBig = m_dir / "big.apk";
    {
        CScopedFile file(CreateFileA(strBig.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, NULL));
        ASSERT_TRUE(file.IsValid());
        LARGE_INTEGER end;
        end.QuadPart = 4294967296LL + 1536;
        if (!SetFilePointerEx(file.Get(), end, NULL, FILE_BEGIN) || !SetEndOfFile(file.Get()))
            GTEST_SKIP() << "no room for a sparse 4 GiB file";
    }
    m_tool.SetApkPath(strBig);
    m_tool.LoadPackageInfo();
    EXPECT_EQ("4.1e+003MB", m_tool.m_strFileSize);
}

}  // namespace
