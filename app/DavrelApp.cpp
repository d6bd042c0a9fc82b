// The application object: runs the main window modally; the program ends
// when it closes.
#include <windows.h>
#include <commctrl.h>
#include "app/DavrelDlg.h"
#include "framework/WinApp.h"

class CDavrelApp : public CWinAppEx {
public:
    CDavrelApp() : CWinAppEx(TRUE) {}
    BOOL InitInstance() override;
};

CDavrelApp theApp;

BOOL CDavrelApp::InitInstance() {
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&icc);
    // The link controls are not among the classic classes.
    INITCOMMONCONTROLSEX iccLink = {sizeof(iccLink), ICC_LINK_CLASS};
    ::InitCommonControlsEx(&iccLink);

    CWinApp::InitInstance();
    AfxEnableControlContainer();
    SetRegistryKey("Davrel");

    CDavrelDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = NULL;
    // FALSE: no message loop of the application's own; the process ends.
    return FALSE;
}
