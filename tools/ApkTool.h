// The one tool object: where adb.exe and aapt.exe are, the current package,
// what its badging report said, the TV's storage figures and the permission
// descriptions. Every tool run goes BuildCommand -> RunTool -> a reader.
#pragma once
#include <windows.h>
#include <functional>
#include <map>
#include <string>
#include "framework/ScopedWin.h"
#include "package/BundleArchive.h"

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

// Outcome of an install or an uninstall, with adb's own words when it failed.
struct InstallResult {
    bool bSuccess = false;
    bool bAdbStarted = true;  // false: adb.exe could not be started at all
    std::string strReason;    // e.g. "Failure [INSTALL_FAILED_INSUFFICIENT_STORAGE]"
    // Bundles: why nothing was sent (with what the TV and the package
    // said), and an expansion file that did not reach the TV after the install.
    BundleIssue bundleIssue = BUNDLE_FINE;
    int nNeededSdk = 0;
    int nTvSdk = 0;
    std::string strTvAbis;
    bool bObbFailed = false;
    std::string strObbReason;
};

// How far a bundle's install is, for the status line.
enum BundleStage { STAGE_UNPACKING, STAGE_INSTALLING, STAGE_PUSHING_OBB };

// Why no TV is ready, as adb's device list and the tool run tell it.
enum DeviceState {
    DEVICE_READY,           // a device is listed as "device"
    DEVICE_NONE,            // nothing listed, and no address to look for
    DEVICE_NOT_AT_ADDRESS,  // the address asked for is not in the list
    DEVICE_UNAUTHORIZED,    // the TV waits for the user to allow debugging
    DEVICE_OFFLINE,         // listed, but the connection dropped
    DEVICE_NO_PERMISSIONS,  // the system denies adb the device
    DEVICE_ADB_ERROR,       // adb printed no list; strDetail holds its words
    DEVICE_ADB_NOT_STARTED, // adb.exe could not be started
    DEVICE_ADB_TIMED_OUT,   // adb.exe did not end within its time limit
};

struct DeviceCheck {
    DeviceState state = DEVICE_NONE;
    std::string strDetail;
};

// How the storage queries went: a query that did not answer ends the
// sequence and leaves the figures not read empty.
enum StorageOutcome {
    STORAGE_READ,         // every query answered (a figure may still be empty)
    STORAGE_ERROR,        // adb said "error": it could not reach the TV
    STORAGE_NO_ANSWER,    // a query ran out of time: the TV does not answer
    STORAGE_NOT_STARTED,  // adb.exe could not be started
};

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
    std::string m_strSdkVersion;
    std::string m_strFileSize;
    std::string m_strPermissions;
    std::string m_strIconEntry;
    // The loaded file is a bundle: why it could not be read, and its icon's
    // bytes (taken from its parts while they were unpacked).
    bool m_bBundle = false;
    BundleIssue m_bundleIssue = BUNDLE_FINE;
    std::string m_strBundleIcon;
    std::string m_strSystemSize;
    std::string m_strSystemFree;
    std::string m_strDataSize;
    std::string m_strDataFree;
    std::string m_strSdcardSize;
    std::string m_strSdcardFree;
    std::string m_strSdext2Size;
    std::string m_strSdext2Free;

    // The window thread and a task thread share this object. The package
    // path, the package details and the bundle fields are written and read
    // only under m_csFields; tasks work on copies taken under it. The storage
    // figures and the permission table belong to the window thread alone.
    mutable CCriticalSection m_csFields;
    // Signalled when the window closes: running tools are ended at once.
    HANDLE m_hCancel = NULL;

    std::string BuildCommand(unsigned int code) const;
    // The install and uninstall command lines for a given file or package
    // name, so that a task acts on what it was given, not on what is loaded.
    std::string BuildInstallCommand(bool bInternal, const std::string& strApkPath) const;
    std::string BuildUninstallCommand(const std::string& strPackageName) const;

    void LoadPackageInfo();
    bool IsDeviceConnected() const;
    // The device check with its reason; strAddress (may be empty) is the TV
    // the user asked to connect to.
    DeviceCheck CheckDevice(const std::string& strAddress) const;
    InstallResult InstallPackage(int bInternal) const;
    InstallResult InstallPackage(int bInternal, const std::string& strApkPath) const;
    // Installs the parts of a bundle the TV can use, then its expansion
    // files; the parts are unpacked into a folder of Davrel's own, removed
    // when this returns. onStage hears how far it is.
    InstallResult InstallBundle(bool bInternal, const std::string& strBundle,
                                const std::function<void(BundleStage)>& onStage) const;
    bool UninstallPackage() const;
    InstallResult UninstallPackage(const std::string& strPackageName) const;
    StorageOutcome QueryStorage();
    // False when no icon could be taken out: the destination is then left as it was.
    bool ExtractPackageIcon(std::string strDestination) const;

    // Locked access for the window thread.
    void SetApkPath(const std::string& strPath);
    std::string GetApkPath() const;

private:
    void BuildPermissionTable();
    // The details of a bundle: its base's badging report and an icon from
    // the base or, when only a split holds it, from that split.
    void LoadBundleInfo(const std::string& strBundle);
    // Stores what was read of the loaded file, under the lock.
    void StoreDetails(const BadgingDetails& details, const std::string& strFileSize, bool bBundle,
                      BundleIssue bundleIssue, const std::string& strBundleIcon);
    // Runs an install (no time limit: they may take minutes) and reads its
    // outcome; a run that could not start says so.
    static InstallResult RunChange(const std::string& strCommand, InstallResult (*pfnRead)(const std::string&),
                                   HANDLE hCancel);
};
