#include "app/InstallCopy.h"

#include "framework/ScopedWin.h"

namespace {
bool ReadIdentity(const std::string& strPath, ULONGLONG& nSize, FILETIME& ftWritten) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(strPath.c_str(), GetFileExInfoStandard, &data)) return false;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
    nSize = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    ftWritten = data.ftLastWriteTime;
    return true;
}
}  // namespace

bool IsStillOurCopy(const InstallCopy& copy) {
    ULONGLONG nSize = 0;
    FILETIME ftWritten;
    return ReadIdentity(copy.strPath, nSize, ftWritten) && nSize == copy.nSize &&
           ::CompareFileTime(&ftWritten, &copy.ftWritten) == 0;
}

bool MakeInstallCopy(const std::string& strSource, InstallCopy& copy, bool bReplace) {
    bool bMayReplace = bReplace && IsStillOurCopy(copy);
    if (!::CopyFileA(strSource.c_str(), copy.strPath.c_str(), bMayReplace ? FALSE : TRUE)) return false;
    if (ReadIdentity(copy.strPath, copy.nSize, copy.ftWritten)) return true;
    // Made, but unreadable at once: it cannot be told from the user's later.
    copy.nSize = ~0ull;
    return true;
}
