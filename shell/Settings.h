// Davrel's two settings under HKEY_LOCAL_MACHINE: the TV address last used
// for connecting (tvIP) and whether Davrel owns the .apk file type (bDavrel).
// Every function opens the settings key through the given object and closes
// it again before returning.
#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "shell/RegistryKey.h"

// HKEY_LOCAL_MACHINE, in the program's own registry view.
extern const char SETTINGS_SUBKEY[];  // "SOFTWARE\\Norvale\\Davrel"

struct DavrelSettings {
    DWORD dwAssociate = 1;      // bDavrel; 1 when absent
    bool bHaveAddress = false;  // tvIP was read
    std::string strAddress;
    LONG lCreateError = ERROR_SUCCESS;  // the key could neither be opened nor created
};

// Opens the settings key and reads both values; when it does not exist yet,
// creates it and stores bDavrel = 1.
DavrelSettings ReadSettings(CRegistryKey& key);
// Stores the address as typed, only when the settings key already exists.
void StoreTvAddress(CRegistryKey& key, const std::string& strText);
// Stores the association choice, creating the settings key if need be.
void StoreAssociateFlag(CRegistryKey& key, DWORD dwState);

// The TVs that connected last, newest first, with the model adb named
// (values recentTv1 to recentTv8, each "address<tab>model").
struct RecentTv {
    std::string strAddress;
    std::string strModel;
};
const size_t RECENT_TVS_MAX = 8;
std::vector<RecentTv> ReadRecentTvs(CRegistryKey& key);
// Stores the list, only when the settings key already exists; values beyond it are removed.
void StoreRecentTvs(CRegistryKey& key, const std::vector<RecentTv>& vecTvs);
// The list with tv first: an earlier entry of its address goes, and the oldest beyond the limit.
std::vector<RecentTv> WithRecentTv(const std::vector<RecentTv>& vecTvs, const RecentTv& tv);

// The text of the message shown when the settings key cannot be created.
std::string FormatSettingsError(LONG lError);
