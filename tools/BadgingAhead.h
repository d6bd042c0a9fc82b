// A plain package's badging report read beside the window's thread before
// the user has finished choosing it: from the moment they point at it in the
// file dialog, or at the latest as they confirm it. The package is read as
// the file was when the read began; a file changed since is read again.
#pragma once
#include <windows.h>
#include <future>
#include <string>
#include "framework/ScopedWin.h"
#include "tools/ToolRunner.h"

class CBadgingAhead {
public:
    CBadgingAhead() = default;
    // Starts strCommand (aapt's badging of strApkPath) beside the caller;
    // nothing starts when the file cannot be looked at or is a folder.
    CBadgingAhead(const std::string& strApkPath, const std::string& strCommand, DWORD timeoutMs);
    CBadgingAhead(CBadgingAhead&& other) noexcept = default;
    CBadgingAhead& operator=(CBadgingAhead&& other) noexcept;
    ~CBadgingAhead() { Drop(); }  // a read no longer wanted is ended, not waited out

    bool Running() const;
    // This read is of strApkPath as the file is now.
    bool IsOf(const std::string& strApkPath) const;
    ToolRun Take();  // waits for the report; the read is used up

private:
    void Drop();
    std::string m_strApkPath;
    WIN32_FILE_ATTRIBUTE_DATA m_stamp = {};
    CScopedHandle m_cancel;  // before the run: it outlives the run's use of it
    std::future<ToolRun> m_run;
};
