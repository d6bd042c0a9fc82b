#include "package/ManifestHead.h"

#include <cstdint>
#include <vector>
#include "package/ZipReader.h"

namespace {

// No package's manifest comes near this.
const size_t MAX_MANIFEST_BYTES = 4u << 20;

const uint16_t XML_FILE = 0x0003, STRING_POOL = 0x0001, RESOURCE_MAP = 0x0180, START_ELEMENT = 0x0102,
               END_ELEMENT = 0x0103;
const uint32_t UTF8_POOL = 0x100;
const uint32_t NO_INDEX = 0xFFFFFFFF;
const uint8_t TYPE_STRING = 0x03, TYPE_FIRST_INT = 0x10, TYPE_LAST_INT = 0x1f;
const uint32_t ATTR_VERSION_CODE = 0x0101021B, ATTR_MIN_SDK = 0x0101020C;  // android:versionCode, minSdkVersion
// Characters that stand for any character outside printable ASCII.
const char NOT_PLAIN = '\x01';

// Little-endian reads that fail, rather than read, past the end.
class CBytes {
public:
    explicit CBytes(const std::string& strData) : m_str(strData) {}
    size_t Size() const { return m_str.size(); }
    bool Has(size_t nAt, size_t nCount) const { return nAt <= m_str.size() && nCount <= m_str.size() - nAt; }
    bool U8(size_t nAt, uint8_t& n) const {
        if (!Has(nAt, 1)) return false;
        n = static_cast<uint8_t>(m_str[nAt]);
        return true;
    }
    bool U16(size_t nAt, uint16_t& n) const {
        uint8_t a, b;
        if (!U8(nAt, a) || !U8(nAt + 1, b)) return false;
        n = static_cast<uint16_t>(a | (b << 8));
        return true;
    }
    bool U32(size_t nAt, uint32_t& n) const {
        uint16_t a, b;
        if (!U16(nAt, a) || !U16(nAt + 2, b)) return false;
        n = a | (static_cast<uint32_t>(b) << 16);
        return true;
    }

private:
    const std::string& m_str;
};

struct StringPool {
    size_t nEnd = 0;      // one past its last
    size_t nOffsets = 0;  // where the offsets table lies
    size_t nStrings = 0;  // where the characters begin
    uint32_t nCount = 0;
    bool bUtf8 = false;
    bool bFound = false;
};

bool ReadPool(const CBytes& bytes, size_t nChunk, uint16_t nHeaderSize, uint32_t nChunkSize, StringPool& pool) {
    uint32_t nCount, nFlags, nStringsStart;
    if (nHeaderSize < 28 || !bytes.U32(nChunk + 8, nCount) || !bytes.U32(nChunk + 16, nFlags) ||
        !bytes.U32(nChunk + 20, nStringsStart) || nStringsStart > nChunkSize)
        return false;
    pool.nEnd = nChunk + nChunkSize;
    pool.nOffsets = nChunk + nHeaderSize;
    pool.nStrings = nChunk + nStringsStart;
    pool.nCount = nCount;
    pool.bUtf8 = (nFlags & UTF8_POOL) != 0;
    pool.bFound = true;
    // The offsets table lies within the chunk, before the characters.
    return nCount <= (nChunkSize - nHeaderSize) / 4 && pool.nOffsets + 4ull * nCount <= pool.nStrings &&
           pool.nStrings <= pool.nEnd;
}

// String nIndex of the pool, with every character outside printable ASCII
// as NOT_PLAIN; false when it lies outside the pool.
bool StringAt(const CBytes& bytes, const StringPool& pool, uint32_t nIndex, std::string& strOut) {
    strOut.clear();
    uint32_t nOffset;
    if (!pool.bFound || nIndex >= pool.nCount || !bytes.U32(pool.nOffsets + 4ull * nIndex, nOffset)) return false;
    if (nOffset > pool.nEnd - pool.nStrings) return false;
    size_t nAt = pool.nStrings + nOffset;
    size_t nLength = 0, nUnit = 1;
    if (pool.bUtf8) {
        // The length in UTF-16 units, then in bytes, each one or two bytes long.
        for (int i = 0; i < 2; ++i) {
            uint8_t a, b = 0;
            if (!bytes.U8(nAt++, a)) return false;
            if ((a & 0x80) && !bytes.U8(nAt++, b)) return false;
            nLength = (a & 0x80) ? (((a & 0x7F) << 8) | b) : a;
        }
    } else {
        uint16_t a, b = 0;
        if (!bytes.U16(nAt, a)) return false;
        nAt += 2;
        if ((a & 0x8000) && !bytes.U16(nAt, b)) return false;
        if (a & 0x8000) nAt += 2;
        nLength = (a & 0x8000) ? ((static_cast<size_t>(a & 0x7FFF) << 16) | b) : a;
        nUnit = 2;
    }
    if (nAt > pool.nEnd || nLength > (pool.nEnd - nAt) / nUnit) return false;
    strOut.reserve(nLength);
    for (size_t i = 0; i < nLength; ++i) {
        uint16_t c = 0;
        uint8_t b = 0;
        if (nUnit == 2) bytes.U16(nAt + 2 * i, c);
        else if (bytes.U8(nAt + i, b)) c = b;
        strOut += (c > 0x20 && c < 0x7F) ? static_cast<char>(c) : NOT_PLAIN;
    }
    return true;
}

// A value aapt prints unchanged: printable ASCII without quotes or backslashes.
bool IsPlain(const std::string& strValue) {
    if (strValue.empty()) return false;
    for (char c : strValue)
        if (c == NOT_PLAIN || c == '\'' || c == '\\') return false;
    return true;
}

// A plain string attribute's value: typed as a string, the same string as its raw text.
bool StringValue(const CBytes& bytes, const StringPool& pool, uint32_t nRaw, uint8_t nType, uint32_t nData,
                 std::string& strValue) {
    return nType == TYPE_STRING && nRaw == nData && StringAt(bytes, pool, nData, strValue) && IsPlain(strValue);
}

// An element's name and where its attributes lie; false when they do not lie
// within its chunk.
struct Element {
    std::string strName;
    size_t nAttrs = 0;  // the first attribute
    size_t nAttrSize = 0;
    uint16_t nAttrCount = 0;
};

bool ReadElement(const CBytes& bytes, size_t nChunk, uint16_t nHeaderSize, uint32_t nChunkSize,
                 const StringPool& pool, Element& element) {
    const size_t nExt = nChunk + nHeaderSize;
    uint32_t nName;
    uint16_t nAttrStart, nAttrSize, nAttrCount;
    if (!bytes.U32(nExt + 4, nName) || !bytes.U16(nExt + 8, nAttrStart) || !bytes.U16(nExt + 10, nAttrSize) ||
        !bytes.U16(nExt + 12, nAttrCount) || nAttrSize < 20 || !StringAt(bytes, pool, nName, element.strName))
        return false;
    if (nExt + nAttrStart + static_cast<unsigned long long>(nAttrSize) * nAttrCount > nChunk + nChunkSize) return false;
    element.nAttrs = nExt + nAttrStart;
    element.nAttrSize = nAttrSize;
    element.nAttrCount = nAttrCount;
    return true;
}

struct Attribute {
    uint32_t nNs, nName, nRaw, nData;
    uint8_t nType;
    uint32_t nResourceId;  // 0 when its name has none
};

bool ReadAttribute(const CBytes& bytes, const Element& element, uint16_t i,
                   const std::vector<uint32_t>& vecResourceIds, Attribute& attr) {
    const size_t nAt = element.nAttrs + static_cast<size_t>(i) * element.nAttrSize;
    if (!bytes.U32(nAt, attr.nNs) || !bytes.U32(nAt + 4, attr.nName) || !bytes.U32(nAt + 8, attr.nRaw) ||
        !bytes.U8(nAt + 15, attr.nType) || !bytes.U32(nAt + 16, attr.nData))
        return false;
    attr.nResourceId = attr.nName < vecResourceIds.size() ? vecResourceIds[attr.nName] : 0;
    return true;
}

// <uses-sdk>'s minSdkVersion, where it is a number; false for a codename or
// a reference, which aapt resolves its own way.
bool ReadUsesSdk(const CBytes& bytes, const Element& element, const std::vector<uint32_t>& vecResourceIds,
                 ManifestHead& head) {
    bool bSeen = false;
    for (uint16_t i = 0; i < element.nAttrCount; ++i) {
        Attribute attr;
        if (!ReadAttribute(bytes, element, i, vecResourceIds, attr)) return false;
        if (attr.nResourceId != ATTR_MIN_SDK) continue;
        if (bSeen || attr.nType < TYPE_FIRST_INT || attr.nType > TYPE_LAST_INT) return false;
        bSeen = true;
        const int32_t nSdk = static_cast<int32_t>(attr.nData);
        head.nMinSdk = nSdk > 0 ? nSdk : 0;
    }
    return true;
}

// The <manifest> element's attributes; false at anything unusual.
bool ReadManifestElement(const CBytes& bytes, const Element& element, const StringPool& pool,
                         const std::vector<uint32_t>& vecResourceIds, ManifestHead& head) {
    if (element.strName != "manifest") return false;
    std::string strName;
    bool bPackage = false, bSplit = false, bVersion = false;
    for (uint16_t i = 0; i < element.nAttrCount; ++i) {
        Attribute a;
        if (!ReadAttribute(bytes, element, i, vecResourceIds, a)) return false;
        if (a.nResourceId == ATTR_VERSION_CODE) {
            if (bVersion || a.nType < TYPE_FIRST_INT || a.nType > TYPE_LAST_INT) return false;
            bVersion = true;
            const int32_t nCode = static_cast<int32_t>(a.nData);
            head.strVersionCode = nCode > 0 ? std::to_string(nCode) : std::string();
            continue;
        }
        if (!StringAt(bytes, pool, a.nName, strName)) return false;
        // An unmapped "versionCode" would be read differently by other readers.
        if (strName == "versionCode") return false;
        if (a.nNs != NO_INDEX || (strName != "package" && strName != "split")) continue;
        bool& bSeen = strName == "package" ? bPackage : bSplit;
        std::string& strValue = strName == "package" ? head.strPackage : head.strSplit;
        if (bSeen || !StringValue(bytes, pool, a.nRaw, a.nType, a.nData, strValue)) return false;
        bSeen = true;
    }
    return bPackage;
}

}  // namespace

