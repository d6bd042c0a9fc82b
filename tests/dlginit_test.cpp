// The dialog framework's reading of a template's initialisation data.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include "framework/DlgInit.h"
#include "resources/resource.h"

namespace {
std::string Record(WORD nId, WORD nMessage, const std::string& strData) {
    std::string strRecord(8, '\0');
    DWORD nLength = static_cast<DWORD>(strData.size());
    memcpy(&strRecord[0], &nId, 2);
    memcpy(&strRecord[2], &nMessage, 2);
    memcpy(&strRecord[4], &nLength, 4);
    return strRecord + strData;
}

std::vector<DlgInitItem> Parse(const std::string& strBlock) {
    return ParseDlgInit(reinterpret_cast<const BYTE*>(strBlock.data()), strBlock.size());
}
}  // namespace

TEST(DlgInit, ReadsRecordsUpToTheZeroId) {
    std::string strBlock = Record(1000, 0x0403, std::string("SD\xBF\xA8\0", 5)) +
                           Record(1000, 0x0403, std::string("\xB5\xE7\xCA\xD3\0", 5)) + std::string(2, '\0') +
                           Record(1001, 0x0403, std::string("after the end\0", 14));
    std::vector<DlgInitItem> items = Parse(strBlock);
    ASSERT_EQ(2u, items.size());
    EXPECT_EQ(1000, items[0].nControlId);
    EXPECT_EQ(0x0403, items[0].nMessage);
    EXPECT_EQ("SD\xBF\xA8", items[0].strData);
    EXPECT_EQ("\xB5\xE7\xCA\xD3", items[1].strData);
}

TEST(DlgInit, DamagedBlocksKeepOnlyWholeRecords) {
    std::string strGood = Record(7, 0x0401, "no terminator");
    EXPECT_EQ("no terminator", Parse(strGood)[0].strData);
    // A length running past the end, a header cut short, nothing at all.
    std::string strLong = Record(8, 0x0403, "abc");
    strLong[4] = 100;
    EXPECT_EQ(1u, Parse(strGood + strLong).size());
    EXPECT_EQ(1u, Parse(strGood + std::string("\x09\x00\x03", 3)).size());
    EXPECT_TRUE(Parse(std::string()).empty());
    EXPECT_TRUE(ParseDlgInit(NULL, 10).empty());
}
