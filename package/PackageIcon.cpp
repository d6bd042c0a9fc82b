// Takes the package's icon entry out of the package (a zip archive) into a
// file of its own, so the window can paint it.
#include "tools/ApkTool.h"

#include <string>
#include "package/ImageSize.h"
#include "package/PackageIcon.h"
#include <unzip.h>
#include <iowin32.h>

namespace {

// No launcher icon comes near this; an entry larger than it, by its header or
// by what it inflates to, is not written (it could fill the disk).
const ZPOS64_T MAX_ICON_BYTES = 16u * 1024u * 1024u;
// Entry names of this length or more are never matched.
const size_t MAX_ENTRY_NAME = 256;

struct ZipTraits {
    typedef unzFile Type;
    static unzFile Invalid() { return NULL; }
    static void Close(unzFile f) { unzClose(f); }
};
typedef CScopedHandleT<ZipTraits> CScopedZip;

char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

bool SameNameIgnoringAsciiCase(const char* pName, const std::string& strWanted) {
    for (size_t i = 0; i < strWanted.size(); ++i) {
        if (FoldAscii(pName[i]) != FoldAscii(strWanted[i])) return false;
    }
    return true;
}

// Makes the entry whose name equals strWanted, ASCII letters folded, the
// archive's current one; the first such entry in central-directory order wins.
bool LocateEntry(unzFile zf, const std::string& strWanted) {
    if (strWanted.empty() || strWanted.size() >= MAX_ENTRY_NAME) return false;
    for (int err = unzGoToFirstFile(zf); err == UNZ_OK; err = unzGoToNextFile(zf)) {
        unz_file_info64 info;
        char szName[MAX_ENTRY_NAME];
        if (unzGetCurrentFileInfo64(zf, &info, szName, sizeof(szName), NULL, 0, NULL, 0) != UNZ_OK)
            return false;
        // Lengths first: a longer stored name is only partly read into szName.
        if (info.size_filename == strWanted.size() && SameNameIgnoringAsciiCase(szName, strWanted))
            return true;
    }
    return false;
}

// The current entry's whole uncompressed content, checked against its
// declared size and CRC; false when it is too large, damaged or unreadable.
bool ReadCurrentEntry(unzFile zf, std::string& strData) {
    unz_file_info64 info;
    if (unzGetCurrentFileInfo64(zf, &info, NULL, 0, NULL, 0, NULL, 0) != UNZ_OK) return false;
    if (info.uncompressed_size > MAX_ICON_BYTES) return false;
    if (unzOpenCurrentFile(zf) != UNZ_OK) return false;

    strData.clear();
    strData.reserve(static_cast<size_t>(info.uncompressed_size));
    char buffer[64 * 1024];
    bool bOk = true;
    for (;;) {
        int nRead = unzReadCurrentFile(zf, buffer, sizeof(buffer));
        if (nRead < 0) { bOk = false; break; }
        if (nRead == 0) break;
        if (strData.size() + static_cast<size_t>(nRead) > MAX_ICON_BYTES) { bOk = false; break; }
        strData.append(buffer, static_cast<size_t>(nRead));
    }
    // The CRC is only checked once the declared size has been read in full.
    if (unzCloseCurrentFile(zf) != UNZ_OK) bOk = false;
    if (strData.size() != info.uncompressed_size) bOk = false;
    if (!bOk) strData.clear();
    return bOk;
}

// The folder part of a path, up to and including its last separator, walked
// by characters so a double-byte character's trail byte is never taken for one.
std::string FolderOf(const std::string& strPath) {
    size_t nEnd = 0;
    for (const char* p = strPath.c_str(); *p; p = ::CharNextA(p)) {
        if (*p == '\\' || *p == '/') nEnd = static_cast<size_t>(p - strPath.c_str()) + 1;
    }
    return nEnd ? strPath.substr(0, nEnd) : std::string(".\\");
}

bool WriteWholeFile(const std::string& strPath, const std::string& strData) {
    CScopedFile file(::CreateFileA(strPath.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, NULL));
    if (!file) return false;
    DWORD dwWritten = 0;
    return strData.empty() ||
           (::WriteFile(file.Get(), strData.data(), static_cast<DWORD>(strData.size()), &dwWritten, NULL) &&
            dwWritten == strData.size());
}

// Writes beside the destination first and then puts the file in its place,
// so a failure never leaves a half-written icon or spoils an earlier one.
bool ReplaceFileWith(const std::string& strDestination, const std::string& strData) {
    char szTemp[MAX_PATH] = {0};
    if (!::GetTempFileNameA(FolderOf(strDestination).c_str(), "dvi", 0, szTemp)) return false;
    if (!WriteWholeFile(szTemp, strData) ||
        !::MoveFileExA(szTemp, strDestination.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        ::DeleteFileA(szTemp);
        return false;
    }
    return true;
}

}  // namespace

bool ReadIconEntry(const std::string& strArchive, const std::string& strEntry, std::string& strData) {
    strData.clear();
    // Read access to an existing file; others may read it meanwhile.
    zlib_filefunc64_def fileFuncs;
    fill_win32_filefunc64A(&fileFuncs);
    CScopedZip zip(unzOpen2_64(strArchive.c_str(), &fileFuncs));
    if (!zip) return false;
    if (!LocateEntry(zip.Get(), strEntry) || !ReadCurrentEntry(zip.Get(), strData)) return false;
    // A small entry may declare a huge picture: decoding it would take
    // gigabytes, so only sane sizes are kept for painting.
    if (IsDrawableIcon(strData)) return true;
    strData.clear();
    return false;
}

bool CApkTool::ExtractPackageIcon(std::string strDestination) const {
    std::string strApkPath, strEntry, strData;
    {
        CLockGuard lock(m_csFields);
        strApkPath = m_strApkPath;
        strEntry = m_strIconEntry;
        // A bundle's icon was read from its parts when its details were.
        if (m_bBundle && m_strBundleIcon.empty()) return false;
        if (m_bBundle) strData = m_strBundleIcon;
    }
    if (strData.empty() && !ReadIconEntry(strApkPath, strEntry, strData)) return false;
    return ReplaceFileWith(strDestination, strData);
}
