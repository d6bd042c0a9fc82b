// Runs adb.exe / aapt.exe hidden and returns what they printed, converted
// from UTF-8 to the system code page. Running a tool and reading its text are
// kept apart: the readers live in their own files and never start processes.
#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "tools/Problem.h"

// Queries (device list, storage figures, badging report) answer within a
// second or two; 8 s still covers a badging report of a large package on a
// slow disk. Sequences of queries stop at the first that does not answer, so
// a TV that stopped answering, or a hung tool, holds the window (which runs
// these itself) for one limit: under 10 s, not for good.
const DWORD TOOL_QUERY_TIMEOUT_MS = 8000;
// Installs and uninstalls run on a task thread and may take minutes.
const DWORD TOOL_NO_TIMEOUT = INFINITE;
// No real tool output comes near this; it only bounds a runaway tool.
const size_t TOOL_OUTPUT_CAP = 1024 * 1024;


// How a run ended, for callers that must tell "could not start" from "ran".
enum ToolRunStatus {
    TOOL_NOT_STARTED,  // empty command line, no pipe, or CreateProcess failed
    TOOL_EXITED,       // the child ended on its own and its output was read to the end
    TOOL_TIMED_OUT,    // ended by the time limit (the child, or reading what it left writing)
    TOOL_CANCELLED,    // ended because hCancel was signalled
    TOOL_WAIT_FAILED,  // the system could not wait for the child; it was ended
};

struct ToolRun {
    ToolRunStatus status = TOOL_NOT_STARTED;
    DWORD dwExitCode = 0;   // the child's code when it ended by itself
    std::string strOutput;  // converted, cut at the first zero byte
};

ToolRun RunToolEx(const std::string& strCommandLine, DWORD timeoutMs, HANDLE hCancel);
// The command lines started together and waited for together, on the
// calling thread: queries that do not depend on each other take about as
// long as the slowest, and no thread is spent on any. One time limit and one
// cancel event for all; the runs in the order given.
std::vector<ToolRun> RunToolsTogether(const std::vector<std::string>& vecCommandLines, DWORD timeoutMs, HANDLE hCancel);

// Starts the command line (the quoted tool path, then its arguments) as a
// hidden child whose stdout and stderr share one pipe, and returns the whole
// output up to TOOL_OUTPUT_CAP bytes and up to the first zero byte. A child
// still running after timeoutMs, or when hCancel is signalled, is terminated
// and what it wrote so far is returned. Every failure gives an empty text.
std::string RunTool(std::string strCommandLine,
                    DWORD timeoutMs = TOOL_QUERY_TIMEOUT_MS,
                    HANDLE hCancel = NULL);

enum ToolKind { TOOL_ADB, TOOL_AAPT };
// Nothing when the run ended by itself; else why it did not, for that tool.
Problem RunProblem(const ToolRun& run, ToolKind tool);
