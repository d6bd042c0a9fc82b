#include "app/AboutDlg.h"
#include "app/OpenLink.h"

BEGIN_MESSAGE_MAP(CAboutDlg, CDialog)
    ON_NOTIFY(NM_CLICK, IDC_LINK_MAIL, OnLinkClicked)
END_MESSAGE_MAP()

void CAboutDlg::OnLinkClicked(NMHDR* pNMHDR, LRESULT* pResult) {
    OpenClickedLink(m_hWnd, pNMHDR);
    *pResult = 0;
}
