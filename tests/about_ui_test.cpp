// The about box: from the "？" button and from the window's system menu.
#include "support/UiTest.h"

namespace {

class AboutTest : public CDavrelUiTest {
protected:
    // Waits for the about box, checks it and closes it with its OK button.
    void ExpectAboutBoxAndClose() {
        HWND hwndAbout = m_app.WaitDialog("关于Davrel");
        ASSERT_TRUE(hwndAbout) << "no about box";
        EXPECT_TRUE(GetDlgItem(hwndAbout, IDC_LINK_MAIL));
        EXPECT_NE(std::string::npos, CDavrelDriver::DialogText(hwndAbout).find("Davrel，1.0 版"));
        EXPECT_EQ(m_app.Window(), GetWindow(hwndAbout, GW_OWNER));
        EXPECT_FALSE(m_app.IsWindowEnabled()) << "the about box is modal";
        EXPECT_TRUE(CDavrelDriver::AnswerDialog(hwndAbout, IDOK));
        EXPECT_TRUE(m_app.WaitNoDialog());
        EXPECT_TRUE(WaitUntil([&] { return m_app.IsWindowEnabled(); }));
    }
};

TEST_F(AboutTest, QuestionMarkButtonShowsTheAboutBox) {
    ASSERT_TRUE(m_app.Start());
    ASSERT_EQ("？", m_app.Text(IDC_BTN_ABOUT));
    ASSERT_TRUE(m_app.PostClick(IDC_BTN_ABOUT));
    ExpectAboutBoxAndClose();
    EXPECT_TRUE(CloseCleanly());
}

TEST_F(AboutTest, SystemMenuCommandsSixteenToThirtyOneShowTheAboutBox) {
    ASSERT_TRUE(m_app.Start());
    for (WPARAM nCommand : {0x10, 0x13, 0x1F}) {
        SCOPED_TRACE(nCommand);
        ASSERT_TRUE(m_app.PostSysCommand(nCommand));
        ExpectAboutBoxAndClose();
    }
    // Neighbours are not the about entry and keep their usual handling.
    EXPECT_TRUE(m_app.SysCommand(0x20)) << "a box opened";
    EXPECT_TRUE(m_app.OtherWindows().empty());
    EXPECT_TRUE(m_app.SysCommand(SC_CLOSE));
    EXPECT_TRUE(m_app.WaitExit());
}

}  // namespace
