// Davrel as the program that opens packages (.apk) and bundles (.apks,
// .xapk, .apkm) from the file manager: a ProgID of its own per extension
// (apkfile, apksfile, xapkfile, apkmfile), the extension and the current
// user's choice pointing at it, and the friendly name of the program. What
// another program had there is noted in the settings key and given back.
#pragma once
#include <string>
#include "shell/RegistryKey.h"

// A non-zero flag registers Davrel for the four extensions with strExePath
// as the program; zero gives each back to what it named before Davrel took
// it and leaves other programs' entries alone. A type whose entries cannot
// all be written is left as it was, and the bundles are only taken along
// with .apk. Every key opened through `key` is closed again, and the shell
// is told once that associations changed. Nothing is registered when the
// program's path is unknown (empty). Returns whether .apk names Davrel's
// ProgID afterwards.
bool SetApkAssociationInRegistry(CRegistryKey& key, int nFlag, const std::string& strExePath);

// The open command for a program path: the path quoted, then the document.
std::string BuildOpenCommand(const std::string& strExePath);

// The program's own path, or empty when it does not fit into MAX_PATH bytes.
std::string GetOwnExePath();
