// The association of packages and bundles in the test prefix's real
// HKEY_CLASSES_ROOT and HKEY_CURRENT_USER, read and written straight, not
// through the program's own key object. A refused write is a key whose
// access list lets everyone read it only.
#include <gtest/gtest.h>

#include "shell/ApkAssociation.h"
#include "shell/Settings.h"
#include "support/SavedSettings.h"

namespace {

struct Type {
    std::string strExt, strProgId, strOther, strChoice;  // the choice: under HKEY_CURRENT_USER
};
std::vector<Type> Types() {
    std::vector<Type> types;
    for (const char* pszExt : {".apk", ".apks", ".xapk", ".apkm"})
        types.push_back({pszExt, std::string(pszExt + 1) + "file", std::string("OtherApp") + pszExt,
                         std::string("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\") + pszExt});
    return types;
}
const char EXE[] = "C:\\Program Files\\Davrel Test\\Davrel.exe";

std::string RegText(HKEY hRoot, const std::string& strKey, const char* pszName) {
    char szText[1024] = {0};
    DWORD cb = sizeof szText - 1;
    return RegGetValueA(hRoot, strKey.c_str(), pszName, RRF_RT_REG_SZ, NULL, szText, &cb) ? "<missing>" : szText;
}
void RegPutText(HKEY hRoot, const std::string& strKey, const char* pszName, const std::string& strText) {
    RegSetKeyValueA(hRoot, strKey.c_str(), pszName, REG_SZ, strText.c_str(), DWORD(strText.size() + 1));
}
bool KeyExists(HKEY hRoot, const std::string& strKey) {
    HKEY hKey = NULL;
    if (RegOpenKeyExA(hRoot, strKey.c_str(), 0, KEY_READ, &hKey)) return false;
    RegCloseKey(hKey);
    return true;
}
void Clean() {
    LockKey(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY, false);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY);  // where Davrel notes what it took over
    for (const Type& type : Types()) {
        LockKey(HKEY_CLASSES_ROOT, type.strExt, false);
        for (const std::string& strKey : {type.strProgId, type.strOther, type.strExt}) RegDeleteTreeA(HKEY_CLASSES_ROOT, strKey.c_str());
        RegDeleteTreeA(HKEY_CURRENT_USER, type.strChoice.c_str());
    }
}
// Another program owns the type, with entries of its own around the two Davrel takes.
void OwnedByOther(const Type& t) {
    RegPutText(HKEY_CLASSES_ROOT, t.strOther + "\\shell\\open\\command", "", "other.exe \"%1\"");
    RegPutText(HKEY_CLASSES_ROOT, t.strExt, "", t.strOther);
    RegPutText(HKEY_CLASSES_ROOT, t.strExt, "Content Type", "application/zip");
    RegPutText(HKEY_CLASSES_ROOT, t.strExt + "\\OpenWithProgids", t.strOther.c_str(), "");
    RegPutText(HKEY_CURRENT_USER, t.strChoice, "Progid", t.strOther);
}
// Everything as OwnedByOther left it, and nothing of Davrel's.
void ExpectOther(const Type& t) {
    EXPECT_EQ(t.strOther, RegText(HKEY_CLASSES_ROOT, t.strExt, "")) << t.strExt;
    EXPECT_EQ(t.strOther, RegText(HKEY_CURRENT_USER, t.strChoice, "Progid")) << t.strExt;
    EXPECT_EQ("application/zip", RegText(HKEY_CLASSES_ROOT, t.strExt, "Content Type")) << t.strExt;
    EXPECT_EQ("", RegText(HKEY_CLASSES_ROOT, t.strExt + "\\OpenWithProgids", t.strOther.c_str())) << t.strExt;
    EXPECT_EQ("other.exe \"%1\"", RegText(HKEY_CLASSES_ROOT, t.strOther + "\\shell\\open\\command", ""));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, t.strProgId)) << t.strProgId;
}
void ExpectOurs(const Type& t) {
    EXPECT_EQ("\"C:\\Program Files\\Davrel Test\\Davrel.exe\" \"%1\"",
              RegText(HKEY_CLASSES_ROOT, t.strProgId + "\\shell\\open\\command", ""));
    EXPECT_EQ(std::string(EXE) + ",0", RegText(HKEY_CLASSES_ROOT, t.strProgId + "\\DefaultIcon", ""));
    EXPECT_EQ(t.strProgId, RegText(HKEY_CLASSES_ROOT, t.strExt, "")) << t.strExt;
    EXPECT_EQ(t.strProgId, RegText(HKEY_CURRENT_USER, t.strChoice, "Progid")) << t.strExt;
}
// The values of the settings key: Davrel's notes of what it took over.
DWORD NoteCount() {
    DWORD nValues = 0;
    HKEY hKey = NULL;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY, 0, KEY_READ, &hKey)) return 0;
    RegQueryInfoKeyA(hKey, NULL, NULL, NULL, NULL, NULL, NULL, &nValues, NULL, NULL, NULL, NULL);
    RegCloseKey(hKey);
    return nValues;
}

