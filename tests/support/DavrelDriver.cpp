#include "support/DavrelDriver.h"

#include <tlhelp32.h>
#include <commctrl.h>

#include "framework/ScopedWin.h"

namespace {

// A cross-process message waits at most SEND_WAIT_MS for the window's
// thread: a window that stopped answering fails the test instead of hanging it.
const UINT SEND_TIMEOUT_MS = SEND_WAIT_MS;

std::string ClassName(HWND hwnd) {
    char szClass[64] = {0};
    GetClassNameA(hwnd, szClass, sizeof szClass);
    return szClass;
}

bool SendTimed(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam, DWORD_PTR* pResult = NULL,
               UINT uTimeout = SEND_TIMEOUT_MS) {
    DWORD_PTR dwResult = 0;
    LRESULT lOk = SendMessageTimeoutA(hwnd, uMsg, wParam, lParam, SMTO_NORMAL, uTimeout, &dwResult);
    if (pResult) *pResult = dwResult;
    return lOk != 0;
}

std::string GetText(HWND hwnd) {
    if (!hwnd) return std::string();
    DWORD_PTR nLength = 0;
    if (!SendTimed(hwnd, WM_GETTEXTLENGTH, 0, 0, &nLength)) return std::string();
    // The length may count UTF-16 units; two bytes each is always enough.
    std::string strBuffer(nLength * 2 + 16, '\0');
    DWORD_PTR nCopied = 0;
    if (!SendTimed(hwnd, WM_GETTEXT, strBuffer.size(), reinterpret_cast<LPARAM>(&strBuffer[0]), &nCopied))
        return std::string();
    strBuffer.resize(strlen(strBuffer.c_str()));
    return strBuffer;
}

struct WindowSearch {
    DWORD dwPid;
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectProcessWindows(HWND hwnd, LPARAM lParam) {
    WindowSearch* pSearch = reinterpret_cast<WindowSearch*>(lParam);
    DWORD dwPid = 0;
    GetWindowThreadProcessId(hwnd, &dwPid);
    if (dwPid == pSearch->dwPid && IsWindowVisible(hwnd) && ClassName(hwnd) == "#32770")
        pSearch->windows.push_back(hwnd);
    return TRUE;
}

std::vector<HWND> DialogsOf(DWORD dwPid) {
    WindowSearch search = {dwPid, {}};
    EnumWindows(CollectProcessWindows, reinterpret_cast<LPARAM>(&search));
    return search.windows;
}

BOOL CALLBACK CollectChildren(HWND hwnd, LPARAM lParam) {
    reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hwnd);
    return TRUE;
}

std::vector<HWND> ChildrenOf(HWND hwnd) {
    std::vector<HWND> children;
    EnumChildWindows(hwnd, CollectChildren, reinterpret_cast<LPARAM>(&children));
    return children;
}

std::string NarrowFromWide(const std::wstring& strWide) {
    if (strWide.empty()) return std::string();
    int nBytes = WideCharToMultiByte(CP_ACP, 0, strWide.c_str(), static_cast<int>(strWide.size()), NULL, 0,
                                     NULL, NULL);
    std::string strOut(nBytes > 0 ? nBytes : 0, '\0');
    if (nBytes > 0)
        WideCharToMultiByte(CP_ACP, 0, strWide.c_str(), static_cast<int>(strWide.size()), &strOut[0], nBytes,
                            NULL, NULL);
    return strOut;
}

std::vector<std::string> SplitLines(const std::string& strText) {
    std::vector<std::string> lines;
    size_t nStart = 0;
    while (nStart < strText.size()) {
        size_t nEnd = strText.find('\n', nStart);
        if (nEnd == std::string::npos) nEnd = strText.size();
        std::string strLine = strText.substr(nStart, nEnd - nStart);
        if (!strLine.empty() && strLine.back() == '\r') strLine.pop_back();
        lines.push_back(strLine);
        nStart = nEnd + 1;
    }
    return lines;
}

// Wine shows a crash dialog and keeps a crashed program alive until someone
// answers it; without the dialog a crash ends the process and a test sees it.
void NoCrashDialogs() {
    HKEY hKey = NULL;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\WineDbg", 0, NULL, 0, KEY_SET_VALUE, NULL, &hKey,
                        NULL) != ERROR_SUCCESS)
        return;
    CScopedRegKey key(hKey);
    DWORD dwZero = 0;
    RegSetValueExA(key.Get(), "ShowCrashDialog", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwZero),
                   sizeof dwZero);
}

}  // namespace

