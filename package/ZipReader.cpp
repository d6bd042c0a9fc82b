#include "package/ZipReader.h"

#include <algorithm>
#include <cstring>
#include <vector>
#include "framework/StrUtil.h"
#include <unzip.h>
#include <iowin32.h>

void ZipFileTraits::Close(void* zf) {
    unzClose(static_cast<unzFile>(zf));
}

namespace {

// The entry opened for reading, closed again on every path.
class CCurrentEntry {
public:
    explicit CCurrentEntry(unzFile zf) : m_zf(zf), m_bOpen(unzOpenCurrentFile(zf) == UNZ_OK) {}
    ~CCurrentEntry() { Close(); }
    CCurrentEntry(const CCurrentEntry&) = delete;
    CCurrentEntry& operator=(const CCurrentEntry&) = delete;
    bool IsOpen() const { return m_bOpen; }
    // False on a CRC error; minizip checks the CRC only once the declared
    // size has been read in full.
    bool Close() {
        if (!m_bOpen) return true;
        m_bOpen = false;
        return unzCloseCurrentFile(m_zf) == UNZ_OK;
    }

private:
    unzFile m_zf;
    bool m_bOpen;
};

// minizip reads the central directory a few bytes at a time, a seek and a
// read per field; under Wine each is a round trip to the system, some 50 ms
// for a package of 900 entries. Reads go through a 64 KB window instead.
const zlib_filefunc64_def& Win32Files() {
    static const zlib_filefunc64_def s_files = [] {
        zlib_filefunc64_def files;
        fill_win32_filefunc64A(&files);
        return files;
    }();
    return s_files;
}

struct BufferedFile {
    voidpf inner;
    ZPOS64_T nPos = 0;        // where the next read starts
    ZPOS64_T nWindowAt = 0;   // the file offset of window[0]
    std::vector<char> window;
};
const size_t WINDOW_BYTES = 64 * 1024;

voidpf ZCALLBACK OpenBuffered(voidpf, const void* filename, int mode) {
    voidpf inner = Win32Files().zopen64_file(Win32Files().opaque, filename, mode);
    if (!inner) return NULL;
    BufferedFile* pFile = new BufferedFile;
    pFile->inner = inner;
    return pFile;
}

uLong ZCALLBACK ReadBuffered(voidpf, voidpf stream, void* buf, uLong size) {
    BufferedFile* p = static_cast<BufferedFile*>(stream);
    const zlib_filefunc64_def& files = Win32Files();
    char* pOut = static_cast<char*>(buf);
    uLong nDone = 0;
    while (nDone < size) {
        if (p->nPos >= p->nWindowAt && p->nPos < p->nWindowAt + p->window.size()) {
            size_t nAt = static_cast<size_t>(p->nPos - p->nWindowAt);
            size_t n = std::min<size_t>(size - nDone, p->window.size() - nAt);
            memcpy(pOut + nDone, p->window.data() + nAt, n);
            nDone += static_cast<uLong>(n);
            p->nPos += n;
            continue;
        }
        if (files.zseek64_file(files.opaque, p->inner, p->nPos, ZLIB_FILEFUNC_SEEK_SET) != 0) break;
        if (size - nDone >= WINDOW_BYTES) {  // large reads (entry data) go straight through
            uLong n = files.zread_file(files.opaque, p->inner, pOut + nDone, size - nDone);
            nDone += n;
            p->nPos += n;
            break;
        }
        p->window.resize(WINDOW_BYTES);
        uLong n = files.zread_file(files.opaque, p->inner, p->window.data(), WINDOW_BYTES);
        p->window.resize(n);
        p->nWindowAt = p->nPos;
        if (n == 0) break;
    }
    return nDone;
}

ZPOS64_T ZCALLBACK TellBuffered(voidpf, voidpf stream) {
    return static_cast<BufferedFile*>(stream)->nPos;
}

long ZCALLBACK SeekBuffered(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    BufferedFile* p = static_cast<BufferedFile*>(stream);
    const zlib_filefunc64_def& files = Win32Files();
    if (origin == ZLIB_FILEFUNC_SEEK_SET) {
        p->nPos = offset;
    } else if (origin == ZLIB_FILEFUNC_SEEK_CUR) {
        p->nPos += offset;
    } else {
        if (files.zseek64_file(files.opaque, p->inner, offset, origin) != 0) return -1;
        p->nPos = files.ztell64_file(files.opaque, p->inner);
    }
    return 0;
}

int ZCALLBACK CloseBuffered(voidpf, voidpf stream) {
    BufferedFile* p = static_cast<BufferedFile*>(stream);
    int nResult = Win32Files().zclose_file(Win32Files().opaque, p->inner);
    delete p;
    return nResult;
}

int ZCALLBACK ErrorBuffered(voidpf, voidpf stream) {
    return Win32Files().zerror_file(Win32Files().opaque, static_cast<BufferedFile*>(stream)->inner);
}

ZipStep StepOf(int err) {
    return err == UNZ_OK ? ZIP_ENTRY : err == UNZ_END_OF_LIST_OF_FILE ? ZIP_END : ZIP_ERROR;
}

}  // namespace

