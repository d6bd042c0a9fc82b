// The status line's texts.
#pragma once

const char STATUS_BAD_ARGUMENT[] = "获取APK信息失败，请检查APK文件名是否含空格";
const char STATUS_DATA_INCOMPLETE[] = "Davrel数据不完整，请<a href=\"#\">点击此处</a>重新下载";
const char STATUS_LOADING[] = " ";
const char STATUS_READY[] = "软件已就绪，点击\"安装\"按钮进行安装...";
const char STATUS_NO_INFO[] = "无法获取该APK文件信息";
const char STATUS_CONNECTED[] = "电视连接良好";
const char STATUS_NOT_CONNECTED[] = "电视未连接";
const char STATUS_CONNECTING[] = "正在连接电视...";
const char STATUS_INSTALLING[] = "正在安装软件...";
// A large package on its way: the share on the TV (%d), then the TV installs it.
const char STATUS_SHARE_SENT[] = "正在安装软件... %d%%";
const char STATUS_TV_INSTALLING[] = "正在安装软件... 已全部发送，电视正在安装";
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
const char STATUS_ALREADY_QUEUED[] = "该软件已在安装队列中，请稍候...";

// The permission box shows no more lines than fit the screen, then this
// (%d: how many more).
const char PERMISSIONS_MORE[] = "……另有 %d 项权限未列出";

// Bundles (.apks, .xapk, .apkm): the steps of an install. Why one was
// refused, like every other problem, is worded in ProblemText.cpp.
const char STATUS_UNPACKING[] = "正在解压安装包...";
const char STATUS_PUSHING_OBB[] = "正在复制OBB数据到电视...";
const char STATUS_OBB_FAILED[] = "软件已安装，但OBB数据未能复制到电视";

// The version the TV has of the loaded package, beside its details.
const char INSTALLED_ON_TV[] = "电视上已安装：";
// An older version over the TV's newer one, or a copy signed with another
// key: the user decides. %s: the TV's version, then the package's.
const char ASK_TITLE[] = "Davrel";
const char ASK_DOWNGRADE[] = "电视上已安装此软件的较新版本 %s，所选的是较旧的版本 %s。\n\n"
                             "软件的数据可能无法在旧版本中使用。仍要安装旧版本吗？";
const char ASK_UNINSTALL_FOR_DOWNGRADE[] = "电视不允许用旧版本覆盖此软件的新版本。\n\n"
                                           "要先卸载电视上的版本再安装吗？\n注意：电视上此软件的数据将全部丢失。";
const char ASK_UNINSTALL_FOR_KEY[] = "电视上的此软件使用了不同的签名，无法直接更新。\n\n"
                                     "要先卸载电视上的版本再安装吗？\n注意：电视上此软件的数据将全部丢失。";
const char STATUS_INSTALL_CANCELLED[] = "已取消安装";
// %s: the free space as the TV printed it, then the package's size.
const char ASK_LOW_SPACE[] = "电视上所选安装位置的剩余空间（%s）小于此软件的大小（%s），安装很可能失败。\n\n"
                             "仍要安装吗？";
const char VERSION_UNKNOWN[] = "（未知）";
