// Background work: the connection after Connect, the install and the
// uninstall, run by the window's one worker (CTaskQueue) in the order they
// were asked for. Orders carry what they work on; the worker reports by
// posting owned reports, which the window applies on its own thread. When
// the window closes, the tools are stopped and the running order is waited
// for, so nothing an order uses goes away under it.
#include "app/DavrelDlg.h"

#include "app/DavrelDlgTexts.h"
#include "framework/Trace.h"
#include "app/ProblemText.h"
#include "tools/DeviceReport.h"

namespace {
// With their tools stopped, orders end in well under a second; this only
// bounds one that would not.
const DWORD TASK_FINISH_TIMEOUT_MS = 15000;
}  // namespace

bool CDavrelDlg::StartTask(const TaskOrder& orderGiven) {
    TaskOrder order = orderGiven;
    order.vecLeftovers.swap(m_vecLeftovers);  // the worker gives back what it could not remove
    if (!m_tasks.Push([this, order] { RunTask(order); })) {
        m_vecLeftovers.swap(order.vecLeftovers);
        if (order.nTask == TASK_QUERY_VERSION) return false;  // nothing the user asked for
        SetStatus(ProblemText(order.nTask == TASK_UNINSTALL ? CONTEXT_UNINSTALL
                              : order.nTask == TASK_INSTALL ? CONTEXT_INSTALL : CONTEXT_TV,
                              Problem(PROBLEM_TASK_NOT_STARTED)).c_str());
        return false;
    }
    m_queuedOrders.push_back(order);
    UpdateConnectButton();
    return true;
}

bool CDavrelDlg::IsQueued(int nTask, const std::string& strWhat) const {
    for (const TaskOrder& order : m_queuedOrders) {
        if (order.nTask != nTask) continue;
        const std::string& strOf = nTask == TASK_INSTALL ? order.strPackageFile : order.strPackageName;
        if (::lstrcmpiA(strOf.c_str(), strWhat.c_str()) == 0) return true;
    }
    return false;
}

