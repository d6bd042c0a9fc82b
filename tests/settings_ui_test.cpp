// The settings and the .apk association as the running window uses them:
// what a start finds and applies, the association checkbox, the settings
// error at start, and a package opened through the registered command.
#include <thread>

#include "support/RegTestUtil.h"
#include "support/SavedSettings.h"
#include "support/UiTest.h"

namespace {

const char SETTINGS_PARENT[] = "SOFTWARE\\Norvale";
const char SETTINGS_KEY[] = "SOFTWARE\\Norvale\\Davrel";
const char USER_CHOICE[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.apk";

class SettingsWindowTest : public CDavrelUiTest {
protected:
    void TearDown() override {
        RegRemove(HKEY_CLASSES_ROOT, "apkfile");
        RegRemove(HKEY_CLASSES_ROOT, ".apk");
        RegRemove(HKEY_CURRENT_USER, USER_CHOICE);
        RegRemove(HKEY_LOCAL_MACHINE, SETTINGS_PARENT);
        WriteSavedSettings(0, NULL);
    }
    std::string ExePath() const { return m_app.ProgramDir() + "\\Davrel.exe"; }
    std::string RegisteredCommand() const {
        return RegText(HKEY_CLASSES_ROOT, "apkfile\\shell\\open\\command", "");
    }
    bool Registered() const {
        return RegisteredCommand() == "\"" + ExePath() + "\" \"%1\"" &&
               RegText(HKEY_CLASSES_ROOT, ".apk", "") == "apkfile" &&
               RegText(HKEY_CURRENT_USER, USER_CHOICE, "Progid") == "apkfile";
    }
    bool Unregistered() const {
        return !RegKeyExists(HKEY_CLASSES_ROOT, "apkfile") &&
               !RegGet(HKEY_CLASSES_ROOT, ".apk", "").bExists &&
               !RegGet(HKEY_CURRENT_USER, USER_CHOICE, "Progid").bExists;
    }
    DWORD StoredFlag() const {
        RegValue value = RegGet(HKEY_LOCAL_MACHINE, SETTINGS_KEY, "bDavrel");
        return value.bExists && value.strData.size() == 4 ? *reinterpret_cast<const DWORD*>(value.strData.data())
                                                          : 0xFFFFFFFF;
    }
};

TEST_F(SettingsWindowTest, FirstStartStoresTheChoiceAndRegisters) {
    RegRemove(HKEY_LOCAL_MACHINE, SETTINGS_PARENT);
    ASSERT_TRUE(m_app.Start());
    EXPECT_EQ(1u, StoredFlag());
    EXPECT_TRUE(m_app.IsChecked(IDC_CHK_ASSOCIATE));
    EXPECT_EQ("", m_app.Text(IDC_EDIT_ADDRESS));
    EXPECT_TRUE(Registered()) << RegisteredCommand();
    EXPECT_TRUE(CloseCleanly());
}

TEST_F(SettingsWindowTest, ChoiceOffRemovesAtStartAndTheBoxSwitchesIt) {
    RegPutText(HKEY_CLASSES_ROOT, "apkfile\\shell\\open\\command", "", "old.exe \"%1\"");
    RegPutText(HKEY_CLASSES_ROOT, ".apk", "", "apkfile");
    ASSERT_TRUE(m_app.Start());  // the fixture stored bDavrel = 0
    EXPECT_FALSE(m_app.IsChecked(IDC_CHK_ASSOCIATE));
    EXPECT_TRUE(Unregistered());

    ASSERT_TRUE(m_app.Click(IDC_CHK_ASSOCIATE));
    EXPECT_TRUE(m_app.IsChecked(IDC_CHK_ASSOCIATE));
    EXPECT_EQ(1u, StoredFlag());
    EXPECT_TRUE(Registered()) << RegisteredCommand();

    ASSERT_TRUE(m_app.Click(IDC_CHK_ASSOCIATE));
    EXPECT_EQ(0u, StoredFlag());
    EXPECT_TRUE(Unregistered());
    EXPECT_TRUE(CloseCleanly());
}

// Answers the settings error box, which shows while the window is still
// being set up (and so before the driver's Start returns).
std::string AnswerSettingsError() {
    std::string strShown;
    WaitUntil([&] {
        HWND hwnd = NULL;
        while ((hwnd = FindWindowExA(NULL, hwnd, "#32770", NULL)) != NULL) {
            std::string strText = CDavrelDriver::DialogText(hwnd);
            if (strText.find("错误号") != std::string::npos) {
                strShown = strText;
                CDavrelDriver::AnswerDialog(hwnd, IDOK);
                return true;
            }
        }
        return false;
    }, 30000);
    return strShown;
}

TEST_F(SettingsWindowTest, SettingsKeyThatCannotBeCreatedIsReported) {
    // Only volatile keys may live below a volatile key: creating the settings
    // key fails with ERROR_CHILD_MUST_BE_VOLATILE.
    RegRemove(HKEY_LOCAL_MACHINE, SETTINGS_PARENT);
    HKEY hVolatile = NULL;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, SETTINGS_PARENT, 0, NULL, REG_OPTION_VOLATILE,
                                             KEY_ALL_ACCESS, NULL, &hVolatile, NULL));
    RegCloseKey(hVolatile);

