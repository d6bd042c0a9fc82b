#include "support/RegTestUtil.h"

std::string RegText(HKEY hRoot, const std::string& strKey, const char* pszName) {
    char szText[1024] = {0};
    DWORD cb = sizeof szText - 1;
    if (RegGetValueA(hRoot, strKey.c_str(), pszName, RRF_RT_REG_SZ, NULL, szText, &cb) != ERROR_SUCCESS)
        return "<missing>";
    return szText;
}

bool RegKeyExists(HKEY hRoot, const std::string& strKey) {
    HKEY hKey = NULL;
    if (RegOpenKeyExA(hRoot, strKey.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS) return false;
    RegCloseKey(hKey);
    return true;
}

void RegPutText(HKEY hRoot, const std::string& strKey, const char* pszName, const std::string& strText,
                const DWORD* pdwValue) {
    HKEY hKey = NULL;
    if (RegCreateKeyExA(hRoot, strKey.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &hKey, NULL) != ERROR_SUCCESS)
        return;
    if (pdwValue)
        RegSetValueExA(hKey, pszName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(pdwValue), sizeof(DWORD));
    else
        RegSetValueExA(hKey, pszName, 0, REG_SZ, reinterpret_cast<const BYTE*>(strText.c_str()),
                       DWORD(strText.size() + 1));
    RegCloseKey(hKey);
}

void RegRemove(HKEY hRoot, const std::string& strKey) {
    RegDeleteTreeA(hRoot, strKey.c_str());
    RegDeleteKeyA(hRoot, strKey.c_str());
}
