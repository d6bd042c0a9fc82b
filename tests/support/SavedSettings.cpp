#include "support/SavedSettings.h"

#include "shell/Settings.h"
#include "support/RegTestUtil.h"

bool WriteSavedSettings(DWORD dwAssociate, const char* pszAddress) {
    RegPutText(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY, "bDavrel", "", &dwAssociate);
    if (pszAddress)
        RegPutText(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY, "tvIP", pszAddress);
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
    strAddress = RegText(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY, "tvIP");
    if (strAddress != "<missing>") return true;
    strAddress.clear();
    return false;
}
