// 搜索电视: the search for TVs on the local networks, on a thread of its
// own so the window never waits for it, and the address box's list of what
// it found. The thread touches no control and no member: it posts its
// result, an object of its own that the window takes over (and deletes).
#include "app/DavrelDlg.h"

#include <process.h>
#include <algorithm>
#include "net/ScanPlan.h"
#include "net/TvScanner.h"

namespace {
const char STATUS_SEARCHING[] = "正在搜索电视...";
const char STATUS_FOUND[] = "找到%d台电视";
const char STATUS_NONE_FOUND[] = "没有找到电视：请确认电视和电脑在同一网络，并已打开网络调试（ADB）";
const char STATUS_NO_NETWORK[] = "没有找到电视：电脑没有连接局域网";
const char STATUS_BAD_VARIABLE[] =
    "搜索电视失败：DAVREL_SCAN_NETWORKS中没有可搜索的网络（只搜索局域网和本机地址，最多1024个）";
const char STATUS_NO_SOCKETS[] = "搜索电视失败：无法使用网络";
const char MARK_NEEDS_AUTH[] = "需要授权";
const char ITEM_SEPARATOR[] = "  ";

// With the window closing, the scan ends within a select slice; this only
// bounds one that would not.
const DWORD SEARCH_FINISH_TIMEOUT_MS = 5000;

struct SearchParams {
    HWND hwnd;
    HANDLE hCancel;  // the thread's own duplicate of the window's cancel event
};

struct SearchResult {
    ScanPlan plan;
    ScanOutcome outcome = SCAN_DONE;
    std::vector<FoundTv> found;
};

unsigned __stdcall SearchThreadProc(void* pParam) {
    SearchParams params = *static_cast<SearchParams*>(pParam);
    delete static_cast<SearchParams*>(pParam);
    CScopedHandle hCancel(params.hCancel);
    SearchResult* pResult = new SearchResult;
    pResult->plan = PlanScanHere();
    if (!pResult->plan.targets.empty())
        pResult->outcome = ScanForTvs(pResult->plan.targets, hCancel.Get(), ScanLimits(), &pResult->found);
    if (!::PostMessageA(params.hwnd, WM_APP_SEARCH_DONE, 0, reinterpret_cast<LPARAM>(pResult))) delete pResult;
    return 0;
}

std::string StatusOf(const SearchResult& result) {
    if (result.outcome == SCAN_NO_SOCKETS) return STATUS_NO_SOCKETS;
    if (result.plan.targets.empty()) return result.plan.bFromVariable ? STATUS_BAD_VARIABLE : STATUS_NO_NETWORK;
    if (result.found.empty()) return STATUS_NONE_FOUND;
    char szText[64];
    ::wsprintfA(szText, STATUS_FOUND, static_cast<int>(result.found.size()));
    return szText;
}
}  // namespace

void CDavrelDlg::OnSearchClicked() {
    if (m_bSearching) return;
    for (size_t i = m_vecSearchThreads.size(); i-- > 0;)  // forget searches that have ended
        if (::WaitForSingleObject(m_vecSearchThreads[i].Get(), 0) == WAIT_OBJECT_0)
            m_vecSearchThreads.erase(m_vecSearchThreads.begin() + i);
    HANDLE hCancel = NULL;
    if (!::DuplicateHandle(::GetCurrentProcess(), m_hCancelEvent.Get(), ::GetCurrentProcess(), &hCancel, 0, FALSE,
                           DUPLICATE_SAME_ACCESS)) {
        SetStatus(STATUS_NO_SOCKETS);
        return;
    }
    SearchParams* pParams = new SearchParams{m_hWnd, hCancel};
    uintptr_t hThread = ::_beginthreadex(NULL, 0, SearchThreadProc, pParams, 0, NULL);
    if (!hThread) {
        ::CloseHandle(hCancel);
        delete pParams;
        SetStatus(STATUS_NO_SOCKETS);
        return;
    }
    m_vecSearchThreads.emplace_back(reinterpret_cast<HANDLE>(hThread));
    m_bSearching = true;
    m_btnSearch.EnableWindow(FALSE);
    SetStatus(STATUS_SEARCHING);
}

LRESULT CDavrelDlg::OnSearchDone(WPARAM wParam, LPARAM lParam) {
    std::unique_ptr<SearchResult> pResult(reinterpret_cast<SearchResult*>(lParam));
    m_bSearching = false;
    m_btnSearch.EnableWindow(TRUE);
    if (!pResult || pResult->outcome == SCAN_CANCELLED) return 0;

    // The list replaces the last search's (or the recent TVs); what the box
    // holds stays.
    std::string strTyped = m_editAddress.GetWindowText();
    std::vector<FoundTvItem> vecItems;
    for (const FoundTv& tv : pResult->found) {
        FoundTvItem item;
        item.strAddress = FormatIpv4(tv.uAddress);
        const std::string strMark = tv.bNeedsAuth ? MARK_NEEDS_AUTH : tv.strModel;
        item.strText = strMark.empty() ? item.strAddress : item.strAddress + ITEM_SEPARATOR + strMark;
        vecItems.push_back(item);
    }
    ShowTvItems(vecItems);
    bool bTypedEmpty = strTyped.find_first_not_of(" \t") == std::string::npos;
    if (m_vecFoundTvs.size() == 1 && bTypedEmpty) strTyped = m_vecFoundTvs[0].strAddress;
    m_editAddress.SetWindowText(strTyped);
    m_bSearchListShown = true;
    SetStatus(StatusOf(*pResult).c_str());
    return 0;
}

