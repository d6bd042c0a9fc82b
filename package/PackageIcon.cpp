#include "package/PackageIcon.h"

#include "framework/ScopedWin.h"
#include "package/ImageSize.h"
#include "package/ZipReader.h"

namespace {

// No launcher icon comes near this; an entry larger than it, by its header or
// by what it inflates to, is not written (it could fill the disk).
const size_t MAX_ICON_BYTES = 16u * 1024u * 1024u;
// Entry names of this length or more are never matched.
const size_t MAX_ENTRY_NAME = 256;

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

}  // namespace

bool ReplaceIconFile(const std::string& strDestination, const std::string& strData) {
    char szTemp[MAX_PATH] = {0};
    if (!::GetTempFileNameA(FolderOf(strDestination).c_str(), "dvi", 0, szTemp)) return false;
    if (!WriteWholeFile(szTemp, strData) ||
        !::MoveFileExA(szTemp, strDestination.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        ::DeleteFileA(szTemp);
        return false;
    }
    return true;
}

bool ReadIconEntry(const std::string& strArchive, const std::string& strEntry, std::string& strData) {
    strData.clear();
    CZipReader zip;
    ZipEntry entry;
    if (strEntry.size() >= MAX_ENTRY_NAME || !zip.Open(strArchive) || !zip.Locate(strEntry, entry) ||
        zip.ReadWhole(entry.place, MAX_ICON_BYTES, strData) != ZIP_READ_OK)
        return false;
    // A small entry may declare a huge picture: decoding it would take
    // gigabytes, so only sane sizes are kept for painting.
    if (IsDrawableIcon(strData)) return true;
    strData.clear();
    return false;
}
