// Background tasks: the connection check after Connect, the install and the
// uninstall. One task works at a time (g_csTask). Tasks never touch a
// control themselves: they send their status texts and enable changes to the
// window, which applies them on its own thread. The window waits for every
// task when it closes and answers their messages meanwhile, so nothing a
// task uses goes away under it.
#include "app/DavrelDlg.h"

#include <process.h>
#include "app/DavrelDlgTexts.h"
#include "app/StatusText.h"

namespace {
// Created with the window, deleted only after every task has ended.
CCriticalSection* g_csTask = NULL;

// With their tools stopped, tasks end in well under a second; this only
// bounds a task that would not.
const DWORD TASK_FINISH_TIMEOUT_MS = 15000;

// "Done", or "failed" with why: adb's own words, that it did not start, or
// why a bundle was not sent; an expansion file that did not follow is told.
std::string OutcomeText(const InstallResult& result, const char* pszDone, const char* pszFailed) {
    if (result.bSuccess && result.bObbFailed) {
        std::string strText = STATUS_OBB_FAILED;
        if (result.bundleIssue != BUNDLE_FINE) strText += STATUS_REASON_SEPARATOR + BundleIssueText(result);
        else if (!result.strObbReason.empty()) strText += STATUS_REASON_SEPARATOR + StatusSafe(result.strObbReason);
        return strText;
    }
    if (result.bSuccess) return pszDone;
    std::string strText = pszFailed;
    if (result.bundleIssue != BUNDLE_FINE) strText += STATUS_REASON_SEPARATOR + BundleIssueText(result);
    else if (!result.bAdbStarted) strText += std::string(STATUS_REASON_SEPARATOR) + REASON_ADB_NOT_STARTED;
    else if (!result.strReason.empty()) strText += STATUS_REASON_SEPARATOR + StatusSafe(result.strReason);
    return strText;
}

struct TaskParams {
    CDavrelDlg* pDlg;
    TaskOrder order;  // what the task works on, fixed when it was started
};
}  // namespace

void CDavrelDlg::InitTaskLock() {
    if (!g_csTask) g_csTask = new CCriticalSection;
}

void CDavrelDlg::FreeTaskLock() {
    delete g_csTask;
    g_csTask = NULL;
}

void CDavrelDlg::StartTask(const TaskOrder& order) {
    if (!g_csTask) return;
    // Forget tasks that have ended.
    for (size_t i = m_vecTasks.size(); i-- > 0;) {
        if (::WaitForSingleObject(m_vecTasks[i].Get(), 0) == WAIT_OBJECT_0) m_vecTasks.erase(m_vecTasks.begin() + i);
    }
    TaskParams* pParams = new TaskParams{this, order};
    uintptr_t hThread = ::_beginthreadex(NULL, 0, TaskThreadProc, pParams, 0, NULL);
    if (!hThread) {
        delete pParams;
        return;
    }
    m_vecTasks.emplace_back(reinterpret_cast<HANDLE>(hThread));
    ++m_nPendingTasks;
    UpdateConnectButton();
}

unsigned __stdcall CDavrelDlg::TaskThreadProc(void* pParam) {
    TaskParams* pParams = static_cast<TaskParams*>(pParam);
    CDavrelDlg* pDlg = pParams->pDlg;
    TaskOrder order = pParams->order;
    delete pParams;
    {
        CLockGuard lock(*g_csTask);
        // Waited for the lock while the window closed: nothing left to do.
        if (::WaitForSingleObject(pDlg->m_hCancelEvent.Get(), 0) != WAIT_OBJECT_0) pDlg->RunTask(order);
    }
    pDlg->Report(NULL, 0, TRUE, true);
    return 1;
}

