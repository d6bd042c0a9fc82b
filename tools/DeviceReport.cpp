#include "tools/DeviceReport.h"
#include <vector>
#include "framework/StrUtil.h"

namespace {

bool Contains(const std::string& strText, const char* pWhat)
{
    return strText.find(pWhat) != std::string::npos;
}

// adb's own words: the first line that is not the daemon's start-up note.
std::string FirstWords(const std::string& strOutput)
{
    for (const std::string& strLine : SplitLines(strOutput)) {
        std::string strText = Trimmed(strLine);
        if (!strText.empty() && !StartsWith(strText, "* daemon")) return strText;
    }
    return std::string();
}

// The device lines after the header: serial and state (the state's first
// word; "no permissions" keeps both). False when there is no header.
struct DeviceLine {
    std::string strSerial;
    std::string strState;
    std::string strModel;
};

// "model:MiTV_4A" among the fields "adb devices -l" adds (adb puts '_' for
// anything but letters, digits and '-'), at most 64 of its characters.
std::string ModelOf(const std::string& strLine)
{
    size_t nAt = strLine.find(" model:");
    if (nAt == std::string::npos) return std::string();
    std::string strModel;
    for (size_t i = nAt + 7; i < strLine.size() && strModel.size() < 64; ++i) {
        char c = strLine[i];
        if (c == ' ' || c == '\t') break;
        bool bPlain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
        strModel += bPlain ? c : '_';
    }
    return strModel;
}

bool ReadDeviceLines(const std::string& strOutput, std::vector<DeviceLine>& devices)
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
        DeviceLine device = {strLine.substr(0, nGap),
                             strLine.substr(nState, nStateEnd == std::string::npos ? std::string::npos
                                                                                   : nStateEnd - nState)};
        if (device.strState == "no" && strLine.compare(nState, 14, "no permissions") == 0)
            device.strState = "no permissions";
        device.strModel = ModelOf(strLine);
        devices.push_back(device);
    }
    return true;
}

ProblemCode StateProblem(const std::string& strState)
{
    if (strState == "device") return PROBLEM_NONE;
    if (strState == "unauthorized" || strState == "authorizing") return PROBLEM_UNAUTHORIZED;
    if (strState == "no permissions") return PROBLEM_NO_PERMISSIONS;
    return PROBLEM_OFFLINE;  // offline, connecting, and any state not ready for use
}

bool IsAddressOf(const std::string& strSerial, const std::string& strAddress)
{
    if (strSerial == strAddress) return true;
    return strAddress.find(':') == std::string::npos && strSerial == strAddress + ":5555";
}

}  // namespace

DeviceCheck ReadDeviceState(const std::string& strOutput, const std::string& strAddress)
{
    DeviceCheck check;
    std::vector<DeviceLine> devices;
    if (!ReadDeviceLines(strOutput, devices)) {
        check.problem = Problem(PROBLEM_ADB_ERROR, FirstWords(strOutput));
        return check;
    }
    std::string strWanted = Trimmed(strAddress);
    if (!strWanted.empty()) {
        check.problem = Problem(PROBLEM_NOT_AT_ADDRESS);
        for (const DeviceLine& device : devices) {
            if (!IsAddressOf(device.strSerial, strWanted)) continue;
            check.problem = Problem(StateProblem(device.strState));
            check.strSerial = device.strSerial;
            check.strModel = device.strModel;
            break;
        }
        return check;
    }
    if (devices.empty()) {
        check.problem = Problem(PROBLEM_NO_ADDRESS);
    } else if (devices.size() == 1) {
        check.problem = Problem(StateProblem(devices[0].strState));
        check.strSerial = devices[0].strSerial;
        check.strModel = devices[0].strModel;
    } else {
        check.problem = Problem(PROBLEM_SEVERAL_DEVICES);
    }
    return check;
}

Problem ReadConnectOutput(const std::string& strOutput)
{
    // adb's words, from its own sources: "connected to H:P", "already
    // connected to H:P", "failed to connect to H:P", "failed to authenticate
    // to H:P", "cannot connect to H:P: ... (10061)", "unable to connect".
    if (Contains(strOutput, "failed to authenticate")) return Problem(PROBLEM_UNAUTHORIZED);
    if (Contains(strOutput, "failed to connect") || Contains(strOutput, "cannot connect to") ||
        Contains(strOutput, "unable to connect"))
        return Problem(PROBLEM_NOT_AT_ADDRESS);
    for (const std::string& strLine : SplitLines(strOutput)) {
        std::string strText = Trimmed(strLine);
        if (StartsWith(strText, "connected to") || StartsWith(strText, "already connected to")) return Problem();
    }
    return Problem(PROBLEM_ADB_ERROR, FirstWords(strOutput));
}

InstallResult ReadInstallOutput(const std::string& strOutput)
{
    InstallResult result;
    if (Contains(strOutput, "Success") && !Contains(strOutput, "Failure")) {
        result.bSuccess = true;
        return result;
    }
    result.problem = Problem(PROBLEM_REFUSED);
    std::vector<std::string> lines = SplitLines(strOutput);
    for (const std::string& strLine : lines) {
        size_t nFailure = strLine.find("Failure");
        if (nFailure != std::string::npos) {
            result.problem.strDetail = Trimmed(strLine.substr(nFailure));
            return result;
        }
    }
    for (const std::string& strLine : lines) {
        std::string strText = Trimmed(strLine);
        if (StartsWith(strText, "error:") || StartsWith(strText, "adb: ")) {
            result.problem.strDetail = strText;
            return result;
        }
    }
    // Anything else adb said last, but not the daemon's start-up notes.
    for (size_t i = lines.size(); i-- > 0;) {
        std::string strText = Trimmed(lines[i]);
        if (!strText.empty() && !StartsWith(strText, "* daemon")) {
            result.problem.strDetail = strText;
            break;
        }
    }
    return result;
}

