// The settings key: what the window finds at start, and what Connect and the
// association checkbox store. Works below a test key of its own, except one
// test that checks where the real settings live.
#include <gtest/gtest.h>

#include <string>

#include "shell/Settings.h"
#include "support/RegTestUtil.h"

namespace {

const char TEST_ROOT[] = "Software\\DavrelTest\\Settings";
const char TEST_KEY[] = "Software\\DavrelTest\\Settings\\Davrel";
const SettingsLocation TEST_LOCATION = {HKEY_CURRENT_USER, TEST_KEY};

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override { RegRemove(HKEY_CURRENT_USER, TEST_ROOT); }
    void TearDown() override { RegRemove(HKEY_CURRENT_USER, TEST_ROOT); }
    CRegistryKey m_key;
};

TEST_F(SettingsTest, FirstStartCreatesKeyWithAssociationOn) {
    DavrelSettings settings = ReadSettings(m_key, TEST_LOCATION);
    EXPECT_EQ(1u, settings.dwAssociate);
    EXPECT_FALSE(settings.bHaveAddress);
    EXPECT_EQ(ERROR_SUCCESS, settings.lCreateError);
    RegValue stored = RegGet(HKEY_CURRENT_USER, TEST_KEY, "bDavrel");
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), stored.dwType);
    EXPECT_EQ(std::string("\1\0\0\0", 4), stored.strData);
    EXPECT_TRUE(m_key.m_hKey == NULL) << "the key is closed again";

    // The next start reads what the first stored.
    EXPECT_EQ(1u, ReadSettings(m_key, TEST_LOCATION).dwAssociate);
}

TEST_F(SettingsTest, AssociationFlagIsReadBackAndDefaultsToOn) {
    RegPutDword(HKEY_CURRENT_USER, TEST_KEY, "bDavrel", 0);
    EXPECT_EQ(0u, ReadSettings(m_key, TEST_LOCATION).dwAssociate);

    RegRemove(HKEY_CURRENT_USER, TEST_KEY);
    RegPutText(HKEY_CURRENT_USER, TEST_KEY, "tvIP", "10.0.0.2");
    EXPECT_EQ(1u, ReadSettings(m_key, TEST_LOCATION).dwAssociate) << "absent counts as on";
    EXPECT_FALSE(RegGet(HKEY_CURRENT_USER, TEST_KEY, "bDavrel").bExists)
        << "an existing key is not written at start";

    // A value that is not 4 bytes does not leave half a number behind.
    RegPut(HKEY_CURRENT_USER, TEST_KEY, "bDavrel", REG_SZ, std::string("0", 2));
    EXPECT_EQ(1u, ReadSettings(m_key, TEST_LOCATION).dwAssociate);

    // The checkbox stores its state, creating the key when it is missing.
    RegRemove(HKEY_CURRENT_USER, TEST_ROOT);
    StoreAssociateFlag(m_key, 0, TEST_LOCATION);
    EXPECT_EQ(0u, ReadSettings(m_key, TEST_LOCATION).dwAssociate);
    StoreAssociateFlag(m_key, 1, TEST_LOCATION);
    EXPECT_EQ(1u, ReadSettings(m_key, TEST_LOCATION).dwAssociate);
    EXPECT_TRUE(m_key.m_hKey == NULL);
}

TEST_F(SettingsTest, AddressIsStoredAsTypedAndReadBack) {
    ReadSettings(m_key, TEST_LOCATION);  // first start creates the key
    const std::string strAddress = " 192.168.0.8:5555 电视";
    StoreTvAddress(m_key, strAddress, TEST_LOCATION);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), RegGet(HKEY_CURRENT_USER, TEST_KEY, "tvIP").dwType);
    DavrelSettings settings = ReadSettings(m_key, TEST_LOCATION);
    EXPECT_TRUE(settings.bHaveAddress);
    EXPECT_EQ(strAddress, settings.strAddress);

    StoreTvAddress(m_key, "", TEST_LOCATION);
    settings = ReadSettings(m_key, TEST_LOCATION);
    EXPECT_TRUE(settings.bHaveAddress) << "an empty address is an address too";
    EXPECT_EQ("", settings.strAddress);

    StoreTvAddress(m_key, std::string(255, '1'), TEST_LOCATION);
    EXPECT_EQ(std::string(255, '1'), ReadSettings(m_key, TEST_LOCATION).strAddress);

    RegPut(HKEY_CURRENT_USER, TEST_KEY, "tvIP", REG_EXPAND_SZ, std::string("%TEMP%", 7));
    EXPECT_EQ("%TEMP%", ReadSettings(m_key, TEST_LOCATION).strAddress);
}

