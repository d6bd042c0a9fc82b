// Tool bridge: stands in data\ for a Linux tool (adb, and aapt where a
// Windows aapt.exe cannot run) when Davrel runs under Wine.
//
// Wine cannot hand a Linux program's output to a Windows pipe, so this
// console program asks the relay (relay.py, a Linux process on loopback) to
// run the tool named like this executable ("adb.exe" runs adb) with our
// arguments, and writes what the tool prints to our own standard output and
// standard error as it arrives; our exit code is the tool's.
//
// The arguments are split by the Windows rules and sent as UTF-8. Windows
// paths among them (the package of an install) become Linux paths through
// Wine's wine_get_unix_file_name; arguments after "shell" are the TV's and
// are left alone. The relay's port and token come from the environment
// variable DAVREL_TOOL_RELAY ("<port> <token>") or from tool-relay.txt
// beside this executable. Without a relay we fail at once, as adb does
// without its server.
#include <winsock2.h>
#include <windows.h>
#include <shellapi.h>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

const char RELAY_MAGIC[] = "DAVREL-RELAY 1\n";
const wchar_t RELAY_FILE[] = L"tool-relay.txt";
const DWORD EXIT_BRIDGE_FAILED = 1;

std::string WideToUtf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), (int)text.size(), NULL, 0, NULL, NULL);
    std::string out(n > 0 ? n : 0, '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text.data(), (int)text.size(), &out[0], n, NULL, NULL);
    return out;
}

void WriteAll(HANDLE h, const char* data, size_t size) {
    while (size > 0 && h != NULL && h != INVALID_HANDLE_VALUE) {
        DWORD done = 0;
        if (!WriteFile(h, data, (DWORD)size, &done, NULL) || done == 0) return;
        data += done;
        size -= done;
    }
}

std::wstring ToolName() {
    wchar_t path[MAX_PATH * 2];
    DWORD n = GetModuleFileNameW(NULL, path, sizeof path / sizeof path[0]);
    std::wstring name(path, n);
    size_t slash = name.find_last_of(L"\\/");
    if (slash != std::wstring::npos) name.erase(0, slash + 1);
    size_t dot = name.find_last_of(L'.');
    if (dot != std::wstring::npos) name.erase(dot);
    return name;
}

void Fail(const std::wstring& tool, const std::string& message) {
    std::string text = WideToUtf8(tool) + ": error: " + message + "\n";
    WriteAll(GetStdHandle(STD_ERROR_HANDLE), text.data(), text.size());
    ExitProcess(EXIT_BRIDGE_FAILED);
}

// "<port> <token>" from the environment, else from the file beside us.
bool ReadRelayInfo(unsigned& port, std::string& token) {
    std::string text;
    char env[512];
    DWORD n = GetEnvironmentVariableA("DAVREL_TOOL_RELAY", env, sizeof env);
    if (n > 0 && n < sizeof env) {
        text.assign(env, n);
    } else {
        wchar_t path[MAX_PATH * 2];
        DWORD len = GetModuleFileNameW(NULL, path, MAX_PATH * 2);
        std::wstring file(path, len);
        file.erase(file.find_last_of(L"\\/") + 1);
        file += RELAY_FILE;
        HANDLE h = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE |
                               FILE_SHARE_DELETE, NULL, OPEN_EXISTING, 0, NULL);
        if (h == INVALID_HANDLE_VALUE) return false;
        char buf[256];
        DWORD got = 0;
        BOOL ok = ReadFile(h, buf, sizeof buf - 1, &got, NULL);
        CloseHandle(h);
        if (!ok) return false;
        text.assign(buf, got);
    }
    char tok[128] = {0};
    if (sscanf(text.c_str(), "%u %127s", &port, tok) != 2 || port == 0 || port > 65535) return false;
    token = tok;
    return !token.empty();
}

typedef char* (CDECL* UnixNameFn)(LPCWSTR);

