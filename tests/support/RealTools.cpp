#include "support/RealTools.h"

#include <wincrypt.h>
#include <cstdio>
#include "tools/ToolRunner.h"

namespace {

std::string Trim(std::string strText) {
    while (!strText.empty() && strchr(" \t\r\n", strText.back())) strText.pop_back();
    size_t nFirst = strText.find_first_not_of(" \t\r\n");
    return nFirst == std::string::npos ? std::string() : strText.substr(nFirst);
}

std::string StateFile(const char* pszName) {
    return RealToolsDir() + "\\" + pszName;
}

std::string ReadTrimmed(const char* pszName) {
    std::string strText;
    ReadFileBytes(StateFile(pszName), strText);
    return Trim(strText);
}

// Reads the flat objects of the TV's record: {"events": [{...}, ...]}.
// Nested values are skipped; the record has none that matter here.
class CRecordReader {
public:
    explicit CRecordReader(const std::string& strText) : m_s(strText) {}

    std::vector<TvEvent> Events() {
        std::vector<TvEvent> events;
        size_t nKey = m_s.find("\"events\"");
        if (nKey == std::string::npos) return events;
        m_i = m_s.find('[', nKey);
        if (m_i == std::string::npos) return events;
        ++m_i;
        while (Skip() && m_s[m_i] == '{') {
            TvEvent event;
            if (!Object(event)) break;
            events.push_back(event);
            if (Skip() && m_s[m_i] == ',') ++m_i;
        }
        return events;
    }

private:
    bool Skip() {
        while (m_i < m_s.size() && strchr(" \t\r\n", m_s[m_i])) ++m_i;
        return m_i < m_s.size();
    }

    bool Object(TvEvent& event) {
        ++m_i;  // '{'
        while (Skip()) {
            if (m_s[m_i] == '}') {
                ++m_i;
                return true;
            }
            std::string strKey, strValue;
            if (m_s[m_i] != '"' || !String(strKey) || !Skip() || m_s[m_i] != ':') return false;
            ++m_i;
            if (!Value(strValue)) return false;
            event[strKey] = strValue;
            if (Skip() && m_s[m_i] == ',') ++m_i;
        }
        return false;
    }

    bool Value(std::string& strValue) {
        if (!Skip()) return false;
        char c = m_s[m_i];
        if (c == '"') return String(strValue);
        if (c == '{' || c == '[') {  // skipped whole
            int nDepth = 0;
            std::string strIgnored;
            while (m_i < m_s.size()) {
                c = m_s[m_i];
                if (c == '"') {
                    if (!String(strIgnored)) return false;
                    continue;
                }
                ++m_i;
                if (c == '{' || c == '[') ++nDepth;
                if ((c == '}' || c == ']') && --nDepth == 0) return true;
            }
            return false;
        }
        size_t nEnd = m_s.find_first_of(",}] \t\r\n", m_i);
        if (nEnd == std::string::npos) return false;
        strValue = m_s.substr(m_i, nEnd - m_i);
        if (strValue == "null") strValue.clear();
        m_i = nEnd;
        return true;
    }

    bool String(std::string& strOut) {
        strOut.clear();
        for (++m_i; m_i < m_s.size(); ++m_i) {
            char c = m_s[m_i];
            if (c == '"') {
                ++m_i;
                return true;
            }
            if (c != '\\') {
                strOut += c;
                continue;
            }
            if (++m_i >= m_s.size()) return false;
            switch (m_s[m_i]) {
            case 'n': strOut += '\n'; break;
            case 't': strOut += '\t'; break;
            case 'r': strOut += '\r'; break;
            case 'u': strOut += '?'; m_i += 4; break;  // not needed here
            default: strOut += m_s[m_i]; break;
            }
        }
        return false;
    }

    const std::string& m_s;
    size_t m_i = 0;
};

}  // namespace

std::string RealToolsDir() {
    char szFull[MAX_PATH] = {0};
    std::string strDir = BinDir() + "..\\e2e";
    if (GetFullPathNameA(strDir.c_str(), MAX_PATH, szFull, NULL)) strDir = szFull;
    return strDir;
}

std::string RealToolsProblem() {
    const char* names[] = {"tool-relay.txt", "tv-address", "sample.apk", "tools\\adb.exe", "tools\\aapt.exe"};
    for (const char* pszName : names) {
        if (!FileExists(StateFile(pszName)))
            return StateFile(pszName) + " is missing: start the relay and the simulated TV first "
                                        "(devtools/e2e/helpers.sh start, as ctest's fixture does)";
    }
    return std::string();
}

bool UseRealTools(CDavrelDriver& app) {
    std::string strRelay = ReadTrimmed("tool-relay.txt");
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
    // The TV looks for a changed configuration twice a second.
    Sleep(1200);
    return true;
}

std::vector<TvEvent> TvEvents(const char* pszType) {
    std::string strText;
    ReadFileBytes(StateFile("received.json"), strText);
    std::vector<TvEvent> events = CRecordReader(strText).Events();
    if (!pszType) return events;
    std::vector<TvEvent> matching;
    for (const TvEvent& event : events) {
        auto it = event.find("type");
        if (it != event.end() && it->second == pszType) matching.push_back(event);
    }
    return matching;
}

std::string FileSha256(const std::string& strPath) {
    std::string strData;
    if (!ReadFileBytes(strPath, strData)) return std::string();
    HCRYPTPROV hProv = 0;
    if (!CryptAcquireContextA(&hProv, NULL, NULL, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) return std::string();
    std::string strHex;
    HCRYPTHASH hHash = 0;
    if (CryptCreateHash(hProv, CALG_SHA_256, 0, 0, &hHash)) {
        BYTE digest[32];
        DWORD dwSize = sizeof digest;
        if (CryptHashData(hHash, reinterpret_cast<const BYTE*>(strData.data()), static_cast<DWORD>(strData.size()),
                          0) &&
            CryptGetHashParam(hHash, HP_HASHVAL, digest, &dwSize, 0)) {
            char szByte[3];
            for (DWORD i = 0; i < dwSize; ++i) {
                std::snprintf(szByte, sizeof szByte, "%02x", digest[i]);
                strHex += szByte;
            }
        }
        CryptDestroyHash(hHash);
    }
    CryptReleaseContext(hProv, 0);
    return strHex;
}
