#include "support/UiTest.h"

#include "support/SavedSettings.h"

const char DEMO_LABEL[] = "演示播放器";
const char DEMO_PACKAGE[] = "com.norvale.demo";

namespace {
std::string Rule(const std::string& strPattern, const std::string& strOut, bool bHang = false) {
    return "when " + ScriptText(strPattern) + "\nout " + ScriptText(strOut) + "\n" + (bHang ? "hang\n" : "");
}
}  // namespace

std::string BadgingReport(const std::string& strLabel, const std::string& strPackage,
                          const std::vector<std::string>& permissions) {
    std::string strReport = "package: name='" + strPackage + "' versionCode='3' versionName='1.2'\nsdkVersion:'8'\n";
    for (const std::string& strPermission : permissions) strReport += "uses-permission:'" + strPermission + "'\n";
    return strReport + "application: label='" + strLabel + "' icon='res/drawable/icon.png'\n";
}

std::string AaptScript(const std::string& strReport) {
    return Rule(" d badging \"", strReport);
}

std::string CAdbScript::Text() const {
    // A real install first reports the upload, then its verdict.
    const std::string strUpload = "1385 KB/s (2459 bytes in 0.001s)\r\n\tpkg: /data/local/tmp/install.apk\r\n";
    return Rule(" devices ", std::string("List of devices attached \r\n") +
                                 (bDevice ? "192.168.1.20:5555\tdevice\r\n" : "") + "\r\n") +
           Rule(" install ", strUpload + strInstall + "\r\n", bInstallWaits) +
           Rule(" uninstall ", strUninstall + "\r\n", bUninstallWaits) +
           Rule(" connect ", "connected to 192.168.1.20:5555\r\n");
}

void CDavrelUiTest::SetUp() {
    ASSERT_TRUE(m_app.Ready()) << "could not lay out " << m_app.ProgramDir();
    ASSERT_TRUE(WriteSavedSettings(0, NULL));
    ApplyAdb();
    ASSERT_TRUE(m_app.SetScript("aapt", AaptScript(BadgingReport(u8"演示播放器", DEMO_PACKAGE,
                                                                 {"android.permission.INTERNET"}))));
}

std::string CDavrelUiTest::MakePackage(const std::string& strFolder, const std::string& strName) {
    std::string strPath = m_app.MakeFolder(strFolder) + "\\" + strName;
    EXPECT_TRUE(WriteFileBytes(strPath, std::string(1536, 'P'))) << strPath;
    return strPath;
}

std::vector<std::string> CDavrelUiTest::AdbArgs(const std::string& strPrefix, const char* pszExt) const {
    std::vector<std::string> matching;
    for (const std::string& strArgs : m_app.ToolArgs("adb", pszExt))
        if (strArgs.compare(0, strPrefix.size(), strPrefix) == 0) matching.push_back(strArgs);
    return matching;
}

bool CDavrelUiTest::FinishAdb(const std::string& strPrefix, size_t nth) {
    return WaitUntil([&] { return AdbArgs(strPrefix, ".held").size() >= nth; }) && m_app.Sync() &&
           m_app.ReleaseTool("adb");
}

bool CDavrelUiTest::ChoosePackage(const std::string& strPath) {
    if (!m_app.PostClick(IDC_BTN_SELECT)) return false;
    HWND hwndDialog = m_app.WaitDialog();
    return hwndDialog && m_app.AnswerFileDialog(hwndDialog, strPath) &&
           WaitUntil([&] { return m_app.OtherWindows().empty(); }) && m_app.Sync();
}

bool CDavrelUiTest::CloseCleanly(DWORD timeoutMs) {
    // A crash ends a program with its exception code (0xC0000005 and the like).
    return m_app.Close(timeoutMs) && m_app.ExitCode() < 0xC0000000;
}
