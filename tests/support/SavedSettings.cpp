#include "support/SavedSettings.h"

#include "shell/Settings.h"
#include "support/RegTestUtil.h"

bool WriteSavedSettings(DWORD dwAssociate, const char* pszAddress) {
    RegPutDword(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY, "bDavrel", dwAssociate);
    if (pszAddress)
        RegPutText(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY, "tvIP", pszAddress);
    else
        RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY, "tvIP");
    // Read back: the key is ready only when both values are as asked.
    RegValue flag = RegGet(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY, "bDavrel");
    if (flag.dwType != REG_DWORD || flag.strData != std::string(reinterpret_cast<const char*>(&dwAssociate), 4))
        return false;
    RegValue address = RegGet(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY, "tvIP");
    return pszAddress ? address.bExists && address.strData.c_str() == std::string(pszAddress) : !address.bExists;
}

bool ReadSavedAddress(std::string& strAddress) {
    RegValue address = RegGet(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY, "tvIP");
    strAddress = address.bExists && address.dwType == REG_SZ ? address.strData.c_str() : "";
    return address.bExists && address.dwType == REG_SZ;
}
