#include "settings/SettingsPage.h"

#include "resources/RegistrationResource.h"
#include "text/ShiftJis.h"
#include "text/TextTools.h"
#include "toolkit/Application.h"

#include <string>

bool ParsePortText(std::string_view text, DWORD* port) {
    std::string_view digits = TrimBlanks(text);
    if (digits.empty()) return false;
    DWORD value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<DWORD>(c - '0');
        if (value > 65535) return false;
    }
    if (value == 0) return false;
    *port = value;
    return true;
}

std::string PortText(DWORD port) { return FormatInt(static_cast<int32_t>(port)); }

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
    port_->SetText(PortText(settings_.dwPortNo));
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
    const std::string address = address_->GetText();
    DWORD port = 0;
    if (TrimBlanks(address).empty()) {
        Refuse(*address_, kTextAddressMissing);
        return 0;
    }
    if (!ParsePortText(port_->GetText(), &port)) {
        Refuse(*port_, kTextPortInvalid);
        return 0;
    }
    settings_.szAddress = address;
    settings_.dwPortNo = port;
    DWORD options = settings_.dwParam1 & ~static_cast<DWORD>(P1_USE_TRAY | P1_CLOSE_TO_TRAY);
    if (useTray_->GetCheck() == BST_CHECKED) options |= P1_USE_TRAY;
    if (closeToTray_->GetCheck() == BST_CHECKED) options |= P1_CLOSE_TO_TRAY;
    settings_.dwParam1 = options;
    settings_.Save();
    return 0;
}

void SettingsPage::FollowUseTray() { closeToTray_->EnableWindow(useTray_->GetCheck() == BST_CHECKED); }

void SettingsPage::Refuse(EditCtrl& field, const char* text) {
    MessageBox(text, "設定", MB_OK | MB_ICONEXCLAMATION);
    // After the box: closing it gives the focus back to the OK button.
    ::SetFocus(field.Handle());
    field.SendMessage(EM_SETSEL, 0, -1);
    // The answer is read once the handler is done: the page stays.
    ::SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, PSNRET_INVALID_NOCHANGEPAGE);
    applyRefused_ = true;
}

LRESULT SettingsPage::OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NOTIFY && applyRefused_) {
        applyRefused_ = false;
        return TRUE;
    }
    return PropertyPageBase::OnMessage(window, message, wParam, lParam);
}
