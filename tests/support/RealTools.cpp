#include "support/RealTools.h"

#include <wincrypt.h>
#include <cstdio>
#include "tools/ToolRunner.h"

namespace {

std::string StateFile(const char* pszName) {
    return RealToolsDir() + "\\" + pszName;
}

std::string ReadTrimmed(const char* pszName) {
    std::string strText;
    ReadFileBytes(StateFile(pszName), strText);
    const size_t nFirst = strText.find_first_not_of(" \t\r\n");
    if (nFirst == std::string::npos) return std::string();
    return strText.substr(nFirst, strText.find_last_not_of(" \t\r\n") + 1 - nFirst);
}

// Reads the flat fields of the record {"events": [{...}, ...]}; nested values are skipped.
std::vector<TvEvent> ReadEvents(const std::string& s) {
    std::vector<TvEvent> events;
    std::string strKey;
    int nDepth = 0;  // 1: in the list, 2: in an event
    for (size_t i = s.find('[', s.find("\"events\"")); i < s.size(); ++i) {
        const char c = s[i];
        if (c == '"') {
            std::string strText;
            for (++i; i < s.size() && s[i] != '"'; ++i) strText += s[i] == '\\' ? s[++i] : s[i];
            if (nDepth != 2) continue;
            if (strKey.empty()) {
                strKey = strText;
            } else {
                events.back()[strKey] = strText;
                strKey.clear();
            }
        } else if (c == '{' || c == '[') {
            if (++nDepth == 2) events.emplace_back();
        } else if (c == '}' || c == ']') {
            if (--nDepth == 0) break;
            strKey.clear();
        } else if (nDepth == 2 && !strKey.empty() && (isalnum(static_cast<unsigned char>(c)) || c == '-')) {
            const size_t nEnd = s.find_first_of(",}] \r\n", i);
            const std::string strValue = s.substr(i, nEnd - i);
            events.back()[strKey] = strValue == "null" ? std::string() : strValue;
            strKey.clear();
            i = nEnd - 1;
        }
    }
    return events;
}

}  // namespace

std::string RealToolsDir() {
    char szFull[MAX_PATH] = {0};
    std::string strDir = BinDir() + "..\\e2e";
    if (GetFullPathNameA(strDir.c_str(), MAX_PATH, szFull, NULL)) strDir = szFull;
    return strDir;
}

std::string RealToolsProblem() {
    for (const char* pszName : {"tool-relay.txt", "tv-address", "sample.apk", "tools\\adb.exe", "tools\\aapt.exe"})
        if (!FileExists(StateFile(pszName)))
            return StateFile(pszName) + " is missing: start the relay and the simulated TV first "
                                        "(devtools/e2e/helpers.sh start, as ctest's fixture does)";
    return std::string();
}

bool UseRealTools(CDavrelDriver& app) {
    const std::string strRelay = ReadTrimmed("tool-relay.txt");
    if (strRelay.empty() || !SetEnvironmentVariableA("DAVREL_TOOL_RELAY", strRelay.c_str())) return false;
    return CopyFileA(StateFile("tools\\adb.exe").c_str(), app.ToolPath("adb").c_str(), FALSE) &&
           CopyFileA(StateFile("tools\\aapt.exe").c_str(), app.ToolPath("aapt").c_str(), FALSE);
}

std::string RunDataTool(const CDavrelDriver& app, const char* pszTool, const std::string& strArgs) {
    return RunTool(app.ToolPath(pszTool) + " " + strArgs, 60000);
}

std::string TvAddress() {
    return ReadTrimmed("tv-address");
}

std::string SamplePackage() {
    return StateFile("sample.apk");
}

bool ConfigureTv(const std::string& strJson) {
    const std::string strFile = StateFile("tv.json");
    if (!WriteFileBytes(strFile + ".tmp", strJson) ||
        !MoveFileExA((strFile + ".tmp").c_str(), strFile.c_str(), MOVEFILE_REPLACE_EXISTING))
        return false;
    Sleep(1200);  // the TV looks for a changed configuration twice a second
    return true;
}

std::vector<TvEvent> TvEvents(const char* pszType) {
    std::string strText;
    ReadFileBytes(StateFile("received.json"), strText);
    std::vector<TvEvent> matching;
    for (const TvEvent& event : ReadEvents(strText))
        if (!pszType || (event.count("type") && event.at("type") == pszType)) matching.push_back(event);
    return matching;
}

std::string FileSha256(const std::string& strPath) {
    std::string strData, strHex;
    HCRYPTPROV hProv = 0;
    HCRYPTHASH hHash = 0;
    if (!ReadFileBytes(strPath, strData) || !CryptAcquireContextA(&hProv, NULL, NULL, PROV_RSA_AES, CRYPT_VERIFYCONTEXT))
        return std::string();
    BYTE digest[32];
    DWORD dwSize = sizeof digest;
    if (CryptCreateHash(hProv, CALG_SHA_256, 0, 0, &hHash) &&
        CryptHashData(hHash, reinterpret_cast<const BYTE*>(strData.data()), DWORD(strData.size()), 0) &&
        CryptGetHashParam(hHash, HP_HASHVAL, digest, &dwSize, 0)) {
        char szByte[3];
        for (DWORD i = 0; i < dwSize; ++i) {
            std::snprintf(szByte, sizeof szByte, "%02x", digest[i]);
            strHex += szByte;
        }
    }
    if (hHash) CryptDestroyHash(hHash);
    CryptReleaseContext(hProv, 0);
    return strHex;
}
