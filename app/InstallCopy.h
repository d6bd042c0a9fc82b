// The "install.apk" copy Davrel puts beside a package before installing it,
// remembered as it was made: only a file still like that is Davrel's own to
// replace or delete. Anything else at that path is the user's.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

struct InstallCopy {
    std::string strPath;
    ULONGLONG nSize = 0;
    FILETIME ftWritten = {};
};

// Copies strSource to copy.strPath. An existing file there is replaced only
// when bReplace is set and it is still this copy as made; false when
// nothing was copied (also when hCancel, if given, was signalled: a copy
// broken off leaves nothing behind). On success copy holds the new copy's
// size and time.
bool MakeInstallCopy(const std::string& strSource, InstallCopy& copy, bool bReplace, HANDLE hCancel = NULL);

// The file at copy.strPath has the size and last-write time it had when made.
bool IsStillOurCopy(const InstallCopy& copy);

// The file an install of strPackage reads: Davrel's copy "install.apk"
// beside it (made, or refreshed, and remembered in vecCopies), else the
// package itself: a bundle, a package itself named install.apk, where the
// user's own install.apk lies, or when the copy failed or was cancelled.
// Runs on the task worker, where no other install reads a copy meanwhile.
std::string ChooseInstallFile(const std::string& strPackage, std::vector<InstallCopy>& vecCopies,
                              HANDLE hCancel = NULL);
