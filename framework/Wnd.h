// A window handle with the few operations the program uses on its controls.
// The object does not own the window: the dialog destroys its children.
#pragma once
#include <windows.h>
#include <string>

class CWnd {
public:
    CWnd() : m_hWnd(NULL) {}
    virtual ~CWnd() {}
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND GetSafeHwnd() const { return m_hWnd; }
    void Attach(HWND hWnd) { m_hWnd = hWnd; }
    HWND Detach() { HWND h = m_hWnd; m_hWnd = NULL; return h; }

    void SetWindowText(const char* pszText) { ::SetWindowTextA(m_hWnd, pszText ? pszText : ""); }
    void SetWindowText(const std::string& strText) { ::SetWindowTextA(m_hWnd, strText.c_str()); }
    // The whole text, however long.
    std::string GetWindowText() const;
    LRESULT SendMessage(UINT nMsg, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageA(m_hWnd, nMsg, wParam, lParam);
    }
    BOOL PostMessage(UINT nMsg, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::PostMessageA(m_hWnd, nMsg, wParam, lParam);
    }
    BOOL EnableWindow(BOOL bEnable = TRUE) { return ::EnableWindow(m_hWnd, bEnable); }
    BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
    HWND SetFocus() { return ::SetFocus(m_hWnd); }
    BOOL UpdateWindow() { return ::UpdateWindow(m_hWnd); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    HWND GetDlgItem(int nID) const { return ::GetDlgItem(m_hWnd, nID); }
    // Owned by this window; a NULL caption gives the program's name.
    int MessageBox(const char* pszText, const char* pszCaption = NULL, UINT nType = MB_OK);

    HWND m_hWnd;
};
