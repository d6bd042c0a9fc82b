// What Davrel reads of a TV after connecting, and after each task. The
// device check decides; the storage listing and getprop need the serial it
// finds. That serial is almost always the one expected (the address itself,
// or the serial found before), so they run together with the check, named by
// it, and count only when the check finds the TV ready under that very
// serial. Otherwise they are read again for the serial found, or not at all
// when the TV is not ready: the outcome is that of reading in turn.
#include "tools/ApkTool.h"
#include "tools/ToolRunner.h"

ConnectedTv CApkTool::ReadConnectedTv(const std::string& strAddress, const std::string& strLikelySerial,
                                      bool bProperties) const
{
    auto queriesFor = [&](const std::string& strSerial) {
        std::vector<std::string> queries = {StorageQuery(strSerial)};
        if (bProperties) queries.push_back(PropertiesQuery(strSerial));
        return queries;
    };
    std::vector<std::string> queries = {DevicesQuery()};
    if (!strLikelySerial.empty()) {
        std::vector<std::string> more = queriesFor(strLikelySerial);
        queries.insert(queries.end(), more.begin(), more.end());
    }
    std::vector<ToolRun> runs = RunToolsTogether(queries, TOOL_QUERY_TIMEOUT_MS, m_hCancel);
    ConnectedTv tv;
    tv.check = ReadDeviceCheck(runs[0], strAddress);
    if (!tv.check.problem.IsNone()) return tv;
    if (strLikelySerial.empty() || tv.check.strSerial != strLikelySerial) {  // those answers were another device's
        std::vector<ToolRun> again = RunToolsTogether(queriesFor(tv.check.strSerial), TOOL_QUERY_TIMEOUT_MS, m_hCancel);
        runs.resize(1);
        runs.insert(runs.end(), again.begin(), again.end());
    }
    tv.storage = ReadStorageRun(runs[1]);
    if (!tv.storage.problem.IsNone() || !bProperties) return tv;
    // A TV that did not say leaves the checks before an install unknown (nSdk 0).
    tv.bProperties = true;
    TvProperties properties;
    if (ReadPropertiesRun(runs[2], properties)) tv.properties = properties;
    return tv;
}

TvAfterTask CApkTool::ReadTvAfterTask(const std::string& strSerial, const std::string& strPackageName,
                                      bool bProperties, bool bStorage) const
{
    TvAfterTask after;
    after.bVersion = !strPackageName.empty();
    after.bProperties = bProperties;
    after.bStorage = bStorage;
    std::vector<std::string> queries;
    if (after.bVersion) queries.push_back(VersionQuery(strPackageName, strSerial));
    if (bProperties) queries.push_back(PropertiesQuery(strSerial));
    if (bStorage) queries.push_back(StorageQuery(strSerial));
    std::vector<ToolRun> runs = RunToolsTogether(queries, TOOL_QUERY_TIMEOUT_MS, m_hCancel);
    size_t nRun = 0;
    if (after.bVersion) after.version = ReadVersionRun(runs[nRun++], strPackageName);
    if (bProperties && !ReadPropertiesRun(runs[nRun++], after.properties)) after.properties = TvProperties();
    if (bStorage) after.storage = ReadStorageRun(runs[nRun++]);
    return after;
}
