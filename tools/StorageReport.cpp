// Reads the TV's eight storage figures, one adb shell run each. Each figure
// is the text the TV printed, line end included; the window shows it as is.
#include "tools/ApkTool.h"
#include "tools/DeviceReport.h"
#include "tools/ToolRunner.h"

namespace {

// A busybox pipeline run in the TV's shell that prints one column of the
// `df -h` line of one mount point.
const char* const STORAGE_SCRIPTS[STORAGE_FIGURES] = {
    "busybox df -h|busybox grep ' /system$'|busybox awk '{print $2}'",
    "busybox df -h|busybox grep ' /system$'|busybox awk '{print $4}'",
    "busybox df -h|busybox grep ' /data$'|busybox awk '{print $2}'",
    "busybox df -h|busybox grep ' /data$'|busybox awk '{print $4}'",
    "busybox df -h|busybox grep ' /mnt/sdcard$'|busybox awk '{print $1}'",
    "busybox df -h|busybox grep ' /mnt/sdcard$'|busybox awk '{print $3}'",
    "busybox df -h|busybox grep ' /data/sdext2$'|busybox awk '{print $1}'",
    "busybox df -h|busybox grep ' /data/sdext2$'|busybox awk '{print $3}'",
};

}  // namespace

std::string StorageCommand(const std::string& strAdbPath, const std::string& strSerial, int nIndex)
{
    if (strAdbPath.empty() || nIndex < 0 || nIndex >= STORAGE_FIGURES) return std::string();
    return CCommandLine::Adb(strAdbPath, strSerial).Word("shell").Shell(STORAGE_SCRIPTS[nIndex]).Text();
}

StorageReading CApkTool::ReadStorage(const std::string& strSerial) const
{
    std::string strAdb;
    {
        CLockGuard lock(m_csFields);
        strAdb = m_strAdbPath;
    }
    StorageReading reading;
    // The first query that does not answer, or that says adb cannot reach
    // the TV, ends the sequence, so a silent TV costs one time limit, not
    // eight. What was read before it is dropped: a TV that went away
    // half-way must not show half its figures as if it were still there.
    for (int i = 0; i < STORAGE_FIGURES && reading.problem.IsNone(); ++i) {
        ToolRun run = RunToolEx(StorageCommand(strAdb, strSerial, i), TOOL_QUERY_TIMEOUT_MS, m_hCancel);
        reading.problem = RunProblem(run, TOOL_ADB);
        if (reading.problem.code == PROBLEM_ADB_TIMED_OUT) reading.problem = Problem(PROBLEM_TV_SILENT);
        else if (reading.problem.IsNone() && IsStorageError(run.strOutput))
            reading.problem = Problem(PROBLEM_ADB_ERROR, StorageErrorWords(run.strOutput));
        else reading.strFigures[i] = run.strOutput;
    }
    if (!reading.problem.IsNone())
        for (std::string& strFigure : reading.strFigures) strFigure.clear();
    return reading;
}

void CApkTool::KeepStorage(const StorageReading& reading)
{
    std::string* const FIGURES[STORAGE_FIGURES] = {
        &m_strSystemSize, &m_strSystemFree, &m_strDataSize,   &m_strDataFree,
        &m_strSdcardSize, &m_strSdcardFree, &m_strSdext2Size, &m_strSdext2Free,
    };
    for (int i = 0; i < STORAGE_FIGURES; ++i) *FIGURES[i] = reading.strFigures[i];
}

Problem CApkTool::QueryStorage()
{
    StorageReading reading = ReadStorage(Serial());
    KeepStorage(reading);
    return reading.problem;
}
