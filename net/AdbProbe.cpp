#include "net/AdbProbe.h"

#include <windows.h>
#include <cstring>

namespace {
uint32_t Word(const std::string& strBytes, size_t nOffset) {
    uint32_t uValue = 0;
    for (int i = 3; i >= 0; --i) uValue = (uValue << 8) | static_cast<unsigned char>(strBytes[nOffset + i]);
    return uValue;
}

void AppendWord(std::string& strBytes, uint32_t uValue) {
    for (int i = 0; i < 4; ++i) strBytes.push_back(static_cast<char>((uValue >> (8 * i)) & 0xFF));
}

// Characters that must not reach a control: C0 and C1 controls, and the
// bidirectional marks that would turn the text around.
bool IsDropped(wchar_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069) || c == 0x2028 || c == 0x2029 || c == 0xFEFF;
}

// UTF-8 from the TV to the system code page; what cannot be shown is dropped or becomes '?'.
std::string CleanText(const std::string& strUtf8) {
    if (strUtf8.empty()) return std::string();
    int nChars = ::MultiByteToWideChar(CP_UTF8, 0, strUtf8.data(), static_cast<int>(strUtf8.size()), NULL, 0);
    if (nChars <= 0) return std::string();
    std::wstring strWide(nChars, L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, strUtf8.data(), static_cast<int>(strUtf8.size()), &strWide[0], nChars);
    std::wstring strKept;
    for (wchar_t c : strWide)
        if (!IsDropped(c) && strKept.size() < PROBE_MAX_MODEL_CHARS) strKept.push_back(c);
    size_t nStart = strKept.find_first_not_of(L' ');
    if (nStart == std::wstring::npos) return std::string();
    strKept = strKept.substr(nStart, strKept.find_last_not_of(L' ') - nStart + 1);
    int nBytes = ::WideCharToMultiByte(CP_ACP, 0, strKept.c_str(), -1, NULL, 0, NULL, NULL);
    if (nBytes <= 1) return std::string();
    std::string strAnsi(nBytes, '\0');
    ::WideCharToMultiByte(CP_ACP, 0, strKept.c_str(), -1, &strAnsi[0], nBytes, NULL, NULL);
    strAnsi.resize(nBytes - 1);
    return strAnsi;
}
}  // namespace

uint32_t AdbByteSum(const std::string& strPayload) {
    uint32_t uSum = 0;
    for (char c : strPayload) uSum += static_cast<unsigned char>(c);
    return uSum;
}

std::string BuildConnectMessage() {
    const std::string strPayload("host::\0", 7);
    std::string strMessage;
    AppendWord(strMessage, ADB_CNXN);
    AppendWord(strMessage, ADB_VERSION);
    AppendWord(strMessage, ADB_MAX_PAYLOAD);
    AppendWord(strMessage, static_cast<uint32_t>(strPayload.size()));
    AppendWord(strMessage, AdbByteSum(strPayload));
    AppendWord(strMessage, ADB_CNXN ^ 0xFFFFFFFFu);
    return strMessage + strPayload;
}

ProbeAnswer ReadProbeAnswer(const std::string& strReceived) {
    ProbeAnswer answer;
    if (strReceived.size() < ADB_HEADER_SIZE) return answer;
    const uint32_t uCommand = Word(strReceived, 0), uArg0 = Word(strReceived, 4);
    const uint32_t uLength = Word(strReceived, 12), uSum = Word(strReceived, 16), uMagic = Word(strReceived, 20);
    answer.verdict = PROBE_NOT_TV;
    if (uMagic != (uCommand ^ 0xFFFFFFFFu)) return answer;
    if (uCommand == ADB_AUTH) {
        if (uArg0 == ADB_AUTH_TOKEN) answer.verdict = PROBE_NEEDS_AUTH;
        return answer;
    }
    if (uCommand != ADB_CNXN || uLength > ADB_MAX_PAYLOAD) return answer;
    if (strReceived.size() < ADB_HEADER_SIZE + uLength) {
        answer.verdict = PROBE_INCOMPLETE;
        return answer;
    }
    const std::string strPayload = strReceived.substr(ADB_HEADER_SIZE, uLength);
    // Newer daemons send no sum (0); an older one's must match.
    if (uSum != 0 && uSum != AdbByteSum(strPayload)) return answer;
    if (strPayload.compare(0, 8, "device::") != 0) return answer;
    answer.verdict = PROBE_TV;
    answer.strModel = ModelFromBanner(strPayload);
    return answer;
}

std::string ModelFromBanner(const std::string& strBanner) {
    std::string strProps = strBanner.substr(0, strBanner.find('\0'));
    size_t nColons = strProps.find("::");
    strProps = nColons == std::string::npos ? std::string() : strProps.substr(nColons + 2);
    const char* const KEYS[] = {"ro.product.model=", "ro.product.name=", "ro.product.device="};
    for (const char* pszKey : KEYS) {
        size_t nStart = 0;
        while (nStart < strProps.size()) {
            size_t nEnd = strProps.find(';', nStart);
            if (nEnd == std::string::npos) nEnd = strProps.size();
            std::string strItem = strProps.substr(nStart, nEnd - nStart);
            nStart = nEnd + 1;
            if (strItem.compare(0, strlen(pszKey), pszKey) != 0) continue;
            std::string strModel = CleanText(strItem.substr(strlen(pszKey)));
            if (!strModel.empty()) return strModel;
        }
    }
    return std::string();
}
