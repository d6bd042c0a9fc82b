// The main window: package details, TV storage, the status line and the
// commands that connect, install and uninstall through the tool object.
#pragma once
#include <windows.h>
#include <gdiplus.h>
#include <deque>
#include <future>
#include <memory>
#include <string>
#include <vector>
#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "framework/LinkCtrl.h"
#include "framework/ScopedWin.h"
#include "app/InstallCopy.h"
#include "app/TaskQueue.h"
#include "resources/resource.h"
#include "shell/RegistryKey.h"
#include "shell/Settings.h"
#include "tools/ApkTool.h"
#include "tools/DeviceReport.h"

// The operation of a background task.
enum TaskCode {
    TASK_CONNECT = 1,
    TASK_INSTALL = 2,
    TASK_UNINSTALL = 3,
    TASK_QUERY_VERSION = 4,  // which version of the package the TV has
};

// What an order works on, read on the window's thread when its button was
// pressed.
// A file a broken transfer left on a TV (in /data/local/tmp, where adb, and
// Davrel for a large package, put a package before installing it).
struct TvLeftover {
    std::string strSerial;
    std::string strPath;
};

struct TaskOrder {
    int nTask = 0;
    std::string strPackageFile;   // TASK_INSTALL: the package chosen
    bool bInternal = false;       // TASK_INSTALL: to the TV's own storage, not the SD card
    bool bDowngrade = false;      // TASK_INSTALL: an older version over the TV's newer one (-d)
    bool bUninstallFirst = false; // TASK_INSTALL: remove the TV's copy first (its data goes with it)
    std::string strPackageName;   // TASK_UNINSTALL: the package to remove; the package whose version is read
    std::string strAddress;       // TASK_CONNECT: the TV the user asked for
    std::string strSerial;        // the device the order talks to
    bool bReadTvProperties = false;  // TASK_QUERY_VERSION: read the TV's properties too
    // Files a broken transfer left on a TV, removed before the order's own
    // work once that TV answers again.
    std::vector<TvLeftover> vecLeftovers;
};

// The worker never touches a control: it posts WM_APP_TASK_REPORT with an
// owned TaskReport (lParam, from new), which the window applies on its own
// thread and deletes. A status change and the button change that goes with
// it travel together, so they show together.
const UINT WM_APP_TASK_REPORT = WM_APP + 1;

struct TaskReport {
    bool bHasStatus = false;
    std::string strStatus;
    int nControlId = 0;     // Install or Uninstall to enable or disable; 0 none
    BOOL bEnable = TRUE;
    bool bFinished = false; // the order's last report: it is done
    bool bHasStorage = false;
    StorageReading storage; // read after the order's work, for the figures
    bool bHasSerial = false;
    std::string strSerial;  // Connect: the device adb now lists for the address
    std::string strModel;   // Connect: its model, as adb names it
    bool bHasTvProperties = false;
    TvProperties tvProperties;  // Connect, or a version reading that asked: of the order's TV
    bool bHasVersion = false;
    InstalledVersion version;  // of the order's package (strPackageName) on its TV
    // An install the TV refused in a way the user may overrule: the window
    // asks, and on Yes gives the order again (bDowngrade or bUninstallFirst set).
    RefusalKind refusal = REFUSAL_OTHER;
    std::vector<TvLeftover> vecLeftovers;  // still on a TV: to remove at the next chance
    TaskOrder order;           // the finished order, as given
};

// The search for TVs (DavrelDlgSearch.cpp) posts its result: lParam, an
// object the window takes over. The next, posted to the window itself: the
// address box's list was picked from (wParam, the item), put only its address there.
const UINT WM_APP_SEARCH_DONE = WM_APP + 20;
const UINT WM_APP_ADDRESS_PICKED = WM_APP + 21;

// A TV the last search found, as the address box lists it.
struct FoundTvItem {
    std::string strAddress;  // what goes into the box and to adb
    std::string strText;     // "address  model" or "address  需要授权"
};


class CDavrelDlg : public CDialog {
public:
    explicit CDavrelDlg(CWnd* pParent = NULL);
    ~CDavrelDlg() override;

