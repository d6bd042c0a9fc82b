#include "package/BundleArchive.h"

#include "framework/ScopedWin.h"
#include "framework/TextConvert.h"
#include <cstring>
#include <map>
#include <nlohmann/json.hpp>
#include <unzip.h>
#include <iowin32.h>

namespace {

// Real bundles hold a few dozen parts (one per language at most a hundred);
// their parts are tens of megabytes and expansion files up to a few
// gigabytes. Anything beyond these is refused before a byte is written.
const size_t MAX_ENTRIES = 2000;
const size_t MAX_PARTS = 300;  // each is read by aapt before an install
const size_t MAX_ENTRY_NAME = 512;
const unsigned long long MAX_PART_BYTES = 1ull << 30;
const unsigned long long MAX_OBB_BYTES = 4ull << 30;
const unsigned long long MAX_TOTAL_BYTES = 8ull << 30;
// Packages and expansion files are compressed already: an entry that inflates
// a hundredfold (beyond a small size) is a bomb, not a package.
const unsigned long long RATIO_FREE_BYTES = 16ull << 20;
const unsigned long long MAX_RATIO = 100;
const size_t MAX_MANIFEST_BYTES = 1 << 20;

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

bool EndsWithNoCase(const std::string& strText, const char* pSuffix) {
    size_t nLen = std::strlen(pSuffix);
    if (strText.size() < nLen) return false;
    for (size_t i = 0; i < nLen; ++i)
        if (Lower(strText[strText.size() - nLen + i]) != pSuffix[i]) return false;
    return true;
}

bool EndsWithNoCaseW(const std::wstring& strText, const wchar_t* pSuffix) {
    size_t nLen = wcslen(pSuffix);
    return strText.size() >= nLen && ::lstrcmpiW(strText.c_str() + strText.size() - nLen, pSuffix) == 0;
}

// Entry names are relative, '/'-separated paths: no drive, no root, no
// backslash, no ".." step, no control character.
bool IsSafeEntryName(const std::string& strName) {
    if (strName.empty() || strName[0] == '/' || strName.find_first_of("\\:") != std::string::npos) return false;
    for (unsigned char c : strName)
        if (c < 0x20 || c == 0x7f) return false;
    size_t nStart = 0;
    for (;;) {
        size_t nEnd = strName.find('/', nStart);
        std::string strStep = strName.substr(nStart, nEnd == std::string::npos ? std::string::npos : nEnd - nStart);
        if (strStep == "..") return false;
        if (nEnd == std::string::npos) return true;
        nStart = nEnd + 1;
    }
}

// A file name adb may push: plain ASCII that needs no quoting on either side.
bool IsPlainFileName(const std::string& strName) {
    if (strName.empty() || strName.size() > 200 || strName == "." || strName == "..") return false;
    for (char c : strName)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-'))
            return false;
    return true;
}

std::string FolderOf(const std::string& strEntry) {
    size_t nSlash = strEntry.rfind('/');
    return nSlash == std::string::npos ? std::string() : strEntry.substr(0, nSlash + 1);
}

std::string NameOf(const std::string& strEntry) {
    size_t nSlash = strEntry.rfind('/');
    return nSlash == std::string::npos ? strEntry : strEntry.substr(nSlash + 1);
}

// The package parts: .apks keep them in splits/ (else a universal or
// standalone set); .xapk and .apkm at the top.
std::vector<std::string> PackageParts(const std::vector<std::string>& vecNames, BundleKind kind) {
    static const char* const APKS_FOLDERS[] = {"splits/", "universal/", "standalones/", ""};
    static const char* const TOP_ONLY[] = {""};
    const char* const* pFolders = kind == BUNDLE_APKS ? APKS_FOLDERS : TOP_ONLY;
    size_t nFolders = kind == BUNDLE_APKS ? 4 : 1;
    for (size_t f = 0; f < nFolders; ++f) {
        std::vector<std::string> vecParts;
        for (const std::string& strName : vecNames)
            if (FolderOf(strName) == pFolders[f] && EndsWithNoCase(strName, ".apk")) vecParts.push_back(strName);
        if (!vecParts.empty()) return vecParts;
    }
    return std::vector<std::string>();
}

// A number or a string of digits, as the tools that write manifest.json differ.
int LooseNumber(const nlohmann::json& value) {
    if (value.is_number_integer()) return value.get<long long>() > 1000000 ? 0 : static_cast<int>(value.get<long long>());
    if (!value.is_string()) return 0;
    const std::string& str = value.get_ref<const std::string&>();
    if (str.empty() || str.size() > 6 || str.find_first_not_of("0123456789") != std::string::npos) return 0;
    return std::atoi(str.c_str());
}

std::string LooseString(const nlohmann::json& object, const char* pKey) {
    auto it = object.find(pKey);
    return (it != object.end() && it->is_string()) ? it->get<std::string>() : std::string();
}

// An .xapk's manifest.json: the package, its minimum SDK and the expansion
// files with the path each goes to, which must be the package's own OBB folder.
template <typename EntryMap>
BundleIssue ReadXapkManifest(const std::string& strJson, const EntryMap& mapEntries, BundleContents& contents) {
    nlohmann::json manifest = nlohmann::json::parse(strJson, nullptr, false);
    if (manifest.is_discarded() || !manifest.is_object()) return BUNDLE_BAD_MANIFEST;
    contents.strPackage = LooseString(manifest, "package_name");
    auto itMin = manifest.find("min_sdk_version");
    if (itMin != manifest.end()) contents.nMinSdk = LooseNumber(*itMin);
    auto itExpansions = manifest.find("expansions");
    if (itExpansions == manifest.end() || itExpansions->is_null()) return BUNDLE_FINE;
    if (!itExpansions->is_array()) return BUNDLE_BAD_MANIFEST;
    const std::string strFolder = "Android/obb/" + contents.strPackage + "/";
    for (const nlohmann::json& expansion : *itExpansions) {
        if (!expansion.is_object()) return BUNDLE_BAD_MANIFEST;
        std::string strFile = LooseString(expansion, "file");
        std::string strTarget = LooseString(expansion, "install_path");
        if (strTarget.empty()) strTarget = strFile;
        if (!IsSafeEntryName(strTarget) || strTarget.compare(0, strFolder.size(), strFolder) != 0 ||
            !IsPlainFileName(strTarget.substr(strFolder.size())))
            return BUNDLE_UNSAFE_NAME;
        if (!mapEntries.count(strFile)) return BUNDLE_BAD_MANIFEST;
        contents.vecObbs.push_back(BundleObb{strFile, strTarget.substr(strFolder.size())});
    }
    return BUNDLE_FINE;
}

struct EntryPlace {
    unz64_file_pos pos;
    unsigned long long nSize;
};

}  // namespace

