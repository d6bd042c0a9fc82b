#include "tools/DeviceReport.h"
#include <vector>

namespace {

// Lines split at CR and LF alike: older TVs end lines with CRLF and adb's
// progress display rewrites its line with a lone CR.
std::vector<std::string> SplitLines(const std::string& strText)
{
    std::vector<std::string> lines;
    std::string strLine;
    for (char c : strText) {
        if (c == '\r' || c == '\n') {
            if (!strLine.empty()) lines.push_back(strLine);
            strLine.clear();
        } else {
            strLine += c;
        }
    }
    if (!strLine.empty()) lines.push_back(strLine);
    return lines;
}

std::string Trimmed(const std::string& strText)
{
    size_t nFirst = strText.find_first_not_of(" \t");
    if (nFirst == std::string::npos) return std::string();
    size_t nLast = strText.find_last_not_of(" \t");
    return strText.substr(nFirst, nLast - nFirst + 1);
}

bool StartsWith(const std::string& strText, const char* pPrefix)
{
    return strText.compare(0, std::char_traits<char>::length(pPrefix), pPrefix) == 0;
}

bool SucceededWithoutFailure(const std::string& strOutput)
{
    return strOutput.find("Success") != std::string::npos &&
           strOutput.find("Failure") == std::string::npos;
}

}  // namespace

bool ReadDeviceList(const std::string& strOutput)
{
    static const char HEADER[] = "List of devices attached";
    size_t nHeader = strOutput.find(HEADER);
    if (nHeader == std::string::npos) return false;
    // Each device line is the serial, white space and the state; "adb
    // devices -l" adds more fields after the state.
    for (const std::string& strLine : SplitLines(strOutput.substr(nHeader + sizeof(HEADER) - 1))) {
        size_t nGap = strLine.find_first_of(" \t");
        if (nGap == 0 || nGap == std::string::npos) continue;
        size_t nState = strLine.find_first_not_of(" \t", nGap);
        if (nState == std::string::npos) continue;
        size_t nStateEnd = strLine.find_first_of(" \t", nState);
        if (strLine.compare(nState, nStateEnd == std::string::npos ? std::string::npos : nStateEnd - nState,
                            "device") == 0)
            return true;
    }
    return false;
}

InstallResult ReadInstallOutput(const std::string& strOutput)
{
    InstallResult result;
    if (SucceededWithoutFailure(strOutput)) {
        result.bSuccess = true;
        return result;
    }
    std::vector<std::string> lines = SplitLines(strOutput);
    for (const std::string& strLine : lines) {
        size_t nFailure = strLine.find("Failure");
        if (nFailure != std::string::npos) {
            result.strReason = Trimmed(strLine.substr(nFailure));
            return result;
        }
    }
    for (const std::string& strLine : lines) {
        std::string strText = Trimmed(strLine);
        if (StartsWith(strText, "error:") || StartsWith(strText, "adb: ")) {
            result.strReason = strText;
            return result;
        }
    }
    // Anything else adb said last, but not the daemon's start-up notes.
    for (size_t i = lines.size(); i-- > 0;) {
        std::string strText = Trimmed(lines[i]);
        if (!strText.empty() && !StartsWith(strText, "* daemon")) {
            result.strReason = strText;
            break;
        }
    }
    return result;
}

bool ReadUninstallOutput(const std::string& strOutput)
{
    return SucceededWithoutFailure(strOutput);
}

bool IsSafePackageName(const std::string& strName)
{
    if (strName.empty()) return false;
    for (char c : strName) {
        bool bAllowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '_' || c == '.';
        if (!bAllowed) return false;
    }
    return true;
}

bool IsStorageError(const std::string& strFirstAnswer)
{
    return strFirstAnswer.find("error") != std::string::npos;
}
