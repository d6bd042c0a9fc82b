#include "tools/ToolRunner.h"

#include <vector>
#include "framework/ScopedWin.h"
#include "framework/TextConvert.h"
#include "framework/Trace.h"
#include "tools/Emulation.h"

namespace {

// Inheritable handles exist only while this lock is held, so a child started
// by another thread at the same moment never inherits our pipe ends (it would
// otherwise keep our pipe open after our own child has ended).
CCriticalSection& SpawnLock() {
    static CCriticalSection cs;
    return cs;
}

HANDLE InheritableCopy(HANDLE h) {
    HANDLE hCopy = NULL;
    if (!DuplicateHandle(GetCurrentProcess(), h, GetCurrentProcess(), &hCopy, 0, TRUE,
                         DUPLICATE_SAME_ACCESS))
        return NULL;
    return hCopy;
}

// Moves whatever the pipe holds right now into pending; never blocks.
// Returns false once the write side is closed (or on any read error).
bool DrainAvailable(HANDLE hRead, std::string& pending) {
    char buf[4096];
    for (;;) {
        DWORD avail = 0;
        if (!PeekNamedPipe(hRead, NULL, 0, NULL, &avail, NULL)) return false;
        if (avail == 0) return true;
        DWORD got = 0;
        if (!ReadFile(hRead, buf, avail < sizeof buf ? avail : sizeof buf, &got, NULL)) return false;
        if (pending.size() < TOOL_OUTPUT_CAP)
            pending.append(buf, got < TOOL_OUTPUT_CAP - pending.size() ? got : TOOL_OUTPUT_CAP - pending.size());
        // Beyond the cap the bytes are read and dropped, so the child never blocks.
    }
}

const DWORD QUIET_AFTER_EXIT_MS = 200;

// Reads on after the child's end until the pipe closes or stays quiet. A
// process the child started may keep writing: the run's own time limit and
// the cancel event still end the reading, reported as for a running child.
ToolRunStatus DrainAfterExit(HANDLE hRead, std::string& pending, DWORD start, DWORD timeoutMs, HANDLE hCancel) {
    DWORD lastData = GetTickCount();
    for (;;) {
        size_t before = pending.size();
        if (!DrainAvailable(hRead, pending)) return TOOL_EXITED;  // write side closed: all read
        DWORD now = GetTickCount();
        if (pending.size() != before) lastData = now;
        else if (now - lastData >= QUIET_AFTER_EXIT_MS) {
            Trace("tool quiet", "the pipe stayed open after the end");
            return TOOL_EXITED;
        }
        if (timeoutMs != INFINITE && now - start >= timeoutMs) return TOOL_TIMED_OUT;
        if (hCancel && WaitForSingleObject(hCancel, 5) == WAIT_OBJECT_0) return TOOL_CANCELLED;
        if (!hCancel) Sleep(5);
    }
}

}  // namespace

