// The window's side of the settings and the association of packages and
// bundles: the registry work itself lives in shell/Settings and
// shell/ApkAssociation.
#include "app/DavrelDlg.h"

#include "shell/ApkAssociation.h"
#include "shell/Settings.h"

void CDavrelDlg::LoadSettings() {
    DavrelSettings settings = ReadSettings(m_regKey);
    if (settings.lCreateError != ERROR_SUCCESS)
        MessageBox(FormatSettingsError(settings.lCreateError).c_str(), NULL, MB_OK);
    // The TVs that connected last are offered before any search.
    m_vecRecentTvs = ReadRecentTvs(m_regKey);
    ShowRecentTvs();
    if (settings.bHaveAddress) m_editAddress.SetWindowText(settings.strAddress.c_str());
    // The stored choice stays as it is even when it cannot be applied now
    // (the box then shows what is registered): a later start may have the
    // rights this one lacks.
    SetApkAssociation(static_cast<int>(settings.dwAssociate));
}

void CDavrelDlg::SaveTvAddress(const std::string& strText) {
    StoreTvAddress(m_regKey, strText);
}

void CDavrelDlg::OnAssociateClicked() {
    SetApkAssociation(static_cast<int>(m_chkAssociate.SendMessage(BM_GETCHECK, 0, 0)));
    // What the box shows after a refused write is stored, not the click, so
    // that the next start does not do what this click could not.
    StoreAssociateFlag(m_regKey, static_cast<DWORD>(m_chkAssociate.SendMessage(BM_GETCHECK, 0, 0)));
}

// Applies the choice and ticks the box exactly when .apk is Davrel's now.
void CDavrelDlg::SetApkAssociation(int nFlag) {
    bool bAssociated = SetApkAssociationInRegistry(m_regKey, nFlag, GetOwnExePath());
    m_chkAssociate.SendMessage(BM_SETCHECK, bAssociated ? BST_CHECKED : BST_UNCHECKED, 0);
}
