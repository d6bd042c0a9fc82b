#include <gtest/gtest.h>
#include "tools/FileSize.h"

namespace {

TEST(FileSizeTest, WritesThreeDigitsLikeTheCRuntime) {
    EXPECT_EQ("500字节", FormatFileSize(500));
    EXPECT_EQ("1.e+003字节", FormatFileSize(1000));
    EXPECT_EQ("1.KB", FormatFileSize(1024));
    EXPECT_EQ("1.5KB", FormatFileSize(1536));
    EXPECT_EQ("10.KB", FormatFileSize(10240));
    EXPECT_EQ("1.02e+003KB", FormatFileSize(1047552));
    EXPECT_EQ("2.5MB", FormatFileSize(2621440));
    EXPECT_EQ("3.14MB", FormatFileSize(3292529));
    EXPECT_EQ("123MB", FormatFileSize(129394278));
    EXPECT_EQ("0.字节", FormatFileSize(0));
    EXPECT_EQ("1.02e+003字节", FormatFileSize(1023));
}

TEST(FileSizeTest, RoundsHalfUpAndCarriesIntoTheNextPower) {
    EXPECT_EQ("1.13KB", FormatFileSize(1152));            // 1.125
    EXPECT_EQ("101KB", FormatFileSize(102912));           // 100.5
    EXPECT_EQ("1.e+003KB", FormatFileSize(1023488));      // 999.5
    EXPECT_EQ("9.99KB", FormatFileSize(10229));           // 9.989...
    EXPECT_EQ("10.KB", FormatFileSize(10235));            // 9.995... rounds to 10.0
}

TEST(FileSizeTest, CountsSizesBeyondFourGigabytes) {
    EXPECT_EQ("4.1e+003MB", FormatFileSize(4294967296ULL + 1536));
    EXPECT_EQ("5.12e+003MB", FormatFileSize(5368709120ULL));
}

}  // namespace
