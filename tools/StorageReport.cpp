// Reads the TV's eight storage figures from one "busybox df -h" listing:
// one adb round trip instead of one per figure. Each figure is the column of
// its mount point's line, with the listing's own line end, exactly as the
// busybox pipelines of the single queries print it; the window shows it as is.
#include "tools/ApkTool.h"
#include "framework/StrUtil.h"
#include "tools/DeviceReport.h"
#include "tools/ToolRunner.h"

#include <cstring>
#include <vector>

const char STORAGE_SCRIPT[] = "busybox df -h";

namespace {

// Per figure: the mount point and the column (1-based, as awk counts) of its
// line. A long filesystem name gets a line of its own in busybox's listing,
// so the SD card's lines start with the size.
const struct {
    const char* pszMount;
    int nColumn;
    const char* pszScript;  // the single query of that figure
} STORAGE_FIELDS[STORAGE_FIGURES] = {
    {"/system", 2, "busybox df -h|busybox grep ' /system$'|busybox awk '{print $2}'"},
    {"/system", 4, "busybox df -h|busybox grep ' /system$'|busybox awk '{print $4}'"},
    {"/data", 2, "busybox df -h|busybox grep ' /data$'|busybox awk '{print $2}'"},
    {"/data", 4, "busybox df -h|busybox grep ' /data$'|busybox awk '{print $4}'"},
    {"/mnt/sdcard", 1, "busybox df -h|busybox grep ' /mnt/sdcard$'|busybox awk '{print $1}'"},
    {"/mnt/sdcard", 3, "busybox df -h|busybox grep ' /mnt/sdcard$'|busybox awk '{print $3}'"},
    {"/data/sdext2", 1, "busybox df -h|busybox grep ' /data/sdext2$'|busybox awk '{print $1}'"},
    {"/data/sdext2", 3, "busybox df -h|busybox grep ' /data/sdext2$'|busybox awk '{print $3}'"},
};

}  // namespace

std::string StorageCommand(const std::string& strAdbPath, const std::string& strSerial, int nIndex)
{
    if (strAdbPath.empty() || nIndex < 0 || nIndex >= STORAGE_FIGURES) return std::string();
    return CCommandLine::Adb(strAdbPath, strSerial).Word("shell").Shell(STORAGE_FIELDS[nIndex].pszScript).Text();
}

void ReadStorageListing(const std::string& strListing, std::string (&strFigures)[STORAGE_FIGURES])
{
    const std::string strEnd = strListing.find("\r\n") != std::string::npos ? "\r\n" : "\n";
    std::vector<std::string> lines(1);
    for (char c : strListing) {
        if (c == '\n') lines.emplace_back();
        else if (c != '\r') lines.back() += c;
    }
    for (int i = 0; i < STORAGE_FIGURES; ++i) {
        strFigures[i].clear();
        const std::string strTail = std::string(" ") + STORAGE_FIELDS[i].pszMount;
        for (const std::string& strLine : lines) {
            if (strLine.size() < strTail.size() || strLine.compare(strLine.size() - strTail.size(), strTail.size(), strTail) != 0)
                continue;
            std::vector<std::string> columns = SplitWords(strLine);
            size_t nColumn = static_cast<size_t>(STORAGE_FIELDS[i].nColumn);
            strFigures[i] += (nColumn <= columns.size() ? columns[nColumn - 1] : std::string()) + strEnd;
        }
    }
}

bool ReadStorageBytes(const std::string& strFigure, unsigned long long& nBytes)
{
    // df -h: a number with at most one decimal point, then K, M, G or T
    // (powers of 1024), or bare bytes.
    size_t nAt = 0;
    double fValue = 0, fScale = 0;
    bool bDigits = false, bPoint = false;
    for (; nAt < strFigure.size(); ++nAt) {
        char c = strFigure[nAt];
        if (c >= '0' && c <= '9') {
            bDigits = true;
            if (bPoint) fValue += (c - '0') * (fScale /= 10);
            else fValue = fValue * 10 + (c - '0');
        } else if (c == '.' && !bPoint) {
            bPoint = true;
            fScale = 1;
        } else {
            break;
        }
    }
    if (!bDigits || fValue > 1e6) return false;
    static const char UNITS[] = "KMGT";
    double fUnit = 1;
    if (nAt < strFigure.size()) {
        const char* pUnit = strchr(UNITS, strFigure[nAt]);
        if (!pUnit || !*pUnit || nAt + 1 != strFigure.size()) return false;
        for (const char* p = UNITS; p <= pUnit; ++p) fUnit *= 1024;
    }
    nBytes = static_cast<unsigned long long>(fValue * fUnit);
    return true;
}

std::string CApkTool::StorageQuery(const std::string& strSerial) const
{
    std::string strAdb;
    {
        CLockGuard lock(m_csFields);
        strAdb = m_strAdbPath;
    }
    return strAdb.empty() ? std::string() : CCommandLine::Adb(strAdb, strSerial).Word("shell").Shell(STORAGE_SCRIPT).Text();
}

StorageReading CApkTool::ReadStorageRun(const ToolRun& run)
{
    StorageReading reading;
    reading.problem = RunProblem(run, TOOL_ADB);
    if (reading.problem.code == PROBLEM_ADB_TIMED_OUT) reading.problem = Problem(PROBLEM_TV_SILENT);
    else if (reading.problem.IsNone() && IsStorageError(run.strOutput))
        reading.problem = Problem(PROBLEM_ADB_ERROR, StorageErrorWords(run.strOutput));
    else if (reading.problem.IsNone()) ReadStorageListing(run.strOutput, reading.strFigures);
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
