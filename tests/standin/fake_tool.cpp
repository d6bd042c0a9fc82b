// Scripted stand-in for adb.exe and aapt.exe in tests.
//
// Copied into a test's program folder as data\adb.exe or data\aapt.exe. On
// every start it appends its full command line (GetCommandLineA, one line)
// to its log, then follows the first rule of its script whose pattern occurs
// in that command line. Script: "<exe path without .exe>.script"; log:
// "<exe path without .exe>.log" unless the script names one.
//
//   # comment
//   log <path>                 where command lines are recorded
//   when <pattern>             starts a rule; "*" matches every command line
//   out <text>                 writes text to stdout
//   err <text>                 writes text to stderr
//   repeat <count> <text>      writes text count times to stdout
//   outfile <path>             writes a file's bytes to stdout
//   sleep <ms>
//   exit <code>                ends now with that exit code
//   spawn <arguments>          starts another copy of itself with these
//                              arguments that inherits its output handles
//                              and is not waited for (as adb starts its server)
//   hang                       never ends on its own; first records the
//                              command line in "<exe path without .exe>.held",
//                              so a test knows everything before it was printed
//
// <pattern> and <text> take C escapes: \n \r \t \\ \0 \xHH. Output is
// written unbuffered, in order. A rule that does not exit ends with code 0;
// no matching rule ends with code 0 and no output.
#include <windows.h>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string Unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) { out += s[i]; continue; }
        char c = s[++i];
        switch (c) {
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case '0': out += '\0'; break;
        case 'x':
            if (i + 2 < s.size()) {
                out += static_cast<char>(std::strtol(s.substr(i + 1, 2).c_str(), nullptr, 16));
                i += 2;
            }
            break;
        default: out += c; break;
        }
    }
    return out;
}

bool ReadWholeFile(const std::string& path, std::string& data) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE) return false;
    char buf[65536];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof buf, &got, NULL) && got > 0) data.append(buf, got);
    CloseHandle(h);
    return true;
}

void WriteAll(DWORD which, const std::string& data) {
    HANDLE h = GetStdHandle(which);
    size_t done = 0;
    while (done < data.size()) {
        DWORD wrote = 0;
        if (!WriteFile(h, data.data() + done, static_cast<DWORD>(data.size() - done), &wrote, NULL) || wrote == 0)
            return;
        done += wrote;
    }
}

void AppendLine(const std::string& path, const std::string& line) {
    HANDLE h = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE) return;
    std::string data = line + "\n";
    DWORD wrote = 0;
    WriteFile(h, data.data(), static_cast<DWORD>(data.size()), &wrote, NULL);  // one write: no interleaving
    CloseHandle(h);
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

void SplitWord(const std::string& line, std::string& word, std::string& rest) {
    size_t sp = line.find(' ');
    word = line.substr(0, sp);
    rest = sp == std::string::npos ? std::string() : line.substr(sp + 1);
}

}  // namespace

int main() {
    char self[MAX_PATH * 2] = {0};
    GetModuleFileNameA(NULL, self, sizeof self - 1);
    std::string base = self;
    size_t dot = base.rfind('.');
    if (dot != std::string::npos && base.find('\\', dot) == std::string::npos) base.resize(dot);

    std::string script;
    ReadWholeFile(base + ".script", script);
    std::vector<std::string> lines = SplitLines(script);

    std::string logPath = base + ".log";
    for (const std::string& line : lines) {
        std::string word, rest;
        SplitWord(line, word, rest);
        if (word == "log") logPath = rest;
    }
    const std::string commandLine = GetCommandLineA();
    AppendLine(logPath, commandLine);

    bool inRule = false;
    for (const std::string& line : lines) {
        std::string word, rest;
        SplitWord(line, word, rest);
        if (word == "when") {
            if (inRule) break;  // the matching rule ended
            std::string pattern = Unescape(rest);
            inRule = pattern == "*" || commandLine.find(pattern) != std::string::npos;
            continue;
        }
        if (!inRule) continue;
        if (word == "out") WriteAll(STD_OUTPUT_HANDLE, Unescape(rest));
        else if (word == "err") WriteAll(STD_ERROR_HANDLE, Unescape(rest));
        else if (word == "repeat") {
            std::string count, text;
            SplitWord(rest, count, text);
            std::string unit = Unescape(text), all;
            for (long i = std::strtol(count.c_str(), nullptr, 10); i > 0; --i) all += unit;
            WriteAll(STD_OUTPUT_HANDLE, all);
        } else if (word == "outfile") {
            std::string data;
            if (ReadWholeFile(rest, data)) WriteAll(STD_OUTPUT_HANDLE, data);
        } else if (word == "sleep") Sleep(static_cast<DWORD>(std::strtoul(rest.c_str(), nullptr, 10)));
        else if (word == "spawn") {
            std::string cmd = "\"" + std::string(self) + "\" " + rest;
            STARTUPINFOA si = {};
            si.cb = sizeof si;
            PROCESS_INFORMATION pi = {};
            if (CreateProcessA(NULL, &cmd[0], NULL, NULL, TRUE, 0, NULL, NULL, &si, &pi)) {
                CloseHandle(pi.hThread);
                CloseHandle(pi.hProcess);
            }
        } else if (word == "exit") return static_cast<int>(std::strtol(rest.c_str(), nullptr, 10));
        else if (word == "hang") {
            AppendLine(base + ".held", commandLine);
            for (;;) Sleep(1000);
        }
    }
    return 0;
}
