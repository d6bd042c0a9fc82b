#include "shell/Settings.h"

#include <cstdio>

namespace {
// 255 bytes of address text plus the terminator.
const ULONG ADDRESS_CAPACITY = 256;
const char VALUE_ADDRESS[] = "tvIP";
const char VALUE_ASSOCIATE[] = "bDavrel";
}  // namespace

const char SETTINGS_SUBKEY[] = "SOFTWARE\\Norvale\\Davrel";

DavrelSettings ReadSettings(CRegistryKey& key) {
    DavrelSettings settings;
    if (key.Open(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY, DAVREL_KEY_ACCESS) == ERROR_SUCCESS) {
        key.ReadDword(VALUE_ASSOCIATE, &settings.dwAssociate);
        char szAddress[ADDRESS_CAPACITY] = {0};
        ULONG nCount = ADDRESS_CAPACITY;
        if (key.ReadString(VALUE_ADDRESS, szAddress, &nCount) == ERROR_SUCCESS) {
            settings.bHaveAddress = true;
            settings.strAddress = szAddress;
        }
    } else {
        LONG lResult = key.Create(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY);
        if (lResult != ERROR_SUCCESS)
            settings.lCreateError = lResult;
        else
            key.WriteDword(VALUE_ASSOCIATE, settings.dwAssociate);
    }
    key.Close();
    return settings;
}

void StoreTvAddress(CRegistryKey& key, const std::string& strText) {
    if (key.Open(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY, DAVREL_KEY_ACCESS) == ERROR_SUCCESS)
        key.WriteString(VALUE_ADDRESS, strText.c_str());
    key.Close();
}

void StoreAssociateFlag(CRegistryKey& key, DWORD dwState) {
    if (key.Open(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY, DAVREL_KEY_ACCESS) != ERROR_SUCCESS)
        key.Create(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY);
    // With neither open nor create no key is held and nothing is stored.
    key.WriteDword(VALUE_ASSOCIATE, dwState);
    key.Close();
}

std::string FormatSettingsError(LONG lError) {
    char szText[64];
    std::snprintf(szText, sizeof(szText), "错误号 = %ld", static_cast<long>(lError));
    return szText;
}
