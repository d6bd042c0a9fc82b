// Talks to the TV through adb: is a device attached, install, uninstall.
// These run on the task thread too, so they write no member and read the
// package details only as copies taken under m_csFields.
#include "tools/ApkTool.h"
#include "tools/DeviceReport.h"
#include "tools/ToolRunner.h"

bool CApkTool::IsDeviceConnected() const
{
    std::string strCommand = BuildCommand(CMD_DEVICES);
    return ReadDeviceList(RunTool(strCommand, TOOL_QUERY_TIMEOUT_MS, m_hCancel));
}

InstallResult CApkTool::InstallPackage(int bInternal) const
{
    // The install location list gives 0 for the SD card; every other value,
    // also -1 for no selection, installs to internal storage.
    std::string strCommand = BuildCommand(bInternal ? CMD_INSTALL : CMD_INSTALL_SDCARD);
    if (strCommand.empty()) return InstallResult();
    return ReadInstallOutput(RunTool(strCommand, TOOL_NO_TIMEOUT, m_hCancel));
}

bool CApkTool::UninstallPackage() const
{
    std::string strCommand;
    {
        CLockGuard lock(m_csFields);
        // The name comes from the package's own manifest and goes on to the
        // TV's shell: refuse anything but a plain package name.
        if (!IsSafePackageName(m_strPackageName)) return false;
        strCommand = BuildCommand(CMD_UNINSTALL);
    }
    if (strCommand.empty()) return false;
    return ReadUninstallOutput(RunTool(strCommand, TOOL_NO_TIMEOUT, m_hCancel));
}
