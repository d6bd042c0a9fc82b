// Reads the TV's eight storage figures, one adb shell run each. Each figure
// is the text the TV printed, line end included; the window shows it as is.
#include "tools/ApkTool.h"
#include "tools/DeviceReport.h"
#include "tools/ToolRunner.h"

StorageOutcome CApkTool::QueryStorage()
{
    std::string* const FIGURES[] = {
        &m_strSystemSize, &m_strSystemFree, &m_strDataSize,   &m_strDataFree,
        &m_strSdcardSize, &m_strSdcardFree, &m_strSdext2Size, &m_strSdext2Free,
    };
    for (std::string* pFigure : FIGURES) pFigure->clear();

    // The runs happen on the window's thread: the first one that does not
    // answer, or that says adb cannot reach the TV, ends the sequence, so a
    // silent TV costs one time limit, not eight.
    for (unsigned int i = 0; i < 8; ++i) {
        ToolRun run = RunToolEx(BuildCommand(CMD_SYSTEM_SIZE + i), TOOL_QUERY_TIMEOUT_MS, m_hCancel);
        if (run.status == TOOL_NOT_STARTED) return STORAGE_NOT_STARTED;
        if (run.status != TOOL_EXITED) return STORAGE_NO_ANSWER;
        if (IsStorageError(run.strOutput)) return STORAGE_ERROR;
        *FIGURES[i] = run.strOutput;
    }
    return STORAGE_READ;
}
