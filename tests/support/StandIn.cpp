#include "support/StandIn.h"

#include "framework/TextConvert.h"

#include <windows.h>
#include <algorithm>
#include <cstdio>

std::string BinDir() {
    char path[MAX_PATH] = {0};
    GetModuleFileNameA(NULL, path, MAX_PATH - 1);
    return std::string(path).substr(0, std::string(path).rfind('\\') + 1);
}

bool WriteFileBytes(const std::string& strPath, const std::string& strData) {
    HANDLE h = CreateFileA(strPath.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    DWORD wrote = 0;
    const bool bOk = WriteFile(h, strData.data(), DWORD(strData.size()), &wrote, NULL) && wrote == strData.size();
    return h != INVALID_HANDLE_VALUE && CloseHandle(h) && bOk;
}

bool ReadFileBytes(const std::string& strPath, std::string& strData) {
    strData.clear();
    HANDLE h = CreateFileA(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
    char buf[65536];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof buf, &got, NULL) && got > 0) strData.append(buf, got);
    return h != INVALID_HANDLE_VALUE && CloseHandle(h);
}

bool FileExists(const std::string& strPath) {
    return GetFileAttributesA(strPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

namespace {
// Wide and "\\?\\"-prefixed: tests make names outside the code page and paths over MAX_PATH.
bool RemoveTreeW(const std::wstring& strPath) {
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((strPath + L"\\*").c_str(), &fd);
    for (BOOL more = h != INVALID_HANDLE_VALUE; more; more = FindNextFileW(h, &fd)) {
        const std::wstring name = fd.cFileName, child = strPath + L"\\" + name;
        if (name == L"." || name == L"..") continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTreeW(child);
        else DeleteFileW(child.c_str());
    }
    if (h != INVALID_HANDLE_VALUE) FindClose(h);
    return RemoveDirectoryW(strPath.c_str()) != 0 || GetFileAttributesW(strPath.c_str()) == INVALID_FILE_ATTRIBUTES;
}
}  // namespace

bool RemoveTree(const std::string& strPath) {
    return RemoveTreeW(L"\\\\?\\" + AnsiToWide(strPath));
}

CTempDir::CTempDir() {
    static LONG counter = 0;
    char temp[MAX_PATH] = {0};
    GetTempPathA(MAX_PATH, temp);
    do {
        char name[64];
        std::snprintf(name, sizeof name, "davrel-test-%lu-%ld", GetCurrentProcessId(), InterlockedIncrement(&counter));
        m_strPath = std::string(temp) + name;
    } while (!CreateDirectoryA(m_strPath.c_str(), NULL));
}

CTempDir::~CTempDir() {
    for (int i = 0; i < 100 && !RemoveTree(m_strPath); ++i) Sleep(30);  // a tool just ended may hold its file
}

std::string InstallStandIn(const std::string& strDir, const std::string& strName, const std::string& strScript) {
    CreateDirectoryA(strDir.c_str(), NULL);
    const std::string exe = strDir + "\\" + strName + ".exe";
    CopyFileA((BinDir() + "fake_tool.exe").c_str(), exe.c_str(), FALSE);
    WriteFileBytes(strDir + "\\" + strName + ".script", strScript);
    return exe;
}

std::vector<std::string> RecordedCalls(const std::string& strExePath, const char* pszExt) {
    std::string data;
    std::vector<std::string> calls;
    ReadFileBytes(strExePath.substr(0, strExePath.rfind('.')) + pszExt, data);
    for (size_t start = 0, end; start < data.size(); start = end + 1) {
        end = std::min(data.find('\n', start), data.size());
        calls.push_back(data.substr(start, end - start));
    }
    return calls;
}

std::string ArgumentsOf(const std::string& strCommandLine) {
    // Unquoted, the path runs to the tool's ".exe".
    const bool bQuoted = !strCommandLine.empty() && strCommandLine[0] == '"';
    size_t nEnd = bQuoted ? strCommandLine.find('"', 1) : strCommandLine.find(".exe");
    if (nEnd == std::string::npos) return std::string();
    nEnd += bQuoted ? 1 : 4;
    if (nEnd < strCommandLine.size() && strCommandLine[nEnd] == ' ') ++nEnd;
    return strCommandLine.substr(std::min(nEnd, strCommandLine.size()));
}

std::string ScriptText(const std::string& strBytes) {
    static const char hex[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : strBytes) {
        if (c == '\\') out += "\\\\";
        else if (c < 0x20 || c >= 0x7f) { out += "\\x"; out += hex[c >> 4]; out += hex[c & 15]; }
        else out += static_cast<char>(c);
    }
    return out;
}
