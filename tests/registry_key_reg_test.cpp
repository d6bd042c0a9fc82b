// CRegistryKey against the real registry, below a test key of its own.
#include <gtest/gtest.h>

#include <string>

#include "shell/RegistryKey.h"
#include "support/RegTestUtil.h"

namespace {

const char TEST_ROOT[] = "Software\\DavrelTest\\RegistryKey";

class RegistryKeyTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegRemove(HKEY_CURRENT_USER, TEST_ROOT);
        ASSERT_EQ(ERROR_SUCCESS, m_key.Create(HKEY_CURRENT_USER, TEST_ROOT));
    }
    void TearDown() override {
        m_key.Close();
        RegRemove(HKEY_CURRENT_USER, TEST_ROOT);
    }

    // Reads a value through a 16-character buffer; returns the code, the text
    // and the count on exit.
    LONG Read(const char* pszName, std::string* pText, ULONG* pnCount) {
        char szBuffer[32];
        memset(szBuffer, 'x', sizeof(szBuffer));
        *pnCount = 16;
        LONG lResult = m_key.ReadString(pszName, szBuffer, pnCount);
        *pText = lResult == ERROR_SUCCESS ? std::string(szBuffer) : std::string();
        return lResult;
    }

    CRegistryKey m_key;
};

TEST_F(RegistryKeyTest, ReadStringTakesOnlyTerminatedTextThatFits) {
    RegPutText(HKEY_CURRENT_USER, TEST_ROOT, "full", std::string(15, 'a'));
    RegPut(HKEY_CURRENT_USER, TEST_ROOT, "empty", REG_SZ, std::string());
    RegPutText(HKEY_CURRENT_USER, TEST_ROOT, "long", std::string(16, 'a'));
    RegPutDword(HKEY_CURRENT_USER, TEST_ROOT, "number", 7);
    RegPut(HKEY_CURRENT_USER, TEST_ROOT, "binary", REG_BINARY, std::string("abc\0", 4));
    RegPut(HKEY_CURRENT_USER, TEST_ROOT, "unterminated", REG_SZ, "abc");

    std::string strText;
    ULONG nCount = 0;
    EXPECT_EQ(ERROR_SUCCESS, Read("full", &strText, &nCount)) << "15 characters + zero fit 16";
    EXPECT_EQ(std::string(15, 'a'), strText);
    EXPECT_EQ(16u, nCount);
    EXPECT_EQ(ERROR_SUCCESS, Read("empty", &strText, &nCount));
    EXPECT_EQ("", strText);

    EXPECT_EQ(ERROR_FILE_NOT_FOUND, Read("absent", &strText, &nCount));
    EXPECT_EQ(0u, nCount);
    EXPECT_EQ(ERROR_MORE_DATA, Read("long", &strText, &nCount));
    EXPECT_EQ(0u, nCount);
    EXPECT_EQ(ERROR_INVALID_DATA, Read("number", &strText, &nCount));
    EXPECT_EQ(ERROR_INVALID_DATA, Read("binary", &strText, &nCount));
    EXPECT_EQ(ERROR_INVALID_DATA, Read("unterminated", &strText, &nCount));
    EXPECT_EQ(0u, nCount);
}

TEST_F(RegistryKeyTest, OpenCreateAndCloseKeepOneKey) {
    // A failed open leaves the held key in place.
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, m_key.Open(HKEY_CURRENT_USER, "Software\\DavrelTest\\Nope",
                                               DAVREL_KEY_ACCESS));
    EXPECT_EQ(ERROR_SUCCESS, m_key.WriteString("still", "here"));
    EXPECT_EQ(std::string("here", 5), RegGet(HKEY_CURRENT_USER, TEST_ROOT, "still").strData)
        << "text is stored with its terminating zero";

    // Create makes every missing key along the path and replaces the held key.
    std::string strDeep = std::string(TEST_ROOT) + "\\a\\b\\c";
    EXPECT_EQ(ERROR_SUCCESS, m_key.Create(HKEY_CURRENT_USER, strDeep.c_str()));
    EXPECT_EQ(ERROR_SUCCESS, m_key.WriteString("here", "deep"));
    EXPECT_EQ("deep", RegText(HKEY_CURRENT_USER, strDeep, "here"));
    // Creating an existing key opens it.
    EXPECT_EQ(ERROR_SUCCESS, m_key.Create(HKEY_CURRENT_USER, strDeep.c_str()));
    EXPECT_EQ("deep", RegText(HKEY_CURRENT_USER, strDeep, "here"));

    EXPECT_EQ(ERROR_SUCCESS, m_key.Close());
    EXPECT_TRUE(m_key.m_hKey == NULL);
    EXPECT_EQ(ERROR_SUCCESS, m_key.Close()) << "nothing held";
    EXPECT_EQ(ERROR_INVALID_HANDLE, m_key.WriteString("x", "y")) << "no key, nothing written";
}

TEST_F(RegistryKeyTest, DeleteTreeRemovesEverythingBelow) {
    const std::string strTree = std::string(TEST_ROOT) + "\\tree";
    for (const char* pszSub : {"\\one", "\\one\\two\\three", "\\one\\sibling", "\\four"})
        RegPutText(HKEY_CURRENT_USER, strTree + pszSub, "v", "data");
    RegPutText(HKEY_CURRENT_USER, strTree, "top", "data");
    RegPutText(HKEY_CURRENT_USER, std::string(TEST_ROOT) + "\\neighbour", "v", "kept");

    // A key with subkeys cannot go by DeleteSubKey alone.
    EXPECT_NE(ERROR_SUCCESS, m_key.DeleteSubKey("tree"));
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, strTree + "\\one\\two\\three"));

    EXPECT_EQ(ERROR_SUCCESS, m_key.DeleteTree("tree"));
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, strTree));
    EXPECT_EQ("kept", RegText(HKEY_CURRENT_USER, std::string(TEST_ROOT) + "\\neighbour", "v"));

    EXPECT_EQ(ERROR_FILE_NOT_FOUND, m_key.DeleteTree("tree")) << "missing key";
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, TEST_ROOT));
}

}  // namespace
