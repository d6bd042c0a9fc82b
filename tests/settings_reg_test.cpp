// What the settings key gives back at start; the window-level cases (first
// start, the checkbox, the error message) are in settings_ui_test.
#include <gtest/gtest.h>

#include <string>

#include "shell/Settings.h"
#include "support/RegTestUtil.h"

namespace {

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override { RegRemove(HKEY_LOCAL_MACHINE, "SOFTWARE\\Norvale"); }
    void TearDown() override { RegRemove(HKEY_LOCAL_MACHINE, "SOFTWARE\\Norvale"); }
    CRegistryKey m_key;
};

TEST_F(SettingsTest, AssociationFlagAbsentOrOddCountsAsOn) {
    RegPutText(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY, "tvIP", "10.0.0.2");
    EXPECT_EQ(1u, ReadSettings(m_key).dwAssociate);
    EXPECT_FALSE(RegGet(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY, "bDavrel").bExists)
        << "an existing key is not written at start";

    // A value that is not 4 bytes does not leave half a number behind.
    RegPut(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY, "bDavrel", REG_SZ, std::string("0", 2));
    EXPECT_EQ(1u, ReadSettings(m_key).dwAssociate);
    EXPECT_TRUE(m_key.m_hKey == NULL);
}

TEST_F(SettingsTest, AddressIsStoredAsTypedAndReadBack) {
    StoreTvAddress(m_key, "10.0.0.2");
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY)) << "Connect creates no key";
    ReadSettings(m_key);  // first start creates it

    for (const std::string& strAddress : {std::string(" 192.168.0.8:5555 电视"), std::string(),
                                          std::string(255, '1')}) {
        StoreTvAddress(m_key, strAddress);
        DavrelSettings settings = ReadSettings(m_key);
        EXPECT_TRUE(settings.bHaveAddress) << strAddress;
        EXPECT_EQ(strAddress, settings.strAddress);
    }
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), RegGet(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY, "tvIP").dwType);

    StoreTvAddress(m_key, std::string(256, '1'));
    EXPECT_FALSE(ReadSettings(m_key).bHaveAddress) << "too long for the address box";
    RegPut(HKEY_LOCAL_MACHINE, SETTINGS_SUBKEY, "tvIP", REG_EXPAND_SZ, std::string("%TEMP%", 7));
    EXPECT_EQ("%TEMP%", ReadSettings(m_key).strAddress);
}

}  // namespace
