// A dialog template's initialisation data (resource type 240): records of
// WORD control id, WORD message, DWORD length and that many bytes, ended by a
// zero id. The system's dialog functions ignore it; CDialog applies it.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

struct DlgInitItem {
    WORD nControlId;
    WORD nMessage;
    std::string strData;  // the record's bytes up to its first zero
};

// Reads the records of a block of cb bytes. A record running past the end
// of the block ends the reading; the records before it are kept.
std::vector<DlgInitItem> ParseDlgInit(const BYTE* pData, size_t cb);

// Adds the list items of template nIDTemplate to the dialog's controls. The
// data names the messages by their 16-bit numbers, 0x0403 for a combo box's
// CB_ADDSTRING and 0x0401 for a list box's LB_ADDSTRING; only these are sent.
void ApplyDlgInit(HWND hDlg, HINSTANCE hInstance, UINT nIDTemplate);
