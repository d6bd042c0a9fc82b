// A plain package sent as its own step, so that the window can show how much
// of it is on the TV: adb draws its share only into a console, never into a
// pipe, and streamed installs print none, so the file's size on the TV is
// read while it arrives. Then pm installs it from there and it is removed.
#include "tools/ApkTool.h"
#include "tools/Emulation.h"

#include <process.h>
#include <algorithm>
#include "tools/DeviceReport.h"

namespace {

// Where the push runs: its own thread, so that the task's thread can ask the
// TV meanwhile. hDone is set once the push has ended, whatever its outcome.
struct PushRun {
    std::string strCommand;
    HANDLE hCancel = NULL;
    HANDLE hDone = NULL;
    ToolRun run;
};

unsigned __stdcall PushProc(void* pParam) {
    PushRun* pPush = static_cast<PushRun*>(pParam);
    pPush->run = RunToolEx(pPush->strCommand, TOOL_NO_TIMEOUT, pPush->hCancel);
    ::SetEvent(pPush->hDone);
    return 0;
}

// For the benchmark only (scripts/bench.sh): DAVREL_NO_PROGRESS_POLL=1 sends
// the same steps without reading the size, to measure what the reading costs.
bool PollingWanted() {
    char szValue[8] = {0};
    DWORD dwLength = ::GetEnvironmentVariableA("DAVREL_NO_PROGRESS_POLL", szValue, sizeof szValue);
    return dwLength == 0 || dwLength >= sizeof szValue || szValue[0] == '0';
}

// A name of our own where the package's own cannot go to the TV's shell.
const char FALLBACK_TARGET[] = "/data/local/tmp/davrel-install.apk";

}  // namespace

std::string TvTransferPath(const std::string& strInstallFile) {
    std::string strPath = "/data/local/tmp/" + strInstallFile.substr(strInstallFile.find_last_of("\\/") + 1);
    return CCommandLine::Adb("adb").Word(strPath).IsRefused() ? std::string() : strPath;
}

// pm installs it and the same shell removes it, installed or refused: one
// adb run instead of two.
std::string PushedInstallScript(bool bInternal, bool bDowngrade, const std::string& strTarget) {
    std::string strScript = "pm install -r ";
    if (bDowngrade) strScript += "-d ";
    if (!bInternal) strScript += "-s ";
    return strScript + strTarget + "; rm -f " + strTarget;
}

InstallResult CApkTool::InstallPushed(bool bInternal, bool bDowngrade, const std::string& strApkPath,
                                      const std::string& strSerial, unsigned long long nBytes,
                                      const std::function<void(int)>& onProgress) const {
    std::string strAdb;
    {
        CLockGuard lock(m_csFields);
        strAdb = m_strAdbPath;
    }
    InstallResult result;
    std::string strTarget = TvTransferPath(strApkPath);
    if (strTarget.empty()) strTarget = FALLBACK_TARGET;
    const std::string strPush = CCommandLine::Adb(strAdb, strSerial).Word("push").Path(strApkPath).Word(strTarget).Text();
    if (strPush.empty()) {  // a refused part: nothing may run
        result.problem = Problem(PROBLEM_REFUSED);
        return result;
    }
    ToolRun run = PushWatched(strPush, strAdb, strSerial, strTarget, nBytes, onProgress);
    if (run.status != TOOL_EXITED) {  // not started, or ended as the window closes
        result.problem = RunProblem(run, TOOL_ADB);
        if (run.status != TOOL_NOT_STARTED) result.strLeftover = strTarget;
        return result;
    }
    if (run.dwExitCode != 0) {
        result.problem = Problem(PROBLEM_REFUSED, ReadPushFailure(run.strOutput));
        // What arrived stays on a TV that went away until the next order
        // reaches it; one that still answers has it removed at once.
        if (IsConnectionDrop(result.problem) || !RemoveTvFile(strSerial, strTarget)) result.strLeftover = strTarget;
        return result;
    }
    onProgress(PROGRESS_TV_INSTALLING);
    // Only a run cut short leaves the copy there.
    const std::string strScript = PushedInstallScript(bInternal, bDowngrade, strTarget);
    run = RunToolEx(CCommandLine::Adb(strAdb, strSerial).Word("shell").Shell(strScript).Text(), TOOL_NO_TIMEOUT, m_hCancel);
    result.problem = RunProblem(run, TOOL_ADB);
    if (result.problem.IsNone()) result = ReadInstallOutput(run.strOutput);
    if (run.status != TOOL_EXITED || IsConnectionDrop(result.problem)) result.strLeftover = strTarget;
    return result;
}

ToolRun CApkTool::PushWatched(const std::string& strPush, const std::string& strAdb, const std::string& strSerial,
                              const std::string& strTarget, unsigned long long nBytes,
                              const std::function<void(int)>& onProgress) const {
    PushRun push;
    push.strCommand = strPush;
    push.hCancel = m_hCancel;
    CScopedHandle hDone(::CreateEventA(NULL, TRUE, FALSE, NULL));
    push.hDone = hDone.Get();
    HANDLE hThread = hDone && !UnderEmulation() ? reinterpret_cast<HANDLE>(_beginthreadex(NULL, 0, PushProc, &push, 0, NULL)) : NULL;
    // Without a thread of its own it is still sent, only without its share shown.
    if (!hThread) return RunToolEx(push.strCommand, TOOL_NO_TIMEOUT, m_hCancel);
    CScopedHandle thread(hThread);
    // stat on newer TVs; old ones have none and answer to ls -l: one query
    // whichever the TV is.
    const std::string strQuery = CCommandLine::Adb(strAdb, strSerial).Word("shell")
                                     .Shell("stat -c %s " + strTarget + " 2>/dev/null || ls -l " + strTarget).Text();
    const bool bPoll = PollingWanted() && nBytes > 0;
    int nShown = -1;
    // One query at a time, each PROGRESS_POLL_MS after the start of the last
    // but never sooner than a third of that after its answer (a slow TV is
    // not asked without pause), none once the push has ended; a query
    // running then is ended with it (and so when the window closes, which
    // ends the push).
    const DWORD MIN_PAUSE_MS = PROGRESS_POLL_MS / 3;
    DWORD dwLastStart = ::GetTickCount() - PROGRESS_POLL_MS / 2;  // the first share within half of it
    for (;;) {
        const DWORD dwSince = ::GetTickCount() - dwLastStart;
        const DWORD dwPause = dwSince + MIN_PAUSE_MS < PROGRESS_POLL_MS ? PROGRESS_POLL_MS - dwSince : MIN_PAUSE_MS;
        if (::WaitForSingleObject(push.hDone, dwPause) != WAIT_TIMEOUT) break;
        dwLastStart = ::GetTickCount();
        if (!bPoll) continue;
        ToolRun size = RunToolEx(strQuery, TOOL_QUERY_TIMEOUT_MS, push.hDone);
        long long nOnTv = size.status == TOOL_EXITED ? ReadTvFileSize(size.strOutput) : -1;
        if (nOnTv < 0 || ::WaitForSingleObject(push.hDone, 0) == WAIT_OBJECT_0) continue;
        // Never 100 while the push goes on: the TV has not confirmed it yet.
        int nShare = static_cast<int>(std::min<unsigned long long>(99, static_cast<unsigned long long>(nOnTv) * 100 / nBytes));
        if (nShare != nShown) onProgress(nShown = nShare);
    }
    ::WaitForSingleObject(thread.Get(), INFINITE);
    return push.run;
}
