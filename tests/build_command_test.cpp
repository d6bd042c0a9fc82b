// The thirteen command lines, byte for byte, and the refusals.
#include <gtest/gtest.h>

#include "tools/ApkTool.h"

namespace {

const std::string ADB = "C:\\T\\data\\adb.exe";
const std::string AAPT = "C:\\T\\data\\aapt.exe";

TEST(BuildCommand, EveryCommandLine) {
    CApkTool tool;
    tool.m_strAdbPath = ADB;
    tool.m_strAaptPath = AAPT;
    tool.m_strApkPath = "D:\\x y.apk";
    tool.m_strLabel = "Demo";
    tool.m_strPackageName = "com.a.b";
    const char* expected[] = {
        "C:\\T\\data\\aapt.exe d badging \"D:\\x y.apk\"",
        "C:\\T\\data\\adb.exe devices ",
        "C:\\T\\data\\adb.exe install \"D:\\x y.apk\"",
        "C:\\T\\data\\adb.exe install -s \"D:\\x y.apk\"",
        "C:\\T\\data\\adb.exe uninstall com.a.b",
        "C:\\T\\data\\adb.exe shell \"busybox df -h|busybox grep ' /system$'|busybox awk '{print $2}'\" ",
        "C:\\T\\data\\adb.exe shell \"busybox df -h|busybox grep ' /system$'|busybox awk '{print $4}'\" ",
        "C:\\T\\data\\adb.exe shell \"busybox df -h|busybox grep ' /data$'|busybox awk '{print $2}'\" ",
        "C:\\T\\data\\adb.exe shell \"busybox df -h|busybox grep ' /data$'|busybox awk '{print $4}'\" ",
        "C:\\T\\data\\adb.exe shell \"busybox df -h|busybox grep ' /mnt/sdcard$'|busybox awk '{print $1}'\" ",
        "C:\\T\\data\\adb.exe shell \"busybox df -h|busybox grep ' /mnt/sdcard$'|busybox awk '{print $3}'\" ",
        "C:\\T\\data\\adb.exe shell \"busybox df -h|busybox grep ' /data/sdext2$'|busybox awk '{print $1}'\" ",
        "C:\\T\\data\\adb.exe shell \"busybox df -h|busybox grep ' /data/sdext2$'|busybox awk '{print $3}'\" ",
    };
    for (unsigned code = 0; code <= 12; ++code) EXPECT_EQ(tool.BuildCommand(code), expected[code]) << code;
    // The argument texts have the lengths the tools were written against.
    EXPECT_EQ(tool.BuildCommand(CMD_SYSTEM_SIZE).size() - ADB.size(), 73u);
    EXPECT_EQ(tool.BuildCommand(CMD_DATA_FREE).size() - ADB.size(), 71u);
    EXPECT_EQ(tool.BuildCommand(CMD_SDCARD_SIZE).size() - ADB.size(), 77u);
    EXPECT_EQ(tool.BuildCommand(CMD_SDEXT2_FREE).size() - ADB.size(), 78u);
    EXPECT_EQ(tool.BuildCommand(13), "");
    EXPECT_EQ(tool.BuildCommand(0xFFFFFFFFu), "");
}

TEST(BuildCommand, RefusesWhatItLacks) {
    CApkTool tool;
    tool.m_strAaptPath = AAPT;
    tool.m_strApkPath = "D:\\x y.apk";
    tool.m_strPackageName = "com.a.b";
    for (unsigned code = 1; code <= 12; ++code) EXPECT_EQ(tool.BuildCommand(code), "") << code;
    EXPECT_NE(tool.BuildCommand(CMD_BADGING), "");

    tool.m_strAdbPath = ADB;
    EXPECT_EQ(tool.BuildCommand(CMD_UNINSTALL), "") << "no label: no package details loaded";
    tool.m_strLabel = "Demo";
    tool.m_strPackageName.clear();
    EXPECT_EQ(tool.BuildCommand(CMD_UNINSTALL), ADB + " uninstall ");

    tool.m_strApkPath.clear();
    EXPECT_EQ(tool.BuildCommand(CMD_BADGING), "");
    EXPECT_EQ(tool.BuildCommand(CMD_INSTALL), "");
    EXPECT_EQ(tool.BuildCommand(CMD_INSTALL_SDCARD), "");
}

}  // namespace
