// Davrel's settings key (HKLM\SOFTWARE\Norvale\Davrel) as a test prepares
// it before starting the program and reads it back afterwards.
#pragma once
#include <windows.h>
#include <string>

// Creates the key with bDavrel = dwAssociate; writes tvIP when pszAddress
// is not null, removes it otherwise.
bool WriteSavedSettings(DWORD dwAssociate, const char* pszAddress);
// tvIP as stored; false when the key or the value is missing.
bool ReadSavedAddress(std::string& strAddress);
