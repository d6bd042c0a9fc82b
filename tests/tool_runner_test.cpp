// The runner against real child processes: the stand-in tool prints what
// each test scripts.
#include <gtest/gtest.h>
#include <windows.h>

#include "support/StandIn.h"
#include "tools/ToolRunner.h"

namespace {

VOID CALLBACK SetEventLater(PVOID pEvent, BOOLEAN) { SetEvent(pEvent); }

struct SlowRun {
    std::string exe, out;
};

DWORD WINAPI RunSlowTool(LPVOID p) {
    SlowRun* run = static_cast<SlowRun*>(p);
    run->out = RunTool(run->exe);
    return 0;
}

class ToolRunnerTest : public ::testing::Test {
protected:
    std::string Tool(const std::string& script) { return InstallStandIn(m_dir.Path(), "tool", script); }
    CTempDir m_dir;
};

TEST_F(ToolRunnerTest, ReturnsWholeOutputOfBothStreamsInOrder) {
    std::string exe = Tool("when *\nout first\\n\nerr second\\n\nout third");
    EXPECT_EQ(RunTool(exe + " devices "), "first\nsecond\nthird");
    ASSERT_EQ(RecordedCalls(exe).size(), 1u);
    EXPECT_EQ(RecordedCalls(exe)[0], exe + " devices ");
}

TEST_F(ToolRunnerTest, LongOutputIsNotCut) {
    // 3,000 bytes and 100 KB: more than one read and more than the pipe holds.
    std::string exe = Tool("when small\nrepeat 300 0123456789\nwhen big\nrepeat 10240 abcdefghi\\n\nout END");
    EXPECT_EQ(RunTool(exe + " small").size(), 3000u);
    std::string big = RunTool(exe + " big");
    ASSERT_EQ(big.size(), 102400u + 3u);
    EXPECT_EQ(big.substr(big.size() - 13), "abcdefghi\nEND");
}

TEST_F(ToolRunnerTest, OutputBeyondTheCapIsDropped) {
    std::string exe = Tool("when *\nrepeat 1200 " + std::string(1024, 'x'));
    ToolRun run = RunToolEx(exe, TOOL_QUERY_TIMEOUT_MS, NULL);
    EXPECT_EQ(run.status, TOOL_EXITED);
    EXPECT_EQ(run.strOutput.size(), TOOL_OUTPUT_CAP);
}

TEST_F(ToolRunnerTest, AServerLeftRunningDoesNotHoldTheRunUp) {
    // adb starts its server, which inherits the pipe and outlives adb.
    std::string exe = Tool("when --server\nsleep 4000\nwhen *\nout * daemon started successfully\\n\n"
                           "spawn --server\nout List of devices attached\\n");
    DWORD start = GetTickCount();
    ToolRun run = RunToolEx(exe + " devices ", TOOL_QUERY_TIMEOUT_MS, NULL);
    EXPECT_LT(GetTickCount() - start, 3000u);
    EXPECT_EQ(run.status, TOOL_EXITED);
    EXPECT_EQ(run.strOutput, "* daemon started successfully\nList of devices attached\n");
    // Let the server end, so the folder can be removed.
    for (int i = 0; i < 200 && !DeleteFileA(exe.c_str()); ++i) Sleep(50);
}

TEST_F(ToolRunnerTest, TextEndsAtTheFirstZeroByte) {
    std::string exe = Tool("when *\nout before\\0after");
    EXPECT_EQ(RunTool(exe), "before");
}

TEST_F(ToolRunnerTest, Utf8BecomesGbk) {
    std::string hundred;
    for (int i = 0; i < 100; ++i) hundred += u8"电";
    std::string exe = Tool("when *\nout " + ScriptText(hundred));
    std::string text = RunTool(exe);
    EXPECT_EQ(text.size(), 200u);
    EXPECT_EQ(text.substr(0, 2), "电");  // GBK bytes: the tests are compiled like the program
    EXPECT_EQ(Utf8ToAnsi(u8"软件安装完成", 18), "软件安装完成");
}

TEST_F(ToolRunnerTest, NothingToReadGivesEmptyText) {
    EXPECT_EQ(RunTool(Tool("when *\nexit 3")), "");
    ToolRun run = RunToolEx(Tool("when *\nerr only-stderr\nexit 7"), TOOL_QUERY_TIMEOUT_MS, NULL);
    EXPECT_EQ(run.strOutput, "only-stderr");
    EXPECT_EQ(run.status, TOOL_EXITED);
    EXPECT_EQ(run.dwExitCode, 7u);
}

TEST_F(ToolRunnerTest, CouldNotStartIsToldApart) {
    EXPECT_EQ(RunToolEx("", TOOL_QUERY_TIMEOUT_MS, NULL).status, TOOL_NOT_STARTED);
    ToolRun missing = RunToolEx(m_dir / "data\\adb.exe devices ", TOOL_QUERY_TIMEOUT_MS, NULL);
    EXPECT_EQ(missing.status, TOOL_NOT_STARTED);
    EXPECT_EQ(missing.strOutput, "");
}

TEST_F(ToolRunnerTest, ToolPathWithABlankIsPassedUnquoted) {
    // The system tries "<dir>\my" first, then the whole path: the tool runs.
    std::string dir = m_dir / "my tools";
    std::string exe = InstallStandIn(dir, "adb", "when *\nout found");
    EXPECT_EQ(RunTool(exe + " devices "), "found");
}

TEST_F(ToolRunnerTest, HangingToolIsEndedByTheLimit) {
    std::string exe = Tool("when *\nout partial\nhang");
    DWORD start = GetTickCount();
    ToolRun run = RunToolEx(exe, 500, NULL);
    EXPECT_EQ(run.status, TOOL_TIMED_OUT);
    EXPECT_EQ(run.strOutput, "partial");
    EXPECT_LT(GetTickCount() - start, 5000u);
}

TEST_F(ToolRunnerTest, CancelEndsARunningTool) {
    std::string exe = Tool("when *\nhang");
    HANDLE hCancel = CreateEventA(NULL, TRUE, FALSE, NULL);
    HANDLE hTimer = NULL;
    CreateTimerQueueTimer(&hTimer, NULL, SetEventLater, hCancel, 300, 0, 0);
    ToolRun run = RunToolEx(exe, TOOL_NO_TIMEOUT, hCancel);
    EXPECT_EQ(run.status, TOOL_CANCELLED);
    DeleteTimerQueueTimer(NULL, hTimer, INVALID_HANDLE_VALUE);
    CloseHandle(hCancel);
}

TEST_F(ToolRunnerTest, DelayedOutputWithinTheLimitIsWaitedFor) {
    EXPECT_EQ(RunTool(Tool("when *\nout a\nsleep 400\nout b")), "ab");
}

TEST_F(ToolRunnerTest, OverlappingRunsDoNotHoldEachOthersPipes) {
    // A long run started first must not keep a short run's pipe open.
    std::string slow = InstallStandIn(m_dir / "slow", "slow", "when *\nsleep 3000\nout slow");
    std::string fast = InstallStandIn(m_dir / "fast", "fast", "when *\nout fast");
    SlowRun arg{slow, ""};
    HANDLE hThread = CreateThread(NULL, 0, RunSlowTool, &arg, 0, NULL);
    Sleep(200);
    DWORD start = GetTickCount();
    EXPECT_EQ(RunTool(fast), "fast");
    EXPECT_LT(GetTickCount() - start, 2000u);
    WaitForSingleObject(hThread, INFINITE);
    CloseHandle(hThread);
    EXPECT_EQ(arg.out, "slow");
}

}  // namespace
