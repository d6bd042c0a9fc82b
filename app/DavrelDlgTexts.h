// The status line's texts.
#pragma once
#include "package/BundleArchive.h"

const char STATUS_BAD_ARGUMENT[] = "获取APK信息失败，请检查APK文件名是否含空格";
const char STATUS_DATA_INCOMPLETE[] = "Davrel数据不完整，请<a href=\"#\">点击此处</a>重新下载";
const char STATUS_LOADING[] = " ";
const char STATUS_READY[] = "软件已就绪，点击\"安装\"按钮进行安装...";
const char STATUS_NO_INFO[] = "无法获取该APK文件信息";
const char STATUS_CONNECTED[] = "电视连接良好";
const char STATUS_NOT_CONNECTED[] = "电视未连接";
const char STATUS_CONNECTING[] = "正在连接电视...";
const char STATUS_INSTALLING[] = "正在安装软件...";
const char STATUS_INSTALLED[] = "软件安装完成";
const char STATUS_INSTALL_FAILED[] = "软件安装失败";
const char STATUS_REASON_SEPARATOR[] = "：";
const char STATUS_UNINSTALLING[] = "正在卸载软件...";
const char STATUS_UNINSTALLED[] = "软件卸载完成";
const char STATUS_UNINSTALL_FAILED[] = "软件卸载失败";
const char STATUS_CHOOSE_TO_UNINSTALL[] = "请选择你要卸载的软件";

const char PERMISSIONS_TITLE[] = "APK权限列表";

// Our own: texts for what the above do not cover.
const char STATUS_READING[] = "正在读取APK信息...";
const char STATUS_NOT_A_FILE[] = "所选的是文件夹，不是APK文件";
const char STATUS_UNREADABLE[] = "无法读取该APK文件，请检查它是否被占用或有无读取权限";
const char STATUS_NAME_UNUSABLE[] = "文件名含特殊字符或路径过长，请改名或移到短路径下";
const char STATUS_NOT_A_PACKAGE[] = "拖入的不是APK文件";
const char STATUS_TASK_WAITING[] = "请稍候，前一项任务完成后继续...";
const char REASON_ADB_NOT_STARTED[] = "无法启动adb.exe";

// After STATUS_NOT_CONNECTED and STATUS_REASON_SEPARATOR: why no TV is ready.
const char REASON_NONE[] = "请输入电视IP地址后点击\"连接设备\"";
const char REASON_NOT_AT_ADDRESS[] = "此地址没有电视响应，请检查IP和电视的网络调试";
const char REASON_UNAUTHORIZED[] = "请在电视弹出的调试授权提示中选择\"允许\"";
const char REASON_OFFLINE[] = "电视已离线，请重新点击\"连接设备\"";
const char REASON_NO_PERMISSIONS[] = "系统不允许adb访问该设备";
const char REASON_ADB_ERROR[] = "adb.exe出错：";
const char REASON_ADB_TIMED_OUT[] = "adb.exe超时未结束，电视可能没有响应";
const char REASON_TV_SILENT[] = "电视没有响应，请检查电视的网络后点击\"刷新\"";

// The permission box shows no more lines than fit the screen, then this
// (%d: how many more).
const char PERMISSIONS_MORE[] = "……另有 %d 项权限未列出";

// Bundles (.apks, .xapk, .apkm): the steps of an install and why one was
// refused or could not be read; shown alone after choosing, after
// STATUS_INSTALL_FAILED and STATUS_REASON_SEPARATOR after Install.
const char STATUS_UNPACKING[] = "正在解压安装包...";
const char STATUS_PUSHING_OBB[] = "正在复制OBB数据到电视...";
const char STATUS_OBB_FAILED[] = "软件已安装，但OBB数据未能复制到电视";
const struct {
    BundleIssue issue;
    const char* pszText;  // %d: the SDK the package needs, then the TV's; %s: the TV's CPU types
} BUNDLE_ISSUE_TEXTS[] = {
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
    {BUNDLE_TV_NOT_READ, REASON_TV_SILENT},
};
