#include "support/ZipMaker.h"

#include <zlib.h>

namespace {

void Put16(std::string& s, uint32_t v) {
    s += char(v & 0xFF);
    s += char((v >> 8) & 0xFF);
}
void Put32(std::string& s, uint32_t v) {
    Put16(s, v & 0xFFFF);
    Put16(s, v >> 16);
}

std::string RawDeflate(const std::string& strData) {
    z_stream zs = {};
    deflateInit2(&zs, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string strOut(deflateBound(&zs, strData.size()), '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(strData.data()));
    zs.avail_in = static_cast<uInt>(strData.size());
    zs.next_out = reinterpret_cast<Bytef*>(&strOut[0]);
    zs.avail_out = static_cast<uInt>(strOut.size());
    deflate(&zs, Z_FINISH);
    strOut.resize(zs.total_out);
    deflateEnd(&zs);
    return strOut;
}

}  // namespace

std::string MakeZip(const std::vector<ZipEntry>& entries) {
    std::string strBody, strCentral;
    for (const ZipEntry& e : entries) {
        const std::string strStored = e.bDeflate ? RawDeflate(e.strData) : e.strData;
        const uint32_t nCrc = crc32(0, reinterpret_cast<const Bytef*>(e.strData.data()),
                                    static_cast<uInt>(e.strData.size()));
        const uint32_t nSize = e.nDeclaredSize >= 0 ? uint32_t(e.nDeclaredSize) : uint32_t(e.strData.size());
        const uint32_t nOffset = uint32_t(strBody.size());
        auto common = [&](std::string& s) {
            Put16(s, 20);                     // version needed
            Put16(s, 0);                      // flags
            Put16(s, e.bDeflate ? 8 : 0);     // method
            Put16(s, 0);                      // time
            Put16(s, 0x21);                   // date 1980-01-01
            Put32(s, nCrc);
            Put32(s, uint32_t(strStored.size()));
            Put32(s, nSize);
            Put16(s, uint32_t(e.strName.size()));
            Put16(s, 0);                      // extra length
        };
        Put32(strBody, 0x04034b50);
        common(strBody);
        strBody += e.strName;
        strBody += strStored;

        Put32(strCentral, 0x02014b50);
        Put16(strCentral, 20);                // version made by
        common(strCentral);
        Put16(strCentral, 0);                 // comment length
        Put16(strCentral, 0);                 // disk
        Put16(strCentral, 0);                 // internal attributes
        Put32(strCentral, 0);                 // external attributes
        Put32(strCentral, nOffset);
        strCentral += e.strName;
    }
    std::string strZip = strBody + strCentral;
    Put32(strZip, 0x06054b50);
    Put16(strZip, 0);
    Put16(strZip, 0);
    Put16(strZip, uint32_t(entries.size()));
    Put16(strZip, uint32_t(entries.size()));
    Put32(strZip, uint32_t(strCentral.size()));
    Put32(strZip, uint32_t(strBody.size()));
    Put16(strZip, 0);
    return strZip;
}
