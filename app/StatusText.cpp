#include "app/StatusText.h"
#include "app/DavrelDlgTexts.h"

#include <windows.h>
#include <cstdio>

namespace {
const size_t STATUS_DETAIL_CAP = 160;  // bytes; about two lines of the status control
}

std::string StatusSafe(const std::string& strText) {
    std::string strSafe;
    for (const char* p = strText.c_str(); *p && strSafe.size() < STATUS_DETAIL_CAP;) {
        const char* pNext = ::CharNextA(p);
        if (*p == '<') strSafe += "＜";
        else if (*p == '>') strSafe += "＞";
        else if (*p == '\r' || *p == '\n') strSafe += ' ';
        else strSafe.append(p, pNext);
        p = pNext;
    }
    return strSafe;
}

std::string LimitLines(const std::string& strList, int nMaxLines, const char* pszMoreFormat) {
    if (nMaxLines < 2) nMaxLines = 2;
    int nLines = 0;
    size_t nCut = std::string::npos;
    for (size_t i = 0; i < strList.size(); ++i) {
        if (strList[i] != '\n') continue;
        ++nLines;
        if (nLines == nMaxLines - 1) nCut = i + 1;
    }
    if (!strList.empty() && strList.back() != '\n') ++nLines;
    if (nLines <= nMaxLines) return strList;
    char szMore[128];
    std::snprintf(szMore, sizeof(szMore), pszMoreFormat, nLines - (nMaxLines - 1));
    return strList.substr(0, nCut) + szMore;
}

std::string FilledText(const char* pszFormat, const std::string& strFirst, const std::string& strSecond) {
    std::string strText = pszFormat;
    size_t nFrom = 0;
    for (const std::string* pValue : {&strFirst, &strSecond}) {
        size_t nAt = strText.find("%s", nFrom);
        if (nAt == std::string::npos) break;
        strText.replace(nAt, 2, *pValue);
        nFrom = nAt + pValue->size();  // a value's own "%s" stays as it is
    }
    return strText;
}
