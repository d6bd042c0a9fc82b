// Zip archives made by the tests, with control over the headers, so that
// damaged and lying ones can be made too.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

struct ZipMember {
    std::string strName;
    std::string strData;
    bool bDeflate = true;
    int64_t nDeclaredSize = -1;  // when set, what the headers declare as the content's size
};

// Little-endian fields of 16 and 32 bits, in the order given.
std::string Fields(std::initializer_list<std::pair<uint32_t, int>> fields);
std::string MakeZip(const std::vector<ZipMember>& entries);
