#include "app/OpenLink.h"
#include <shellapi.h>
#include "framework/TextConvert.h"

std::string GetClickedLinkTarget(const NMHDR* pNMHDR) {
    if (!pNMHDR) return std::string();
    const NMLINK* pLink = reinterpret_cast<const NMLINK*>(pNMHDR);
    // The notification's text is not guaranteed to be terminated.
    std::wstring strUrl(pLink->item.szUrl, wcsnlen(pLink->item.szUrl, L_MAX_URL_LENGTH));
    return WideToAnsi(strUrl.c_str());
}

void OpenClickedLink(HWND hOwner, const NMHDR* pNMHDR) {
    std::string strTarget = GetClickedLinkTarget(pNMHDR);
    ::ShellExecuteA(hOwner, "open", strTarget.c_str(), NULL, NULL, SW_SHOWNORMAL);
}
