// Loads the current package's details: aapt's badging report, read by
// ReadBadgingReport, and the package file's size; a bundle's by LoadBundleInfo.
#include "tools/ApkTool.h"
#include "tools/BadgingReport.h"
#include "tools/FileSize.h"
#include "tools/ToolRunner.h"

std::string BadgingCommand(const std::string& strAapt, const std::string& strFile) {
    return CCommandLine::Aapt(strAapt).Word("d").Word("badging").Path(strFile).Text();
}

CBadgingAhead CApkTool::StartBadging(const std::string& strApkPath) const
{
    if (strApkPath.empty() || BundleKindOf(strApkPath) != BUNDLE_NONE) return CBadgingAhead();
    std::string strCommand;
    {
        CLockGuard lock(m_csFields);
        if (!m_strAaptPath.empty()) strCommand = BadgingCommand(m_strAaptPath, strApkPath);
    }
    return CBadgingAhead(strApkPath, strCommand, TOOL_QUERY_TIMEOUT_MS);
}

void CApkTool::LoadPackageInfo(CBadgingAhead* pAhead)
{
    std::string strCommand;
    std::string strApkPath;
    {
        CLockGuard lock(m_csFields);
        strCommand = BuildCommand(CMD_BADGING);
        strApkPath = m_strApkPath;
    }
    if (BundleKindOf(strApkPath) != BUNDLE_NONE) {
        LoadBundleInfo(strApkPath);
        return;
    }
    // aapt runs without the lock so that a running install is not held up;
    // the permission table belongs to this (the window's) thread alone.
    const bool bAhead = pAhead && pAhead->IsOf(strApkPath);
    ToolRun run = bAhead ? pAhead->Take() : RunToolEx(strCommand, TOOL_QUERY_TIMEOUT_MS, m_hCancel);
    // A missing or hung aapt is told apart from a package it cannot read.
    Problem problem = RunProblem(run, TOOL_AAPT);
    BadgingDetails details;
    const bool bRead = problem.IsNone();
    if (bRead) details = ReadBadgingReport(run.strOutput, m_mapPermissions);
    std::string strFileSize;
    if (!details.bDumpFailed) strFileSize = MeasurePackageFile(strApkPath);
    if (bRead && details.strLabel.empty()) problem = Problem(PROBLEM_PACKAGE_UNREADABLE);

    StoreDetails(details, strFileSize, false, problem, std::string());
}
