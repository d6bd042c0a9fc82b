// Direct registry access for tests: set up entries and look at what the
// program stored, without going through its own registry code.
#pragma once
#include <windows.h>
#include <string>

// The text of a REG_SZ value without its terminator; "<missing>" when absent.
std::string RegText(HKEY hRoot, const std::string& strKey, const char* pszName);
bool RegKeyExists(HKEY hRoot, const std::string& strKey);
// Creates the key as needed; stores REG_SZ text, or REG_DWORD when pdwValue is given.
void RegPutText(HKEY hRoot, const std::string& strKey, const char* pszName, const std::string& strText,
                const DWORD* pdwValue = NULL);
// Removes a key with everything below it; a missing key is fine.
void RegRemove(HKEY hRoot, const std::string& strKey);