bool WaitUntil(const std::function<bool()>& cond, DWORD timeoutMs) {
    DWORD dwStart = GetTickCount();
    for (;;) {
        if (cond()) return true;
        if (GetTickCount() - dwStart >= timeoutMs) return cond();
        Sleep(15);
    }
}

// ---------------------------------------------------------------- folder

CDavrelDriver::CDavrelDriver() {
    static int s_nCounter = 0;
    char szTemp[MAX_PATH] = {0};
    GetTempPathA(MAX_PATH, szTemp);
    std::string strTemp = szTemp;
    if (!strTemp.empty() && strTemp.back() == '\\') strTemp.pop_back();
    m_strDir = strTemp + "\\davrel-ui-" + std::to_string(GetCurrentProcessId()) + "-" +
               std::to_string(++s_nCounter);
    RemoveTree(m_strDir);

    const std::string strBin = BinDir();
    m_bReady = CreateDirectoryA(m_strDir.c_str(), NULL) && CreateDirectoryA(DataDir().c_str(), NULL) &&
               CopyFileA((strBin + "Davrel.exe").c_str(), (m_strDir + "\\Davrel.exe").c_str(), FALSE) &&
               CopyFileA((strBin + "fake_tool.exe").c_str(), ToolPath("adb").c_str(), FALSE) &&
               CopyFileA((strBin + "fake_tool.exe").c_str(), ToolPath("aapt").c_str(), FALSE);
}

CDavrelDriver::~CDavrelDriver() {
    Kill();
    EndLeftoverTools();
    if (m_pi.hProcess) CloseHandle(m_pi.hProcess);
    if (m_pi.hThread) CloseHandle(m_pi.hThread);
    // A tool just ended may hold its file a moment longer.
    WaitUntil([this] { return RemoveTree(m_strDir); }, 3000);
}

std::string CDavrelDriver::ToolPath(const char* pszTool) const {
    return DataDir() + "\\" + pszTool + ".exe";
}

bool CDavrelDriver::RemoveTool(const char* pszTool) {
    return DeleteFileA(ToolPath(pszTool).c_str()) != 0;
}

bool CDavrelDriver::RemoveDataFolder() {
    return RemoveTree(DataDir());
}

std::string CDavrelDriver::MakeFolder(const std::string& strName) {
    std::string strPath = m_strDir + "\\" + strName;
    CreateDirectoryA(strPath.c_str(), NULL);
    return strPath;
}

bool CDavrelDriver::SetScript(const char* pszTool, const std::string& strScript) {
    return WriteFileBytes(DataDir() + "\\" + pszTool + ".script", strScript);
}

std::vector<std::string> CDavrelDriver::ToolLog(const char* pszTool, const char* pszExt) const {
    std::string strLog;
    ReadFileBytes(DataDir() + "\\" + pszTool + pszExt, strLog);
    return SplitLines(strLog);
}

std::vector<std::string> CDavrelDriver::ToolArgs(const char* pszTool, const char* pszExt) const {
    std::vector<std::string> args;
    const std::string strExe = std::string(pszTool) + ".exe";
    for (const std::string& strLine : ToolLog(pszTool, pszExt)) {
        size_t nEnd;
        if (!strLine.empty() && strLine[0] == '"') {
            nEnd = strLine.find('"', 1);
            nEnd = nEnd == std::string::npos ? strLine.size() : nEnd + 1;
        } else {
            // Unquoted: the path runs to the tool's own file name.
            nEnd = strLine.find(strExe);
            nEnd = nEnd == std::string::npos ? strLine.find(' ') : nEnd + strExe.size();
            if (nEnd == std::string::npos) nEnd = strLine.size();
        }
        if (nEnd < strLine.size() && strLine[nEnd] == ' ') ++nEnd;
        args.push_back(strLine.substr(nEnd));
    }
    return args;
}

void CDavrelDriver::ClearToolLog(const char* pszTool) {
    DeleteFileA((DataDir() + "\\" + pszTool + ".log").c_str());
    DeleteFileA((DataDir() + "\\" + pszTool + ".held").c_str());
}

// ---------------------------------------------------------------- process

