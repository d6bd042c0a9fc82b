#include "support/RegTestUtil.h"

#include <algorithm>
#include <vector>

RegValue RegGet(HKEY hRoot, const std::string& strKey, const char* pszName, REGSAM samView) {
    RegValue value;
    HKEY hKey = NULL;
    if (RegOpenKeyExA(hRoot, strKey.c_str(), 0, KEY_READ | samView, &hKey) != ERROR_SUCCESS)
        return value;
    DWORD cb = 0;
    if (RegQueryValueExA(hKey, pszName, NULL, &value.dwType, NULL, &cb) == ERROR_SUCCESS) {
        value.strData.assign(cb, '\0');
        if (RegQueryValueExA(hKey, pszName, NULL, &value.dwType,
                             reinterpret_cast<BYTE*>(&value.strData[0]), &cb) == ERROR_SUCCESS) {
            value.strData.resize(cb);
            value.bExists = true;
        }
    }
    RegCloseKey(hKey);
    return value;
}

std::string RegText(HKEY hRoot, const std::string& strKey, const char* pszName) {
    RegValue value = RegGet(hRoot, strKey, pszName);
    if (!value.bExists) return "<missing>";
    std::string strText = value.strData;
    if (!strText.empty() && strText.back() == '\0') strText.pop_back();
    return strText;
}

bool RegKeyExists(HKEY hRoot, const std::string& strKey, REGSAM samView) {
    HKEY hKey = NULL;
    if (RegOpenKeyExA(hRoot, strKey.c_str(), 0, KEY_READ | samView, &hKey) != ERROR_SUCCESS)
        return false;
    RegCloseKey(hKey);
    return true;
}

void RegPut(HKEY hRoot, const std::string& strKey, const char* pszName, DWORD dwType,
            const std::string& strData) {
    HKEY hKey = NULL;
    if (RegCreateKeyExA(hRoot, strKey.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &hKey, NULL) !=
        ERROR_SUCCESS)
        return;
    // A non-zero byte after the data: the system would otherwise count a
    // zero found there as the text's forgotten terminator.
    std::string strBuffer = strData + '\xff';
    RegSetValueExA(hKey, pszName, 0, dwType, reinterpret_cast<const BYTE*>(strBuffer.data()),
                   static_cast<DWORD>(strData.size()));
    RegCloseKey(hKey);
}

void RegPutText(HKEY hRoot, const std::string& strKey, const char* pszName,
                const std::string& strText) {
    RegPut(hRoot, strKey, pszName, REG_SZ, std::string(strText.c_str(), strText.size() + 1));
}

void RegPutDword(HKEY hRoot, const std::string& strKey, const char* pszName, DWORD dwValue) {
    RegPut(hRoot, strKey, pszName, REG_DWORD,
           std::string(reinterpret_cast<const char*>(&dwValue), sizeof(dwValue)));
}

void RegRemove(HKEY hRoot, const std::string& strKey, REGSAM samView) {
    HKEY hKey = NULL;
    if (RegOpenKeyExA(hRoot, strKey.c_str(), 0, KEY_ALL_ACCESS | samView, &hKey) != ERROR_SUCCESS)
        return;
    RegDeleteTreeA(hKey, NULL);
    RegCloseKey(hKey);
    RegDeleteKeyExA(hRoot, strKey.c_str(), samView, 0);
}

namespace {
void DumpInto(HKEY hKey, const std::string& strPath, std::vector<std::string>& lines) {
    lines.push_back("[" + strPath + "]");
    for (DWORD i = 0;; ++i) {
        char szName[16384];
        DWORD cchName = sizeof(szName);
        BYTE data[4096];
        DWORD cbData = sizeof(data);
        DWORD dwType = 0;
        if (RegEnumValueA(hKey, i, szName, &cchName, NULL, &dwType, data, &cbData) !=
            ERROR_SUCCESS)
            break;
        lines.push_back("[" + strPath + "] " + szName + " " + std::to_string(dwType) + " " +
                        std::string(reinterpret_cast<char*>(data), cbData));
    }
    for (DWORD i = 0;; ++i) {
        char szName[256];
        DWORD cchName = sizeof(szName);
        if (RegEnumKeyExA(hKey, i, szName, &cchName, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            break;
        HKEY hChild = NULL;
        if (RegOpenKeyExA(hKey, szName, 0, KEY_READ, &hChild) == ERROR_SUCCESS) {
            DumpInto(hChild, strPath + "\\" + szName, lines);
            RegCloseKey(hChild);
        }
    }
}
}  // namespace

std::string RegDump(HKEY hRoot, const std::string& strKey) {
    HKEY hKey = NULL;
    if (RegOpenKeyExA(hRoot, strKey.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return "<missing>";
    std::vector<std::string> lines;
    DumpInto(hKey, strKey, lines);
    RegCloseKey(hKey);
    std::sort(lines.begin(), lines.end());
    std::string strDump;
    for (const std::string& strLine : lines) strDump += strLine + "\n";
    return strDump;
}
