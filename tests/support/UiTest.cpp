#include "support/UiTest.h"

#include "support/SavedSettings.h"

const char DEMO_LABEL[] = "演示播放器";
const char DEMO_PACKAGE[] = "com.norvale.demo";
const char DEMO_VERSION[] = "1.2";
const char DEMO_SDK_SHOWN[] = "Android 2.2";
const char DEMO_SIZE_SHOWN[] = "1.5KB";
const char DEMO_PERMISSIONS[] = "允许访问网络\n允许读取短信息(危险)\n";

std::string DemoReport() {
    return BadgingReport(u8"演示播放器", DEMO_PACKAGE, DEMO_VERSION, "8",
                         {"android.permission.INTERNET", "android.permission.READ_SMS"});
}

std::string Trimmed(const std::string& strText) {
    size_t nFirst = strText.find_first_not_of(" \t\r\n");
    if (nFirst == std::string::npos) return std::string();
    size_t nLast = strText.find_last_not_of(" \t\r\n");
    return strText.substr(nFirst, nLast - nFirst + 1);
}

void CDavrelUiTest::SetUp() {
    ASSERT_TRUE(m_app.Ready()) << "could not lay out " << m_app.ProgramDir();
    ASSERT_TRUE(WriteSavedSettings(0, NULL));
    ApplyAdb();
    ASSERT_TRUE(m_app.SetScript("aapt", AaptScript(DemoReport())));
}

void CDavrelUiTest::ApplyAdb() {
    ASSERT_TRUE(m_app.SetScript("adb", m_adb.Text()));
}

std::string CDavrelUiTest::MakePackage(const std::string& strFolder, const std::string& strName, size_t nBytes) {
    std::string strPath = m_app.MakeFolder(strFolder) + "\\" + strName;
    EXPECT_TRUE(WriteFileBytes(strPath, std::string(nBytes, 'P'))) << strPath;
    return strPath;
}

bool CDavrelUiTest::StartWith(const std::string& strPackage) {
    return m_app.Start("\"" + strPackage + "\"");
}

std::vector<std::string> CDavrelUiTest::AdbArgs(const std::string& strPrefix) const {
    std::vector<std::string> matching;
    for (const std::string& strArgs : m_app.ToolArgs("adb"))
        if (strArgs.compare(0, strPrefix.size(), strPrefix) == 0) matching.push_back(strArgs);
    return matching;
}

bool CDavrelUiTest::FinishAdb(const std::string& strPrefix, size_t nth) {
    // A held stand-in records itself in adb.held once its answer is printed.
    auto held = [&] {
        size_t n = 0;
        for (const std::string& strArgs : m_app.ToolArgs("adb", ".held"))
            if (strArgs.compare(0, strPrefix.size(), strPrefix) == 0) ++n;
        return n;
    };
    if (!WaitUntil([&] { return held() >= nth; }) || !m_app.Sync()) return false;
    return m_app.ReleaseTools() > 0;
}

bool CDavrelUiTest::ChoosePackage(const std::string& strPath) {
    if (!m_app.PostClick(IDC_BTN_SELECT)) return false;
    HWND hwndDialog = m_app.WaitDialog();
    return hwndDialog && m_app.AnswerFileDialog(hwndDialog, strPath) && m_app.WaitNoDialog() &&
           m_app.Sync();
}

bool CDavrelUiTest::CloseCleanly(DWORD timeoutMs) {
    if (!m_app.Close(timeoutMs)) return false;
    // A crash ends a program with its exception code (0xC0000005 and the like).
    return m_app.ExitCode() < 0xC0000000;
}