bool CDavrelDriver::Start(const std::string& strArgs, DWORD timeoutMs) {
    if (!m_bReady || m_pi.hProcess) return false;
    NoCrashDialogs();
    std::string strCommand = "\"" + m_strDir + "\\Davrel.exe\"";
    if (!strArgs.empty()) strCommand += " " + strArgs;
    std::string strWritable = strCommand;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    if (!CreateProcessA(NULL, &strWritable[0], NULL, NULL, FALSE, 0, NULL, m_strDir.c_str(), &si, &m_pi)) {
        m_pi = PROCESS_INFORMATION();
        return false;
    }
    // A first start in a fresh prefix is slow; later ones take well under a second.
    WaitUntil([this] { return (m_hwndMain = FindMainWindow()) != NULL || !IsRunning(); }, timeoutMs);
    return m_hwndMain != NULL;
}

HWND CDavrelDriver::FindMainWindow() const {
    for (HWND hwnd : DialogsOf(m_pi.dwProcessId)) {
        if (GetDlgItem(hwnd, 1003) && GetDlgItem(hwnd, 1016)) return hwnd;
    }
    return NULL;
}

bool CDavrelDriver::IsRunning() const {
    return m_pi.hProcess && WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT;
}

bool CDavrelDriver::WaitExit(DWORD timeoutMs) {
    return !m_pi.hProcess || WaitForSingleObject(m_pi.hProcess, timeoutMs) == WAIT_OBJECT_0;
}

DWORD CDavrelDriver::ExitCode() const {
    DWORD dwCode = STILL_ACTIVE;
    if (m_pi.hProcess) GetExitCodeProcess(m_pi.hProcess, &dwCode);
    return dwCode;
}

bool CDavrelDriver::Close(DWORD timeoutMs) {
    if (m_hwndMain) PostMessageA(m_hwndMain, WM_CLOSE, 0, 0);
    return WaitExit(timeoutMs);
}

void CDavrelDriver::Kill() {
    if (IsRunning()) {
        TerminateProcess(m_pi.hProcess, 1);
        WaitForSingleObject(m_pi.hProcess, 5000);
    }
}

namespace {

ULONGLONG FileTimeMs(const FILETIME& ft) {
    return ((static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime) / 10000;
}

// Ends the processes whose parent is dwParent (and whose file name is one
// of pNames, when given) that have run at least minAgeMs.
int EndChildren(DWORD dwParent, const std::vector<std::string>* pNames, DWORD minAgeMs) {
    int nEnded = 0;
    CScopedFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return 0;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL bMore = Process32First(snapshot.Get(), &entry); bMore; bMore = Process32Next(snapshot.Get(), &entry)) {
        if (entry.th32ParentProcessID != dwParent || entry.th32ProcessID == dwParent) continue;
        if (pNames) {
            bool bNamed = false;
            for (const std::string& strName : *pNames) bNamed = bNamed || lstrcmpiA(entry.szExeFile, strName.c_str()) == 0;
            if (!bNamed) continue;
        }
        CScopedHandle process(OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE,
                                          entry.th32ProcessID));
        if (!process) continue;
        FILETIME ftCreated, ftExit, ftKernel, ftUser, ftNow;
        if (minAgeMs && GetProcessTimes(process.Get(), &ftCreated, &ftExit, &ftKernel, &ftUser)) {
            GetSystemTimeAsFileTime(&ftNow);
            if (FileTimeMs(ftNow) - FileTimeMs(ftCreated) < minAgeMs) continue;
        }
        if (WaitForSingleObject(process.Get(), 0) == WAIT_OBJECT_0) continue;
        if (TerminateProcess(process.Get(), 1)) ++nEnded;
        WaitForSingleObject(process.Get(), 5000);
    }
    return nEnded;
}

}  // namespace

// Tools (and anything else) that Davrel started and left running would keep
// files of the folder open and outlive the test.
void CDavrelDriver::EndLeftoverTools() {
    if (m_pi.dwProcessId) EndChildren(m_pi.dwProcessId, NULL, 0);
}

int CDavrelDriver::ReleaseTools(DWORD minAgeMs) {
    static const std::vector<std::string> s_tools = {"adb.exe", "aapt.exe"};
    return m_pi.dwProcessId ? EndChildren(m_pi.dwProcessId, &s_tools, minAgeMs) : 0;
}

// ---------------------------------------------------------------- main window

HWND CDavrelDriver::Item(int nId) const {
    return m_hwndMain ? GetDlgItem(m_hwndMain, nId) : NULL;
}

std::string CDavrelDriver::Text(int nId) const {
    return GetText(Item(nId));
}

std::string CDavrelDriver::Title() const {
    return WindowTitle(m_hwndMain);
}

