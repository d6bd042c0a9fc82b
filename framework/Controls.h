// Thin wrappers of the standard controls, bound to a dialog's controls by
// DDX_Control. They add only the messages the program sends.
#pragma once
#include "framework/Wnd.h"

class CButton : public CWnd {
public:
    int GetCheck() const { return (int)SendMessage(BM_GETCHECK); }
    void SetCheck(int nCheck) { SendMessage(BM_SETCHECK, (WPARAM)nCheck); }
    void SetButtonStyle(UINT nStyle, BOOL bRedraw = TRUE) {
        SendMessage(BM_SETSTYLE, nStyle, (LPARAM)bRedraw);
    }
};

class CEdit : public CWnd {};

class CStatic : public CWnd {};

class CComboBox : public CWnd {
public:
    int GetCurSel() const { return (int)SendMessage(CB_GETCURSEL); }
    int SetCurSel(int nSelect) { return (int)SendMessage(CB_SETCURSEL, (WPARAM)nSelect); }
    int GetCount() const { return (int)SendMessage(CB_GETCOUNT); }
    int AddString(const char* pszText) { return (int)SendMessage(CB_ADDSTRING, 0, (LPARAM)pszText); }
};
