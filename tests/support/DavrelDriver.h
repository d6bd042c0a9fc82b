// Drives the real Davrel.exe from a test: lays out a program folder of its
// own with the scripted stand-ins as data\adb.exe and data\aapt.exe, starts
// the program, finds its window and works it the way a user would, through
// window messages sent across the process boundary.
#pragma once
#include <windows.h>
#include <functional>
#include <string>
#include <vector>
#include "support/StandIn.h"  // WriteFileBytes, ReadFileBytes, FileExists

// How long a test waits for the window to react before it gives up.
const DWORD UI_WAIT_MS = 10000;
// How long a message sent to the window may wait for its thread.
const UINT SEND_WAIT_MS = 30000;

// Polls cond until it holds or timeoutMs has passed; true when it held.
bool WaitUntil(const std::function<bool()>& cond, DWORD timeoutMs = UI_WAIT_MS);

class CDavrelDriver {
public:
    // Creates <temp>\davrel-ui-<pid>-<n>\ holding Davrel.exe (from the test's
    // own folder) and data\adb.exe, data\aapt.exe (copies of fake_tool.exe).
    CDavrelDriver();
    // Ends the program and any tool it left running, deletes the folder.
    ~CDavrelDriver();
    CDavrelDriver(const CDavrelDriver&) = delete;
    CDavrelDriver& operator=(const CDavrelDriver&) = delete;

    // ---- the program folder and other files
    bool Ready() const { return m_bReady; }  // the folder was laid out
    const std::string& ProgramDir() const { return m_strDir; }  // no trailing backslash
    std::string DataDir() const { return m_strDir + "\\data"; }
    std::string ToolPath(const char* pszTool) const;  // "adb" or "aapt"
    bool RemoveTool(const char* pszTool);
    bool RemoveDataFolder();
    // A folder for packages under the program folder (created); returns its path.
    std::string MakeFolder(const std::string& strName);
    // The stand-in's script for "adb" or "aapt" (format: fake_tool.cpp). Read
    // by the stand-in at each start, so it may be changed while Davrel runs.
    bool SetScript(const char* pszTool, const std::string& strScript);
    // Command lines the stand-in was started with, oldest first.
    std::vector<std::string> ToolLog(const char* pszTool, const char* pszExt = ".log") const;
    // The same, each without the program's own path and the one space after it.
    std::vector<std::string> ToolArgs(const char* pszTool, const char* pszExt = ".log") const;
    void ClearToolLog(const char* pszTool);

    // ---- the process
    // Starts Davrel.exe with strArgs after its quoted path, and waits for its
    // main window to be shown. False when it did not appear in time.
    bool Start(const std::string& strArgs = "", DWORD timeoutMs = 30000);
    DWORD ProcessId() const { return m_pi.dwProcessId; }
    bool IsRunning() const;
    // Waits for the process to end; false when it still runs after timeoutMs.
    bool WaitExit(DWORD timeoutMs = UI_WAIT_MS);
    DWORD ExitCode() const;  // STILL_ACTIVE while running
    // WM_CLOSE to the main window, then WaitExit.
    bool Close(DWORD timeoutMs = UI_WAIT_MS);
    void Kill();
    // Ends the stand-in tools Davrel is running that started at least
    // minAgeMs ago, as if they had finished: a script that prints its answer
    // and then hangs holds a task until the test lets it go. Returns how many.
    int ReleaseTools(DWORD minAgeMs = 0);

    // ---- the main window
    HWND Window() const { return m_hwndMain; }
    HWND Item(int nId) const;
    std::string Text(int nId) const;  // WM_GETTEXT: the program's GBK bytes
    std::string Title() const;
    bool IsEnabled(int nId) const;
    bool IsWindowEnabled() const;  // false while a modal box of the window is open
    int DefaultButton() const;  // DM_GETDEFID; 0 when there is none
    bool IsChecked(int nId) const;
    int ComboSelection(int nId) const;
    std::vector<std::string> ComboItems(int nId) const;
    // Selects an item as a user would: CB_SETCURSEL, then CBN_SELCHANGE.
    bool SelectCombo(int nId, int nIndex);
    // Presses a button and returns once its handler has returned. Refuses
    // (false) when the button or the window is disabled, as a user could not.
    bool Click(int nId);
    // Presses a button without waiting: for handlers that open a modal box.
    bool PostClick(int nId);
    // A mouse click on a link control at x pixels from its left edge (the
    // first link starts at the left edge), posted: the handler may open a
    // modal box.
    bool PostLinkClick(int nId, int x = 4);
    // The same click, returning once the window has handled it; false when
    // that takes longer than timeoutMs (a modal box opened, for example).
    bool ClickLink(int nId, int x = 4, UINT timeoutMs = 3000);
    bool SetText(int nId, const std::string& strText);  // WM_SETTEXT
    bool Focus(int nId);  // moves the keyboard focus as a click into it would
    bool HasFocus(int nId) const;
    // A key typed into a control (VK_RETURN, VK_ESCAPE ...): goes through
    // the dialog's own keyboard handling, as a typed key does.
    bool PressKey(int nId, UINT nVirtualKey);
    bool PostSysCommand(WPARAM nCommand);
    // WM_SYSCOMMAND, returning once handled; false after timeoutMs.
    bool SysCommand(WPARAM nCommand, UINT timeoutMs = 3000);
    // Returns once the window's thread takes messages again, that is once
    // the handler it is running has returned.
    bool Sync(UINT timeoutMs = SEND_WAIT_MS) const;
    bool WaitText(int nId, const std::string& strText, DWORD timeoutMs = UI_WAIT_MS) const;
    bool WaitEnabled(int nId, bool bEnabled, DWORD timeoutMs = UI_WAIT_MS) const;

    // ---- other windows of the process
    // Visible dialogs (message boxes, about box, file dialog) of the process
    // other than the main window.
    std::vector<HWND> OtherWindows() const;
    // Waits for a visible dialog of the process other than the main window,
    // whose title is strTitle (any title when empty).
    HWND WaitDialog(const std::string& strTitle = "", DWORD timeoutMs = UI_WAIT_MS) const;
    bool WaitNoDialog(DWORD timeoutMs = UI_WAIT_MS) const;
    // The text a message box shows (its static texts, joined by line feeds).
    static std::string DialogText(HWND hwndDialog);
    static std::string WindowTitle(HWND hwnd);
    // Presses a dialog's button by id (IDOK, IDCANCEL ...), posted.
    static bool AnswerDialog(HWND hwndDialog, int nButtonId);
    // Types a path into the open-file dialog and confirms it.
    bool AnswerFileDialog(HWND hwndDialog, const std::string& strPath) const;

private:
    HWND FindMainWindow() const;
    void EndLeftoverTools();

    bool m_bReady = false;
    std::string m_strDir;
    PROCESS_INFORMATION m_pi = {};
    HWND m_hwndMain = NULL;
};
