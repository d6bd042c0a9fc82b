#include "framework/Dialog.h"
#include "framework/DlgInit.h"
#include "framework/WinApp.h"

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
    rControl.Attach(::GetDlgItem(pDX->m_pDlgWnd->m_hWnd, nIDC));
}

CDialog::CDialog(UINT nIDTemplate, CWnd* pParent) : m_nIDHelp(nIDTemplate), m_pParentWnd(pParent) {}

CDialog::~CDialog() {}

INT_PTR CDialog::DoModal() {
    HWND hOwner = m_pParentWnd ? m_pParentWnd->m_hWnd : NULL;
    if (!hOwner) {
        CWinApp* pApp = AfxGetApp();
        if (pApp && pApp->m_pMainWnd && pApp->m_pMainWnd != this) hOwner = pApp->m_pMainWnd->m_hWnd;
    }
    if (hOwner && !::IsWindow(hOwner)) hOwner = NULL;
    INT_PTR nResult = ::DialogBoxParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(m_nIDHelp), hOwner,
                                        DialogProc, reinterpret_cast<LPARAM>(this));
    m_hWnd = NULL;
    return nResult;
}

void CDialog::EndDialog(int nResult) {
    ::EndDialog(m_hWnd, nResult);
}

BOOL CDialog::OnInitDialog() {
    CDataExchange dx(this);
    DoDataExchange(&dx);
    return TRUE;
}

void CDialog::OnOK() {
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

const MessageMapEntry* CDialog::GetMessageMap() const {
    static const MessageMapEntry s_entries[] = {{0, 0, 0, MSGSIG_END, {}}};
    return s_entries;
}

LRESULT CDialog::Default() {
    return ::DefWindowProcA(m_hWnd, m_nCurMsg, m_wCurParam, m_lCurParam);
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) {
    CDialog* pDlg;
    if (nMsg == WM_INITDIALOG) {
        pDlg = reinterpret_cast<CDialog*>(lParam);
        ::SetWindowLongPtrA(hWnd, DWLP_USER, reinterpret_cast<LONG_PTR>(pDlg));
        pDlg->m_hWnd = hWnd;
        ApplyDlgInit(hWnd, AfxGetResourceHandle(), pDlg->m_nIDHelp);
        return pDlg->OnInitDialog();
    }
    pDlg = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(hWnd, DWLP_USER));
    if (!pDlg) return FALSE;

    // Handlers may send messages to the dialog itself: keep the outer message.
    UINT nSavedMsg = pDlg->m_nCurMsg;
    WPARAM wSaved = pDlg->m_wCurParam;
    LPARAM lSaved = pDlg->m_lCurParam;
    pDlg->m_nCurMsg = nMsg;
    pDlg->m_wCurParam = wParam;
    pDlg->m_lCurParam = lParam;
    bool bHandled = false;
    INT_PTR nResult = pDlg->Dispatch(nMsg, wParam, lParam, bHandled);
    pDlg->m_nCurMsg = nSavedMsg;
    pDlg->m_wCurParam = wSaved;
    pDlg->m_lCurParam = lSaved;
    return bHandled ? nResult : FALSE;
}

namespace {
bool Matches(const MessageMapEntry& entry, UINT nMsg, WPARAM wParam, LPARAM lParam) {
    if (entry.nMessage != nMsg) return false;
    if (nMsg == WM_COMMAND) return entry.nCode == HIWORD(wParam) && entry.nID == LOWORD(wParam);
    if (nMsg == WM_NOTIFY) {
        const NMHDR* pHdr = reinterpret_cast<const NMHDR*>(lParam);
        return pHdr && entry.nCode == pHdr->code && entry.nID == (UINT)pHdr->idFrom;
    }
    return true;
}
}  // namespace

INT_PTR CDialog::Dispatch(UINT nMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) {
    bHandled = true;
    for (const MessageMapEntry* pEntry = GetMessageMap(); pEntry->nSig != MSGSIG_END; ++pEntry) {
        if (!Matches(*pEntry, nMsg, wParam, lParam)) continue;
        switch (pEntry->nSig) {
        case MSGSIG_VOID:
            (this->*pEntry->handler.pfnVoid)();
            return TRUE;
        case MSGSIG_NOTIFY: {
            LRESULT nResult = 0;
            (this->*pEntry->handler.pfnNotify)(reinterpret_cast<NMHDR*>(lParam), &nResult);
            ::SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, nResult);
            return TRUE;
        }
        case MSGSIG_SYSCOMMAND:
            (this->*pEntry->handler.pfnSysCommand)((UINT)wParam, lParam);
            return TRUE;
        case MSGSIG_HCURSOR:
            // WM_QUERYDRAGICON's answer is the dialog procedure's own return value.
            return reinterpret_cast<INT_PTR>((this->*pEntry->handler.pfnCursor)());
        case MSGSIG_DROPFILES:
            (this->*pEntry->handler.pfnDropFiles)(reinterpret_cast<HDROP>(wParam));
            return TRUE;
        case MSGSIG_LWL: {
            LRESULT nResult = (this->*pEntry->handler.pfnLwl)(wParam, lParam);
            ::SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, nResult);
            return TRUE;
        }
        case MSGSIG_END:
            break;
        }
    }
    // Enter, Esc and the close box arrive as IDOK / IDCANCEL clicks.
    if (nMsg == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        if (LOWORD(wParam) == IDOK) { OnOK(); return TRUE; }
        if (LOWORD(wParam) == IDCANCEL) { OnCancel(); return TRUE; }
    }
    bHandled = false;
    return FALSE;
}
