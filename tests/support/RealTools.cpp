#include "support/RealTools.h"
#include <nlohmann/json.hpp>

#include <wincrypt.h>
#include <algorithm>
#include <cstdio>
#include "tools/ToolRunner.h"

namespace {

std::string StateFile(const char* pszName) {
    return RealToolsDir() + "\\" + pszName;
}

std::string ReadTrimmed(const char* pszName) {
    std::string strText;
    ReadFileBytes(StateFile(pszName), strText);
    return strText.erase(strText.find_last_not_of(" \t\r\n") + 1);
}

// The TV's record {"events": [{...}, ...]}. A list of objects (an install
// session's parts) gives one field per key: "parts.split" holds each part's
// split, comma-separated in order, an empty one for the base.
std::vector<TvEvent> ReadEvents(const std::string& strText) {
    std::vector<TvEvent> events;
    nlohmann::json record = nlohmann::json::parse(strText, nullptr, false);
    if (record.is_discarded() || !record.contains("events") || !record["events"].is_array()) return events;
    auto text = [](const nlohmann::json& value) {
        return value.is_string() ? value.get<std::string>() : value.is_null() ? std::string() : value.dump();
    };
    for (const nlohmann::json& item : record["events"]) {
        TvEvent event;
        for (auto field = item.begin(); field != item.end(); ++field) {
            if (!field->is_array()) {
                if (!field->is_null() && !field->is_object()) event[field.key()] = text(*field);
                continue;
            }
            for (size_t i = 0; i < field->size(); ++i)
                for (auto sub = (*field)[i].begin(); (*field)[i].is_object() && sub != (*field)[i].end(); ++sub) {
                    std::string& strJoined = event[field.key() + "." + sub.key()];
                    strJoined += (i ? "," : "") + text(*sub);
                }
        }
        events.push_back(event);
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
    for (const char* pszName :
         {"tool-relay.txt", "tv-address", "sample.apk", "bundles\\sample.apks", "tools\\adb.exe", "tools\\aapt.exe"})
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

std::string BundlePath(const char* pszName) {
    return StateFile("bundles\\") + pszName;
}

bool ConfigureTv(const std::string& strJson) {
    const std::string strFile = StateFile("tv.json");
    if (!WriteFileBytes(strFile + ".tmp", strJson) ||
        !MoveFileExA((strFile + ".tmp").c_str(), strFile.c_str(), MOVEFILE_REPLACE_EXISTING))
        return false;
    Sleep(1200);  // the TV looks for a changed configuration twice a second
    return true;
}

std::vector<TvEvent> TvEvents(const char* pszType, const char* pszRecord) {
    std::string strText;
    ReadFileBytes(StateFile(pszRecord), strText);
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

std::string ScanTvAddress(const char* pszMode) {
    std::string strText;
    ReadFileBytes(StateFile((std::string("scan-tv-") + pszMode).c_str()), strText);
    return strText.substr(0, strText.find(':'));
}
