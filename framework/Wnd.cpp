#include "framework/Wnd.h"

std::string CWnd::GetWindowText() const {
    int nLength = ::GetWindowTextLengthA(m_hWnd);
    if (nLength <= 0) return std::string();
    std::string strText(nLength + 1, '\0');
    int nCopied = ::GetWindowTextA(m_hWnd, &strText[0], nLength + 1);
    strText.resize(nCopied > 0 ? nCopied : 0);
    return strText;
}

int CWnd::MessageBox(const char* pszText, const char* pszCaption, UINT nType) {
    std::string strCaption;
    if (!pszCaption) {
        // The program file's name without folder and extension, e.g. "Davrel".
        char szPath[MAX_PATH] = {0};
        ::GetModuleFileNameA(NULL, szPath, MAX_PATH - 1);
        strCaption = szPath;
        size_t nSlash = strCaption.find_last_of("\\/");
        if (nSlash != std::string::npos) strCaption.erase(0, nSlash + 1);
        size_t nDot = strCaption.rfind('.');
        if (nDot != std::string::npos) strCaption.erase(nDot);
        pszCaption = strCaption.c_str();
    }
    return ::MessageBoxA(m_hWnd, pszText ? pszText : "", pszCaption, nType);
}
