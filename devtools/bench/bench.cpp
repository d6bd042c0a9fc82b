// Davrel's figures: for each flow, the time it takes in Davrel (driven
// through its window, as a user works it) beside the time of the bare tool
// runs the flow needs (the same command lines, run one after the other
// through the same tools), and Davrel's peak memory. Not a test: it prints a
// table. Run by scripts/bench.sh, which starts the relay and a simulated TV.
//
//   davrel_bench.exe [repetitions]    (default 5; the table shows medians)
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>
#include "resources/resource.h"
#include "support/DavrelDriver.h"
#include "support/RealTools.h"
#include "support/SavedSettings.h"
#include "tools/ApkTool.h"
#include "tools/ToolRunner.h"

namespace {

const char STATUS_READY[] = "软件已就绪，点击\"安装\"按钮进行安装...";
const DWORD FLOW_TIMEOUT_MS = 120000;
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
    const char* pszName;
    int nToolRuns;
    std::vector<double> davrel;
    std::vector<double> tools;
};

bool Fail(const char* pszWhat) {
    std::fprintf(stderr, "bench: %s\n", pszWhat);
    return false;
}

class CBench {
public:
    bool Prepare() {
        std::string strProblem = RealToolsProblem();
        if (!strProblem.empty()) return Fail(strProblem.c_str());
        if (!m_app.Ready() || !UseRealTools(m_app)) return Fail("cannot lay out the program folder");
        WriteSavedSettings(0, NULL);
        if (!ConfigureTv("{\"reinstall\": \"replace\"}")) return Fail("cannot configure the TV");
        m_strPackage = m_app.MakeFolder("pkg") + "\\ApiDemos-debug.apk";
        if (!CopyFileA(SamplePackage().c_str(), m_strPackage.c_str(), FALSE)) return Fail("cannot copy the package");
        RunDataTool(m_app, "adb", "kill-server");
        m_strAddress = TvAddress();

        // The very command lines Davrel builds. Its installs use the copy
        // "install.apk" beside the chosen package.
        m_tool.m_strAdbPath = m_app.ToolPath("adb");
        m_tool.m_strAaptPath = m_app.ToolPath("aapt");
        m_tool.m_strApkPath = m_strPackage;
        m_strBadging = m_tool.BuildCommand(CMD_BADGING);
        m_tool.m_strApkPath = m_strPackage.substr(0, m_strPackage.rfind('\\') + 1) + "install.apk";
        m_strInstall = m_tool.BuildCommand(CMD_INSTALL_SDCARD);
        if (!CopyFileA(m_strPackage.c_str(), m_tool.m_strApkPath.c_str(), FALSE)) return Fail("cannot copy the package");
        return m_app.Start() || Fail("Davrel's window did not appear");
    }

    bool Run(int nRepetitions) {
        m_flows = {{"choose a package: details and icon shown", 1, {}, {}},
                   {"the same, once the file dialog has returned", 1, {}, {}},
                   {"connect: TV checked, storage shown", 11, {}, {}},
                   {"refresh with storage", 9, {}, {}},
                   {"install 6.1 MB package to the SD card", 10, {}, {}}};
        // One unmeasured round first: Wine and the adb server warm up.
        for (int i = -1; i < nRepetitions; ++i) {
            const bool bKeep = i >= 0;
            if (!Measure(0, bKeep, [&] { return ChoosePackage(); }, [&] { RunTool(m_strBadging); })) return false;
            if (bKeep) {
                m_flows[1].davrel.push_back(m_flows[0].davrel.back() - m_dDialogMs);
                m_flows[1].tools.push_back(m_flows[0].tools.back());
                m_dialog.push_back(m_dDialogMs);
            }
            if (!Measure(2, bKeep, [&] { return Connect(); }, [&] { BareConnect(); })) return false;
            if (!Measure(3, bKeep, [&] { return Refresh(); }, [&] { BareRefresh(); })) return false;
            if (!Measure(4, bKeep, [&] { return Install(); }, [&] { BareInstall(); })) return false;
        }
        return true;
    }

    void Print(int nRepetitions) const {
        std::printf("\nDavrel under Wine (%s build) with the real aapt, the adb bridge and the simulated TV;\n"
                    "median of %d runs each, in milliseconds.\n\n",
                    sizeof(void*) == 8 ? "64-bit" : "32-bit", nRepetitions);
        std::printf("| flow | Davrel | tool runs alone | runs | Davrel / tools |\n");
        std::printf("|---|---:|---:|---:|---:|\n");
        for (const Flow& flow : m_flows) {
            double dDavrel = Median(flow.davrel), dTools = Median(flow.tools);
            std::printf("| %s | %.0f | %.0f | %d | %.2f |\n", flow.pszName, dDavrel, dTools, flow.nToolRuns,
                        dTools > 0 ? dDavrel / dTools : 0.0);
        }
        std::printf("\nWine's open-file dialog returns %.0f ms after its OK (Davrel's first tool run starts then).\n",
                    Median(m_dialog));
        PROCESS_MEMORY_COUNTERS counters = {};
        counters.cb = sizeof counters;
        HANDLE hProcess = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, m_app.ProcessId());
        if (hProcess && GetProcessMemoryInfo(hProcess, &counters, sizeof counters)) {
            std::printf("\nDavrel's peak working set %.1f MB, peak private bytes (PeakPagefileUsage) %.1f MB\n",
                        counters.PeakWorkingSetSize / 1048576.0, counters.PeakPagefileUsage / 1048576.0);
        } else {
            std::printf("\nDavrel's peak memory: not available (error %lu)\n", GetLastError());
        }
        if (hProcess) CloseHandle(hProcess);
    }

    void Close() { m_app.Close(); }

