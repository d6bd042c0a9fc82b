// Direct registry access for tests: set up values of any type and look at
// what the program stored, without going through CRegistryKey.
#pragma once
#include <windows.h>
#include <string>

struct RegValue {
    bool bExists = false;
    DWORD dwType = REG_NONE;
    std::string strData;  // raw bytes as stored
};

RegValue RegGet(HKEY hRoot, const std::string& strKey, const char* pszName,
                REGSAM samView = 0);
// The text of a REG_SZ value without its terminator; "<missing>" when absent.
std::string RegText(HKEY hRoot, const std::string& strKey, const char* pszName);
bool RegKeyExists(HKEY hRoot, const std::string& strKey, REGSAM samView = 0);
// Creates the key as needed and stores raw bytes of the given type.
void RegPut(HKEY hRoot, const std::string& strKey, const char* pszName, DWORD dwType,
            const std::string& strData);
void RegPutText(HKEY hRoot, const std::string& strKey, const char* pszName,
                const std::string& strText);  // REG_SZ with terminator
void RegPutDword(HKEY hRoot, const std::string& strKey, const char* pszName, DWORD dwValue);
// Removes a key with everything below it; a missing key is fine.
void RegRemove(HKEY hRoot, const std::string& strKey, REGSAM samView = 0);
// Every key, value type and data below strKey, one line each, sorted:
// two dumps compare equal exactly when the trees hold the same entries.
std::string RegDump(HKEY hRoot, const std::string& strKey);
