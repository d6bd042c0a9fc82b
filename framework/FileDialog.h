// The open-file dialog, on the system's common item dialog (IFileOpenDialog).
#pragma once
#include <windows.h>
#include <string>

class CWnd;

class CFileDialog {
public:
    // pszFilter: "Name|pattern|Name|pattern||". Of the OFN_ flags, PATHMUSTEXIST,
    // FILEMUSTEXIST, FORCESHOWHIDDEN, NOCHANGEDIR and NODEREFERENCELINKS carry
    // over; the rest have no meaning for the newer dialog.
    CFileDialog(BOOL bOpenFileDialog, const char* pszDefExt = NULL, const char* pszFileName = NULL,
                DWORD dwFlags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                const char* pszFilter = NULL, CWnd* pParentWnd = NULL, DWORD dwSize = 0,
                BOOL bVistaStyle = TRUE);

    // IDOK with a chosen path, IDCANCEL when the user cancelled or anything failed.
    INT_PTR DoModal();
    // The chosen file in the system code page (its short form where needed;
    // empty when it has no form the code page can hold).
    std::string GetPathName() const { return m_strPathName; }
    // The chosen file as the system named it.
    std::wstring GetPathNameW() const { return m_strPathNameW; }

    // Called when the user confirms a file, while the dialog is still up
    // (the path names are set by then): nonzero keeps the dialog open.
    virtual BOOL OnFileNameOK() { return FALSE; }
    // Called when the user points at another file or folder in the dialog's
    // list, and as they confirm a name typed into its box, before the dialog
    // has checked it; GetSelectedPathName names it (empty when nothing is selected).
    virtual void OnFileNameChange() {}
    std::string GetSelectedPathName() const { return m_strSelected; }
    virtual ~CFileDialog() {}

    BOOL FileOk(const std::wstring& strPath);  // for the dialog's events
    void SelectionChanged(const std::wstring& strPath);

private:
    std::string m_strDefExt;
    std::string m_strFileName;
    std::string m_strFilter;
    DWORD m_dwFlags;
    CWnd* m_pParentWnd;
    std::string m_strPathName;
    std::wstring m_strPathNameW;
    std::string m_strSelected;
};
