// The one tool object: where adb.exe and aapt.exe are, the current package,
// what its badging report said, the TV's storage figures and the permission
// descriptions. Every tool run goes BuildCommand -> RunTool -> a reader.
#pragma once
#include <windows.h>
#include <functional>
#include <future>
#include <map>
#include <string>
#include "framework/ScopedWin.h"
#include "tools/BadgingAhead.h"
#include "tools/BundleParts.h"
#include "tools/CommandLine.h"
#include "package/BundleArchive.h"
#include "tools/Problem.h"
#include "tools/ToolRunner.h"

struct BadgingDetails;

enum ToolCommand {
    CMD_BADGING = 0,
    CMD_DEVICES = 1,
    CMD_INSTALL = 2,
    CMD_INSTALL_SDCARD = 3,
    CMD_UNINSTALL = 4,
    CMD_SYSTEM_SIZE = 5,
    CMD_SYSTEM_FREE = 6,
    CMD_DATA_SIZE = 7,
    CMD_DATA_FREE = 8,
    CMD_SDCARD_SIZE = 9,
    CMD_SDCARD_FREE = 10,
    CMD_SDEXT2_SIZE = 11,
    CMD_SDEXT2_FREE = 12,
};

// Outcome of an install or an uninstall: success, or why not (adb's own
// words, a bundle the TV cannot take). A success may still carry
// PROBLEM_OBB_NOT_COPIED: the package is on the TV, its expansion file not.
struct InstallResult {
    bool bSuccess = false;
    Problem problem;
    // A file the transfer left on the TV (a half-sent package): removed at
    // the next chance; empty when nothing was left or it could not be named.
    std::string strLeftover;
};

// Plain packages larger than this are sent as their own step, so that the
// share sent can be shown while they travel.
const unsigned long long PROGRESS_MIN_BYTES = 5ull << 20;
// The share sent is read once per this time, start to start (each reading
// is one adb run, which costs the install a little): the line still changes
// at least once a second.
const DWORD PROGRESS_POLL_MS = 900;
// onProgress hears the share sent (0 to 99), and PROGRESS_TV_INSTALLING once
// the whole package is on the TV and its package manager installs it.
const int PROGRESS_TV_INSTALLING = 100;

// Where adb itself puts a package before installing it (/data/local/tmp and
// the file's name), and where Davrel pushes one; empty when the name cannot
// go to the TV's shell as a plain word.
std::string TvTransferPath(const std::string& strInstallFile);
// aapt's badging report of one file.
std::string BadgingCommand(const std::string& strAapt, const std::string& strFile);
// The TV's shell line that installs a pushed package and removes it.
std::string PushedInstallScript(bool bInternal, bool bDowngrade, const std::string& strTarget);

// The device check: nothing, or why the device is not ready; and the serial
// adb lists it by, which later commands name.
struct DeviceCheck {
    Problem problem;
    std::string strSerial;
    std::string strModel;  // "model:" of "adb devices -l", where adb names one
};

// How far a bundle's install is, for the status line.
enum BundleStage { STAGE_UNPACKING, STAGE_INSTALLING, STAGE_PUSHING_OBB };

// The eight storage figures, in the window's order (system, data, SD card,
// its EXT partition; size, then free), each as the TV printed it. When the
// listing did not come (no answer, adb could not reach the TV), problem says
// why and no figure is kept.
const int STORAGE_FIGURES = 8;
struct StorageReading {
    Problem problem;
    std::string strFigures[STORAGE_FIGURES];
};

// What Davrel reads of a TV once it has connected: the device check, and
// when the TV is ready its storage figures and, when those came, its
// properties (bProperties false: not read, or the TV did not say).
struct ConnectedTv {
    DeviceCheck check;
    StorageReading storage;
    bool bProperties = false;
    TvProperties properties;
};

// Which version of a package a TV has: none (bInstalled false), or its
// version code (digits) and name as "dumpsys package" prints them. problem:
// why the TV could not be asked.
struct InstalledVersion {
    Problem problem;
    bool bInstalled = false;
    std::string strCode;
    std::string strName;
};

// What Davrel reads of a TV after a task, each part only when asked for.
struct TvAfterTask {
    bool bVersion = false;     // asked: the package's name was given
    InstalledVersion version;
    bool bProperties = false;  // asked; properties empty when the TV did not say
    TvProperties properties;
    bool bStorage = false;     // asked
    StorageReading storage;
};

