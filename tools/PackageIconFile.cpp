// The loaded package's icon into a file of its own, for the window to paint:
// a package's from its icon entry, a bundle's as read from its parts.
#include "tools/ApkTool.h"

#include "framework/Trace.h"
#include "package/PackageIcon.h"

bool CApkTool::ExtractPackageIcon(std::string strDestination, std::string* pData) const {
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
    Trace("icon read", std::to_string(strData.size()) + " bytes");
    if (!ReplaceIconFile(strDestination, strData)) return false;
    if (pData) pData->swap(strData);
    return true;
}
