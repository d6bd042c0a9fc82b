#include "tools/TvAddress.h"

#include <vector>
#include "framework/TextConvert.h"
#include "net/Ipv4.h"

namespace {

const char DEFAULT_PORT[] = "5555";

// Full-width forms an input method gives (１ ． 。 ： and the wide blank).
wchar_t Plain(wchar_t c) {
    if (c >= 0xFF10 && c <= 0xFF19) return static_cast<wchar_t>(L'0' + (c - 0xFF10));
    if (c >= 0xFF21 && c <= 0xFF3A) return static_cast<wchar_t>(L'A' + (c - 0xFF21));
    if (c >= 0xFF41 && c <= 0xFF5A) return static_cast<wchar_t>(L'a' + (c - 0xFF41));
    if (c == 0xFF0E || c == 0x3002 || c == 0xFF61) return L'.';
    if (c == 0xFF1A) return L':';
    if (c == 0xFF0D) return L'-';
    if (c == 0x3000) return L' ';
    return c;
}

bool IsDigits(const std::string& strText) {
    if (strText.empty()) return false;
    for (char c : strText)
        if (c < '0' || c > '9') return false;
    return true;
}

std::vector<std::string> Split(const std::string& strText, char cAt) {
    std::vector<std::string> parts(1);
    for (char c : strText) {
        if (c == cAt) parts.emplace_back();
        else parts.back() += c;
    }
    return parts;
}

bool IsHostName(const std::string& strHost) {
    if (strHost.empty() || strHost.size() > 253) return false;
    for (const std::string& strLabel : Split(strHost, '.')) {
        if (strLabel.empty() || strLabel.size() > 63 || strLabel.front() == '-' || strLabel.back() == '-') return false;
        for (char c : strLabel) {
            bool bAllowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
            if (!bAllowed) return false;
        }
    }
    return true;
}

}  // namespace

bool NormaliseTvAddress(const std::string& strTyped, std::string& strSerial) {
    strSerial.clear();
    std::string strText;
    for (wchar_t c : AnsiToWide(strTyped)) {
        c = Plain(c);
        if (c > 0x7E) return false;  // nothing else outside ASCII belongs in an address
        strText += static_cast<char>(c);
    }
    size_t nFirst = strText.find_first_not_of(" \t\r\n");
    if (nFirst == std::string::npos) return false;
    strText = strText.substr(nFirst, strText.find_last_not_of(" \t\r\n") - nFirst + 1);

    std::vector<std::string> parts = Split(strText, ':');
    if (parts.size() > 2) return false;
    const std::string& strHost = parts[0];
    std::string strPort = parts.size() == 2 ? parts[1] : DEFAULT_PORT;
    if (!IsDigits(strPort) || strPort.size() > 5 || std::stoi(strPort) < 1 || std::stoi(strPort) > 65535) return false;
    // Numbers and dots are an IPv4 address, and nothing less will do:
    // "192.168.l.5" or "192.168.1" are typing slips, not host names.
    bool bLooksNumeric = strHost.find_first_not_of("0123456789.") == std::string::npos ||
                         (!strHost.empty() && strHost[0] >= '0' && strHost[0] <= '9' && strHost.find('.') != std::string::npos);
    uint32_t uAddress = 0;
    if (bLooksNumeric ? !ParseIpv4(strHost, &uAddress) : !IsHostName(strHost)) return false;
    strSerial = (bLooksNumeric ? FormatIpv4(uAddress) : strHost) + ":" + std::to_string(std::stoi(strPort));
    return true;
}
