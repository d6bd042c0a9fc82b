#include "support/DavrelDriver.h"

#include <shlobj.h>
#include <commctrl.h>
#include "framework/TextConvert.h"
#include "net/ScanPlan.h"

namespace {

// Davrel inherits the environment: a search it makes stays on loopback
// addresses, also when the test was not started by scripts/test.sh (which
// sets the same), and whatever the variable said before.
void KeepSearchOnLoopback() {
    char szValue[1024] = {0};
    DWORD nLength = GetEnvironmentVariableA(SCAN_NETWORKS_VARIABLE, szValue, sizeof szValue);
    bool bLoopbackOnly = nLength > 0 && nLength < sizeof szValue;
    for (const Ipv4Network& network : PlanFromVariable(szValue).networks)
        bLoopbackOnly = bLoopbackOnly && (network.uBase >> 24) == 127;
    if (!bLoopbackOnly) SetEnvironmentVariableA(SCAN_NETWORKS_VARIABLE, "127.0.0.0/24");
}

// A window that stopped answering fails the test instead of hanging it.
bool SendTimed(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam, DWORD_PTR* pResult = NULL) {
    DWORD_PTR dwResult = 0;
    if (!hwnd || !SendMessageTimeoutA(hwnd, uMsg, wParam, lParam, SMTO_NORMAL, 30000, &dwResult)) return false;
    if (pResult) *pResult = dwResult;
    return true;
}

std::string GetText(HWND hwnd) {
    DWORD_PTR nLength = 0;
    // The length may count UTF-16 units; two bytes each is always enough.
    std::string strBuffer(SendTimed(hwnd, WM_GETTEXTLENGTH, 0, 0, &nLength) ? nLength * 2 + 16 : 1, '\0');
    SendTimed(hwnd, WM_GETTEXT, strBuffer.size(), reinterpret_cast<LPARAM>(&strBuffer[0]));
    return strBuffer.c_str();
}

std::string ClassName(HWND hwnd) {
    char szClass[64] = {0};
    return GetClassNameA(hwnd, szClass, sizeof szClass) ? szClass : "";
}

BOOL CALLBACK Collect(HWND hwnd, LPARAM lParam) {
    reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hwnd);
    return TRUE;
}

