// What the main window does when the user acts: connect, choose, install,
// uninstall, refresh, permissions, the address box, drops from the shell.
#include "app/DavrelDlg.h"

#include <shellapi.h>
#include <algorithm>
#include "app/DavrelDlgTexts.h"
#include "framework/FileDialog.h"
#include "framework/StrUtil.h"
#include "framework/TextConvert.h"
#include "framework/Trace.h"
#include "app/ProblemText.h"
#include "app/StatusText.h"
#include "tools/DeviceReport.h"
#include "tools/FileSize.h"
#include "tools/TvAddress.h"
#include "package/IconPainter.h"

namespace {
// A package (.apk) or a bundle of them (.apks, .xapk, .apkm).
bool HasPackageExtension(const std::wstring& strPath) {
    return EndsWithNoCase(strPath, L".apk") ||
           BundleKindOf(strPath) != BUNDLE_NONE;
}

// A version as the window names it: its name, else its code. The TV's text
// is shown only as plain printable ASCII, and short.
std::string VersionShown(const std::string& strName, const std::string& strCode) {
    std::string strShown;
    for (char c : strName.empty() ? strCode : strName) {
        if (strShown.size() >= 32) break;
        strShown += c >= 0x20 && c < 0x7F ? c : '?';
    }
    return strShown.empty() ? std::string(VERSION_UNKNOWN) : strShown;
}
}  // namespace

void CDavrelDlg::OnConnectClicked() {
    // Disabled without adb.exe and while an order runs or waits (see UpdateConnectButton).
    if (!m_bAdbPresent || !m_queuedOrders.empty()) return;
    // The address reaches adb checked and as one argument, or not at all;
    // an empty box means the one device adb lists (a box on USB).
    std::string strTyped = AddressBoxText(), strAddress;
    if (!Trimmed(strTyped).empty() && !NormaliseTvAddress(strTyped, strAddress)) {
        SetStatus(ProblemText(CONTEXT_TV, Problem(PROBLEM_BAD_ADDRESS)).c_str());
        SendMessage(DM_SETDEFID, IDC_BTN_CONNECT);
        return;
    }
    SetStatus(STATUS_CONNECTING);
    m_nTask = TASK_CONNECT;
    TaskOrder order;
    order.nTask = TASK_CONNECT;
    order.strAddress = strAddress;
    m_strTvAddress = strAddress;
    if (!StartTask(order)) return;
    SaveTvAddress(m_editAddress.GetWindowText());
    SendMessage(DM_SETDEFID, IDC_BTN_INSTALL);
}

bool CDavrelDlg::CheckTvReady(int nDefaultWhenNot) {
    return AcceptTvCheck(m_pTool->CheckDevice(m_strTvAddress), nDefaultWhenNot);
}

bool CDavrelDlg::AcceptTvCheck(const DeviceCheck& check, int nDefaultWhenNot) {
    if (check.problem.IsNone()) {
        m_pTool->SetSerial(check.strSerial);
        return true;
    }
    SetStatus(ProblemText(CONTEXT_TV, check.problem).c_str());
    if (nDefaultWhenNot) SendMessage(DM_SETDEFID, nDefaultWhenNot);
    return false;
}

void CDavrelDlg::OnInstallClicked() {
    // A package already on its way adds nothing, and costs no checks: quick
    // clicks must neither queue it twice nor hold the window.
    if (!m_strApkFile.empty() && IsQueued(TASK_INSTALL, m_strApkFile)) {
        // The running install says so itself; a waiting one is told.
        const TaskOrder& running = m_queuedOrders.front();
        if (running.nTask != TASK_INSTALL || ::lstrcmpiA(running.strPackageFile.c_str(), m_strApkFile.c_str()) != 0)
            SetStatus(STATUS_ALREADY_QUEUED);
        return;
    }
    if (!CheckTvReady(IDC_BTN_CONNECT)) return;
    if (m_strApkFile.empty()) {
        SelectApkFile();
        if (m_strApkFile.empty() || IsQueued(TASK_INSTALL, m_strApkFile)) return;
    }
    // The location as it is now: index 0 is the SD card, anything else
    // (also no selection) the TV's own storage.
    const bool bInternal = m_comboLocation.GetCurSel() != 0;
    bool bDowngrade = false;
    if (!CheckPackageFits() || !ConfirmDowngrade(bDowngrade) || !ConfirmRoom(bInternal)) return;
    m_nTask = TASK_INSTALL;
    TaskOrder order;
    order.nTask = TASK_INSTALL;
    order.strPackageFile = m_strApkFile;
    order.bDowngrade = bDowngrade;
    order.strPackageName = m_pTool->LoadedPackageName();
    order.bInternal = bInternal;
    order.strSerial = m_pTool->Serial();
    if (!StartTask(order)) return;
    SendMessage(DM_SETDEFID, IDC_BTN_INSTALL);
}

