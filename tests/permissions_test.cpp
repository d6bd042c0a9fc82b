#include <gtest/gtest.h>
#include <set>
#include "tools/ApkTool.h"

namespace {

TEST(PermissionTableTest, HoldsEveryRowWithItsOwnText) {
    CApkTool tool;
    std::map<std::string, std::string>& table = tool.m_mapPermissions;
    ASSERT_EQ(106u, table.size());
    // Only the two Bluetooth rows share a text; a pasted-twice text or a
    // mistyped name would show here.
    std::set<std::string> texts;
    size_t nAndroid = 0;
    for (const auto& row : table) {
        EXPECT_FALSE(row.second.empty()) << row.first;
        texts.insert(row.second);
        if (row.first.compare(0, 19, "android.permission.") == 0) ++nAndroid;
    }
    EXPECT_EQ(105u, texts.size());
    EXPECT_EQ(97u, nAndroid);

    EXPECT_EQ("允许访问网络", table["android.permission.INTERNET"]);
    EXPECT_EQ("允许改变网络连接状态", table["android.permission.CHANGE_NETWORK_STATE"]);
    EXPECT_EQ("允许访问蓝牙设备", table["android.permission.BLUETOOTH_ADMIN"]);
    EXPECT_EQ("允许振动", table["android.permission.VIBRATE"]);
    EXPECT_EQ("振动感应器", table["android.permission.VIBRATION"]);
    EXPECT_EQ("允许截获用户事件如按键、触摸、轨迹球等注意()", table["android.permission.INJECT_EVENTS"]);
    EXPECT_EQ("允许修改话机状态，如开关机等(注意)", table["android.permission.MODIFY_PHONE_STATE"]);
    EXPECT_EQ("允许写入设置", table["com.android.launcher.permission.WRITE_SETTINGS"]);
    EXPECT_EQ("改变组件启用状态", table["android.permission.CHANGE_COMPONENT_ENABLED_STATE"]);
    EXPECT_EQ(106u, table.size());
}

TEST(PermissionTableTest, UnknownNamesMatchOnlyExactlyAndAddOneEmptyRow) {
    CApkTool tool;
    std::map<std::string, std::string>& table = tool.m_mapPermissions;
    EXPECT_EQ("", table["android.permission.internet"]);
    EXPECT_EQ("", table["android.permission.INTERNET "]);
    EXPECT_EQ("", table[""]);
    EXPECT_EQ(109u, table.size());
    EXPECT_EQ("", table["android.permission.internet"]);
    EXPECT_EQ(109u, table.size());
}

}  // namespace
