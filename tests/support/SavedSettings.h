// Davrel's settings key (HKLM\SOFTWARE\Norvale\Davrel) as a test prepares
// it before starting the program and reads it back afterwards, and registry
// keys a test makes refuse Davrel's writes.
#pragma once
#include <windows.h>
#include <string>

// Creates the key with bDavrel = dwAssociate; writes tvIP when pszAddress
// is not null, removes it otherwise.
bool WriteSavedSettings(DWORD dwAssociate, const char* pszAddress);
// tvIP as stored; false when the key or the value is missing.
bool ReadSavedAddress(std::string& strAddress);
// bDavrel as stored; 7 when it cannot be read.
DWORD ReadSavedFlag();
// Makes an existing key read-only for everyone, or open to all again (its
// owner may always change that).
void LockKey(HKEY hRoot, const std::string& strKey, bool bLock);
