// Loads the current package's details: aapt's badging report, read by
// ReadBadgingReport, and the package file's size.
#include "tools/ApkTool.h"
#include "tools/BadgingReport.h"
#include "tools/FileSize.h"
#include "tools/ToolRunner.h"

// Empty when the file cannot be opened. The whole 64-bit size counts, so a
// package of 4 GiB or more is not shown as a small one.
std::string MeasurePackageFile(const std::string& strPath)
{
    if (strPath.empty()) return std::string();
    CScopedFile file(::CreateFileA(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL));
    if (!file) return std::string();
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0) return std::string();
    return FormatFileSize(static_cast<unsigned long long>(size.QuadPart));
}

void CApkTool::LoadPackageInfo()
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
    ToolRun run = RunToolEx(strCommand, TOOL_QUERY_TIMEOUT_MS, m_hCancel);
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

void CApkTool::StoreDetails(const BadgingDetails& details, const std::string& strFileSize, bool bBundle,
                            const Problem& problem, const std::string& strBundleIcon)
{
    CLockGuard lock(m_csFields);
    m_strLabel = details.strLabel;
    m_strPackageName = details.strPackageName;
    m_strVersionName = details.strVersionName;
    m_strSdkVersion = details.strSdkVersion;
    m_strFileSize = strFileSize;
    m_strPermissions = details.strPermissions;
    m_strIconEntry = details.strIconEntry;
    m_bBundle = bBundle;
    m_loadProblem = problem;
    m_strBundleIcon = strBundleIcon;
}
