// 搜索电视 through the real window: two simulated TVs on port 5555 of
// loopback addresses of their own (one that wants debugging allowed),
// started by devtools/e2e/helpers.sh as ctest's fixture, and a listener of
// this test on port 5555 that is no TV. Davrel's tools are the stand-ins:
// the search itself runs no tool.
#include <gtest/gtest.h>
#include "framework/TextConvert.h"
#include "net/AdbProbe.h"
#include "net/Ipv4.h"
#include "resources/resource.h"
#include "support/DavrelDriver.h"
#include "support/LoopbackListener.h"
#include "support/RealTools.h"
#include "support/SavedSettings.h"

namespace {

const char FOUND_TWO[] = "找到2台电视";

class SearchTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_strTv = ScanTvAddress("online");
        m_strLocked = ScanTvAddress("unauthorized");
        ASSERT_FALSE(m_strTv.empty() || m_strLocked.empty()) << "start the simulated TVs first (devtools/e2e/helpers.sh)";
        // Not a TV: a web server's answer on port 5555 of a free address.
        uint32_t uAddress = 0;
        ASSERT_TRUE(ParseIpv4("127.0.0.100", &uAddress));
        for (; !m_web.Listen(uAddress, ADB_TV_PORT, "HTTP/1.0 400 Bad Request\r\n\r\n"); ++uAddress)
            ASSERT_LT(uAddress & 0xFF, 250u) << "no free port 5555 on 127.0.0.100-250";
        m_strWeb = FormatIpv4(uAddress);
        ASSERT_TRUE(m_app.Ready() && WriteSavedSettings(0, NULL));
    }

    // Starts Davrel searching exactly these networks, presses 搜索电视 and
    // returns the status it ends with.
    std::string Search(const std::string& strNetworks) {
        if (!m_app.Window() || m_app.WaitExit(0)) {
            EXPECT_TRUE(SetEnvironmentVariableA("DAVREL_SCAN_NETWORKS", strNetworks.c_str()));
            EXPECT_TRUE(m_app.Start());
        }
        EXPECT_TRUE(m_app.Click(IDC_BTN_SEARCH));
        EXPECT_TRUE(m_app.WaitEnabled(IDC_BTN_SEARCH, true));
        return m_app.Text(IDC_LINK_STATUS);
    }

    // The address box's list (W: see the platform notes).
    static std::vector<std::string> Items(const CDavrelDriver& app) {
        std::vector<std::string> items;
        HWND hwndBox = app.Item(IDC_EDIT_ADDRESS);
        LRESULT nCount = SendMessageW(hwndBox, CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < nCount; ++i) {
            wchar_t szItem[256] = {0};
            if (SendMessageW(hwndBox, CB_GETLBTEXTLEN, i, 0) < 250) SendMessageW(hwndBox, CB_GETLBTEXT, i, (LPARAM)szItem);
            items.push_back(WideToAnsi(szItem));
        }
        return items;
    }

    std::string m_strTv, m_strLocked, m_strWeb;
    CLoopbackListener m_web;
    CDavrelDriver m_app;
};

TEST_F(SearchTest, ListsBothTvsWithModelOrMarkAndNotTheOtherListener) {
    EXPECT_EQ(FOUND_TWO, Search(m_strTv + "/32," + m_strWeb + "/32," + m_strLocked));
    EXPECT_EQ("搜索电视", m_app.Text(IDC_BTN_SEARCH));
    const std::vector<std::string> EXPECTED_TV = {m_strTv + "  小米电视 4A", m_strLocked + "  需要授权"};
    std::vector<std::string> items = Items(m_app);
    ASSERT_EQ(2u, items.size());
    EXPECT_TRUE(items == EXPECTED_TV || items == std::vector<std::string>(EXPECTED_TV.rbegin(), EXPECTED_TV.rend()))
        << items[0] << " | " << items[1];
    EXPECT_EQ("", m_app.Text(IDC_EDIT_ADDRESS));  // two found: the user chooses
    // The listener was sent adb's first message, once, and nothing else.
    EXPECT_TRUE(WaitUntil([&] { return !m_web.Received().empty(); }));
    EXPECT_EQ(std::vector<std::string>{BuildConnectMessage()}, m_web.Received());

    // A picked TV leaves only its address in the box, and Connect hands adb that.
    int nTv = items[0] == EXPECTED_TV[0] ? 0 : 1;
    ASSERT_TRUE(m_app.SelectCombo(IDC_EDIT_ADDRESS, nTv));
    EXPECT_TRUE(m_app.WaitText(IDC_EDIT_ADDRESS, m_strTv)) << m_app.Text(IDC_EDIT_ADDRESS);
    ASSERT_TRUE(m_app.SelectCombo(IDC_EDIT_ADDRESS, 1 - nTv));
    ASSERT_TRUE(m_app.Sync());
    ASSERT_TRUE(m_app.Click(IDC_BTN_CONNECT));
    ASSERT_TRUE(m_app.WaitEnabled(IDC_BTN_CONNECT, true));  // its check done: the search's status stays
    std::vector<std::string> connects;
    for (const std::string& strArgs : m_app.ToolArgs("adb"))
        if (strArgs.find("connect") != std::string::npos) connects.push_back(strArgs);
    ASSERT_FALSE(connects.empty());
    EXPECT_NE(std::string::npos, connects.back().find(m_strLocked)) << connects.back();
    EXPECT_EQ(std::string::npos, connects.back().find("需要授权")) << connects.back();

    // A search again replaces the list and keeps what the box holds.
    EXPECT_EQ(FOUND_TWO, Search(""));
    EXPECT_EQ(2u, Items(m_app).size());
    EXPECT_EQ(m_strLocked, m_app.Text(IDC_EDIT_ADDRESS));
    EXPECT_TRUE(m_app.Close());
}

TEST_F(SearchTest, OneTvGoesIntoTheEmptyBoxNoneIsSaidAndClosingStopsASearch) {
    EXPECT_EQ("找到1台电视", Search(m_strTv + ",127.0.3.0/24"));  // nothing listens on 127.0.3.x
    EXPECT_EQ(m_strTv, m_app.Text(IDC_EDIT_ADDRESS));
    EXPECT_TRUE(m_app.Close());

    EXPECT_EQ("没有找到电视：请确认电视和电脑在同一网络，并已打开网络调试（ADB）", Search(m_strWeb));
    EXPECT_TRUE(Items(m_app).empty());
    EXPECT_TRUE(m_app.Close());

    // A listener that never answers holds the search for its answer limit; the window closes meanwhile.
    CLoopbackListener silent;
    uint32_t uAddress = 0;
    ASSERT_TRUE(ParseIpv4(m_strWeb, &uAddress));
    while (!silent.Listen(++uAddress, ADB_TV_PORT, "")) ASSERT_LT(uAddress & 0xFF, 250u);
    ASSERT_TRUE(SetEnvironmentVariableA("DAVREL_SCAN_NETWORKS", FormatIpv4(uAddress).c_str()));
    ASSERT_TRUE(m_app.Start() && m_app.Click(IDC_BTN_SEARCH));
    EXPECT_FALSE(m_app.IsEnabled(IDC_BTN_SEARCH));
    EXPECT_TRUE(m_app.Close());
    EXPECT_LT(m_app.ExitCode(), 0xC0000000u);
}

}  // namespace
