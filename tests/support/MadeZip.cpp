#include "support/MadeZip.h"

#include <zlib.h>

std::string Fields(std::initializer_list<std::pair<uint32_t, int>> fields) {
    std::string s;
    for (const auto& f : fields)
        for (int i = 0; i < f.second; ++i) s += char((f.first >> (8 * i)) & 0xFF);
    return s;
}

namespace {

// zlib's own format is a 2-byte header, the raw deflate data and a 4-byte checksum.
std::string RawDeflate(const std::string& strData) {
    uLongf nLength = compressBound(uLong(strData.size()));
    std::string strOut(nLength, '\0');
    compress2(reinterpret_cast<Bytef*>(&strOut[0]), &nLength, reinterpret_cast<const Bytef*>(strData.data()),
              uLong(strData.size()), 9);
    return strOut.substr(2, nLength - 6);
}

}  // namespace

std::string MakeZip(const std::vector<ZipMember>& entries) {
    std::string strBody, strCentral;
    for (const ZipMember& e : entries) {
        const std::string strStored = e.bDeflate ? RawDeflate(e.strData) : e.strData;
        const uint32_t nCrc = crc32(0, reinterpret_cast<const Bytef*>(e.strData.data()), uInt(e.strData.size()));
        const uint32_t nSize = e.nDeclaredSize >= 0 ? uint32_t(e.nDeclaredSize) : uint32_t(e.strData.size());
        // Version 20, no flags, method, 1980-01-01, CRC, sizes, name length, no extra field.
        const std::string strCommon = Fields({{20, 2}, {0, 2}, {e.bDeflate ? 8u : 0u, 2}, {0, 2}, {0x21, 2},
                                              {nCrc, 4}, {uint32_t(strStored.size()), 4}, {nSize, 4},
                                              {uint32_t(e.strName.size()), 2}, {0, 2}});
        strCentral += Fields({{0x02014b50, 4}, {20, 2}}) + strCommon +
                      Fields({{0, 2}, {0, 2}, {0, 2}, {0, 4}, {uint32_t(strBody.size()), 4}}) + e.strName;
        strBody += Fields({{0x04034b50, 4}}) + strCommon + e.strName + strStored;
    }
    const uint32_t nCount = uint32_t(entries.size());
    return strBody + strCentral +
           Fields({{0x06054b50, 4}, {0, 2}, {0, 2}, {nCount, 2}, {nCount, 2}, {uint32_t(strCentral.size()), 4},
                   {uint32_t(strBody.size()), 4}, {0, 2}});
}
