// The window's rules that need no window: the order of its background work
// and the words of its status line.
#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>
#include <atomic>
#include <vector>

#include "app/InstallCopy.h"
#include "app/ProblemText.h"
#include "app/TaskQueue.h"
#include "support/StandIn.h"

namespace {

TEST(TaskQueue, OrdersRunOneAtATimeInTheOrderGivenAndStopDropsTheWaiting) {
    // The first order holds the worker while the others queue behind it.
    std::vector<int> ran;
    std::atomic<int> nRunning(0), nMostAtOnce(0);
    CScopedHandle hGate(CreateEventA(NULL, TRUE, FALSE, NULL)), hDone(CreateEventA(NULL, TRUE, FALSE, NULL));
    CTaskQueue queue;
    ASSERT_TRUE(queue.Push([&] { WaitForSingleObject(hGate.Get(), 5000); ran.push_back(0); }));
    for (int i = 1; i < 40; ++i) {
        ASSERT_TRUE(queue.Push([&, i] {
            nMostAtOnce = std::max(nMostAtOnce.load(), ++nRunning);
            Sleep(i % 3);
            ran.push_back(i);
            --nRunning;
        }));
    }
    ASSERT_TRUE(queue.Push([&] { SetEvent(hDone.Get()); }));
    SetEvent(hGate.Get());
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(hDone.Get(), 10000));
    ASSERT_EQ(40u, ran.size());
    for (int i = 0; i < 40; ++i) EXPECT_EQ(i, ran[i]);
    EXPECT_EQ(1, nMostAtOnce.load());

    // Stopping waits for the running order and drops the rest unrun.
    ResetEvent(hGate.Get());
    std::atomic<int> nRan(0);
    ASSERT_TRUE(queue.Push([&] { WaitForSingleObject(hGate.Get(), 200); ++nRan; }));
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(queue.Push([&] { ++nRan; }));
    Sleep(50);
    EXPECT_TRUE(queue.Stop(5000));
    EXPECT_EQ(1, nRan.load());
    EXPECT_FALSE(queue.Push([] {})) << "a stopped queue takes no more orders";
}

