// App bundles (.apks, .xapk, .apkm): zip archives that carry a package as a
// base and its splits, and for games expansion (OBB) files. This reads what
// a bundle holds and takes its parts out, with limits that hold against
// hostile archives: names that climb out of a folder, entries that inflate
// far beyond their size, more entries or bytes than any real bundle has.
#pragma once
#include <windows.h>
#include <map>
#include <string>
#include <vector>
#include "package/ZipReader.h"

enum BundleKind { BUNDLE_NONE, BUNDLE_APKS, BUNDLE_XAPK, BUNDLE_APKM };

// By the file name's extension; BUNDLE_NONE for a plain package or anything else.
BundleKind BundleKindOf(const std::string& strPath);
BundleKind BundleKindOf(const std::wstring& strPath);

// Why a bundle cannot be read or was not sent; the window words each.
enum BundleIssue {
    BUNDLE_FINE,
    BUNDLE_UNREADABLE,      // the file is gone, locked or not ours to read
    BUNDLE_NOT_ZIP,         // not a zip (older .apkm files were encrypted)
    BUNDLE_UNSAFE_NAME,     // an entry or an OBB path climbs out or names a drive
    BUNDLE_TOO_BIG,         // too many entries, an entry or all of them too large, a bomb
    BUNDLE_BAD_MANIFEST,    // manifest.json is not what an .xapk's must be
    BUNDLE_NO_PACKAGES,     // no package part in it
    BUNDLE_DAMAGED,         // an entry did not inflate to its size and CRC
    BUNDLE_NO_ROOM,         // the temporary folder could not take the parts
    BUNDLE_NO_BASE,         // no part is a base package
    BUNDLE_MIXED,           // parts of different packages or version codes
    BUNDLE_PART_UNREADABLE, // aapt could not read a part
    BUNDLE_NEEDS_NEWER_TV,  // the package's minimum SDK is above the TV's
    BUNDLE_TV_WITHOUT_SPLITS,  // the TV is older than Android 5.0
    BUNDLE_NO_CPU_MATCH,    // no CPU split suits the TV's ABIs
    BUNDLE_TV_NOT_READ,     // the TV did not say what it is
    BUNDLE_CANCELLED,       // stopped on request (the window closes, or time ran out)
    BUNDLE_TOO_SLOW,        // reading it for its details took longer than the window may wait
};

// An expansion file and the name it gets in /sdcard/Android/obb/<package>/.
struct BundleObb {
    std::string strEntry;
    std::string strName;
};

struct BundleContents {
    BundleIssue issue = BUNDLE_FINE;
    std::vector<std::string> vecParts;  // package parts' entry names, archive order
    std::vector<BundleObb> vecObbs;
    std::string strPackage;  // .xapk: the manifest's package_name
    int nMinSdk = 0;         // .xapk: the manifest's min_sdk_version, 0 when not given
};

class CBundleArchive {
public:
    CBundleArchive() = default;
    CBundleArchive(const CBundleArchive&) = delete;
    CBundleArchive& operator=(const CBundleArchive&) = delete;

    // Opens the bundle and checks every entry; the contents say what it holds
    // or why it is refused.
    BundleContents Open(const std::string& strPath, BundleKind kind);
    // Writes one entry (of those Open listed) to strFile, stopping at hCancel.
    // The entry must inflate to exactly its size and CRC; a failed write
    // leaves no file. BUNDLE_FINE on success.
    BundleIssue Extract(const std::string& strEntry, const std::string& strFile, HANDLE hCancel) const;
    // A small entry's bytes (manifest, icon), up to nMaxBytes.
    bool ReadSmall(const std::string& strEntry, size_t nMaxBytes, std::string& strData) const;
    unsigned long long SizeOf(const std::string& strEntry) const;  // 0 when not listed

private:
    mutable CZipReader m_zip;
    std::map<std::string, ZipEntry> m_mapEntries;  // every entry Open listed, by name
};

// A folder of Davrel's own under the temporary folder, removed with all it
// holds when this goes. Empty Path() when it could not be made.
class CScopedTempFolder {
public:
    CScopedTempFolder();
    ~CScopedTempFolder();
    CScopedTempFolder(const CScopedTempFolder&) = delete;
    CScopedTempFolder& operator=(const CScopedTempFolder&) = delete;
    const std::string& Path() const { return m_strPath; }  // with a trailing backslash

private:
    std::string m_strPath;
};
