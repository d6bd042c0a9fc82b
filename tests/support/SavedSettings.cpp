#include "support/SavedSettings.h"

#include <cstring>
#include "shell/Settings.h"

bool WriteSavedSettings(DWORD dwAssociate, const char* pszAddress) {
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY, "bDavrel", REG_DWORD, &dwAssociate, sizeof dwAssociate);
    if (pszAddress)
        RegSetKeyValueA(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY, "tvIP", REG_SZ, pszAddress, DWORD(strlen(pszAddress) + 1));
    else
        RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY, "tvIP");
    // Read back: the key is ready only when both values are as asked.
    DWORD dwStored = ~dwAssociate, cb = sizeof dwStored;
    RegGetValueA(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY, "bDavrel", RRF_RT_REG_DWORD, NULL, &dwStored, &cb);
    std::string strAddress;
    return dwStored == dwAssociate && ReadSavedAddress(strAddress) == (pszAddress != NULL) &&
           (!pszAddress || strAddress == pszAddress);
}

bool ReadSavedAddress(std::string& strAddress) {
    char szText[1024] = {0};
    DWORD cb = sizeof szText - 1;
    const bool bRead =
        RegGetValueA(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY, "tvIP", RRF_RT_REG_SZ, NULL, szText, &cb) == ERROR_SUCCESS;
    strAddress = bRead ? szText : "";
    return bRead;
}
