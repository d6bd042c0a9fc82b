// The main window: start-up, painting, close, and the status texts.
// Commands and tasks are in DavrelDlgCommands.cpp and DavrelDlgTasks.cpp.
#include "app/DavrelDlg.h"

#include <shellapi.h>
#include <stdlib.h>
#include "app/AboutDlg.h"
#include "app/DavrelDlgTexts.h"
#include "app/OpenLink.h"
#include "framework/PaintDC.h"
#include "framework/TextConvert.h"
#include "framework/Trace.h"
#include "framework/WinApp.h"
#include "package/IconPainter.h"
#include "shell/ApkAssociation.h"
#include "tools/TvAddress.h"

ULONG_PTR g_gdiplusToken = 0;
// GDI+ version 1, no debug callback, background thread and external codecs on.
Gdiplus::GdiplusStartupInput g_gdiplusInput;

namespace {
bool FileExists(const std::string& strPath) {
    CScopedFile file(::CreateFileA(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, NULL));
    return file.IsValid();
}

// The folder of Davrel.exe, without a trailing backslash; empty when unknown.
std::string GetProgramFolder() {
    std::string strPath = GetOwnExePath();
    size_t nSlash = strPath.rfind('\\');
    return nSlash == std::string::npos ? std::string() : strPath.substr(0, nSlash);
}
}  // namespace

BEGIN_MESSAGE_MAP(CDavrelDlg, CDialog)
    ON_WM_SYSCOMMAND()
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_WM_DESTROY()
    ON_NOTIFY(NM_CLICK, IDC_LINK_CREDIT, OnLinkClicked)
    ON_NOTIFY(NM_CLICK, IDC_LINK_STATUS, OnLinkClicked)
    ON_NOTIFY(NM_CLICK, IDC_LINK_PERMISSIONS, OnPermissionsClicked)
    ON_BN_CLICKED(IDC_BTN_CONNECT, OnConnectClicked)
    ON_BN_CLICKED(IDC_BTN_INSTALL, OnInstallClicked)
    ON_BN_CLICKED(IDC_BTN_UNINSTALL, OnUninstallClicked)
    ON_BN_CLICKED(IDC_BTN_ABOUT, OnAboutButton)
    ON_BN_CLICKED(IDC_CHK_ASSOCIATE, OnAssociateClicked)
    ON_BN_CLICKED(IDCANCEL, OnCancelClicked)
    ON_BN_CLICKED(IDC_BTN_SELECT, OnSelectApkClicked)
    ON_CONTROL(CBN_EDITUPDATE, IDC_EDIT_ADDRESS, OnAddressUpdate)
    ON_CONTROL(CBN_SETFOCUS, IDC_EDIT_ADDRESS, OnAddressSetFocus)
    ON_CONTROL(CBN_SELCHANGE, IDC_EDIT_ADDRESS, OnAddressPicked)
    ON_BN_CLICKED(IDC_BTN_SEARCH, OnSearchClicked)
    ON_MESSAGE(WM_APP_SEARCH_DONE, OnSearchDone)
    ON_MESSAGE(WM_APP_ADDRESS_PICKED, OnAddressPickedLater)
    ON_BN_CLICKED(IDC_BTN_REFRESH, OnRefreshClicked)
    ON_WM_DROPFILES()
    ON_MESSAGE(WM_APP_TASK_REPORT, OnTaskReport)
END_MESSAGE_MAP()

CDavrelDlg::CDavrelDlg(CWnd* pParent)
    : CDialog(IDD, pParent),
      m_hIcon(::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME))),
      m_pTool(new CApkTool),
      m_nTask(0),
      m_bAdbPresent(false),
      m_bAaptPresent(false) {
    // Set when the window closes, so running tools end at once.
    m_hCancelEvent.Reset(::CreateEventA(NULL, TRUE, FALSE, NULL));
    m_pTool->m_hCancel = m_hCancelEvent.Get();
}

CDavrelDlg::~CDavrelDlg() {}

void CDavrelDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_EDIT_ADDRESS, m_editAddress);
    DDX_Control(pDX, IDC_CHK_ASSOCIATE, m_chkAssociate);
    DDX_Control(pDX, IDC_STATIC_NAME, m_staticName);
    DDX_Control(pDX, IDC_STATIC_PACKAGE, m_staticPackage);
    DDX_Control(pDX, IDC_STATIC_VERSION, m_staticVersion);
    DDX_Control(pDX, IDC_STATIC_SDK, m_staticSdk);
    DDX_Control(pDX, IDC_STATIC_SIZE, m_staticSize);
    DDX_Control(pDX, IDC_STATIC_INSTALLED, m_staticInstalled);
    DDX_Control(pDX, IDC_COMBO_LOCATION, m_comboLocation);
    DDX_Control(pDX, IDC_BTN_INSTALL, m_btnInstall);
    DDX_Control(pDX, IDC_BTN_UNINSTALL, m_btnUninstall);
    DDX_Control(pDX, IDCANCEL, m_btnCancel);
    DDX_Control(pDX, IDC_BTN_CONNECT, m_btnConnect);
    DDX_Control(pDX, IDC_STATIC_ICON, m_staticIcon);
    DDX_Control(pDX, IDC_BTN_SELECT, m_btnSelect);
    DDX_Control(pDX, IDC_LINK_STATUS, m_linkStatus);
    DDX_Control(pDX, IDC_STATIC_SYSTEM_SIZE, m_staticSystemSize);
    DDX_Control(pDX, IDC_STATIC_SYSTEM_FREE, m_staticSystemFree);
    DDX_Control(pDX, IDC_STATIC_DATA_SIZE, m_staticDataSize);
    DDX_Control(pDX, IDC_STATIC_DATA_FREE, m_staticDataFree);
    DDX_Control(pDX, IDC_STATIC_SDCARD_SIZE, m_staticSdcardSize);
    DDX_Control(pDX, IDC_STATIC_SDCARD_FREE, m_staticSdcardFree);
    DDX_Control(pDX, IDC_STATIC_SDEXT2_SIZE, m_staticSdext2Size);
    DDX_Control(pDX, IDC_STATIC_SDEXT2_FREE, m_staticSdext2Free);
    DDX_Control(pDX, IDC_BTN_SEARCH, m_btnSearch);
}

BOOL CDavrelDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    if (Gdiplus::GdiplusStartup(&g_gdiplusToken, &g_gdiplusInput, NULL) != Gdiplus::Ok) g_gdiplusToken = 0;
    m_pIconDC.reset(new CScopedGetDC(m_staticIcon.GetSafeHwnd()));
    if (g_gdiplusToken && m_pIconDC->Get()) m_pGraphics.reset(new Gdiplus::Graphics(m_pIconDC->Get()));

    ResetTexts();
    ReadCommandLine();
    LocateTools();
    LoadSettings();
    // The saved address is the TV meant until the next Connect.
    NormaliseTvAddress(m_editAddress.GetWindowText(), m_strTvAddress);
    // A package the user opened that could not be read: say so, rather
    // than let the connection state cover it.
    std::string strProblem = LoadApk();
    if (m_strStartupMessage.empty()) m_strStartupMessage = strProblem;
    AddAboutMenuItem();
    SendMessage(WM_SETICON, ICON_BIG, (LPARAM)m_hIcon);
    SendMessage(WM_SETICON, ICON_SMALL, (LPARAM)m_hIcon);
    AllowDropsFromShell();

    ShowConnectionState();
    // A missing tool or an unreadable argument is the one thing the user must
    // see; the connection state must not cover it.
    if (!m_strStartupMessage.empty()) SetStatus(m_strStartupMessage.c_str());
    return FALSE;
}

void CDavrelDlg::ResetTexts() {
    m_staticName.SetWindowText("");
    m_staticPackage.SetWindowText("");
    m_staticVersion.SetWindowText("");
    m_staticSdk.SetWindowText("");
    m_staticSize.SetWindowText("");
    m_staticInstalled.SetWindowText("");
    m_comboLocation.SetCurSel(0);
    m_linkStatus.SetWindowText("");
    m_staticSystemSize.SetWindowText("");
    m_staticSystemFree.SetWindowText("");
    m_staticDataSize.SetWindowText("");
    m_staticDataFree.SetWindowText("");
    m_staticSdcardSize.SetWindowText("");
    m_staticSdcardFree.SetWindowText("");
    m_staticSdext2Size.SetWindowText("");
    m_staticSdext2Free.SetWindowText("");
}