// What the TV's shell runs for the storage listing, the properties, and
// (followed by the package's name) the version of a package.
extern const char STORAGE_SCRIPT[];
extern const char PROPERTIES_SCRIPT[];
extern const char VERSION_SCRIPT[];

// The single query of figure nIndex (0 to 7) of that device.
std::string StorageCommand(const std::string& strAdbPath, const std::string& strSerial, int nIndex);
// The eight figures out of one "busybox df -h" listing, each as that query
// would print it: its mount point's column, with the listing's line end.
void ReadStorageListing(const std::string& strListing, std::string (&strFigures)[STORAGE_FIGURES]);
// The bytes one such figure stands for ("69.8M", "2.6G", "512K", "0"):
// false when it is none (empty, "-", words, an unknown unit).
bool ReadStorageBytes(const std::string& strFigure, unsigned long long& nBytes);

class CApkTool {
public:
    CApkTool();

    std::map<std::string, std::string> m_mapPermissions;
    std::string m_strAdbPath;
    std::string m_strAaptPath;
    std::string m_strApkPath;
    std::string m_strLabel;
    std::string m_strPackageName;
    std::string m_strVersionName;
    std::string m_strVersionCode;
    int m_nMinSdk = 0;
    std::vector<std::string> m_vecNativeCode;
    std::string m_strSdkVersion;
    std::string m_strFileSize;
    std::string m_strPermissions;
    std::string m_strIconEntry;
    // Why the loaded file could not be read (aapt, or the bundle), and for a
    // bundle its icon's bytes (taken from its parts while they were unpacked).
    bool m_bBundle = false;
    Problem m_loadProblem;
    std::string m_strBundleIcon;
    std::string m_strSystemSize;
    std::string m_strSystemFree;
    std::string m_strDataSize;
    std::string m_strDataFree;
    std::string m_strSdcardSize;
    std::string m_strSdcardFree;
    std::string m_strSdext2Size;
    std::string m_strSdext2Free;

    // The device adb talks to (empty: adb's choice); the window sets it, tasks
    // are handed their own copy.
    std::string m_strSerial;

    // The window thread and the task thread share this object. The tool
    // paths, the serial, the package path, the package details and the bundle
    // fields are written and read only under m_csFields; tasks work on copies
    // taken under it. The storage figures and the permission table belong to
    // the window thread alone.
    mutable CCriticalSection m_csFields;
    // Signalled when the window closes: running tools are ended at once.
    HANDLE m_hCancel = NULL;

    std::string BuildCommand(unsigned int code) const;
    // adb with the current serial, for the window's own queries.
    CCommandLine Adb() const;
    // The install and uninstall command lines for a given file or package
    // name and device, so that a task acts on what it was given.
    std::string BuildInstallCommand(bool bInternal, const std::string& strApkPath,
                                    const std::string& strSerial) const;
    std::string BuildUninstallCommand(const std::string& strPackageName, const std::string& strSerial) const;
    // bDowngrade adds -d: an older version over a newer one.
    std::string BuildInstallCommand(bool bInternal, bool bDowngrade, const std::string& strApkPath,
                                    const std::string& strSerial) const;

