// Small text helpers for byte and wide strings. Case folding here is ASCII
// only: the names compared (file extensions, zip entries, device names,
// tools' keywords) are ASCII, and a double-byte character's trail byte must
// never be folded as if it were a letter.
#pragma once
#include <string>
#include <vector>

template <typename C>
inline C FoldAscii(C c) {
    return (c >= 'A' && c <= 'Z') ? C(c - 'A' + 'a') : c;
}

template <typename C>
inline bool EqualsNoCase(const std::basic_string<C>& strText, const C* pOther) {
    if (strText.size() != std::char_traits<C>::length(pOther)) return false;
    for (size_t i = 0; i < strText.size(); ++i)
        if (FoldAscii(strText[i]) != FoldAscii(pOther[i])) return false;
    return true;
}

template <typename C>
inline bool EndsWithNoCase(const std::basic_string<C>& strText, const C* pSuffix) {
    const size_t nLen = std::char_traits<C>::length(pSuffix);
    if (strText.size() < nLen) return false;
    for (size_t i = 0; i < nLen; ++i)
        if (FoldAscii(strText[strText.size() - nLen + i]) != FoldAscii(pSuffix[i])) return false;
    return true;
}

// strText holds pPrefix at nPos (false when nPos is past the end).
inline bool StartsWith(const std::string& strText, const char* pPrefix, size_t nPos = 0) {
    return nPos <= strText.size() && strText.compare(nPos, std::char_traits<char>::length(pPrefix), pPrefix) == 0;
}

// Without blanks and tabs at either end.
inline std::string Trimmed(const std::string& strText) {
    const size_t nFirst = strText.find_first_not_of(" \t");
    if (nFirst == std::string::npos) return std::string();
    return strText.substr(nFirst, strText.find_last_not_of(" \t") - nFirst + 1);
}

// The words of a line, split at runs of spaces and tabs (the columns of
// df and ls -l).
inline std::vector<std::string> SplitWords(const std::string& strLine) {
    std::vector<std::string> words;
    size_t nAt = 0;
    while ((nAt = strLine.find_first_not_of(" \t", nAt)) != std::string::npos) {
        size_t nEnd = strLine.find_first_of(" \t", nAt);
        words.push_back(strLine.substr(nAt, nEnd == std::string::npos ? std::string::npos : nEnd - nAt));
        nAt = nEnd;
    }
    return words;
}

// The non-empty lines, split at CR and LF alike: older TVs end lines with
// CRLF and adb's progress display rewrites its line with a lone CR.
inline std::vector<std::string> SplitLines(const std::string& strText) {
    std::vector<std::string> lines;
    size_t nStart = 0;
    while (nStart < strText.size()) {
        size_t nEnd = strText.find_first_of("\r\n", nStart);
        if (nEnd == std::string::npos) nEnd = strText.size();
        if (nEnd > nStart) lines.push_back(strText.substr(nStart, nEnd - nStart));
        nStart = nEnd + 1;
    }
    return lines;
}