BundleKind BundleKindOf(const std::string& strPath) {
    if (EndsWithNoCase(strPath, ".apks")) return BUNDLE_APKS;
    if (EndsWithNoCase(strPath, ".xapk")) return BUNDLE_XAPK;
    if (EndsWithNoCase(strPath, ".apkm")) return BUNDLE_APKM;
    return BUNDLE_NONE;
}

BundleKind BundleKindOf(const std::wstring& strPath) {
    if (EndsWithNoCaseW(strPath, L".apks")) return BUNDLE_APKS;
    if (EndsWithNoCaseW(strPath, L".xapk")) return BUNDLE_XAPK;
    if (EndsWithNoCaseW(strPath, L".apkm")) return BUNDLE_APKM;
    return BUNDLE_NONE;
}

struct CBundleArchive::Places {
    std::map<std::string, EntryPlace> map;
};

CBundleArchive::~CBundleArchive() {
    if (m_zip) unzClose(static_cast<unzFile>(m_zip));
    delete m_pPlaces;
}

BundleContents CBundleArchive::Open(const std::string& strPath, BundleKind kind) {
    BundleContents contents;
    zlib_filefunc64_def fileFuncs;
    fill_win32_filefunc64A(&fileFuncs);
    m_zip = unzOpen2_64(strPath.c_str(), &fileFuncs);
    unzFile zf = static_cast<unzFile>(m_zip);
    if (!zf) {
        // A file that opens but is no zip, or one that does not open at all.
        CScopedFile file(::CreateFileA(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, NULL));
        contents.issue = file ? BUNDLE_NOT_ZIP : BUNDLE_UNREADABLE;
        return contents;
    }
    unz_global_info64 global = {};
    if (unzGetGlobalInfo64(zf, &global) != UNZ_OK) {
        contents.issue = BUNDLE_DAMAGED;
        return contents;
    }
    if (global.number_entry > MAX_ENTRIES) {
        contents.issue = BUNDLE_TOO_BIG;
        return contents;
    }
    m_pPlaces = new Places;
    std::vector<std::string> vecNames;
    for (int err = unzGoToFirstFile(zf); err != UNZ_END_OF_LIST_OF_FILE; err = unzGoToNextFile(zf)) {
        unz_file_info64 info;
        char szName[MAX_ENTRY_NAME + 1] = {0};
        if (err != UNZ_OK || vecNames.size() >= MAX_ENTRIES ||
            unzGetCurrentFileInfo64(zf, &info, szName, sizeof(szName), NULL, 0, NULL, 0) != UNZ_OK) {
            contents.issue = vecNames.size() >= MAX_ENTRIES ? BUNDLE_TOO_BIG : BUNDLE_DAMAGED;
            return contents;
        }
        std::string strName(szName);
        if (info.size_filename > MAX_ENTRY_NAME || strName.size() != info.size_filename || !IsSafeEntryName(strName)) {
            contents.issue = BUNDLE_UNSAFE_NAME;
            return contents;
        }
        if (info.uncompressed_size > RATIO_FREE_BYTES && info.uncompressed_size / MAX_RATIO > info.compressed_size) {
            contents.issue = BUNDLE_TOO_BIG;
            return contents;
        }
        EntryPlace place;
        unzGetFilePos64(zf, &place.pos);
        place.nSize = info.uncompressed_size;
        m_pPlaces->map[strName] = place;
        if (strName.back() != '/') vecNames.push_back(strName);
    }

    contents.vecParts = PackageParts(vecNames, kind);
    if (kind == BUNDLE_XAPK) {
        std::string strManifest;
        if (m_pPlaces->map.count("manifest.json")) {
            if (!ReadSmall("manifest.json", MAX_MANIFEST_BYTES, strManifest)) {
                contents.issue = BUNDLE_BAD_MANIFEST;
                return contents;
            }
            contents.issue = ReadXapkManifest(strManifest, m_pPlaces->map, contents);
            if (contents.issue != BUNDLE_FINE) return contents;
        } else {
            // No manifest: the expansion files lie in their OBB folder.
            for (const std::string& strName : vecNames)
                if (strName.compare(0, 12, "Android/obb/") == 0 && EndsWithNoCase(strName, ".obb") &&
                    IsPlainFileName(NameOf(strName)))
                    contents.vecObbs.push_back(BundleObb{strName, NameOf(strName)});
        }
    }
    if (contents.vecParts.empty()) {
        contents.issue = BUNDLE_NO_PACKAGES;
        return contents;
    }
    if (contents.vecParts.size() > MAX_PARTS) contents.issue = BUNDLE_TOO_BIG;
    unsigned long long nTotal = 0;
    for (const std::string& strPart : contents.vecParts) {
        unsigned long long nSize = m_pPlaces->map[strPart].nSize;
        if (nSize > MAX_PART_BYTES) contents.issue = BUNDLE_TOO_BIG;
        nTotal += nSize;
    }
    for (const BundleObb& obb : contents.vecObbs) {
        unsigned long long nSize = m_pPlaces->map[obb.strEntry].nSize;
        if (nSize > MAX_OBB_BYTES) contents.issue = BUNDLE_TOO_BIG;
        nTotal += nSize;
    }
    if (nTotal > MAX_TOTAL_BYTES) contents.issue = BUNDLE_TOO_BIG;
    return contents;
}

