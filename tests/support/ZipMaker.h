// Builds zip archives in memory for the tests, with full control over the
// headers (so damaged and lying archives can be made too).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct ZipEntry {
    std::string strName;
    std::string strData;
    bool bDeflate = true;
    // When set, the size both headers declare for the uncompressed content,
    // whatever the content really is (the CRC stays that of strData).
    int64_t nDeclaredSize = -1;
};

// The archive's bytes; entries appear in the central directory in order.
std::string MakeZip(const std::vector<ZipEntry>& entries);