    std::string strShown;
    std::thread answer([&] { strShown = AnswerSettingsError(); });
    bool bStarted = m_app.Start();
    answer.join();
    EXPECT_EQ("错误号 = 1021", strShown);
    ASSERT_TRUE(bStarted);
    EXPECT_TRUE(m_app.IsChecked(IDC_CHK_ASSOCIATE)) << "goes on with the association on";
    EXPECT_TRUE(Registered());

    // Connect and the box store nothing and say nothing.
    ASSERT_TRUE(m_app.SetText(IDC_EDIT_ADDRESS, "10.0.0.3"));
    ASSERT_TRUE(m_app.Click(IDC_BTN_CONNECT));
    ASSERT_TRUE(m_app.Click(IDC_CHK_ASSOCIATE));
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, SETTINGS_KEY));
    EXPECT_TRUE(m_app.OtherWindows().empty());
    EXPECT_TRUE(CloseCleanly());
}

TEST_F(SettingsWindowTest, PackageOpensThroughTheRegisteredCommand) {
    ASSERT_TRUE(WriteSavedSettings(1, NULL));
    ASSERT_TRUE(m_app.Start());
    ASSERT_TRUE(CloseCleanly());
    std::string strPackage = MakePackage("my packages", "demo player.apk");

    // What the shell runs for a double-click: the extension's ProgID, its open
    // command, the document path put in for %1.
    std::string strProgId = RegText(HKEY_CLASSES_ROOT, ".apk", "");
    std::string strCommand = RegText(HKEY_CLASSES_ROOT, strProgId + "\\shell\\open\\command", "");
    size_t nDocument = strCommand.find("%1");
    ASSERT_NE(std::string::npos, nDocument) << strCommand;
    strCommand.replace(nDocument, 2, strPackage);
    // The driver starts its program as its quoted path, a blank and the
    // arguments: a second copy of the program runs the same arguments.
    const std::string strProgram = "\"" + ExePath() + "\" ";
    ASSERT_EQ(strProgram, strCommand.substr(0, strProgram.size()));
    CDavrelDriver opened;
    ASSERT_TRUE(opened.Ready());
    ASSERT_TRUE(opened.SetScript("adb", m_adb.Text()));
    ASSERT_TRUE(opened.SetScript("aapt", AaptScript(DemoReport())));
    ASSERT_TRUE(opened.Start(strCommand.substr(strProgram.size())));
    EXPECT_EQ(DEMO_LABEL, opened.Text(IDC_STATIC_NAME));
    EXPECT_EQ(DEMO_PACKAGE, opened.Text(IDC_STATIC_PACKAGE));
    EXPECT_TRUE(opened.Close());
}

}  // namespace