unsigned long long CBundleArchive::SizeOf(const std::string& strEntry) const {
    if (!m_pPlaces) return 0;
    auto it = m_pPlaces->map.find(strEntry);
    return it == m_pPlaces->map.end() ? 0 : it->second.nSize;
}

BundleIssue CBundleArchive::Extract(const std::string& strEntry, const std::string& strFile, HANDLE hCancel) const {
    unzFile zf = static_cast<unzFile>(m_zip);
    if (!zf || !m_pPlaces) return BUNDLE_DAMAGED;
    auto it = m_pPlaces->map.find(strEntry);
    if (it == m_pPlaces->map.end()) return BUNDLE_DAMAGED;
    unz64_file_pos pos = it->second.pos;
    const unsigned long long nSize = it->second.nSize;
    if (unzGoToFilePos64(zf, &pos) != UNZ_OK || unzOpenCurrentFile(zf) != UNZ_OK) return BUNDLE_DAMAGED;

    BundleIssue issue = BUNDLE_FINE;
    HANDLE hFile = ::CreateFileA(strFile.c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile == INVALID_HANDLE_VALUE) issue = BUNDLE_NO_ROOM;
    std::vector<char> buffer(256 * 1024);
    unsigned long long nWritten = 0;
    while (issue == BUNDLE_FINE) {
        if (hCancel && ::WaitForSingleObject(hCancel, 0) == WAIT_OBJECT_0) {
            issue = BUNDLE_CANCELLED;
            break;
        }
        int nRead = unzReadCurrentFile(zf, buffer.data(), static_cast<unsigned>(buffer.size()));
        if (nRead < 0) issue = BUNDLE_DAMAGED;
        if (nRead <= 0) break;
        // More than the entry declared: a bomb that lied about its size.
        nWritten += static_cast<unsigned long long>(nRead);
        if (nWritten > nSize) {
            issue = BUNDLE_DAMAGED;
            break;
        }
        DWORD dwDone = 0;
        if (!::WriteFile(hFile, buffer.data(), static_cast<DWORD>(nRead), &dwDone, NULL) ||
            dwDone != static_cast<DWORD>(nRead))
            issue = BUNDLE_NO_ROOM;
    }
    // The CRC is checked only once the declared size has been read in full.
    if (unzCloseCurrentFile(zf) != UNZ_OK && issue == BUNDLE_FINE) issue = BUNDLE_DAMAGED;
    if (issue == BUNDLE_FINE && nWritten != nSize) issue = BUNDLE_DAMAGED;
    if (hFile != INVALID_HANDLE_VALUE) {
        ::CloseHandle(hFile);
        if (issue != BUNDLE_FINE) ::DeleteFileA(strFile.c_str());
    }
    return issue;
}