TEST(Association, TakesAllFourTypesAndGivesEachBackToItsOwner) {
    Clean();
    // Other programs own the types; an earlier Davrel took .apk only and noted its owner.
    for (const Type& t : Types()) OwnedByOther(t);
    const Type apk = Types()[0];
    RegPutText(HKEY_CLASSES_ROOT, "apkfile\\shell\\open\\command", "", "\"C:\\Davrel.exe\" \"%1\"");
    RegPutText(HKEY_CLASSES_ROOT, ".apk", "", "apkfile");
    RegPutText(HKEY_CURRENT_USER, apk.strChoice, "Progid", "apkfile");
    RegPutText(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY, "apkDefaultBefore", apk.strOther);
    RegPutText(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY, "apkProgidBefore", apk.strOther);
    // Registered twice (every start does), then removed.
    CRegistryKey key;
    EXPECT_TRUE(SetApkAssociationInRegistry(key, 1, EXE));
    EXPECT_TRUE(SetApkAssociationInRegistry(key, 1, EXE));
    EXPECT_TRUE(key.m_hKey == NULL) << "a key is left open";
    for (const Type& t : Types()) ExpectOurs(t);
    EXPECT_FALSE(SetApkAssociationInRegistry(key, 0, EXE));
    for (const Type& t : Types()) ExpectOther(t);
    EXPECT_EQ(0u, NoteCount());

    // Another program takes .xapk again while Davrel holds it: removal leaves it that program's.
    ASSERT_TRUE(SetApkAssociationInRegistry(key, 1, EXE));
    RegPutText(HKEY_CLASSES_ROOT, ".xapk", "", "Newer.xapk");
    EXPECT_FALSE(SetApkAssociationInRegistry(key, 0, EXE));
    EXPECT_EQ("Newer.xapk", RegText(HKEY_CLASSES_ROOT, ".xapk", ""));
    EXPECT_EQ("OtherApp.xapk", RegText(HKEY_CURRENT_USER, Types()[2].strChoice, "Progid")) << "the choice Davrel held";
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "xapkfile"));
    EXPECT_EQ(0u, NoteCount());

    // Where nothing was before, nothing is left after.
    Clean();
    ASSERT_TRUE(SetApkAssociationInRegistry(key, 1, EXE));
    SetApkAssociationInRegistry(key, 0, EXE);
    for (const Type& t : Types())
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, t.strExt) || KeyExists(HKEY_CURRENT_USER, t.strChoice)) << t.strExt;
    Clean();
}

