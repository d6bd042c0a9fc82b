#include "shell/ApkAssociation.h"

#include <windows.h>
#include <shlobj.h>

const char APK_PROGID[] = "apkfile";

namespace {

const char KEY_PROGID_COMMAND[] = "apkfile\\shell\\open\\command";
const char KEY_PROGID_ICON[] = "apkfile\\DefaultIcon";
const char KEY_PROGID_OPEN[] = "apkfile\\shell\\open";
const char KEY_EXTENSION[] = ".apk";
const char KEY_USER_CHOICE[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.apk";
const char VALUE_USER_PROGID[] = "Progid";
// The shell's cache of friendly program names; Davrel never creates it.
const char KEY_MUI_CACHE[] = "SOFTWARE\\Microsoft\\Windows\\ShellNoRoam\\MUICache";

// Opens (or creates) hRoot\pszKey, writes one text value and closes the key.
// A key that can be neither opened nor created gets nothing.
void WriteEntry(CRegistryKey& key, HKEY hRoot, LPCSTR pszKey, LPCSTR pszName,
                const std::string& strData) {
    if (key.Open(hRoot, pszKey, DAVREL_KEY_ACCESS) != ERROR_SUCCESS)
        key.Create(hRoot, pszKey);
    key.WriteString(pszName, strData.c_str());
    key.Close();
}

// True when the held key's value pszName names the ProgID "apkfile" (key
// names ignore letter case), that is Davrel's entry, not another program's.
bool HoldsOurProgId(CRegistryKey& key, LPCSTR pszName) {
    char szValue[sizeof(APK_PROGID) + 1] = {0};
    ULONG nCount = sizeof(szValue);
    return key.ReadString(pszName, szValue, &nCount) == ERROR_SUCCESS &&
           lstrcmpiA(szValue, APK_PROGID) == 0;
}

void Register(CRegistryKey& key, const std::string& strExePath) {
    WriteEntry(key, HKEY_CLASSES_ROOT, APK_PROGID, "", "Android安装程序");
    WriteEntry(key, HKEY_CLASSES_ROOT, KEY_PROGID_COMMAND, "", BuildOpenCommand(strExePath));
    WriteEntry(key, HKEY_CLASSES_ROOT, KEY_PROGID_ICON, "", strExePath + ",0");
    WriteEntry(key, HKEY_CLASSES_ROOT, KEY_PROGID_OPEN, "", "用Davrel打开");
    WriteEntry(key, HKEY_CLASSES_ROOT, KEY_EXTENSION, "", APK_PROGID);
    WriteEntry(key, HKEY_CURRENT_USER, KEY_USER_CHOICE, VALUE_USER_PROGID, APK_PROGID);
    if (key.Open(HKEY_CURRENT_USER, KEY_MUI_CACHE, DAVREL_KEY_ACCESS) == ERROR_SUCCESS) {
        key.WriteString(strExePath.c_str(), "Davrel");
        key.Close();
    }
}

// Removes only what is Davrel's: its ProgID, and the extension's and the
// user's choice while they still name that ProgID. Another program that took
// .apk over since keeps its entries. The friendly name stays.
void Unregister(CRegistryKey& key) {
    if (key.Open(HKEY_CLASSES_ROOT, "", DAVREL_KEY_ACCESS) == ERROR_SUCCESS) {
        key.DeleteTree(APK_PROGID);
        key.Close();
    }
    if (key.Open(HKEY_CLASSES_ROOT, KEY_EXTENSION, DAVREL_KEY_ACCESS) == ERROR_SUCCESS) {
        if (HoldsOurProgId(key, "")) key.DeleteValue("");
        key.Close();
    }
    if (key.Open(HKEY_CURRENT_USER, KEY_USER_CHOICE, DAVREL_KEY_ACCESS) == ERROR_SUCCESS) {
        if (HoldsOurProgId(key, VALUE_USER_PROGID)) key.DeleteValue(VALUE_USER_PROGID);
        key.Close();
    }
}

}  // namespace

std::string BuildOpenCommand(const std::string& strExePath) {
    // Quoted, so that a path with blanks (C:\Program Files\...) cannot be
    // taken for a shorter program path such as C:\Program.exe.
    return "\"" + strExePath + "\" \"%1\"";
}

void SetApkAssociationInRegistry(CRegistryKey& key, int nFlag, const std::string& strExePath) {
    if (nFlag != 0) {
        if (!strExePath.empty()) Register(key, strExePath);
    } else {
        Unregister(key);
    }
    ::SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, NULL, NULL);
}

std::string GetOwnExePath() {
    char szPath[MAX_PATH] = {0};
    DWORD cch = ::GetModuleFileNameA(NULL, szPath, MAX_PATH);
    // A cut-off path would register a program that does not exist.
    if (cch == 0 || cch >= MAX_PATH) return std::string();
    return std::string(szPath, cch);
}
