// What the main window does when the user acts: connect, choose, install,
// uninstall, refresh, permissions, the address box, drops from the shell.
#include "app/DavrelDlg.h"

#include <shellapi.h>
#include <algorithm>
#include "app/DavrelDlgTexts.h"
#include "framework/FileDialog.h"
#include "framework/TextConvert.h"
#include "package/IconPainter.h"

namespace {
// adb's own "kill-server" and "connect" return within seconds; a hung adb
// must not freeze the window for good.
const DWORD CONNECT_RUN_TIMEOUT_MS = 30000;
const char INSTALL_COPY_NAME[] = "install.apk";

bool SamePath(const std::string& strA, const std::string& strB) {
    return ::lstrcmpiA(strA.c_str(), strB.c_str()) == 0;
}

std::string FullPath(const std::string& strPath) {
    char szFull[MAX_PATH] = {0};
    DWORD nLength = ::GetFullPathNameA(strPath.c_str(), MAX_PATH, szFull, NULL);
    return (nLength == 0 || nLength >= MAX_PATH) ? strPath : std::string(szFull, nLength);
}

bool HasApkExtension(const std::wstring& strPath) {
    return strPath.size() >= 4 && ::lstrcmpiW(strPath.c_str() + strPath.size() - 4, L".apk") == 0;
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
    // Without adb.exe Connect stays disabled for the whole run.
    if (!m_bAdbPresent) return;
    m_btnConnect.EnableWindow(FALSE);
    std::string strAddress = m_editAddress.GetWindowText();
    RunAdbAndWait("kill-server");
    SetStatus(STATUS_CONNECTING);
    RunAdbAndWait("connect " + strAddress);
    m_nTask = TASK_CONNECT;
    StartTask(TASK_CONNECT);
    SaveTvAddress(strAddress);
    SendMessage(DM_SETDEFID, IDC_BTN_INSTALL);
    m_btnConnect.EnableWindow(TRUE);
    ShowStorageInfo();
}

void CDavrelDlg::OnInstallClicked() {
    if (!m_pTool->IsDeviceConnected()) {
        SetStatus(STATUS_NOT_CONNECTED);
        SendMessage(DM_SETDEFID, IDC_BTN_CONNECT);
        return;
    }
    if (m_strApkFile.empty()) {
        SelectApkFile();
        if (m_strApkFile.empty()) return;
    }
    PrepareInstallFile();
    m_nTask = TASK_INSTALL;
    StartTask(TASK_INSTALL);
    SendMessage(DM_SETDEFID, IDC_BTN_INSTALL);
    ShowStorageInfo();
}

void CDavrelDlg::PrepareInstallFile() {
    size_t nSlash = m_strApkFile.find_last_of("\\/");
    std::string strFolder = nSlash == std::string::npos ? std::string() : m_strApkFile.substr(0, nSlash + 1);
    std::string strName = nSlash == std::string::npos ? m_strApkFile : m_strApkFile.substr(nSlash + 1);

    // The chosen package is itself called install.apk: a copy would replace it.
    if (SamePath(strName, INSTALL_COPY_NAME)) {
        m_pTool->SetApkPath(m_strApkFile);
        return;
    }
    std::string strCopy = FullPath(strFolder + INSTALL_COPY_NAME);
    bool bOurs = std::any_of(m_vecInstallCopies.begin(), m_vecInstallCopies.end(),
                             [&](const std::string& strMade) { return SamePath(strMade, strCopy); });
    // Our own copy may be refreshed; any other "install.apk" is the user's and stays.
    if (::CopyFileA(m_strApkFile.c_str(), strCopy.c_str(), bOurs ? FALSE : TRUE)) {
        if (!bOurs) m_vecInstallCopies.push_back(strCopy);
        m_pTool->SetApkPath(strCopy);
    } else {
        m_pTool->SetApkPath(m_strApkFile);
    }
}

void CDavrelDlg::OnUninstallClicked() {
    if (!m_pTool->IsDeviceConnected()) {
        SetStatus(STATUS_NOT_CONNECTED);
        return;
    }
    if (m_strApkFile.empty()) {
        SetStatus(STATUS_CHOOSE_TO_UNINSTALL);
        return;
    }
    m_nTask = TASK_UNINSTALL;
    StartTask(TASK_UNINSTALL);
    ShowStorageInfo();
}

void CDavrelDlg::OnRefreshClicked() {
    ShowConnectionState();
}

void CDavrelDlg::ShowConnectionState() {
    if (m_pTool->IsDeviceConnected()) {
        SetStatus(STATUS_CONNECTED);
        SendMessage(DM_SETDEFID, IDC_BTN_INSTALL);
        ShowStorageInfo();
    } else {
        SetStatus(STATUS_NOT_CONNECTED);
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
    std::string strPermissions;
    {
        CLockGuard lock(m_pTool->m_csFields);
        strPermissions = m_pTool->m_strPermissions;
    }
    if (!strPermissions.empty()) MessageBox(strPermissions.c_str(), PERMISSIONS_TITLE, MB_OK);
    *pResult = 0;
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
                        "Apk Files(*.apk)|*.apk|All Files(*.*)|*.*||", NULL, 0, TRUE);
    if (dlgFile.DoModal() != IDOK) return;
    m_strApkFile = dlgFile.GetPathName();
    m_pTool->SetApkPath(m_strApkFile);
    LoadApk();
}

void CDavrelDlg::OnDropFiles(HDROP hDrop) {
    std::string strPath;
    UINT nFiles = ::DragQueryFileW(hDrop, 0xFFFFFFFF, NULL, 0);
    for (UINT i = 0; i < nFiles && strPath.empty(); ++i) {
        UINT nLength = ::DragQueryFileW(hDrop, i, NULL, 0);
        if (nLength == 0) continue;
        std::wstring strFile(nLength + 1, L'\0');
        nLength = ::DragQueryFileW(hDrop, i, &strFile[0], nLength + 1);
        strFile.resize(nLength);
        if (HasApkExtension(strFile)) strPath = WidePathToAnsi(strFile);
    }
    ::DragFinish(hDrop);
    // Dropping is choosing: not possible while Choose is disabled (no aapt.exe).
    if (strPath.empty() || !m_bAaptPresent) return;
    m_strApkFile = strPath;
    m_pTool->SetApkPath(m_strApkFile);
    LoadApk();
}

void CDavrelDlg::LoadApk() {
    if (m_strApkFile.empty() || m_strAaptExe.empty() || m_strAdbExe.empty()) return;
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
    m_pTool->ExtractPackageIcon(m_strIconFile);
    DrawPackageIcon();

    SetStatus(STATUS_READY);
    if (strLabel.empty()) SetStatus(STATUS_NO_INFO);
}

void CDavrelDlg::ShowStorageInfo() {
    if (m_strAdbExe.empty()) return;
    m_pTool->QueryStorage();
    m_staticSystemSize.SetWindowText(m_pTool->m_strSystemSize);
    m_staticSystemFree.SetWindowText(m_pTool->m_strSystemFree);
    m_staticDataSize.SetWindowText(m_pTool->m_strDataSize);
    m_staticDataFree.SetWindowText(m_pTool->m_strDataFree);
    m_staticSdcardSize.SetWindowText(m_pTool->m_strSdcardSize);
    m_staticSdcardFree.SetWindowText(m_pTool->m_strSdcardFree);
    m_staticSdext2Size.SetWindowText(m_pTool->m_strSdext2Size);
    m_staticSdext2Free.SetWindowText(m_pTool->m_strSdext2Free);
}