    enum { IDD = IDD_DAVREL_DIALOG };

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    // Window
    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnDestroy();
    void OnDropFiles(HDROP hDrop);
    LRESULT OnTaskReport(WPARAM wParam, LPARAM lParam);

    // Links, buttons, address box
    void OnLinkClicked(NMHDR* pNMHDR, LRESULT* pResult);
    void OnPermissionsClicked(NMHDR* pNMHDR, LRESULT* pResult);
    void OnConnectClicked();
    void OnInstallClicked();
    void OnUninstallClicked();
    void OnAboutButton();
    void OnAssociateClicked();
    void OnCancelClicked();
    void OnSelectApkClicked();
    void OnAddressUpdate();
    void OnAddressSetFocus();
    void OnRefreshClicked();

    // 搜索电视 and the address box's list (DavrelDlgSearch.cpp)
    void OnSearchClicked();
    LRESULT OnSearchDone(WPARAM wParam, LPARAM lParam);
    void OnAddressPicked();
    LRESULT OnAddressPickedLater(WPARAM wParam, LPARAM lParam);
    // The address the box names: a listed TV's address when its item is
    // picked (not the item's whole text), else the text as typed.
    std::string AddressBoxText() const;
    // The address box's list: TVs found, or those that connected last.
    void ShowTvItems(const std::vector<FoundTvItem>& vecItems);
    void ShowRecentTvs();
    // A TV that connected goes first in the recent list (and the registry).
    void RememberTv(const std::string& strSerial, const std::string& strModel);
    // Stops a running search and waits for it (the window is closing).
    void StopSearch();

    // Start-up steps
    void ResetTexts();
    void ReadCommandLine();
    // Takes a package path as the system names it (command line, dialog,
    // drop) as the current package. Returns NULL, or the text the status
    // line now shows of why it could not.
    const char* AcceptPackagePath(const std::wstring& strPath, const char* pszMissingText);
    void LocateTools();
    void AddAboutMenuItem();
    void AllowDropsFromShell();

    // Settings and the .apk association (DavrelDlgSettings.cpp)
    void LoadSettings();
    void SaveTvAddress(const std::string& strText);
    void SetApkAssociation(int nFlag);

    // Package and storage
    // Reads and shows the current package; returns why it could not, as the
    // status line now says it, or empty.
    std::string LoadApk(CBadgingAhead* pAhead = nullptr);
    // Shows the storage figures read with the device check; their problem, if any.
    Problem ShowStorageInfo(const StorageReading& reading);
    void ShowStorageFigures();
    // Says whether a TV is connected, makes Install or Connect the default
    // button accordingly and, when connected, shows the storage figures.
    void ShowConnectionState();
    void SelectApkFile();
    void DrawPackageIcon();
    void ShowAboutBox();
    void SetStatus(const char* pszText);
    // The file an install of strPackage reads: a copy "install.apk" beside
    // it when Davrel may make or refresh one, else the package itself. Made
    // on the task worker: a large package's copy never holds the window.
    std::string PrepareInstallFile(const std::string& strPackage);
    // The device check before a command; false (status set) when no TV is
    // ready. The device found is the one later orders name.
    bool CheckTvReady(int nDefaultWhenNot);
    bool AcceptTvCheck(const DeviceCheck& check, int nDefaultWhenNot);
    // An order of this kind for this package (file or name) waits or runs.
    bool IsQueued(int nTask, const std::string& strWhat) const;
    // Asks the connected TV, in the background, which version of the loaded
    // package it has; shows it (or nothing) as the answer comes.
    void QueryInstalledVersion();
    void ShowInstalledVersion();
    // At the press of Install: false when the user declined an older
    // version over the TV's newer one; bDowngrade says whether -d goes.
    bool ConfirmDowngrade(bool& bDowngrade);
    // At the press of Install: false (status set) when the TV, as it
    // described itself, cannot take the package; nothing is sent then.
    bool CheckPackageFits();
    // At the press of Install: false when the TV's free space at the chosen
    // location, as last read, is below the package's size and the user
    // declined to try anyway.
    bool ConfirmRoom(bool bInternal);
    // A refusal the user may overrule (TaskReport::refusal): asks, and on
    // Yes gives the install again.
    void OfferRetry(const TaskReport& report);
    void ShowPermissions();

