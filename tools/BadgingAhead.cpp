#include "tools/BadgingAhead.h"
#include <chrono>
#include "tools/RunBeside.h"

namespace {
bool LookAt(const std::string& strPath, WIN32_FILE_ATTRIBUTE_DATA& stamp) {
    return !strPath.empty() && ::GetFileAttributesExA(strPath.c_str(), GetFileExInfoStandard, &stamp) &&
           !(stamp.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}
}  // namespace

CBadgingAhead::CBadgingAhead(const std::string& strApkPath, const std::string& strCommand, DWORD timeoutMs) {
    if (strCommand.empty() || !LookAt(strApkPath, m_stamp)) return;
    m_cancel.Reset(::CreateEventA(NULL, TRUE, FALSE, NULL));
    if (!m_cancel) return;
    const HANDLE hCancel = m_cancel.Get();
    m_run = RunBeside([strCommand, timeoutMs, hCancel] { return RunToolEx(strCommand, timeoutMs, hCancel); });
    if (m_run.valid()) m_strApkPath = strApkPath;
}

CBadgingAhead& CBadgingAhead::operator=(CBadgingAhead&& other) noexcept {
    if (this != &other) {
        Drop();
        m_strApkPath = std::move(other.m_strApkPath);
        m_stamp = other.m_stamp;
        m_cancel = std::move(other.m_cancel);
        m_run = std::move(other.m_run);
    }
    return *this;
}

bool CBadgingAhead::Running() const {
    return m_run.valid() && m_run.wait_for(std::chrono::seconds(0)) != std::future_status::ready;
}

bool CBadgingAhead::IsOf(const std::string& strApkPath) const {
    WIN32_FILE_ATTRIBUTE_DATA now = {};
    // Windows names a file in any case; the dialog's result may differ from what was typed.
    return m_run.valid() && ::lstrcmpiA(strApkPath.c_str(), m_strApkPath.c_str()) == 0 && LookAt(strApkPath, now) &&
           now.nFileSizeHigh == m_stamp.nFileSizeHigh && now.nFileSizeLow == m_stamp.nFileSizeLow &&
           ::CompareFileTime(&now.ftLastWriteTime, &m_stamp.ftLastWriteTime) == 0;
}

ToolRun CBadgingAhead::Take() {
    ToolRun run = m_run.valid() ? m_run.get() : ToolRun();
    m_strApkPath.clear();
    return run;
}

void CBadgingAhead::Drop() {
    if (!m_run.valid()) return;
    if (m_cancel) ::SetEvent(m_cancel.Get());
    m_run.wait();
    m_run = std::future<ToolRun>();
    m_strApkPath.clear();
}
