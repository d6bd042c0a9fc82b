#include "support/SavedSettings.h"

#include <cstring>
#include <sddl.h>  // after windows.h
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

DWORD ReadSavedFlag() {
    DWORD dwFlag = 7, cb = sizeof dwFlag;
    RegGetValueA(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY, "bDavrel", RRF_RT_REG_DWORD, NULL, &dwFlag, &cb);
    return dwFlag;
}

void LockKey(HKEY hRoot, const std::string& strKey, bool bLock) {
    HKEY hKey = NULL;
    PSECURITY_DESCRIPTOR pSd = NULL;
    if (RegOpenKeyExA(hRoot, strKey.c_str(), 0, WRITE_DAC, &hKey)) return;
    if (ConvertStringSecurityDescriptorToSecurityDescriptorA(bLock ? "D:P(A;;KR;;;WD)" : "D:(A;;KA;;;WD)",
                                                             SDDL_REVISION_1, &pSd, NULL)) {
        RegSetKeySecurity(hKey, DACL_SECURITY_INFORMATION, pSd);
        LocalFree(pSd);
    }
    RegCloseKey(hKey);
}
