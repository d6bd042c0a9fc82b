// What Davrel reads from the tools' output and the command lines it gives
// them, table by table over output captured from the real tools.
#include <gtest/gtest.h>
#include <windows.h>

#include "data/BadgingSamples.h"
#include "framework/TextConvert.h"
#include "support/StandIn.h"
#include "tools/ApkTool.h"
#include "tools/BadgingReport.h"
#include "tools/BundleParts.h"
#include "tools/CommandLine.h"
#include "tools/DeviceReport.h"
#include "tools/FileSize.h"
#include "tools/ShellTogether.h"
#include "tools/ToolRunner.h"
#include "tools/TvAddress.h"

namespace {

BadgingDetails Read(const std::string& strUtf8Report) {
    static CApkTool tool;  // for its permission table
    return ReadBadgingReport(Utf8ToAnsi(strUtf8Report.c_str(), int(strUtf8Report.size())), tool.m_mapPermissions);
}

TEST(Badging, DetailsEveryPermissionFormInReportOrderAndTheIcon) {
    BadgingDetails old = Read(OLD_BADGING_REPORT);
    EXPECT_EQ("Demo|com.a.b|1.2|3|8|Android 2.2", old.strLabel + "|" + old.strPackageName + "|" + old.strVersionName + "|" +
                                                  old.strVersionCode + "|" + std::to_string(old.nMinSdk) + "|" + old.strSdkVersion);
    // The package's own permission has no description and is left out.
    EXPECT_EQ("允许访问网络\n允许读取短信息(危险)\n允许访问网络\n", old.strPermissions);
    // "name=" lines, one with maxSdkVersion, and the sdk-23 form; implied
    // permissions and the package's own declaration are no requests.
    EXPECT_EQ("允许访问网络\n允许访问网络信息\n允许访问Wi-Fi网络状态信息\n保持进程在休眠时从屏幕消失\n"
              "开机自动运行(危险)\n允许读写SD卡数据\n允许弹出系统级窗口\n允许进入WIFI组播模式\n允许振动\n",
              Read(CURRENT_BADGING_REPORT).strPermissions);
    // An adaptive (XML) icon falls back to the densest raster image.
    EXPECT_EQ("res/drawable/icon.png", Read(OLD_BADGING_REPORT).strIconEntry);
    EXPECT_EQ("res/mipmap-xxxhdpi-v4/ic_launcher.png", Read(CURRENT_BADGING_REPORT).strIconEntry);

    // Every level is named, a newer one by its number; a codename is shown as
    // given; no sdkVersion line shows nothing.
    const struct { const char* pszSdk; int nMinSdk; const char* pszShown; } LEVELS[] = {
        {"1", 1, "Android 1.0"}, {"17", 17, "Android 4.2"}, {"20", 20, "Android 4.4W"}, {"21", 21, "Android 5.0"},
        {"28", 28, "Android 9"}, {"29", 29, "Android 10"}, {"34", 34, "Android 14"}, {"36", 36, "Android 16"},
        {"99", 99, "API 99"}, {"021", 21, "021"}, {"O", 0, "O"}, {"", 0, ""}};
    for (const auto& c : LEVELS) {
        BadgingDetails level = Read("package: name='a.b'\n" + (*c.pszSdk ? "sdkVersion:'" + std::string(c.pszSdk) + "'\n" : ""));
        EXPECT_TRUE(c.pszShown == level.strSdkVersion && c.nMinSdk == level.nMinSdk) << c.pszSdk << level.strSdkVersion;
    }
}

TEST(DeviceReport, DeviceListConnectInstallAndUninstallOutcomes) {
    // The typed address's line alone decides; without one, a single device is the one meant.
    const char* const DAEMON = "* daemon not running; starting now at tcp:5037\n* daemon started successfully\n";
    const struct { std::string strOutput; const char* pszAddress; ProblemCode problem; const char* pszSerial; } DEVICES[] = {
        {"List of devices attached\r\n192.168.1.20:5555\tdevice\r\n", "", PROBLEM_NONE, "192.168.1.20:5555"},
        {"List of devices attached\r\n192.168.1.20:5555\tdevice\r\n", "192.168.1.20", PROBLEM_NONE, "192.168.1.20:5555"},
        {"List of devices attached\n0123456789ABCDEF       device product:tv model:X\n", "", PROBLEM_NONE, "0123456789ABCDEF"},
        // Another device ready does not make the typed one so.
        {"List of devices attached\nemulator-5554\tdevice\n0123456789ABCDEF       device product:tv model:X\n", "1.2.3.4",
         PROBLEM_NOT_AT_ADDRESS, ""},
        {"List of devices attached\nemulator-5554\tdevice\n1.2.3.4:5555\toffline\n", "1.2.3.4", PROBLEM_OFFLINE, "1.2.3.4:5555"},
        {"List of devices attached\nemulator-5554\tdevice\n0123456789ABCDEF\tdevice\n", "", PROBLEM_SEVERAL_DEVICES, ""},
        {DAEMON + std::string("List of devices attached\n192.168.1.20:5555\tunauthorized\nmydevice-01\toffline\n"
                              "1.2.3.4:5\tdevices\n"), "192.168.1.20", PROBLEM_UNAUTHORIZED, "192.168.1.20:5555"},
        {"List of devices attached\r\nmydevice-01\toffline\r\n192.168.1.20:5555\tdevice\r\n", "mydevice-01",
         PROBLEM_OFFLINE, "mydevice-01"},
        {"List of devices attached\n10.0.0.2:5555\toffline\n\n", "", PROBLEM_OFFLINE, "10.0.0.2:5555"},
        {"List of devices attached\n\n", "", PROBLEM_NO_ADDRESS, ""},
        {"List of devices attached\n0123456789ABCDEF\tno permissions (user in plugdev group; are your udev rules "
         "wrong?); see [http://developer.android.com/tools/device.html]\n", "", PROBLEM_NO_PERMISSIONS, "0123456789ABCDEF"},
        {"192.168.1.20:5555\tdevice\n", "", PROBLEM_ADB_ERROR, ""},  // no header
    };
    for (const auto& c : DEVICES) {
        DeviceCheck check = ReadDeviceState(c.strOutput, c.pszAddress);
        EXPECT_EQ(c.problem, check.problem.code) << c.strOutput;
        EXPECT_EQ(c.pszSerial, check.strSerial) << c.strOutput;
    }
    EXPECT_EQ("error: cannot connect to daemon",
              ReadDeviceState(DAEMON + std::string("error: cannot connect to daemon\n"), "").problem.strDetail);

    // adb connect ends with 0 whatever became of it: its words decide.
    const struct { const char* pszOutput; ProblemCode problem; } CONNECTS[] = {
        {"connected to 192.168.1.5:5555\n", PROBLEM_NONE},
        {"* daemon started successfully\nalready connected to 192.168.1.5:5555\n", PROBLEM_NONE},
        {"failed to connect to '192.168.1.5:5555': Connection refused\n", PROBLEM_NOT_AT_ADDRESS},
        {"cannot connect to 192.168.1.5:5555: 由于目标计算机积极拒绝，无法连接。 (10061)\n", PROBLEM_NOT_AT_ADDRESS},
        {"unable to connect to 192.168.1.5:5555\n", PROBLEM_NOT_AT_ADDRESS},
        {"failed to authenticate to 192.168.1.5:5555\n", PROBLEM_UNAUTHORIZED},
        {"error: protocol fault (couldn't read status): connection reset\n", PROBLEM_ADB_ERROR},
        {"", PROBLEM_ADB_ERROR},
    };
    for (const auto& c : CONNECTS) EXPECT_EQ(c.problem, ReadConnectOutput(c.pszOutput).code) << c.pszOutput;

    const struct { const char* pszOutput; bool bSuccess; const char* pszReason; } INSTALLS[] = {
        {"1385 KB/s (2459 bytes in 0.001s)\r\n\tpkg: /data/local/tmp/install.apk\r\nSuccess\r\n", true, ""},
        {"Performing Streamed Install\nadb: failed to install x.apk: Failure [INSTALL_FAILED_ALREADY_EXISTS: a b]\n",
         false, "Failure [INSTALL_FAILED_ALREADY_EXISTS: a b]"},
        {"Success\nFailure [INSTALL_FAILED_INSUFFICIENT_STORAGE]\n", false, "Failure [INSTALL_FAILED_INSUFFICIENT_STORAGE]"},
        {"* daemon started successfully\nerror: device offline\n", false, "error: device offline"},
        {"Performing Push Install\n", false, "Performing Push Install"},
        {"", false, ""},
        {"Success\nFailure [not installed for 0]\n", false, "Failure [not installed for 0]"},  // uninstalls alike
        {"Failure [DELETE_FAILED_INTERNAL_ERROR]\r\n", false, "Failure [DELETE_FAILED_INTERNAL_ERROR]"},
    };
    for (const auto& c : INSTALLS) {
        InstallResult result = ReadInstallOutput(c.pszOutput);
        EXPECT_EQ(c.bSuccess, result.bSuccess) << c.pszOutput;
        EXPECT_EQ(c.bSuccess ? PROBLEM_NONE : PROBLEM_REFUSED, result.problem.code) << c.pszOutput;
        EXPECT_EQ(c.pszReason, result.problem.strDetail) << c.pszOutput;
    }
}

TEST(DeviceReport, APushedFileSizeAsEachEraPrintsItAndWhyAPushFailed) {
    const struct { const char* pszOutput; long long nSize; } SIZES[] = {
        {"6419064\r\n", 6419064},  // stat -c %s (toybox, Android 6 and later)
        // ls -l of toolbox (Android 4.x, CRLF, after an old TV's "stat: not found"), toybox, busybox
        {"/system/bin/sh: stat: not found\r\n-rw-rw-rw- shell    shell     2097152 2013-01-01 12:00 install.apk\r\n", 2097152},
        {"-rw-rw-rw- 1 shell shell 524288 2016-08-05 09:41 /data/local/tmp/install.apk\n", 524288},
        {"-rw-rw-rw-    1 2000     2000      16777216 Jan  1 12:00 /data/local/tmp/install.apk\n", 16777216},
        {"-rw-rw-rw- 2000     2000            0 2013-01-01 12:00 install.apk\r\n", 0},
        // Not there yet, or nothing that names a size.
        {"/data/local/tmp/install.apk: No such file or directory\r\n", -1},
        {"stat: '/data/local/tmp/install.apk': No such file or directory\nls: /data/local/tmp/install.apk: No such file or directory\n", -1},
        {"drwxrwx--x shell    shell             2013-01-01 12:00 tmp\r\n", -1},
        {"error: device offline\n", -1},
        {"", -1},
    };
    for (const auto& c : SIZES) EXPECT_EQ(c.nSize, ReadTvFileSize(c.pszOutput)) << c.pszOutput;
    EXPECT_EQ("couldn't read from device",
              ReadPushFailure("adb: error: failed to copy 'C:\\a b\\install.apk' to '/data/local/tmp/install.apk': "
                              "couldn't read from device\ninstall.apk: 0 files pushed, 0 skipped.\n"));
    EXPECT_EQ("remote No space left on device",
              ReadPushFailure("failed to copy 'x.apk' to '/data/local/tmp/x.apk': remote No space left on device\n"));
    EXPECT_EQ("error: device '1.2.3.4:5555' not found", ReadPushFailure("error: device '1.2.3.4:5555' not found\n"));
}

TEST(StorageReport, EightFiguresFromOneListingAsTheSingleQueriesPrintThem) {
    // busybox df -h of an Android 4.2 box through adb's pty (CRLF); long
    // filesystem names stand on a line of their own.
    const std::string LISTING =
        "Filesystem                Size      Used Available Use% Mounted on\r\n"
        "tmpfs                   200.4M     32.0K    200.4M   0% /dev\r\n"
        "/dev/block/mtdblock0    250.0M    180.2M     69.8M  72% /system\r\n"
        "/dev/block/mtdblock2      1.2G    415.3M    816.7M  34% /data\r\n"
        "/dev/block/vold/179:1\r\n"
        "                          3.7G      1.1G      2.6G  30% /mnt/sdcard\r\n"
        "/dev/block/vold/179:1\r\n"
        "                          3.7G      1.1G      2.6G  30% /mnt/sdcard/.android_secure\r\n"
        "/dev/block/vold/179:2\r\n"
        "                        996.0M     20.1M    975.9M   2% /data/sdext2\r\n";
    std::string figures[STORAGE_FIGURES];
    ReadStorageListing(LISTING, figures);
    std::string strShown;
    for (const std::string& strFigure : figures) strShown += strFigure;
    EXPECT_EQ("250.0M\r\n69.8M\r\n1.2G\r\n816.7M\r\n3.7G\r\n2.6G\r\n996.0M\r\n975.9M\r\n", strShown);
    // No SD card and LF lines (a newer TV): its figures stay empty, the rest end as the listing does.
    ReadStorageListing("/dev/block/dm-0  1.9G  1.2G  700.0M  64% /system\n/dev/block/dm-2  9.8G  2.0G  7.8G  21% /data\n", figures);
    EXPECT_EQ("1.9G\n|700.0M\n|9.8G\n|7.8G\n||||", figures[0] + "|" + figures[1] + "|" + figures[2] + "|" + figures[3] + "|" +
                                                      figures[4] + "|" + figures[5] + "|" + figures[6] + "|" + figures[7]);
    // The free space an install is weighed against; each refused form alone.
    const struct { const char* pszFigure; unsigned long long nBytes; } BYTES[] = {
        {"69.8M", 73190604ULL}, {"2.6G", 2791728742ULL}, {"32.0K", 32768}, {"0", 0}, {"1T", 1ULL << 40},
        {"", ~0ULL}, {"-", ~0ULL}, {"M", ~0ULL}, {"1.2.3G", ~0ULL}, {"12X", ~0ULL}, {"5GB", ~0ULL}, {"9999999G", ~0ULL},
    };
    for (const auto& c : BYTES) {
        unsigned long long nBytes = ~0ULL;
        EXPECT_EQ(c.nBytes != ~0ULL, ReadStorageBytes(c.pszFigure, nBytes)) << c.pszFigure;
        EXPECT_EQ(c.nBytes, nBytes) << c.pszFigure;
    }
}

TEST(ShellTogether, OneRunToldApartIntoEachQuerysOwnAnswerWhateverTheLineEndsOrWhereItStopped) {
    EXPECT_EQ("dumpsys package a; echo DAVREL-PART-END; getprop; echo DAVREL-PART-END; busybox df -h",
              ShellScriptsInTurn({"dumpsys package a", "getprop", "busybox df -h"}));
    auto run = [](const std::string& strOutput, ToolRunStatus status) {
        ToolRun r;
        r.status = status;
        r.strOutput = strOutput;
        return r;
    };
    const struct {
        const char* pszOutput;
        ToolRunStatus status;
        std::vector<std::string> outputs;
        std::vector<ToolRunStatus> statuses;
    } CASES[] = {
        {"v\nDAVREL-PART-END\n[a]: [1]\nDAVREL-PART-END\n/data 1G\n", TOOL_EXITED,
         {"v\n", "[a]: [1]\n", "/data 1G\n"}, {TOOL_EXITED, TOOL_EXITED, TOOL_EXITED}},
        // Old TVs end lines with CR LF; an answer may be empty.
        {"v\r\nDAVREL-PART-END\r\nDAVREL-PART-END\r\n/data 1G\r\n", TOOL_EXITED,
         {"v\r\n", "", "/data 1G\r\n"}, {TOOL_EXITED, TOOL_EXITED, TOOL_EXITED}},
        // adb's own error reaches every query.
        {"error: device offline\n", TOOL_EXITED, {"error: device offline\n", "error: device offline\n",
         "error: device offline\n"}, {TOOL_EXITED, TOOL_EXITED, TOOL_EXITED}},
        // Fell silent after the first answer: that one stands, the rest end as the run did.
        {"v\nDAVREL-PART-END\n[a]: [", TOOL_TIMED_OUT, {"v\n", "[a]: [", ""},
         {TOOL_EXITED, TOOL_TIMED_OUT, TOOL_TIMED_OUT}},
        // The line inside another is no boundary.
        {"v DAVREL-PART-END\nxDAVREL-PART-END\nDAVREL-PART-ENDx\nDAVREL-PART-END\ng\nDAVREL-PART-END\nd", TOOL_EXITED,
         {"v DAVREL-PART-END\nxDAVREL-PART-END\nDAVREL-PART-ENDx\n", "g\n", "d"},
         {TOOL_EXITED, TOOL_EXITED, TOOL_EXITED}},
    };
    for (const auto& c : CASES) {
        const std::vector<ToolRun> parts = SplitShellRun(run(c.pszOutput, c.status), 3);
        ASSERT_EQ(3u, parts.size());
        for (size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(c.outputs[i], parts[i].strOutput) << c.pszOutput << " part " << i;
            EXPECT_EQ(c.statuses[i], parts[i].status) << c.pszOutput << " part " << i;
        }
    }
    EXPECT_EQ("a\nDAVREL-PART-END\nb", SplitShellRun(run("a\nDAVREL-PART-END\nb", TOOL_EXITED), 1)[0].strOutput);
}

TEST(DeviceReport, InstalledVersionOfEachEraTheComparisonAndWhatARefusalAsks) {
    // Android 4.2 (CRLF, code and target on one line); Android 13 with the
    // system image's own version in a later block; an absent package.
    const std::string OLD_TV =
        "Activity Resolver Table:\r\n  Non-Data Actions:\r\n      android.intent.action.MAIN:\r\n"
        "        41b1c8a0 com.norvale.demo/.MainActivity filter 41b1c9e0\r\n\r\n"
        "Packages:\r\n  Package [com.norvale.demo] (41a5e2d8):\r\n    userId=10052 gids=[3003]\r\n"
        "    codePath=/data/app/com.norvale.demo-1.apk\r\n    versionCode=49 targetSdk=17\r\n"
        "    versionName=4.9.0\r\n    flags=[ HAS_CODE ALLOW_CLEAR_USER_DATA ALLOW_BACKUP ]\r\n"
        "    User 0:  installed=true stopped=false notLaunched=false enabled=0\r\n";
    const std::string NEW_TV =
        "Packages:\n  Package [com.norvale.demo] (f3b2a1c):\n    userId=10123\n    primaryCpuAbi=armeabi-v7a\n"
        "    versionCode=1200345 minSdk=21 targetSdk=33\n    versionName=12.0.3 beta\n"
        "    signatures=PackageSignatures{b7c1e2 version:2, signatures:[4f2a91c3], past signatures:[]}\n"
        "Hidden system packages:\n  Package [com.norvale.demo] (aa11bb2):\n    versionCode=100 targetSdk=28\n"
        "    versionName=1.0\n";
    const struct { std::string strDumpsys; const char* pszName; bool bInstalled; const char* pszCode; const char* pszVersion; } DUMPS[] = {
        {OLD_TV, "com.norvale.demo", true, "49", "4.9.0"},
        {NEW_TV, "com.norvale.demo", true, "1200345", "12.0.3 beta"},
        {OLD_TV, "com.norvale", false, "", ""},  // a name that only begins alike
        {"Activity Resolver Table:\r\n\r\nDexopt state:\r\n  [com.norvale.demo]\r\n", "com.norvale.demo", false, "", ""},
        {"", "com.norvale.demo", false, "", ""},
    };
    for (const auto& c : DUMPS) {
        InstalledVersion version = ReadInstalledVersion(c.strDumpsys, c.pszName);
        EXPECT_EQ(c.bInstalled, version.bInstalled) << c.pszName << "\n" << c.strDumpsys;
        EXPECT_EQ(c.pszCode, version.strCode) << c.strDumpsys;
        EXPECT_EQ(c.pszVersion, version.strName) << c.strDumpsys;
    }
    // Numbers of any length; anything not a number asks nothing.
    const struct { const char* pszPackage; const char* pszTv; bool bOlder; } CODES[] = {
        {"48", "49", true}, {"49", "49", false}, {"50", "49", false}, {"9", "10", true},
        {"0049", "100", true}, {"99999999999999999999", "100000000000000000000", true},
        {"", "49", false}, {"48", "", false}, {"4a", "49", false},
    };
    for (const auto& c : CODES) EXPECT_EQ(c.bOlder, IsOlderVersion(c.pszPackage, c.pszTv)) << c.pszPackage << " " << c.pszTv;
    const struct { const char* pszDetail; RefusalKind kind; } REFUSALS[] = {
        {"Failure [INSTALL_FAILED_VERSION_DOWNGRADE]", REFUSAL_DOWNGRADE},
        {"Failure [INSTALL_FAILED_UPDATE_INCOMPATIBLE: Package com.x signatures do not match previously installed version; "
         "ignoring!]", REFUSAL_OTHER_KEY},
        {"Failure [INSTALL_PARSE_FAILED_INCONSISTENT_CERTIFICATES]", REFUSAL_OTHER_KEY},
        {"Failure [INSTALL_FAILED_SHARED_USER_INCOMPATIBLE: signatures do not match]", REFUSAL_OTHER_KEY},
        {"Failure [INSTALL_FAILED_INSUFFICIENT_STORAGE]", REFUSAL_OTHER},
    };
    for (const auto& c : REFUSALS) EXPECT_EQ(c.kind, RefusalKindOf(Problem(PROBLEM_REFUSED, c.pszDetail))) << c.pszDetail;
    EXPECT_EQ(REFUSAL_OTHER, RefusalKindOf(Problem(PROBLEM_ADB_ERROR, "INSTALL_FAILED_VERSION_DOWNGRADE")));
}

TEST(CommandLine, DeviceFirstPathsQuotedAndEachUnsafeCharacterRefusedAlone) {
    EXPECT_EQ("\"C:\\My Tools\\adb.exe\" -s 192.168.1.5:5555 install -s \"D:\\x y.apk\"",
              CCommandLine::Adb("C:\\My Tools\\adb.exe", "192.168.1.5:5555").Word("install").Word("-s").Path("D:\\x y.apk").Text());
    EXPECT_EQ("\"C:\\a.exe\" shell \"busybox df -h|busybox grep ' /data$'\"",
              CCommandLine::Adb("C:\\a.exe").Word("shell").Shell("busybox df -h|busybox grep ' /data$'").Text());
    EXPECT_EQ("\"C:\\aapt.exe\" d badging \"C:\\包 1.apk\"", CCommandLine::Aapt("C:\\aapt.exe").Word("d").Word("badging").Path("C:\\包 1.apk").Text());
    EXPECT_EQ("\"a\" uninstall com.example.tv_player2", CCommandLine::Adb("a").Word("uninstall").Package("com.example.tv_player2").Text());

    // Each character alone, so that allowing any one of them fails here.
    for (char c : std::string(" \t\n\r;|&$`<>()\"'*?!\\%^~#[]{}")) {
        const std::string strWith = std::string("a") + c + "b";
        EXPECT_TRUE(CCommandLine::Adb("a").Word(strWith).IsRefused()) << "word with " << int(c);
        EXPECT_TRUE(CCommandLine::Adb("a", strWith).IsRefused()) << "serial with " << int(c);
    }
    for (char c : std::string(" \t\n;|&$`<>()\"'*?!\\-/:=+@,")) {
        EXPECT_TRUE(CCommandLine::Adb("a").Package(std::string("a.b") + c + "reboot").IsRefused()) << "package with " << int(c);
    }
    EXPECT_TRUE(CCommandLine::Adb("a").Package("com.电视").IsRefused());
    for (const char* pszPath : {"", "D:\\x\".apk", "D:\\x\n.apk", "D:\\x\t.apk", "D:\\folder\\"})
        EXPECT_TRUE(CCommandLine::Adb("a").Path(pszPath).IsRefused()) << pszPath;
    EXPECT_TRUE(CCommandLine::Adb("a").Shell("echo \"x\"").IsRefused());
    EXPECT_TRUE(CCommandLine::Adb("").IsRefused());
    // A refused part empties the whole line, whatever follows it.
    EXPECT_EQ("", CCommandLine::Adb("a").Word("a;b").Word("devices").Text());
    EXPECT_TRUE(CCommandLine::Adb("a").Word("").IsRefused());
}

TEST(TvAddress, CarelessFormsBecomeOneSerialAndWhatCannotBeAnAddressIsRefused) {
    const struct { const char* pszTyped; const char* pszSerial; } CASES[] = {
        {"192.168.1.5", "192.168.1.5:5555"},
        {"  192.168.1.5:5556\t", "192.168.1.5:5556"},
        {"１９２。１６８．１．５：５５５５", "192.168.1.5:5555"},
        {"\xA1\xA1" "192.168.1.5", "192.168.1.5:5555"},  // a full-width blank, as GBK has it
        {"mitv-living.local", "mitv-living.local:5555"},
        {"192.168.1.5:05555", "192.168.1.5:5555"},
        // Each refused alone.
        {"", ""}, {"   ", ""}, {"192.168.l.5", ""}, {"192.168.1", ""}, {"192.168.1.256", ""},
        {"192.168.1.5:0", ""}, {"192.168.1.5:65536", ""}, {"192.168.1.5:", ""}, {"192.168.1.5:55a", ""},
        {"127.0.0.1 -s x", ""}, {";rm -rf /", ""}, {"a:1:2", ""}, {"电视", ""}, {"tv_box", ""}, {"-tv", ""},
    };
    for (const auto& c : CASES) {
        std::string strSerial = "left over";
        EXPECT_EQ(*c.pszSerial != 0, NormaliseTvAddress(c.pszTyped, strSerial)) << c.pszTyped;
        EXPECT_EQ(c.pszSerial, strSerial) << c.pszTyped;
    }
}

TEST(DeviceReport, UnsafePackageNamesAndUnquotedToolPathsNeverRunAnything) {
    CTempDir dir;
    CApkTool tool;
    // With the path unquoted, the system would try "...\My.exe" first.
    const std::string strPlanted = InstallStandIn(dir.Path(), "My", "when *\nout planted\n");
    tool.m_strAdbPath = InstallStandIn(dir.Path() + "\\My Tools", "adb", "when *\nout Success\\r\\n");
    tool.m_strLabel = "Demo";
    for (const char* pszName : {"", "a.b;reboot", "a.b|reboot", "a.b\nreboot", "a.b$(reboot)", "a.b reboot", "com.电视"}) {
        tool.m_strPackageName = pszName;
        EXPECT_FALSE(IsSafePackageName(pszName) || tool.UninstallPackage()) << pszName;
    }
    tool.m_strPackageName = "com.example.tv_player2";
    tool.SetSerial("192.168.1.20:5555");
    EXPECT_TRUE(tool.UninstallPackage());
    EXPECT_FALSE(tool.InstallPackage(0, "D:\\x\".apk", "192.168.1.20:5555").bSuccess);
    const std::vector<std::string> calls = RecordedCalls(tool.m_strAdbPath);
    ASSERT_EQ(1u, calls.size()) << "an unsafe name reached adb";
    EXPECT_EQ("-s 192.168.1.20:5555 uninstall com.example.tv_player2", ArgumentsOf(calls[0]));
    EXPECT_TRUE(RecordedCalls(strPlanted).empty());
}

TEST(FileSize, ThreeDigitsLikeTheCRuntimeAndBeyondFourGigabytes) {
    const struct { unsigned long long n; const char* pszText; } CASES[] = {
        {0, "0.字节"}, {500, "500字节"}, {1000, "1.e+003字节"}, {1152, "1.13KB"}, {10235, "10.KB"},
        {1023488, "1.e+003KB"}, {3292529, "3.14MB"}, {4294967296ULL + 1536, "4.1e+003MB"},
    };
    for (const auto& c : CASES) EXPECT_EQ(c.pszText, FormatFileSize(c.n)) << c.n;

    // The package's own size is measured in 64 bits too (a sparse file).
    CTempDir dir;
    HANDLE hFile = CreateFileA((dir / "big.apk").c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    LARGE_INTEGER end;
    end.QuadPart = 4294967296LL + 1536;
    const bool bMade = SetFilePointerEx(hFile, end, NULL, FILE_BEGIN) && SetEndOfFile(hFile);
    CloseHandle(hFile);
    if (!bMade) GTEST_SKIP() << "no room for a sparse 4 GiB file";
    CApkTool tool;
    tool.SetApkPath(dir / "big.apk");
    tool.LoadPackageInfo();
    EXPECT_EQ("4.1e+003MB", tool.m_strFileSize);
}

}  // namespace

namespace {
BadgingDetails Part(const char* pszSplit, const char* pszVersion = "25", int nMinSdk = 16, const char* pszNative = "") {
    std::string strReport = std::string("package: name='p.q' versionCode='") + pszVersion + "' versionName='1'" +
                            (*pszSplit ? std::string(" split='") + pszSplit + "'" : "") + "\nsdkVersion:'" +
                            std::to_string(nMinSdk) + "'\n" + (*pszNative ? "native-code: '" + std::string(pszNative) + "'\n" : "");
    return ReadBadgingReport(strReport);
}
}  // namespace

TEST(BundleParts, EachTvGetsItsCpuItsNearestDensityEveryLanguageOrAReason) {
    // Real reports: a split's from aapt, and the device properties as adb gives them (CRLF from old TVs).
    BadgingDetails split = ReadBadgingReport("package: name='io.appium.android.apis' versionCode='25' versionName='1.25' "
                                      "split='config.arm64_v8a' platformBuildVersionName=''\napplication: label='' "
                                      "icon=''\nnative-code: 'arm64-v8a' 'x86'\n");
    EXPECT_TRUE(split.bRead && split.strPackageName == "io.appium.android.apis" && split.strVersionCode == "25");
    EXPECT_EQ("config.arm64_v8a", split.strSplit);
    EXPECT_EQ((std::vector<std::string>{"arm64-v8a", "x86"}), split.vecNativeCode);
    EXPECT_FALSE(ReadBadgingReport("ERROR: dump failed because no AndroidManifest.xml found\n").bRead);
    TvProperties tv = ReadTvProperties("[ro.build.version.sdk]: [25]\n[ro.product.cpu.abilist]: [armeabi-v7a,armeabi]\n"
                                       "[ro.sf.lcd_density]: [213]\n[ro.product.model]: [x]: [y]]\n");
    EXPECT_TRUE(tv.nSdk == 25 && tv.nDensity == 213 && tv.vecAbis == (std::vector<std::string>{"armeabi-v7a", "armeabi"}));
    TvProperties old = ReadTvProperties("[ro.build.version.sdk]: [19]\r\n[ro.product.cpu.abi]: [x86]\r\n[ro.product.cpu.abi2]: [armeabi-v7a]\r\n");
    EXPECT_TRUE(old.nSdk == 19 && old.nDensity == 0 && old.vecAbis == (std::vector<std::string>{"x86", "armeabi-v7a"}));
    EXPECT_TRUE(old.strRelease.empty() && ReadTvProperties("[ro.build.version.release]: [4.1.2]\n").strRelease == "4.1.2");
    // A plain package before it is sent: each refusal alone; what the TV did not say refuses nothing.
    const struct { int nMinSdk; std::vector<std::string> vecCode; int nTvSdk; const char* pszTvAbis; ProblemCode problem; } FITS[] = {
        {17, {}, 16, "armeabi-v7a", PROBLEM_TV_TOO_OLD},
        {16, {"arm64-v8a"}, 16, "armeabi-v7a,armeabi", PROBLEM_NO_MATCHING_CPU},
        {16, {"x86", "armeabi"}, 16, "armeabi-v7a,armeabi", PROBLEM_NONE},
        {16, {}, 16, "armeabi-v7a", PROBLEM_NONE},
        {30, {"arm64-v8a"}, 0, "", PROBLEM_NONE},
    };
    for (const auto& c : FITS) {
        TvProperties fit;
        fit.nSdk = c.nTvSdk;
        fit.vecAbis = ReadTvProperties(std::string("[ro.product.cpu.abilist]: [") + c.pszTvAbis + "]\n").vecAbis;
        EXPECT_EQ(c.problem, CheckPackageFitsTv(c.nMinSdk, c.vecCode, fit).code) << c.nMinSdk << " " << c.pszTvAbis;
    }

    // base, 3 CPU, 3 density and 2 language splits, a feature with its own densities.
    std::vector<BadgingDetails> parts = {Part("config.x86"), Part(""), Part("config.armeabi_v7a"), Part("config.arm64_v8a"),
                                     Part("config.hdpi"), Part("config.xhdpi"), Part("config.xxhdpi"), Part("config.en"),
                                     Part("config.zh_rCN"), Part("game"), Part("game.config.ldpi"), Part("game.config.xxxhdpi")};
    auto chosen = [&](const char* pszAbis, int nDensity, int nSdk = 25, int nManifest = 0) {
        TvProperties tv;
        tv.nSdk = nSdk, tv.nDensity = nDensity;
        tv.vecAbis = ReadTvProperties(std::string("[ro.product.cpu.abilist]: [") + pszAbis + "]\n").vecAbis;
        BundleChoice choice = ChooseBundleParts(parts, tv, nManifest);
        std::string strParts = std::to_string(choice.issue) + ":";
        for (size_t i : choice.vecParts)
            strParts += " " + (!parts[i].strSplit.empty() ? parts[i].strSplit
                               : parts[i].vecNativeCode.empty() ? "base" : parts[i].vecNativeCode[0]);
        return strParts;
    };
    const std::string LANGUAGES = " config.en config.zh_rCN game";
    EXPECT_EQ("0: base config.armeabi_v7a config.hdpi" + LANGUAGES + " game.config.xxxhdpi", chosen("armeabi-v7a,armeabi", 213));
    EXPECT_EQ("0: base config.arm64_v8a config.xxhdpi" + LANGUAGES + " game.config.xxxhdpi", chosen("arm64-v8a,armeabi-v7a", 640));
    EXPECT_EQ("0: base config.x86 config.hdpi" + LANGUAGES + " game.config.xxxhdpi", chosen("mips,x86", 0));  // mdpi
    EXPECT_EQ("0: base config.armeabi_v7a config.hdpi" + LANGUAGES + " game.config.ldpi", chosen("armeabi-v7a", 120));
    EXPECT_EQ(std::to_string(BUNDLE_NO_CPU_MATCH) + ":", chosen("mips", 320));
    EXPECT_EQ(std::to_string(BUNDLE_TV_WITHOUT_SPLITS) + ":", chosen("armeabi-v7a", 320, 19));
    EXPECT_EQ(std::to_string(BUNDLE_NEEDS_NEWER_TV) + ":", chosen("armeabi-v7a", 320, 25, 26));
    parts[1] = Part("", "25", 30);
    EXPECT_EQ(std::to_string(BUNDLE_NEEDS_NEWER_TV) + ":", chosen("armeabi-v7a", 320));
    parts[1] = Part("", "26");
    EXPECT_EQ(std::to_string(BUNDLE_MIXED) + ":", chosen("armeabi-v7a", 320));
    parts[1] = Part("config.de");
    EXPECT_EQ(std::to_string(BUNDLE_NO_BASE) + ":", chosen("armeabi-v7a", 320));
    parts[1] = BadgingDetails();
    EXPECT_EQ(std::to_string(BUNDLE_PART_UNREADABLE) + ":", chosen("armeabi-v7a", 320));
    // Standalones: whole packages, one per CPU type, the TV's first that fits.
    parts = {Part("", "25", 16, "x86"), Part("", "25", 16, "armeabi-v7a"), Part("", "25", 16, "arm64-v8a")};
    EXPECT_EQ("0: arm64-v8a", chosen("arm64-v8a,armeabi-v7a", 320));
    EXPECT_EQ("0: armeabi-v7a", chosen("armeabi-v7a,armeabi", 320, 19));
    EXPECT_EQ(std::to_string(BUNDLE_NO_CPU_MATCH) + ":", chosen("mips", 320));
}
