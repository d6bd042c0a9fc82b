#include "shell/Settings.h"

#include <cstdio>

namespace {
// 255 bytes of address text plus the terminator.
const ULONG ADDRESS_CAPACITY = 256;
const char VALUE_ADDRESS[] = "tvIP";
const char VALUE_ASSOCIATE[] = "bDavrel";
const char VALUE_RECENT_FORMAT[] = "recentTv%u";

std::string RecentValueName(size_t nIndex) {
    char szName[32];
    std::snprintf(szName, sizeof(szName), VALUE_RECENT_FORMAT, static_cast<unsigned>(nIndex + 1));
    return szName;
}
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

std::vector<RecentTv> ReadRecentTvs(CRegistryKey& key) {
    std::vector<RecentTv> vecTvs;
    if (key.Open(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY, KEY_READ) == ERROR_SUCCESS) {
        for (size_t i = 0; i < RECENT_TVS_MAX; ++i) {
            char szEntry[ADDRESS_CAPACITY] = {0};
            ULONG nCount = ADDRESS_CAPACITY;
            if (key.ReadString(RecentValueName(i).c_str(), szEntry, &nCount) != ERROR_SUCCESS) continue;
            std::string strEntry = szEntry;
            size_t nTab = strEntry.find('\t');
            RecentTv tv = {strEntry.substr(0, nTab), nTab == std::string::npos ? std::string() : strEntry.substr(nTab + 1)};
            if (!tv.strAddress.empty()) vecTvs.push_back(tv);
        }
    }
    key.Close();
    return vecTvs;
}

void StoreRecentTvs(CRegistryKey& key, const std::vector<RecentTv>& vecTvs) {
    if (key.Open(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY, DAVREL_KEY_ACCESS) == ERROR_SUCCESS) {
        for (size_t i = 0; i < RECENT_TVS_MAX; ++i) {
            if (i < vecTvs.size()) key.WriteString(RecentValueName(i).c_str(), (vecTvs[i].strAddress + "\t" + vecTvs[i].strModel).c_str());
            else key.DeleteValue(RecentValueName(i).c_str());
        }
    }
    key.Close();
}

std::vector<RecentTv> WithRecentTv(const std::vector<RecentTv>& vecTvs, const RecentTv& tv) {
    std::vector<RecentTv> vecNew(1, tv);
    for (const RecentTv& old : vecTvs)
        if (old.strAddress != tv.strAddress && vecNew.size() < RECENT_TVS_MAX) vecNew.push_back(old);
    return vecNew;
}
