#include "support/ToolScripts.h"

const char* const STORAGE_FIGURES[8] = {"1.2G", "310M", "2.0G", "1.1G", "7.4G", "5.0G", "1.0G", "900M"};

namespace {

// The mount point and column of each figure, as the storage commands name them.
const char* const STORAGE_PATTERNS[8] = {
    " /system$'|busybox awk '{print $2}",   " /system$'|busybox awk '{print $4}",
    " /data$'|busybox awk '{print $2}",     " /data$'|busybox awk '{print $4}",
    " /mnt/sdcard$'|busybox awk '{print $1}", " /mnt/sdcard$'|busybox awk '{print $3}",
    " /data/sdext2$'|busybox awk '{print $1}", " /data/sdext2$'|busybox awk '{print $3}",
};

std::string Rule(const std::string& strPattern, const std::string& strOut, bool bHang = false) {
    std::string strRule = "when " + ScriptText(strPattern) + "\n";
    if (!strOut.empty()) strRule += "out " + ScriptText(strOut) + "\n";
    if (bHang) strRule += "hang\n";
    return strRule;
}

}  // namespace

std::string CAdbScript::Text() const {
    std::string strScript;
    strScript += Rule(" devices ",
                      bDevice ? "List of devices attached \r\n192.168.1.20:5555\tdevice\r\n\r\n"
                              : "List of devices attached \r\n\r\n");
    // A real install first reports the upload, then its verdict.
    const std::string strUpload = "1385 KB/s (2459 bytes in 0.001s)\r\n\tpkg: /data/local/tmp/install.apk\r\n";
    strScript += Rule(" install -s \"", strUpload + strInstall + "\r\n", bInstallWaits);
    strScript += Rule(" install \"", strUpload + strInstall + "\r\n", bInstallWaits);
    strScript += Rule(" uninstall ", strUninstall + "\r\n", bUninstallWaits);
    for (int i = 0; i < 8; ++i)
        strScript += Rule(STORAGE_PATTERNS[i], bStorage ? std::string(STORAGE_FIGURES[i]) + "\r\n" : "");
    strScript += Rule("connect ", "connected to 192.168.1.20:5555\r\n");
    return strScript;
}

std::string BadgingReport(const std::string& strLabel, const std::string& strPackage,
                          const std::string& strVersion, const std::string& strSdk,
                          const std::vector<std::string>& permissions) {
    std::string strReport = "package: name='" + strPackage + "' versionCode='3' versionName='" + strVersion + "'\n";
    if (!strSdk.empty()) strReport += "sdkVersion:'" + strSdk + "'\n";
    for (const std::string& strPermission : permissions) strReport += "uses-permission:'" + strPermission + "'\n";
    strReport += "application: label='" + strLabel + "' icon='res/drawable/icon.png'\n";
    strReport += "launchable-activity: name='" + strPackage + ".Main'  label='' icon=''\n";
    return strReport;
}

std::string AaptScript(const std::string& strReport) {
    return Rule(" d badging \"", strReport);
}
