// Background tasks: the connection check after Connect, the install and the
// uninstall. One task works at a time (g_csTask). Tasks never touch a
// control themselves: they send their status texts and enable changes to the
// window, which applies them on its own thread. The window waits for every
// task when it closes and answers their messages meanwhile, so nothing a
// task uses goes away under it.
#include "app/DavrelDlg.h"

#include <process.h>
#include "app/DavrelDlgTexts.h"

namespace {
// Created with the window, deleted only after every task has ended.
CCriticalSection* g_csTask = NULL;

// With their tools stopped, tasks end in well under a second; this only
// bounds a task that would not.
const DWORD TASK_FINISH_TIMEOUT_MS = 15000;

struct TaskParams {
    CDavrelDlg* pDlg;
    int nTask;  // the command that started the task, fixed at its start
};
}  // namespace

void CDavrelDlg::InitTaskLock() {
    if (!g_csTask) g_csTask = new CCriticalSection;
}

void CDavrelDlg::FreeTaskLock() {
    delete g_csTask;
    g_csTask = NULL;
}

void CDavrelDlg::StartTask(int nTask) {
    if (!g_csTask) return;
    // Forget tasks that have ended.
    for (size_t i = m_vecTasks.size(); i-- > 0;) {
        if (::WaitForSingleObject(m_vecTasks[i].Get(), 0) == WAIT_OBJECT_0) m_vecTasks.erase(m_vecTasks.begin() + i);
    }
    TaskParams* pParams = new TaskParams{this, nTask};
    uintptr_t hThread = ::_beginthreadex(NULL, 0, TaskThreadProc, pParams, 0, NULL);
    if (!hThread) {
        delete pParams;
        return;
    }
    m_vecTasks.emplace_back(reinterpret_cast<HANDLE>(hThread));
}

unsigned __stdcall CDavrelDlg::TaskThreadProc(void* pParam) {
    TaskParams* pParams = static_cast<TaskParams*>(pParam);
    CDavrelDlg* pDlg = pParams->pDlg;
    int nTask = pParams->nTask;
    delete pParams;
    CLockGuard lock(*g_csTask);
    // Waited for the lock while the window closed: nothing left to do.
    if (::WaitForSingleObject(pDlg->m_hCancelEvent.Get(), 0) != WAIT_OBJECT_0) pDlg->RunTask(nTask);
    return 1;
}

void CDavrelDlg::RunTask(int nTask) {
    switch (nTask) {
    case TASK_CONNECT:
        Report(STATUS_CONNECTING);
        Report(m_pTool->IsDeviceConnected() ? STATUS_CONNECTED : STATUS_NOT_CONNECTED);
        break;
    case TASK_INSTALL: {
        Report(STATUS_INSTALLING, IDC_BTN_UNINSTALL, FALSE);
        // The location chosen now, not when Install was pressed. The window
        // answers this even while it waits for the tasks to end.
        int nIndex = static_cast<int>(::SendMessageA(m_comboLocation.GetSafeHwnd(), CB_GETCURSEL, 0, 0));
        InstallResult result = m_pTool->InstallPackage(nIndex);
        std::string strText = result.bSuccess ? STATUS_INSTALLED : STATUS_INSTALL_FAILED;
        if (!result.bSuccess && !result.strReason.empty()) strText += STATUS_REASON_SEPARATOR + result.strReason;
        Report(strText.c_str(), IDC_BTN_UNINSTALL, TRUE);
        break;
    }
    case TASK_UNINSTALL:
        Report(STATUS_UNINSTALLING, IDC_BTN_INSTALL, FALSE);
        Report(m_pTool->UninstallPackage() ? STATUS_UNINSTALLED : STATUS_UNINSTALL_FAILED, IDC_BTN_INSTALL, TRUE);
        break;
    default:
        break;
    }
}

void CDavrelDlg::Report(const char* pszStatus, int nControlId, BOOL bEnable) {
    TaskReport report = {pszStatus, nControlId, bEnable};
    ::SendMessageA(m_hWnd, WM_APP_TASK_REPORT, 0, reinterpret_cast<LPARAM>(&report));
}

LRESULT CDavrelDlg::OnTaskReport(WPARAM wParam, LPARAM lParam) {
    const TaskReport* pReport = reinterpret_cast<const TaskReport*>(lParam);
    if (!pReport) return 0;
    // Install and Uninstall stay disabled for good when adb.exe is missing.
    bool bMayChange = !pReport->bEnable || m_bAdbPresent;
    if (bMayChange && (pReport->nControlId == IDC_BTN_INSTALL || pReport->nControlId == IDC_BTN_UNINSTALL))
        ::EnableWindow(GetDlgItem(pReport->nControlId), pReport->bEnable);
    if (pReport->pszStatus) SetStatus(pReport->pszStatus);
    return 0;
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
