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
const char STATUS_INSTALLED[] = "软件安装完成";
const char STATUS_INSTALL_FAILED[] = "软件安装失败";
const char STATUS_REASON_SEPARATOR[] = "：";
const char STATUS_UNINSTALLING[] = "正在卸载软件...";
const char STATUS_UNINSTALLED[] = "软件卸载完成";
const char STATUS_UNINSTALL_FAILED[] = "软件卸载失败";
const char STATUS_CHOOSE_TO_UNINSTALL[] = "请选择你要卸载的软件";

const char PERMISSIONS_TITLE[] = "APK权限列表";
