#include "shell/ApkAssociation.h"

#include <windows.h>
#include <shlobj.h>
#include "shell/Settings.h"

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

// What .apk pointed at before Davrel took it over, kept in Davrel's own
// settings key so that removal gives it back: the extension's default value,
// the user's choice, and which of the two keys Davrel created itself.
const char VALUE_DEFAULT_BEFORE[] = "apkDefaultBefore";
const char VALUE_PROGID_BEFORE[] = "apkProgidBefore";
const char VALUE_KEYS_CREATED[] = "apkKeysCreated";
const DWORD CREATED_EXTENSION = 1;
const DWORD CREATED_USER_CHOICE = 2;
// ProgIDs are at most 255 characters.
const ULONG PROGID_CAPACITY = 256;

struct Taken {
    HKEY hRoot;
    const char* pszKey;
    const char* pszValue;     // the value naming the ProgID
    const char* pszBefore;    // where its earlier content is kept
    DWORD dwCreatedBit;
};
const Taken TAKEN[] = {
    {HKEY_CLASSES_ROOT, KEY_EXTENSION, "", VALUE_DEFAULT_BEFORE, CREATED_EXTENSION},
    {HKEY_CURRENT_USER, KEY_USER_CHOICE, VALUE_USER_PROGID, VALUE_PROGID_BEFORE, CREATED_USER_CHOICE},
};

// Opens (or creates) hRoot\pszKey, writes one text value and closes the key.
// A key that can be neither opened nor created gets nothing.
void WriteEntry(CRegistryKey& key, HKEY hRoot, LPCSTR pszKey, LPCSTR pszName,
                const std::string& strData) {
    if (key.Open(hRoot, pszKey, DAVREL_KEY_ACCESS) != ERROR_SUCCESS)
        key.Create(hRoot, pszKey);
    key.WriteString(pszName, strData.c_str());
    key.Close();
}


// Reads a text value of the held key; false when it is absent or not text.
bool ReadText(CRegistryKey& key, LPCSTR pszName, std::string& strText) {
    char szValue[PROGID_CAPACITY] = {0};
    ULONG nCount = PROGID_CAPACITY;
    if (key.ReadString(pszName, szValue, &nCount) != ERROR_SUCCESS) return false;
    strText = szValue;
    return true;
}

// True when the held key's value pszName names the ProgID "apkfile" (key
// names ignore letter case), that is Davrel's entry, not another program's.
bool HoldsOurProgId(CRegistryKey& key, LPCSTR pszName) {
    std::string strValue;
    return ReadText(key, pszName, strValue) && lstrcmpiA(strValue.c_str(), APK_PROGID) == 0;
}

// Before .apk is pointed at Davrel: notes in the settings key what another
// program had there, unless Davrel holds it already (then the note of the
// first take-over stays).
void RememberEarlierOwners(CRegistryKey& key) {
    std::string strBefore[2];
    bool bHave[2] = {false, false};
    DWORD dwCreated = 0;
    for (int i = 0; i < 2; ++i) {
        if (key.Open(TAKEN[i].hRoot, TAKEN[i].pszKey, KEY_READ) != ERROR_SUCCESS) {
            dwCreated |= TAKEN[i].dwCreatedBit;
            continue;
        }
        bHave[i] = ReadText(key, TAKEN[i].pszValue, strBefore[i]) && lstrcmpiA(strBefore[i].c_str(), APK_PROGID) != 0;
        key.Close();
    }
    if (key.Open(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY, DAVREL_KEY_ACCESS) != ERROR_SUCCESS &&
        key.Create(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY) != ERROR_SUCCESS)
        return;
    for (int i = 0; i < 2; ++i)
        if (bHave[i]) key.WriteString(TAKEN[i].pszBefore, strBefore[i].c_str());
    DWORD dwKnown = 0;
    key.ReadDword(VALUE_KEYS_CREATED, &dwKnown);
    if (dwCreated & ~dwKnown) key.WriteDword(VALUE_KEYS_CREATED, dwKnown | dwCreated);
    key.Close();
}

bool IsEmptyKey(CRegistryKey& key) {
    DWORD nSubKeys = 0, nValues = 0;
    return ::RegQueryInfoKeyA(key.m_hKey, NULL, NULL, NULL, &nSubKeys, NULL, NULL, &nValues, NULL, NULL, NULL,
                              NULL) == ERROR_SUCCESS &&
           nSubKeys == 0 && nValues == 0;
}

// Deletes hRoot\pszKey when it holds nothing at all.
void DeleteIfEmpty(CRegistryKey& key, HKEY hRoot, const std::string& strKey) {
    if (key.Open(hRoot, strKey.c_str(), KEY_READ) != ERROR_SUCCESS) return;
    bool bEmpty = IsEmptyKey(key);
    key.Close();
    size_t nSlash = strKey.rfind('\\');
    std::string strParent = nSlash == std::string::npos ? std::string() : strKey.substr(0, nSlash);
    std::string strName = nSlash == std::string::npos ? strKey : strKey.substr(nSlash + 1);
    if (bEmpty && key.Open(hRoot, strParent.c_str(), DAVREL_KEY_ACCESS) == ERROR_SUCCESS) {
        key.DeleteSubKey(strName.c_str());
        key.Close();
    }
}

void Register(CRegistryKey& key, const std::string& strExePath) {
    RememberEarlierOwners(key);
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
// user's choice while they still name that ProgID, which then get back what
// they held before Davrel took them over. Another program that took .apk
// over since keeps its entries. Keys Davrel created and left empty go too.
// The friendly name stays.
void Unregister(CRegistryKey& key) {
    if (key.Open(HKEY_CLASSES_ROOT, "", DAVREL_KEY_ACCESS) == ERROR_SUCCESS) {
        key.DeleteTree(APK_PROGID);
        key.Close();
    }
    std::string strBefore[2];
    bool bHave[2] = {false, false};
    DWORD dwCreated = 0;
    bool bSettings = key.Open(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY, DAVREL_KEY_ACCESS) == ERROR_SUCCESS;
    if (bSettings) {
        for (int i = 0; i < 2; ++i) bHave[i] = ReadText(key, TAKEN[i].pszBefore, strBefore[i]);
        key.ReadDword(VALUE_KEYS_CREATED, &dwCreated);
        key.Close();
    }
    for (int i = 0; i < 2; ++i) {
        if (key.Open(TAKEN[i].hRoot, TAKEN[i].pszKey, DAVREL_KEY_ACCESS) != ERROR_SUCCESS) continue;
        if (HoldsOurProgId(key, TAKEN[i].pszValue)) {
            if (bHave[i]) key.WriteString(TAKEN[i].pszValue, strBefore[i].c_str());
            else key.DeleteValue(TAKEN[i].pszValue);
        }
        key.Close();
        if (dwCreated & TAKEN[i].dwCreatedBit) DeleteIfEmpty(key, TAKEN[i].hRoot, TAKEN[i].pszKey);
    }
    if (bSettings && key.Open(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY, DAVREL_KEY_ACCESS) == ERROR_SUCCESS) {
        key.DeleteValue(VALUE_DEFAULT_BEFORE);
        key.DeleteValue(VALUE_PROGID_BEFORE);
        key.DeleteValue(VALUE_KEYS_CREATED);
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
