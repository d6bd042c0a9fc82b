// The status line's words for every problem the tools and readers report,
// from one table, and the prefix of the situation it arose in.
#pragma once
#include <string>
#include "tools/ApkTool.h"

enum StatusContext {
    CONTEXT_TV,         // "电视未连接：..."
    CONTEXT_INSTALL,    // "软件安装失败：..."
    CONTEXT_UNINSTALL,  // "软件卸载失败：..."
    CONTEXT_PACKAGE,    // reading the chosen package or bundle
};

// The whole status text for a problem; empty for no problem.
std::string ProblemText(StatusContext context, const Problem& problem);

// An install's or uninstall's last status: done, done but the expansion
// files did not follow, or failed and why.
std::string OutcomeText(const InstallResult& result, bool bInstall);