bool CBundleArchive::ReadSmall(const std::string& strEntry, size_t nMaxBytes, std::string& strData) const {
    strData.clear();
    unzFile zf = static_cast<unzFile>(m_zip);
    if (!zf || !m_pPlaces) return false;
    auto it = m_pPlaces->map.find(strEntry);
    if (it == m_pPlaces->map.end() || it->second.nSize > nMaxBytes) return false;
    unz64_file_pos pos = it->second.pos;
    if (unzGoToFilePos64(zf, &pos) != UNZ_OK || unzOpenCurrentFile(zf) != UNZ_OK) return false;
    char buffer[16 * 1024];
    bool bOk = true;
    for (;;) {
        int nRead = unzReadCurrentFile(zf, buffer, sizeof(buffer));
        if (nRead < 0 || strData.size() + static_cast<size_t>(nRead > 0 ? nRead : 0) > it->second.nSize) bOk = false;
        if (nRead <= 0 || !bOk) break;
        strData.append(buffer, static_cast<size_t>(nRead));
    }
    if (unzCloseCurrentFile(zf) != UNZ_OK || strData.size() != it->second.nSize) bOk = false;
    if (!bOk) strData.clear();
    return bOk;
}

CScopedTempFolder::CScopedTempFolder() {
    static LONG s_nNext = 0;
    // The temporary folder as the tools can be given it: a user name outside
    // the code page gives its short form.
    wchar_t szTemp[MAX_PATH] = {0};
    DWORD nLength = ::GetTempPathW(MAX_PATH, szTemp);
    std::string strTemp = (nLength == 0 || nLength >= MAX_PATH) ? std::string() : WidePathToAnsi(szTemp);
    if (strTemp.empty() || strTemp.size() >= MAX_PATH - 40) return;
    if (strTemp.back() != '\\') strTemp += '\\';
    for (int nTry = 0; nTry < 100; ++nTry) {
        char szName[64];
        wsprintfA(szName, "DavrelParts-%lu-%ld\\", ::GetCurrentProcessId(), ::InterlockedIncrement(&s_nNext));
        std::string strPath = strTemp + szName;
        if (::CreateDirectoryA(strPath.c_str(), NULL)) {
            m_strPath = strPath;
            return;
        }
        if (::GetLastError() != ERROR_ALREADY_EXISTS) return;
    }
}

CScopedTempFolder::~CScopedTempFolder() {
    if (m_strPath.empty()) return;
    // Only files are ever made in it.
    WIN32_FIND_DATAA data;
    HANDLE hFind = ::FindFirstFileA((m_strPath + "*").c_str(), &data);
    if (hFind != INVALID_HANDLE_VALUE) {
        do {
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ::DeleteFileA((m_strPath + data.cFileName).c_str());
        } while (::FindNextFileA(hFind, &data));
        ::FindClose(hFind);
    }
    ::RemoveDirectoryA(m_strPath.c_str());
}
