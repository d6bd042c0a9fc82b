#include "tools/ShellTogether.h"

const char SHELL_PART_END[] = "DAVREL-PART-END";

std::string ShellScriptsInTurn(const std::vector<std::string>& vecScripts) {
    std::string strScript;
    for (size_t i = 0; i < vecScripts.size(); ++i)
        strScript += (i ? std::string("; echo ") + SHELL_PART_END + "; " : std::string()) + vecScripts[i];
    return strScript;
}

namespace {
// Where the line starts at or after nFrom (alone on its line, after CR LF or LF), else npos.
size_t FindPartEnd(const std::string& strOutput, size_t nFrom, size_t& nNext) {
    const std::string strLine = SHELL_PART_END;
    for (size_t nAt = strOutput.find(strLine, nFrom); nAt != std::string::npos; nAt = strOutput.find(strLine, nAt + 1)) {
        const size_t nEnd = nAt + strLine.size();
        const bool bLineStart = nAt == 0 || strOutput[nAt - 1] == '\n';
        size_t nAfter = nEnd;
        if (nAfter < strOutput.size() && strOutput[nAfter] == '\r') ++nAfter;
        const bool bLineEnd = nAfter == strOutput.size() || strOutput[nAfter] == '\n';
        if (bLineStart && bLineEnd) {
            nNext = nAfter < strOutput.size() ? nAfter + 1 : nAfter;
            return nAt;
        }
    }
    return std::string::npos;
}
}  // namespace

std::vector<ToolRun> SplitShellRun(const ToolRun& run, size_t nScripts) {
    std::vector<ToolRun> parts(nScripts, run);
    size_t nNext = 0;
    if (nScripts < 2 || FindPartEnd(run.strOutput, 0, nNext) == std::string::npos) return parts;
    size_t nStart = 0;
    for (size_t i = 0; i < nScripts; ++i) {
        size_t nAt = i + 1 < nScripts ? FindPartEnd(run.strOutput, nStart, nNext) : std::string::npos;
        if (nStart > run.strOutput.size()) nStart = run.strOutput.size();
        if (nAt == std::string::npos) {  // the last, or the output stopped before this one's end
            parts[i].strOutput = run.strOutput.substr(nStart);
            nStart = run.strOutput.size() + 1;
            continue;
        }
        parts[i].strOutput = run.strOutput.substr(nStart, nAt - nStart);
        parts[i].status = TOOL_EXITED;
        nStart = nNext;
    }
    return parts;
}
