#include "tools/FileSize.h"
#include <windows.h>
#include <cmath>
#include <cstdio>
#include "framework/ScopedWin.h"

namespace {

// Powers of ten up to 1e22 are exact doubles.
double ExactPowerOfTen(int n)
{
    double d = 1.0;
    while (n-- > 0) d *= 10.0;
    return d;
}

// Writes a non-negative value with three significant digits like _gcvt(x, 3):
// fixed notation below 1000 with trailing zeros dropped but the point kept
// ("1.", "10."), no point with three integer digits, otherwise "d.dde+NNN".
// Ties round away from zero, as the C runtime rounds its digit string.
std::string FormatThreeDigits(double dValue)
{
    if (dValue <= 0.0) return "0.";
    int nExp = static_cast<int>(std::floor(std::log10(dValue)));
    long long nDigits = 0;
    for (int nTry = 0; nTry < 3; ++nTry) {
        // The value is a whole number of bytes divided by a power of two, so
        // scaling it into [100, 1000) is exact whenever the result is a tie.
        int nShift = nExp - 2;
        double dScaled = nShift >= 0 ? dValue / ExactPowerOfTen(nShift)
                                     : dValue * ExactPowerOfTen(-nShift);
        if (dScaled < 100.0) { --nExp; continue; }
        if (dScaled >= 1000.0) { ++nExp; continue; }
        nDigits = static_cast<long long>(std::floor(dScaled + 0.5));
        break;
    }
    if (nDigits >= 1000) {  // 999.5 rounds up to the next power of ten
        nDigits /= 10;
        ++nExp;
    }
    char szDigits[4];
    std::snprintf(szDigits, sizeof(szDigits), "%03lld", nDigits);
    std::string strDigits(szDigits);

    if (nExp >= 0 && nExp < 3) {
        std::string strText = strDigits.substr(0, nExp + 1);
        if (nExp == 2) return strText;
        std::string strDecimals = strDigits.substr(nExp + 1);
        while (!strDecimals.empty() && strDecimals.back() == '0') strDecimals.pop_back();
        return strText + "." + strDecimals;
    }
    std::string strDecimals = strDigits.substr(1);
    while (!strDecimals.empty() && strDecimals.back() == '0') strDecimals.pop_back();
    char szExp[16];
    std::snprintf(szExp, sizeof(szExp), "e%c%03d", nExp < 0 ? '-' : '+', nExp < 0 ? -nExp : nExp);
    return strDigits.substr(0, 1) + "." + strDecimals + szExp;
}

}  // namespace

std::string FormatFileSize(unsigned long long nBytes)
{
    const unsigned long long MEGABYTE = 1024ULL * 1024ULL;
    if (nBytes >= MEGABYTE) return FormatThreeDigits(static_cast<double>(nBytes) / MEGABYTE) + "MB";
    if (nBytes >= 1024) return FormatThreeDigits(static_cast<double>(nBytes) / 1024.0) + "KB";
    return FormatThreeDigits(static_cast<double>(nBytes)) + "字节";
}

// The whole 64-bit size counts, so a package of 4 GiB or more is not taken
// for a small one.
bool PackageFileBytes(const std::string& strPath, unsigned long long& nBytes)
{
    if (strPath.empty()) return false;
    CScopedFile file(::CreateFileA(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL));
    LARGE_INTEGER size;
    if (!file || !::GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0) return false;
    nBytes = static_cast<unsigned long long>(size.QuadPart);
    return true;
}

std::string MeasurePackageFile(const std::string& strPath)
{
    unsigned long long nBytes = 0;
    return PackageFileBytes(strPath, nBytes) ? FormatFileSize(nBytes) : std::string();
}
