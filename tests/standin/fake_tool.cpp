// Scripted stand-in for adb.exe and aapt.exe in tests. Each start appends its
// command line to "<own path without .exe>.log", then follows the first rule
// of "<...>.script" whose pattern occurs in that command line ("*": any).
//   when <pattern>          starts a rule
//   out <text>, err <text>  writes to stdout, stderr (unbuffered)
//   repeat <count> <text>   writes text count times to stdout
//   sleep <ms>, exit <code> (a rule that does not exit ends with 0)
//   input                   reads standard input to its end, then says "input ended"
//   spawn <arguments>       starts a copy of itself that inherits the output
//                           and is not waited for (as adb starts its server)
//   hang                    adds the command line to "<...>.held", then waits until a
//                           test writes "<...>.release" (one per run) or deletes the script
// Patterns and texts take C escapes: \n \r \t \\ \0 \xHH. A shell of several
// queries ("a; echo DAVREL-PART-END; b") has each answered by its own rule.
#include <windows.h>
#include <algorithm>
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

std::string ReadAll(HANDLE h) {
    std::string data;
    char buf[65536];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof buf, &got, NULL) && got > 0) data.append(buf, got);
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
    DWORD wrote = 0;
    WriteFile(h, (line + "\n").data(), DWORD(line.size() + 1), &wrote, NULL);  // one write: no interleaving
    CloseHandle(h);
}

}  // namespace

// Follows the first rule whose pattern occurs in commandLine; its exit code.
int Follow(const std::string& script, const std::string& commandLine, const std::string& base, const char* self) {
    bool inRule = false;
    for (size_t start = 0, end; start < script.size(); start = end + 1) {
        end = std::min(script.find('\n', start), script.size());
        std::string line = script.substr(start, end - start);
        const size_t sp = line.find(' ');
        const std::string word = line.substr(0, sp), rest = sp == std::string::npos ? "" : line.substr(sp + 1);
        if (word == "when") {
            if (inRule) break;  // the matching rule ended
            inRule = rest == "*" || commandLine.find(Unescape(rest)) != std::string::npos;
        } else if (!inRule) {
            continue;
        } else if (word == "out" || word == "err") {
            Write(word == "out" ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE, Unescape(rest));
        } else if (word == "repeat") {
            std::string all, unit = Unescape(rest.substr(rest.find(' ') + 1));
            for (long i = std::strtol(rest.c_str(), nullptr, 10); i > 0; --i) all += unit;
            Write(STD_OUTPUT_HANDLE, all);
        } else if (word == "sleep") {
            Sleep(std::strtoul(rest.c_str(), nullptr, 10));
        } else if (word == "exit") {
            return std::atoi(rest.c_str());
        } else if (word == "input") {
            ReadAll(GetStdHandle(STD_INPUT_HANDLE));
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

int main() {
    char self[MAX_PATH * 2] = {0};
    GetModuleFileNameA(NULL, self, sizeof self - 1);
    const std::string base = std::string(self).substr(0, std::string(self).rfind('.'));
    const std::string commandLine = GetCommandLineA();
    AppendLine(base + ".log", commandLine);
    HANDLE hScript = CreateFileA((base + ".script").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                 OPEN_EXISTING, 0, NULL);
    const std::string script = ReadAll(hScript);
    CloseHandle(hScript);
    // Davrel's queries in one shell, "a; echo DAVREL-PART-END; b": each
    // part answered by its own rule, as if run alone, the line between them.
    const std::string strPartEnd = "; echo DAVREL-PART-END; ", strShell = " shell \"";
    const size_t nShell = commandLine.find(strShell);
    if (nShell != std::string::npos && commandLine.find(strPartEnd) != std::string::npos) {
        std::string strHead = commandLine.substr(0, nShell + strShell.size() - 1);
        std::string strBody = commandLine.substr(nShell + strShell.size());
        if (!strBody.empty() && strBody.back() == '"') strBody.pop_back();
        for (size_t nStart = 0, nPart = 0; nStart <= strBody.size(); ++nPart) {
            size_t nEnd = std::min(strBody.find(strPartEnd, nStart), strBody.size());
            if (nPart) Write(STD_OUTPUT_HANDLE, "DAVREL-PART-END\r\n");
            Follow(script, strHead + strBody.substr(nStart, nEnd - nStart), base, self);
            nStart = nEnd + strPartEnd.size();
        }
        return 0;
    }
    return Follow(script, commandLine, base, self);
}

