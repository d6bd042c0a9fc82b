#include "framework/DlgInit.h"
#include <cstring>

namespace {
const WORD RT_DLGINIT_ID = 240;
// The data keeps the 16-bit Windows numbers of the list messages.
const WORD DLGINIT_LB_ADDSTRING = 0x0401;
const WORD DLGINIT_CB_ADDSTRING = 0x0403;
const size_t RECORD_HEADER = 8;  // WORD id, WORD message, DWORD length
}

std::vector<DlgInitItem> ParseDlgInit(const BYTE* pData, size_t cb) {
    std::vector<DlgInitItem> items;
    size_t nPos = 0;
    while (pData && nPos + sizeof(WORD) <= cb) {
        WORD nId;
        std::memcpy(&nId, pData + nPos, sizeof(nId));
        if (nId == 0 || nPos + RECORD_HEADER > cb) break;
        WORD nMessage;
        DWORD nLength;
        std::memcpy(&nMessage, pData + nPos + 2, sizeof(nMessage));
        std::memcpy(&nLength, pData + nPos + 4, sizeof(nLength));
        nPos += RECORD_HEADER;
        if (nLength > cb - nPos) break;
        const char* pText = reinterpret_cast<const char*>(pData + nPos);
        size_t nText = 0;
        while (nText < nLength && pText[nText] != '\0') ++nText;
        items.push_back(DlgInitItem{nId, nMessage, std::string(pText, nText)});
        nPos += nLength;
    }
    return items;
}

void ApplyDlgInit(HWND hDlg, HINSTANCE hInstance, UINT nIDTemplate) {
    HRSRC hRes = ::FindResourceA(hInstance, MAKEINTRESOURCEA(nIDTemplate), MAKEINTRESOURCEA(RT_DLGINIT_ID));
    if (!hRes) return;
    HGLOBAL hData = ::LoadResource(hInstance, hRes);
    const BYTE* pData = hData ? static_cast<const BYTE*>(::LockResource(hData)) : NULL;
    if (!pData) return;
    for (const DlgInitItem& item : ParseDlgInit(pData, ::SizeofResource(hInstance, hRes))) {
        UINT nMessage;
        if (item.nMessage == DLGINIT_CB_ADDSTRING) nMessage = CB_ADDSTRING;
        else if (item.nMessage == DLGINIT_LB_ADDSTRING) nMessage = LB_ADDSTRING;
        else continue;
        ::SendDlgItemMessageA(hDlg, item.nControlId, nMessage, 0, (LPARAM)item.strData.c_str());
    }
}
