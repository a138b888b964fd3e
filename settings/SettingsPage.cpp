#include "settings/SettingsPage.h"

#include "resources/RegistrationResource.h"
#include "text/TextTools.h"
#include "toolkit/Application.h"

#include <string>

DWORD ParsePortText(std::string_view text) { return static_cast<DWORD>(ParseInt(text)); }

SettingsPage::SettingsPage(Settings& settings) : settings_(settings) {}

SettingsPage::~SettingsPage() = default;

HPROPSHEETPAGE SettingsPage::Make() {
    PROPSHEETPAGEA page{};
    page.dwSize = PROPSHEETPAGEA_V1_SIZE;
    page.hInstance = GetInstance();
    page.pszTemplate = MAKEINTRESOURCEA(IDD_SETTINGS_PAGE);
    return CreatePage(page);
}

LRESULT SettingsPage::OnInitDialog() {
    address_ = std::make_unique<EditCtrl>(GetDlgItem(IDC_SETTINGS_ADDRESS));
    port_ = std::make_unique<EditCtrl>(GetDlgItem(IDC_SETTINGS_PORT));
    useTray_ = std::make_unique<ButtonCtrl>(GetDlgItem(IDC_SETTINGS_USE_TRAY));
    closeToTray_ = std::make_unique<ButtonCtrl>(GetDlgItem(IDC_SETTINGS_CLOSE_TO_TRAY));

    address_->SetText(settings_.szAddress);
    port_->SetText(std::to_string(settings_.dwPortNo));
    useTray_->SetCheck((settings_.dwParam1 & P1_USE_TRAY) ? BST_CHECKED : BST_UNCHECKED);
    closeToTray_->SetCheck((settings_.dwParam1 & P1_CLOSE_TO_TRAY) ? BST_CHECKED : BST_UNCHECKED);
    FollowUseTray();
    return 1;
}

LRESULT SettingsPage::OnCommand(UINT, UINT id, HWND) {
    if (id != IDC_SETTINGS_USE_TRAY) return 0;
    FollowUseTray();
    return 1;
}

LRESULT SettingsPage::OnApply(NMHDR*) {
    settings_.szAddress = address_->GetText();
    settings_.dwPortNo = ParsePortText(port_->GetText());
    DWORD options = settings_.dwParam1 & ~static_cast<DWORD>(P1_USE_TRAY | P1_CLOSE_TO_TRAY);
    if (useTray_->GetCheck() == BST_CHECKED) options |= P1_USE_TRAY;
    if (closeToTray_->GetCheck() == BST_CHECKED) options |= P1_CLOSE_TO_TRAY;
    settings_.dwParam1 = options;
    settings_.Save();
    return 0;
}

void SettingsPage::FollowUseTray() { closeToTray_->EnableWindow(useTray_->GetCheck() == BST_CHECKED); }
