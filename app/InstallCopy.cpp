#include "app/InstallCopy.h"

#include <algorithm>
#include "framework/ScopedWin.h"
#include "package/BundleArchive.h"

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

namespace {
// Asked by the system between chunks: a closing window ends a copy of a
// large package at once, and the system removes what it had written.
DWORD CALLBACK CopyGoesOn(LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, DWORD, DWORD, HANDLE,
                          HANDLE, LPVOID pCancel) {
    HANDLE hCancel = static_cast<HANDLE>(pCancel);
    return hCancel && ::WaitForSingleObject(hCancel, 0) == WAIT_OBJECT_0 ? PROGRESS_CANCEL : PROGRESS_CONTINUE;
}
}  // namespace

bool MakeInstallCopy(const std::string& strSource, InstallCopy& copy, bool bReplace, HANDLE hCancel) {
    if (hCancel && ::WaitForSingleObject(hCancel, 0) == WAIT_OBJECT_0) return false;
    bool bMayReplace = bReplace && IsStillOurCopy(copy);
    if (!::CopyFileExA(strSource.c_str(), copy.strPath.c_str(), CopyGoesOn, hCancel, NULL,
                       bMayReplace ? 0 : COPY_FILE_FAIL_IF_EXISTS))
        return false;
    if (ReadIdentity(copy.strPath, copy.nSize, copy.ftWritten)) return true;
    // Made, but unreadable at once: it cannot be told from the user's later.
    copy.nSize = ~0ull;
    return true;
}

namespace {
const char INSTALL_COPY_NAME[] = "install.apk";

bool SamePath(const std::string& strA, const std::string& strB) {
    return ::lstrcmpiA(strA.c_str(), strB.c_str()) == 0;
}

std::string FullPath(const std::string& strPath) {
    char szFull[MAX_PATH] = {0};
    DWORD nLength = ::GetFullPathNameA(strPath.c_str(), MAX_PATH, szFull, NULL);
    return (nLength == 0 || nLength >= MAX_PATH) ? strPath : std::string(szFull, nLength);
}
}  // namespace

std::string ChooseInstallFile(const std::string& strPackage, std::vector<InstallCopy>& vecCopies, HANDLE hCancel) {
    // A bundle is unpacked into a folder of Davrel's own: no copy beside it.
    if (BundleKindOf(strPackage) != BUNDLE_NONE) return strPackage;
    size_t nSlash = strPackage.find_last_of("\\/");
    std::string strFolder = nSlash == std::string::npos ? std::string() : strPackage.substr(0, nSlash + 1);
    std::string strName = nSlash == std::string::npos ? strPackage : strPackage.substr(nSlash + 1);

    // The chosen package is itself called install.apk: a copy would replace it.
    if (SamePath(strName, INSTALL_COPY_NAME)) return strPackage;
    std::string strCopy = FullPath(strFolder + INSTALL_COPY_NAME);
    auto it = std::find_if(vecCopies.begin(), vecCopies.end(),
                           [&](const InstallCopy& made) { return SamePath(made.strPath, strCopy); });
    // Our own copy may be refreshed while it is still as we made it; any
    // other "install.apk" is the user's and stays. Otherwise the package
    // itself is installed.
    InstallCopy copy;
    copy.strPath = strCopy;
    if (it != vecCopies.end()) copy = *it;
    if (!MakeInstallCopy(strPackage, copy, it != vecCopies.end(), hCancel)) return strPackage;
    if (it != vecCopies.end()) *it = copy;
    else vecCopies.push_back(copy);
    return strCopy;
}
