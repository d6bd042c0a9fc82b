#include "package/BundleArchive.h"

#include "framework/ScopedWin.h"
#include "framework/StrUtil.h"
#include "framework/TextConvert.h"
#include <nlohmann/json.hpp>

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
        if (!IsSafeEntryName(strTarget) || !StartsWith(strTarget, strFolder.c_str()) ||
            !IsPlainFileName(strTarget.substr(strFolder.size())))
            return BUNDLE_UNSAFE_NAME;
        if (!mapEntries.count(strFile)) return BUNDLE_BAD_MANIFEST;
        contents.vecObbs.push_back(BundleObb{strFile, strTarget.substr(strFolder.size())});
    }
    return BUNDLE_FINE;
}

}  // namespace

BundleKind BundleKindOf(const std::string& strPath) {
    if (EndsWithNoCase(strPath, ".apks")) return BUNDLE_APKS;
    if (EndsWithNoCase(strPath, ".xapk")) return BUNDLE_XAPK;
    if (EndsWithNoCase(strPath, ".apkm")) return BUNDLE_APKM;
    return BUNDLE_NONE;
}

BundleKind BundleKindOf(const std::wstring& strPath) {
    if (EndsWithNoCase(strPath, L".apks")) return BUNDLE_APKS;
    if (EndsWithNoCase(strPath, L".xapk")) return BUNDLE_XAPK;
    if (EndsWithNoCase(strPath, L".apkm")) return BUNDLE_APKM;
    return BUNDLE_NONE;
}

BundleContents CBundleArchive::Open(const std::string& strPath, BundleKind kind) {
    BundleContents contents;
    m_mapEntries.clear();
    if (!m_zip.Open(strPath)) {
        // A file that opens but is no zip, or one that does not open at all.
        CScopedFile file(::CreateFileA(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, NULL));
        contents.issue = file ? BUNDLE_NOT_ZIP : BUNDLE_UNREADABLE;
        return contents;
    }
    unsigned long long nDeclared = 0;
    if (!m_zip.DeclaredCount(nDeclared)) {
        contents.issue = BUNDLE_DAMAGED;
        return contents;
    }
    if (nDeclared > MAX_ENTRIES) {
        contents.issue = BUNDLE_TOO_BIG;
        return contents;
    }
    std::vector<std::string> vecNames;
    for (ZipStep step = m_zip.First(); step != ZIP_END; step = m_zip.Next()) {
        ZipEntry entry;
        if (step != ZIP_ENTRY || vecNames.size() >= MAX_ENTRIES || !m_zip.Current(entry)) {
            contents.issue = vecNames.size() >= MAX_ENTRIES ? BUNDLE_TOO_BIG : BUNDLE_DAMAGED;
            return contents;
        }
        if (entry.nNameLength > MAX_ENTRY_NAME || entry.strName.size() != entry.nNameLength ||
            !IsSafeEntryName(entry.strName)) {
            contents.issue = BUNDLE_UNSAFE_NAME;
            return contents;
        }
        if (entry.nSize > RATIO_FREE_BYTES && entry.nSize / MAX_RATIO > entry.nCompressedSize) {
            contents.issue = BUNDLE_TOO_BIG;
            return contents;
        }
        if (entry.strName.back() != '/') vecNames.push_back(entry.strName);
        m_mapEntries[entry.strName] = entry;
    }

    contents.vecParts = PackageParts(vecNames, kind);
    if (kind == BUNDLE_XAPK) {
        std::string strManifest;
        if (m_mapEntries.count("manifest.json")) {
            if (!ReadSmall("manifest.json", MAX_MANIFEST_BYTES, strManifest)) {
                contents.issue = BUNDLE_BAD_MANIFEST;
                return contents;
            }
            contents.issue = ReadXapkManifest(strManifest, m_mapEntries, contents);
            if (contents.issue != BUNDLE_FINE) return contents;
        } else {
            // No manifest: the expansion files lie in their OBB folder.
            for (const std::string& strName : vecNames)
                if (StartsWith(strName, "Android/obb/") && EndsWithNoCase(strName, ".obb") &&
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
        unsigned long long nSize = SizeOf(strPart);
        if (nSize > MAX_PART_BYTES) contents.issue = BUNDLE_TOO_BIG;
        nTotal += nSize;
    }
    for (const BundleObb& obb : contents.vecObbs) {
        unsigned long long nSize = SizeOf(obb.strEntry);
        if (nSize > MAX_OBB_BYTES) contents.issue = BUNDLE_TOO_BIG;
        nTotal += nSize;
    }
    if (nTotal > MAX_TOTAL_BYTES) contents.issue = BUNDLE_TOO_BIG;
    return contents;
}

unsigned long long CBundleArchive::SizeOf(const std::string& strEntry) const {
    auto it = m_mapEntries.find(strEntry);
    return it == m_mapEntries.end() ? 0 : it->second.nSize;
}

BundleIssue CBundleArchive::Extract(const std::string& strEntry, const std::string& strFile, HANDLE hCancel) const {
    auto it = m_mapEntries.find(strEntry);
    if (it == m_mapEntries.end()) return BUNDLE_DAMAGED;
    CScopedFile file(::CreateFileA(strFile.c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL));
    if (!file) return BUNDLE_NO_ROOM;
    ZipRead read = m_zip.Read(it->second.place, it->second.nSize, [&file](const char* p, size_t n) {
        DWORD dwDone = 0;
        return ::WriteFile(file.Get(), p, static_cast<DWORD>(n), &dwDone, NULL) && dwDone == n;
    }, hCancel);
    if (read == ZIP_READ_OK) return BUNDLE_FINE;
    file.Reset();
    ::DeleteFileA(strFile.c_str());
    if (read == ZIP_READ_CANCELLED) return BUNDLE_CANCELLED;
    return read == ZIP_READ_SINK_FAILED ? BUNDLE_NO_ROOM : BUNDLE_DAMAGED;
}

bool CBundleArchive::ReadSmall(const std::string& strEntry, size_t nMaxBytes, std::string& strData) const {
    strData.clear();
    auto it = m_mapEntries.find(strEntry);
    return it != m_mapEntries.end() && m_zip.ReadWhole(it->second.place, nMaxBytes, strData) == ZIP_READ_OK;
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
    CScopedFind find(::FindFirstFileA((m_strPath + "*").c_str(), &data));
    if (find) {
        do {
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ::DeleteFileA((m_strPath + data.cFileName).c_str());
        } while (::FindNextFileA(find.Get(), &data));
    }
    ::RemoveDirectoryA(m_strPath.c_str());
}
