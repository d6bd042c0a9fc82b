// The loaded package's icon into a file of its own, for the window to paint:
// a package's from its icon entry, a bundle's as read from its parts.
#include "tools/ApkTool.h"

#include "package/PackageIcon.h"

bool CApkTool::ExtractPackageIcon(std::string strDestination) const {
    std::string strApkPath, strEntry, strData;
    {
        CLockGuard lock(m_csFields);
        strApkPath = m_strApkPath;
        strEntry = m_strIconEntry;
        // A bundle's icon was read from its parts when its details were.
        if (m_bBundle && m_strBundleIcon.empty()) return false;
        if (m_bBundle) strData = m_strBundleIcon;
    }
    if (strData.empty() && !ReadIconEntry(strApkPath, strEntry, strData)) return false;
    return ReplaceIconFile(strDestination, strData);
}
