// Davrel as the program that opens .apk files from the file manager: its own
// ProgID "apkfile", the .apk extension pointing at it, the current user's
// choice, and the friendly name of the program.
#pragma once
#include <string>
#include "shell/RegistryKey.h"

// The ProgID Davrel registers and owns.
extern const char APK_PROGID[];

// A non-zero flag registers Davrel for .apk files with strExePath as the
// program; zero removes what Davrel registered and leaves other programs'
// entries alone. Every key opened through `key` is closed again, and the
// shell is told once that associations changed. Nothing is registered when
// the program's path is unknown (empty).
void SetApkAssociationInRegistry(CRegistryKey& key, int nFlag, const std::string& strExePath);

// The open command for a program path: the path quoted, then the document.
std::string BuildOpenCommand(const std::string& strExePath);

// The program's own path, or empty when it does not fit into MAX_PATH bytes.
std::string GetOwnExePath();
