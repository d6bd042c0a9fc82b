// The .apk association in the test prefix's real HKEY_CLASSES_ROOT and
// HKEY_CURRENT_USER.
#include <gtest/gtest.h>

#include <string>

#include "shell/ApkAssociation.h"
#include "support/RegTestUtil.h"

namespace {

const char EXE_PATH[] = "C:\\Program Files\\Davrel Test\\Davrel.exe";
const char USER_CHOICE[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.apk";
const char MUI_CACHE[] = "SOFTWARE\\Microsoft\\Windows\\ShellNoRoam\\MUICache";

class AssociationTest : public ::testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    static void Clean() {
        RegRemove(HKEY_CLASSES_ROOT, "apkfile");
        RegRemove(HKEY_CLASSES_ROOT, "OtherApp.apk");
        RegRemove(HKEY_CLASSES_ROOT, ".apk");
        RegRemove(HKEY_CURRENT_USER, USER_CHOICE);
        RegRemove(HKEY_CURRENT_USER, MUI_CACHE);
    }
    // Everything the association touches, for comparing states.
    static std::string Snapshot() {
        return RegDump(HKEY_CLASSES_ROOT, "apkfile") + RegDump(HKEY_CLASSES_ROOT, ".apk") +
               RegDump(HKEY_CURRENT_USER, USER_CHOICE) + RegDump(HKEY_CURRENT_USER, MUI_CACHE);
    }
    CRegistryKey m_key;
};

TEST_F(AssociationTest, RegistersAllEntriesOnceOnly) {
    RegPutText(HKEY_CURRENT_USER, MUI_CACHE, "C:\\other.exe", "Other");
    SetApkAssociationInRegistry(m_key, 1, EXE_PATH);
    EXPECT_TRUE(m_key.m_hKey == NULL);

    EXPECT_EQ("Android安装程序", RegText(HKEY_CLASSES_ROOT, "apkfile", ""));
    EXPECT_EQ("\"C:\\Program Files\\Davrel Test\\Davrel.exe\" \"%1\"",
              RegText(HKEY_CLASSES_ROOT, "apkfile\\shell\\open\\command", ""));
    EXPECT_EQ("C:\\Program Files\\Davrel Test\\Davrel.exe,0",
              RegText(HKEY_CLASSES_ROOT, "apkfile\\DefaultIcon", ""));
    EXPECT_EQ("用Davrel打开", RegText(HKEY_CLASSES_ROOT, "apkfile\\shell\\open", ""));
    EXPECT_EQ("apkfile", RegText(HKEY_CLASSES_ROOT, ".apk", ""));
    EXPECT_EQ("apkfile", RegText(HKEY_CURRENT_USER, USER_CHOICE, "Progid"));
    EXPECT_EQ("Davrel", RegText(HKEY_CURRENT_USER, MUI_CACHE, EXE_PATH));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ),
              RegGet(HKEY_CLASSES_ROOT, "apkfile\\shell\\open\\command", "").dwType);

    const std::string strOnce = Snapshot();
    SetApkAssociationInRegistry(m_key, 1, EXE_PATH);
    EXPECT_EQ(strOnce, Snapshot());

    // A moved program rewrites its path.
    SetApkAssociationInRegistry(m_key, 1, "D:\\Davrel.exe");
    EXPECT_EQ("\"D:\\Davrel.exe\" \"%1\"",
              RegText(HKEY_CLASSES_ROOT, "apkfile\\shell\\open\\command", ""));
}

TEST_F(AssociationTest, FriendlyNameNeedsTheShellsCache) {
    SetApkAssociationInRegistry(m_key, 1, EXE_PATH);
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, MUI_CACHE)) << "never created";
    EXPECT_EQ("apkfile", RegText(HKEY_CURRENT_USER, USER_CHOICE, "Progid"));
}

TEST_F(AssociationTest, UncheckAndCheckRestoresEverything) {
    RegPutText(HKEY_CURRENT_USER, MUI_CACHE, "C:\\other.exe", "Other");
    SetApkAssociationInRegistry(m_key, 1, EXE_PATH);
    const std::string strRegistered = Snapshot();

    SetApkAssociationInRegistry(m_key, 0, EXE_PATH);
    EXPECT_TRUE(m_key.m_hKey == NULL);
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, "apkfile"));
    EXPECT_FALSE(RegGet(HKEY_CLASSES_ROOT, ".apk", "").bExists);
    EXPECT_FALSE(RegGet(HKEY_CURRENT_USER, USER_CHOICE, "Progid").bExists);
    EXPECT_EQ("Davrel", RegText(HKEY_CURRENT_USER, MUI_CACHE, EXE_PATH)) << "friendly name stays";

    SetApkAssociationInRegistry(m_key, 0, EXE_PATH);  // as at every start while unchecked

    SetApkAssociationInRegistry(m_key, 1, EXE_PATH);
    EXPECT_EQ(strRegistered, Snapshot());
}

TEST_F(AssociationTest, RemovalLeavesOtherProgramsEntries) {
    // Another program owns .apk, with entries of its own around ours.
    RegPutText(HKEY_CLASSES_ROOT, "OtherApp.apk\\shell\\open\\command", "", "other.exe \"%1\"");
    RegPutText(HKEY_CLASSES_ROOT, ".apk", "", "OtherApp.apk");
    RegPutText(HKEY_CLASSES_ROOT, ".apk", "Content Type", "application/vnd.android.package-archive");
    RegPut(HKEY_CLASSES_ROOT, ".apk\\OpenWithProgids", "OtherApp.apk", REG_NONE, "");
    RegPutText(HKEY_CURRENT_USER, USER_CHOICE, "Progid", "OtherApp.apk");
    RegPutText(HKEY_CURRENT_USER, USER_CHOICE + std::string("\\OpenWithList"), "a", "other.exe");
    const std::string strOthers = Snapshot() + RegDump(HKEY_CLASSES_ROOT, "OtherApp.apk");

    SetApkAssociationInRegistry(m_key, 0, EXE_PATH);
    EXPECT_EQ(strOthers, Snapshot() + RegDump(HKEY_CLASSES_ROOT, "OtherApp.apk"));

    // Davrel registered on top of them, then is removed: only its own
    // entries go, the extension's other entries stay.
    SetApkAssociationInRegistry(m_key, 1, EXE_PATH);
    SetApkAssociationInRegistry(m_key, 0, EXE_PATH);
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, ".apk\\OpenWithProgids"));
    EXPECT_EQ("application/vnd.android.package-archive",
              RegText(HKEY_CLASSES_ROOT, ".apk", "Content Type"));
    EXPECT_FALSE(RegGet(HKEY_CLASSES_ROOT, ".apk", "").bExists);
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, USER_CHOICE + std::string("\\OpenWithList")));
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, "OtherApp.apk\\shell\\open\\command"));
}

TEST_F(AssociationTest, NothingRegisteredNothingCreated) {
    SetApkAssociationInRegistry(m_key, 0, EXE_PATH);
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, ".apk"));
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, USER_CHOICE));

    // Without its own path the program cannot be registered at all.
    SetApkAssociationInRegistry(m_key, 1, "");
    EXPECT_EQ("<missing><missing><missing><missing>", Snapshot());
}

}  // namespace
