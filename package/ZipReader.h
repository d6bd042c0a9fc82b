// Reading zip archives (packages and bundles) with minizip: entries listed,
// found by name and read whole, each read held to the size the archive
// declares and checked against its CRC. Hostile archives are expected: an
// entry that inflates beyond its size, fails its CRC or ends short is damaged.
#pragma once
#include <windows.h>
#include <functional>
#include <string>
#include "framework/ScopedWin.h"

// minizip's unzFile, closed with unzClose.
struct ZipFileTraits {
    typedef void* Type;
    static void* Invalid() { return nullptr; }
    static void Close(void* zf);
};

// Where an entry lies, to come back to it without a search.
struct ZipPlace {
    unsigned long long nDirectoryOffset = 0;
    unsigned long long nFileNumber = 0;
};

struct ZipEntry {
    std::string strName;     // up to its first zero byte, and no more than MAX_NAME bytes
    size_t nNameLength = 0;  // as stored: a name that differs from strName's size is cut or holds a zero
    unsigned long long nSize = 0;
    unsigned long long nCompressedSize = 0;
    ZipPlace place;
};

enum ZipStep { ZIP_ENTRY, ZIP_END, ZIP_ERROR };

enum ZipRead {
    ZIP_READ_OK,
    ZIP_READ_TOO_BIG,      // the entry declares more than the caller takes
    ZIP_READ_DAMAGED,      // not found, unreadable, beyond or short of its size, or a CRC error
    ZIP_READ_SINK_FAILED,  // the caller's sink refused the bytes (a full disk)
    ZIP_READ_CANCELLED,
};

class CZipReader {
public:
    static const size_t MAX_NAME = 1024;

    // False when the file does not open or is no zip; an archive opened
    // before is closed first.
    bool Open(const std::string& strPath);
    bool IsOpen() const { return m_zip.IsValid(); }
    // The entry count the archive's end record declares; false when unreadable.
    bool DeclaredCount(unsigned long long& nCount) const;

    // Walks the central directory in its order.
    ZipStep First();
    ZipStep Next();
    bool Current(ZipEntry& entry) const;
    // The first entry, in directory order, whose name equals strName with
    // ASCII letters folded.
    bool Locate(const std::string& strName, ZipEntry& entry);

    // Hands the entry's bytes to sink in pieces, up to its declared size,
    // and checks the CRC at the end. hCancel (may be NULL) is looked at
    // before each piece.
    ZipRead Read(const ZipPlace& place, unsigned long long nMaxBytes,
                 const std::function<bool(const char*, size_t)>& sink, HANDLE hCancel = NULL);
    // The whole entry in strData (cleared unless ZIP_READ_OK).
    ZipRead ReadWhole(const ZipPlace& place, size_t nMaxBytes, std::string& strData);

private:
    CScopedHandleT<ZipFileTraits> m_zip;
};
