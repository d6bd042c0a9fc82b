// Reads what adb prints for the device list, a connect, an install, an
// uninstall and a storage query. Pure text work: no tool is run here.
#pragma once
#include <string>
#include "tools/ApkTool.h"

// Reads "adb devices". With an address ("192.168.1.5" also matches adb's
// "192.168.1.5:5555"), that device's line alone decides, whatever else is
// attached. Without one, a single listed device is the one meant; several
// ready ones leave the user to say which.
DeviceCheck ReadDeviceState(const std::string& strOutput, const std::string& strAddress);

// What "adb connect" said (it ends with 0 whether it connected or not).
Problem ReadConnectOutput(const std::string& strOutput);

// Success only on "Success" without "Failure". On failure the reason is the
// "Failure [...]" text, else adb's own error line, else its last line.
// Uninstalls are worded alike.
InstallResult ReadInstallOutput(const std::string& strOutput);

// A storage answer says "error" when adb could not reach the TV; that line
// is adb's reason.
bool IsStorageError(const std::string& strAnswer);
std::string StorageErrorWords(const std::string& strAnswer);

// "dumpsys package <name>": the version of that package in the first
// "Packages:" block (a later "Hidden system packages:" block holds the
// version the system image came with). Not installed when the block does
// not name it.
InstalledVersion ReadInstalledVersion(const std::string& strDumpsys, const std::string& strPackageName);

// True when the package's version code is below the TV's; false when either
// is not a number (nothing known, nothing to ask).
bool IsOlderVersion(const std::string& strPackageCode, const std::string& strTvCode);

// What an install refusal asks of the user: nothing, a newer version on the
// TV (-d or uninstall first), or a copy signed with another key (uninstall first).
enum RefusalKind { REFUSAL_OTHER, REFUSAL_DOWNGRADE, REFUSAL_OTHER_KEY };
RefusalKind RefusalKindOf(const Problem& problem);

// The size of a file on the TV as "stat -c %s" (the number alone) or "ls -l"
// (toolbox, toybox and busybox forms) prints it; -1 when neither does (no
// such file yet, no stat on an old TV and no ls line either).
long long ReadTvFileSize(const std::string& strOutput);

// Why "adb push" failed: the reason its error line gives after both paths
// ("adb: error: failed to copy 'A' to 'B': remote No space left on device"),
// which the paths would push off the status line; else adb's own words.
std::string ReadPushFailure(const std::string& strOutput);

// adb's words when the TV went away during a transfer or an install (the
// connection dropped, reset or the device vanished), not a refusal.
bool IsConnectionDrop(const Problem& problem);