void CDavrelDlg::RunTask(const TaskOrder& order) {
    Trace("task start", std::to_string(order.nTask));
    TaskReport* pLast = new TaskReport;
    pLast->bFinished = true;
    pLast->order = order;
    std::string strLeftover;  // a file this order's transfer left on its TV
    switch (order.nTask) {
    case TASK_CONNECT: {
        Report(STATUS_CONNECTING);
        // No address: the one device adb lists (a box on USB), if just one.
        Problem problem = order.strAddress.empty() ? Problem() : m_pTool->Connect(order.strAddress);
        // The device check, the storage figures and what the TV is, once per
        // connection, for the checks before an install.
        ConnectedTv tv;
        if (problem.IsNone()) {
            tv = m_pTool->ReadConnectedTv(order.strAddress, order.strAddress, true);
            problem = tv.check.problem;
        }
        pLast->bHasSerial = true;
        pLast->strSerial = problem.IsNone() ? tv.check.strSerial : std::string();
        pLast->strModel = problem.IsNone() ? tv.check.strModel : std::string();
        if (problem.IsNone()) {
            pLast->storage = tv.storage;
            pLast->bHasStorage = true;
            problem = pLast->storage.problem;
        }
        pLast->tvProperties = tv.properties;
        pLast->bHasTvProperties = problem.IsNone() && tv.bProperties;
        pLast->bHasStatus = true;
        pLast->strStatus = problem.IsNone() ? STATUS_CONNECTED : ProblemText(CONTEXT_TV, problem);
        break;
    }
    case TASK_INSTALL: {
        InstallResult result;
        if (order.bUninstallFirst) {
            // The TV's copy goes first; an install after a failed uninstall
            // would only be refused again.
            Report(STATUS_UNINSTALLING, IDC_BTN_UNINSTALL, FALSE);
            result = m_pTool->UninstallPackage(order.strPackageName, order.strSerial);
            if (!result.bSuccess) {
                pLast->bHasStatus = true;
                pLast->strStatus = OutcomeText(result, false);
                pLast->nControlId = IDC_BTN_UNINSTALL;
                break;
            }
        }
        Report(STATUS_INSTALLING, IDC_BTN_UNINSTALL, FALSE);
        const std::string strInstallFile = PrepareInstallFile(order.strPackageFile);
        if (BundleKindOf(strInstallFile) != BUNDLE_NONE) {
            result = m_pTool->InstallBundle(order.bInternal, order.bDowngrade, strInstallFile, order.strSerial,
                                            [this](BundleStage stage) {
                Report(stage == STAGE_UNPACKING ? STATUS_UNPACKING
                       : stage == STAGE_PUSHING_OBB ? STATUS_PUSHING_OBB : STATUS_INSTALLING);
            });
        } else {
            // A large package says how much of it is on the TV, then that the TV installs it.
            result = m_pTool->InstallPackage(order.bInternal ? 1 : 0, strInstallFile, order.strSerial,
                                             order.bDowngrade, [this](int nShare) {
                if (nShare >= PROGRESS_TV_INSTALLING) return Report(STATUS_TV_INSTALLING);
                char szText[64];
                wsprintfA(szText, STATUS_SHARE_SENT, nShare);
                Report(szText);
            });
        }
        pLast->bHasStatus = true;
        pLast->strStatus = OutcomeText(result, true);
        pLast->nControlId = IDC_BTN_UNINSTALL;
        // After the TV's copy was removed there is nothing left to overrule.
        if (!result.bSuccess && !order.bUninstallFirst) pLast->refusal = RefusalKindOf(result.problem);
        strLeftover = result.strLeftover;
        break;
    }
    case TASK_UNINSTALL: {
        Report(STATUS_UNINSTALLING, IDC_BTN_INSTALL, FALSE);
        InstallResult result = m_pTool->UninstallPackage(order.strPackageName, order.strSerial);
        pLast->bHasStatus = true;
        pLast->strStatus = OutcomeText(result, false);
        pLast->nControlId = IDC_BTN_INSTALL;
        break;
    }
    default:
        break;
    }
    bool bClosing = ::WaitForSingleObject(m_hCancelEvent.Get(), 0) == WAIT_OBJECT_0;
    // Half-sent files of earlier broken transfers go from the TV this order
    // reached; the others wait for theirs.
    const std::string strReached = order.nTask == TASK_CONNECT ? pLast->strSerial : order.strSerial;
    for (const TvLeftover& leftover : order.vecLeftovers) {
        bool bRemoved = !bClosing && !strReached.empty() && leftover.strSerial == strReached &&
                        m_pTool->RemoveTvFile(leftover.strSerial, leftover.strPath);
        if (!bRemoved) pLast->vecLeftovers.push_back(leftover);
    }
    if (!strLeftover.empty()) pLast->vecLeftovers.push_back(TvLeftover{order.strSerial, strLeftover});
    // The TV's storage and its version of the package changed with the
    // install or uninstall: read them again, together, unless the window is closing.
    if (!bClosing) {
        const bool bStorage = order.nTask == TASK_INSTALL || order.nTask == TASK_UNINSTALL;
        const bool bProperties = order.nTask == TASK_QUERY_VERSION && order.bReadTvProperties;
        const std::string strPackage = order.nTask != TASK_CONNECT ? order.strPackageName : std::string();
        TvAfterTask after = m_pTool->ReadTvAfterTask(order.strSerial, strPackage, bProperties, bStorage);
        // Only what was asked: a connect has put its own storage reading in already.
        if (after.bVersion) pLast->bHasVersion = true, pLast->version = after.version;
        if (after.bProperties) pLast->bHasTvProperties = true, pLast->tvProperties = after.properties;
        if (after.bStorage) pLast->bHasStorage = true, pLast->storage = after.storage;
    }
    Trace("task end");
    Post(pLast);
}

