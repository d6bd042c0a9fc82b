// Davrel's figures: for each flow, the time it takes in Davrel (driven
// through its window, as a user works it) beside the time of the bare tool
// runs the flow needs (the same command lines, run one after the other
// through the same tools), the longest time the window left a message
// unanswered meanwhile, and Davrel's peak memory. The same flows also run
// against a TV that stopped answering (the simulated TV's silent mode) and
// an aapt that hangs. Not a test: it prints a table. Run by scripts/bench.sh,
// which starts the relay and a simulated TV.
//
//   davrel_bench.exe [repetitions]    (default 5; the table shows medians)
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>
#include "resources/resource.h"
#include "support/DavrelDriver.h"
#include "support/RealTools.h"
#include "support/SavedSettings.h"
#include "support/StandIn.h"
#include "tools/ApkTool.h"
#include "tools/ToolRunner.h"
#include "framework/Trace.h"

namespace {

const char STATUS_READY[] = "软件已就绪，点击\"安装\"按钮进行安装...";
// A hanging aapt is named as such, not taken for an unreadable package.
const char STATUS_NO_INFO[] = "无法获取该APK文件信息：aapt.exe超时未结束，请稍后重试";
const DWORD FLOW_TIMEOUT_MS = 120000;
// A flow against a silent TV, and one unanswered message, are given up after
// this long and shown as "over".
const DWORD STALL_LIMIT_MS = 150000;
// How often the probe asks the window; also the resolution of a stall.
const DWORD PROBE_INTERVAL_MS = 5;
const unsigned STORAGE_CODES[] = {CMD_SYSTEM_SIZE, CMD_SYSTEM_FREE, CMD_DATA_SIZE,   CMD_DATA_FREE,
                                  CMD_SDCARD_SIZE, CMD_SDCARD_FREE, CMD_SDEXT2_SIZE, CMD_SDEXT2_FREE};

double NowMs() {
    static LARGE_INTEGER s_frequency = {};
    if (!s_frequency.QuadPart) QueryPerformanceFrequency(&s_frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(s_frequency.QuadPart);
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Flow {
    Flow(const char* pszFlow, int nRuns, std::vector<double> = {}, std::vector<double> = {}, std::vector<double> = {})
        : pszName(pszFlow), nToolRuns(nRuns) {}
    const char* pszName;
    int nToolRuns;  // 0: no bare tool runs to compare with
    std::vector<double> davrel;
    std::vector<double> tools;
    std::vector<double> stall;
    // The runs the flow took before they were shared or dropped (0: the same runs).
    int nOldRuns = 0;
    std::vector<double> oldTools;
};

// The longest time Davrel's window left a message unanswered: a thread sends
// it WM_NULL every few milliseconds while a flow runs and keeps the longest
// round trip. A window busy in a handler answers only once it has returned.
class CStallProbe {
public:
    void Start(HWND hwnd) {
        m_hwnd = hwnd;
        m_bStop = false;
        m_dLongest = 0;
        m_hThread = CreateThread(NULL, 0, ThreadProc, this, 0, NULL);
    }
    // Waits for the message on its way, so a stall still going on counts in full.
    double Stop() {
        m_bStop = true;
        if (!m_hThread) return -1;
        WaitForSingleObject(m_hThread, STALL_LIMIT_MS + 5000);
        CloseHandle(m_hThread);
        m_hThread = NULL;
        return m_dLongest;
    }

private:
    static DWORD WINAPI ThreadProc(void* pParam) {
        CStallProbe* pProbe = static_cast<CStallProbe*>(pParam);
        while (!pProbe->m_bStop) {
            double dStart = NowMs();
            DWORD_PTR dwResult = 0;
            bool bAnswered = SendMessageTimeoutA(pProbe->m_hwnd, WM_NULL, 0, 0, SMTO_NORMAL, STALL_LIMIT_MS,
                                                 &dwResult) != 0;
            if (!bAnswered && !IsWindow(pProbe->m_hwnd)) break;
            pProbe->m_dLongest = std::max(pProbe->m_dLongest.load(), NowMs() - dStart);
            Sleep(PROBE_INTERVAL_MS);
        }
        return 0;
    }

    HWND m_hwnd = NULL;
    HANDLE m_hThread = NULL;
    std::atomic<bool> m_bStop{false};
    std::atomic<double> m_dLongest{0};
};

std::string Milliseconds(double dMs) {
    char szText[32];
    if (dMs >= STALL_LIMIT_MS)
        std::snprintf(szText, sizeof szText, "over %lu", static_cast<unsigned long>(STALL_LIMIT_MS));
    else
        std::snprintf(szText, sizeof szText, "%.0f", dMs);
    return szText;
}

bool Fail(const char* pszWhat) {
    std::fprintf(stderr, "bench: %s\n", pszWhat);
    return false;
}

class CBench {
public:
    bool Prepare() {
        std::string strProblem = RealToolsProblem();
        if (!strProblem.empty()) return Fail(strProblem.c_str());
        if (!UseRealTools(m_app)) return Fail("cannot lay out the program folder");
        WriteSavedSettings(0, NULL);
        if (!ConfigureTv(TV_ONLINE)) return Fail("cannot configure the TV");
        const std::string strFolder = m_app.ProgramDir() + "\\pkg";
        CreateDirectoryA(strFolder.c_str(), NULL);
        m_strPackage = strFolder + "\\ApiDemos-debug.apk";
        if (!CopyFileA(SamplePackage().c_str(), m_strPackage.c_str(), FALSE)) return Fail("cannot copy the package");
        RunDataTool(m_app, "adb", "kill-server");
        m_strAddress = TvAddress();

        // The very command lines Davrel builds. Its installs use the copy
        // "install.apk" beside the chosen package.
        m_tool.m_strAdbPath = m_app.DataDir() + "\\adb.exe";
        m_tool.m_strAaptPath = m_app.DataDir() + "\\aapt.exe";
        m_tool.m_strApkPath = m_strPackage;
        m_strBadging = m_tool.BuildCommand(CMD_BADGING);
        m_tool.m_strApkPath = m_strPackage.substr(0, m_strPackage.rfind('\\') + 1) + "install.apk";
        m_strInstallFile = m_tool.m_strApkPath;
        if (!CopyFileA(m_strPackage.c_str(), m_tool.m_strApkPath.c_str(), FALSE)) return Fail("cannot copy the package");
        m_strLarge = BundlePath("large.apk");
        m_tool.m_strApkPath = m_strLarge;
        m_strLargeBadging = m_tool.BuildCommand(CMD_BADGING);
        m_tool.m_strApkPath = m_strLarge.substr(0, m_strLarge.rfind('\\') + 1) + "install.apk";
        m_strLargeInstallFile = m_tool.m_strApkPath;
        if (GetFileAttributesA(m_strLarge.c_str()) == INVALID_FILE_ATTRIBUTES) return Fail("no large package (make_large.py)");

        // The real aapt kept aside for the flow with the one that hangs: the
        // scripted stand-in (tests/standin/fake_tool.cpp) built beside us.
        char szSelf[MAX_PATH] = {0};
        GetModuleFileNameA(NULL, szSelf, MAX_PATH);
        std::string strBin = szSelf;
        m_strHangingAapt = strBin.substr(0, strBin.rfind('\\') + 1) + "fake_tool.exe";
        if (!CopyFileA(m_tool.m_strAaptPath.c_str(), (m_app.DataDir() + "\\aapt-real.exe").c_str(), FALSE) ||
            !WriteFileBytes(m_app.DataDir() + "\\aapt.script", "when *\nhang\n"))
            return Fail("cannot prepare the hanging aapt");
        return m_app.Start() || Fail("Davrel's window did not appear");
    }

    bool Run(int nRepetitions) {
        m_flows = {{"choose a package: details and icon shown", 1, {}, {}, {}},
                   {"the same, from the badging run's start", 1, {}, {}, {}},
                   {"connect: TV checked, storage shown", 11, {}, {}, {}},
                   {"refresh with storage", 9, {}, {}, {}},
                   {"install 6.1 MB package to the SD card", 10, {}, {}, {}},
                   {"uninstall", 10, {}, {}, {}},
                   {"silent TV: refresh", 0, {}, {}, {}},
                   {"silent TV: press Uninstall", 0, {}, {}, {}},
                   {"silent TV: press Install", 0, {}, {}, {}},
                   {"hanging aapt: choose a package", 0, {}, {}, {}},
                   {"drop a 6.1 MB bundle (.apks): details and icon shown", 0, {}, {}, {}},
                   {"install that bundle to the SD card (6 of its 10 parts)", 0, {}, {}, {}},
                   {"search over 127.0.0.0/24, two simulated TVs in it", 0, {}, {}, {}},
                   {"search over a /24 where nothing answers", 0, {}, {}, {}},
                   {"choose a 200 MB package: details and icon shown", 1, {}, {}, {}},
                   {"install that 200 MB package to the SD card", 5, {}, {}, {}},
                   {"drop a bundle of 60 splits (.apks): details and icon shown", 0, {}, {}, {}},
                   {"install that bundle to the SD card (53 of its 61 parts)", 0, {}, {}, {}},
                   {"choose a package pointed at in the dialog's list, confirmed 0.3 s later", 1, {}, {}, {}}};
        // Connect, refresh, install and uninstall now share or drop runs;
        // the runs they took before are timed too.
        const struct { int nFlow, nRuns, nOldRuns; } RUNS[] = {{2, 3, 11}, {3, 2, 9}, {4, 4, 10}, {5, 3, 10}};
        for (const auto& runs : RUNS) {
            m_flows[runs.nFlow].nToolRuns = runs.nRuns;
            m_flows[runs.nFlow].nOldRuns = runs.nOldRuns;
        }
        // One unmeasured round of the healthy flows first: Wine and the adb
        // server warm up.
        for (int i = -1; i < nRepetitions; ++i) {
            const bool bKeep = i >= 0;
            if (!Measure(0, bKeep, [&] { return ChoosePackage(m_strPackage); }, [&] { RunTool(m_strBadging); })) return false;
            if (bKeep) {
                m_flows[1].davrel.push_back(m_flows[0].davrel.back() - m_dDialogMs);
                m_flows[1].tools.push_back(m_flows[0].tools.back());
                m_flows[1].stall.push_back(m_flows[0].stall.back());
                m_dialog.push_back(m_dDialogMs);
            }
            if (!Measure(18, bKeep, [&] { return PointAndChoose(m_strPackage); }, [&] { RunTool(m_strBadging); }))
                return false;
            if (!Measure(2, bKeep, [&] { return Connect(); }, [&] { BareConnect(); }, [&] { OldConnect(); })) return false;
            if (!Measure(3, bKeep, [&] { return Refresh(); }, [&] { BareRefresh(); }, [&] { OldRefresh(); })) return false;
            if (!Measure(4, bKeep, [&] { return Install(); }, [&] { BareInstall(m_strInstallFile); }, [&] { OldInstall(); }))
                return false;
            if (!Measure(5, bKeep, [&] { return Uninstall(); }, [&] { BareUninstall(); }, [&] { OldUninstall(); }))
                return false;
            if (bKeep && !RunFaultyFlows()) return false;
            // A bundle as large as the package: read from its base part, and
            // the TV's parts unpacked, read and sent in one install-multiple.
            if (!Measure(10, bKeep, [&] { return DropBundle("sized.apks"); }, nullptr)) return false;
            if (!Measure(11, bKeep, [&] { return Install(); }, nullptr)) return false;
            if (!Measure(12, bKeep, [&] { return Search("找到"); }, nullptr)) return false;
            // The same at scale: Davrel's own share should not grow with the
            // package's size, and only a little with the number of parts.
            if (!Measure(14, bKeep, [&] { return ChoosePackage(m_strLarge); }, [&] { RunTool(m_strLargeBadging); }))
                return false;
            if (!Measure(15, bKeep, [&] { return Install(); }, [&] { BareInstall(m_strLargeInstallFile); })) return false;
            if (!Measure(16, bKeep, [&] { return DropBundle("splits60.apks"); }, nullptr)) return false;
            if (!Measure(17, bKeep, [&] { return Install(); }, nullptr)) return false;
        }
        // A network where nothing answers: Davrel started again to search only
        // it (its memory figures are those of the first start).
        ReadPeakMemory();
        m_app.Close();
        if (!SetEnvironmentVariableA("DAVREL_SCAN_NETWORKS", "127.0.3.0/24") || !m_app.Start())
            return Fail("Davrel did not start again");
        for (int i = 0; i < nRepetitions; ++i)
            if (!Measure(13, true, [&] { return Search("没有找到电视"); }, nullptr)) return false;
        return true;
    }

    void Print(int nRepetitions) const {
        const char* pszMachine = getenv("DAVREL_BENCH_MACHINE");
        std::printf("\nDavrel under Wine (%s build) on %s, with the real aapt, the adb bridge and the\n"
                    "simulated TV; median of %d runs each, in milliseconds. Tools alone: the command lines\n"
                    "Davrel runs in the flow, run one after the other; own: Davrel minus that; before:\n"
                    "the runs the flow took before they were shared or dropped. Stall: the longest time\n"
                    "the window left a message unanswered during the flow (median and worst run); the\n"
                    "probe's messages go on while the tools alone run too.\n\n",
                    sizeof(void*) == 8 ? "64-bit" : "32-bit", pszMachine ? pszMachine : "this machine", nRepetitions);
        std::printf("| flow | Davrel | tools alone | runs | Davrel / tools | own | runs before | before alone | "
                    "Davrel / before | longest stall | worst stall |\n");
        std::printf("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
        for (const Flow& flow : m_flows) {
            double dDavrel = Median(flow.davrel), dTools = Median(flow.tools), dOld = Median(flow.oldTools);
            double dWorst = flow.stall.empty() ? 0 : *std::max_element(flow.stall.begin(), flow.stall.end());
            std::string strTools = "| - | - | - | - ", strOld = "| - | - | - ";
            char szText[160];
            if (flow.nToolRuns) {
                std::snprintf(szText, sizeof szText, "| %.0f | %d | %.2f | %.0f ", dTools, flow.nToolRuns,
                              dTools > 0 ? dDavrel / dTools : 0.0, dDavrel - dTools);
                strTools = szText;
            }
            if (flow.nOldRuns) {
                std::snprintf(szText, sizeof szText, "| %d | %.0f | %.2f ", flow.nOldRuns, dOld, dOld > 0 ? dDavrel / dOld : 0.0);
                strOld = szText;
            }
            std::printf("| %s | %s %s%s| %s | %s |\n", flow.pszName, Milliseconds(dDavrel).c_str(), strTools.c_str(),
                        strOld.c_str(), Milliseconds(Median(flow.stall)).c_str(), Milliseconds(dWorst).c_str());
        }
        PrintGrowth();
        std::printf("\nDavrel's badging run starts %.0f ms after the file dialog's OK (as the dialog confirms the file;\n"
                    "the \"from the badging run's start\" row counts from then).\n",
                    Median(m_dialog));
        if (m_bHaveMemory) {
            std::printf("\nDavrel's peak working set %.1f MB, peak private bytes (PeakPagefileUsage) %.1f MB\n",
                        m_memory.PeakWorkingSetSize / 1048576.0, m_memory.PeakPagefileUsage / 1048576.0);
        } else {
            std::printf("\nDavrel's peak memory: not available\n");
        }
    }

    // How Davrel's own share grows with the package's size and the number of a bundle's parts.
    void PrintGrowth() const {
        auto median = [&](int n) { return Median(m_flows[n].davrel); };
        auto own = [&](int n) { return Median(m_flows[n].davrel) - Median(m_flows[n].tools); };
        std::printf("\nDavrel's own time, 6.1 MB against 200 MB: choose %.0f / %.0f ms, install %.0f / %.0f ms.\n",
                    own(0), own(14), own(4), own(15));
        std::printf("Bundle install against the plain package of the same size (6.1 MB): %.0f / %.0f ms = %.2f.\n",
                    median(11), median(4), median(4) > 0 ? median(11) / median(4) : 0.0);
        std::printf("Bundle of 61 parts against 10 (53 and 6 sent): install %.0f / %.0f ms, %.1f ms per further part;\n"
                    "reading its details %.0f / %.0f ms.\n",
                    median(17), median(11), (median(17) - median(11)) / 51.0, median(16), median(10));
    }

    // A 16 MB package (devtools/bundles/make_suite.py's big.apk) installed
    // with its share sent read while it travels, and with that reading off
    // (DAVREL_NO_PROGRESS_POLL=1, for benchmarks only), in turns in the same
    // run: Davrel is started afresh for each install, connected, and timed
    // from the press of Install until it reports the install done.
    bool MeasureProgressPolling(int nRepetitions) {
        const std::string strBig = m_app.ProgramDir() + "\\pkg\\big.apk";
        if (!CopyFileA(BundlePath("big.apk").c_str(), strBig.c_str(), FALSE)) return Fail("no 16 MB package");
        std::vector<double> times[2];  // [0] with the reading, [1] without
        for (int i = -1; i < nRepetitions; ++i) {
            for (int nOff = 0; nOff < 2; ++nOff) {
                m_app.Close();
                SetEnvironmentVariableA("DAVREL_NO_PROGRESS_POLL", nOff ? "1" : NULL);
                // Connect waits while the TV's version of the package is read.
                if (!ConfigureTv(TV_ONLINE) || !m_app.Start("\"" + strBig + "\"") ||
                    !m_app.WaitEnabled(IDC_BTN_CONNECT, true, FLOW_TIMEOUT_MS) || Connect() < 0)
                    return Fail("Davrel did not connect with the 16 MB package");
                double dInstall = Install();
                if (dInstall < 0) return Fail("the 16 MB package was not installed");
                std::fprintf(stderr, "bench: 16 MB package, share %s: %.0f ms\n", nOff ? "not read" : "read", dInstall);
                if (i >= 0) times[nOff].push_back(dInstall);
            }
        }
        SetEnvironmentVariableA("DAVREL_NO_PROGRESS_POLL", NULL);
        const double dWith = Median(times[0]), dWithout = Median(times[1]);
        std::printf("\nInstall a 16 MB package to the SD card, median of %d runs each, in turns:\n\n"
                    "| share sent | Davrel (ms) |\n|---|---:|\n| read about once a second | %.0f |\n| not read | %.0f |\n\n"
                    "With the reading / without: %.3f\n",
                    nRepetitions, dWith, dWithout, dWithout > 0 ? dWith / dWithout : 0.0);
        return true;
    }

    // The highest peak seen in any of Davrel's starts (some flows start it afresh).
    void ReadPeakMemory() {
        PROCESS_MEMORY_COUNTERS memory = {};
        memory.cb = sizeof memory;
        HANDLE hProcess = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, ProcessId());
        if (hProcess && GetProcessMemoryInfo(hProcess, &memory, sizeof memory)) {
            m_bHaveMemory = true;
            m_memory.PeakWorkingSetSize = std::max(m_memory.PeakWorkingSetSize, memory.PeakWorkingSetSize);
            m_memory.PeakPagefileUsage = std::max(m_memory.PeakPagefileUsage, memory.PeakPagefileUsage);
            m_dPrivateNowMb = memory.PagefileUsage / 1048576.0;
        }
        if (hProcess) CloseHandle(hProcess);
    }

    void Close() {
        ConfigureTv(TV_ONLINE);
        m_app.Close();
    }

private:
    PROCESS_MEMORY_COUNTERS m_memory = {};
    bool m_bHaveMemory = false;
    double m_dPrivateNowMb = 0;  // after the last flow

    // Android 7.1 on a 32-bit CPU: it takes split packages.
    static constexpr const char* TV_ONLINE =
        "{\"reinstall\": \"replace\", \"sdk\": 25, \"abilist\": \"armeabi-v7a,armeabi\", \"density\": 320}";
    static constexpr const char* TV_SILENT = "{\"reinstall\": \"replace\", \"sdk\": 25, \"abilist\": "
                                             "\"armeabi-v7a,armeabi\", \"density\": 320, \"mode\": \"silent\"}";

    DWORD ProcessId() const {
        DWORD dwPid = 0;
        GetWindowThreadProcessId(m_app.Window(), &dwPid);
        return dwPid;
    }

    // davrel() returns the flow's time in Davrel, or a negative number.
    bool Measure(int nFlow, bool bKeep, const std::function<double()>& davrel, const std::function<void()>& tools,
                 const std::function<void()>& oldTools = nullptr) {
        WaitIdle();
        CStallProbe probe;
        probe.Start(m_app.Window());
        Trace("bench flow", m_flows[nFlow].pszName);
        double dDavrel = davrel();
        Trace("bench flow end");
        double dStall = probe.Stop();
        if (dDavrel < 0) {
            std::fprintf(stderr, "bench: \"%s\" did not finish in Davrel; status: %s\n", m_flows[nFlow].pszName,
                         m_app.Text(IDC_LINK_STATUS).c_str());
            return false;
        }
        // Davrel's own later work (the TV's version of the package) would
        // share the machine with the bare runs: they wait for its end. The
        // probe asks Davrel's idle window meanwhile, so that its messages
        // load the machine as they do in Davrel's flow.
        auto timed = [&](const std::function<void()>& runs) {
            WaitIdle();
            CStallProbe load;
            load.Start(m_app.Window());
            Trace("bench tools", m_flows[nFlow].pszName);
            double dStart = NowMs();
            runs();
            double dTime = NowMs() - dStart;
            load.Stop();
            Trace("bench tools end");
            return dTime;
        };
        double dTools = tools ? timed(tools) : 0;
        double dOld = oldTools ? timed(oldTools) : 0;
        ReadPeakMemory();  // which flow raised the peak
        std::fprintf(stderr, "bench: %s: %s ms, longest stall %s ms, highest peak private so far %.1f MB, now %.1f MB, "
                     "%u threads\n", m_flows[nFlow].pszName, Milliseconds(dDavrel).c_str(), Milliseconds(dStall).c_str(),
                     m_memory.PeakPagefileUsage / 1048576.0, m_dPrivateNowMb, static_cast<unsigned>(ThreadCount()));
        if (bKeep) {
            m_flows[nFlow].davrel.push_back(dDavrel);
            m_flows[nFlow].tools.push_back(dTools);
            m_flows[nFlow].stall.push_back(dStall);
            if (oldTools) m_flows[nFlow].oldTools.push_back(dOld);
        }
        return true;
    }

    // Until Davrel runs no tool (at most a few seconds). A query it starts
    // as a flow ends may not have begun at the first look: idle counts once
    // no tool of Davrel's has run for a while.
    void WaitIdle() const {
        DWORD dwQuietSince = GetTickCount();
        WaitUntil([&] {
            if (!ChildProcesses().empty()) dwQuietSince = GetTickCount();
            return GetTickCount() - dwQuietSince >= 150;
        }, 10000);
    }

    // With the TV silent, each task started stays in its tool run until the
    // TV answers again (switching back drops its connections, which ends the
    // run); Connect then makes the adb server see it afresh.
    bool RunFaultyFlows() {
        if (!ConfigureTv(TV_SILENT)) return Fail("cannot silence the TV");
        if (!Measure(6, true, [&] { return PressSilent(IDC_BTN_REFRESH); }, nullptr)) return false;
        if (!Measure(7, true, [&] { return PressSilent(IDC_BTN_UNINSTALL); }, nullptr)) return false;
        if (!BackOnline(IDC_BTN_INSTALL) || !ConfigureTv(TV_SILENT)) return Fail("the TV did not come back");
        if (!Measure(8, true, [&] { return PressSilent(IDC_BTN_INSTALL); }, nullptr)) return false;
        if (!BackOnline(IDC_BTN_UNINSTALL)) return Fail("the TV did not come back");
        return Measure(9, true, [&] { return ChooseWithHangingAapt(); }, nullptr);
    }

    bool BackOnline(int nReleasedButton) {
        return ConfigureTv(TV_ONLINE) && m_app.WaitEnabled(nReleasedButton, true, FLOW_TIMEOUT_MS) && Connect() >= 0;
    }

    // Posted, as the handler may take longer than a sent message waits: the
    // flow ends once the handler has set the status and the window answers.
    double PressSilent(int nButton) {
        m_app.SetText(IDC_LINK_STATUS, "");
        double dStart = NowMs();
        if (!m_app.PostClick(nButton)) return -1;
        while (NowMs() - dStart < STALL_LIMIT_MS) {
            if (!m_app.Text(IDC_LINK_STATUS).empty()) {
                DWORD_PTR dwResult = 0;
                DWORD dwLeft = static_cast<DWORD>(std::max(1.0, STALL_LIMIT_MS - (NowMs() - dStart)));
                SendMessageTimeoutA(m_app.Window(), WM_NULL, 0, 0, SMTO_NORMAL, dwLeft, &dwResult);
                break;
            }
            Sleep(20);
        }
        return NowMs() - dStart;
    }

    // From the confirmed choice until the window gives up on the hanging
    // aapt and says it has no details; the real aapt is back afterwards.
    double ChooseWithHangingAapt() {
        const std::string strAapt = m_app.DataDir() + "\\aapt.exe";
        if (!CopyFileA(m_strHangingAapt.c_str(), strAapt.c_str(), FALSE)) return -1;
        double dTime = -1;
        m_app.SetText(IDC_LINK_STATUS, "");
        if (m_app.PostClick(IDC_BTN_SELECT)) {
            HWND hwndDialog = m_app.WaitDialog("", FLOW_TIMEOUT_MS);
            double dStart = NowMs();
            if (hwndDialog && m_app.AnswerFileDialog(hwndDialog, m_strPackage) &&
                m_app.WaitText(IDC_LINK_STATUS, STATUS_NO_INFO, STALL_LIMIT_MS))
                dTime = NowMs() - dStart;
        }
        // The stand-in may still be ending.
        for (int i = 0; i < 100; ++i) {
            if (CopyFileA((m_app.DataDir() + "\\aapt-real.exe").c_str(), strAapt.c_str(), FALSE)) return dTime;
            Sleep(100);
        }
        return -1;
    }

    // The file dialog is opened first and not timed: the flow runs from the
    // confirmed choice until the details, the icon and the ready text are
    // shown (the text comes after the icon is painted).
    double ChoosePackage(const std::string& strPackage) {
        m_app.SetText(IDC_LINK_STATUS, "");
        m_app.SetText(IDC_STATIC_NAME, "");
        if (!m_app.PostClick(IDC_BTN_SELECT)) return -1;
        HWND hwndDialog = m_app.WaitDialog("", FLOW_TIMEOUT_MS);
        if (!hwndDialog) return -1;
        const std::vector<DWORD> before = ChildProcesses();
        double dStart = NowMs();
        if (!m_app.AnswerFileDialog(hwndDialog, strPackage)) return -1;
        // The badging run starts as the dialog confirms the file. Polled with
        // calls that do not wait for Davrel's busy window.
        m_dDialogMs = 0;
        while (!m_dDialogMs && NowMs() - dStart < FLOW_TIMEOUT_MS) {
            if (ChildProcesses() != before) m_dDialogMs = NowMs() - dStart;
            Sleep(2);
        }
        if (!m_app.WaitText(IDC_LINK_STATUS, STATUS_READY, FLOW_TIMEOUT_MS) || m_app.Text(IDC_STATIC_NAME).empty())
            return -1;
        m_tool.m_strLabel = m_app.Text(IDC_STATIC_NAME);
        m_tool.m_strPackageName = m_app.Text(IDC_STATIC_PACKAGE);
        return NowMs() - dStart;
    }

    // As a user picks a package: pointed at in the list (typed there, which
    // selects it), a pause, then OK; timed from the OK as the typed choice is.
    double PointAndChoose(const std::string& strPackage) {
        m_app.SetText(IDC_LINK_STATUS, "");
        m_app.SetText(IDC_STATIC_NAME, "");
        if (!m_app.PostClick(IDC_BTN_SELECT)) return -1;
        HWND hwndDialog = m_app.WaitDialog("", FLOW_TIMEOUT_MS);
        if (!hwndDialog || !m_app.PointFileDialogAt(hwndDialog, strPackage)) return -1;
        Sleep(300);
        double dStart = NowMs();
        if (!m_app.AnswerDialog(hwndDialog, IDOK) || !m_app.WaitText(IDC_LINK_STATUS, STATUS_READY, FLOW_TIMEOUT_MS) ||
            m_app.Text(IDC_STATIC_NAME).empty())
            return -1;
        return NowMs() - dStart;
    }

    double DropBundle(const char* pszName) {
        m_app.SetText(IDC_LINK_STATUS, "");
        double dStart = NowMs();
        if (!m_app.Drop({BundlePath(pszName)}) || !m_app.WaitText(IDC_LINK_STATUS, STATUS_READY, FLOW_TIMEOUT_MS))
            return -1;
        return NowMs() - dStart;
    }

    size_t ThreadCount() const {
        size_t nThreads = 0;
        CScopedFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
        if (!snapshot) return 0;
        THREADENTRY32 entry = {};
        entry.dwSize = sizeof entry;
        for (BOOL bMore = Thread32First(snapshot.Get(), &entry); bMore; bMore = Thread32Next(snapshot.Get(), &entry))
            nThreads += entry.th32OwnerProcessID == ProcessId();
        return nThreads;
    }

    std::vector<DWORD> ChildProcesses() const {
        std::vector<DWORD> children;
        CScopedFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        if (!snapshot) return children;
        const DWORD dwPid = ProcessId();
        PROCESSENTRY32 entry = {};
        entry.dwSize = sizeof entry;
        for (BOOL bMore = Process32First(snapshot.Get(), &entry); bMore; bMore = Process32Next(snapshot.Get(), &entry))
            if (entry.th32ParentProcessID == dwPid) children.push_back(entry.th32ProcessID);
        return children;
    }

    // From the click until the connection check has said its word (the
    // handler itself reads the storage figures before it returns).
    double Connect() {
        m_app.SetText(IDC_LINK_STATUS, "");
        if (!m_app.SetText(IDC_EDIT_ADDRESS, m_strAddress)) return -1;
        double dStart = NowMs();
        if (!m_app.Click(IDC_BTN_CONNECT) || !m_app.WaitText(IDC_LINK_STATUS, "电视连接良好", FLOW_TIMEOUT_MS))
            return -1;
        return NowMs() - dStart;
    }

    // From the press until the search has said what it found.
    double Search(const std::string& strFound) {
        m_app.SetText(IDC_LINK_STATUS, "");
        double dStart = NowMs();
        if (!m_app.Click(IDC_BTN_SEARCH) ||
            !WaitUntil([&] { return m_app.IsEnabled(IDC_BTN_SEARCH) && m_app.Text(IDC_LINK_STATUS).find(strFound) == 0; },
                       FLOW_TIMEOUT_MS))
            return -1;
        return NowMs() - dStart;
    }

    double Refresh() {
        m_app.SetText(IDC_LINK_STATUS, "");
        double dStart = NowMs();
        if (!m_app.Click(IDC_BTN_REFRESH) || m_app.Text(IDC_LINK_STATUS) != "电视连接良好") return -1;
        return NowMs() - dStart;
    }

    // From the click until the task has reported and given the other button back.
    double Task(int nButton, const char* pszDone, int nOther) {
        m_app.SetText(IDC_LINK_STATUS, "");
        double dStart = NowMs();
        if (!m_app.Click(nButton) || !m_app.WaitText(IDC_LINK_STATUS, pszDone, FLOW_TIMEOUT_MS) ||
            !m_app.WaitEnabled(nOther, true, FLOW_TIMEOUT_MS))
            return -1;
        return NowMs() - dStart;
    }
    double Install() { return Task(IDC_BTN_INSTALL, "软件安装完成", IDC_BTN_UNINSTALL); }
    double Uninstall() { return Task(IDC_BTN_UNINSTALL, "软件卸载完成", IDC_BTN_INSTALL); }

    // The runs each flow takes now: the device check, the one storage
    // listing, getprop once per connection, the TV's version of the package.
    void Adb(CCommandLine command, DWORD timeoutMs = TOOL_QUERY_TIMEOUT_MS) { RunTool(command.Text(), timeoutMs); }
    CCommandLine TvAdb() const { return CCommandLine::Adb(m_tool.m_strAdbPath, m_strAddress); }
    void Listing() { Adb(TvAdb().Word("shell").Shell(STORAGE_SCRIPT)); }
    // The TV's queries after a task, in one shell run as Davrel asks them.
    void VersionAndListing() {
        RunTool(m_tool.TvShellQuery(m_strAddress, {VERSION_SCRIPT + m_tool.m_strPackageName, STORAGE_SCRIPT}),
                TOOL_QUERY_TIMEOUT_MS);
    }
    void BareConnect() {
        Adb(CCommandLine::Adb(m_tool.m_strAdbPath).Word("connect").Word(m_strAddress));
        RunTool(m_tool.BuildCommand(CMD_DEVICES));
        RunTool(m_tool.TvShellQuery(m_strAddress, {STORAGE_SCRIPT, PROPERTIES_SCRIPT}), TOOL_QUERY_TIMEOUT_MS);
    }
    void BareRefresh() {
        RunTool(m_tool.BuildCommand(CMD_DEVICES));
        Listing();
    }
    // A package over 5 MB goes as its own push, then one shell installs and
    // removes it (tools/PushInstall.cpp).
    void BareInstall(const std::string& strInstallFile) {
        RunTool(m_tool.BuildCommand(CMD_DEVICES));
        const std::string strTarget = TvTransferPath(strInstallFile);
        RunTool(TvAdb().Word("push").Path(strInstallFile).Word(strTarget).Text(), TOOL_NO_TIMEOUT);
        RunTool(TvAdb().Word("shell").Shell(PushedInstallScript(false, false, strTarget)).Text(), TOOL_NO_TIMEOUT);
        VersionAndListing();
    }
    // The package is gone by now: this uninstall is answered with a failure,
    // which takes the TV as long.
    void BareUninstall() {
        RunTool(m_tool.BuildCommand(CMD_DEVICES));
        RunTool(m_tool.BuildCommand(CMD_UNINSTALL), TOOL_NO_TIMEOUT);
        VersionAndListing();
    }

    // The runs the same flows took before: adb's server restarted at every
    // connect, the eight figures one query each.
    void Storage() {
        for (unsigned nCode : STORAGE_CODES) RunTool(m_tool.BuildCommand(nCode));
    }
    void OldConnect() {
        RunDataTool(m_app, "adb", "kill-server");
        RunDataTool(m_app, "adb", "connect " + m_strAddress);
        RunTool(m_tool.BuildCommand(CMD_DEVICES));
        Storage();
    }
    void OldRefresh() {
        RunTool(m_tool.BuildCommand(CMD_DEVICES));
        Storage();
    }
    void OldInstall() {
        RunTool(m_tool.BuildCommand(CMD_DEVICES));
        m_tool.m_strApkPath = m_strInstallFile;
        RunTool(m_tool.BuildCommand(CMD_INSTALL_SDCARD), TOOL_NO_TIMEOUT);
        Storage();
    }
    void OldUninstall() {
        RunTool(m_tool.BuildCommand(CMD_DEVICES));
        RunTool(m_tool.BuildCommand(CMD_UNINSTALL), TOOL_NO_TIMEOUT);
        Storage();
    }

    CDavrelDriver m_app;
    CApkTool m_tool;
    std::string m_strPackage, m_strAddress, m_strBadging, m_strInstallFile, m_strHangingAapt;
    std::string m_strLarge, m_strLargeBadging, m_strLargeInstallFile;
    std::vector<Flow> m_flows;
    double m_dDialogMs = 0;
    std::vector<double> m_dialog;
};

}  // namespace

int main(int argc, char** argv) {
    int nRepetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    CBench bench;
    if (!bench.Prepare()) return 1;
    bool bOk = bench.Run(nRepetitions);
    // What was measured before a failure is still worth seeing.
    if (!bOk) std::printf("\nIncomplete: the runs stopped early (see above); medians of what was measured.\n");
    bench.Print(nRepetitions);
    bOk = bench.MeasureProgressPolling(nRepetitions) && bOk;
    bench.Close();
    return bOk ? 0 : 1;
}
