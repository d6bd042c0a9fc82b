#include "app/ProblemText.h"

#include <windows.h>
#include "app/DavrelDlgTexts.h"
#include "app/StatusText.h"
#include "tools/DeviceReport.h"
#include "tools/BadgingReport.h"

namespace {

const struct {
    ProblemCode code;
    const char* pszReason;  // after the situation's prefix and "："
} PROBLEM_TEXTS[] = {
    {PROBLEM_ADB_NOT_STARTED, "无法启动adb.exe"},
    {PROBLEM_ADB_TIMED_OUT, "adb.exe超时未结束，电视可能没有响应"},
    {PROBLEM_AAPT_NOT_STARTED, "无法启动aapt.exe"},
    {PROBLEM_AAPT_TIMED_OUT, "aapt.exe超时未结束，请稍后重试"},
    {PROBLEM_WAIT_FAILED, "系统无法等待adb.exe或aapt.exe结束，请重试"},
    {PROBLEM_CANCELLED, "操作已取消"},
    {PROBLEM_TASK_NOT_STARTED, "系统无法开始后台任务，请关闭一些程序后重试"},
    {PROBLEM_NO_ADDRESS, "请输入电视IP地址后点击\"连接设备\""},
    {PROBLEM_SEVERAL_DEVICES, "电脑连接了多台设备，请输入电视的IP地址后点击\"连接设备\""},
    {PROBLEM_BAD_ADDRESS, "电视IP地址无效，请检查后重新输入"},
    {PROBLEM_NOT_AT_ADDRESS, "此地址没有电视响应，请检查IP和电视的网络调试"},
    {PROBLEM_UNAUTHORIZED, "请在电视弹出的调试授权提示中选择\"允许\""},
    {PROBLEM_OFFLINE, "电视已离线，请重新点击\"连接设备\""},
    {PROBLEM_NO_PERMISSIONS, "系统不允许adb访问该设备"},
    {PROBLEM_ADB_ERROR, "adb.exe出错："},  // then adb's own words
    {PROBLEM_TV_SILENT, "电视没有响应，请检查电视的网络后点击\"刷新\""},
    {PROBLEM_PACKAGE_UNREADABLE, ""},      // the package prefix says it all
    {PROBLEM_REFUSED, ""},                 // adb's own words follow
    {PROBLEM_TV_TOO_OLD, "此软件需要%s或更高版本，电视是%s"},
    {PROBLEM_NO_MATCHING_CPU, "此软件只支持%s的CPU，电视的CPU是%s"},
};

const struct {
    BundleIssue issue;
    const char* pszText;  // %d: the SDK the package needs, then the TV's; %s: the TV's CPU types
} BUNDLE_TEXTS[] = {
    {BUNDLE_UNREADABLE, STATUS_UNREADABLE},
    {BUNDLE_NOT_ZIP, "安装包已加密或不是zip文件，无法读取"},
    {BUNDLE_UNSAFE_NAME, "安装包含不安全的文件路径，已拒绝"},
    {BUNDLE_TOO_BIG, "安装包中的文件过大或过多，已拒绝"},
    {BUNDLE_BAD_MANIFEST, "安装包的manifest.json已损坏"},
    {BUNDLE_NO_PACKAGES, "安装包中没有APK文件"},
    {BUNDLE_DAMAGED, "安装包已损坏，无法解压"},
    {BUNDLE_NO_ROOM, "电脑的临时文件夹空间不足"},
    {BUNDLE_NO_BASE, "安装包中缺少主APK"},
    {BUNDLE_MIXED, "安装包中的APK不属于同一软件或版本"},
    {BUNDLE_PART_UNREADABLE, "安装包中有无法读取的APK"},
    {BUNDLE_NEEDS_NEWER_TV, "电视系统版本过低（该软件需要API %d，电视为API %d）"},
    {BUNDLE_TV_WITHOUT_SPLITS, "电视系统低于Android 5.0，无法安装拆分的安装包"},
    {BUNDLE_NO_CPU_MATCH, "安装包中没有适合电视CPU（%s）的版本"},
    {BUNDLE_TV_NOT_READ, "电视没有响应，请检查电视的网络后点击\"刷新\""},
    {BUNDLE_CANCELLED, "操作已取消"},
    {BUNDLE_TOO_SLOW, "读取安装包用时过长，已停止（安装包过大或电脑太忙）"},
};

// The install failures users meet, by the code the package manager gives
// (after INSTALL_FAILED_ or INSTALL_PARSE_FAILED_): what it means and what to do.
const struct {
    const char* pszCode;
    const char* pszText;
} FAILURE_TEXTS[] = {
    {"INSUFFICIENT_STORAGE", "电视存储空间不足，请删除一些软件后重试"},
    {"NO_MATCHING_ABIS", "此软件不支持电视的CPU类型"},
    {"OLDER_SDK", "电视的Android版本过低，无法安装此软件"},
    {"INVALID_APK", "安装包无效或已损坏，请重新下载"},
    {"NOT_APK", "所选文件不是有效的APK安装包"},
    {"NO_CERTIFICATES", "安装包没有签名或签名已损坏，请重新下载"},
    {"TEST_ONLY", "这是仅供测试的安装包，电视拒绝安装"},
    {"DUPLICATE_PERMISSION", "电视上已有软件定义了同名权限，请先卸载那个软件"},
    {"CONFLICTING_PROVIDER", "电视上已有软件使用了相同的内容提供者，请先卸载那个软件"},
    {"MISSING_SHARED_LIBRARY", "电视缺少此软件需要的系统库"},
    {"USER_RESTRICTED", "电视禁止安装未知来源的软件，请在电视的\"设置→安全\"中允许安装未知来源的应用"},
    {"VERIFICATION_FAILURE", "电视的安全验证拒绝了此软件，请在电视设置中关闭\"验证应用\"后重试"},
    {"MISSING_SPLIT", "缺少此软件需要的拆分APK，请使用完整的安装包"},
    {"INVALID_INSTALL_LOCATION", "此软件不能安装到所选位置，请将安装路径改为\"电视\"后重试"},
    {"MEDIA_UNAVAILABLE", "电视没有可用的SD卡，请将安装路径改为\"电视\"后重试"},
    {"ABORTED", "安装被电视中止，请重试"},
    {"ALREADY_EXISTS", "电视上已安装此软件"},
    {"VERSION_DOWNGRADE", "电视上已安装此软件的更新版本"},
    {"UPDATE_INCOMPATIBLE", "电视上的此软件签名不同，请先卸载电视上的版本"},
    {"INCONSISTENT_CERTIFICATES", "电视上的此软件签名不同，请先卸载电视上的版本"},
};

// The explanation of a code (without its INSTALL_FAILED_ prefix); NULL for one not in the table.
const char* FailureText(const std::string& strName) {
    for (const auto& row : FAILURE_TEXTS)
        if (strName == row.pszCode) return row.pszText;
    return NULL;
}

// "Failure [INSTALL_FAILED_OLDER_SDK: ...]" as "<explanation>（INSTALL_FAILED_OLDER_SDK）",
// the code kept for searching; words without a known code stay as they are.
std::string RefusalText(const std::string& strWords) {
    for (const char* pszPrefix : {"INSTALL_FAILED_", "INSTALL_PARSE_FAILED_"}) {
        size_t nAt = strWords.find(pszPrefix);
        if (nAt == std::string::npos) continue;
        size_t nEnd = strWords.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ_0123456789", nAt);
        std::string strCode = strWords.substr(nAt, nEnd == std::string::npos ? std::string::npos : nEnd - nAt);
        std::string strName = strCode.substr(std::char_traits<char>::length(pszPrefix));
        if (FailureText(strName)) return std::string(FailureText(strName)) + "（" + strCode + "）";
    }
    std::string strSafe = StatusSafe(strWords);
    // A push that filled the TV: said as the package manager's own code is.
    if (strWords.find("No space left on device") != std::string::npos)
        return std::string(FailureText("INSUFFICIENT_STORAGE")) + "（" + strSafe + "）";
    if (IsConnectionDrop(Problem(PROBLEM_REFUSED, strWords)))
        return "电视断开了连接，请检查电视的网络后重试（" + strSafe + "）";
    // A vendor's own sentence instead of the package manager's answer.
    if (strWords.find("disabled") != std::string::npos || strWords.find("not allowed") != std::string::npos)
        strSafe += "（电视的设置禁止通过网络安装软件）";
    return strSafe;
}

// The two sides of a package the TV cannot take, into the row's two %s.
std::string FitText(const char* pszFormat, const Problem& problem) {
    std::string strPackage, strTv;
    if (problem.code == PROBLEM_TV_TOO_OLD) {
        strPackage = AndroidReleaseName(std::to_string(problem.nNeededSdk));
        strTv = problem.strDetail.empty() ? AndroidReleaseName(std::to_string(problem.nTvSdk))
                                          : "Android " + StatusSafe(problem.strDetail);
    } else {
        strPackage = StatusSafe(problem.strDetail.substr(0, 64));
        strTv = StatusSafe(problem.strTvAbis.substr(0, 64));
    }
    return FilledText(pszFormat, strPackage, strTv);
}

std::string BundleText(const Problem& problem) {
    for (const auto& row : BUNDLE_TEXTS) {
        if (row.issue != problem.bundleIssue) continue;
        char szText[256];
        if (row.issue == BUNDLE_NEEDS_NEWER_TV) {
            wsprintfA(szText, row.pszText, problem.nNeededSdk, problem.nTvSdk);
        } else if (row.issue == BUNDLE_NO_CPU_MATCH) {
            wsprintfA(szText, row.pszText, StatusSafe(problem.strTvAbis.substr(0, 64)).c_str());
        } else {
            return row.pszText;
        }
        return szText;
    }
    return std::string();
}

// The reason alone, without the situation's prefix.
std::string ReasonText(const Problem& problem) {
    if (problem.code == PROBLEM_BUNDLE) return BundleText(problem);
    for (const auto& row : PROBLEM_TEXTS) {
        if (row.code != problem.code) continue;
        // The detail is text of adb's or the TV's: made safe for the line.
        if (problem.code == PROBLEM_REFUSED) return RefusalText(problem.strDetail);
        if (problem.code == PROBLEM_TV_TOO_OLD || problem.code == PROBLEM_NO_MATCHING_CPU) return FitText(row.pszReason, problem);
        bool bWithWords = problem.code == PROBLEM_ADB_ERROR;
        return std::string(row.pszReason) + (bWithWords ? StatusSafe(problem.strDetail) : std::string());
    }
    return std::string();
}

const char* PrefixOf(StatusContext context) {
    switch (context) {
    case CONTEXT_TV: return STATUS_NOT_CONNECTED;
    case CONTEXT_INSTALL: return STATUS_INSTALL_FAILED;
    case CONTEXT_UNINSTALL: return STATUS_UNINSTALL_FAILED;
    case CONTEXT_PACKAGE: return STATUS_NO_INFO;
    }
    return "";
}

}  // namespace