bool CZipReader::Open(const std::string& strPath) {
    m_zip.Reset();
    // Read access to an existing file; others may read it meanwhile.
    zlib_filefunc64_def fileFuncs = {};
    fileFuncs.zopen64_file = OpenBuffered;
    fileFuncs.zread_file = ReadBuffered;
    fileFuncs.ztell64_file = TellBuffered;
    fileFuncs.zseek64_file = SeekBuffered;
    fileFuncs.zclose_file = CloseBuffered;
    fileFuncs.zerror_file = ErrorBuffered;
    m_zip.Reset(unzOpen2_64(strPath.c_str(), &fileFuncs));
    return m_zip.IsValid();
}

bool CZipReader::DeclaredCount(unsigned long long& nCount) const {
    unz_global_info64 global = {};
    if (!m_zip || unzGetGlobalInfo64(m_zip.Get(), &global) != UNZ_OK) return false;
    nCount = global.number_entry;
    return true;
}

ZipStep CZipReader::First() {
    return m_zip ? StepOf(unzGoToFirstFile(m_zip.Get())) : ZIP_ERROR;
}

ZipStep CZipReader::Next() {
    return m_zip ? StepOf(unzGoToNextFile(m_zip.Get())) : ZIP_ERROR;
}

bool CZipReader::Current(ZipEntry& entry) const {
    if (!m_zip) return false;
    unz_file_info64 info;
    // One byte more than minizip is told of: it writes no terminator into a
    // name that fills the buffer, so one always stays.
    char szName[MAX_NAME + 1] = {0};
    if (unzGetCurrentFileInfo64(m_zip.Get(), &info, szName, MAX_NAME, NULL, 0, NULL, 0) != UNZ_OK) return false;
    unz64_file_pos pos;
    if (unzGetFilePos64(m_zip.Get(), &pos) != UNZ_OK) return false;
    entry.strName = szName;
    entry.nNameLength = info.size_filename;
    entry.nSize = info.uncompressed_size;
    entry.nCompressedSize = info.compressed_size;
    entry.place.nDirectoryOffset = pos.pos_in_zip_directory;
    entry.place.nFileNumber = pos.num_of_file;
    return true;
}

bool CZipReader::Locate(const std::string& strName, ZipEntry& entry) {
    if (strName.empty()) return false;
    for (ZipStep step = First(); step == ZIP_ENTRY; step = Next()) {
        if (!Current(entry)) return false;
        // Lengths first: a longer stored name is only partly read.
        if (entry.nNameLength == strName.size() && EqualsNoCase(entry.strName, strName.c_str())) return true;
    }
    return false;
}

ZipRead CZipReader::Read(const ZipPlace& place, unsigned long long nMaxBytes,
                         const std::function<bool(const char*, size_t)>& sink, HANDLE hCancel) {
    if (!m_zip) return ZIP_READ_DAMAGED;
    unzFile zf = m_zip.Get();
    unz64_file_pos pos;
    pos.pos_in_zip_directory = place.nDirectoryOffset;
    pos.num_of_file = place.nFileNumber;
    unz_file_info64 info;
    if (unzGoToFilePos64(zf, &pos) != UNZ_OK || unzGetCurrentFileInfo64(zf, &info, NULL, 0, NULL, 0, NULL, 0) != UNZ_OK)
        return ZIP_READ_DAMAGED;
    if (info.uncompressed_size > nMaxBytes) return ZIP_READ_TOO_BIG;
    std::vector<char> buffer(256 * 1024);
    CCurrentEntry current(zf);
    if (!current.IsOpen()) return ZIP_READ_DAMAGED;
    unsigned long long nDone = 0;
    for (;;) {
        if (hCancel && ::WaitForSingleObject(hCancel, 0) == WAIT_OBJECT_0) return ZIP_READ_CANCELLED;
        int nRead = unzReadCurrentFile(zf, buffer.data(), static_cast<unsigned>(buffer.size()));
        if (nRead < 0) return ZIP_READ_DAMAGED;
        if (nRead == 0) break;
        // More than the entry declared: a bomb that lied about its size.
        nDone += static_cast<unsigned long long>(nRead);
        if (nDone > info.uncompressed_size) return ZIP_READ_DAMAGED;
        if (!sink(buffer.data(), static_cast<size_t>(nRead))) return ZIP_READ_SINK_FAILED;
    }
    if (!current.Close() || nDone != info.uncompressed_size) return ZIP_READ_DAMAGED;
    return ZIP_READ_OK;
}

ZipRead CZipReader::ReadWhole(const ZipPlace& place, size_t nMaxBytes, std::string& strData) {
    strData.clear();
    ZipRead read = Read(place, nMaxBytes, [&strData](const char* p, size_t n) {
        strData.append(p, n);
        return true;
    });
    if (read != ZIP_READ_OK) strData.clear();
    return read;
}
