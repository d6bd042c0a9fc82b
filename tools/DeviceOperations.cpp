// Talks to the TV through adb: is the device attached, connect, install,
// uninstall. These run on the task thread too, so they write no member and
// read the package details only as copies taken under m_csFields.
#include "tools/ApkTool.h"
#include "tools/DeviceReport.h"
#include "tools/FileSize.h"
#include "tools/ToolRunner.h"

InstallResult CApkTool::RunChange(const std::string& strCommand, HANDLE hCancel)
{
    InstallResult result;
    if (strCommand.empty()) {  // a refused part: nothing may run
        result.problem = Problem(PROBLEM_REFUSED);
        return result;
    }
    ToolRun run = RunToolEx(strCommand, TOOL_NO_TIMEOUT, hCancel);
    result.problem = RunProblem(run, TOOL_ADB);
    if (!result.problem.IsNone()) return result;
    return ReadInstallOutput(run.strOutput);
}

bool CApkTool::IsDeviceConnected() const
{
    return CheckDevice(Serial()).problem.IsNone();
}

std::string CApkTool::DevicesQuery() const
{
    return BuildCommand(CMD_DEVICES);
}

DeviceCheck CApkTool::ReadDeviceCheck(const ToolRun& run, const std::string& strAddress)
{
    DeviceCheck check;
    check.problem = RunProblem(run, TOOL_ADB);
    return check.problem.IsNone() ? ReadDeviceState(run.strOutput, strAddress) : check;
}

DeviceCheck CApkTool::CheckDevice(const std::string& strAddress) const
{
    return ReadDeviceCheck(RunToolEx(DevicesQuery(), TOOL_QUERY_TIMEOUT_MS, m_hCancel), strAddress);
}

Problem CApkTool::Connect(const std::string& strAddress) const
{
    std::string strAdb;
    {
        CLockGuard lock(m_csFields);
        strAdb = m_strAdbPath;
    }
    std::string strCommand = CCommandLine::Adb(strAdb).Word("connect").Word(strAddress).Text();
    if (strCommand.empty()) return Problem(PROBLEM_BAD_ADDRESS);
    // A connect still waiting at the limit is ended. Most often nothing
    // answers at the address; only when adb's server itself no longer
    // answers is it restarted (that cuts every other adb connection on
    // this PC, so never otherwise), and the connect tried once more.
    ToolRun run = RunToolEx(strCommand, TOOL_QUERY_TIMEOUT_MS, m_hCancel);
    if (run.status == TOOL_TIMED_OUT) {
        ToolRun list = RunToolEx(CCommandLine::Adb(strAdb).Word("devices").Text(), TOOL_QUERY_TIMEOUT_MS, m_hCancel);
        if (list.status == TOOL_EXITED) return Problem(PROBLEM_NOT_AT_ADDRESS);
        if (list.status != TOOL_TIMED_OUT) return RunProblem(list, TOOL_ADB);
        RunToolEx(CCommandLine::Adb(strAdb).Word("kill-server").Text(), TOOL_QUERY_TIMEOUT_MS, m_hCancel);
        run = RunToolEx(strCommand, TOOL_QUERY_TIMEOUT_MS, m_hCancel);
    }
    Problem problem = RunProblem(run, TOOL_ADB);
    return problem.IsNone() ? ReadConnectOutput(run.strOutput) : problem;
}

InstallResult CApkTool::InstallPackage(int bInternal) const
{
    return InstallPackage(bInternal, GetApkPath(), Serial());
}

InstallResult CApkTool::InstallPackage(int bInternal, const std::string& strApkPath, const std::string& strSerial,
                                       bool bDowngrade, const std::function<void(int)>& onProgress) const
{
    unsigned long long nBytes = 0;
    if (onProgress && PackageFileBytes(strApkPath, nBytes) && nBytes > PROGRESS_MIN_BYTES)
        return InstallPushed(bInternal != 0, bDowngrade, strApkPath, strSerial, nBytes, onProgress);
    InstallResult result = RunChange(BuildInstallCommand(bInternal != 0, bDowngrade, strApkPath, strSerial), m_hCancel);
    // adb pushes a plain package to /data/local/tmp first (old TVs, and any
    // adb without streamed installs): a drop leaves it half-sent there.
    if (!result.bSuccess && IsConnectionDrop(result.problem)) result.strLeftover = TvTransferPath(strApkPath);
    return result;
}

const char PROPERTIES_SCRIPT[] = "getprop";
const char VERSION_SCRIPT[] = "dumpsys package ";

std::string CApkTool::VersionQuery(const std::string& strPackageName, const std::string& strSerial) const
{
    std::string strAdb;
    {
        CLockGuard lock(m_csFields);
        strAdb = m_strAdbPath;
    }
    return CCommandLine::Adb(strAdb, strSerial).Word("shell").Word("dumpsys").Word("package").Package(strPackageName).Text();
}

// An unsafe name builds no command line: that run never started, and says so.
InstalledVersion CApkTool::ReadVersionRun(const ToolRun& run, const std::string& strPackageName)
{
    InstalledVersion version;
    version.problem = RunProblem(run, TOOL_ADB);
    if (!version.problem.IsNone()) return version;
    if (IsStorageError(run.strOutput) && run.strOutput.find("Packages:") == std::string::npos) {
        version.problem = Problem(PROBLEM_ADB_ERROR, StorageErrorWords(run.strOutput));
        return version;
    }
    return ReadInstalledVersion(run.strOutput, strPackageName);
}

bool CApkTool::UninstallPackage() const
{
    std::string strPackageName, strSerial;
    {
        CLockGuard lock(m_csFields);
        // A non-empty label is the sign that package details are loaded.
        if (m_strLabel.empty()) return false;
        strPackageName = m_strPackageName;
        strSerial = m_strSerial;
    }
    return UninstallPackage(strPackageName, strSerial).bSuccess;
}

InstallResult CApkTool::UninstallPackage(const std::string& strPackageName, const std::string& strSerial) const
{
    // The name comes from the package's own manifest and goes on to the
    // TV's shell: the command builder refuses anything but a plain name.
    return RunChange(BuildUninstallCommand(strPackageName, strSerial), m_hCancel);
}

std::string CApkTool::PropertiesQuery(const std::string& strSerial) const
{
    std::string strAdb;
    {
        CLockGuard lock(m_csFields);
        strAdb = m_strAdbPath;
    }
    return CCommandLine::Adb(strAdb, strSerial).Word("shell").Word("getprop").Text();
}

bool CApkTool::ReadPropertiesRun(const ToolRun& run, TvProperties& tv)
{
    if (run.status != TOOL_EXITED) return false;
    tv = ReadTvProperties(run.strOutput);
    return tv.nSdk > 0;
}

bool CApkTool::RemoveTvFile(const std::string& strSerial, const std::string& strPath) const
{
    std::string strAdb;
    {
        CLockGuard lock(m_csFields);
        strAdb = m_strAdbPath;
    }
    // A plain word, or nothing runs: adb hands the words to the TV's shell.
    std::string strCommand = CCommandLine::Adb(strAdb, strSerial).Word("shell").Word("rm").Word("-f").Word(strPath).Text();
    ToolRun run = RunToolEx(strCommand, TOOL_QUERY_TIMEOUT_MS, m_hCancel);
    return run.status == TOOL_EXITED && !IsStorageError(run.strOutput);
}