bool IsStorageError(const std::string& strAnswer)
{
    return Contains(strAnswer, "error");
}

std::string StorageErrorWords(const std::string& strAnswer)
{
    for (const std::string& strLine : SplitLines(strAnswer))
        if (Contains(strLine, "error")) return Trimmed(strLine);
    return FirstWords(strAnswer);
}

InstalledVersion ReadInstalledVersion(const std::string& strDumpsys, const std::string& strPackageName)
{
    InstalledVersion version;
    bool bInBlock = false, bInPackage = false;
    const std::string strHeader = "Package [" + strPackageName + "]";
    for (const std::string& strLine : SplitLines(strDumpsys)) {
        std::string strText = Trimmed(strLine);
        bool bIndented = strLine[0] == ' ' || strLine[0] == '\t';
        if (!bInBlock) {
            bInBlock = !bIndented && strText == "Packages:";
            continue;
        }
        if (!bIndented) break;  // the block ended
        if (StartsWith(strText, "Package [")) {
            if (bInPackage) break;
            bInPackage = StartsWith(strText, strHeader.c_str());
            continue;
        }
        if (!bInPackage) continue;
        size_t nCode = strText.find("versionCode=");
        if (nCode != std::string::npos && version.strCode.empty()) {
            size_t nStart = nCode + 12;
            size_t nEnd = strText.find_first_not_of("0123456789", nStart);
            version.strCode = strText.substr(nStart, nEnd == std::string::npos ? std::string::npos : nEnd - nStart);
        }
        if (StartsWith(strText, "versionName=") && version.strName.empty()) version.strName = Trimmed(strText.substr(12));
    }
    version.bInstalled = bInPackage;
    return version;
}

bool IsOlderVersion(const std::string& strPackageCode, const std::string& strTvCode)
{
    // Decimal digits compared as numbers of any length: no overflow.
    auto digits = [](const std::string& s) {
        if (s.empty() || s.size() > 30 || s.find_first_not_of("0123456789") != std::string::npos) return std::string();
        size_t nFirst = s.find_first_not_of('0');
        return nFirst == std::string::npos ? std::string("0") : s.substr(nFirst);
    };
    std::string a = digits(strPackageCode), b = digits(strTvCode);
    if (a.empty() || b.empty()) return false;
    return a.size() != b.size() ? a.size() < b.size() : a < b;
}

RefusalKind RefusalKindOf(const Problem& problem)
{
    if (problem.code != PROBLEM_REFUSED) return REFUSAL_OTHER;
    const std::string& s = problem.strDetail;
    if (Contains(s, "INSTALL_FAILED_VERSION_DOWNGRADE")) return REFUSAL_DOWNGRADE;
    if (Contains(s, "INSTALL_FAILED_UPDATE_INCOMPATIBLE") || Contains(s, "INSTALL_PARSE_FAILED_INCONSISTENT_CERTIFICATES") ||
        Contains(s, "signatures do not match"))
        return REFUSAL_OTHER_KEY;
    return REFUSAL_OTHER;
}

bool IsConnectionDrop(const Problem& problem)
{
    if (problem.code != PROBLEM_REFUSED || Contains(problem.strDetail, "Failure")) return false;
    for (const char* pszWords : {"device offline", "not found", "closed", "onnection reset", "protocol fault",
                                 "no response", "Broken pipe", "connection lost", "couldn't read from device",
                                 "couldn't write to device"})
        if (Contains(problem.strDetail, pszWords)) return true;
    return false;
}

namespace {

bool IsDigits(const std::string& s)
{
    return !s.empty() && s.size() <= 18 && s.find_first_not_of("0123456789") == std::string::npos;
}

// A date column of ls -l: toolbox and toybox print 2013-01-01, busybox a month's name.
bool IsDateField(const std::string& s)
{
    static const char MONTHS[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
    if (s.size() == 3) {
        for (size_t i = 0; i + 3 <= sizeof MONTHS - 1; i += 3)
            if (s.compare(0, 3, MONTHS + i, 3) == 0) return true;
        return false;
    }
    return s.size() == 10 && s[4] == '-' && s[7] == '-' && IsDigits(s.substr(0, 4));
}

}  // namespace

long long ReadTvFileSize(const std::string& strOutput)
{
    for (const std::string& strLine : SplitLines(strOutput)) {
        std::string strText = Trimmed(strLine);
        if (IsDigits(strText)) return std::stoll(strText);  // stat -c %s
        if (strText.empty() || strText[0] != '-') continue;  // ls -l: a plain file's line
        // The size stands before the date, after the mode, owner and group
        // (and the link count, from toybox and busybox).
        const std::vector<std::string> fields = SplitWords(strText);
        for (size_t i = 3; i + 1 < fields.size(); ++i)
            if (IsDateField(fields[i + 1]) && IsDigits(fields[i])) return std::stoll(fields[i]);
    }
    return -1;
}

std::string ReadPushFailure(const std::string& strOutput)
{
    std::string strReason = ReadInstallOutput(strOutput).problem.strDetail;
    size_t nPos = strReason.rfind("': ");
    return nPos == std::string::npos ? strReason : strReason.substr(nPos + 3);
}