    // A plain package's badging report begun before it is loaded (none for
    // a bundle); LoadPackageInfo takes it when it is of the package it loads.
    CBadgingAhead StartBadging(const std::string& strApkPath) const;
    void LoadPackageInfo(CBadgingAhead* pAhead = nullptr);
    bool IsDeviceConnected() const;
    // The device check for a serial (empty: any device adb lists): nothing,
    // or why that device is not ready.
    DeviceCheck CheckDevice(const std::string& strAddress) const;
    // "adb connect": nothing when adb says it is connected, else why not. A
    // hung adb is ended after the query limit.
    Problem Connect(const std::string& strAddress) const;
    InstallResult InstallPackage(int bInternal) const;
    // With onProgress, a plain package over PROGRESS_MIN_BYTES goes as its
    // own step (InstallPushed); the others in one "adb install".
    InstallResult InstallPackage(int bInternal, const std::string& strApkPath, const std::string& strSerial,
                                 bool bDowngrade = false,
                                 const std::function<void(int)>& onProgress = std::function<void(int)>()) const;
    // Pushes the package to /data/local/tmp while a second query reads its
    // size there (one query per PROGRESS_POLL_MS, one at a time, none after
    // the push), then "pm install" from there and removes it in one shell.
    InstallResult InstallPushed(bool bInternal, bool bDowngrade, const std::string& strApkPath,
                                const std::string& strSerial, unsigned long long nBytes,
                                const std::function<void(int)>& onProgress) const;
    // The device check at an address, then the storage figures and (with
    // bProperties) the properties of the device found, as if read one after
    // the other; any thread. They are read together with the check for the
    // serial the device likely has (the address itself, or the one found
    // before), and again for the serial found when it is another.
    ConnectedTv ReadConnectedTv(const std::string& strAddress, const std::string& strLikelySerial,
                                bool bProperties) const;
    // After a task: the TV's version of the package (strPackageName not
    // empty), its properties, its storage, read together; any thread.
    TvAfterTask ReadTvAfterTask(const std::string& strSerial, const std::string& strPackageName, bool bProperties,
                                bool bStorage) const;
    // Installs the parts of a bundle the TV can use, then its expansion
    // files; the parts are unpacked into a folder of Davrel's own, removed
    // when this returns. onStage hears how far it is. bDowngrade as for a package.
    InstallResult InstallBundle(bool bInternal, bool bDowngrade, const std::string& strBundle,
                                const std::string& strSerial, const std::function<void(BundleStage)>& onStage) const;
    bool UninstallPackage() const;
    InstallResult UninstallPackage(const std::string& strPackageName, const std::string& strSerial) const;
    // Removes a file Davrel's transfer left on the TV (rm -f); true when the TV answered.
    bool RemoveTvFile(const std::string& strSerial, const std::string& strPath) const;
    // The TV's queries as command lines, and their readers of a run, so that
    // several run together (RunToolsTogether) on one thread.
    std::string DevicesQuery() const;
    std::string StorageQuery(const std::string& strSerial) const;
    std::string PropertiesQuery(const std::string& strSerial) const;
    std::string VersionQuery(const std::string& strPackageName, const std::string& strSerial) const;
    // The TV's shell queries in one adb shell run (tools/ShellTogether reads it apart).
    std::string TvShellQuery(const std::string& strSerial, const std::vector<std::string>& vecScripts) const;
    static DeviceCheck ReadDeviceCheck(const ToolRun& run, const std::string& strAddress);
    static StorageReading ReadStorageRun(const ToolRun& run);
    static bool ReadPropertiesRun(const ToolRun& run, TvProperties& tv);
    static InstalledVersion ReadVersionRun(const ToolRun& run, const std::string& strPackageName);
    // Keeps a reading in the figure members (the window thread's).
    void KeepStorage(const StorageReading& reading);
    // False when no icon could be taken out: the destination is then left as
    // it was. pData, when given, receives the bytes written, for painting.
    bool ExtractPackageIcon(std::string strDestination, std::string* pData = NULL) const;

    // Locked access for the window thread.
    void SetApkPath(const std::string& strPath);
    // The loaded package's name; empty when no package details are loaded
    // (a non-empty label is the sign that they are).
    std::string LoadedPackageName() const;
    std::string Serial() const;
    void SetSerial(const std::string& strSerial);
    std::string GetApkPath() const;

private:
    void BuildPermissionTable();
    // The details of a bundle: its base's badging report and an icon from
    // the base or, when only a split holds it, from that split.
    void LoadBundleInfo(const std::string& strBundle);
    // Stores what was read of the loaded file, under the lock.
    void StoreDetails(const BadgingDetails& details, const std::string& strFileSize, bool bBundle,
                      const Problem& problem, const std::string& strBundleIcon);
    // Unpacks every part of a bundle into folder and has aapt read each:
    // the first problem in the parts' order, or none.
    BundleIssue UnpackAndReadParts(CBundleArchive& archive, const BundleContents& contents,
                                   const CScopedTempFolder& folder, std::vector<std::string>& vecFiles,
                                   std::vector<BadgingDetails>& vecParts) const;
    // Runs an install (no time limit: they may take minutes) and reads its
    // outcome; a run that could not start says so.
    static InstallResult RunChange(const std::string& strCommand, HANDLE hCancel);
    // Runs the push; meanwhile reads how much of it is on the TV.
    ToolRun PushWatched(const std::string& strPush, const std::string& strAdb, const std::string& strSerial,
                        const std::string& strTarget, unsigned long long nBytes,
                        const std::function<void(int)>& onProgress) const;
};