    // Tasks (DavrelDlgTasks.cpp)
    // Queues the order; false (status set) when no worker could be started.
    bool StartTask(const TaskOrder& order);
    void RunTask(const TaskOrder& order);  // on the worker
    void Report(const char* pszStatus, int nControlId = 0, BOOL bEnable = TRUE);
    void Post(TaskReport* pReport);  // on the worker; takes the report
    // Connect is pressable only with both tools and while no task runs or waits.
    void UpdateConnectButton();
    // Signals the tools to stop and waits for the running order to end;
    // false when it did not end in time.
    bool FinishTasks();

    HICON m_hIcon;
    CRegistryKey m_regKey;
    std::unique_ptr<CApkTool> m_pTool;
    std::string m_strApkFile;
    std::string m_strAaptExe;
    std::string m_strAdbExe;
    std::string m_strIconFile;
    std::string m_strIconData;  // the icon file's bytes, painted without reading the file back
    int m_nTask;
    std::string m_strTvAddress;  // the address of the last Connect, or the saved one
    CButton m_chkAssociate;
    CComboBox m_editAddress;  // the address box: typed, or picked from the TVs found
    CStatic m_staticName;
    CStatic m_staticPackage;
    CStatic m_staticVersion;
    CStatic m_staticSdk;
    CStatic m_staticSize;
    CStatic m_staticInstalled;  // the version the TV has of the package
    CComboBox m_comboLocation;
    CButton m_btnInstall;
    CButton m_btnUninstall;
    CButton m_btnCancel;
    CButton m_btnConnect;
    CStatic m_staticIcon;
    std::unique_ptr<CScopedGetDC> m_pIconDC;
    std::unique_ptr<Gdiplus::Graphics> m_pGraphics;
    CButton m_btnSelect;
    CLinkCtrl m_linkStatus;
    CStatic m_staticSystemSize;
    CStatic m_staticSystemFree;
    CStatic m_staticDataSize;
    CStatic m_staticDataFree;
    CStatic m_staticSdcardSize;
    CStatic m_staticSdcardFree;
    CStatic m_staticSdext2Size;
    CStatic m_staticSdext2Free;

    // Our own: a safe close, the install copies, the start-up message.
    CScopedHandle m_hCancelEvent;           // manual-reset; set when the window closes
    CTaskQueue m_tasks;
    std::vector<TvLeftover> m_vecLeftovers;  // half-sent files on TVs, not yet removed (window thread)
    std::deque<TaskOrder> m_queuedOrders;   // given to m_tasks and not finished, oldest first (window thread)
    CCriticalSection m_csCopies;
    std::vector<InstallCopy> m_vecInstallCopies;  // every "install.apk" this run made, under m_csCopies
    std::string m_strTaskStatus;            // the last status a task reported
    std::string m_strStartupMessage;        // kept on the status line after start-up
    InstalledVersion m_tvVersion;           // the last answer: of m_strTvVersionOf on m_strTvVersionSerial
    std::string m_strTvVersionOf;
    std::string m_strTvVersionSerial;
    TvProperties m_tvProperties;            // read once per connection, of m_strTvPropertiesSerial
    std::string m_strTvPropertiesSerial;
    bool m_bAdbPresent;
    bool m_bAaptPresent;

    CButton m_btnSearch;
    std::vector<CScopedHandle> m_vecSearchThreads;  // started searches, ended or not
    std::vector<RecentTv> m_vecRecentTvs;          // newest first, as stored
    bool m_bSearchListShown = false;               // the list holds a search's TVs, not the recent ones
    std::vector<FoundTvItem> m_vecFoundTvs;         // the address box's items, in order
    bool m_bSearching = false;                      // a search runs (window thread only)

    DECLARE_MESSAGE_MAP()
};
