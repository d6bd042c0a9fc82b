#include <gtest/gtest.h>
#include "tools/FileSize.h"

namespace {

TEST(FileSizeTest, WritesThreeDigitsLikeTheCRuntime) {
    const struct { unsigned long long n; const char* pText; } CASES[] = {
        {500, "500字节"}, {1000, "1.e+003字节"}, {1024, "1.KB"}, {1536, "1.5KB"},
        {10240, "10.KB"}, {1047552, "1.02e+003KB"}, {2621440, "2.5MB"}, {3292529, "3.14MB"},
        {129394278, "123MB"}, {0, "0.字节"},
        // Ties round up, and a carry moves into the next power of ten.
        {1152, "1.13KB"}, {102912, "101KB"}, {1023488, "1.e+003KB"}, {10235, "10.KB"},
        // Sizes of 4 GiB and more are not taken modulo 2^32.
        {4294967296ULL + 1536, "4.1e+003MB"}, {5368709120ULL, "5.12e+003MB"},
    };
    for (const auto& c : CASES) EXPECT_EQ(c.pText, FormatFileSize(c.n)) << c.n;
}

}  // namespace
