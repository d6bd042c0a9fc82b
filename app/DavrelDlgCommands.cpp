// What the main window does when the user acts: connect, choose, install,
// uninstall, refresh, permissions, the address box, drops from the shell.
#include "app/DavrelDlg.h"

#include <shellapi.h>
#include <algorithm>
#include "app/DavrelDlgTexts.h"
#include "framework/FileDialog.h"
#include "framework/StrUtil.h"
#include "framework/TextConvert.h"
#include "app/StatusText.h"
#include "package/IconPainter.h"
#include "tools/ToolRunner.h"

namespace {
// adb's own "kill-server" and "connect" return within seconds; a hung adb, or
// a TV that takes the connection and never answers (adb gives up on it after
// 10 s), holds the window no longer than any other query. The connection
// check that follows says what became of it.
const DWORD CONNECT_RUN_TIMEOUT_MS = TOOL_QUERY_TIMEOUT_MS;
const char INSTALL_COPY_NAME[] = "install.apk";

bool SamePath(const std::string& strA, const std::string& strB) {
    return ::lstrcmpiA(strA.c_str(), strB.c_str()) == 0;
}

std::string FullPath(const std::string& strPath) {
    char szFull[MAX_PATH] = {0};
    DWORD nLength = ::GetFullPathNameA(strPath.c_str(), MAX_PATH, szFull, NULL);
    return (nLength == 0 || nLength >= MAX_PATH) ? strPath : std::string(szFull, nLength);
}

// A package (.apk) or a bundle of them (.apks, .xapk, .apkm).
bool HasPackageExtension(const std::wstring& strPath) {
    return EndsWithNoCase(strPath, L".apk") ||
           BundleKindOf(strPath) != BUNDLE_NONE;
}
}  // namespace

void CDavrelDlg::RunAdbAndWait(const std::string& strParameters) {
    SHELLEXECUTEINFOA sei = {};
    sei.cbSize = sizeof(sei);
    sei.fMask = SEE_MASK_NOCLOSEPROCESS;
    sei.hwnd = NULL;
    sei.lpVerb = NULL;
    sei.lpFile = m_strAdbExe.c_str();
    sei.lpParameters = strParameters.c_str();
    sei.lpDirectory = NULL;
    sei.nShow = SW_HIDE;
    if (!::ShellExecuteExA(&sei)) return;  // silent: the task reports the device state
    CScopedHandle hProcess(sei.hProcess);
    if (hProcess) ::WaitForSingleObject(hProcess.Get(), CONNECT_RUN_TIMEOUT_MS);
}

void CDavrelDlg::OnConnectClicked() {
    // Disabled without adb.exe and while a task runs or waits (see UpdateConnectButton).
    if (!m_bAdbPresent || m_nPendingTasks > 0) return;
    m_btnConnect.EnableWindow(FALSE);
    std::string strAddress = m_editAddress.GetWindowText();
    RunAdbAndWait("kill-server");
    SetStatus(STATUS_CONNECTING);
    RunAdbAndWait("connect " + strAddress);
    m_nTask = TASK_CONNECT;
    TaskOrder order;
    order.nTask = TASK_CONNECT;
    order.strAddress = strAddress;
    StartTask(order);
    SaveTvAddress(strAddress);
    SendMessage(DM_SETDEFID, IDC_BTN_INSTALL);
    UpdateConnectButton();
    ShowStorageInfo();
}

bool CDavrelDlg::CheckTvReady(int nDefaultWhenNot) {
    DeviceCheck check = m_pTool->CheckDevice(std::string());
    if (check.state == DEVICE_READY) return true;
    SetStatus(NotConnectedText(check).c_str());
    if (nDefaultWhenNot) SendMessage(DM_SETDEFID, nDefaultWhenNot);
    return false;
}