TEST(ProblemText, EachSituationAndProblemInTheUsersWords) {
    Problem refused(PROBLEM_REFUSED, "Failure [INSTALL_FAILED_OLDER_SDK]");
    Problem adbError(PROBLEM_ADB_ERROR, "error: no devices/emulators found");
    Problem bundle = Problem::OfBundle(BUNDLE_NEEDS_NEWER_TV);
    bundle.nNeededSdk = 30, bundle.nTvSdk = 25;
    Problem obb(PROBLEM_OBB_NOT_COPIED, "remote No space left on device");
    const struct { StatusContext context; Problem problem; const char* pszText; } CASES[] = {
        {CONTEXT_TV, adbError, "电视未连接：adb.exe出错：error: no devices/emulators found"},
        {CONTEXT_INSTALL, Problem(PROBLEM_ADB_NOT_STARTED), "软件安装失败：无法启动adb.exe"},
        {CONTEXT_INSTALL, refused, "软件安装失败：电视的Android版本过低，无法安装此软件（INSTALL_FAILED_OLDER_SDK）"},
        {CONTEXT_INSTALL, Problem(PROBLEM_REFUSED, "Failure [INSTALL_PARSE_FAILED_NOT_APK: x]"),
         "软件安装失败：所选文件不是有效的APK安装包（INSTALL_PARSE_FAILED_NOT_APK）"},
        {CONTEXT_INSTALL, Problem(PROBLEM_REFUSED, "Failure [INSTALL_FAILED_NEW_THING] <a href=x>"),
         "软件安装失败：Failure [INSTALL_FAILED_NEW_THING] ＜a href=x＞"},
        {CONTEXT_INSTALL, Problem(PROBLEM_REFUSED, "error: device offline"),
         "软件安装失败：电视断开了连接，请检查电视的网络后重试（error: device offline）"},
        {CONTEXT_INSTALL, Problem(PROBLEM_REFUSED, "couldn't read from device"),  // a push the TV dropped
         "软件安装失败：电视断开了连接，请检查电视的网络后重试（couldn't read from device）"},
        {CONTEXT_INSTALL, Problem(PROBLEM_REFUSED, "remote No space left on device"),
         "软件安装失败：电视存储空间不足，请删除一些软件后重试（remote No space left on device）"},
        {CONTEXT_INSTALL, Problem(PROBLEM_REFUSED, "install apk has be disabled from pm by system default!"),
         "软件安装失败：install apk has be disabled from pm by system default!（电视的设置禁止通过网络安装软件）"},
        {CONTEXT_UNINSTALL, Problem(PROBLEM_REFUSED), "软件卸载失败"},
        {CONTEXT_INSTALL, bundle, "软件安装失败：电视系统版本过低（该软件需要API 30，电视为API 25）"},
        {CONTEXT_INSTALL, obb, "软件已安装，但OBB数据未能复制到电视：remote No space left on device"},
        // A package: aapt that could not run is not a package it could not read.
        {CONTEXT_PACKAGE, Problem(PROBLEM_PACKAGE_UNREADABLE), "无法获取该APK文件信息"},
        {CONTEXT_PACKAGE, Problem(PROBLEM_AAPT_NOT_STARTED), "无法获取该APK文件信息：无法启动aapt.exe"},
        {CONTEXT_PACKAGE, Problem::OfBundle(BUNDLE_DAMAGED), "安装包已损坏，无法解压"},
        {CONTEXT_TV, Problem(), ""},
    };
    for (const auto& c : CASES) EXPECT_EQ(c.pszText, ProblemText(c.context, c.problem)) << c.problem.code;

    // Every code has words (a new code without a row would show a bare prefix).
    for (int code = PROBLEM_ADB_NOT_STARTED; code <= PROBLEM_NO_MATCHING_CPU; ++code) {
        if (code == PROBLEM_REFUSED || code == PROBLEM_PACKAGE_UNREADABLE || code == PROBLEM_BUNDLE) continue;
        EXPECT_NE("电视未连接", ProblemText(CONTEXT_TV, Problem(static_cast<ProblemCode>(code)))) << code;
    }
    for (int issue = BUNDLE_UNREADABLE; issue <= BUNDLE_TOO_SLOW; ++issue)
        EXPECT_NE("", ProblemText(CONTEXT_PACKAGE, Problem::OfBundle(static_cast<BundleIssue>(issue)))) << issue;

    InstallResult done;
    done.bSuccess = true;
    EXPECT_EQ("软件安装完成", OutcomeText(done, true));
    EXPECT_EQ("软件卸载完成", OutcomeText(done, false));
}

}  // namespace

namespace {

std::string Read(const std::string& strPath) {
    std::string strData;
    return ReadFileBytes(strPath, strData) ? strData : "(none)";
}

TEST(InstallCopy, OnlyOurOwnCopyIsEverReplacedAndACancelledOneLeavesNothing) {
    CTempDir dir;
    std::vector<InstallCopy> copies;
    const std::string A = dir / "a.apk", COPY = dir / "install.apk";
    ASSERT_TRUE(WriteFileBytes(A, "version 1"));
    EXPECT_EQ(COPY, ChooseInstallFile(A, copies));
    ASSERT_TRUE(WriteFileBytes(A, "version 2"));
    // A closing window: no copy is made, the package itself would go.
    CScopedHandle hCancel(::CreateEventA(NULL, TRUE, TRUE, NULL));
    EXPECT_EQ(A, ChooseInstallFile(A, copies, hCancel.Get()));
    EXPECT_EQ(COPY, ChooseInstallFile(A, copies));
    EXPECT_EQ("version 2", Read(COPY));
    // The user's own file where our copy was: kept, and the package goes as it is.
    ASSERT_TRUE(WriteFileBytes(COPY, "the user's own"));
    EXPECT_EQ(A, ChooseInstallFile(A, copies));
    EXPECT_EQ("the user's own", Read(COPY));
    EXPECT_EQ(A, ChooseInstallFile(A, copies, hCancel.Get()));
    EXPECT_EQ("the user's own", Read(COPY)) << "a cancelled copy removed the user's file";
    // A package itself called install.apk, and a bundle, go as they are.
    EXPECT_EQ(COPY, ChooseInstallFile(COPY, copies));
    const std::string BUNDLE = dir / "b.xapk";
    ASSERT_TRUE(WriteFileBytes(BUNDLE, "PK"));
    EXPECT_EQ(BUNDLE, ChooseInstallFile(BUNDLE, copies));
    EXPECT_EQ(1u, copies.size());
}

}  // namespace
