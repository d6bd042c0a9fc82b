#include "tools/ApkTool.h"
#include "package/PermissionTable.h"
#include "tools/BadgingReport.h"
#include "tools/ToolRunner.h"

namespace {

// The eight storage queries: a busybox pipeline run in the TV's shell that
// prints one column of the `df -h` line of one mount point.
const char* const STORAGE_ARGS[] = {
    " shell \"busybox df -h|busybox grep ' /system$'|busybox awk '{print $2}'\" ",
    " shell \"busybox df -h|busybox grep ' /system$'|busybox awk '{print $4}'\" ",
    " shell \"busybox df -h|busybox grep ' /data$'|busybox awk '{print $2}'\" ",
    " shell \"busybox df -h|busybox grep ' /data$'|busybox awk '{print $4}'\" ",
    " shell \"busybox df -h|busybox grep ' /mnt/sdcard$'|busybox awk '{print $1}'\" ",
    " shell \"busybox df -h|busybox grep ' /mnt/sdcard$'|busybox awk '{print $3}'\" ",
    " shell \"busybox df -h|busybox grep ' /data/sdext2$'|busybox awk '{print $1}'\" ",
    " shell \"busybox df -h|busybox grep ' /data/sdext2$'|busybox awk '{print $3}'\" ",
};

}  // namespace

CApkTool::CApkTool() {
    BuildPermissionTable();
}

void CApkTool::BuildPermissionTable() {
    FillPermissionTable(m_mapPermissions);
}

std::string CApkTool::BuildCommand(unsigned int code) const {
    CLockGuard lock(m_csFields);
    switch (code) {
    case CMD_BADGING:
        if (m_strApkPath.empty() || m_strAaptPath.empty()) return std::string();
        return Quoted(m_strAaptPath) + " d badging \"" + m_strApkPath + "\"";
    case CMD_DEVICES:
        if (m_strAdbPath.empty()) return std::string();
        return Quoted(m_strAdbPath) + " devices ";
    case CMD_INSTALL:
    case CMD_INSTALL_SDCARD:
        return BuildInstallCommand(code == CMD_INSTALL, m_strApkPath);
    case CMD_UNINSTALL:
        // A non-empty label is the sign that package details are loaded.
        if (m_strLabel.empty()) return std::string();
        return BuildUninstallCommand(m_strPackageName);
    default:
        if (code > CMD_SDEXT2_FREE || m_strAdbPath.empty()) return std::string();
        return Quoted(m_strAdbPath) + STORAGE_ARGS[code - CMD_SYSTEM_SIZE];
    }
}

std::string CApkTool::BuildInstallCommand(bool bInternal, const std::string& strApkPath) const {
    CLockGuard lock(m_csFields);
    if (strApkPath.empty() || m_strAdbPath.empty()) return std::string();
    return Quoted(m_strAdbPath) + (bInternal ? " install \"" : " install -s \"") + strApkPath + "\"";
}

std::string CApkTool::BuildUninstallCommand(const std::string& strPackageName) const {
    CLockGuard lock(m_csFields);
    if (strPackageName.empty() || m_strAdbPath.empty()) return std::string();
    return Quoted(m_strAdbPath) + " uninstall " + strPackageName;
}

void CApkTool::SetApkPath(const std::string& strPath) {
    CLockGuard lock(m_csFields);
    m_strApkPath = strPath;
}

std::string CApkTool::GetApkPath() const {
    CLockGuard lock(m_csFields);
    return m_strApkPath;
}

void CApkTool::StoreDetails(const BadgingDetails& details, const std::string& strFileSize, bool bBundle,
                            BundleIssue bundleIssue, const std::string& strBundleIcon) {
    CLockGuard lock(m_csFields);
    m_strLabel = details.strLabel;
    m_strPackageName = details.strPackageName;
    m_strVersionName = details.strVersionName;
    m_strSdkVersion = details.strSdkVersion;
    m_strFileSize = strFileSize;
    m_strPermissions = details.strPermissions;
    m_strIconEntry = details.strIconEntry;
    m_bBundle = bBundle;
    m_bundleIssue = bundleIssue;
    m_strBundleIcon = strBundleIcon;
}
