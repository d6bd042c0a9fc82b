#include "net/Ipv4.h"

namespace {
bool ParseDecimal(const std::string& strText, size_t nMaxDigits, unsigned nMax, unsigned* pnValue) {
    if (strText.empty() || strText.size() > nMaxDigits) return false;
    unsigned nValue = 0;
    for (char c : strText) {
        if (c < '0' || c > '9') return false;
        nValue = nValue * 10 + unsigned(c - '0');
    }
    if (nValue > nMax) return false;
    *pnValue = nValue;
    return true;
}
}  // namespace

bool ParseIpv4(const std::string& strText, uint32_t* puAddress) {
    uint32_t uAddress = 0;
    size_t nStart = 0;
    for (int i = 0; i < 4; ++i) {
        size_t nDot = strText.find('.', nStart);
        if ((i < 3) != (nDot != std::string::npos)) return false;
        unsigned nPart = 0;
        if (!ParseDecimal(strText.substr(nStart, i < 3 ? nDot - nStart : std::string::npos), 3, 255, &nPart))
            return false;
        uAddress = (uAddress << 8) | nPart;
        nStart = nDot + 1;
    }
    *puAddress = uAddress;
    return true;
}

std::string FormatIpv4(uint32_t uAddress) {
    return std::to_string(uAddress >> 24) + "." + std::to_string((uAddress >> 16) & 0xFF) + "." +
           std::to_string((uAddress >> 8) & 0xFF) + "." + std::to_string(uAddress & 0xFF);
}

uint32_t PrefixMask(int nPrefix) {
    if (nPrefix <= 0) return 0;
    if (nPrefix >= 32) return 0xFFFFFFFFu;
    return 0xFFFFFFFFu << (32 - nPrefix);
}

bool ParseIpv4Network(const std::string& strText, Ipv4Network* pNetwork) {
    size_t nSlash = strText.find('/');
    unsigned nPrefix = 32;
    uint32_t uAddress = 0;
    if (!ParseIpv4(strText.substr(0, nSlash), &uAddress)) return false;
    if (nSlash != std::string::npos && !ParseDecimal(strText.substr(nSlash + 1), 2, 32, &nPrefix)) return false;
    pNetwork->nPrefix = static_cast<int>(nPrefix);
    pNetwork->uBase = uAddress & PrefixMask(pNetwork->nPrefix);
    return true;
}

std::string FormatIpv4Network(const Ipv4Network& network) {
    return FormatIpv4(network.uBase) + "/" + std::to_string(network.nPrefix);
}

bool NetworkContains(const Ipv4Network& outer, const Ipv4Network& inner) {
    return inner.nPrefix >= outer.nPrefix && (inner.uBase & PrefixMask(outer.nPrefix)) == outer.uBase;
}