TEST_F(SettingsTest, UnreadableAddressGivesNone) {
    ReadSettings(m_key, TEST_LOCATION);
    StoreTvAddress(m_key, std::string(256, '1'), TEST_LOCATION);
    EXPECT_FALSE(ReadSettings(m_key, TEST_LOCATION).bHaveAddress) << "too long";
    RegPutDword(HKEY_CURRENT_USER, TEST_KEY, "tvIP", 0x0A000002);
    EXPECT_FALSE(ReadSettings(m_key, TEST_LOCATION).bHaveAddress) << "wrong type";
    RegPut(HKEY_CURRENT_USER, TEST_KEY, "tvIP", REG_SZ, "10.0.0.2");
    EXPECT_FALSE(ReadSettings(m_key, TEST_LOCATION).bHaveAddress) << "no terminating zero";
}

TEST_F(SettingsTest, AddressIsNotStoredWithoutTheKey) {
    StoreTvAddress(m_key, "10.0.0.2", TEST_LOCATION);
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, TEST_KEY));
}

TEST_F(SettingsTest, KeyThatCannotBeCreatedIsReported) {
    // A non-volatile key cannot live below a volatile one.
    HKEY hVolatile = NULL;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, TEST_ROOT, 0, NULL,
                                             REG_OPTION_VOLATILE, KEY_ALL_ACCESS, NULL,
                                             &hVolatile, NULL));
    RegCloseKey(hVolatile);

    DavrelSettings settings = ReadSettings(m_key, TEST_LOCATION);
    EXPECT_EQ(ERROR_CHILD_MUST_BE_VOLATILE, settings.lCreateError);
    EXPECT_EQ(1u, settings.dwAssociate) << "the window goes on with the association on";
    EXPECT_FALSE(settings.bHaveAddress);
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, TEST_KEY));

    // The checkbox and Connect then store nothing, silently.
    StoreAssociateFlag(m_key, 0, TEST_LOCATION);
    StoreTvAddress(m_key, "10.0.0.2", TEST_LOCATION);
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, TEST_KEY));
    EXPECT_TRUE(m_key.m_hKey == NULL);

    EXPECT_EQ("错误号 = 5", FormatSettingsError(ERROR_ACCESS_DENIED));
    EXPECT_EQ("错误号 = 1021", FormatSettingsError(settings.lCreateError));
}

TEST_F(SettingsTest, RealSettingsLiveInTheProgramsViewOfLocalMachine) {
    // A 32-bit program's HKLM\SOFTWARE is SOFTWARE\WOW6432Node of the system.
#ifdef _WIN64
    const char NATIVE_KEY[] = "SOFTWARE\\Norvale\\Davrel";
#else
    const char NATIVE_KEY[] = "SOFTWARE\\WOW6432Node\\Norvale\\Davrel";
#endif
    RegRemove(HKEY_LOCAL_MACHINE, "SOFTWARE\\Norvale");
    ReadSettings(m_key);
    StoreTvAddress(m_key, "10.1.1.1");
    EXPECT_EQ("10.1.1.1", RegText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Norvale\\Davrel", "tvIP"));
    EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, NATIVE_KEY, KEY_WOW64_64KEY));
    RegRemove(HKEY_LOCAL_MACHINE, "SOFTWARE\\Norvale");
}

}  // namespace