ManifestHead ReadManifestHead(const std::string& strXml) {
    ManifestHead head;
    const CBytes bytes(strXml);
    uint16_t nType, nHeaderSize;
    uint32_t nFileSize;
    if (!bytes.U16(0, nType) || !bytes.U16(2, nHeaderSize) || !bytes.U32(4, nFileSize) || nType != XML_FILE ||
        nHeaderSize < 8 || nFileSize > bytes.Size())
        return ManifestHead();
    StringPool pool;
    std::vector<uint32_t> vecResourceIds;
    int nDepth = 0;
    bool bManifestSeen = false, bUsesSdkSeen = false;
    size_t nChunk = nHeaderSize;
    while (bytes.Has(nChunk, 8) && nChunk < nFileSize) {
        uint32_t nChunkSize = 0;
        bytes.U16(nChunk, nType);
        bytes.U16(nChunk + 2, nHeaderSize);
        bytes.U32(nChunk + 4, nChunkSize);
        if (nHeaderSize < 8 || nChunkSize < nHeaderSize || nChunkSize > nFileSize - nChunk) return ManifestHead();
        if (nType == STRING_POOL) {
            if (pool.bFound || !ReadPool(bytes, nChunk, nHeaderSize, nChunkSize, pool)) return ManifestHead();
        } else if (nType == RESOURCE_MAP) {
            for (size_t nAt = nChunk + nHeaderSize; nAt + 4 <= nChunk + nChunkSize; nAt += 4) {
                uint32_t nId = 0;
                bytes.U32(nAt, nId);
                vecResourceIds.push_back(nId);
            }
        } else if (nType == START_ELEMENT) {
            // The first element must be <manifest>; aapt reads <uses-sdk> only right inside it.
            Element element;
            if (!ReadElement(bytes, nChunk, nHeaderSize, nChunkSize, pool, element)) return ManifestHead();
            ++nDepth;
            if (nDepth == 1 && (bManifestSeen || !ReadManifestElement(bytes, element, pool, vecResourceIds, head)))
                return ManifestHead();
            bManifestSeen = true;
            if (nDepth == 2 && element.strName == "uses-sdk") {
                if (bUsesSdkSeen || !ReadUsesSdk(bytes, element, vecResourceIds, head)) return ManifestHead();
                bUsesSdkSeen = true;
            }
        } else if (nType == END_ELEMENT) {
            if (nDepth == 0) return ManifestHead();
            --nDepth;
        }
        nChunk += nChunkSize;
    }
    head.bRead = bManifestSeen && nDepth == 0;
    if (!head.bRead) head = ManifestHead();
    return head;
}

ManifestHead ReadPackageManifestHead(const std::string& strPackageFile) {
    CZipReader zip;
    ZipEntry entry;
    std::string strXml;
    // aapt takes the entry by its exact name.
    if (!zip.Open(strPackageFile) || !zip.Locate("AndroidManifest.xml", entry) ||
        entry.strName != "AndroidManifest.xml" || entry.nNameLength != entry.strName.size() ||
        zip.ReadWhole(entry.place, MAX_MANIFEST_BYTES, strXml) != ZIP_READ_OK)
        return ManifestHead();
    return ReadManifestHead(strXml);
}
