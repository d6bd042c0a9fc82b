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

// A child's pipe may stay open after its end: a process it started may hold
// it (adb's server does), and under Wine output can reach the pipe a little
// after the end. A pipe quiet this long after the child's end is read out.
const DWORD QUIET_AFTER_EXIT_MS = 200;

// One child of a run together: started, running, read on after its end, done.
struct Child {
    enum State { RUNNING, DRAINING, DONE };
    State state = DONE;
    ToolRun run;
    CScopedHandle hRead, hProcess;
    std::string raw;
    bool bPipeOpen = true;
    DWORD lastData = 0;
};

// Starts the command line; the child is DONE (not started) on any failure.
void StartChild(const std::string& strCommandLine, Child& child) {
    if (strCommandLine.empty()) return;
    // The tool's name and arguments, without its folder.
    if (IsTracing()) Trace("tool run", strCommandLine.substr(strCommandLine.find_last_of('\\', strCommandLine.find(".exe")) + 1));
    CScopedHandle hWrite;
    if (!CreatePipe(child.hRead.Receive(), hWrite.Receive(), NULL, 0)) return;
    {
        CLockGuard lock(SpawnLock());
        CScopedHandle hChildOut(InheritableCopy(hWrite.Get()));
        // The child reads nothing; an empty input keeps it from ever waiting on us.
        SECURITY_ATTRIBUTES sa = {sizeof sa, NULL, TRUE};
        CScopedFile hChildIn(CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL));
        if (!hChildOut) return;

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
            return;
        CloseHandle(pi.hThread);
        child.hProcess.Reset(pi.hProcess);
    }
    // Only the child writes now, so the pipe breaks when it ends.
    Trace("tool started");
    child.state = Child::RUNNING;
    child.run.status = TOOL_EXITED;
}

// Ends a child still running or still read, for the reason given.
void StopChild(Child& child, ToolRunStatus status) {
    if (child.state == Child::RUNNING) {
        TerminateProcess(child.hProcess.Get(), 1);
        WaitForSingleObject(child.hProcess.Get(), 1000);
        if (child.bPipeOpen) DrainAvailable(child.hRead.Get(), child.raw);
    }
    if (child.state != Child::DONE) child.run.status = status;
    child.state = Child::DONE;
}

// One look at a child: what its pipe holds, whether it ended, whether its
// pipe has been read out since.
void Step(Child& child) {
    if (child.state == Child::RUNNING) {
        if (child.bPipeOpen && !DrainAvailable(child.hRead.Get(), child.raw)) {  // all read
            child.bPipeOpen = false;
            Trace("tool pipe closed");
        }
        if (WaitForSingleObject(child.hProcess.Get(), 0) != WAIT_OBJECT_0) return;
        GetExitCodeProcess(child.hProcess.Get(), &child.run.dwExitCode);
        if (IsTracing()) Trace("tool exited", std::to_string(child.raw.size()) + " bytes read so far");
        child.state = child.bPipeOpen ? Child::DRAINING : Child::DONE;
        child.lastData = GetTickCount();
        return;
    }
    if (child.state != Child::DRAINING) return;
    const size_t nBefore = child.raw.size();
    if (!DrainAvailable(child.hRead.Get(), child.raw)) {  // write side closed: all read
        child.state = Child::DONE;
        return;
    }
    const DWORD now = GetTickCount();
    if (child.raw.size() != nBefore) {
        child.lastData = now;
    } else if (now - child.lastData >= QUIET_AFTER_EXIT_MS) {
        Trace("tool quiet", "the pipe stayed open after the end");
        child.state = Child::DONE;
    }
}

}  // namespace

std::vector<ToolRun> RunToolsTogether(const std::vector<std::string>& vecCommandLines, DWORD timeoutMs, HANDLE hCancel) {
    // The emulated Wine of scripts/smoke32.sh takes one tool at a time.
    if (UnderEmulation() && vecCommandLines.size() > 1) {
        std::vector<ToolRun> runs;
        for (const std::string& strCommandLine : vecCommandLines) runs.push_back(RunToolEx(strCommandLine, timeoutMs, hCancel));
        return runs;
    }
    timeoutMs = EmulatedLimit(timeoutMs);
    std::vector<Child> children(vecCommandLines.size());
    for (size_t i = 0; i < children.size(); ++i) StartChild(vecCommandLines[i], children[i]);
    const DWORD start = GetTickCount();
    for (;;) {
        bool bAllDone = true, bDraining = false;
        std::vector<HANDLE> waits;
        for (Child& child : children) {
            Step(child);
            bAllDone = bAllDone && child.state == Child::DONE;
            bDraining = bDraining || child.state == Child::DRAINING;
            if (child.state == Child::RUNNING) waits.push_back(child.hProcess.Get());
        }
        if (bAllDone) break;
        ToolRunStatus stop = TOOL_EXITED;
        if (timeoutMs != INFINITE && GetTickCount() - start >= timeoutMs) stop = TOOL_TIMED_OUT;
        if (hCancel) waits.push_back(hCancel);
        // A child's end wakes the wait at once; a pipe is looked at again within 10 ms.
        DWORD r = waits.empty() ? (Sleep(5), WAIT_TIMEOUT)
                                : WaitForMultipleObjects(static_cast<DWORD>(waits.size()), waits.data(), FALSE,
                                                         bDraining ? 5 : 10);
        if (hCancel && r == WAIT_OBJECT_0 + waits.size() - 1) stop = TOOL_CANCELLED;
        else if (r == WAIT_FAILED) stop = TOOL_WAIT_FAILED;
        if (stop != TOOL_EXITED)
            for (Child& child : children) StopChild(child, stop);
    }

    std::vector<ToolRun> runs;
    runs.reserve(children.size());
    for (Child& child : children) {
        size_t zero = child.raw.find('\0');
        if (zero != std::string::npos) child.raw.resize(zero);
        child.run.strOutput = Utf8ToAnsi(child.raw.data(), static_cast<int>(child.raw.size()));
        if (IsTracing() && child.hProcess)
            Trace("tool done", std::to_string(child.raw.size()) + " bytes, status " + std::to_string(child.run.status));
        runs.push_back(std::move(child.run));
    }
    return runs;
}

ToolRun RunToolEx(const std::string& strCommandLine, DWORD timeoutMs, HANDLE hCancel) {
    return RunToolsTogether(std::vector<std::string>(1, strCommandLine), timeoutMs, hCancel)[0];
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