void CDavrelDlg::ReadCommandLine() {
    // Only the first argument counts; the system's split keeps a quoted path
    // whole. Read as UTF-16: the ANSI arguments lose names outside the code page.
    int nArgs = 0;
    LPWSTR* ppArgs = ::CommandLineToArgvW(::GetCommandLineW(), &nArgs);
    if (!ppArgs) return;
    std::wstring strArgument = nArgs > 1 && ppArgs[1] ? ppArgs[1] : L"";
    ::LocalFree(ppArgs);
    if (strArgument.empty()) return;
    if (const char* pszProblem = AcceptPackagePath(strArgument, STATUS_BAD_ARGUMENT)) {
        m_strApkFile.clear();
        m_strStartupMessage = pszProblem;
    }
}

const char* CDavrelDlg::AcceptPackagePath(const std::wstring& strPath, const char* pszMissingText) {
    const char* pszProblem = NULL;
    std::string strAnsi;
    // A path of MAX_PATH or more is probed in its "\\?\\" form, which has no such limit.
    bool bLong = strPath.size() >= MAX_PATH && strPath.size() > 2 && strPath[1] == L':';
    DWORD dwAttributes = ::GetFileAttributesW((bLong ? L"\\\\?\\" + strPath : strPath).c_str());
    if (dwAttributes == INVALID_FILE_ATTRIBUTES) {
        pszProblem = pszMissingText;
    } else if (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        pszProblem = STATUS_NOT_A_FILE;
    } else if ((strAnsi = WidePathToAnsi(strPath)).empty()) {
        pszProblem = STATUS_NAME_UNUSABLE;
    } else if (!FileExists(strAnsi)) {
        pszProblem = STATUS_UNREADABLE;
    }
    if (pszProblem) {
        SetStatus(pszProblem);
        return pszProblem;
    }
    m_strApkFile = strAnsi;
    m_pTool->SetApkPath(strAnsi);
    return NULL;
}

void CDavrelDlg::LocateTools() {
    // An unknown program folder (its path too long) means no tools: never
    // "\data\..." at the root of the current drive.
    std::string strFolder = GetProgramFolder();

    m_strAaptExe = strFolder.empty() ? std::string() : strFolder + "\\data\\aapt.exe";
    m_bAaptPresent = !m_strAaptExe.empty() && FileExists(m_strAaptExe);
    if (m_bAaptPresent) {
        CLockGuard lock(m_pTool->m_csFields);
        m_pTool->m_strAaptPath = m_strAaptExe;
    } else {
        m_btnSelect.EnableWindow(FALSE);
        m_btnConnect.EnableWindow(FALSE);
        m_btnInstall.EnableWindow(FALSE);
        m_btnUninstall.EnableWindow(FALSE);
        m_strStartupMessage = STATUS_DATA_INCOMPLETE;
        SetStatus(STATUS_DATA_INCOMPLETE);
    }

    m_strAdbExe = strFolder.empty() ? std::string() : strFolder + "\\data\\adb.exe";
    m_bAdbPresent = !m_strAdbExe.empty() && FileExists(m_strAdbExe);
    if (m_bAdbPresent) {
        CLockGuard lock(m_pTool->m_csFields);
        m_pTool->m_strAdbPath = m_strAdbExe;
    } else {
        m_btnConnect.EnableWindow(FALSE);
        m_btnInstall.EnableWindow(FALSE);
        m_btnUninstall.EnableWindow(FALSE);
        m_strStartupMessage = STATUS_DATA_INCOMPLETE;
        SetStatus(STATUS_DATA_INCOMPLETE);
    }
}

void CDavrelDlg::AddAboutMenuItem() {
    HMENU hMenu = ::GetSystemMenu(m_hWnd, FALSE);
    if (!hMenu) return;
    char szText[256] = {0};
    ::LoadStringA(AfxGetResourceHandle(), IDS_ABOUTBOX, szText, sizeof(szText));
    if (!szText[0]) return;
    ::AppendMenuA(hMenu, MF_SEPARATOR, 0, NULL);
    ::AppendMenuA(hMenu, MF_STRING, IDM_ABOUTBOX, szText);
}

