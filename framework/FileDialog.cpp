#include "framework/FileDialog.h"
#include <commctrl.h>
#include <shlwapi.h>
#include <shobjidl.h>
#include <vector>
#include "framework/ScopedWin.h"
#include "framework/TextConvert.h"
#include "framework/Wnd.h"
#include "framework/WinApp.h"

namespace {
// "Name|pattern|Name|pattern||" -> pairs of name and pattern.
std::vector<std::pair<std::wstring, std::wstring>> SplitFilter(const std::string& strFilter) {
    std::vector<std::wstring> parts;
    size_t nStart = 0;
    while (nStart < strFilter.size()) {
        size_t nBar = strFilter.find('|', nStart);
        if (nBar == std::string::npos) nBar = strFilter.size();
        if (nBar == nStart) break;  // "||" ends the filter
        parts.push_back(AnsiToWide(strFilter.substr(nStart, nBar - nStart)));
        nStart = nBar + 1;
    }
    std::vector<std::pair<std::wstring, std::wstring>> pairs;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) pairs.emplace_back(parts[i], parts[i + 1]);
    return pairs;
}

FILEOPENDIALOGOPTIONS OptionsFromFlags(DWORD dwFlags) {
    FILEOPENDIALOGOPTIONS fos = FOS_FORCEFILESYSTEM;
    if (dwFlags & OFN_PATHMUSTEXIST) fos |= FOS_PATHMUSTEXIST;
    if (dwFlags & OFN_FILEMUSTEXIST) fos |= FOS_FILEMUSTEXIST;
    if (dwFlags & OFN_FORCESHOWHIDDEN) fos |= FOS_FORCESHOWHIDDEN;
    if (dwFlags & OFN_NOCHANGEDIR) fos |= FOS_NOCHANGEDIR;
    if (dwFlags & OFN_NODEREFERENCELINKS) fos |= FOS_NODEREFERENCELINKS;
    return fos;
}
// The file the dialog has chosen, as the file system names it; empty when none.
std::wstring ChosenPath(IFileDialog* pDialog) {
    CComPtrLite<IShellItem> pItem;
    PWSTR pszPath = NULL;
    if (!pDialog || FAILED(pDialog->GetResult(pItem.Receive())) ||
        FAILED(pItem->GetDisplayName(SIGDN_FILESYSPATH, &pszPath)) || !pszPath)
        return std::wstring();
    std::wstring strPath = pszPath;
    ::CoTaskMemFree(pszPath);
    return strPath;
}

// What the user points at in the dialog's list: a file or a folder; empty when nothing.
std::wstring SelectedPath(IFileDialog* pDialog) {
    CComPtrLite<IShellItem> pItem;
    PWSTR pszPath = NULL;
    if (!pDialog || FAILED(pDialog->GetCurrentSelection(pItem.Receive())) || !pItem.Get() ||
        FAILED(pItem->GetDisplayName(SIGDN_FILESYSPATH, &pszPath)) || !pszPath)
        return std::wstring();
    std::wstring strPath = pszPath;
    ::CoTaskMemFree(pszPath);
    return strPath;
}

// The file a name typed into the dialog's box names, as the dialog's own
// result will name it ("..\x.apk" resolved): as typed when whole, else in
// the folder shown; empty when there is no name.
std::wstring TypedPath(IFileDialog* pDialog) {
    PWSTR pszName = NULL;
    if (FAILED(pDialog->GetFileName(&pszName)) || !pszName) return std::wstring();
    std::wstring strPath = pszName;
    ::CoTaskMemFree(pszName);
    if (strPath.empty()) return strPath;
    if (::PathIsRelativeW(strPath.c_str())) {
        CComPtrLite<IShellItem> pFolder;
        PWSTR pszFolder = NULL;
        if (FAILED(pDialog->GetFolder(pFolder.Receive())) || !pFolder.Get() ||
            FAILED(pFolder->GetDisplayName(SIGDN_FILESYSPATH, &pszFolder)) || !pszFolder)
            return std::wstring();
        std::wstring strFolder = pszFolder;
        ::CoTaskMemFree(pszFolder);
        if (!strFolder.empty() && strFolder.back() != L'\\') strFolder += L'\\';
        strPath = strFolder + strPath;
    }
    wchar_t szFull[MAX_PATH * 2];
    const DWORD nFull = ::GetFullPathNameW(strPath.c_str(), MAX_PATH * 2, szFull, NULL);
    return nFull && nFull < MAX_PATH * 2 ? std::wstring(szFull, nFull) : strPath;
}