void CDavrelDlg::RunTask(const TaskOrder& order) {
    switch (order.nTask) {
    case TASK_CONNECT: {
        Report(STATUS_CONNECTING);
        DeviceCheck check = m_pTool->CheckDevice(order.strAddress);
        Report(check.state == DEVICE_READY ? STATUS_CONNECTED : NotConnectedText(check).c_str());
        break;
    }
    case TASK_INSTALL: {
        Report(STATUS_INSTALLING, IDC_BTN_UNINSTALL, FALSE);
        // The location chosen now, not when Install was pressed. The window
        // answers this even while it waits for the tasks to end.
        int nIndex = static_cast<int>(::SendMessageA(m_comboLocation.GetSafeHwnd(), CB_GETCURSEL, 0, 0));
        InstallResult result;
        if (BundleKindOf(order.strInstallFile) != BUNDLE_NONE) {
            result = m_pTool->InstallBundle(nIndex != 0, order.strInstallFile, [this](BundleStage stage) {
                Report(stage == STAGE_UNPACKING ? STATUS_UNPACKING
                       : stage == STAGE_PUSHING_OBB ? STATUS_PUSHING_OBB : STATUS_INSTALLING);
            });
        } else {
            result = m_pTool->InstallPackage(nIndex, order.strInstallFile);
        }
        Report(OutcomeText(result, STATUS_INSTALLED, STATUS_INSTALL_FAILED).c_str(), IDC_BTN_UNINSTALL, TRUE);
        break;
    }
    case TASK_UNINSTALL: {
        Report(STATUS_UNINSTALLING, IDC_BTN_INSTALL, FALSE);
        InstallResult result = m_pTool->UninstallPackage(order.strPackageName);
        Report(OutcomeText(result, STATUS_UNINSTALLED, STATUS_UNINSTALL_FAILED).c_str(), IDC_BTN_INSTALL, TRUE);
        break;
    }
    default:
        break;
    }
}

void CDavrelDlg::Report(const char* pszStatus, int nControlId, BOOL bEnable, bool bFinished) {
    TaskReport report = {pszStatus, nControlId, bEnable, bFinished};
    ::SendMessageA(m_hWnd, WM_APP_TASK_REPORT, 0, reinterpret_cast<LPARAM>(&report));
}

LRESULT CDavrelDlg::OnTaskReport(WPARAM wParam, LPARAM lParam) {
    const TaskReport* pReport = reinterpret_cast<const TaskReport*>(lParam);
    if (!pReport) return 0;
    // Install and Uninstall stay disabled for good when adb.exe is missing.
    bool bMayChange = !pReport->bEnable || m_bAdbPresent;
    if (bMayChange && (pReport->nControlId == IDC_BTN_INSTALL || pReport->nControlId == IDC_BTN_UNINSTALL))
        ::EnableWindow(GetDlgItem(pReport->nControlId), pReport->bEnable);
    if (pReport->pszStatus) {
        SetStatus(pReport->pszStatus);
        m_strTaskStatus = pReport->pszStatus;
    }
    if (pReport->bFinished && m_nPendingTasks > 0 && --m_nPendingTasks == 0) {
        m_strTaskStatus.clear();
        UpdateConnectButton();
    }
    return 0;
}

void CDavrelDlg::UpdateConnectButton() {
    m_btnConnect.EnableWindow(m_bAdbPresent && m_bAaptPresent && m_nPendingTasks == 0);
}

bool CDavrelDlg::FinishTasks() {
    if (m_hCancelEvent) ::SetEvent(m_hCancelEvent.Get());
    DWORD dwStart = ::GetTickCount();
    bool bEnded = true;
    while (!m_vecTasks.empty()) {
        DWORD dwElapsed = ::GetTickCount() - dwStart;
        if (dwElapsed >= TASK_FINISH_TIMEOUT_MS) {
            bEnded = false;
            break;
        }
        std::vector<HANDLE> handles;
        for (size_t i = 0; i < m_vecTasks.size() && i < MAXIMUM_WAIT_OBJECTS - 1; ++i)
            handles.push_back(m_vecTasks[i].Get());
        // Wake for messages sent to this thread too: tasks report through
        // them and an install task asks the location list for its selection.
        DWORD dwResult = ::MsgWaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE,
                                                     TASK_FINISH_TIMEOUT_MS - dwElapsed, QS_SENDMESSAGE);
        if (dwResult < WAIT_OBJECT_0 + handles.size()) {
            m_vecTasks.erase(m_vecTasks.begin() + (dwResult - WAIT_OBJECT_0));
        } else if (dwResult == WAIT_OBJECT_0 + handles.size()) {
            MSG msg;
            ::PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        } else if (dwResult != WAIT_TIMEOUT) {
            bEnded = false;
            break;
        }
    }
    return bEnded;
}
