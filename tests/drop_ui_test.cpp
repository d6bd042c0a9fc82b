// Files dropped onto the window from the file manager, through the real drop
// handler: the drop block is written into Davrel's own memory, as the shell
// hands it over, and WM_DROPFILES posted to the window.
#include <shlobj.h>
#include "framework/TextConvert.h"
#include "support/UiTest.h"

namespace {

bool Drop(CDavrelDriver& app, const std::vector<std::string>& files) {
    std::wstring strList;
    for (const std::string& strFile : files) strList += AnsiToWide(strFile) + L'\0';
    strList += L'\0';
    std::string block(sizeof(DROPFILES), '\0');
    DROPFILES* pDrop = reinterpret_cast<DROPFILES*>(&block[0]);
    pDrop->pFiles = sizeof(DROPFILES);
    pDrop->fWide = TRUE;
    block.append(reinterpret_cast<const char*>(strList.data()), strList.size() * sizeof(wchar_t));
    HANDLE hProcess = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, app.ProcessId());
    if (!hProcess) return false;
    void* pRemote = VirtualAllocEx(hProcess, NULL, block.size(), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    bool bOk = pRemote && WriteProcessMemory(hProcess, pRemote, block.data(), block.size(), NULL) &&
               PostMessageW(app.Window(), WM_DROPFILES, reinterpret_cast<WPARAM>(pRemote), 0);
    CloseHandle(hProcess);
    return bOk && app.Sync();
}

class DropTest : public CDavrelUiTest {};

TEST_F(DropTest, TheFirstDroppedPackageIsLoadedAndOtherThingsAreRefused) {
    std::string strNotes = MakePackage("drop", "notes.txt");
    std::string strFirst = MakePackage("drop", "first.apk");
    std::string strSecond = MakePackage("drop", "second.apk");
    std::string strFolder = m_app.MakeFolder("drop\\folder.apk");
    ASSERT_TRUE(m_app.Start());
    ASSERT_TRUE(Drop(m_app, {strNotes, strFirst, strSecond}));
    EXPECT_TRUE(m_app.WaitText(IDC_STATIC_NAME, DEMO_LABEL));
    std::vector<std::string> aapt = m_app.ToolArgs("aapt");
    ASSERT_EQ(1u, aapt.size());
    EXPECT_NE(std::string::npos, aapt[0].find("first.apk")) << aapt[0];

    ASSERT_TRUE(Drop(m_app, {strFolder}));
    EXPECT_EQ("所选的是文件夹，不是APK文件", m_app.Text(IDC_LINK_STATUS));
    ASSERT_TRUE(Drop(m_app, {strNotes}));
    EXPECT_EQ("拖入的不是APK文件", m_app.Text(IDC_LINK_STATUS));
    EXPECT_EQ(1u, m_app.ToolArgs("aapt").size());
    EXPECT_TRUE(CloseCleanly());
}

}  // namespace
