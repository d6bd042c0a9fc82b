#include "tools/ApkTool.h"
#include "package/PermissionTable.h"
#include "tools/BadgingReport.h"
#include "tools/ToolRunner.h"


CApkTool::CApkTool() {
    BuildPermissionTable();
}

CCommandLine CApkTool::Adb() const {
    CLockGuard lock(m_csFields);
    return CCommandLine::Adb(m_strAdbPath, m_strSerial);
}

void CApkTool::BuildPermissionTable() {
    FillPermissionTable(m_mapPermissions);
}

std::string CApkTool::BuildCommand(unsigned int code) const {
    CLockGuard lock(m_csFields);
    switch (code) {
    case CMD_BADGING:
        if (m_strApkPath.empty() || m_strAaptPath.empty()) return std::string();
        return BadgingCommand(m_strAaptPath, m_strApkPath);
    case CMD_DEVICES:
        if (m_strAdbPath.empty()) return std::string();
        return CCommandLine::Adb(m_strAdbPath).Word("devices").Word("-l").Text();
    case CMD_INSTALL:
    case CMD_INSTALL_SDCARD:
        return BuildInstallCommand(code == CMD_INSTALL, m_strApkPath, m_strSerial);
    case CMD_UNINSTALL:
        // A non-empty label is the sign that package details are loaded.
        if (m_strLabel.empty()) return std::string();
        return BuildUninstallCommand(m_strPackageName, m_strSerial);
    default:
        if (code > CMD_SDEXT2_FREE || m_strAdbPath.empty()) return std::string();
        return StorageCommand(m_strAdbPath, m_strSerial, static_cast<int>(code - CMD_SYSTEM_SIZE));
    }
}

std::string CApkTool::BuildInstallCommand(bool bInternal, const std::string& strApkPath,
                                          const std::string& strSerial) const {
    return BuildInstallCommand(bInternal, false, strApkPath, strSerial);
}

std::string CApkTool::BuildInstallCommand(bool bInternal, bool bDowngrade, const std::string& strApkPath,
                                          const std::string& strSerial) const {
    CLockGuard lock(m_csFields);
    if (strApkPath.empty() || m_strAdbPath.empty()) return std::string();
    // -r: the next version over the last keeps the app's data; without it
    // Android 4.x to 6 TVs refuse every update (INSTALL_FAILED_ALREADY_EXISTS).
    // It never allows an older version (that needs -d).
    CCommandLine line = CCommandLine::Adb(m_strAdbPath, strSerial).Word("install").Word("-r");
    if (bDowngrade) line.Word("-d");
    if (!bInternal) line.Word("-s");
    return line.Path(strApkPath).Text();
}

std::string CApkTool::BuildUninstallCommand(const std::string& strPackageName, const std::string& strSerial) const {
    CLockGuard lock(m_csFields);
    if (m_strAdbPath.empty()) return std::string();
    return CCommandLine::Adb(m_strAdbPath, strSerial).Word("uninstall").Package(strPackageName).Text();
}

void CApkTool::SetApkPath(const std::string& strPath) {
    CLockGuard lock(m_csFields);
    m_strApkPath = strPath;
}

std::string CApkTool::GetApkPath() const {
    CLockGuard lock(m_csFields);
    return m_strApkPath;
}

std::string CApkTool::LoadedPackageName() const {
    CLockGuard lock(m_csFields);
    return m_strLabel.empty() ? std::string() : m_strPackageName;
}

std::string CApkTool::Serial() const {
    CLockGuard lock(m_csFields);
    return m_strSerial;
}

void CApkTool::SetSerial(const std::string& strSerial) {
    CLockGuard lock(m_csFields);
    m_strSerial = strSerial;
}

void CApkTool::StoreDetails(const BadgingDetails& details, const std::string& strFileSize, bool bBundle,
                            const Problem& problem, const std::string& strBundleIcon) {
    CLockGuard lock(m_csFields);
    m_strLabel = details.strLabel;
    m_strPackageName = details.strPackageName;
    m_strVersionName = details.strVersionName;
    m_strVersionCode = details.strVersionCode;
    m_nMinSdk = details.nMinSdk;
    m_vecNativeCode = details.vecNativeCode;
    m_strSdkVersion = details.strSdkVersion;
    m_strFileSize = strFileSize;
    m_strPermissions = details.strPermissions;
    m_strIconEntry = details.strIconEntry;
    m_bBundle = bBundle;
    m_loadProblem = problem;
    m_strBundleIcon = strBundleIcon;
}
