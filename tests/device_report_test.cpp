#include <gtest/gtest.h>
#include "tools/DeviceReport.h"

namespace {

TEST(DeviceReportTest, OnlyADeviceInTheReadyStateCounts) {
    EXPECT_TRUE(ReadDeviceList("List of devices attached\r\n192.168.1.20:5555\tdevice"));
    EXPECT_TRUE(ReadDeviceList("List of devices attached\nemulator-5554\toffline\n"
                               "0123456789ABCDEF       device product:tv model:X device:y\n"));
    EXPECT_FALSE(ReadDeviceList("List of devices attached\n192.168.1.20:5555\tunauthorized\n"));
    // A serial or a message holding the word is no device in that state.
    EXPECT_FALSE(ReadDeviceList("List of devices attached\nmydevice-01\toffline\n"));
    EXPECT_FALSE(ReadDeviceList("List of devices attached\nadb: no devices/emulators found\n"));
    EXPECT_FALSE(ReadDeviceList("192.168.1.20:5555\tdevice\n"));  // no header
}

TEST(DeviceReportTest, InstallFailureReasons) {
    EXPECT_EQ("Failure [INSTALL_FAILED_ALREADY_EXISTS: Attempt to re-install com.a.b without first uninstalling.]",
              ReadInstallOutput("Performing Streamed Install\n"
                                "adb: failed to install install.apk: Failure [INSTALL_FAILED_ALREADY_EXISTS: "
                                "Attempt to re-install com.a.b without first uninstalling.]\n")
                  .strReason);
    EXPECT_EQ("adb: error: failed to get feature set: no devices/emulators found",
              ReadInstallOutput("* daemon started successfully\n"
                                "adb: error: failed to get feature set: no devices/emulators found")
                  .strReason);
    EXPECT_EQ("Performing Push Install", ReadInstallOutput("Performing Push Install\n").strReason);
    InstallResult nothing = ReadInstallOutput("");
    EXPECT_FALSE(nothing.bSuccess);
    EXPECT_EQ("", nothing.strReason);
}

TEST(DeviceReportTest, UninstallNeedsSuccessAndAPlainName) {
    EXPECT_FALSE(ReadUninstallOutput("Success\nFailure [not installed for 0]\n"));
    EXPECT_TRUE(IsSafePackageName("com.example.tv_player2"));
    for (const char* pName : {"", "a.b|reboot", "a.b\nreboot", "a.b$(reboot)", "com.电视"})
        EXPECT_FALSE(IsSafePackageName(pName)) << pName;
}

}  // namespace
