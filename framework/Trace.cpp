#include "framework/Trace.h"

#include <windows.h>
#include <cstdio>

namespace {

// Opened once, on the first call, and kept for the process's life; appends
// only, so several processes may share the file.
HANDLE TraceFile() {
    static HANDLE s_hFile = [] {
        char szPath[MAX_PATH] = {0};
        DWORD n = ::GetEnvironmentVariableA("DAVREL_TRACE", szPath, MAX_PATH);
        if (n == 0 || n >= MAX_PATH) return INVALID_HANDLE_VALUE;
        return ::CreateFileA(szPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    }();
    return s_hFile;
}

}  // namespace

bool IsTracing() {
    return TraceFile() != INVALID_HANDLE_VALUE;
}

void Trace(const char* pszEvent, const std::string& strDetail) {
    HANDLE hFile = TraceFile();
    if (hFile == INVALID_HANDLE_VALUE) return;
    LARGE_INTEGER frequency, now;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&now);
    char szHead[96];
    std::snprintf(szHead, sizeof szHead, "%.1f %lu %s ",
                  1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart),
                  static_cast<unsigned long>(::GetCurrentThreadId()), pszEvent);
    // One line, one write: lines of other threads and processes never mix into it.
    std::string strLine = szHead;
    for (char c : strDetail.substr(0, 300)) strLine += (c == '\r' || c == '\n') ? ' ' : c;
    strLine += "\r\n";
    DWORD dwWritten = 0;
    ::WriteFile(hFile, strLine.data(), static_cast<DWORD>(strLine.size()), &dwWritten, NULL);
}
