// Message maps: an ordered table of {message, notification code, control id,
// handler}. The first entry that matches a message handles it. Handlers are
// member functions of the dialog class; the table records their signature so
// the dispatcher calls each with the right arguments.
#pragma once
#include <windows.h>

class CDialog;

enum MessageSignature {
    MSGSIG_END = 0,
    MSGSIG_VOID,        // void OnX()                      commands, WM_PAINT, WM_DESTROY
    MSGSIG_NOTIFY,      // void OnX(NMHDR*, LRESULT*)      WM_NOTIFY
    MSGSIG_SYSCOMMAND,  // void OnX(UINT nID, LPARAM)      WM_SYSCOMMAND
    MSGSIG_HCURSOR,     // HCURSOR OnX()                   WM_QUERYDRAGICON
    MSGSIG_DROPFILES,   // void OnX(HDROP)                 WM_DROPFILES
    MSGSIG_LWL,         // LRESULT OnX(WPARAM, LPARAM)     any message
};

// One handler of one signature; the others stay null.
struct MessageHandler {
    void (CDialog::*pfnVoid)();
    void (CDialog::*pfnNotify)(NMHDR*, LRESULT*);
    void (CDialog::*pfnSysCommand)(UINT, LPARAM);
    HCURSOR (CDialog::*pfnCursor)();
    void (CDialog::*pfnDropFiles)(HDROP);
    LRESULT (CDialog::*pfnLwl)(WPARAM, LPARAM);
};

struct MessageMapEntry {
    UINT nMessage;     // WM_COMMAND / WM_NOTIFY or the message itself
    UINT nCode;        // notification code for WM_COMMAND / WM_NOTIFY, else 0
    UINT nID;          // control id for WM_COMMAND / WM_NOTIFY, else 0
    MessageSignature nSig;
    MessageHandler handler;
};

#define DECLARE_MESSAGE_MAP() \
protected: \
    const MessageMapEntry* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass) \
    const MessageMapEntry* theClass::GetMessageMap() const { \
        typedef theClass ThisClass; \
        static const MessageMapEntry s_entries[] = {

#define END_MESSAGE_MAP() \
            { 0, 0, 0, MSGSIG_END, {} } \
        }; \
        return s_entries; \
    }

// A derived class's member as a member of CDialog (CDialog is a non-virtual base).
#define DLG_FN(type, fn) static_cast<type>(&ThisClass::fn)
#define DLG_VOID(fn) { DLG_FN(void (CDialog::*)(), fn), nullptr, nullptr, nullptr, nullptr, nullptr }

#define ON_WM_SYSCOMMAND() \
    { WM_SYSCOMMAND, 0, 0, MSGSIG_SYSCOMMAND, \
      { nullptr, nullptr, DLG_FN(void (CDialog::*)(UINT, LPARAM), OnSysCommand), nullptr, nullptr, nullptr } },
#define ON_WM_PAINT() \
    { WM_PAINT, 0, 0, MSGSIG_VOID, DLG_VOID(OnPaint) },
#define ON_WM_QUERYDRAGICON() \
    { WM_QUERYDRAGICON, 0, 0, MSGSIG_HCURSOR, \
      { nullptr, nullptr, nullptr, DLG_FN(HCURSOR (CDialog::*)(), OnQueryDragIcon), nullptr, nullptr } },
#define ON_WM_DESTROY() \
    { WM_DESTROY, 0, 0, MSGSIG_VOID, DLG_VOID(OnDestroy) },
#define ON_WM_DROPFILES() \
    { WM_DROPFILES, 0, 0, MSGSIG_DROPFILES, \
      { nullptr, nullptr, nullptr, nullptr, DLG_FN(void (CDialog::*)(HDROP), OnDropFiles), nullptr } },
#define ON_NOTIFY(code, id, fn) \
    { WM_NOTIFY, (UINT)(code), (UINT)(id), MSGSIG_NOTIFY, \
      { nullptr, DLG_FN(void (CDialog::*)(NMHDR*, LRESULT*), fn), nullptr, nullptr, nullptr, nullptr } },
#define ON_CONTROL(code, id, fn) \
    { WM_COMMAND, (UINT)(code), (UINT)(id), MSGSIG_VOID, DLG_VOID(fn) },
#define ON_BN_CLICKED(id, fn) ON_CONTROL(BN_CLICKED, id, fn)
#define ON_EN_UPDATE(id, fn) ON_CONTROL(EN_UPDATE, id, fn)
#define ON_EN_SETFOCUS(id, fn) ON_CONTROL(EN_SETFOCUS, id, fn)
#define ON_MESSAGE(msg, fn) \
    { (UINT)(msg), 0, 0, MSGSIG_LWL, \
      { nullptr, nullptr, nullptr, nullptr, nullptr, DLG_FN(LRESULT (CDialog::*)(WPARAM, LPARAM), fn) } },