bool LooksLikeWindowsPath(const std::wstring& arg) {
    if (arg.size() >= 3 && iswalpha(arg[0]) && arg[1] == L':' && (arg[2] == L'\\' || arg[2] == L'/'))
        return true;
    if (arg.size() > 2 && arg[0] == L'\\' && arg[1] == L'\\') return true;
    // A relative path written the Windows way that names something here.
    return arg.find(L'\\') != std::wstring::npos &&
           GetFileAttributesW(arg.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The Linux path of a Windows path, or the argument unchanged when it is no
// Windows path, Wine cannot map it, or we are not under Wine at all.
std::string ArgumentForLinux(const std::wstring& arg, UnixNameFn toUnix) {
    if (toUnix != NULL && LooksLikeWindowsPath(arg)) {
        wchar_t full[MAX_PATH * 4];
        DWORD n = GetFullPathNameW(arg.c_str(), sizeof full / sizeof full[0], full, NULL);
        if (n > 0 && n < sizeof full / sizeof full[0]) {
            char* unixPath = toUnix(full);
            if (unixPath != NULL) {
                std::string result = unixPath;
                HeapFree(GetProcessHeap(), 0, unixPath);
                return result;
            }
        }
    }
    return WideToUtf8(arg);
}

std::string CurrentFolderForLinux(UnixNameFn toUnix) {
    if (toUnix == NULL) return std::string();
    wchar_t dir[MAX_PATH * 4];
    DWORD n = GetCurrentDirectoryW(sizeof dir / sizeof dir[0], dir);
    if (n == 0 || n >= sizeof dir / sizeof dir[0]) return std::string();
    char* unixPath = toUnix(dir);
    if (unixPath == NULL) return std::string();
    std::string result = unixPath;
    HeapFree(GetProcessHeap(), 0, unixPath);
    return result;
}

void PutField(std::string& out, const std::string& field) {
    uint32_t n = (uint32_t)field.size();
    out.append(reinterpret_cast<const char*>(&n), 4);
    out += field;
}

bool RecvAll(SOCKET s, char* data, int size) {
    while (size > 0) {
        int got = recv(s, data, size, 0);
        if (got <= 0) return false;
        data += got;
        size -= got;
    }
    return true;
}

bool SendAll(SOCKET s, const std::string& data) {
    const char* p = data.data();
    int left = (int)data.size();
    while (left > 0) {
        int sent = send(s, p, left, 0);
        if (sent <= 0) return false;
        p += sent;
        left -= sent;
    }
    return true;
}

}  // namespace

int main() {
    std::wstring tool = ToolName();
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == NULL) Fail(tool, "cannot read the command line");

    unsigned port = 0;
    std::string token;
    if (!ReadRelayInfo(port, token))
        Fail(tool, "no tool relay: start Davrel with scripts/run.sh, which runs the Linux "
                   "tools for this bridge (or put the SDK's own " + WideToUtf8(tool) +
                   ".exe here on Windows)");

    UnixNameFn toUnix = reinterpret_cast<UnixNameFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));

    std::vector<std::string> fields;
    fields.push_back(token);
    fields.push_back(WideToUtf8(tool));
    fields.push_back(CurrentFolderForLinux(toUnix));
    bool deviceSide = false;
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        fields.push_back(deviceSide ? WideToUtf8(arg) : ArgumentForLinux(arg, toUnix));
        // What follows these is run on the TV: its paths are not ours.
        if (arg == L"shell" || arg == L"exec-out" || arg == L"exec-in") deviceSide = true;
    }
    LocalFree(argv);

    std::string request(RELAY_MAGIC);
    uint32_t count = (uint32_t)fields.size();
    request.append(reinterpret_cast<const char*>(&count), 4);
    for (size_t i = 0; i < fields.size(); ++i) PutField(request, fields[i]);

    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) Fail(tool, "cannot start Windows sockets");
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) Fail(tool, "cannot create a socket");
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_port = htons((u_short)port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
        Fail(tool, "cannot reach the tool relay on 127.0.0.1:" + std::to_string(port) +
                   " (is scripts/run.sh still running?)");
    if (!SendAll(s, request)) Fail(tool, "the tool relay refused the request");

    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    std::vector<char> buf;
    for (;;) {
        char head[5];
        if (!RecvAll(s, head, 5)) break;
        uint32_t size;
        memcpy(&size, head + 1, 4);
        if (size > 16u * 1024 * 1024) break;
        buf.resize(size);
        if (size > 0 && !RecvAll(s, buf.data(), (int)size)) break;
        switch (head[0]) {
        case 'o': WriteAll(out, buf.data(), size); break;
        case 'e': WriteAll(err, buf.data(), size); break;
        case 'f': Fail(tool, std::string(buf.data(), size)); break;
        case 'x': {
            int32_t code = 0;
            if (size == 4) memcpy(&code, buf.data(), 4);
            closesocket(s);
            WSACleanup();
            ExitProcess((UINT)code);
        }
        default: break;
        }
    }
    closesocket(s);
    WSACleanup();
    Fail(tool, "the tool relay closed the connection before the tool ended");
    return (int)EXIT_BRIDGE_FAILED;
}