void CDavrelDlg::ShowTvItems(const std::vector<FoundTvItem>& vecItems) {
    std::string strTyped = m_editAddress.GetWindowText();  // the reset would clear it
    m_editAddress.SendMessage(CB_RESETCONTENT);
    m_vecFoundTvs = vecItems;
    int nWidest = 0;
    CScopedGetDC dc(m_editAddress.GetSafeHwnd());
    HGDIOBJ hOldFont = dc.Get() ? ::SelectObject(dc.Get(), reinterpret_cast<HGDIOBJ>(m_editAddress.SendMessage(WM_GETFONT)))
                                : NULL;
    for (const FoundTvItem& item : m_vecFoundTvs) {
        m_editAddress.AddString(item.strText.c_str());
        SIZE size = {0, 0};
        if (dc.Get() && ::GetTextExtentPoint32A(dc.Get(), item.strText.c_str(), static_cast<int>(item.strText.size()), &size))
            nWidest = std::max<int>(nWidest, size.cx);
    }
    if (dc.Get() && hOldFont) ::SelectObject(dc.Get(), hOldFont);
    RECT rcBox = {};
    ::GetWindowRect(m_editAddress.GetSafeHwnd(), &rcBox);
    const int nMargin = ::GetSystemMetrics(SM_CXVSCROLL) + 12;
    m_editAddress.SendMessage(CB_SETDROPPEDWIDTH, std::max<int>(rcBox.right - rcBox.left, nWidest + nMargin));
    m_editAddress.SetWindowText(strTyped);
}

void CDavrelDlg::ShowRecentTvs() {
    std::vector<FoundTvItem> vecItems;
    for (const RecentTv& tv : m_vecRecentTvs) {
        FoundTvItem item;
        item.strAddress = tv.strAddress;
        item.strText = tv.strModel.empty() ? tv.strAddress : tv.strAddress + ITEM_SEPARATOR + tv.strModel;
        vecItems.push_back(item);
    }
    ShowTvItems(vecItems);
}

void CDavrelDlg::RememberTv(const std::string& strSerial, const std::string& strModel) {
    // The address as a user writes it: without adb's default port.
    std::string strAddress = strSerial;
    const std::string DEFAULT_PORT = ":5555";
    if (strAddress.size() > DEFAULT_PORT.size() &&
        strAddress.compare(strAddress.size() - DEFAULT_PORT.size(), DEFAULT_PORT.size(), DEFAULT_PORT) == 0)
        strAddress.resize(strAddress.size() - DEFAULT_PORT.size());
    m_vecRecentTvs = WithRecentTv(m_vecRecentTvs, RecentTv{strAddress, strModel});
    StoreRecentTvs(m_regKey, m_vecRecentTvs);
    if (!m_bSearchListShown) ShowRecentTvs();
}

void CDavrelDlg::OnAddressPicked() {
    // The list has put the item's whole text into the box; once it is done,
    // only the address stays there.
    int nIndex = m_editAddress.GetCurSel();
    if (nIndex >= 0 && static_cast<size_t>(nIndex) < m_vecFoundTvs.size())
        PostMessage(WM_APP_ADDRESS_PICKED, static_cast<WPARAM>(nIndex));
}

LRESULT CDavrelDlg::OnAddressPickedLater(WPARAM wParam, LPARAM lParam) {
    if (wParam < m_vecFoundTvs.size() && m_editAddress.GetWindowText() == m_vecFoundTvs[wParam].strText)
        m_editAddress.SetWindowText(m_vecFoundTvs[wParam].strAddress);
    return 0;
}

std::string CDavrelDlg::AddressBoxText() const {
    std::string strText = m_editAddress.GetWindowText();
    for (const FoundTvItem& item : m_vecFoundTvs)
        if (strText == item.strText) return item.strAddress;
    return strText;
}

void CDavrelDlg::StopSearch() {
    if (m_hCancelEvent) ::SetEvent(m_hCancelEvent.Get());
    for (CScopedHandle& hThread : m_vecSearchThreads) ::WaitForSingleObject(hThread.Get(), SEARCH_FINISH_TIMEOUT_MS);
    m_vecSearchThreads.clear();
    // A result posted before the thread ended is never handled now: its object goes here.
    MSG msg;
    while (::PeekMessageA(&msg, m_hWnd, WM_APP_SEARCH_DONE, WM_APP_SEARCH_DONE, PM_REMOVE))
        delete reinterpret_cast<SearchResult*>(msg.lParam);
}
