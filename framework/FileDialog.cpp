#include "framework/FileDialog.h"
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

// Passes the dialog's "selection changed" and "file confirmed" on to its CFileDialog. Lives on
// DoModal's stack, outliving the dialog that holds it.
class CFileOkEvents : public IFileDialogEvents {
public:
    explicit CFileOkEvents(CFileDialog* pOwner) : m_pOwner(pOwner) {}
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
    IFACEMETHODIMP OnFolderChange(IFileDialog*) override { return S_OK; }
    IFACEMETHODIMP OnSelectionChange(IFileDialog* pDialog) override {
        m_pOwner->SelectionChanged(SelectedPath(pDialog));
        return S_OK;
    }
    IFACEMETHODIMP OnShareViolation(IFileDialog*, IShellItem*, FDE_SHAREVIOLATION_RESPONSE*) override { return E_NOTIMPL; }
    IFACEMETHODIMP OnTypeChange(IFileDialog*) override { return S_OK; }
    IFACEMETHODIMP OnOverwrite(IFileDialog*, IShellItem*, FDE_OVERWRITE_RESPONSE*) override { return E_NOTIMPL; }

private:
    CFileDialog* m_pOwner;
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
