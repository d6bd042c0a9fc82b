// The shipped 32-bit Davrel.exe with the real 32-bit aapt.exe, the adb
// bridge and the simulated TV, walked through in a single start, since each
// start of a 32-bit program costs about a minute under emulation. Run by
// scripts/smoke32.sh, which names both programs in DAVREL_EXE32 and DAVREL_AAPT32.
#include <gtest/gtest.h>
#include <cstdlib>
#include "resources/resource.h"
#include "support/RealTools.h"

namespace {

const DWORD SLOW_MS = 300000;

TEST(smoke32, ShowsThePackageConnectsInstallsUninstallsAndReadsABundle) {
    const char* pszExe = std::getenv("DAVREL_EXE32");
    const char* pszAapt = std::getenv("DAVREL_AAPT32");
    ASSERT_TRUE(pszExe && pszAapt) << "run by scripts/smoke32.sh";
    ASSERT_EQ("", RealToolsProblem());
    CDavrelDriver app;
    ASSERT_TRUE(UseRealTools(app));
    ASSERT_TRUE(CopyFileA(pszExe, (app.ProgramDir() + "\\Davrel.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(pszAapt, (app.DataDir() + "\\aapt.exe").c_str(), FALSE));

    ASSERT_TRUE(app.Start("\"" + SamplePackage() + "\"", SLOW_MS));
    const char* const SHOWN[] = {"API Demos", "io.appium.android.apis", "5.0.0", "Android 4.2", "6.12MB"};
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(app.WaitText(IDC_STATIC_NAME + i, SHOWN[i], SLOW_MS)) << SHOWN[i];
    EXPECT_TRUE(WaitUntil([&] { return app.DrawnShare(IDC_STATIC_ICON) > 0.25; }, 30000)) << "no icon on the screen";

    // The TV's default mount table (devtools/simtv/simtv.py --print-config).
    ASSERT_TRUE(app.SetText(IDC_EDIT_ADDRESS, TvAddress()));
    ASSERT_TRUE(app.Click(IDC_BTN_CONNECT));
    ASSERT_TRUE(app.WaitText(IDC_LINK_STATUS, "电视连接良好", SLOW_MS)) << app.Text(IDC_LINK_STATUS);
    const int ids[] = {IDC_STATIC_SYSTEM_SIZE, IDC_STATIC_DATA_FREE, IDC_STATIC_SDCARD_FREE, IDC_STATIC_SDEXT2_SIZE};
    const char* figures[] = {"250.0M", "816.7M", "2.6G", "996.0M"};
    for (int i = 0; i < 4; ++i) EXPECT_NE(std::string::npos, app.Text(ids[i]).find(figures[i])) << figures[i];

    ASSERT_TRUE(app.SelectCombo(IDC_COMBO_LOCATION, 0));  // the SD card
    ASSERT_TRUE(app.Click(IDC_BTN_INSTALL));
    EXPECT_TRUE(app.WaitText(IDC_LINK_STATUS, "软件安装完成", SLOW_MS)) << app.Text(IDC_LINK_STATUS);
    std::vector<TvEvent> installs = TvEvents("install");
    ASSERT_EQ(1u, installs.size());
    EXPECT_EQ("sdcard", installs[0]["location"]);
    EXPECT_EQ(FileSha256(SamplePackage()), installs[0]["sha256"]) << "the TV got other bytes than the package's";
    EXPECT_EQ("Success", installs[0]["result"]);

    ASSERT_TRUE(app.WaitEnabled(IDC_BTN_UNINSTALL, true, SLOW_MS));
    ASSERT_TRUE(app.Click(IDC_BTN_UNINSTALL));
    EXPECT_TRUE(app.WaitText(IDC_LINK_STATUS, "软件卸载完成", SLOW_MS)) << app.Text(IDC_LINK_STATUS);
    ASSERT_EQ(1u, TvEvents("uninstall").size());
    EXPECT_EQ("Success", TvEvents("uninstall")[0]["result"]);
    // A bundle's details: its base part unpacked and read, the icon from a
    // density split. (Its install is not walked here: aapt runs once per part,
    // and each start of the 32-bit aapt costs about a minute under emulation.)
    ASSERT_TRUE(app.PostClick(IDC_BTN_SELECT));
    HWND hwndDialog = app.WaitDialog("", SLOW_MS);
    ASSERT_TRUE(hwndDialog && app.AnswerFileDialog(hwndDialog, BundlePath("sample.xapk")));
    EXPECT_TRUE(app.WaitText(IDC_STATIC_SIZE, "5.54MB", SLOW_MS)) << app.Text(IDC_LINK_STATUS);
    EXPECT_TRUE(app.WaitText(IDC_LINK_STATUS, "软件已就绪，点击\"安装\"按钮进行安装...", SLOW_MS));
    EXPECT_EQ("API Demos", app.Text(IDC_STATIC_NAME));
    EXPECT_TRUE(WaitUntil([&] { return app.DrawnShare(IDC_STATIC_ICON) > 0.25; }, 30000)) << "no icon on the screen";
    ASSERT_TRUE(app.Close(SLOW_MS));
    EXPECT_EQ(0u, app.ExitCode());
}

}  // namespace
