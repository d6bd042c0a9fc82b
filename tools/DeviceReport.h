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
