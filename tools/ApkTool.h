// The one tool object: where adb.exe and aapt.exe are, the current package,
// what its badging report said, the TV's storage figures and the permission
// descriptions. Every tool run goes BuildCommand -> RunTool -> a reader.
#pragma once
#include <windows.h>
#include <map>
#include <string>
#include "framework/ScopedWin.h"

enum ToolCommand {
    CMD_BADGING = 0,
    CMD_DEVICES = 1,
    CMD_INSTALL = 2,
    CMD_INSTALL_SDCARD = 3,
    CMD_UNINSTALL = 4,
    CMD_SYSTEM_SIZE = 5,
    CMD_SYSTEM_FREE = 6,
    CMD_DATA_SIZE = 7,
    CMD_DATA_FREE = 8,
    CMD_SDCARD_SIZE = 9,
    CMD_SDCARD_FREE = 10,
    CMD_SDEXT2_SIZE = 11,
    CMD_SDEXT2_FREE = 12,
};

// Outcome of an install, with adb's own words when it failed.
struct InstallResult {
    bool bSuccess = false;
    std::string strReason;  // e.g. "Failure [INSTALL_FAILED_INSUFFICIENT_STORAGE]"
};

class CApkTool {
public:
    CApkTool();

    std::map<std::string, std::string> m_mapPermissions;
    std::string m_strAdbPath;
    std::string m_strAaptPath;
    std::string m_strApkPath;
    std::string m_strLabel;
    std::string m_strPackageName;
    std::string m_strVersionName;
    std::string m_strSdkVersion;
    std::string m_strFileSize;
    std::string m_strPermissions;
    std::string m_strIconEntry;
    std::string m_strSystemSize;
    std::string m_strSystemFree;
    std::string m_strDataSize;
    std::string m_strDataFree;
    std::string m_strSdcardSize;
    std::string m_strSdcardFree;
    std::string m_strSdext2Size;
    std::string m_strSdext2Free;

    // The window thread and a task thread share this object. The package
    // path and the package details (members 4 to 11) are written and read
    // only under m_csFields; tasks work on copies taken under it. The storage
    // figures and the permission table belong to the window thread alone.
    mutable CCriticalSection m_csFields;
    // Signalled when the window closes: running tools are ended at once.
    HANDLE m_hCancel = NULL;

    std::string BuildCommand(unsigned int code) const;

    void LoadPackageInfo();
    bool IsDeviceConnected() const;
    InstallResult InstallPackage(int bInternal) const;
    bool UninstallPackage() const;
    void QueryStorage();
    void ExtractPackageIcon(std::string strDestination) const;

    // Locked access for the window thread.
    void SetApkPath(const std::string& strPath);
    std::string GetApkPath() const;

private:
    void BuildPermissionTable();
};
