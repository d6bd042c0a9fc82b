// The runner against real child processes: the stand-in prints what each
// test scripts. Waits are as short as still tells a fault from a pass.
#include <gtest/gtest.h>
#include <windows.h>
#include <thread>

#include "support/StandIn.h"
#include "tools/BadgingAhead.h"
#include "tools/ToolRunner.h"

namespace {

class ToolRunnerTest : public ::testing::Test {
protected:
    std::string Tool(const std::string& script, const char* name = "tool") {
        return InstallStandIn(m_dir / name, name, script);
    }
    CTempDir m_dir;
};

TEST_F(ToolRunnerTest, WholeOutputOfBothStreamsInOrderUpToTheCap) {
    std::string exe = Tool("when big\nrepeat 1100 " + std::string(1024, 'x') + "\n"
                           "when *\nout first\\n\nerr second\\n\nsleep 200\nout third\nexit 7");
    ToolRun run = RunToolEx(exe + " devices ", TOOL_QUERY_TIMEOUT_MS, NULL);
    EXPECT_EQ(run.strOutput, "first\nsecond\nthird");  // the last part came late
    EXPECT_EQ(run.status, TOOL_EXITED);
    EXPECT_EQ(run.dwExitCode, 7u);
    // 1.1 MB: many times what the pipe holds, and more than the cap.
    const std::string big = RunTool(exe + " big");
    EXPECT_EQ(big.size(), TOOL_OUTPUT_CAP);
    EXPECT_EQ(big.find_first_not_of('x'), std::string::npos);
}

TEST_F(ToolRunnerTest, AServerThatKeepsThePipeOpenDoesNotHoldTheRunUp) {
    // adb starts its server, which inherits the pipe and outlives adb.
    std::string exe = Tool("when --server\nsleep 2000\nwhen *\nout * daemon started successfully\\n\n"
                           "spawn --server\nout List of devices attached\\n");
    DWORD start = GetTickCount();
    EXPECT_EQ(RunTool(exe + " devices "), "* daemon started successfully\nList of devices attached\n");
    EXPECT_LT(GetTickCount() - start, 1500u);
}

TEST_F(ToolRunnerTest, TimeLimitAndCancelEndTheTool) {
    std::string exe = Tool("when *\nout partial\nhang");
    DWORD start = GetTickCount();
    ToolRun run = RunToolEx(exe, 300, NULL);
    EXPECT_EQ(run.status, TOOL_TIMED_OUT);
    EXPECT_EQ(run.strOutput, "partial");
    EXPECT_LT(GetTickCount() - start, 3000u);
    // The tool ends at once, leaving a process that keeps writing: the limit still holds.
    std::string strWriter = "when --writer\n";
    for (int i = 0; i < 30; ++i) strWriter += "out x\nsleep 50\n";
    start = GetTickCount();
    EXPECT_EQ(RunToolEx(Tool(strWriter + "when *\nspawn --writer\n", "writer"), 300, NULL).status, TOOL_TIMED_OUT);
    EXPECT_LT(GetTickCount() - start, 1200u);

    HANDLE hCancel = CreateEventA(NULL, TRUE, FALSE, NULL);
    std::thread cancel([hCancel] { Sleep(200); SetEvent(hCancel); });
    EXPECT_EQ(RunToolEx(exe, TOOL_NO_TIMEOUT, hCancel).status, TOOL_CANCELLED);
    cancel.join();
    CloseHandle(hCancel);
}

TEST_F(ToolRunnerTest, OverlappingRunsDoNotHoldEachOthersPipes) {
    // A long run started first must not keep a short run's pipe open.
    std::string slow = Tool("when *\nsleep 2000\nout slow", "slow"), slowOut;
    std::thread slowRun([&] { slowOut = RunTool(slow); });
    Sleep(100);
    DWORD start = GetTickCount();
    EXPECT_EQ(RunTool(Tool("when *\nout fast", "fast")), "fast");
    EXPECT_LT(GetTickCount() - start, 1500u);
    slowRun.join();
    EXPECT_EQ(slowOut, "slow");
}

TEST_F(ToolRunnerTest, RunsTogetherEachEndsItsOwnWayInTheOrderGiven) {
    const std::string fast = Tool("when *\nout fast\nexit 3", "fast"), late = Tool("when *\nsleep 300\nout late", "late");
    const std::string hung = Tool("when *\nout partial\nhang", "hung");
    // adb's server keeps the pipe open after adb ends: the run is read out once it goes quiet.
    const std::string server = Tool("when --server\nsleep 3000\nwhen *\nout started\nspawn --server\n", "server");
    std::vector<ToolRun> runs = RunToolsTogether({late, "", fast, hung, server}, 1500, NULL);
    ASSERT_EQ(5u, runs.size());
    EXPECT_TRUE(runs[0].status == TOOL_EXITED && runs[0].strOutput == "late");
    EXPECT_EQ(TOOL_NOT_STARTED, runs[1].status);
    EXPECT_TRUE(runs[2].status == TOOL_EXITED && runs[2].dwExitCode == 3 && runs[2].strOutput == "fast");
    EXPECT_TRUE(runs[3].status == TOOL_TIMED_OUT && runs[3].strOutput == "partial");
    EXPECT_TRUE(runs[4].status == TOOL_EXITED && runs[4].strOutput == "started") << runs[4].status;
    // The cancel event ends every run still going; one already ended keeps its outcome.
    HANDLE hCancel = CreateEventA(NULL, TRUE, FALSE, NULL);
    std::thread cancel([hCancel] { Sleep(1000); SetEvent(hCancel); });
    runs = RunToolsTogether({hung, fast, hung}, TOOL_NO_TIMEOUT, hCancel);
    cancel.join();
    CloseHandle(hCancel);
    EXPECT_TRUE(runs[0].status == TOOL_CANCELLED && runs[2].status == TOOL_CANCELLED);
    EXPECT_TRUE(runs[1].status == TOOL_EXITED && runs[1].strOutput == "fast");
}

TEST_F(ToolRunnerTest, AReadAheadIsOfItsFileAsItWasAndOneNoLongerWantedEndsAtOnce) {
    const std::string exe = Tool("when hung.apk\nhang\nwhen *\nout report\n");
    auto command = [&](const std::string& strPath) { return exe + " d badging \"" + strPath + "\""; };
    const std::string A = m_dir / "a.apk", strHung = m_dir / "hung.apk", strFolder = m_dir / "folder.apk";
    ASSERT_TRUE(WriteFileBytes(A, "PK") && WriteFileBytes(strHung, "PK") && CreateDirectoryA(strFolder.c_str(), NULL));
    // Nothing to read: nothing starts.
    for (const std::string& strPath : {strFolder, m_dir / "gone.apk"}) {
        CBadgingAhead none(strPath, command(strPath), TOOL_QUERY_TIMEOUT_MS);
        EXPECT_FALSE(none.Running() || none.IsOf(strPath)) << strPath;
    }
    EXPECT_FALSE(CBadgingAhead(A, "", TOOL_QUERY_TIMEOUT_MS).IsOf(A));

    // Of its own file only, and only as the file was: its time alone, then its size alone, changed.
    CBadgingAhead ahead(A, command(A), TOOL_QUERY_TIMEOUT_MS);
    EXPECT_TRUE(ahead.IsOf(A));
    EXPECT_TRUE(ahead.IsOf(m_dir / "A.APK")) << "the same file, named in another case";
    EXPECT_FALSE(ahead.IsOf(strHung));
    CScopedFile file(CreateFileA(A.c_str(), GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL));
    FILETIME written = {}, earlier = {};
    ASSERT_TRUE(file && GetFileTime(file.Get(), NULL, NULL, &written));
    earlier = written;
    earlier.dwHighDateTime -= 1;
    ASSERT_TRUE(SetFileTime(file.Get(), NULL, NULL, &earlier));
    EXPECT_FALSE(ahead.IsOf(A)) << "a file written since is taken for the one read";
    ASSERT_TRUE(SetFileTime(file.Get(), NULL, NULL, &written));
    EXPECT_TRUE(ahead.IsOf(A));
    file.Reset();
    ASSERT_TRUE(WriteFileBytes(A, "PKPK"));
    ASSERT_TRUE(SetFileTime(CScopedFile(CreateFileA(A.c_str(), GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL)).Get(),
                            NULL, NULL, &written));
    EXPECT_FALSE(ahead.IsOf(A)) << "a file of another size is taken for the one read";
    // Taken once; after that it is of nothing, and taking it again gives no report.
    ASSERT_TRUE(WriteFileBytes(A, "PK"));
    CBadgingAhead taken(A, command(A), TOOL_QUERY_TIMEOUT_MS);
    ASSERT_TRUE(taken.IsOf(A));
    EXPECT_EQ("report", taken.Take().strOutput);
    EXPECT_FALSE(taken.IsOf(A));
    EXPECT_EQ(TOOL_NOT_STARTED, taken.Take().status);

    // A read that hangs, replaced or left, is ended, not waited for to its limit.
    auto heldStarts = [&](size_t nHeld) {
        for (int i = 0; i < 500 && RecordedCalls(exe, ".held").size() < nHeld; ++i) Sleep(10);
        return RecordedCalls(exe, ".held").size() >= nHeld;
    };
    DWORD start = 0;
    {
        CBadgingAhead hung(strHung, command(strHung), 20000);
        ASSERT_TRUE(heldStarts(1));
        start = GetTickCount();
        hung = CBadgingAhead(A, command(A), TOOL_QUERY_TIMEOUT_MS);
        EXPECT_LT(GetTickCount() - start, 5000u) << "replaced";
        EXPECT_EQ("report", hung.Take().strOutput);
        hung = CBadgingAhead(strHung, command(strHung), 20000);
        ASSERT_TRUE(heldStarts(2));
        start = GetTickCount();
    }
    EXPECT_LT(GetTickCount() - start, 5000u) << "left";
}

TEST_F(ToolRunnerTest, Utf8BecomesGbkAndAChildThatReadsItsInputEnds) {
    EXPECT_EQ(RunTool(Tool("when *\nout " + ScriptText(u8"电视播放器"))), "电视播放器");  // GBK, as the tests are compiled
    // The test's own input is a pipe nobody writes to: a child given it would wait for good.
    SECURITY_ATTRIBUTES sa = {sizeof sa, NULL, TRUE};
    HANDLE hRead = NULL, hWrite = NULL, hOwnInput = GetStdHandle(STD_INPUT_HANDLE);
    ASSERT_TRUE(CreatePipe(&hRead, &hWrite, &sa, 0) && SetStdHandle(STD_INPUT_HANDLE, hRead));
    ToolRun run = RunToolEx(Tool("when *\ninput", "reader"), 2000, NULL);
    SetStdHandle(STD_INPUT_HANDLE, hOwnInput);
    CloseHandle(hRead);
    CloseHandle(hWrite);
    EXPECT_EQ(run.status, TOOL_EXITED);
    EXPECT_EQ(run.strOutput, "input ended");
}

}  // namespace
