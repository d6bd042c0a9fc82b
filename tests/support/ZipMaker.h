// Builds zip archives in memory, with control over the headers, so that
// damaged and lying archives can be made too.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct ZipEntry {
    std::string strName;
    std::string strData;
    bool bDeflate = true;
    // When set, the size both headers declare for the uncompressed content
    // (the CRC stays that of strData).
    int64_t nDeclaredSize = -1;
};

std::string MakeZip(const std::vector<ZipEntry>& entries);
