// Scripted stand-in for adb.exe and aapt.exe in tests.
//
// On every start it appends its command line to "<own path without .exe>.log",
// then follows the first rule of "<own path without .exe>.script" whose
// pattern occurs in that command line ("*" matches any):
//
//   when <pattern>          starts a rule
//   out <text> / err <text> writes to stdout / stderr, unbuffered
//   repeat <count> <text>   writes text count times to stdout
//   sleep <ms>
//   exit <code>             ends now with that code (else 0)
//   input                   reads its standard input to the end, then says "input ended"
//   spawn <arguments>       starts a copy of itself that inherits the output
//                           handles and is not waited for (as adb starts its server)
//   hang                    records the command line in "<...>.held", then waits
//                           until a test writes "<...>.release" (each release ends
//                           one held run) or the script is deleted
//
// <pattern> and <text> take C escapes: \n \r \t \\ \0 \xHH.
#include <windows.h>
#include <cstdlib>
#include <string>

namespace {

std::string Unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) { out += s[i]; continue; }
        switch (char c = s[++i]) {
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case '0': out += '\0'; break;
        case 'x': out += static_cast<char>(std::strtol(s.substr(i + 1, 2).c_str(), nullptr, 16)); i += 2; break;
        default: out += c; break;
        }
    }
    return out;
}

std::string ReadWholeFile(const std::string& path) {
    std::string data;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                           OPEN_EXISTING, 0, NULL);
    char buf[65536];
    DWORD got = 0;
    while (h != INVALID_HANDLE_VALUE && ReadFile(h, buf, sizeof buf, &got, NULL) && got > 0) data.append(buf, got);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    return data;
}

void Write(DWORD which, const std::string& data) {
    DWORD wrote = 0;
    for (size_t done = 0; done < data.size(); done += wrote)
        if (!WriteFile(GetStdHandle(which), data.data() + done, DWORD(data.size() - done), &wrote, NULL) || !wrote)
            return;
}

void AppendLine(const std::string& path, const std::string& line) {
    HANDLE h = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           NULL, OPEN_ALWAYS, 0, NULL);
    if (h == INVALID_HANDLE_VALUE) return;
    std::string data = line + "\n";
    DWORD wrote = 0;
    WriteFile(h, data.data(), DWORD(data.size()), &wrote, NULL);  // one write: no interleaving
    CloseHandle(h);
}

}  // namespace

int main() {
    char self[MAX_PATH * 2] = {0};
    GetModuleFileNameA(NULL, self, sizeof self - 1);
    const std::string base = std::string(self).substr(0, std::string(self).rfind('.'));
    const std::string commandLine = GetCommandLineA();
    AppendLine(base + ".log", commandLine);

    const std::string script = ReadWholeFile(base + ".script");
    bool inRule = false;
    for (size_t start = 0; start < script.size();) {
        size_t end = script.find('\n', start);
        if (end == std::string::npos) end = script.size();
        std::string line = script.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t sp = line.find(' ');
        const std::string word = line.substr(0, sp);
        const std::string rest = sp == std::string::npos ? std::string() : line.substr(sp + 1);
        if (word == "when") {
            if (inRule) break;  // the matching rule ended
            inRule = rest == "*" || commandLine.find(Unescape(rest)) != std::string::npos;
        } else if (!inRule) {
            continue;
        } else if (word == "out" || word == "err") {
            Write(word == "out" ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE, Unescape(rest));
        } else if (word == "repeat") {
            const size_t gap = rest.find(' ');
            const std::string unit = Unescape(rest.substr(gap + 1));
            std::string all;
            for (long i = std::strtol(rest.c_str(), nullptr, 10); i > 0; --i) all += unit;
            Write(STD_OUTPUT_HANDLE, all);
        } else if (word == "sleep") {
            Sleep(std::strtoul(rest.c_str(), nullptr, 10));
        } else if (word == "exit") {
            return std::atoi(rest.c_str());
        } else if (word == "input") {
            char buf[4096];
            DWORD got = 0;
            while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buf, sizeof buf, &got, NULL) && got > 0) {}
            Write(STD_OUTPUT_HANDLE, "input ended");
        } else if (word == "spawn") {
            std::string cmd = "\"" + std::string(self) + "\" " + rest;
            STARTUPINFOA si = {};
            si.cb = sizeof si;
            PROCESS_INFORMATION pi = {};
            if (CreateProcessA(NULL, &cmd[0], NULL, NULL, TRUE, 0, NULL, NULL, &si, &pi)) {
                CloseHandle(pi.hThread);
                CloseHandle(pi.hProcess);
            }
        } else if (word == "hang") {
            AppendLine(base + ".held", commandLine);
            while (!DeleteFileA((base + ".release").c_str()) &&
                   GetFileAttributesA((base + ".script").c_str()) != INVALID_FILE_ATTRIBUTES)
                Sleep(30);
            return 0;
        }
    }
    return 0;
}
