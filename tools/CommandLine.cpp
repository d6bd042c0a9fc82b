#include "tools/CommandLine.h"

namespace {

bool IsAsciiAlnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool IsPlainWord(const std::string& strWord) {
    if (strWord.empty()) return false;
    for (char c : strWord) {
        if (!IsAsciiAlnum(c) && std::string("-_.:/=+@,").find(c) == std::string::npos) return false;
    }
    return true;
}

// Inside quotes CreateProcess's parser only cares for '"' (and a backslash
// before one, which a path never ends with here); control characters have no
// business in a path or a script of ours.
bool IsQuotable(const std::string& strText) {
    if (strText.empty() || strText.back() == '\\') return false;
    for (char c : strText) {
        if (c == '"' || (static_cast<unsigned char>(c) < 0x20)) return false;
    }
    return true;
}

std::string InQuotes(const std::string& strText) {
    return "\"" + strText + "\"";
}

}  // namespace

bool IsSafePackageName(const std::string& strName) {
    if (strName.empty()) return false;
    for (char c : strName) {
        if (!IsAsciiAlnum(c) && c != '_' && c != '.') return false;
    }
    return true;
}

CCommandLine CCommandLine::Adb(const std::string& strAdbPath, const std::string& strSerial) {
    CCommandLine line;
    line.Append(IsQuotable(strAdbPath), InQuotes(strAdbPath));
    if (!strSerial.empty()) line.Word("-s").Word(strSerial);
    return line;
}

CCommandLine CCommandLine::Aapt(const std::string& strAaptPath) {
    CCommandLine line;
    line.Append(IsQuotable(strAaptPath), InQuotes(strAaptPath));
    return line;
}

CCommandLine& CCommandLine::Word(const std::string& strWord) {
    return Append(IsPlainWord(strWord), strWord);
}

CCommandLine& CCommandLine::Path(const std::string& strPath) {
    return Append(IsQuotable(strPath), InQuotes(strPath));
}

CCommandLine& CCommandLine::Package(const std::string& strName) {
    return Append(IsSafePackageName(strName), strName);
}

CCommandLine& CCommandLine::Shell(const std::string& strScript) {
    return Append(IsQuotable(strScript), InQuotes(strScript));
}

CCommandLine& CCommandLine::Append(bool bAllowed, const std::string& strPart) {
    if (!bAllowed) m_bRefused = true;
    if (!m_bRefused) m_strLine += (m_strLine.empty() ? "" : " ") + strPart;
    return *this;
}