bool CDavrelDriver::IsEnabled(int nId) const {
    HWND hwnd = Item(nId);
    return hwnd && ::IsWindowEnabled(hwnd);
}

bool CDavrelDriver::IsWindowEnabled() const {
    return m_hwndMain && ::IsWindowEnabled(m_hwndMain);
}

int CDavrelDriver::DefaultButton() const {
    DWORD_PTR dwResult = 0;
    if (!m_hwndMain || !SendTimed(m_hwndMain, DM_GETDEFID, 0, 0, &dwResult)) return 0;
    return HIWORD(dwResult) == DC_HASDEFID ? LOWORD(dwResult) : 0;
}

bool CDavrelDriver::IsChecked(int nId) const {
    DWORD_PTR dwResult = 0;
    return SendTimed(Item(nId), BM_GETCHECK, 0, 0, &dwResult) && dwResult == BST_CHECKED;
}

int CDavrelDriver::ComboSelection(int nId) const {
    DWORD_PTR dwResult = 0;
    if (!SendTimed(Item(nId), CB_GETCURSEL, 0, 0, &dwResult)) return CB_ERR;
    return static_cast<int>(static_cast<LRESULT>(dwResult));
}

std::vector<std::string> CDavrelDriver::ComboItems(int nId) const {
    std::vector<std::string> items;
    HWND hwnd = Item(nId);
    DWORD_PTR nCount = 0;
    if (!SendTimed(hwnd, CB_GETCOUNT, 0, 0, &nCount)) return items;
    for (int i = 0; i < static_cast<int>(nCount); ++i) {
        // The narrow message comes back as UTF-16 across processes in Wine.
        wchar_t szItem[256] = {0};
        DWORD_PTR dwResult = 0;
        SendMessageTimeoutW(hwnd, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(szItem), SMTO_NORMAL,
                            SEND_TIMEOUT_MS, &dwResult);
        items.push_back(NarrowFromWide(szItem));
    }
    return items;
}

bool CDavrelDriver::SelectCombo(int nId, int nIndex) {
    HWND hwnd = Item(nId);
    if (!hwnd || !SendTimed(hwnd, CB_SETCURSEL, nIndex, 0)) return false;
    return SendTimed(m_hwndMain, WM_COMMAND, MAKEWPARAM(nId, CBN_SELCHANGE), reinterpret_cast<LPARAM>(hwnd));
}

bool CDavrelDriver::Click(int nId) {
    HWND hwnd = Item(nId);
    if (!hwnd || !::IsWindowEnabled(hwnd) || !IsWindowEnabled()) return false;
    return SendTimed(hwnd, BM_CLICK, 0, 0);
}

bool CDavrelDriver::PostClick(int nId) {
    HWND hwnd = Item(nId);
    if (!hwnd || !::IsWindowEnabled(hwnd) || !IsWindowEnabled()) return false;
    return PostMessageA(hwnd, BM_CLICK, 0, 0) != 0;
}

bool CDavrelDriver::PostLinkClick(int nId, int x) {
    HWND hwnd = Item(nId);
    if (!hwnd || !IsWindowEnabled()) return false;
    RECT rc = {};
    GetClientRect(hwnd, &rc);
    LPARAM lPoint = MAKELPARAM(x, (rc.bottom - rc.top) / 2);
    return PostMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, lPoint) && PostMessageA(hwnd, WM_LBUTTONUP, 0, lPoint);
}

bool CDavrelDriver::ClickLink(int nId, int x, UINT timeoutMs) {
    HWND hwnd = Item(nId);
    if (!hwnd || !IsWindowEnabled()) return false;
    RECT rc = {};
    GetClientRect(hwnd, &rc);
    LPARAM lPoint = MAKELPARAM(x, (rc.bottom - rc.top) / 2);
    return SendTimed(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, lPoint, NULL, timeoutMs) &&
           SendTimed(hwnd, WM_LBUTTONUP, 0, lPoint, NULL, timeoutMs);
}

bool CDavrelDriver::SetText(int nId, const std::string& strText) {
    HWND hwnd = Item(nId);
    return hwnd && SendTimed(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(strText.c_str()));
}

bool CDavrelDriver::Focus(int nId) {
    HWND hwnd = Item(nId);
    return hwnd && SendTimed(m_hwndMain, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(hwnd), TRUE) &&
           WaitUntil([this, nId] { return HasFocus(nId); }, 3000);
}

bool CDavrelDriver::HasFocus(int nId) const {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    DWORD dwThread = GetWindowThreadProcessId(m_hwndMain, NULL);
    return GetGUIThreadInfo(dwThread, &info) && info.hwndFocus && info.hwndFocus == Item(nId);
}

