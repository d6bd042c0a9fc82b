#include "framework/TextConvert.h"
#include <windows.h>
#include <vector>

namespace {
std::string WideToAnsiChecked(const wchar_t* pszText, bool* pbLossy) {
    if (pbLossy) *pbLossy = false;
    if (!pszText || !*pszText) return std::string();
    BOOL bUsedDefault = FALSE;
    int nBytes = ::WideCharToMultiByte(CP_ACP, 0, pszText, -1, NULL, 0, NULL, pbLossy ? &bUsedDefault : NULL);
    if (nBytes <= 1) return std::string();
    std::string strText(nBytes, '\0');
    ::WideCharToMultiByte(CP_ACP, 0, pszText, -1, &strText[0], nBytes, NULL, pbLossy ? &bUsedDefault : NULL);
    strText.resize(nBytes - 1);
    if (pbLossy) *pbLossy = bUsedDefault != FALSE;
    return strText;
}
}  // namespace

std::string WideToAnsi(const wchar_t* pszText) {
    return WideToAnsiChecked(pszText, NULL);
}

std::wstring AnsiToWide(const std::string& strText) {
    if (strText.empty()) return std::wstring();
    int nChars = ::MultiByteToWideChar(CP_ACP, 0, strText.data(), (int)strText.size(), NULL, 0);
    if (nChars <= 0) return std::wstring();
    std::wstring strWide(nChars, L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, strText.data(), (int)strText.size(), &strWide[0], nChars);
    return strWide;
}

std::string Utf8ToAnsi(const char* pUtf8, int nCount) {
    if (pUtf8 == NULL || nCount <= 0) return std::string();
    int nWide = ::MultiByteToWideChar(CP_UTF8, 0, pUtf8, nCount, NULL, 0);
    if (nWide <= 0) return std::string();
    std::vector<wchar_t> wide(nWide + 1, L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, pUtf8, nCount, wide.data(), nWide);
    int nAnsi = ::WideCharToMultiByte(CP_ACP, 0, wide.data(), nWide, NULL, 0, NULL, NULL);
    if (nAnsi <= 0) return std::string();
    std::string out(nAnsi, '\0');
    ::WideCharToMultiByte(CP_ACP, 0, wide.data(), nWide, &out[0], nAnsi, NULL, NULL);
    return out;
}

// The short (8.3) form of a path, "\\?\\"-prefixed when the path is too long
// for the plain call; empty when the volume keeps no short names.
std::wstring ShortPath(const std::wstring& strPath) {
    std::wstring strAsked = strPath.size() >= MAX_PATH && strPath.compare(0, 4, L"\\\\?\\") != 0
                                ? L"\\\\?\\" + strPath
                                : strPath;
    DWORD nChars = ::GetShortPathNameW(strAsked.c_str(), NULL, 0);
    if (nChars == 0) return std::wstring();
    std::vector<wchar_t> shortPath(nChars + 1, L'\0');
    if (::GetShortPathNameW(strAsked.c_str(), shortPath.data(), nChars + 1) == 0) return std::wstring();
    std::wstring strShort(shortPath.data());
    if (strAsked != strPath && strShort.compare(0, 4, L"\\\\?\\") == 0) strShort.erase(0, 4);
    return strShort;
}

std::string WidePathToAnsi(const std::wstring& strPath) {
    bool bLossy = false;
    std::string strAnsi = WideToAnsiChecked(strPath.c_str(), &bLossy);
    if (!bLossy && strAnsi.size() < MAX_PATH) return strAnsi;
    std::wstring strShort = ShortPath(strPath);
    if (strShort.empty()) return std::string();
    bool bShortLossy = false;
    std::string strShortAnsi = WideToAnsiChecked(strShort.c_str(), &bShortLossy);
    return (bShortLossy || strShortAnsi.size() >= MAX_PATH) ? std::string() : strShortAnsi;
}
