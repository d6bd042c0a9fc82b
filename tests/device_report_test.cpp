#include <gtest/gtest.h>
#include "tools/DeviceReport.h"

namespace {

const char DAEMON_START[] = "* daemon not running; starting now at tcp:5037\n* daemon started successfully\n";

TEST(DeviceListTest, ReadyDeviceAfterTheHeader) {
    EXPECT_TRUE(ReadDeviceList(std::string(DAEMON_START) +
                               "List of devices attached\n192.168.1.20:5555\tdevice\n\n"));
    // Older TVs end lines with CRLF; the last line may lack its line end.
    EXPECT_TRUE(ReadDeviceList("List of devices attached\r\n192.168.1.20:5555\tdevice"));
    EXPECT_TRUE(ReadDeviceList("List of devices attached\n"
                               "emulator-5554\toffline\n"
                               "0123456789ABCDEF       device product:tv model:X device:y transport_id:2\n"));
}

TEST(DeviceListTest, NoReadyDevice) {
    EXPECT_FALSE(ReadDeviceList(""));
    EXPECT_FALSE(ReadDeviceList(std::string(DAEMON_START) + "List of devices attached\n\n"));
    EXPECT_FALSE(ReadDeviceList("List of devices attached\r\n\r\n"));
    EXPECT_FALSE(ReadDeviceList("List of devices attached\n192.168.1.20:5555\toffline\n"));
    EXPECT_FALSE(ReadDeviceList("List of devices attached\n192.168.1.20:5555\tunauthorized\n"));
    // A serial or a message holding the word is not a device in that state.
    EXPECT_FALSE(ReadDeviceList("List of devices attached\nmydevice-01\toffline\n"));
    EXPECT_FALSE(ReadDeviceList("List of devices attached\nadb: no devices/emulators found\n"));
    // Only what follows the header counts.
    EXPECT_FALSE(ReadDeviceList("192.168.1.20:5555\tdevice\n"));
}

TEST(InstallOutputTest, SuccessAndTheReasonForFailure) {
    InstallResult ok = ReadInstallOutput("Performing Push Install\n"
                                         "1843 KB/s (2621440 bytes in 1.388s)\n"
                                         "\tpkg: /data/local/tmp/install.apk\nSuccess\n");
    EXPECT_TRUE(ok.bSuccess);
    EXPECT_EQ("", ok.strReason);

    InstallResult full = ReadInstallOutput("Performing Push Install\n"
                                           "1843 KB/s (2621440 bytes in 1.388s)\r\n"
                                           "\tpkg: /data/local/tmp/install.apk\r\n"
                                           "Failure [INSTALL_FAILED_INSUFFICIENT_STORAGE]\r\n");
    EXPECT_FALSE(full.bSuccess);
    EXPECT_EQ("Failure [INSTALL_FAILED_INSUFFICIENT_STORAGE]", full.strReason);

    InstallResult exists = ReadInstallOutput(
        "Performing Streamed Install\n"
        "adb: failed to install install.apk: Failure [INSTALL_FAILED_ALREADY_EXISTS: Attempt to "
        "re-install com.a.b without first uninstalling.]\n");
    EXPECT_FALSE(exists.bSuccess);
    EXPECT_EQ("Failure [INSTALL_FAILED_ALREADY_EXISTS: Attempt to re-install com.a.b without first uninstalling.]",
              exists.strReason);

    EXPECT_EQ("error: device offline", ReadInstallOutput(std::string(DAEMON_START) + "error: device offline\n").strReason);
    EXPECT_EQ("adb: error: failed to get feature set: no devices/emulators found",
              ReadInstallOutput("adb: error: failed to get feature set: no devices/emulators found").strReason);
    EXPECT_EQ("Performing Push Install", ReadInstallOutput("Performing Push Install\n").strReason);
    InstallResult nothing = ReadInstallOutput("");
    EXPECT_FALSE(nothing.bSuccess);
    EXPECT_EQ("", nothing.strReason);
}

TEST(UninstallOutputTest, SuccessOnlyWhenAdbSaysSo) {
    EXPECT_TRUE(ReadUninstallOutput("Success\r\n"));
    EXPECT_FALSE(ReadUninstallOutput("Failure [DELETE_FAILED_INTERNAL_ERROR]\n"));
    EXPECT_FALSE(ReadUninstallOutput(""));
    EXPECT_FALSE(ReadUninstallOutput("error: device offline\n"));
    EXPECT_FALSE(ReadUninstallOutput("Success\nFailure [not installed for 0]\n"));
}

TEST(UninstallOutputTest, OnlyPlainPackageNamesGoToTheTv) {
    EXPECT_TRUE(IsSafePackageName("com.example.tv_player2"));
    EXPECT_FALSE(IsSafePackageName(""));
    EXPECT_FALSE(IsSafePackageName("a.b; reboot"));
    EXPECT_FALSE(IsSafePackageName("a.b --user 0 c.d"));
    EXPECT_FALSE(IsSafePackageName("a.b|reboot"));
    EXPECT_FALSE(IsSafePackageName("a.b\nreboot"));
    EXPECT_FALSE(IsSafePackageName("a.b$(reboot)"));
    EXPECT_FALSE(IsSafePackageName("com.电视"));
}

}  // namespace
