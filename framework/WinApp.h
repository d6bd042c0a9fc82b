// The application object: exactly one global instance, whose InitInstance
// the program's entry point calls. There is no message loop of its own when
// InitInstance returns FALSE (the dialog's modal loop is the only one).
#pragma once
#include <windows.h>
#include <string>

class CWnd;

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual BOOL InitInstance() { return TRUE; }
    // Only reached when InitInstance returned TRUE.
    virtual int Run();
    virtual int ExitInstance() { return 0; }

    // Names the framework's profile key; Davrel keeps its settings elsewhere.
    void SetRegistryKey(const char* pszKey) { m_strRegistryKey = pszKey ? pszKey : ""; }

    HINSTANCE m_hInstance;
    CWnd* m_pMainWnd;
    std::string m_strRegistryKey;
};

class CWinAppEx : public CWinApp {
public:
    explicit CWinAppEx(BOOL bResourceSmartUpdate = FALSE)
        : m_bResourceSmartUpdate(bResourceSmartUpdate) {}
    BOOL m_bResourceSmartUpdate;
};

// The one application object, or NULL before it is constructed.
CWinApp* AfxGetApp();
// The module whose resources the dialogs load.
HINSTANCE AfxGetResourceHandle();
// The program hosts no ActiveX controls; kept as the start-up step it is.
inline void AfxEnableControlContainer() {}
