// Reads what adb prints for the device list, an install, an uninstall and a
// storage query. Pure text work: no tool is run here.
#pragma once
#include <string>
#include "tools/ApkTool.h"

// True when "adb devices" lists, after its header, a device that is ready
// ("SERIAL<tab>device"). Offline, unauthorized or missing devices give false.
bool ReadDeviceList(const std::string& strOutput);

// Success only on "Success" without "Failure". On failure the reason is the
// "Failure [...]" text, else adb's own error line, else its last line.
InstallResult ReadInstallOutput(const std::string& strOutput);

// Success only on "Success" without "Failure": an empty output or an adb
// error such as "error: device offline" is a failed uninstall.
bool ReadUninstallOutput(const std::string& strOutput);

// A package name that may go on adb's command line: ASCII letters, digits,
// '_' and '.', nothing else, not empty. adb hands uninstall arguments to the
// TV's shell, so anything else could run text of the package author's choice.
bool IsSafePackageName(const std::string& strName);

// The first storage answer says "error" when adb could not reach the TV; all
// eight figures are then left empty.
bool IsStorageError(const std::string& strFirstAnswer);
