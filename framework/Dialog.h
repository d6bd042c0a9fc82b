// A modal dialog on a template of the program's resources. While it runs,
// every message goes through the class's message map; what the map does not
// handle gets the system's default dialog handling. Before OnInitDialog the
// template's initialisation data (the list items) is applied, which the
// system itself does not do.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include "framework/Wnd.h"
#include "framework/MessageMap.h"

class CDialog;

// Handed to DoDataExchange; binds control members to the dialog's controls.
class CDataExchange {
public:
    explicit CDataExchange(CDialog* pDlg) : m_pDlgWnd(pDlg) {}
    CDialog* m_pDlgWnd;
};

// Attaches rControl to the dialog's control nIDC (no handle when the dialog
// has no such control).
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);

class CDialog : public CWnd {
public:
    // pParent NULL: the application's main window, if it has one, owns the dialog.
    explicit CDialog(UINT nIDTemplate, CWnd* pParent = NULL);
    ~CDialog() override;

    // IDOK / IDCANCEL / the EndDialog value; -1 when the dialog could not be created.
    virtual INT_PTR DoModal();
    void EndDialog(int nResult);

protected:
    // Binds the controls (DoDataExchange). Returns TRUE: focus to the first tab stop.
    virtual BOOL OnInitDialog();
    virtual void DoDataExchange(CDataExchange* pDX) {}
    virtual void OnOK();
    virtual void OnCancel();
    virtual const MessageMapEntry* GetMessageMap() const;

    // The system's default handling of the message being handled now.
    LRESULT Default();
    // Base handlers for derived classes that chain to "the base class's" handling.
    void OnPaint() { Default(); }
    void OnDestroy() { Default(); }

    UINT m_nIDHelp;  // the template id

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam);
    // Returns what the dialog procedure returns; bHandled false: default handling.
    INT_PTR Dispatch(UINT nMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);

    CWnd* m_pParentWnd;
    // The message being handled, for Default().
    UINT m_nCurMsg = 0;
    WPARAM m_wCurParam = 0;
    LPARAM m_lCurParam = 0;
};