std::string CDavrelDlg::NotConnectedText(const DeviceCheck& check) const {
    const char* pszReason = REASON_NONE;
    switch (check.state) {
    case DEVICE_NOT_AT_ADDRESS: pszReason = REASON_NOT_AT_ADDRESS; break;
    case DEVICE_UNAUTHORIZED: pszReason = REASON_UNAUTHORIZED; break;
    case DEVICE_OFFLINE: pszReason = REASON_OFFLINE; break;
    case DEVICE_NO_PERMISSIONS: pszReason = REASON_NO_PERMISSIONS; break;
    case DEVICE_ADB_NOT_STARTED: pszReason = REASON_ADB_NOT_STARTED; break;
    case DEVICE_ADB_TIMED_OUT: pszReason = REASON_ADB_TIMED_OUT; break;
    case DEVICE_ADB_ERROR:
        return std::string(STATUS_NOT_CONNECTED) + STATUS_REASON_SEPARATOR + REASON_ADB_ERROR +
               StatusSafe(check.strDetail);
    default: break;
    }
    return std::string(STATUS_NOT_CONNECTED) + STATUS_REASON_SEPARATOR + pszReason;
}

void CDavrelDlg::OnInstallClicked() {
    if (!CheckTvReady(IDC_BTN_CONNECT)) return;
    if (m_strApkFile.empty()) {
        SelectApkFile();
        if (m_strApkFile.empty()) return;
    }
    m_nTask = TASK_INSTALL;
    TaskOrder order;
    order.nTask = TASK_INSTALL;
    order.strInstallFile = PrepareInstallFile();
    StartTask(order);
    SendMessage(DM_SETDEFID, IDC_BTN_INSTALL);
    ShowStorageInfo();
}

std::string CDavrelDlg::PrepareInstallFile() {
    // A bundle is unpacked into a folder of Davrel's own: no copy beside it.
    if (BundleKindOf(m_strApkFile) != BUNDLE_NONE) return m_strApkFile;
    size_t nSlash = m_strApkFile.find_last_of("\\/");
    std::string strFolder = nSlash == std::string::npos ? std::string() : m_strApkFile.substr(0, nSlash + 1);
    std::string strName = nSlash == std::string::npos ? m_strApkFile : m_strApkFile.substr(nSlash + 1);

    // The chosen package is itself called install.apk: a copy would replace it.
    if (SamePath(strName, INSTALL_COPY_NAME)) return m_strApkFile;
    std::string strCopy = FullPath(strFolder + INSTALL_COPY_NAME);
    auto it = std::find_if(m_vecInstallCopies.begin(), m_vecInstallCopies.end(),
                           [&](const InstallCopy& made) { return SamePath(made.strPath, strCopy); });
    // Our own copy may be refreshed while it is still as we made it and no
    // waiting or running install reads it; any other "install.apk" is the
    // user's and stays. Otherwise the package itself is installed.
    InstallCopy copy;
    copy.strPath = strCopy;
    if (it != m_vecInstallCopies.end()) copy = *it;
    bool bReplace = it != m_vecInstallCopies.end() && m_nPendingTasks == 0;
    if (!MakeInstallCopy(m_strApkFile, copy, bReplace)) return m_strApkFile;
    if (it != m_vecInstallCopies.end()) *it = copy;
    else m_vecInstallCopies.push_back(copy);
    return strCopy;
}

void CDavrelDlg::OnUninstallClicked() {
    if (!CheckTvReady(0)) return;
    if (m_strApkFile.empty()) {
        SetStatus(STATUS_CHOOSE_TO_UNINSTALL);
        return;
    }
    m_nTask = TASK_UNINSTALL;
    TaskOrder order;
    order.nTask = TASK_UNINSTALL;
    {
        // A non-empty label is the sign that package details are loaded.
        CLockGuard lock(m_pTool->m_csFields);
        if (!m_pTool->m_strLabel.empty()) order.strPackageName = m_pTool->m_strPackageName;
    }
    StartTask(order);
    ShowStorageInfo();
}

void CDavrelDlg::OnRefreshClicked() {
    ShowConnectionState();
}

