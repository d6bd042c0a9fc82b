// Hands the target of a clicked link (SysLink NM_CLICK) to the shell.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <string>

// The clicked link's target (UTF-16 in the notification) in the system code
// page; characters the code page lacks become its replacement character.
std::string GetClickedLinkTarget(const NMHDR* pNMHDR);
// ShellExecute "open" on the clicked link's target; failures show nothing.
void OpenClickedLink(HWND hOwner, const NMHDR* pNMHDR);