// Passes the dialog's "selection changed" and "file confirmed" on to its CFileDialog. Lives on
// DoModal's stack, outliving the dialog that holds it.
class CFileOkEvents : public IFileDialogEvents {
public:
    explicit CFileOkEvents(CFileDialog* pOwner) : m_pOwner(pOwner) {}
    ~CFileOkEvents() {
        if (m_hwndDialog) ::RemoveWindowSubclass(m_hwndDialog, ConfirmProc, 0);
    }
    IFACEMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IFileDialogEvents) {
            *ppv = static_cast<IFileDialogEvents*>(this);
            return S_OK;
        }
        *ppv = NULL;
        return E_NOINTERFACE;
    }
    IFACEMETHODIMP_(ULONG) AddRef() override { return 2; }
    IFACEMETHODIMP_(ULONG) Release() override { return 1; }
    IFACEMETHODIMP OnFileOk(IFileDialog* pDialog) override {
        std::wstring strPath = ChosenPath(pDialog);
        if (strPath.empty()) return S_OK;  // DoModal finds the same and says so
        return m_pOwner->FileOk(strPath) ? S_FALSE : S_OK;
    }
    IFACEMETHODIMP OnFolderChanging(IFileDialog*, IShellItem*) override { return S_OK; }
    // The dialog's window exists once it shows its first folder. Its Open
    // button (or Enter in the name box) is seen before the dialog checks the
    // name typed, which takes it a while: the owner hears of the typed file then.
    IFACEMETHODIMP OnFolderChange(IFileDialog* pDialog) override {
        CComPtrLite<IOleWindow> pWindow;
        HWND hwnd = NULL;
        if (m_hwndDialog || !pDialog ||
            FAILED(pDialog->QueryInterface(IID_IOleWindow, reinterpret_cast<void**>(pWindow.Receive()))) ||
            FAILED(pWindow->GetWindow(&hwnd)) || !hwnd)
            return S_OK;
        m_pDialog = pDialog;
        if (::SetWindowSubclass(hwnd, ConfirmProc, 0, reinterpret_cast<DWORD_PTR>(this))) m_hwndDialog = hwnd;
        return S_OK;
    }
    IFACEMETHODIMP OnSelectionChange(IFileDialog* pDialog) override {
        m_pOwner->SelectionChanged(SelectedPath(pDialog));
        return S_OK;
    }
    IFACEMETHODIMP OnShareViolation(IFileDialog*, IShellItem*, FDE_SHAREVIOLATION_RESPONSE*) override { return E_NOTIMPL; }
    IFACEMETHODIMP OnTypeChange(IFileDialog*) override { return S_OK; }
    IFACEMETHODIMP OnOverwrite(IFileDialog*, IShellItem*, FDE_OVERWRITE_RESPONSE*) override { return E_NOTIMPL; }

private:
    static LRESULT CALLBACK ConfirmProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR dwData) {
        CFileOkEvents* pThis = reinterpret_cast<CFileOkEvents*>(dwData);
        if (uMsg == WM_COMMAND && LOWORD(wParam) == IDOK && HIWORD(wParam) == BN_CLICKED) {
            const std::wstring strTyped = TypedPath(pThis->m_pDialog);
            if (!strTyped.empty()) pThis->m_pOwner->SelectionChanged(strTyped);
        } else if (uMsg == WM_NCDESTROY) {
            ::RemoveWindowSubclass(hwnd, ConfirmProc, 0);
            pThis->m_hwndDialog = NULL;
        }
        return ::DefSubclassProc(hwnd, uMsg, wParam, lParam);
    }

    CFileDialog* m_pOwner;
    IFileDialog* m_pDialog = NULL;  // the dialog DoModal holds, while its window lives
    HWND m_hwndDialog = NULL;
};
}  // namespace