void CDavrelDlg::AllowDropsFromShell() {
    ::DragAcceptFiles(m_hWnd, TRUE);
    // Davrel runs elevated; the file manager does not. Without these filters
    // the system drops its drag-and-drop messages on the way. Looked up by
    // name: the function is missing on older systems.
    typedef BOOL(WINAPI * PFN_CHANGE_FILTER)(HWND, UINT, DWORD, void*);
    HMODULE hUser = ::GetModuleHandleA("user32.dll");
    FARPROC pProc = hUser ? ::GetProcAddress(hUser, "ChangeWindowMessageFilterEx") : NULL;
    if (!pProc) return;
    PFN_CHANGE_FILTER pfnChangeFilter = reinterpret_cast<PFN_CHANGE_FILTER>(reinterpret_cast<void*>(pProc));
    const UINT WM_COPYGLOBALDATA = 0x0049;
    const DWORD MSGFLT_ALLOW_ = 1;
    pfnChangeFilter(m_hWnd, WM_DROPFILES, MSGFLT_ALLOW_, NULL);
    pfnChangeFilter(m_hWnd, WM_COPYDATA, MSGFLT_ALLOW_, NULL);
    pfnChangeFilter(m_hWnd, WM_COPYGLOBALDATA, MSGFLT_ALLOW_, NULL);
}

void CDavrelDlg::SetStatus(const char* pszText) {
    m_linkStatus.SetWindowText(pszText);
}

void CDavrelDlg::OnSysCommand(UINT nID, LPARAM lParam) {
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        ShowAboutBox();
        return;
    }
    Default();
}

void CDavrelDlg::OnAboutButton() {
    ShowAboutBox();
}

void CDavrelDlg::ShowAboutBox() {
    CAboutDlg dlgAbout;
    dlgAbout.DoModal();
}

void CDavrelDlg::OnLinkClicked(NMHDR* pNMHDR, LRESULT* pResult) {
    *pResult = 0;
    // The data-incomplete message's link: show where adb.exe and aapt.exe belong.
    if (pNMHDR->idFrom == IDC_LINK_STATUS && GetClickedLinkTarget(pNMHDR) == "#") {
        std::string strFolder = GetProgramFolder();
        if (strFolder.empty()) return;
        std::string strData = strFolder + "\\data";
        ::CreateDirectoryA(strData.c_str(), NULL);
        ::ShellExecuteA(m_hWnd, "open", strData.c_str(), NULL, NULL, SW_SHOWNORMAL);
        return;
    }
    OpenClickedLink(m_hWnd, pNMHDR);
}

void CDavrelDlg::OnPaint() {
    if (IsIconic()) {
        CPaintDC dc(m_hWnd);
        SendMessage(WM_ICONERASEBKGND, (WPARAM)dc.GetSafeHdc(), 0);
        int cxIcon = ::GetSystemMetrics(SM_CXICON);
        int cyIcon = ::GetSystemMetrics(SM_CYICON);
        RECT rect;
        ::GetClientRect(m_hWnd, &rect);
        int x = (rect.right - rect.left - cxIcon + 1) / 2;
        int y = (rect.bottom - rect.top - cyIcon + 1) / 2;
        ::DrawIcon(dc.GetSafeHdc(), x, y, m_hIcon);
        return;
    }
    Trace("paint");
    CDialog::OnPaint();
    UpdateWindow();
    DrawPackageIcon();
    Trace("painted");
}

HCURSOR CDavrelDlg::OnQueryDragIcon() {
    return static_cast<HCURSOR>(m_hIcon);
}

void CDavrelDlg::DrawPackageIcon() {
    if (!m_pGraphics) return;
    PaintPackageIcon(m_pGraphics.get(), m_staticIcon.GetSafeHwnd(), m_strIconData);
}

void CDavrelDlg::OnDestroy() {
    CDialog::OnDestroy();
    // Tasks may still run or wait: stop their tools and let them finish
    // before the lock, the tool object and the controls go away.
    bool bTasksEnded = FinishTasks();
    StopSearch();

    m_pGraphics.reset();  // before its device context and GDI+ go
    m_pIconDC.reset();
    if (g_gdiplusToken) Gdiplus::GdiplusShutdown(g_gdiplusToken);
    g_gdiplusToken = 0;

    // Only the copies this run made, and only while they are still as made:
    // a user's own "install.apk", also one put there since, is never touched.
    {
        CLockGuard lock(m_csCopies);  // a worker that did not end may still hold them
        for (const InstallCopy& copy : m_vecInstallCopies)
            if (IsStillOurCopy(copy)) ::DeleteFileA(copy.strPath.c_str());
        m_vecInstallCopies.clear();
    }

    // A task that did not end even with its tool stopped would outlive the
    // window it writes to; end the process here rather than let it.
    if (!bTasksEnded) ::ExitProcess(0);
}
