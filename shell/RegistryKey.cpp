#include "shell/RegistryKey.h"

namespace {

const REGSAM VIEW_MASK = KEY_WOW64_32KEY | KEY_WOW64_64KEY;
// Registry key names are at most 255 characters.
const DWORD KEY_NAME_CAPACITY = 256;

typedef LONG(WINAPI* PFN_REG_DELETE_KEY_EX)(HKEY, LPCSTR, REGSAM, DWORD);

// RegDeleteKeyExA is missing before Vista. Looked up once per process in the
// already loaded Advapi32 (the module is not loaded for this); null when the
// system lacks it, and the plain RegDeleteKeyA serves instead.
PFN_REG_DELETE_KEY_EX FindRegDeleteKeyEx() {
    static const PFN_REG_DELETE_KEY_EX s_pfn = []() -> PFN_REG_DELETE_KEY_EX {
        HMODULE hAdvapi = ::GetModuleHandleA("Advapi32.dll");
        if (!hAdvapi) return NULL;
        return reinterpret_cast<PFN_REG_DELETE_KEY_EX>(
            reinterpret_cast<void*>(::GetProcAddress(hAdvapi, "RegDeleteKeyExA")));
    }();
    return s_pfn;
}

}  // namespace

CRegistryKey::CRegistryKey() : m_hKey(NULL), m_samView(0) {}

CRegistryKey::~CRegistryKey() { Close(); }

LONG CRegistryKey::Open(HKEY hParent, LPCSTR pszSubKey, REGSAM samDesired) {
    HKEY hKey = NULL;
    LONG lResult = ::RegOpenKeyExA(hParent, pszSubKey, 0, samDesired, &hKey);
    if (lResult != ERROR_SUCCESS) return lResult;
    Close();
    m_hKey = hKey;
    m_samView = samDesired & VIEW_MASK;
    return ERROR_SUCCESS;
}

LONG CRegistryKey::Create(HKEY hParent, LPCSTR pszSubKey) {
    HKEY hKey = NULL;
    LONG lResult = ::RegCreateKeyExA(hParent, pszSubKey, 0, NULL, REG_OPTION_NON_VOLATILE,
                                     DAVREL_KEY_ACCESS, NULL, &hKey, NULL);
    if (lResult != ERROR_SUCCESS) return lResult;
    lResult = Close();
    m_hKey = hKey;
    return lResult;
}

LONG CRegistryKey::Close() {
    LONG lResult = ERROR_SUCCESS;
    if (m_hKey) {
        lResult = ::RegCloseKey(m_hKey);
        m_hKey = NULL;
    }
    m_samView = 0;
    return lResult;
}

LONG CRegistryKey::ReadString(LPCSTR pszName, LPSTR pszBuffer, ULONG* pnCount) {
    const DWORD cbCapacity = *pnCount;
    *pnCount = 0;
    if (!m_hKey) return ERROR_INVALID_HANDLE;
    DWORD dwType = REG_NONE;
    DWORD cbData = cbCapacity;
    LONG lResult = ::RegQueryValueExA(m_hKey, pszName, NULL, &dwType,
                                      reinterpret_cast<LPBYTE>(pszBuffer), &cbData);
    if (lResult != ERROR_SUCCESS) return lResult;
    if (dwType != REG_SZ && dwType != REG_EXPAND_SZ) return ERROR_INVALID_DATA;
    if (cbData == 0) {
        // Empty data is an empty text, as long as the terminator fits.
        if (cbCapacity == 0) return ERROR_MORE_DATA;
        pszBuffer[0] = '\0';
        *pnCount = 1;
        return ERROR_SUCCESS;
    }
    // Text stored without its terminating zero is refused rather than read
    // past the data.
    if (pszBuffer[cbData - 1] != '\0') return ERROR_INVALID_DATA;
    *pnCount = cbData;
    return ERROR_SUCCESS;
}

LONG CRegistryKey::WriteString(LPCSTR pszName, LPCSTR pszText) {
    if (!m_hKey) return ERROR_INVALID_HANDLE;
    return ::RegSetValueExA(m_hKey, pszName, 0, REG_SZ, reinterpret_cast<const BYTE*>(pszText),
                            static_cast<DWORD>(lstrlenA(pszText) + 1));
}

LONG CRegistryKey::WriteDword(LPCSTR pszName, DWORD dwValue) {
    if (!m_hKey) return ERROR_INVALID_HANDLE;
    return ::RegSetValueExA(m_hKey, pszName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwValue),
                            sizeof(dwValue));
}

LONG CRegistryKey::ReadDword(LPCSTR pszName, DWORD* pdwValue) {
    if (!m_hKey) return ERROR_INVALID_HANDLE;
    DWORD dwValue = 0;
    DWORD cbData = sizeof(dwValue);
    LONG lResult = ::RegQueryValueExA(m_hKey, pszName, NULL, NULL,
                                      reinterpret_cast<LPBYTE>(&dwValue), &cbData);
    if (lResult != ERROR_SUCCESS) return lResult;
    if (cbData != sizeof(dwValue)) return ERROR_INVALID_DATA;
    *pdwValue = dwValue;
    return ERROR_SUCCESS;
}

LONG CRegistryKey::DeleteValue(LPCSTR pszName) {
    if (!m_hKey) return ERROR_INVALID_HANDLE;
    return ::RegDeleteValueA(m_hKey, pszName);
}

LONG CRegistryKey::DeleteSubKey(LPCSTR pszName) {
    if (!m_hKey) return ERROR_INVALID_HANDLE;
    PFN_REG_DELETE_KEY_EX pfnDeleteKeyEx = FindRegDeleteKeyEx();
    if (pfnDeleteKeyEx) return pfnDeleteKeyEx(m_hKey, pszName, m_samView, 0);
    return ::RegDeleteKeyA(m_hKey, pszName);
}

LONG CRegistryKey::DeleteTree(LPCSTR pszName) {
    if (!m_hKey) return ERROR_INVALID_HANDLE;
    CRegistryKey keyChild;
    LONG lResult = keyChild.Open(m_hKey, pszName, DAVREL_KEY_ACCESS | m_samView);
    if (lResult != ERROR_SUCCESS) return lResult;
    for (;;) {
        char szSubKey[KEY_NAME_CAPACITY];
        DWORD cchSubKey = KEY_NAME_CAPACITY;
        // Always index 0: the subkey found last time is gone by now.
        if (::RegEnumKeyExA(keyChild.m_hKey, 0, szSubKey, &cchSubKey, NULL, NULL, NULL, NULL) !=
            ERROR_SUCCESS)
            break;
        lResult = keyChild.DeleteTree(szSubKey);
        if (lResult != ERROR_SUCCESS) return lResult;  // keyChild closes itself
    }
    keyChild.Close();
    return DeleteSubKey(pszName);
}