BOOL CFileDialog::FileOk(const std::wstring& strPath) {
    m_strPathNameW = strPath;
    m_strPathName = WidePathToAnsi(strPath);
    return OnFileNameOK();
}

void CFileDialog::SelectionChanged(const std::wstring& strPath) {
    m_strSelected = strPath.empty() ? std::string() : WidePathToAnsi(strPath);
    OnFileNameChange();
}

CFileDialog::CFileDialog(BOOL bOpenFileDialog, const char* pszDefExt, const char* pszFileName,
                         DWORD dwFlags, const char* pszFilter, CWnd* pParentWnd, DWORD dwSize,
                         BOOL bVistaStyle)
    : m_strDefExt(pszDefExt ? pszDefExt : ""),
      m_strFileName(pszFileName ? pszFileName : ""),
      m_strFilter(pszFilter ? pszFilter : ""),
      m_dwFlags(dwFlags),
      m_pParentWnd(pParentWnd) {}

INT_PTR CFileDialog::DoModal() {
    m_strPathName.clear();
    m_strPathNameW.clear();
    m_strSelected.clear();
    CScopedCoInit com;
    if (FAILED(com.Result()) && com.Result() != RPC_E_CHANGED_MODE) return IDCANCEL;

    CFileOkEvents events(this);  // before the dialog: it outlives it
    CComPtrLite<IFileOpenDialog> pDialog;
    if (FAILED(::CoCreateInstance(CLSID_FileOpenDialog, NULL, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                                  reinterpret_cast<void**>(pDialog.Receive()))))
        return IDCANCEL;

    FILEOPENDIALOGOPTIONS fos = OptionsFromFlags(m_dwFlags);
    if (FAILED(pDialog->SetOptions(fos))) return IDCANCEL;

    std::vector<std::pair<std::wstring, std::wstring>> filters = SplitFilter(m_strFilter);
    if (!filters.empty()) {
        std::vector<COMDLG_FILTERSPEC> fileTypes;
        for (const auto& filter : filters) fileTypes.push_back(COMDLG_FILTERSPEC{filter.first.c_str(), filter.second.c_str()});
        if (FAILED(pDialog->SetFileTypes((UINT)fileTypes.size(), fileTypes.data()))) return IDCANCEL;
        if (FAILED(pDialog->SetFileTypeIndex(1))) return IDCANCEL;
    }
    std::string strExt = m_strDefExt;
    if (!strExt.empty() && strExt[0] == '.') strExt.erase(0, 1);
    if (!strExt.empty() && FAILED(pDialog->SetDefaultExtension(AnsiToWide(strExt).c_str()))) return IDCANCEL;
    if (!m_strFileName.empty() && FAILED(pDialog->SetFileName(AnsiToWide(m_strFileName).c_str())))
        return IDCANCEL;

    HWND hOwner = m_pParentWnd ? m_pParentWnd->m_hWnd : NULL;
    if (!hOwner && AfxGetApp() && AfxGetApp()->m_pMainWnd) hOwner = AfxGetApp()->m_pMainWnd->m_hWnd;
    DWORD dwCookie = 0;
    const bool bAdvised = SUCCEEDED(pDialog->Advise(&events, &dwCookie));
    const HRESULT hrShown = pDialog->Show(hOwner);
    if (bAdvised) pDialog->Unadvise(dwCookie);
    if (FAILED(hrShown)) return IDCANCEL;  // cancelled, or the dialog failed

    m_strPathNameW = ChosenPath(pDialog.Get());
    if (m_strPathNameW.empty()) return IDCANCEL;
    m_strPathName = WidePathToAnsi(m_strPathNameW);
    return IDOK;
}
