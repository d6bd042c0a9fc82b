#include "tools/DeviceReport.h"
#include <vector>
#include "framework/StrUtil.h"

namespace {

bool SucceededWithoutFailure(const std::string& strOutput)
{
    return strOutput.find("Success") != std::string::npos &&
           strOutput.find("Failure") == std::string::npos;
}

// The device lines after the header: serial and state (the state's first
// word; "no permissions" keeps both). False when there is no header.
struct DeviceLine {
    std::string strSerial;
    std::string strState;
};

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
        devices.push_back(device);
    }
    return true;
}

DeviceState StateOf(const std::string& strState)
{
    if (strState == "device") return DEVICE_READY;
    if (strState == "unauthorized" || strState == "authorizing") return DEVICE_UNAUTHORIZED;
    if (strState == "no permissions") return DEVICE_NO_PERMISSIONS;
    return DEVICE_OFFLINE;  // offline, connecting, and any state not ready for use
}

bool IsAddressOf(const std::string& strSerial, const std::string& strAddress)
{
    if (strSerial == strAddress) return true;
    return strAddress.find(':') == std::string::npos && strSerial == strAddress + ":5555";
}

}  // namespace

bool ReadDeviceList(const std::string& strOutput)
{
    std::vector<DeviceLine> devices;
    ReadDeviceLines(strOutput, devices);
    for (const DeviceLine& device : devices)
        if (device.strState == "device") return true;
    return false;
}

DeviceCheck ReadDeviceState(const std::string& strOutput, const std::string& strAddress)
{
    DeviceCheck check;
    std::vector<DeviceLine> devices;
    if (!ReadDeviceLines(strOutput, devices)) {
        check.state = DEVICE_ADB_ERROR;
        // adb's own complaint, not the daemon's start-up notes.
        for (const std::string& strLine : SplitLines(strOutput)) {
            std::string strText = Trimmed(strLine);
            if (!strText.empty() && !StartsWith(strText, "* daemon")) {
                check.strDetail = strText;
                break;
            }
        }
        return check;
    }
    if (ReadDeviceList(strOutput)) {
        check.state = DEVICE_READY;
        return check;
    }
    std::string strWanted = Trimmed(strAddress);
    for (const DeviceLine& device : devices) {
        if (!strWanted.empty() && IsAddressOf(device.strSerial, strWanted)) {
            check.state = StateOf(device.strState);
            return check;
        }
    }
    if (!strWanted.empty()) check.state = DEVICE_NOT_AT_ADDRESS;
    else if (!devices.empty()) check.state = StateOf(devices.front().strState);
    return check;
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
    return ReadUninstallResult(strOutput).bSuccess;
}

InstallResult ReadUninstallResult(const std::string& strOutput)
{
    // adb words both outcomes alike: "Success", or "Failure [...]" / "error: ...".
    return ReadInstallOutput(strOutput);
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

bool IsStorageError(const std::string& strAnswer)
{
    return strAnswer.find("error") != std::string::npos;
}