private:
    // davrel() returns the flow's time in Davrel, or a negative number.
    bool Measure(int nFlow, bool bKeep, const std::function<double()>& davrel, const std::function<void()>& tools) {
        double dDavrel = davrel();
        if (dDavrel < 0) {
            std::fprintf(stderr, "bench: \"%s\" did not finish in Davrel; status: %s\n", m_flows[nFlow].pszName,
                         m_app.Text(IDC_LINK_STATUS).c_str());
            return false;
        }
        double dStart = NowMs();
        tools();
        double dTools = NowMs() - dStart;
        if (bKeep) {
            m_flows[nFlow].davrel.push_back(dDavrel);
            m_flows[nFlow].tools.push_back(dTools);
        }
        return true;
    }

    // The file dialog is opened first and not timed: the flow runs from the
    // confirmed choice until the details, the icon and the ready text are
    // shown (the text comes after the icon is painted).
    double ChoosePackage() {
        m_app.SetText(IDC_LINK_STATUS, "");
        m_app.SetText(IDC_STATIC_NAME, "");
        if (!m_app.PostClick(IDC_BTN_SELECT)) return -1;
        HWND hwndDialog = m_app.WaitDialog("", FLOW_TIMEOUT_MS);
        if (!hwndDialog) return -1;
        const std::vector<DWORD> before = ChildProcesses();
        double dStart = NowMs();
        if (!m_app.AnswerFileDialog(hwndDialog, m_strPackage)) return -1;
        // The badging run starts once the dialog has returned. Polled with
        // calls that do not wait for Davrel's busy window.
        m_dDialogMs = 0;
        while (!m_dDialogMs && NowMs() - dStart < FLOW_TIMEOUT_MS) {
            if (ChildProcesses() != before) m_dDialogMs = NowMs() - dStart;
            Sleep(2);
        }
        if (!m_app.WaitText(IDC_LINK_STATUS, STATUS_READY, FLOW_TIMEOUT_MS) || m_app.Text(IDC_STATIC_NAME).empty())
            return -1;
        return NowMs() - dStart;
    }

    std::vector<DWORD> ChildProcesses() const {
        std::vector<DWORD> children;
        CScopedFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        if (!snapshot) return children;
        PROCESSENTRY32 entry = {};
        entry.dwSize = sizeof entry;
        for (BOOL bMore = Process32First(snapshot.Get(), &entry); bMore; bMore = Process32Next(snapshot.Get(), &entry))
            if (entry.th32ParentProcessID == m_app.ProcessId()) children.push_back(entry.th32ProcessID);
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

    double Refresh() {
        m_app.SetText(IDC_LINK_STATUS, "");
        double dStart = NowMs();
        if (!m_app.Click(IDC_BTN_REFRESH) || m_app.Text(IDC_LINK_STATUS) != "电视连接良好") return -1;
        return NowMs() - dStart;
    }

    // From the click until the task has reported and given Uninstall back.
    double Install() {
        m_app.SetText(IDC_LINK_STATUS, "");
        double dStart = NowMs();
        if (!m_app.Click(IDC_BTN_INSTALL) || !m_app.WaitText(IDC_LINK_STATUS, "软件安装完成", FLOW_TIMEOUT_MS) ||
            !m_app.WaitEnabled(IDC_BTN_UNINSTALL, true, FLOW_TIMEOUT_MS))
            return -1;
        return NowMs() - dStart;
    }

    void Storage() {
        for (unsigned nCode : STORAGE_CODES) RunTool(m_tool.BuildCommand(nCode));
    }
    void BareConnect() {
        RunDataTool(m_app, "adb", "kill-server");
        RunDataTool(m_app, "adb", "connect " + m_strAddress);
        RunTool(m_tool.BuildCommand(CMD_DEVICES));
        Storage();
    }
    void BareRefresh() {
        RunTool(m_tool.BuildCommand(CMD_DEVICES));
        Storage();
    }
    void BareInstall() {
        RunTool(m_tool.BuildCommand(CMD_DEVICES));
        RunTool(m_strInstall, TOOL_NO_TIMEOUT);
        Storage();
    }

    CDavrelDriver m_app;
    CApkTool m_tool;
    std::string m_strPackage, m_strAddress, m_strBadging, m_strInstall;
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
    if (bOk) bench.Print(nRepetitions);
    bench.Close();
    return bOk ? 0 : 1;
}