// The top-level windows (parent NULL) or the descendants of parent.
std::vector<HWND> Windows(HWND hwndParent) {
    std::vector<HWND> windows;
    if (hwndParent) EnumChildWindows(hwndParent, Collect, reinterpret_cast<LPARAM>(&windows));
    else EnumWindows(Collect, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

}  // namespace

bool WaitUntil(const std::function<bool()>& cond, DWORD timeoutMs) {
    for (DWORD dwStart = GetTickCount(); !cond(); Sleep(15))
        if (GetTickCount() - dwStart >= timeoutMs) return cond();
    return true;
}

CDavrelDriver::CDavrelDriver() {
    static int s_nCounter = 0;
    char szTemp[MAX_PATH] = {0};
    GetTempPathA(MAX_PATH, szTemp);
    m_strDir = std::string(szTemp) + "davrel-ui-" + std::to_string(GetCurrentProcessId()) + "-" +
               std::to_string(++s_nCounter);
    RemoveTree(m_strDir);
    const std::string strBin = BinDir();
    m_bReady = CreateDirectoryA(m_strDir.c_str(), NULL) && CreateDirectoryA(DataDir().c_str(), NULL) &&
               CopyFileA((strBin + "Davrel.exe").c_str(), (m_strDir + "\\Davrel.exe").c_str(), FALSE) &&
               CopyFileA((strBin + "fake_tool.exe").c_str(), ToolPath("adb").c_str(), FALSE) &&
               CopyFileA((strBin + "fake_tool.exe").c_str(), ToolPath("aapt").c_str(), FALSE);
}

CDavrelDriver::~CDavrelDriver() {
    if (m_pi.hProcess) {
        TerminateProcess(m_pi.hProcess, 1);
        WaitForSingleObject(m_pi.hProcess, 5000);
        CloseHandle(m_pi.hProcess);
        CloseHandle(m_pi.hThread);
    }
    // Hanging stand-ins end once their script is gone; then their files go.
    WaitUntil([this] { return RemoveTree(m_strDir); }, 5000);
}

std::string CDavrelDriver::MakeFolder(const std::string& strName) {
    const std::string strPath = m_strDir + "\\" + strName;
    CreateDirectoryA(strPath.c_str(), NULL);
    return strPath;
}

std::vector<std::string> CDavrelDriver::ToolArgs(const char* pszTool, const char* pszExt) const {
    std::vector<std::string> args = RecordedCalls(ToolPath(pszTool), pszExt);
    for (std::string& strLine : args) strLine = ArgumentsOf(strLine);
    return args;
}

bool CDavrelDriver::Start(const std::string& strArgs, DWORD timeoutMs) {
    return StartW(AnsiToWide(strArgs), timeoutMs);
}

bool CDavrelDriver::StartW(const std::wstring& strArgs, DWORD timeoutMs) {
    if (m_pi.hProcess && WaitExit(0)) {  // ended: the driver may start it again
        CloseHandle(m_pi.hProcess);
        CloseHandle(m_pi.hThread);
        m_pi = PROCESS_INFORMATION();
        m_hwndMain = NULL;
    }
    if (!m_bReady || m_pi.hProcess) return false;
    // Without Wine's crash dialog a crash ends the process and a test sees it.
    DWORD dwZero = 0;
    RegSetKeyValueA(HKEY_CURRENT_USER, "Software\\Wine\\WineDbg", "ShowCrashDialog", REG_DWORD, &dwZero, 4);
    KeepSearchOnLoopback();
    std::wstring strCommand = L"\"" + AnsiToWide(m_strDir) + L"\\Davrel.exe\"" + (strArgs.empty() ? L"" : L" " + strArgs);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    if (!CreateProcessW(NULL, &strCommand[0], NULL, NULL, FALSE, 0, NULL, AnsiToWide(m_strDir).c_str(), &si, &m_pi)) {
        m_pi = PROCESS_INFORMATION();
        return false;
    }
    // The main window is the dialog with the Connect button and the status line.
    WaitUntil([this] {
        for (HWND hwnd : OtherWindows())
            if (GetDlgItem(hwnd, 1003) && GetDlgItem(hwnd, 1016)) m_hwndMain = hwnd;
        return m_hwndMain || WaitForSingleObject(m_pi.hProcess, 0) == WAIT_OBJECT_0;
    }, timeoutMs);
    return m_hwndMain != NULL;
}

bool CDavrelDriver::Close(DWORD timeoutMs) {
    return PostMessageA(m_hwndMain, WM_CLOSE, 0, 0) && WaitExit(timeoutMs);
}

std::string CDavrelDriver::Text(int nId) const { return GetText(Item(nId)); }

bool CDavrelDriver::SelectCombo(int nId, int nIndex) {
    return SendTimed(Item(nId), CB_SETCURSEL, nIndex, 0) &&
           SendTimed(m_hwndMain, WM_COMMAND, MAKEWPARAM(nId, CBN_SELCHANGE), reinterpret_cast<LPARAM>(Item(nId)));
}

bool CDavrelDriver::Click(int nId) {
    return IsEnabled(nId) && IsWindowEnabled(m_hwndMain) && SendTimed(Item(nId), BM_CLICK, 0, 0);
}

bool CDavrelDriver::PostClick(int nId) {
    return IsEnabled(nId) && IsWindowEnabled(m_hwndMain) && PostMessageA(Item(nId), BM_CLICK, 0, 0);
}

bool CDavrelDriver::SetText(int nId, const std::string& strText) {
    return SendTimed(Item(nId), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(strText.c_str()));
}

bool CDavrelDriver::Sync() const { return SendTimed(m_hwndMain, WM_NULL, 0, 0); }

bool CDavrelDriver::Drop(const std::vector<std::string>& files) {
    std::wstring strList;
    for (const std::string& strFile : files) strList += AnsiToWide(strFile) + L'\0';
    DROPFILES drop = {sizeof(DROPFILES), {0, 0}, FALSE, TRUE};
    std::string block(reinterpret_cast<const char*>(&drop), sizeof drop);
    block.append(reinterpret_cast<const char*>(strList.c_str()), (strList.size() + 1) * sizeof(wchar_t));
    HANDLE hProcess = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, m_pi.dwProcessId);
    void* pBlock = hProcess ? VirtualAllocEx(hProcess, NULL, block.size(), MEM_COMMIT, PAGE_READWRITE) : NULL;
    bool bOk = pBlock && WriteProcessMemory(hProcess, pBlock, block.data(), block.size(), NULL) &&
               SendTimed(m_hwndMain, WM_DROPFILES, reinterpret_cast<WPARAM>(pBlock), 0);
    // Sent, not posted: a posted drop could still wait in the queue when a
    // Sync sent after it returns (sent messages go first), and the test would
    // act on the package chosen before.
    if (hProcess) CloseHandle(hProcess);
    return bOk;
}