void CDavrelDlg::ShowConnectionState() {
    if (!CheckTvReady(IDC_BTN_CONNECT)) return;
    SetStatus(STATUS_CONNECTED);
    SendMessage(DM_SETDEFID, IDC_BTN_INSTALL);
    StorageOutcome outcome = ShowStorageInfo();
    if (outcome == STORAGE_NO_ANSWER) {
        SetStatus((std::string(STATUS_NOT_CONNECTED) + STATUS_REASON_SEPARATOR + REASON_TV_SILENT).c_str());
        SendMessage(DM_SETDEFID, IDC_BTN_CONNECT);
    }
}

void CDavrelDlg::OnSelectApkClicked() {
    SelectApkFile();
}

void CDavrelDlg::OnCancelClicked() {
    OnCancel();
}

void CDavrelDlg::OnPermissionsClicked(NMHDR* pNMHDR, LRESULT* pResult) {
    ShowPermissions();
    *pResult = 0;
}

void CDavrelDlg::ShowPermissions() {
    std::string strPermissions;
    {
        CLockGuard lock(m_pTool->m_csFields);
        strPermissions = m_pTool->m_strPermissions;
    }
    if (strPermissions.empty()) return;
    // A package may ask for thousands: the box must still fit the screen
    // with its button on it.
    RECT rcWork = {0, 0, 800, 600};
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &rcWork, 0);
    NONCLIENTMETRICSA metrics = {};
    metrics.cbSize = sizeof(metrics);
    int nLineHeight = 16;
    if (::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
        CScopedGetDC dc(m_hWnd);
        CScopedGdiObject font(::CreateFontIndirectA(&metrics.lfMessageFont));
        if (dc.Get() && font) {
            HGDIOBJ hOld = ::SelectObject(dc.Get(), font.Get());
            TEXTMETRICA tm;
            if (::GetTextMetricsA(dc.Get(), &tm)) nLineHeight = tm.tmHeight + tm.tmExternalLeading;
            ::SelectObject(dc.Get(), hOld);
        }
    }
    // Title bar, margins and the button take about eight lines' height.
    int nLines = (rcWork.bottom - rcWork.top) / (nLineHeight > 0 ? nLineHeight : 16) - 8;
    MessageBox(LimitLines(strPermissions, nLines < 5 ? 5 : nLines, PERMISSIONS_MORE).c_str(), PERMISSIONS_TITLE,
               MB_OK);
}

void CDavrelDlg::OnAddressUpdate() {
    std::string strText = m_editAddress.GetWindowText();
    if (!strText.empty() && strText.back() == '\n') {
        m_btnConnect.SetFocus();
        m_btnConnect.SetButtonStyle(BS_DEFPUSHBUTTON, TRUE);
    }
}

void CDavrelDlg::OnAddressSetFocus() {
    SendMessage(DM_SETDEFID, IDC_BTN_CONNECT);
}

void CDavrelDlg::SelectApkFile() {
    CFileDialog dlgFile(TRUE, ".apk", NULL, OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FORCESHOWHIDDEN,
                        "Apk Files(*.apk;*.apks;*.xapk;*.apkm)|*.apk;*.apks;*.xapk;*.apkm|All Files(*.*)|*.*||", NULL, 0, TRUE);
    if (dlgFile.DoModal() != IDOK) return;
    if (!AcceptPackagePath(dlgFile.GetPathNameW(), STATUS_UNREADABLE)) LoadApk();
}

