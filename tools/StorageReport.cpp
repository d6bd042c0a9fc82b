// Reads the TV's eight storage figures, one adb shell run each. Each figure
// is the text the TV printed, line end included; the window shows it as is.
#include "tools/ApkTool.h"
#include "tools/DeviceReport.h"
#include "tools/ToolRunner.h"

void CApkTool::QueryStorage()
{
    std::string* const FIGURES[] = {
        &m_strSystemSize, &m_strSystemFree, &m_strDataSize,   &m_strDataFree,
        &m_strSdcardSize, &m_strSdcardFree, &m_strSdext2Size, &m_strSdext2Free,
    };
    for (std::string* pFigure : FIGURES) pFigure->clear();

    for (unsigned int i = 0; i < 8; ++i) {
        *FIGURES[i] = RunTool(BuildCommand(CMD_SYSTEM_SIZE + i), TOOL_QUERY_TIMEOUT_MS, m_hCancel);
        // "error" in the first answer means adb could not reach the TV: every
        // figure stays empty, so the other seven runs need not wait for it.
        if (i == 0 && IsStorageError(*FIGURES[0])) {
            FIGURES[0]->clear();
            return;
        }
    }
}
