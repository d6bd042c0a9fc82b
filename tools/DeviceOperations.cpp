// Talks to the TV through adb: is a device attached, install, uninstall.
// These run on the task thread too, so they write no member and read the
// package details only as copies taken under m_csFields.
#include "tools/ApkTool.h"
#include "tools/DeviceReport.h"
#include "tools/ToolRunner.h"

InstallResult CApkTool::RunChange(const std::string& strCommand, InstallResult (*pfnRead)(const std::string&),
                        HANDLE hCancel)
{
    if (strCommand.empty()) return InstallResult();
    ToolRun run = RunToolEx(strCommand, TOOL_NO_TIMEOUT, hCancel);
    if (run.status == TOOL_NOT_STARTED) {
        InstallResult result;
        result.bAdbStarted = false;
        return result;
    }
    return pfnRead(run.strOutput);
}

bool CApkTool::IsDeviceConnected() const
{
    return CheckDevice(std::string()).state == DEVICE_READY;
}

DeviceCheck CApkTool::CheckDevice(const std::string& strAddress) const
{
    ToolRun run = RunToolEx(BuildCommand(CMD_DEVICES), TOOL_QUERY_TIMEOUT_MS, m_hCancel);
    DeviceCheck check;
    if (run.status == TOOL_NOT_STARTED) check.state = DEVICE_ADB_NOT_STARTED;
    else if (run.status != TOOL_EXITED) check.state = DEVICE_ADB_TIMED_OUT;
    else check = ReadDeviceState(run.strOutput, strAddress);
    return check;
}

InstallResult CApkTool::InstallPackage(int bInternal) const
{
    return InstallPackage(bInternal, GetApkPath());
}

InstallResult CApkTool::InstallPackage(int bInternal, const std::string& strApkPath) const
{
    // The install location list gives 0 for the SD card; every other value,
    // also -1 for no selection, installs to internal storage.
    return RunChange(BuildInstallCommand(bInternal != 0, strApkPath), ReadInstallOutput, m_hCancel);
}

bool CApkTool::UninstallPackage() const
{
    std::string strPackageName;
    {
        CLockGuard lock(m_csFields);
        // A non-empty label is the sign that package details are loaded.
        if (m_strLabel.empty()) return false;
        strPackageName = m_strPackageName;
    }
    return UninstallPackage(strPackageName).bSuccess;
}

InstallResult CApkTool::UninstallPackage(const std::string& strPackageName) const
{
    // The name comes from the package's own manifest and goes on to the
    // TV's shell: refuse anything but a plain package name.
    if (!IsSafePackageName(strPackageName)) return InstallResult();
    return RunChange(BuildUninstallCommand(strPackageName), ReadUninstallResult, m_hCancel);
}
