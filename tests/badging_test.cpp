#include <gtest/gtest.h>
#include "data/BadgingSamples.h"
#include "tools/ApkTool.h"
#include "tools/BadgingReport.h"
#include "tools/ToolRunner.h"

namespace {

class BadgingTest : public ::testing::Test {
protected:
    CApkTool m_tool;  // for its permission table
    BadgingDetails Read(const std::string& strReport) { return ReadBadgingReport(strReport, m_tool.m_mapPermissions); }
    BadgingDetails ReadUtf8(const char* pReport) {
        return Read(Utf8ToAnsi(pReport, static_cast<int>(strlen(pReport))));
    }
};

TEST_F(BadgingTest, OldReportGivesDetailsAndPermissionsInReportOrder) {
    size_t nRows = m_tool.m_mapPermissions.size();
    BadgingDetails d = ReadUtf8(OLD_BADGING_REPORT);
    EXPECT_FALSE(d.bDumpFailed);
    EXPECT_EQ("Demo", d.strLabel);
    EXPECT_EQ("com.a.b", d.strPackageName);
    EXPECT_EQ("1.2", d.strVersionName);
    EXPECT_EQ("Android 2.2", d.strSdkVersion);
    EXPECT_EQ("res/drawable/icon.png", d.strIconEntry);
    EXPECT_EQ("允许访问网络\n允许读取短信息(危险)\n允许访问网络\n", d.strPermissions);
    // The package's own permission is added once, without a description.
    EXPECT_EQ(nRows + 1, m_tool.m_mapPermissions.size());
    EXPECT_EQ("", m_tool.m_mapPermissions["com.a.b.permission.C2D_MESSAGE"]);
    ReadUtf8(OLD_BADGING_REPORT);
    EXPECT_EQ(nRows + 1, m_tool.m_mapPermissions.size());
}

TEST_F(BadgingTest, CurrentFullSizeReportGivesLabelIconAndAllPermissionForms) {
    std::string strReport = Utf8ToAnsi(CURRENT_BADGING_REPORT, static_cast<int>(strlen(CURRENT_BADGING_REPORT)));
    ASSERT_GT(strReport.size(), 6000u);
    BadgingDetails d = Read(strReport);
    EXPECT_EQ("TV Player", d.strLabel);
    EXPECT_EQ("com.example.tvplayer", d.strPackageName);
    EXPECT_EQ("3.4.15", d.strVersionName);
    EXPECT_EQ("Android 4.2", d.strSdkVersion);
    // The named icon is an adaptive (XML) icon: the densest raster one is used.
    EXPECT_EQ("res/mipmap-xxxhdpi-v4/ic_launcher.png", d.strIconEntry);
    // "name=" lines, one with maxSdkVersion after it, and the sdk-23 form, in
    // report order; implied permissions and the package's own declaration are
    // not requests.
    EXPECT_EQ("允许访问网络\n"
              "允许访问网络信息\n"
              "允许访问Wi-Fi网络状态信息\n"
              "保持进程在休眠时从屏幕消失\n"
              "开机自动运行(危险)\n"
              "允许读写SD卡数据\n"
              "允许弹出系统级窗口\n"
              "允许进入WIFI组播模式\n"
              "允许振动\n",
              d.strPermissions);
}

TEST_F(BadgingTest, SdkNamesAndValueEnds) {
    // Release names only for whole-text matches of known numbers.
    EXPECT_EQ("6", Read("sdkVersion:'6'").strSdkVersion);
    EXPECT_EQ("18", Read("sdkVersion:'18'").strSdkVersion);
    EXPECT_EQ("Android 2.3.3", Read("sdkVersion:'10'").strSdkVersion);
    EXPECT_EQ("08", Read("sdkVersion:'08'").strSdkVersion);
    EXPECT_EQ("", Read("package: name='x' targetSdkVersion:'8'").strSdkVersion);
    // A value ends at the next quote, or at the end of the report.
    BadgingDetails d = Read("package: name='p'\napplication: label='Joe's Game' icon='res/i.png");
    EXPECT_EQ("Joe", d.strLabel);
    EXPECT_EQ("res/i.png", d.strIconEntry);
    EXPECT_EQ("允许访问网络\n", Read("uses-permission: name='android.permission.INTERNET").strPermissions);
}

TEST_F(BadgingTest, DumpFailureEmptiesEverythingEvenAfterReadableFields) {
    BadgingDetails d = Read("package: name='com.a.b' versionName='1.2'\nsdkVersion:'8'\n"
                            "uses-permission:'android.permission.INTERNET'\n"
                            "application: label='Demo' icon='res/drawable/icon.png'\n"
                            "ERROR: dump failed because no AndroidManifest.xml found\n");
    EXPECT_TRUE(d.bDumpFailed);
    EXPECT_EQ("", d.strLabel + d.strPackageName + d.strVersionName + d.strSdkVersion +
                      d.strPermissions + d.strIconEntry);
    EXPECT_FALSE(Read("").bDumpFailed);
}

TEST_F(BadgingTest, NonRasterIconFallsBackToTheDensestRasterImage) {
    const char* pXml = "application: label='A' icon='res/mipmap-anydpi-v26/ic_launcher.xml'\n";
    // Any-density and no-density images only serve when nothing else does.
    EXPECT_EQ("res/m.JPG", Read(std::string("application-icon-65535:'res/none.png'\n"
                                            "application-icon-65534:'res/any.png'\n"
                                            "application-icon-120:'res/l.png'\n"
                                            "application-icon-240:'res/m.JPG'\n"
                                            "application-icon-480:'res/x.xml'\n") + pXml)
                               .strIconEntry);
    EXPECT_EQ("res/any.png",
              Read(std::string("application-icon-65534:'res/any.png'\n") + pXml).strIconEntry);
    // Without a raster alternative the named entry stays.
    EXPECT_EQ("res/mipmap-anydpi-v26/ic_launcher.xml",
              Read(std::string("application-icon-160:'res/a.xml'\n") + pXml).strIconEntry);
    // A raster icon that the application line names is kept as it is.
    EXPECT_EQ("res/drawable/icon.png",
              Read("application-icon-640:'res/big.png'\napplication: label='A' icon='res/drawable/icon.png'")
                  .strIconEntry);
    EXPECT_EQ("", Read("package: name='p'\napplication: label='A'\n").strIconEntry);
}

}  // namespace
