#include "tools/BadgingReport.h"
#include <cctype>
#include <cstring>

namespace {

// The value after the first occurrence of strPrefix, up to the next single
// quote or the end of the report; empty when the prefix does not occur.
bool ValueAfter(const std::string& strReport, const char* pPrefix, std::string& strValue)
{
    strValue.clear();
    size_t nPos = strReport.find(pPrefix);
    if (nPos == std::string::npos) return false;
    size_t nStart = nPos + std::strlen(pPrefix);
    size_t nEnd = strReport.find('\'', nStart);
    strValue = strReport.substr(nStart, nEnd == std::string::npos ? std::string::npos : nEnd - nStart);
    return true;
}

std::string ReleaseName(const std::string& strSdk)
{
    static const char* const NAMES[][2] = {
        {"2", "Android 1.1"},  {"3", "Android 1.5"},  {"4", "Android 1.6"},
        {"5", "Android 2.0"},  {"7", "Android 2.1"},  {"8", "Android 2.2"},
        {"9", "Android 2.3"},  {"10", "Android 2.3.3"}, {"11", "Android 3.0"},
        {"12", "Android 3.1"}, {"13", "Android 3.2"}, {"14", "Android 4.0"},
        {"15", "Android 4.0.3"}, {"16", "Android 4.1"}, {"17", "Android 4.2"},
    };
    for (const auto& row : NAMES)
        if (strSdk == row[0]) return row[1];
    return strSdk;
}

bool StartsWithAt(const std::string& strText, size_t nPos, const char* pWhat)
{
    return strText.compare(nPos, std::strlen(pWhat), pWhat) == 0;
}

// aapt has named a requested permission in three ways over the years:
//   uses-permission:'NAME'                     (old aapt)
//   uses-permission: name='NAME' [maxSdkVersion='N']
//   uses-permission-sdk-23: name='NAME'
// Returns where NAME starts for an occurrence at nPos, or npos.
size_t PermissionNameStart(const std::string& strReport, size_t nPos)
{
    static const char WORD[] = "uses-permission";
    size_t nAfter = nPos + sizeof(WORD) - 1;
    if (StartsWithAt(strReport, nAfter, ":'")) return nAfter + 2;
    if (StartsWithAt(strReport, nAfter, "-sdk-")) {
        nAfter += 5;
        size_t nDigits = nAfter;
        while (nAfter < strReport.size() && std::isdigit(static_cast<unsigned char>(strReport[nAfter])))
            ++nAfter;
        if (nAfter == nDigits) return std::string::npos;
    }
    if (StartsWithAt(strReport, nAfter, ": name='")) return nAfter + 8;
    return std::string::npos;
}

std::string ReadPermissions(const std::string& strReport,
                            std::map<std::string, std::string>& mapPermissions)
{
    std::string strList;
    size_t nSearch = 0;
    for (;;) {
        size_t nPos = strReport.find("uses-permission", nSearch);
        if (nPos == std::string::npos) break;
        size_t nStart = PermissionNameStart(strReport, nPos);
        if (nStart == std::string::npos) {
            nSearch = nPos + 1;
            continue;
        }
        size_t nEnd = strReport.find('\'', nStart);
        if (nEnd == std::string::npos) nEnd = strReport.size();
        const std::string& strDescription = mapPermissions[strReport.substr(nStart, nEnd - nStart)];
        if (!strDescription.empty()) {
            strList += strDescription;
            strList += '\n';
        }
        nSearch = nEnd;
    }
    return strList;
}

bool EndsWithNoCase(const std::string& strText, const char* pSuffix)
{
    size_t nLen = std::strlen(pSuffix);
    if (strText.size() < nLen) return false;
    for (size_t i = 0; i < nLen; ++i) {
        unsigned char c = static_cast<unsigned char>(strText[strText.size() - nLen + i]);
        if (std::tolower(c) != pSuffix[i]) return false;
    }
    return true;
}

// Only PNG and JPEG images can be painted; adaptive icons are XML.
bool IsRasterImage(const std::string& strEntry)
{
    return EndsWithNoCase(strEntry, ".png") || EndsWithNoCase(strEntry, ".jpg") ||
           EndsWithNoCase(strEntry, ".jpeg");
}

// The raster image of the highest density among the report's
// "application-icon-NNN:'...'" lines, or empty. Densities 65534 ("any") and
// 65535 ("none") serve only when no real density has a raster image.
std::string BestRasterIcon(const std::string& strReport)
{
    static const char PREFIX[] = "application-icon-";
    std::string strBest;
    long nBestRank = -1;
    size_t nSearch = 0;
    for (;;) {
        size_t nPos = strReport.find(PREFIX, nSearch);
        if (nPos == std::string::npos) break;
        size_t nCursor = nPos + sizeof(PREFIX) - 1;
        nSearch = nCursor;
        long nDensity = 0;
        size_t nDigits = nCursor;
        while (nCursor < strReport.size() && nCursor - nDigits < 6 &&
               std::isdigit(static_cast<unsigned char>(strReport[nCursor])))
            nDensity = nDensity * 10 + (strReport[nCursor++] - '0');
        if (nCursor == nDigits || !StartsWithAt(strReport, nCursor, ":'")) continue;
        size_t nStart = nCursor + 2;
        size_t nEnd = strReport.find('\'', nStart);
        if (nEnd == std::string::npos) nEnd = strReport.size();
        std::string strEntry = strReport.substr(nStart, nEnd - nStart);
        nSearch = nEnd;
        long nRank = (nDensity == 65534 || nDensity == 65535) ? 0 : nDensity + 1;
        if (IsRasterImage(strEntry) && nRank > nBestRank) {
            nBestRank = nRank;
            strBest = strEntry;
        }
    }
    return strBest;
}

}  // namespace

BadgingDetails ReadBadgingReport(const std::string& strReport,
                                 std::map<std::string, std::string>& mapPermissions)
{
    BadgingDetails details;
    if (strReport.find("ERROR: dump failed") != std::string::npos) {
        details.bDumpFailed = true;
        return details;
    }
    ValueAfter(strReport, "application: label='", details.strLabel);
    ValueAfter(strReport, "package: name='", details.strPackageName);
    ValueAfter(strReport, "versionName='", details.strVersionName);
    if (ValueAfter(strReport, "sdkVersion:'", details.strSdkVersion))
        details.strSdkVersion = ReleaseName(details.strSdkVersion);
    details.strPermissions = ReadPermissions(strReport, mapPermissions);

    ValueAfter(strReport, "icon='", details.strIconEntry);
    if (!IsRasterImage(details.strIconEntry)) {
        std::string strRaster = BestRasterIcon(strReport);
        if (!strRaster.empty()) details.strIconEntry = strRaster;
    }
    return details;
}
