// What Davrel reads of a TV after connecting, and after each task. The
// device check decides; the storage listing and getprop need the serial it
// finds. That serial is almost always the one expected (the address itself,
// or the serial found before), so they run together with the check, named by
// it, and count only when the check finds the TV ready under that very
// serial. Otherwise they are read again for the serial found, or not at all
// when the TV is not ready: the outcome is that of reading in turn.
//
// The TV's own queries (the storage listing, getprop, the package's
// version) share one adb shell run, told apart by tools/ShellTogether.
#include "tools/ApkTool.h"
#include "tools/ShellTogether.h"
#include "tools/ToolRunner.h"

std::string CApkTool::TvShellQuery(const std::string& strSerial, const std::vector<std::string>& vecScripts) const
{
    std::string strAdb;
    {
        CLockGuard lock(m_csFields);
        strAdb = m_strAdbPath;
    }
    return strAdb.empty() || vecScripts.empty()
               ? std::string()
               : CCommandLine::Adb(strAdb, strSerial).Word("shell").Shell(ShellScriptsInTurn(vecScripts)).Text();
}

ConnectedTv CApkTool::ReadConnectedTv(const std::string& strAddress, const std::string& strLikelySerial,
                                      bool bProperties) const
{
    std::vector<std::string> scripts = {STORAGE_SCRIPT};
    if (bProperties) scripts.push_back(PROPERTIES_SCRIPT);
    std::vector<std::string> queries = {DevicesQuery()};
    if (!strLikelySerial.empty()) queries.push_back(TvShellQuery(strLikelySerial, scripts));
    std::vector<ToolRun> runs = RunToolsTogether(queries, TOOL_QUERY_TIMEOUT_MS, m_hCancel);
    ConnectedTv tv;
    tv.check = ReadDeviceCheck(runs[0], strAddress);
    if (!tv.check.problem.IsNone()) return tv;
    if (strLikelySerial.empty() || tv.check.strSerial != strLikelySerial)  // those answers were another device's
        runs = {runs[0], RunToolEx(TvShellQuery(tv.check.strSerial, scripts), TOOL_QUERY_TIMEOUT_MS, m_hCancel)};
    const std::vector<ToolRun> answers = SplitShellRun(runs[1], scripts.size());
    tv.storage = ReadStorageRun(answers[0]);
    if (!tv.storage.problem.IsNone() || !bProperties) return tv;
    // A TV that did not say leaves the checks before an install unknown (nSdk 0).
    tv.bProperties = true;
    TvProperties properties;
    if (ReadPropertiesRun(answers[1], properties)) tv.properties = properties;
    return tv;
}

TvAfterTask CApkTool::ReadTvAfterTask(const std::string& strSerial, const std::string& strPackageName,
                                      bool bProperties, bool bStorage) const
{
    TvAfterTask after;
    after.bVersion = !strPackageName.empty();
    after.bProperties = bProperties;
    after.bStorage = bStorage;
    // A name that may not reach the shell is asked for no version (that read never starts).
    const bool bAskVersion = after.bVersion && IsSafePackageName(strPackageName);
    std::vector<std::string> scripts;
    if (bAskVersion) scripts.push_back(VERSION_SCRIPT + strPackageName);
    if (bProperties) scripts.push_back(PROPERTIES_SCRIPT);
    if (bStorage) scripts.push_back(STORAGE_SCRIPT);
    // One query alone runs as it always has.
    std::string strQuery = scripts.size() > 1 ? TvShellQuery(strSerial, scripts)
                           : bAskVersion      ? VersionQuery(strPackageName, strSerial)
                           : bProperties      ? PropertiesQuery(strSerial)
                                              : StorageQuery(strSerial);
    std::vector<ToolRun> runs;
    if (!scripts.empty())
        runs = SplitShellRun(RunToolEx(strQuery, TOOL_QUERY_TIMEOUT_MS, m_hCancel), scripts.size());
    size_t nRun = 0;
    if (after.bVersion) after.version = ReadVersionRun(bAskVersion ? runs[nRun++] : ToolRun(), strPackageName);
    if (bProperties && !ReadPropertiesRun(runs[nRun++], after.properties)) after.properties = TvProperties();
    if (bStorage) after.storage = ReadStorageRun(runs[nRun++]);
    return after;
}
