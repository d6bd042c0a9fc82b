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

std::string WidePathToAnsi(const std::wstring& strPath) {
    bool bLossy = false;
    std::string strAnsi = WideToAnsiChecked(strPath.c_str(), &bLossy);
    if (!bLossy) return strAnsi;
    DWORD nChars = ::GetShortPathNameW(strPath.c_str(), NULL, 0);
    if (nChars == 0) return strAnsi;
    std::vector<wchar_t> shortPath(nChars + 1, L'\0');
    if (::GetShortPathNameW(strPath.c_str(), shortPath.data(), nChars + 1) == 0) return strAnsi;
    bool bShortLossy = false;
    std::string strShort = WideToAnsiChecked(shortPath.data(), &bShortLossy);
    return bShortLossy ? strAnsi : strShort;
}
