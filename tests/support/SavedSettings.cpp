#include "support/SavedSettings.h"

#include <cstring>
#include "shell/Settings.h"

bool WriteSavedSettings(DWORD dwAssociate, const char* pszAddress) {
    const LONG lAddress =
        pszAddress ? RegSetKeyValueA(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY, "tvIP", REG_SZ, pszAddress, strlen(pszAddress) + 1)
                   : RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY, "tvIP");
    return RegSetKeyValueA(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY, "bDavrel", REG_DWORD, &dwAssociate, 4) == ERROR_SUCCESS &&
           (lAddress == ERROR_SUCCESS || (!pszAddress && lAddress == ERROR_FILE_NOT_FOUND));
}

bool ReadSavedAddress(std::string& strAddress) {
    char szText[1024] = {0};
    DWORD cb = sizeof szText - 1;
    const bool bRead =
        RegGetValueA(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY, "tvIP", RRF_RT_REG_SZ, NULL, szText, &cb) == ERROR_SUCCESS;
    strAddress = bRead ? szText : "";
    return bRead;
}