bool CDavrelDriver::PressKey(int nId, UINT nVirtualKey) {
    HWND hwnd = Item(nId);
    UINT nScan = MapVirtualKeyA(nVirtualKey, MAPVK_VK_TO_VSC);
    // Posted, so that the dialog's message loop sees the key as it sees a typed one.
    return hwnd && PostMessageA(hwnd, WM_KEYDOWN, nVirtualKey, 1 | (nScan << 16)) &&
           PostMessageA(hwnd, WM_KEYUP, nVirtualKey, 1 | (nScan << 16) | 0xC0000000);
}

bool CDavrelDriver::PostSysCommand(WPARAM nCommand) {
    return m_hwndMain && PostMessageA(m_hwndMain, WM_SYSCOMMAND, nCommand, 0) != 0;
}

bool CDavrelDriver::SysCommand(WPARAM nCommand, UINT timeoutMs) {
    return m_hwndMain && SendTimed(m_hwndMain, WM_SYSCOMMAND, nCommand, 0, NULL, timeoutMs);
}

bool CDavrelDriver::Sync(UINT timeoutMs) const {
    return m_hwndMain && SendTimed(m_hwndMain, WM_NULL, 0, 0, NULL, timeoutMs);
}

bool CDavrelDriver::WaitText(int nId, const std::string& strText, DWORD timeoutMs) const {
    return WaitUntil([&] { return Text(nId) == strText; }, timeoutMs);
}

bool CDavrelDriver::WaitEnabled(int nId, bool bEnabled, DWORD timeoutMs) const {
    return WaitUntil([&] { return IsEnabled(nId) == bEnabled; }, timeoutMs);
}

// ---------------------------------------------------------------- other windows

std::vector<HWND> CDavrelDriver::OtherWindows() const {
    std::vector<HWND> others;
    if (!m_pi.dwProcessId) return others;
    for (HWND hwnd : DialogsOf(m_pi.dwProcessId))
        if (hwnd != m_hwndMain) others.push_back(hwnd);
    return others;
}

HWND CDavrelDriver::WaitDialog(const std::string& strTitle, DWORD timeoutMs) const {
    HWND hwndFound = NULL;
    WaitUntil(
        [&] {
            for (HWND hwnd : OtherWindows()) {
                if (strTitle.empty() || WindowTitle(hwnd) == strTitle) {
                    hwndFound = hwnd;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return hwndFound;
}

bool CDavrelDriver::WaitNoDialog(DWORD timeoutMs) const {
    return WaitUntil([this] { return OtherWindows().empty(); }, timeoutMs);
}

std::string CDavrelDriver::DialogText(HWND hwndDialog) {
    std::string strText;
    for (HWND hwnd : ChildrenOf(hwndDialog)) {
        if (ClassName(hwnd) != "Static") continue;
        std::string strPart = GetText(hwnd);
        if (strPart.empty()) continue;
        if (!strText.empty()) strText += "\n";
        strText += strPart;
    }
    return strText;
}

std::string CDavrelDriver::WindowTitle(HWND hwnd) {
    if (!hwnd) return std::string();
    char szTitle[512] = {0};
    GetWindowTextA(hwnd, szTitle, sizeof szTitle);
    return szTitle;
}

bool CDavrelDriver::AnswerDialog(HWND hwndDialog, int nButtonId) {
    return hwndDialog && PostMessageA(hwndDialog, WM_COMMAND, MAKEWPARAM(nButtonId, BN_CLICKED),
                                      reinterpret_cast<LPARAM>(GetDlgItem(hwndDialog, nButtonId))) != 0;
}

bool CDavrelDriver::AnswerFileDialog(HWND hwndDialog, const std::string& strPath) const {
    // The file-name box: edt1 (0x480) in the system's dialogs; otherwise the
    // dialog's own visible edit.
    HWND hwndEdit = GetDlgItem(hwndDialog, 0x480);
    if (!hwndEdit) {
        for (HWND hwnd : ChildrenOf(hwndDialog)) {
            if (GetParent(hwnd) == hwndDialog && ClassName(hwnd) == "Edit" && IsWindowVisible(hwnd)) {
                hwndEdit = hwnd;
                break;
            }
        }
    }
    if (!hwndEdit || !SendTimed(hwndEdit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(strPath.c_str()))) return false;
    return AnswerDialog(hwndDialog, IDOK);
}
