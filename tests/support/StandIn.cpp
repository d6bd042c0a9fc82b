#include "support/StandIn.h"

#include <windows.h>
#include <cstdio>

namespace {
std::string WithoutExe(const std::string& strExePath) {
    size_t dot = strExePath.rfind('.');
    return dot == std::string::npos ? strExePath : strExePath.substr(0, dot);
}
}  // namespace

std::string BinDir() {
    char path[MAX_PATH] = {0};
    GetModuleFileNameA(NULL, path, MAX_PATH - 1);
    std::string dir = path;
    return dir.substr(0, dir.rfind('\\') + 1);
}

bool WriteFileBytes(const std::string& strPath, const std::string& strData) {
    HANDLE h = CreateFileA(strPath.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD wrote = 0;
    BOOL ok = WriteFile(h, strData.data(), static_cast<DWORD>(strData.size()), &wrote, NULL);
    CloseHandle(h);
    return ok && wrote == strData.size();
}

bool ReadFileBytes(const std::string& strPath, std::string& strData) {
    strData.clear();
    HANDLE h = CreateFileA(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE) return false;
    char buf[65536];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof buf, &got, NULL) && got > 0) strData.append(buf, got);
    CloseHandle(h);
    return true;
}

bool FileExists(const std::string& strPath) {
    return GetFileAttributesA(strPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

CTempDir::CTempDir() {
    static LONG counter = 0;
    char temp[MAX_PATH] = {0};
    GetTempPathA(MAX_PATH, temp);
    for (;;) {
        char name[64];
        std::snprintf(name, sizeof name, "davrel-test-%lu-%ld", GetCurrentProcessId(),
                      InterlockedIncrement(&counter));
        m_strPath = std::string(temp) + name;
        if (CreateDirectoryA(m_strPath.c_str(), NULL)) break;
    }
}

CTempDir::~CTempDir() { RemoveTree(m_strPath); }

bool RemoveTree(const std::string& strPath) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((strPath + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string name = fd.cFileName;
            if (name == "." || name == "..") continue;
            std::string child = strPath + "\\" + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(child.c_str());
            }
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    return RemoveDirectoryA(strPath.c_str()) != 0;
}

std::string InstallStandIn(const std::string& strDir, const std::string& strName, const std::string& strScript) {
    CreateDirectoryA(strDir.c_str(), NULL);
    std::string exe = strDir + "\\" + strName + ".exe";
    CopyFileA((BinDir() + "fake_tool.exe").c_str(), exe.c_str(), FALSE);
    SetScript(exe, strScript);
    return exe;
}

void SetScript(const std::string& strExePath, const std::string& strScript) {
    WriteFileBytes(WithoutExe(strExePath) + ".script", strScript);
}

std::vector<std::string> RecordedCalls(const std::string& strExePath) {
    std::string data;
    std::vector<std::string> calls;
    ReadFileBytes(WithoutExe(strExePath) + ".log", data);
    size_t start = 0;
    while (start < data.size()) {
        size_t end = data.find('\n', start);
        if (end == std::string::npos) end = data.size();
        calls.push_back(data.substr(start, end - start));
        start = end + 1;
    }
    return calls;
}

std::string ScriptText(const std::string& strBytes) {
    static const char hex[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : strBytes) {
        if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (c == '\t') out += "\\t";
        else if (c < 0x20 || c >= 0x7f) { out += "\\x"; out += hex[c >> 4]; out += hex[c & 15]; }
        else out += static_cast<char>(c);
    }
    return out;
}
