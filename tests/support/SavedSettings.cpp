#include "support/SavedSettings.h"

#include "framework/ScopedWin.h"

namespace {
const char SETTINGS_KEY[] = "SOFTWARE\\Norvale\\Davrel";
}

bool WriteSavedSettings(DWORD dwAssociate, const char* pszAddress) {
    CScopedRegKey key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, SETTINGS_KEY, 0, NULL, 0, KEY_READ | KEY_WRITE, NULL, key.Receive(),
                        NULL) != ERROR_SUCCESS)
        return false;
    if (RegSetValueExA(key.Get(), "bDavrel", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwAssociate),
                       sizeof dwAssociate) != ERROR_SUCCESS)
        return false;
    if (!pszAddress) {
        LONG lResult = RegDeleteValueA(key.Get(), "tvIP");
        return lResult == ERROR_SUCCESS || lResult == ERROR_FILE_NOT_FOUND;
    }
    return RegSetValueExA(key.Get(), "tvIP", 0, REG_SZ, reinterpret_cast<const BYTE*>(pszAddress),
                          static_cast<DWORD>(strlen(pszAddress) + 1)) == ERROR_SUCCESS;
}

bool ReadSavedAddress(std::string& strAddress) {
    strAddress.clear();
    CScopedRegKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SETTINGS_KEY, 0, KEY_READ, key.Receive()) != ERROR_SUCCESS) return false;
    char szValue[512] = {0};
    DWORD dwType = 0, dwSize = sizeof szValue - 1;
    if (RegQueryValueExA(key.Get(), "tvIP", NULL, &dwType, reinterpret_cast<BYTE*>(szValue), &dwSize) !=
            ERROR_SUCCESS ||
        dwType != REG_SZ)
        return false;
    strAddress = szValue;
    return true;
}
