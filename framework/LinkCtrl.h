// The SysLink control (common controls 6). Its text may carry <a> markup; a
// click on a link reaches the parent as WM_NOTIFY / NM_CLICK with an NMLINK.
#pragma once
#include "framework/Wnd.h"

class CLinkCtrl : public CWnd {};
