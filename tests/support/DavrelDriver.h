// Drives the real Davrel.exe from a test or the benchmark: lays out a program
// folder of its own with the scripted stand-in as data\adb.exe and
// data\aapt.exe, starts the program and works its window as a user would,
// through window messages sent across the process boundary.
#pragma once
#include <windows.h>
#include <functional>
#include <string>
#include <vector>
#include "support/StandIn.h"

// How long a test waits for the window to react before it gives up.
const DWORD UI_WAIT_MS = 10000;

// Polls cond until it holds or timeoutMs has passed; true when it held.
bool WaitUntil(const std::function<bool()>& cond, DWORD timeoutMs = UI_WAIT_MS);

class CDavrelDriver {
public:
    // Creates <temp>\davrel-ui-<pid>-<n>\ holding Davrel.exe (from the test's
    // own folder) and data\adb.exe, data\aapt.exe (copies of fake_tool.exe).
    CDavrelDriver();
    // Ends the program and the tools it left running, deletes the folder.
    ~CDavrelDriver();
    CDavrelDriver(const CDavrelDriver&) = delete;
    CDavrelDriver& operator=(const CDavrelDriver&) = delete;

    // ---- the program folder
    bool Ready() const { return m_bReady; }  // the folder was laid out
    const std::string& ProgramDir() const { return m_strDir; }  // no trailing backslash
    std::string DataDir() const { return m_strDir + "\\data"; }
    std::string ToolPath(const char* pszTool) const { return DataDir() + "\\" + pszTool + ".exe"; }
    std::string MakeFolder(const std::string& strName);  // under the program folder; returns its path
    // The stand-in's script for "adb" or "aapt", read at each of its starts.
    bool SetScript(const char* pszTool, const std::string& strScript);
    // The arguments the stand-in was started with (".log") or of its runs
    // that hang (".held"), oldest first.
    std::vector<std::string> ToolArgs(const char* pszTool, const char* pszExt = ".log") const;
    // Lets one hanging run of the tool end, as if it had finished.
    bool ReleaseTool(const char* pszTool);

    // ---- the process
    // Starts Davrel.exe with strArgs after its quoted path and waits for its
    // main window. False when it did not appear in time.
    bool Start(const std::string& strArgs = "");
    DWORD ProcessId() const { return m_pi.dwProcessId; }
    bool WaitExit(DWORD timeoutMs = UI_WAIT_MS);  // false when it still runs
    DWORD ExitCode() const;                       // STILL_ACTIVE while running
    bool Close(DWORD timeoutMs = UI_WAIT_MS);     // WM_CLOSE, then WaitExit

    // ---- the main window
    HWND Window() const { return m_hwndMain; }
    HWND Item(int nId) const { return m_hwndMain ? GetDlgItem(m_hwndMain, nId) : NULL; }
    std::string Text(int nId) const;  // WM_GETTEXT: the program's GBK bytes
    bool IsEnabled(int nId) const;
    // Selects an item as a user would: CB_SETCURSEL, then CBN_SELCHANGE.
    bool SelectCombo(int nId, int nIndex);
    // Presses a button and returns once its handler has returned; false when
    // the button or the window is disabled, as a user could not press it.
    bool Click(int nId);
    bool PostClick(int nId);  // the same without waiting: for handlers that open a box
    bool PostLinkClick(int nId);  // a mouse click on a link control's first link, posted
    bool SetText(int nId, const std::string& strText);  // WM_SETTEXT
    // Returns once the window's thread takes messages again.
    bool Sync() const;
    bool WaitText(int nId, const std::string& strText, DWORD timeoutMs = UI_WAIT_MS) const;
    bool WaitEnabled(int nId, bool bEnabled, DWORD timeoutMs = UI_WAIT_MS) const;

    // ---- other windows of the process
    // Visible dialogs (message boxes, file dialog) other than the main window.
    std::vector<HWND> OtherWindows() const;
    // Waits for one whose title is strTitle (any title when empty).
    HWND WaitDialog(const std::string& strTitle = "", DWORD timeoutMs = UI_WAIT_MS) const;
    static std::string DialogText(HWND hwndDialog);  // its static texts, joined by line feeds
    static bool AnswerDialog(HWND hwndDialog, int nButtonId);  // posted
    // Types a path into the open-file dialog and confirms it.
    bool AnswerFileDialog(HWND hwndDialog, const std::string& strPath) const;

private:
    bool m_bReady = false;
    std::string m_strDir;
    PROCESS_INFORMATION m_pi = {};
    HWND m_hwndMain = NULL;
};
