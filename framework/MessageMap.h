// Message maps: an ordered table of {message, notification code, control id,
// handler}. The first entry that matches a message handles it. Handlers are
// member functions of the dialog class; the table records their signature so
// the dispatcher calls each with the right arguments.
#pragma once
#include <windows.h>

class CDialog;
typedef void (CDialog::*DLG_PMSG)();

enum MessageSignature {
    MSGSIG_END = 0,
    MSGSIG_VOID,        // void OnX()                      commands, WM_PAINT, WM_DESTROY
    MSGSIG_NOTIFY,      // void OnX(NMHDR*, LRESULT*)      WM_NOTIFY
    MSGSIG_SYSCOMMAND,  // void OnX(UINT nID, LPARAM)      WM_SYSCOMMAND
    MSGSIG_HCURSOR,     // HCURSOR OnX()                   WM_QUERYDRAGICON
    MSGSIG_DROPFILES,   // void OnX(HDROP)                 WM_DROPFILES
    MSGSIG_LWL,         // LRESULT OnX(WPARAM, LPARAM)     any message
};

struct MessageMapEntry {
    UINT nMessage;     // WM_COMMAND / WM_NOTIFY or the message itself
    UINT nCode;        // notification code for WM_COMMAND / WM_NOTIFY, else 0
    UINT nID;          // control id for WM_COMMAND / WM_NOTIFY, else 0
    MessageSignature nSig;
    DLG_PMSG pfn;
};

#define DECLARE_MESSAGE_MAP() \
protected: \
    const MessageMapEntry* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass) \
    const MessageMapEntry* theClass::GetMessageMap() const { \
        typedef theClass ThisClass; \
        static const MessageMapEntry s_entries[] = {

#define END_MESSAGE_MAP() \
            { 0, 0, 0, MSGSIG_END, nullptr } \
        }; \
        return s_entries; \
    }

#define DLG_HANDLER(type, fn) reinterpret_cast<DLG_PMSG>(static_cast<type>(&ThisClass::fn))

#define ON_WM_SYSCOMMAND() \
    { WM_SYSCOMMAND, 0, 0, MSGSIG_SYSCOMMAND, DLG_HANDLER(void (CDialog::*)(UINT, LPARAM), OnSysCommand) },
#define ON_WM_PAINT() \
    { WM_PAINT, 0, 0, MSGSIG_VOID, DLG_HANDLER(void (CDialog::*)(), OnPaint) },
#define ON_WM_QUERYDRAGICON() \
    { WM_QUERYDRAGICON, 0, 0, MSGSIG_HCURSOR, DLG_HANDLER(HCURSOR (CDialog::*)(), OnQueryDragIcon) },
#define ON_WM_DESTROY() \
    { WM_DESTROY, 0, 0, MSGSIG_VOID, DLG_HANDLER(void (CDialog::*)(), OnDestroy) },
#define ON_WM_DROPFILES() \
    { WM_DROPFILES, 0, 0, MSGSIG_DROPFILES, DLG_HANDLER(void (CDialog::*)(HDROP), OnDropFiles) },
#define ON_NOTIFY(code, id, fn) \
    { WM_NOTIFY, (UINT)(code), (UINT)(id), MSGSIG_NOTIFY, DLG_HANDLER(void (CDialog::*)(NMHDR*, LRESULT*), fn) },
#define ON_CONTROL(code, id, fn) \
    { WM_COMMAND, (UINT)(code), (UINT)(id), MSGSIG_VOID, DLG_HANDLER(void (CDialog::*)(), fn) },
#define ON_BN_CLICKED(id, fn) ON_CONTROL(BN_CLICKED, id, fn)
#define ON_EN_UPDATE(id, fn) ON_CONTROL(EN_UPDATE, id, fn)
#define ON_EN_SETFOCUS(id, fn) ON_CONTROL(EN_SETFOCUS, id, fn)
#define ON_MESSAGE(msg, fn) \
    { (UINT)(msg), 0, 0, MSGSIG_LWL, DLG_HANDLER(LRESULT (CDialog::*)(WPARAM, LPARAM), fn) },
