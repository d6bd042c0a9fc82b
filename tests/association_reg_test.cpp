// The .apk association in the test prefix's real HKEY_CLASSES_ROOT and
// HKEY_CURRENT_USER, read and written straight, not through the program's
// own key object.
#include <gtest/gtest.h>

#include "shell/ApkAssociation.h"

namespace {

const char USER_CHOICE[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.apk";

std::string RegText(HKEY hRoot, const std::string& strKey, const char* pszName) {
    char szText[1024] = {0};
    DWORD cb = sizeof szText - 1;
    return RegGetValueA(hRoot, strKey.c_str(), pszName, RRF_RT_REG_SZ, NULL, szText, &cb) ? "<missing>" : szText;
}

void RegPutText(HKEY hRoot, const std::string& strKey, const char* pszName, const std::string& strText) {
    RegSetKeyValueA(hRoot, strKey.c_str(), pszName, REG_SZ, strText.c_str(), DWORD(strText.size() + 1));
}

void Clean() {
    for (const char* pszKey : {"apkfile", "OtherApp.apk", ".apk"}) RegDeleteTreeA(HKEY_CLASSES_ROOT, pszKey);
    RegDeleteTreeA(HKEY_CURRENT_USER, USER_CHOICE);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Norvale\\Davrel");  // where Davrel notes what it took over
}

TEST(Association, QuotedOpenCommandAndARemovalThatSparesOtherPrograms) {
    Clean();
    // Another program owns .apk, with entries of its own around ours.
    RegPutText(HKEY_CLASSES_ROOT, "OtherApp.apk\\shell\\open\\command", "", "other.exe \"%1\"");
    RegPutText(HKEY_CLASSES_ROOT, ".apk", "", "OtherApp.apk");
    RegPutText(HKEY_CLASSES_ROOT, ".apk", "Content Type", "application/vnd.android.package-archive");
    RegPutText(HKEY_CLASSES_ROOT, ".apk\\OpenWithProgids", "OtherApp.apk", "");
    RegPutText(HKEY_CURRENT_USER, USER_CHOICE, "Progid", "OtherApp.apk");
    RegPutText(HKEY_CURRENT_USER, std::string(USER_CHOICE) + "\\OpenWithList", "a", "other.exe");
    CRegistryKey key;
    // Removing while another program owns the type changes nothing of it.
    SetApkAssociationInRegistry(key, 0, "C:\\Davrel.exe");
    EXPECT_EQ("OtherApp.apk", RegText(HKEY_CLASSES_ROOT, ".apk", ""));
    EXPECT_EQ("OtherApp.apk", RegText(HKEY_CURRENT_USER, USER_CHOICE, "Progid"));

    // Registered on top of it: the program's path quoted, then the document.
    SetApkAssociationInRegistry(key, 1, "C:\\Program Files\\Davrel Test\\Davrel.exe");
    EXPECT_EQ("\"C:\\Program Files\\Davrel Test\\Davrel.exe\" \"%1\"",
              RegText(HKEY_CLASSES_ROOT, "apkfile\\shell\\open\\command", ""));
    EXPECT_EQ("apkfile", RegText(HKEY_CLASSES_ROOT, ".apk", ""));
    EXPECT_EQ("apkfile", RegText(HKEY_CURRENT_USER, USER_CHOICE, "Progid"));
    EXPECT_TRUE(key.m_hKey == NULL) << "a key is left open";

    // Registered again at the next start, then removed: only Davrel's own
    // entries go, and the other program gets its own back.
    SetApkAssociationInRegistry(key, 1, "C:\\Program Files\\Davrel Test\\Davrel.exe");
    SetApkAssociationInRegistry(key, 0, "C:\\Program Files\\Davrel Test\\Davrel.exe");
    EXPECT_EQ("<missing>", RegText(HKEY_CLASSES_ROOT, "apkfile\\shell\\open\\command", ""));
    EXPECT_EQ("OtherApp.apk", RegText(HKEY_CLASSES_ROOT, ".apk", ""));
    EXPECT_EQ("OtherApp.apk", RegText(HKEY_CURRENT_USER, USER_CHOICE, "Progid"));
    EXPECT_EQ("application/vnd.android.package-archive", RegText(HKEY_CLASSES_ROOT, ".apk", "Content Type"));
    EXPECT_EQ("", RegText(HKEY_CLASSES_ROOT, ".apk\\OpenWithProgids", "OtherApp.apk"));
    EXPECT_EQ("other.exe", RegText(HKEY_CURRENT_USER, std::string(USER_CHOICE) + "\\OpenWithList", "a"));
    EXPECT_EQ("other.exe \"%1\"", RegText(HKEY_CLASSES_ROOT, "OtherApp.apk\\shell\\open\\command", ""));

    // Where nothing was before, nothing is left after.
    Clean();
    SetApkAssociationInRegistry(key, 1, "C:\\Davrel.exe");
    SetApkAssociationInRegistry(key, 0, "C:\\Davrel.exe");
    HKEY hKey = NULL;
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CLASSES_ROOT, ".apk", 0, KEY_READ, &hKey));
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, USER_CHOICE, 0, KEY_READ, &hKey));
    Clean();
}

}  // namespace
