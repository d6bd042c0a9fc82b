#include "shell/ApkAssociation.h"

#include <windows.h>
#include <shlobj.h>
#include "shell/Settings.h"

namespace {

struct FileType {
    const char* pszExtension;
    const char* pszProgId;       // Davrel's own: the extension's name and "file"
    const char* pszDescription;  // the type's name in the file manager
    const char* pszNotes;        // the first part of the names of its notes in the settings key
};
// .apk first: the check box shows whether Davrel holds it.
const FileType FILE_TYPES[] = {
    {".apk", "apkfile", "Android安装程序", "apk"},
    {".apks", "apksfile", "Android安装包（APKS）", "apks"},
    {".xapk", "xapkfile", "Android安装包（XAPK）", "xapk"},
    {".apkm", "apkmfile", "Android安装包（APKM）", "apkm"},
};

const char OPEN_VERB_TEXT[] = "用Davrel打开";
const char KEY_USER_CHOICES[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";
// The shell's cache of friendly program names; Davrel never creates it.
const char KEY_MUI_CACHE[] = "SOFTWARE\\Microsoft\\Windows\\ShellNoRoam\\MUICache";
// ProgIDs are at most 255 characters.
const ULONG PROGID_CAPACITY = 256;

// The two values that point an extension at a ProgID: the extension's own
// default value and the current user's choice. What each named before Davrel
// took it is noted in the settings key (<notes>DefaultBefore,
// <notes>ProgidBefore), with the keys Davrel created itself (<notes>KeysCreated:
// one bit per slot), so that removal gives it back and leaves no empty key.
const int SLOT_COUNT = 2;
struct Slot {
    HKEY hRoot;
    std::string strKey;
    const char* pszValue;
    std::string strNote;
    DWORD dwCreatedBit;
};
Slot SlotOf(const FileType& type, int nSlot) {
    if (nSlot == 0) return {HKEY_CLASSES_ROOT, type.pszExtension, "", std::string(type.pszNotes) + "DefaultBefore", 1};
    return {HKEY_CURRENT_USER, std::string(KEY_USER_CHOICES) + type.pszExtension, "Progid",
            std::string(type.pszNotes) + "ProgidBefore", 2};
}
std::string CreatedNote(const FileType& type) { return std::string(type.pszNotes) + "KeysCreated"; }

// Reads a text value of the held key: ERROR_SUCCESS, ERROR_FILE_NOT_FOUND when
// it is absent, another code when it is there but no ProgID-sized text.
LONG ReadText(CRegistryKey& key, LPCSTR pszName, std::string& strText) {
    char szValue[PROGID_CAPACITY] = {0};
    ULONG nCount = PROGID_CAPACITY;
    LONG lResult = key.ReadString(pszName, szValue, &nCount);
    strText = lResult == ERROR_SUCCESS ? szValue : "";
    return lResult;
}

// True when the held key's value names the ProgID (key names ignore case).
bool NamesProgId(CRegistryKey& key, LPCSTR pszName, LPCSTR pszProgId) {
    std::string strValue;
    return ReadText(key, pszName, strValue) == ERROR_SUCCESS && lstrcmpiA(strValue.c_str(), pszProgId) == 0;
}

struct SlotState {
    bool bKeyExists = false;
    LONG lRead = ERROR_FILE_NOT_FOUND;  // of the value, as ReadText
    std::string strText;
    bool bOurs = false;  // names Davrel's ProgID
};
SlotState ReadSlot(CRegistryKey& key, const FileType& type, int nSlot) {
    const Slot slot = SlotOf(type, nSlot);
    SlotState state;
    LONG lOpen = key.Open(slot.hRoot, slot.strKey.c_str(), KEY_READ);
    if (lOpen != ERROR_SUCCESS) {
        state.lRead = lOpen;  // a key that is there but cannot be read is not taken
        return state;
    }
    state.bKeyExists = true;
    state.lRead = ReadText(key, slot.pszValue, state.strText);
    state.bOurs = state.lRead == ERROR_SUCCESS && lstrcmpiA(state.strText.c_str(), type.pszProgId) == 0;
    key.Close();
    return state;
}

bool HoldsExtension(CRegistryKey& key, const FileType& type) { return ReadSlot(key, type, 0).bOurs; }

bool OpenSettings(CRegistryKey& key, bool bCreate) {
    return key.Open(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY, DAVREL_KEY_ACCESS) == ERROR_SUCCESS ||
           (bCreate && key.Create(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY) == ERROR_SUCCESS);
}

bool Done(LONG lResult) { return lResult == ERROR_SUCCESS || lResult == ERROR_FILE_NOT_FOUND; }

// Before a type is pointed at Davrel: notes what each slot Davrel does not
// hold yet names now (a slot it holds keeps the note of the first take-over).
// False when the notes could not all be written: then nothing may be taken.
bool NoteEarlierOwners(CRegistryKey& key, const FileType& type, const SlotState (&state)[SLOT_COUNT]) {
    if (!OpenSettings(key, true)) return false;
    DWORD dwCreated = 0;
    key.ReadDword(CreatedNote(type).c_str(), &dwCreated);
    bool bNoted = true;
    for (int i = 0; i < SLOT_COUNT; ++i) {
        if (state[i].bOurs) continue;
        const Slot slot = SlotOf(type, i);
        bNoted &= Done(state[i].lRead == ERROR_SUCCESS ? key.WriteString(slot.strNote.c_str(), state[i].strText.c_str())
                                                      : key.DeleteValue(slot.strNote.c_str()));
        dwCreated = state[i].bKeyExists ? dwCreated & ~slot.dwCreatedBit : dwCreated | slot.dwCreatedBit;
    }
    bNoted &= Done(dwCreated ? key.WriteDword(CreatedNote(type).c_str(), dwCreated)
                             : key.DeleteValue(CreatedNote(type).c_str()));
    key.Close();
    return bNoted;
}

// Opens (or creates) hRoot\strKey, writes one text value, closes the key;
// true when the value was written.
bool WriteEntry(CRegistryKey& key, HKEY hRoot, const std::string& strKey, LPCSTR pszName,
                const std::string& strData) {
    if (key.Open(hRoot, strKey.c_str(), DAVREL_KEY_ACCESS) != ERROR_SUCCESS) key.Create(hRoot, strKey.c_str());
    bool bWritten = key.WriteString(pszName, strData.c_str()) == ERROR_SUCCESS;
    key.Close();
    return bWritten;
}

bool WriteRegistration(CRegistryKey& key, const FileType& type, const std::string& strExePath) {
    const std::string strProgId = type.pszProgId;
    return WriteEntry(key, HKEY_CLASSES_ROOT, strProgId, "", type.pszDescription) &&
           WriteEntry(key, HKEY_CLASSES_ROOT, strProgId + "\\shell\\open\\command", "", BuildOpenCommand(strExePath)) &&
           WriteEntry(key, HKEY_CLASSES_ROOT, strProgId + "\\DefaultIcon", "", strExePath + ",0") &&
           WriteEntry(key, HKEY_CLASSES_ROOT, strProgId + "\\shell\\open", "", OPEN_VERB_TEXT) &&
           WriteEntry(key, HKEY_CLASSES_ROOT, type.pszExtension, "", strProgId) &&
           WriteEntry(key, HKEY_CURRENT_USER, SlotOf(type, 1).strKey, "Progid", strProgId);
}

// Deletes hRoot\strKey when it holds nothing at all.
void DeleteIfEmpty(CRegistryKey& key, HKEY hRoot, const std::string& strKey) {
    if (key.Open(hRoot, strKey.c_str(), KEY_READ) != ERROR_SUCCESS) return;
    DWORD nSubKeys = 0, nValues = 0;
    bool bEmpty = ::RegQueryInfoKeyA(key.m_hKey, NULL, NULL, NULL, &nSubKeys, NULL, NULL, &nValues, NULL, NULL,
                                     NULL, NULL) == ERROR_SUCCESS &&
                  nSubKeys == 0 && nValues == 0;
    key.Close();
    size_t nSlash = strKey.rfind('\\');
    std::string strParent = nSlash == std::string::npos ? std::string() : strKey.substr(0, nSlash);
    std::string strName = nSlash == std::string::npos ? strKey : strKey.substr(nSlash + 1);
    if (bEmpty && key.Open(hRoot, strParent.c_str(), DAVREL_KEY_ACCESS) == ERROR_SUCCESS) {
        key.DeleteSubKey(strName.c_str());
        key.Close();
    }
}

// Gives a type back: each slot that still names Davrel's ProgID gets what
// its note says (or loses the value when there was nothing); a slot another
// program has taken since is left alone. The ProgID goes once no slot names
// it, and the notes of the slots given back go. A slot whose write is refused
// keeps its note and the ProgID, so nothing points nowhere. True when the
// extension no longer names Davrel's ProgID.
bool GiveBack(CRegistryKey& key, const FileType& type) {
    std::string strBefore[SLOT_COUNT];
    bool bNoted[SLOT_COUNT] = {false, false};
    DWORD dwCreated = 0;
    if (key.Open(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY, KEY_READ) == ERROR_SUCCESS) {
        for (int i = 0; i < SLOT_COUNT; ++i)
            bNoted[i] = ReadText(key, SlotOf(type, i).strNote.c_str(), strBefore[i]) == ERROR_SUCCESS;
        key.ReadDword(CreatedNote(type).c_str(), &dwCreated);
        key.Close();
    }
    bool bStillOurs[SLOT_COUNT] = {false, false};
    for (int i = 0; i < SLOT_COUNT; ++i) {
        const Slot slot = SlotOf(type, i);
        if (key.Open(slot.hRoot, slot.strKey.c_str(), DAVREL_KEY_ACCESS) == ERROR_SUCCESS) {
            if (NamesProgId(key, slot.pszValue, type.pszProgId))
                bStillOurs[i] = (bNoted[i] ? key.WriteString(slot.pszValue, strBefore[i].c_str())
                                           : key.DeleteValue(slot.pszValue)) != ERROR_SUCCESS;
            key.Close();
        } else if (key.Open(slot.hRoot, slot.strKey.c_str(), KEY_READ) == ERROR_SUCCESS) {
            bStillOurs[i] = NamesProgId(key, slot.pszValue, type.pszProgId);  // ours, and may not be written
            key.Close();
        }
        if (!bStillOurs[i] && (dwCreated & slot.dwCreatedBit)) DeleteIfEmpty(key, slot.hRoot, slot.strKey);
    }
    if (!bStillOurs[0] && !bStillOurs[1] && key.Open(HKEY_CLASSES_ROOT, "", DAVREL_KEY_ACCESS) == ERROR_SUCCESS) {
        key.DeleteTree(type.pszProgId);
        key.Close();
    }
    if (OpenSettings(key, false)) {
        DWORD dwKept = 0;
        for (int i = 0; i < SLOT_COUNT; ++i) {
            if (bStillOurs[i]) dwKept |= dwCreated & SlotOf(type, i).dwCreatedBit;
            else key.DeleteValue(SlotOf(type, i).strNote.c_str());
        }
        if (dwKept) key.WriteDword(CreatedNote(type).c_str(), dwKept);
        else key.DeleteValue(CreatedNote(type).c_str());
        key.Close();
    }
    return !bStillOurs[0];
}

// Points a type at Davrel, or leaves it as it was: when a value it would
// replace cannot be read or noted, nothing is written, and when a write is
// refused, what this take-over wrote is given back. A type Davrel held
// already stays held (its earlier registration stands). True when Davrel
// holds the extension afterwards.
bool TakeOver(CRegistryKey& key, const FileType& type, const std::string& strExePath) {
    SlotState state[SLOT_COUNT];
    for (int i = 0; i < SLOT_COUNT; ++i) state[i] = ReadSlot(key, type, i);
    const bool bHeld = state[0].bOurs;
    if (!state[0].bOurs || !state[1].bOurs) {
        for (const SlotState& slot : state)
            if (!slot.bOurs && !Done(slot.lRead)) return bHeld;
        if (!NoteEarlierOwners(key, type, state)) return bHeld;
    }
    if (WriteRegistration(key, type, strExePath)) return true;
    if (!bHeld) GiveBack(key, type);
    return HoldsExtension(key, type);
}

}  // namespace

std::string BuildOpenCommand(const std::string& strExePath) {
    // Quoted, so that a path with blanks (C:\Program Files\...) cannot be
    // taken for a shorter program path such as C:\Program.exe.
    return "\"" + strExePath + "\" \"%1\"";
}

bool SetApkAssociationInRegistry(CRegistryKey& key, int nFlag, const std::string& strExePath) {
    bool bApk = false;
    if (nFlag == 0) {
        bApk = !GiveBack(key, FILE_TYPES[0]);
        for (size_t i = 1; i < ARRAYSIZE(FILE_TYPES); ++i) GiveBack(key, FILE_TYPES[i]);
    } else if (strExePath.empty()) {
        bApk = HoldsExtension(key, FILE_TYPES[0]);
    } else {
        // The bundles follow .apk, so that an unticked box means none is Davrel's.
        bApk = TakeOver(key, FILE_TYPES[0], strExePath);
        for (size_t i = 1; i < ARRAYSIZE(FILE_TYPES); ++i) {
            if (bApk) TakeOver(key, FILE_TYPES[i], strExePath);
            else GiveBack(key, FILE_TYPES[i]);
        }
        if (key.Open(HKEY_CURRENT_USER, KEY_MUI_CACHE, DAVREL_KEY_ACCESS) == ERROR_SUCCESS) {
            key.WriteString(strExePath.c_str(), "Davrel");
            key.Close();
        }
    }
    ::SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, NULL, NULL);
    return bApk;
}

std::string GetOwnExePath() {
    char szPath[MAX_PATH] = {0};
    DWORD cch = ::GetModuleFileNameA(NULL, szPath, MAX_PATH);
    // A cut-off path would register a program that does not exist.
    if (cch == 0 || cch >= MAX_PATH) return std::string();
    return std::string(szPath, cch);
}