std::string ProblemText(StatusContext context, const Problem& problem) {
    if (problem.IsNone()) return std::string();
    if (problem.code == PROBLEM_OBB_NOT_COPIED) {
        std::string strWhy = problem.bundleIssue != BUNDLE_FINE ? BundleText(problem) : StatusSafe(problem.strDetail);
        return std::string(STATUS_OBB_FAILED) + (strWhy.empty() ? "" : STATUS_REASON_SEPARATOR + strWhy);
    }
    std::string strReason = ReasonText(problem);
    // A bundle that cannot be read says why on its own when chosen.
    if (context == CONTEXT_PACKAGE && problem.code == PROBLEM_BUNDLE) return strReason;
    return std::string(PrefixOf(context)) + (strReason.empty() ? "" : STATUS_REASON_SEPARATOR + strReason);
}

std::string OutcomeText(const InstallResult& result, bool bInstall) {
    if (result.bSuccess && result.problem.code == PROBLEM_OBB_NOT_COPIED)
        return ProblemText(CONTEXT_INSTALL, result.problem);
    if (result.bSuccess) return bInstall ? STATUS_INSTALLED : STATUS_UNINSTALLED;
    return ProblemText(bInstall ? CONTEXT_INSTALL : CONTEXT_UNINSTALL, result.problem);
}
