// Reads what adb prints for the device list, an install, an uninstall and a
// storage query. Pure text work: no tool is run here.
#pragma once
#include <string>
#include "tools/ApkTool.h"

// True when "adb devices" lists, after its header, a device that is ready
// ("SERIAL<tab>device"). Offline, unauthorized or missing devices give false.
bool ReadDeviceList(const std::string& strOutput);

// Why no device is ready, read from "adb devices": the line of strAddress
// (as typed: "192.168.1.5" also matches adb's "192.168.1.5:5555") decides;
// without one, any listed device's state; DEVICE_READY as ReadDeviceList.
DeviceCheck ReadDeviceState(const std::string& strOutput, const std::string& strAddress);

// Success only on "Success" without "Failure". On failure the reason is the
// "Failure [...]" text, else adb's own error line, else its last line.
InstallResult ReadInstallOutput(const std::string& strOutput);

// Success only on "Success" without "Failure": an empty output or an adb
// error such as "error: device offline" is a failed uninstall.
bool ReadUninstallOutput(const std::string& strOutput);
// The same, with adb's words on failure as ReadInstallOutput gives them.
InstallResult ReadUninstallResult(const std::string& strOutput);

// A package name that may go on adb's command line: ASCII letters, digits,
// '_' and '.', nothing else, not empty. adb hands uninstall arguments to the
// TV's shell, so anything else could run text of the package author's choice.
bool IsSafePackageName(const std::string& strName);

// A storage answer says "error" when adb could not reach the TV; that answer
// and the figures after it are left empty.
bool IsStorageError(const std::string& strAnswer);