std::vector<HWND> CDavrelDriver::OtherWindows() const {
    std::vector<HWND> dialogs;
    for (HWND hwnd : Windows(NULL)) {
        DWORD dwPid = 0;
        GetWindowThreadProcessId(hwnd, &dwPid);
        if (dwPid == m_pi.dwProcessId && dwPid && hwnd != m_hwndMain && IsWindowVisible(hwnd) &&
            ClassName(hwnd) == "#32770")
            dialogs.push_back(hwnd);
    }
    return dialogs;
}

HWND CDavrelDriver::WaitDialog(const std::string& strTitle, DWORD timeoutMs) const {
    HWND hwndFound = NULL;
    WaitUntil([&] {
        char szTitle[512];
        for (HWND hwnd : OtherWindows())
            if (strTitle.empty() || (GetWindowTextA(hwnd, szTitle, sizeof szTitle) && strTitle == szTitle))
                hwndFound = hwnd;
        return hwndFound != NULL;
    }, timeoutMs);
    return hwndFound;
}

bool CDavrelDriver::AnswerDialog(HWND hwndDialog, int nButtonId) {
    return hwndDialog && PostMessageA(hwndDialog, WM_COMMAND, MAKEWPARAM(nButtonId, BN_CLICKED),
                                      reinterpret_cast<LPARAM>(GetDlgItem(hwndDialog, nButtonId)));
}

std::string CDavrelDriver::DialogText(HWND hwndDialog) {
    return GetText(GetDlgItem(hwndDialog, 0xFFFF));  // the text's static in the system's message boxes
}

namespace {
// The file-name box: edt1 (0x480) in the system's dialogs, else the dialog's own visible edit.
HWND FileNameBox(HWND hwndDialog) {
    HWND hwndEdit = GetDlgItem(hwndDialog, 0x480);
    for (HWND hwnd : Windows(hwndDialog))
        if (!hwndEdit && GetParent(hwnd) == hwndDialog && ClassName(hwnd) == "Edit" && IsWindowVisible(hwnd))
            hwndEdit = hwnd;
    return hwndEdit;
}
}  // namespace

bool CDavrelDriver::AnswerFileDialog(HWND hwndDialog, const std::string& strPath) const {
    return SendTimed(FileNameBox(hwndDialog), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(strPath.c_str())) &&
           AnswerDialog(hwndDialog, IDOK);
}

bool CDavrelDriver::PointFileDialogAt(HWND hwndDialog, const std::string& strPath) const {
    const size_t nSlash = strPath.rfind('\\');
    if (nSlash == std::string::npos || !AnswerFileDialog(hwndDialog, strPath.substr(0, nSlash + 1))) return false;
    const std::string strName = strPath.substr(nSlash + 1);
    const DWORD dwAttributes = GetFileAttributesA(strPath.c_str());
    const bool bFolder = dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_DIRECTORY);
    HWND hwndEdit = FileNameBox(hwndDialog);
    // The folder's list replaces the one shown when the dialog gets to it:
    // typed into the list (which selects the item so named at once; a new
    // search starts half a second after the last key) until the dialog
    // names the file in its box. A folder selected is not named there.
    return WaitUntil([&] {
        HWND hwndList = NULL;
        for (HWND hwnd : Windows(hwndDialog))
            if (ClassName(hwnd) == "SysListView32" && IsWindowVisible(hwnd)) hwndList = hwnd;
        DWORD_PTR nItems = 0;
        if (!hwndList || !SendTimed(hwndList, LVM_GETITEMCOUNT, 0, 0, &nItems) || !nItems) return false;
        Sleep(600);
        for (char c : strName)
            if (!SendTimed(hwndList, WM_CHAR, static_cast<unsigned char>(c), 1)) return false;
        return bFolder || WaitUntil([&] { return GetText(hwndEdit) == strName; }, 1500);
    });
}

double CDavrelDriver::DrawnShare(int nId) const {
    RECT rc = {};
    GetWindowRect(Item(nId), &rc);
    HDC hScreen = GetDC(NULL);
    int nDrawn = 0, nPoints = 0;
    for (int y = rc.top + 2; y < rc.bottom - 2; y += 4)
        for (int x = rc.left + 2; x < rc.right - 2; x += 4, ++nPoints)
            nDrawn += GetPixel(hScreen, x, y) != GetSysColor(COLOR_3DFACE);
    ReleaseDC(NULL, hScreen);
    return nPoints > 20 ? double(nDrawn) / nPoints : -1;
}
