// Drives the real Davrel.exe from a test or the benchmark: a program folder
// of its own with the scripted stand-in as data\adb.exe and data\aapt.exe,
// worked as a user would through messages sent across the process boundary.
#pragma once
#include <windows.h>
#include <functional>
#include <string>
#include <vector>
#include "support/StandIn.h"

const DWORD UI_WAIT_MS = 10000;  // how long a test waits for the window to react

// Polls cond until it holds or timeoutMs has passed; true when it held.
bool WaitUntil(const std::function<bool()>& cond, DWORD timeoutMs = UI_WAIT_MS);

class CDavrelDriver {
public:
    CDavrelDriver();   // lays out the folder <temp>\davrel-ui-<pid>-<n>
    ~CDavrelDriver();  // ends the program and its tools, deletes the folder
    CDavrelDriver(const CDavrelDriver&) = delete;
    CDavrelDriver& operator=(const CDavrelDriver&) = delete;

    bool Ready() const { return m_bReady; }  // the folder was laid out
    const std::string& ProgramDir() const { return m_strDir; }  // no trailing backslash
    std::string DataDir() const { return m_strDir + "\\data"; }
    std::string ToolPath(const char* pszTool) const { return DataDir() + "\\" + pszTool + ".exe"; }
    std::string MakeFolder(const std::string& strName);  // under the program folder
    bool SetScript(const char* pszTool, const std::string& strScript) {  // "adb" or "aapt"
        return WriteFileBytes(DataDir() + "\\" + pszTool + ".script", strScript);
    }
    // The stand-in's arguments of every start (".log") or of its runs that hang (".held").
    std::vector<std::string> ToolArgs(const char* pszTool, const char* pszExt = ".log") const;
    bool ReleaseTool(const char* pszTool) {  // one hanging run ends, as if it had finished
        return WriteFileBytes(DataDir() + "\\" + pszTool + ".release", "");
    }

    // Starts Davrel.exe with strArgs after its quoted path; false when its window did not appear.
    bool Start(const std::string& strArgs = "", DWORD timeoutMs = 30000);
    bool StartW(const std::wstring& strArgs, DWORD timeoutMs = 30000);  // arguments outside the code page
    DWORD ProcessId() const { return m_pi.dwProcessId; }
    bool WaitExit(DWORD timeoutMs = UI_WAIT_MS) {  // false when it still runs
        return !m_pi.hProcess || WaitForSingleObject(m_pi.hProcess, timeoutMs) == WAIT_OBJECT_0;
    }
    DWORD ExitCode() const {  // STILL_ACTIVE while running
        DWORD dwCode = STILL_ACTIVE;
        return m_pi.hProcess && GetExitCodeProcess(m_pi.hProcess, &dwCode) ? dwCode : STILL_ACTIVE;
    }
    bool Close(DWORD timeoutMs = UI_WAIT_MS);     // WM_CLOSE, then WaitExit

    HWND Window() const { return m_hwndMain; }
    HWND Item(int nId) const { return m_hwndMain ? GetDlgItem(m_hwndMain, nId) : NULL; }
    std::string Text(int nId) const;  // the program's GBK bytes
    bool IsEnabled(int nId) const { return Item(nId) && IsWindowEnabled(Item(nId)); }
    // The share of points of a control on the screen that differ from the dialog's face.
    double DrawnShare(int nId) const;
    bool SelectCombo(int nId, int nIndex);  // CB_SETCURSEL, then CBN_SELCHANGE
    // Presses a button and returns once its handler has; refused while it or the window is disabled.
    bool Click(int nId);
    bool PostClick(int nId);      // without waiting: for handlers that open a box
    bool SetText(int nId, const std::string& strText);
    bool Sync() const;  // returns once the window's thread takes messages again
    // Drops files from the shell: a real DROPFILES block in Davrel's memory and
    // WM_DROPFILES, so its handler, DragQueryFileW and DragFinish all run.
    bool Drop(const std::vector<std::string>& files);
    bool WaitText(int nId, const std::string& strText, DWORD timeoutMs = UI_WAIT_MS) const {
        return WaitUntil([&] { return Text(nId) == strText; }, timeoutMs);
    }
    bool WaitEnabled(int nId, bool bEnabled, DWORD timeoutMs = UI_WAIT_MS) const {
        return WaitUntil([&] { return IsEnabled(nId) == bEnabled; }, timeoutMs);
    }

    // Visible dialogs of the process (message boxes, file dialog) other than the main window.
    std::vector<HWND> OtherWindows() const;
    HWND WaitDialog(const std::string& strTitle = "", DWORD timeoutMs = UI_WAIT_MS) const;  // "": any
    static bool AnswerDialog(HWND hwndDialog, int nButtonId);  // posted
    static std::string DialogText(HWND hwndDialog);  // a message box's text
    bool AnswerFileDialog(HWND hwndDialog, const std::string& strPath) const;  // types the path, confirms
    // Opens the file's folder, then types the file's name into the list, as
    // a user may, which selects it; not confirmed.
    bool PointFileDialogAt(HWND hwndDialog, const std::string& strPath) const;

private:
    bool m_bReady = false;
    std::string m_strDir;
    PROCESS_INFORMATION m_pi = {};
    HWND m_hwndMain = NULL;
};
