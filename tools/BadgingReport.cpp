#include "tools/BadgingReport.h"
#include <cctype>
#include <cstdlib>
#include <cstring>
#include "framework/StrUtil.h"

namespace {

// The line that starts with pStart, without its line end; empty when none does.
std::string LineAt(const std::string& strText, const char* pStart) {
    size_t nPos = StartsWith(strText, pStart) ? 0 : strText.find(std::string("\n") + pStart);
    if (nPos == std::string::npos) return std::string();
    if (strText[nPos] == '\n') ++nPos;
    size_t nEnd = strText.find_first_of("\r\n", nPos);
    return strText.substr(nPos, nEnd == std::string::npos ? std::string::npos : nEnd - nPos);
}

// The value after pPrefix in strLine, up to the next single quote or the end.
std::string ValueAfter(const std::string& strLine, const char* pPrefix) {
    size_t nPos = strLine.find(pPrefix);
    if (nPos == std::string::npos) return std::string();
    size_t nStart = nPos + std::strlen(pPrefix);
    size_t nEnd = strLine.find('\'', nStart);
    return strLine.substr(nStart, nEnd == std::string::npos ? std::string::npos : nEnd - nStart);
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
    if (StartsWith(strReport, ":'", nAfter)) return nAfter + 2;
    if (StartsWith(strReport, "-sdk-", nAfter)) {
        nAfter += 5;
        size_t nDigits = nAfter;
        while (nAfter < strReport.size() && std::isdigit(static_cast<unsigned char>(strReport[nAfter])))
            ++nAfter;
        if (nAfter == nDigits) return std::string::npos;
    }
    if (StartsWith(strReport, ": name='", nAfter)) return nAfter + 8;
    return std::string::npos;
}

std::vector<std::string> ReadPermissions(const std::string& strReport)
{
    std::vector<std::string> vecNames;
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
        vecNames.push_back(strReport.substr(nStart, nEnd - nStart));
        nSearch = nEnd;
    }
    return vecNames;
}

// native-code: 'arm64-v8a' 'x86'
std::vector<std::string> QuotedValues(const std::string& strLine) {
    std::vector<std::string> vecValues;
    for (size_t nPos = 0; (nPos = strLine.find('\'', nPos)) != std::string::npos;) {
        size_t nEnd = strLine.find('\'', nPos + 1);
        if (nEnd == std::string::npos) break;
        vecValues.push_back(strLine.substr(nPos + 1, nEnd - nPos - 1));
        nPos = nEnd + 1;
    }
    return vecValues;
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
        if (nCursor == nDigits || !StartsWith(strReport, ":'", nCursor)) continue;
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

std::string AndroidReleaseName(const std::string& strSdk)
{
    // By API level, from 1; level 20 was the watches' release.
    static const char* const NAMES[] = {
        "1.0", "1.1", "1.5", "1.6", "2.0", "2.0.1", "2.1", "2.2", "2.3", "2.3.3", "3.0", "3.1",
        "3.2", "4.0", "4.0.3", "4.1", "4.2", "4.3", "4.4", "4.4W", "5.0", "5.1", "6.0", "7.0",
        "7.1", "8.0", "8.1", "9", "10", "11", "12", "12L", "13", "14", "15", "16",
    };
    // Only a plain number is a level ("08" or "O" are shown as they are).
    if (strSdk.empty() || strSdk.size() > 4 || strSdk[0] == '0' ||
        strSdk.find_first_not_of("0123456789") != std::string::npos)
        return strSdk;
    const size_t nLevel = static_cast<size_t>(std::atoi(strSdk.c_str()));
    if (nLevel <= sizeof(NAMES) / sizeof(NAMES[0])) return std::string("Android ") + NAMES[nLevel - 1];
    return "API " + strSdk;  // a level newer than this table
}

BadgingDetails ReadBadgingReport(const std::string& strReport)
{
    BadgingDetails details;
    if (strReport.find("ERROR: dump failed") != std::string::npos) {
        details.bDumpFailed = true;
        return details;
    }
    const std::string strPackage = LineAt(strReport, "package: ");
    details.bRead = !strPackage.empty();
    details.strPackageName = ValueAfter(strPackage, " name='");
    details.strVersionCode = ValueAfter(strPackage, " versionCode='");
    details.strVersionName = ValueAfter(strPackage, " versionName='");
    details.strSplit = ValueAfter(strPackage, " split='");
    const std::string strApplication = LineAt(strReport, "application: ");
    details.strLabel = ValueAfter(strApplication, " label='");
    const std::string strSdkLine = LineAt(strReport, "sdkVersion:'");
    if (!strSdkLine.empty()) {
        const std::string strSdk = ValueAfter(strSdkLine, "sdkVersion:'");
        details.nMinSdk = std::atoi(strSdk.c_str());
        details.strSdkVersion = AndroidReleaseName(strSdk);
    }
    details.vecNativeCode = QuotedValues(LineAt(strReport, "native-code:"));
    details.vecPermissions = ReadPermissions(strReport);

    details.strIconEntry = ValueAfter(strApplication, " icon='");
    if (!IsRasterImage(details.strIconEntry)) {
        std::string strRaster = BestRasterIcon(strReport);
        if (!strRaster.empty()) details.strIconEntry = strRaster;
    }
    return details;
}

BadgingDetails ReadBadgingReport(const std::string& strReport,
                                 std::map<std::string, std::string>& mapPermissions)
{
    BadgingDetails details = ReadBadgingReport(strReport);
    for (const std::string& strName : details.vecPermissions) {
        const std::string& strDescription = mapPermissions[strName];
        if (!strDescription.empty()) details.strPermissions += strDescription + "\n";
    }
    return details;
}