void CDavrelDlg::OnDropFiles(HDROP hDrop) {
    // The first dropped package counts: a file named .apk or as a bundle
    // (a folder so named is not one).
    std::wstring strPath;
    bool bFolder = false;
    UINT nFiles = ::DragQueryFileW(hDrop, 0xFFFFFFFF, NULL, 0);
    for (UINT i = 0; i < nFiles && strPath.empty(); ++i) {
        UINT nLength = ::DragQueryFileW(hDrop, i, NULL, 0);
        if (nLength == 0) continue;
        std::wstring strFile(nLength + 1, L'\0');
        nLength = ::DragQueryFileW(hDrop, i, &strFile[0], nLength + 1);
        strFile.resize(nLength);
        if (!HasPackageExtension(strFile)) continue;
        DWORD dwAttributes = ::GetFileAttributesW(strFile.c_str());
        if (dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_DIRECTORY)) bFolder = true;
        else strPath = strFile;
    }
    ::DragFinish(hDrop);
    // Dropping is choosing: not possible while Choose is disabled (no aapt.exe).
    if (!m_bAaptPresent) return;
    if (strPath.empty()) {
        SetStatus(bFolder ? STATUS_NOT_A_FILE : STATUS_NOT_A_PACKAGE);
        return;
    }
    if (!AcceptPackagePath(strPath, STATUS_UNREADABLE)) LoadApk();
}

std::string CDavrelDlg::LoadApk() {
    if (m_strApkFile.empty() || m_strAaptExe.empty() || m_strAdbExe.empty()) return std::string();
    // aapt runs on this thread: say so before, so a slow read shows as work.
    SetStatus(STATUS_READING);
    m_linkStatus.UpdateWindow();
    m_pTool->LoadPackageInfo();
    SetStatus(STATUS_LOADING);

    std::string strLabel, strPackage, strVersion, strSdk, strSize;
    {
        CLockGuard lock(m_pTool->m_csFields);
        strLabel = m_pTool->m_strLabel;
        strPackage = m_pTool->m_strPackageName;
        strVersion = m_pTool->m_strVersionName;
        strSdk = m_pTool->m_strSdkVersion;
        strSize = m_pTool->m_strFileSize;
    }
    m_staticName.SetWindowText(strLabel);
    m_staticPackage.SetWindowText(strPackage);
    m_staticVersion.SetWindowText(strVersion);
    m_staticSdk.SetWindowText(strSdk);
    m_staticSize.SetWindowText(strSize);

    char szTemp[MAX_PATH] = {0};
    ::GetTempPathA(MAX_PATH, szTemp);
    m_strIconFile = MakeIconFilePath(szTemp, strPackage, strVersion);
    // An icon not taken out of this package is not shown: the file of that
    // name may be an earlier package's.
    if (!m_pTool->ExtractPackageIcon(m_strIconFile)) m_strIconFile.clear();
    DrawPackageIcon();

    InstallResult bundle;
    {
        CLockGuard lock(m_pTool->m_csFields);
        bundle.bundleIssue = m_pTool->m_bBundle ? m_pTool->m_bundleIssue : BUNDLE_FINE;
    }
    std::string strProblem;
    if (bundle.bundleIssue != BUNDLE_FINE) strProblem = BundleIssueText(bundle);
    else if (strLabel.empty()) strProblem = STATUS_NO_INFO;
    SetStatus(strProblem.empty() ? STATUS_READY : strProblem.c_str());
    // Work already asked for goes on with the package it was given: the
    // status keeps saying so rather than that all is idle.
    if (m_nPendingTasks > 0) SetStatus(m_strTaskStatus.empty() ? STATUS_TASK_WAITING : m_strTaskStatus.c_str());
    return strProblem;
}

StorageOutcome CDavrelDlg::ShowStorageInfo() {
    if (m_strAdbExe.empty()) return STORAGE_NOT_STARTED;
    StorageOutcome outcome = m_pTool->QueryStorage();
    m_staticSystemSize.SetWindowText(m_pTool->m_strSystemSize);
    m_staticSystemFree.SetWindowText(m_pTool->m_strSystemFree);
    m_staticDataSize.SetWindowText(m_pTool->m_strDataSize);
    m_staticDataFree.SetWindowText(m_pTool->m_strDataFree);
    m_staticSdcardSize.SetWindowText(m_pTool->m_strSdcardSize);
    m_staticSdcardFree.SetWindowText(m_pTool->m_strSdcardFree);
    m_staticSdext2Size.SetWindowText(m_pTool->m_strSdext2Size);
    m_staticSdext2Free.SetWindowText(m_pTool->m_strSdext2Free);
    return outcome;
}
