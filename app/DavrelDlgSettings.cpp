// The window's side of the settings and the .apk association: the registry
// work itself lives in shell/Settings and shell/ApkAssociation.
#include "app/DavrelDlg.h"

#include "shell/ApkAssociation.h"
#include "shell/Settings.h"

void CDavrelDlg::LoadSettings() {
    DavrelSettings settings = ReadSettings(m_regKey);
    if (settings.lCreateError != ERROR_SUCCESS)
        MessageBox(FormatSettingsError(settings.lCreateError).c_str(), NULL, MB_OK);
    if (settings.bHaveAddress) m_editAddress.SetWindowText(settings.strAddress.c_str());
    m_chkAssociate.SendMessage(BM_SETCHECK, settings.dwAssociate, 0);
    SetApkAssociation(static_cast<int>(settings.dwAssociate));
}

void CDavrelDlg::SaveTvAddress(const std::string& strText) {
    StoreTvAddress(m_regKey, strText);
}

void CDavrelDlg::OnAssociateClicked() {
    DWORD dwState = static_cast<DWORD>(m_chkAssociate.SendMessage(BM_GETCHECK, 0, 0));
    StoreAssociateFlag(m_regKey, dwState);
    SetApkAssociation(static_cast<int>(m_chkAssociate.SendMessage(BM_GETCHECK, 0, 0)));
}

void CDavrelDlg::SetApkAssociation(int nFlag) {
    SetApkAssociationInRegistry(m_regKey, nFlag, GetOwnExePath());
}