bool CDavrelDlg::CheckPackageFits() {
    // A bundle chooses its parts by the TV itself, and says why none fit.
    if (m_strTvPropertiesSerial.empty() || m_strTvPropertiesSerial != m_pTool->Serial() ||
        BundleKindOf(m_strApkFile) != BUNDLE_NONE)
        return true;
    Problem problem;
    {
        CLockGuard lock(m_pTool->m_csFields);
        if (m_pTool->m_strLabel.empty()) return true;
        problem = CheckPackageFitsTv(m_pTool->m_nMinSdk, m_pTool->m_vecNativeCode, m_tvProperties);
    }
    if (problem.IsNone()) return true;
    SetStatus(ProblemText(CONTEXT_INSTALL, problem).c_str());
    return false;
}

bool CDavrelDlg::ConfirmDowngrade(bool& bDowngrade) {
    bDowngrade = false;
    std::string strName, strCode, strVersion;
    {
        CLockGuard lock(m_pTool->m_csFields);
        if (!m_pTool->m_strLabel.empty()) strName = m_pTool->m_strPackageName;
        strCode = m_pTool->m_strVersionCode;
        strVersion = m_pTool->m_strVersionName;
    }
    // Only what this TV said of this package counts.
    if (strName.empty() || strName != m_strTvVersionOf || m_pTool->Serial() != m_strTvVersionSerial ||
        !m_tvVersion.bInstalled || !IsOlderVersion(strCode, m_tvVersion.strCode))
        return true;
    std::string strText = FilledText(ASK_DOWNGRADE, VersionShown(m_tvVersion.strName, m_tvVersion.strCode),
                                 VersionShown(strVersion, strCode));
    if (MessageBox(strText.c_str(), ASK_TITLE, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES) {
        SetStatus(STATUS_INSTALL_CANCELLED);
        return false;
    }
    bDowngrade = true;
    return true;
}

bool CDavrelDlg::ConfirmRoom(bool bInternal) {
    // Only figures of this TV count: they are cleared when a reading fails.
    const std::string strFree = (bInternal ? m_pTool->m_strDataFree : m_pTool->m_strSdcardFree);
    const std::string strShown = strFree.substr(0, strFree.find_first_of("\r\n"));
    unsigned long long nFree = 0, nSize = 0;
    if (!ReadStorageBytes(strShown, nFree) || !PackageFileBytes(m_strApkFile, nSize) || nFree >= nSize) return true;
    std::string strText = FilledText(ASK_LOW_SPACE, strShown, FormatFileSize(nSize));
    if (MessageBox(strText.c_str(), ASK_TITLE, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES) return true;
    SetStatus(STATUS_INSTALL_CANCELLED);
    return false;
}

void CDavrelDlg::OfferRetry(const TaskReport& report) {
    const TaskOrder& done = report.order;
    if (done.nTask != TASK_INSTALL || done.strPackageName.empty()) return;
    TaskOrder retry = done;
    std::string strText;
    if (report.refusal == REFUSAL_DOWNGRADE && !done.bDowngrade) {
        // The TV's newer version was not known at the press: the question then.
        std::string strCode, strVersion;
        {
            CLockGuard lock(m_pTool->m_csFields);
            if (m_pTool->m_strPackageName == done.strPackageName) {
                strCode = m_pTool->m_strVersionCode;
                strVersion = m_pTool->m_strVersionName;
            }
        }
        bool bKnown = m_strTvVersionOf == done.strPackageName && m_tvVersion.bInstalled;
        strText = FilledText(ASK_DOWNGRADE, bKnown ? VersionShown(m_tvVersion.strName, m_tvVersion.strCode) : VERSION_UNKNOWN,
                         VersionShown(strVersion, strCode));
        retry.bDowngrade = true;
    } else {
        // -d refused too (Android 7 and later, an app not debuggable), or another key.
        strText = report.refusal == REFUSAL_DOWNGRADE ? ASK_UNINSTALL_FOR_DOWNGRADE : ASK_UNINSTALL_FOR_KEY;
        retry.bDowngrade = false;
        retry.bUninstallFirst = true;
    }
    // No: the failure and its reason stay on the status line.
    if (MessageBox(strText.c_str(), ASK_TITLE, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) != IDYES) return;
    if (IsQueued(TASK_INSTALL, retry.strPackageFile)) return;
    StartTask(retry);
}

void CDavrelDlg::QueryInstalledVersion() {
    std::string strName = m_pTool->LoadedPackageName();
    std::string strSerial = m_pTool->Serial();
    if (!m_bAdbPresent || strName.empty() || strSerial.empty() || IsQueued(TASK_QUERY_VERSION, strName)) return;
    TaskOrder order;
    order.nTask = TASK_QUERY_VERSION;
    order.strPackageName = strName;
    order.strSerial = strSerial;
    order.bReadTvProperties = m_strTvPropertiesSerial != strSerial;
    StartTask(order);
}

void CDavrelDlg::ShowInstalledVersion() {
    std::string strName = m_pTool->LoadedPackageName();
    bool bShown = !strName.empty() && strName == m_strTvVersionOf && m_tvVersion.bInstalled;
    m_staticInstalled.SetWindowText(
        bShown ? std::string(INSTALLED_ON_TV) + VersionShown(m_tvVersion.strName, m_tvVersion.strCode) : std::string());
}

std::string CDavrelDlg::PrepareInstallFile(const std::string& strPackage) {
    // The worker runs one order at a time: no other install reads a copy now.
    CLockGuard lock(m_csCopies);
    return ChooseInstallFile(strPackage, m_vecInstallCopies, m_hCancelEvent.Get());
}

void CDavrelDlg::OnUninstallClicked() {
    std::string strPackageName = m_pTool->LoadedPackageName();
    if (!strPackageName.empty() && IsQueued(TASK_UNINSTALL, strPackageName)) return;
    if (!CheckTvReady(0)) return;
    if (m_strApkFile.empty()) {
        SetStatus(STATUS_CHOOSE_TO_UNINSTALL);
        return;
    }
    m_nTask = TASK_UNINSTALL;
    TaskOrder order;
    order.nTask = TASK_UNINSTALL;
    order.strPackageName = strPackageName;
    order.strSerial = m_pTool->Serial();
    StartTask(order);
}

void CDavrelDlg::OnRefreshClicked() {
    ShowConnectionState();
}

void CDavrelDlg::ShowConnectionState() {
    // The storage listing of the TV known so far runs together with the
    // device check; it counts only when the check finds that same TV ready.
    ConnectedTv tv = m_pTool->ReadConnectedTv(m_strTvAddress, m_pTool->Serial(), false);
    if (!AcceptTvCheck(tv.check, IDC_BTN_CONNECT)) return;
    SetStatus(STATUS_CONNECTED);
    SendMessage(DM_SETDEFID, IDC_BTN_INSTALL);
    // A TV that went away during the queries, or that adb cannot reach any
    // more, is not "connected", and shows no figures.
    Problem problem = ShowStorageInfo(tv.storage);
    if (!problem.IsNone()) {
        SetStatus(ProblemText(CONTEXT_TV, problem).c_str());
        SendMessage(DM_SETDEFID, IDC_BTN_CONNECT);
    }
    // After the figures, so that its run does not hold them up.
    QueryInstalledVersion();
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

namespace {
// Starts aapt on a package as the user points at it in the list, or at the
// latest as they confirm it: by the time the dialog has closed (about 80 ms
// under Wine) the report is ready or on its way. One read at a time while
// they browse; the one confirmed is the one loaded.
class CPackageFileDialog : public CFileDialog {
public:
    CPackageFileDialog(CApkTool& tool, CBadgingAhead& ahead)
        : CFileDialog(TRUE, ".apk", NULL, OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FORCESHOWHIDDEN,
                      "Apk Files(*.apk;*.apks;*.xapk;*.apkm)|*.apk;*.apks;*.xapk;*.apkm|All Files(*.*)|*.*||", NULL, 0,
                      TRUE),
          m_tool(tool), m_ahead(ahead) {}
    void OnFileNameChange() override {
        const std::string strPath = GetSelectedPathName();
        if (!HasPackageExtension(AnsiToWide(strPath)) || m_ahead.IsOf(strPath) || m_ahead.Running()) return;
        m_ahead = m_tool.StartBadging(strPath);
        if (m_ahead.Running()) Trace("file pointed at", strPath);
    }
    BOOL OnFileNameOK() override {
        Trace("file confirmed");
        if (!m_ahead.IsOf(GetPathName())) m_ahead = m_tool.StartBadging(GetPathName());
        return FALSE;
    }

private:
    CApkTool& m_tool;
    CBadgingAhead& m_ahead;
};
}  // namespace

void CDavrelDlg::SelectApkFile() {
    CBadgingAhead ahead;  // ended, if unused, as it goes
    CPackageFileDialog dlgFile(*m_pTool, ahead);
    if (dlgFile.DoModal() != IDOK) return;
    Trace("file chosen");
    if (!AcceptPackagePath(dlgFile.GetPathNameW(), STATUS_UNREADABLE)) LoadApk(&ahead);
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

std::string CDavrelDlg::LoadApk(CBadgingAhead* pAhead) {
    if (m_strApkFile.empty() || m_strAaptExe.empty() || m_strAdbExe.empty()) return std::string();
    // aapt runs on this thread: say so before, so a slow read shows as work.
    SetStatus(STATUS_READING);
    m_linkStatus.UpdateWindow();
    Trace("load start", m_strApkFile);
    m_pTool->LoadPackageInfo(pAhead);
    Trace("details read");
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
    ShowInstalledVersion();

    // The temporary folder by its short form where its name (the user's)
    // is outside the code page: the ANSI form would name no folder at all.
    wchar_t szTemp[MAX_PATH + 1] = {0};
    DWORD nTemp = ::GetTempPathW(MAX_PATH + 1, szTemp);
    std::string strTemp = nTemp > 0 && nTemp <= MAX_PATH ? WidePathToAnsi(szTemp) : std::string();
    Trace("icon folder", strTemp);
    m_strIconFile = strTemp.empty() ? std::string() : MakeIconFilePath(strTemp, strPackage, strVersion);
    // An icon not taken out of this package is not shown: the file of that
    // name may be an earlier package's.
    m_strIconData.clear();
    if (m_strIconFile.empty() || !m_pTool->ExtractPackageIcon(m_strIconFile, &m_strIconData)) m_strIconFile.clear();
    Trace("icon written", m_strIconFile);
    DrawPackageIcon();
    Trace("icon painted", std::to_string(m_strIconData.size()) + " bytes");

    Problem problem;
    {
        CLockGuard lock(m_pTool->m_csFields);
        problem = m_pTool->m_loadProblem;
    }
    std::string strProblem = ProblemText(CONTEXT_PACKAGE, problem);
    SetStatus(strProblem.empty() ? STATUS_READY : strProblem.c_str());
    Trace("load shown");
    // Work already asked for goes on with the package it was given: the
    // status keeps saying so rather than that all is idle.
    // (A reading of the TV's version is not such work.)
    bool bWorkQueued = std::any_of(m_queuedOrders.begin(), m_queuedOrders.end(),
                                   [](const TaskOrder& order) { return order.nTask != TASK_QUERY_VERSION; });
    if (bWorkQueued) SetStatus(m_strTaskStatus.empty() ? STATUS_TASK_WAITING : m_strTaskStatus.c_str());
    // A TV already connected: which version it has of this package.
    QueryInstalledVersion();
    return strProblem;
}

Problem CDavrelDlg::ShowStorageInfo(const StorageReading& reading) {
    if (m_strAdbExe.empty()) return Problem(PROBLEM_ADB_NOT_STARTED);
    m_pTool->KeepStorage(reading);
    ShowStorageFigures();
    return reading.problem;
}

void CDavrelDlg::ShowStorageFigures() {
    m_staticSystemSize.SetWindowText(m_pTool->m_strSystemSize);
    m_staticSystemFree.SetWindowText(m_pTool->m_strSystemFree);
    m_staticDataSize.SetWindowText(m_pTool->m_strDataSize);
    m_staticDataFree.SetWindowText(m_pTool->m_strDataFree);
    m_staticSdcardSize.SetWindowText(m_pTool->m_strSdcardSize);
    m_staticSdcardFree.SetWindowText(m_pTool->m_strSdcardFree);
    m_staticSdext2Size.SetWindowText(m_pTool->m_strSdext2Size);
    m_staticSdext2Free.SetWindowText(m_pTool->m_strSdext2Free);
}
