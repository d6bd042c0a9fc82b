// One registry key at a time: every registry read and write of Davrel goes
// through this object. Each operation returns the system's error code
// (ERROR_SUCCESS = 0); callers mostly do not look at it.
#pragma once
#include <windows.h>

class CRegistryKey {
public:
    CRegistryKey();
    ~CRegistryKey();
    CRegistryKey(const CRegistryKey&) = delete;
    CRegistryKey& operator=(const CRegistryKey&) = delete;

    // On success the key held before is closed and the new one is held;
    // on failure nothing changes. An empty subkey name opens hParent itself.
    LONG Open(HKEY hParent, LPCSTR pszSubKey, REGSAM samDesired);
    // Opens or creates (with every missing key along the path) for reading
    // and writing. On success the result is that of closing the old key.
    LONG Create(HKEY hParent, LPCSTR pszSubKey);
    LONG Close();

    // *pnCount: the buffer's capacity in characters on entry; on exit the
    // characters read including the terminator, 0 on failure. Only
    // zero-terminated REG_SZ and REG_EXPAND_SZ text is accepted
    // (ERROR_INVALID_DATA otherwise); REG_EXPAND_SZ is not expanded.
    LONG ReadString(LPCSTR pszName, LPSTR pszBuffer, ULONG* pnCount);
    LONG WriteString(LPCSTR pszName, LPCSTR pszText);
    LONG WriteDword(LPCSTR pszName, DWORD dwValue);
    // Reads 4 bytes of a value of any type; *pdwValue is left alone unless
    // the value holds exactly 4 bytes.
    LONG ReadDword(LPCSTR pszName, DWORD* pdwValue);
    LONG DeleteValue(LPCSTR pszName);
    // Deletes a subkey that has no subkeys of its own.
    LONG DeleteSubKey(LPCSTR pszName);
    // Deletes a subkey with everything below it; stops at the first failure.
    LONG DeleteTree(LPCSTR pszName);

    HKEY m_hKey;
    // Registry-view bits (KEY_WOW64_32KEY | KEY_WOW64_64KEY) of the access
    // the held key was opened with; passed on to subkey opens and deletes.
    REGSAM m_samView;
};

// KEY_READ | KEY_WRITE: the access of every open and create of Davrel.
const REGSAM DAVREL_KEY_ACCESS = KEY_READ | KEY_WRITE;