// A type whose extension key may not be written is left whole, the others are
// taken (none when it is .apk's), and a removal refused keeps Davrel's
// registration and note until it can be given back.
TEST(Association, ARefusedWriteLosesNothingAndLeavesNothingHalfWritten) {
    const std::vector<Type> types = Types();
    for (const Type& locked : types) {
        SCOPED_TRACE(locked.strExt);
        Clean();
        for (const Type& t : types) OwnedByOther(t);
        LockKey(HKEY_CLASSES_ROOT, locked.strExt, true);
        CRegistryKey key;
        const bool bApk = locked.strExt == ".apk";
        EXPECT_EQ(!bApk, SetApkAssociationInRegistry(key, 1, EXE));
        for (const Type& t : types) {
            if (bApk || &t == &locked) ExpectOther(t);
            else ExpectOurs(t);
        }
        LockKey(HKEY_CLASSES_ROOT, locked.strExt, false);

        // Held, then locked: removal gives back all it can and keeps the rest working.
        ASSERT_TRUE(SetApkAssociationInRegistry(key, 1, EXE));
        LockKey(HKEY_CLASSES_ROOT, locked.strExt, true);
        EXPECT_EQ(bApk, SetApkAssociationInRegistry(key, 0, EXE));
        EXPECT_EQ(locked.strProgId, RegText(HKEY_CLASSES_ROOT, locked.strExt, ""));
        EXPECT_EQ(std::string("\"") + EXE + "\" \"%1\"",
                  RegText(HKEY_CLASSES_ROOT, locked.strProgId + "\\shell\\open\\command", ""));
        for (const Type& t : types)
            if (&t != &locked) ExpectOther(t);
        LockKey(HKEY_CLASSES_ROOT, locked.strExt, false);
        EXPECT_FALSE(SetApkAssociationInRegistry(key, 0, EXE));
        ExpectOther(locked);
        EXPECT_EQ(0u, NoteCount());
    }
    // Where the earlier owners cannot be noted, nothing is taken.
    Clean();
    for (const Type& t : types) OwnedByOther(t);
    WriteSavedSettings(1, NULL);
    LockKey(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY, true);
    CRegistryKey key;
    EXPECT_FALSE(SetApkAssociationInRegistry(key, 1, EXE));
    for (const Type& t : types) ExpectOther(t);
    // Nor where a value Davrel would replace is no ProgID it could note.
    Clean();
    RegSetKeyValueA(HKEY_CLASSES_ROOT, ".xapk", "", REG_BINARY, "\x01\x02", 2);
    EXPECT_TRUE(SetApkAssociationInRegistry(key, 1, EXE));
    EXPECT_EQ(ERROR_SUCCESS, RegGetValueA(HKEY_CLASSES_ROOT, ".xapk", "", RRF_RT_REG_BINARY, NULL, NULL, NULL));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "xapkfile"));
    Clean();
}

}  // namespace

namespace {

TEST(Settings, TheLastEightTvsNewestFirstEachOnce) {
    ASSERT_TRUE(WriteSavedSettings(0, "192.168.1.5"));
    CRegistryKey key;
    std::vector<RecentTv> tvs;
    for (int i = 1; i <= 10; ++i) tvs = WithRecentTv(tvs, RecentTv{"10.0.0." + std::to_string(i), "Box_" + std::to_string(i)});
    tvs = WithRecentTv(tvs, RecentTv{"10.0.0.5", "MiTV_4A"});  // again: moves to the front
    StoreRecentTvs(key, tvs);
    std::vector<RecentTv> read = ReadRecentTvs(key);
    std::string strList;
    for (const RecentTv& tv : read) strList += tv.strAddress + "=" + tv.strModel + " ";
    EXPECT_EQ("10.0.0.5=MiTV_4A 10.0.0.10=Box_10 10.0.0.9=Box_9 10.0.0.8=Box_8 10.0.0.7=Box_7 10.0.0.6=Box_6 "
              "10.0.0.4=Box_4 10.0.0.3=Box_3 ", strList);
    // A shorter list leaves no old entry behind; tvIP is not touched.
    StoreRecentTvs(key, std::vector<RecentTv>(read.begin(), read.begin() + 2));
    EXPECT_EQ(2u, ReadRecentTvs(key).size());
    std::string strAddress;
    EXPECT_TRUE(ReadSavedAddress(strAddress) && strAddress == "192.168.1.5");
}

}  // namespace