ToolRun RunToolEx(const std::string& strCommandLine, DWORD timeoutMs, HANDLE hCancel) {
    ToolRun run;
    if (strCommandLine.empty()) return run;
    timeoutMs = EmulatedLimit(timeoutMs);

    // The tool's name and arguments, without its folder.
    if (IsTracing()) Trace("tool run", strCommandLine.substr(strCommandLine.find_last_of('\\', strCommandLine.find(".exe")) + 1));
    CScopedHandle hRead, hWrite;
    if (!CreatePipe(hRead.Receive(), hWrite.Receive(), NULL, 0)) return run;

    CScopedHandle hProcess;
    {
        CLockGuard lock(SpawnLock());
        CScopedHandle hChildOut(InheritableCopy(hWrite.Get()));
        // The child reads nothing; an empty input keeps it from ever waiting on us.
        SECURITY_ATTRIBUTES sa = {sizeof sa, NULL, TRUE};
        CScopedFile hChildIn(CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL));
        if (!hChildOut) return run;

        STARTUPINFOA si;
        GetStartupInfoA(&si);
        si.cb = sizeof si;
        si.lpReserved = NULL;
        si.lpTitle = NULL;
        si.lpDesktop = NULL;
        si.cbReserved2 = 0;
        si.lpReserved2 = NULL;
        si.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
        si.wShowWindow = SW_HIDE;
        si.hStdInput = hChildIn ? hChildIn.Get() : NULL;
        si.hStdOutput = hChildOut.Get();
        si.hStdError = hChildOut.Get();

        std::vector<char> cmd(strCommandLine.begin(), strCommandLine.end());
        cmd.push_back('\0');
        PROCESS_INFORMATION pi = {};
        if (!CreateProcessA(NULL, cmd.data(), NULL, NULL, TRUE, NORMAL_PRIORITY_CLASS, NULL, NULL, &si, &pi))
            return run;
        CloseHandle(pi.hThread);
        hProcess.Reset(pi.hProcess);
    }
    hWrite.Reset();  // only the child writes now, so the pipe breaks when it ends
    Trace("tool started");

    std::string raw;
    const DWORD start = GetTickCount();
    run.status = TOOL_EXITED;
    bool bPipeOpen = true;
    for (;;) {
        if (bPipeOpen && !DrainAvailable(hRead.Get(), raw)) {  // all read
            bPipeOpen = false;
            Trace("tool pipe closed");
        }
        HANDLE waits[2] = {hProcess.Get(), hCancel};
        DWORD nWaits = hCancel ? 2 : 1;
        DWORD r = WaitForMultipleObjects(nWaits, waits, FALSE, 10);
        if (r == WAIT_OBJECT_0) {
            // Ended: read on to the end of the pipe. A process it started
            // may still hold the pipe (adb's server does), so a pipe that
            // stays quiet for a moment after the child's end counts as read
            // out; the quiet period also covers output that reaches the pipe
            // a little after the child ended (seen under Wine).
            GetExitCodeProcess(hProcess.Get(), &run.dwExitCode);
            if (IsTracing()) Trace("tool exited", std::to_string(raw.size()) + " bytes read so far");
            if (bPipeOpen) run.status = DrainAfterExit(hRead.Get(), raw, start, timeoutMs, hCancel);
            break;
        }
        if (r == WAIT_OBJECT_0 + 1) {
            run.status = TOOL_CANCELLED;
        } else if (timeoutMs != INFINITE && GetTickCount() - start >= timeoutMs) {
            run.status = TOOL_TIMED_OUT;
        } else if (r == WAIT_FAILED) {
            run.status = TOOL_WAIT_FAILED;
        } else {
            continue;
        }
        TerminateProcess(hProcess.Get(), 1);
        WaitForSingleObject(hProcess.Get(), 1000);
        if (bPipeOpen) DrainAvailable(hRead.Get(), raw);
        break;
    }

    size_t zero = raw.find('\0');
    if (zero != std::string::npos) raw.resize(zero);
    run.strOutput = Utf8ToAnsi(raw.data(), static_cast<int>(raw.size()));
    if (IsTracing()) Trace("tool done", std::to_string(raw.size()) + " bytes, status " + std::to_string(run.status));
    return run;
}

std::string RunTool(std::string strCommandLine, DWORD timeoutMs, HANDLE hCancel) {
    return RunToolEx(strCommandLine, timeoutMs, hCancel).strOutput;
}

Problem RunProblem(const ToolRun& run, ToolKind tool) {
    switch (run.status) {
    case TOOL_EXITED: return Problem();
    case TOOL_NOT_STARTED: return Problem(tool == TOOL_ADB ? PROBLEM_ADB_NOT_STARTED : PROBLEM_AAPT_NOT_STARTED);
    case TOOL_TIMED_OUT: return Problem(tool == TOOL_ADB ? PROBLEM_ADB_TIMED_OUT : PROBLEM_AAPT_TIMED_OUT);
    case TOOL_CANCELLED: return Problem(PROBLEM_CANCELLED);
    case TOOL_WAIT_FAILED: return Problem(PROBLEM_WAIT_FAILED);
    }
    return Problem(PROBLEM_WAIT_FAILED);
}