void CDavrelDlg::Report(const char* pszStatus, int nControlId, BOOL bEnable) {
    TaskReport* pReport = new TaskReport;
    pReport->bHasStatus = pszStatus != NULL;
    if (pszStatus) pReport->strStatus = pszStatus;
    pReport->nControlId = nControlId;
    pReport->bEnable = bEnable;
    Post(pReport);
}

void CDavrelDlg::Post(TaskReport* pReport) {
    // The window takes it; a window already gone cannot, and it is dropped.
    if (!::PostMessageA(m_hWnd, WM_APP_TASK_REPORT, 0, reinterpret_cast<LPARAM>(pReport))) delete pReport;
}

LRESULT CDavrelDlg::OnTaskReport(WPARAM wParam, LPARAM lParam) {
    std::unique_ptr<TaskReport> pReport(reinterpret_cast<TaskReport*>(lParam));
    if (!pReport) return 0;
    // Install and Uninstall stay disabled for good when adb.exe is missing.
    bool bMayChange = !pReport->bEnable || m_bAdbPresent;
    if (bMayChange && (pReport->nControlId == IDC_BTN_INSTALL || pReport->nControlId == IDC_BTN_UNINSTALL))
        ::EnableWindow(GetDlgItem(pReport->nControlId), pReport->bEnable);
    m_vecLeftovers.insert(m_vecLeftovers.end(), pReport->vecLeftovers.begin(), pReport->vecLeftovers.end());
    if (pReport->bHasSerial) {
        m_pTool->SetSerial(pReport->strSerial);
        if (!pReport->strSerial.empty() && !m_strTvAddress.empty()) RememberTv(m_strTvAddress, pReport->strModel);
    }
    if (pReport->bHasTvProperties) {
        // Properties not read are asked for again with the next version reading.
        m_tvProperties = pReport->tvProperties;
        m_strTvPropertiesSerial = pReport->tvProperties.nSdk == 0 ? std::string()
                                  : pReport->order.nTask == TASK_CONNECT ? pReport->strSerial : pReport->order.strSerial;
    }
    if (pReport->bHasVersion) {
        // A TV that did not answer leaves the version unknown, not absent.
        m_tvVersion = pReport->version;
        m_strTvVersionOf = pReport->version.problem.IsNone() ? pReport->order.strPackageName : std::string();
        m_strTvVersionSerial = pReport->order.strSerial;
        ShowInstalledVersion();
    }
    if (pReport->bHasStorage) {
        m_pTool->KeepStorage(pReport->storage);
        ShowStorageFigures();
    }
    if (pReport->bHasStatus) {
        SetStatus(pReport->strStatus.c_str());
        m_strTaskStatus = pReport->strStatus;
    }
    if (pReport->bFinished && !m_queuedOrders.empty()) {
        m_queuedOrders.pop_front();
        if (m_queuedOrders.empty()) {
            m_strTaskStatus.clear();
            UpdateConnectButton();
        }
    }
    // A connected TV: which version it has of the loaded package.
    if (pReport->bFinished && pReport->order.nTask == TASK_CONNECT && !pReport->strSerial.empty())
        QueryInstalledVersion();
    if (pReport->bFinished && pReport->refusal != REFUSAL_OTHER) OfferRetry(*pReport);
    return 0;
}

void CDavrelDlg::UpdateConnectButton() {
    m_btnConnect.EnableWindow(m_bAdbPresent && m_bAaptPresent && m_queuedOrders.empty());
}

bool CDavrelDlg::FinishTasks() {
    if (m_hCancelEvent) ::SetEvent(m_hCancelEvent.Get());
    bool bEnded = m_tasks.Stop(TASK_FINISH_TIMEOUT_MS);
    // Reports posted and never taken: they are ours to free.
    MSG msg;
    while (::PeekMessageA(&msg, m_hWnd, WM_APP_TASK_REPORT, WM_APP_TASK_REPORT, PM_REMOVE))
        delete reinterpret_cast<TaskReport*>(msg.lParam);
    m_queuedOrders.clear();
    return bEnded;
}
