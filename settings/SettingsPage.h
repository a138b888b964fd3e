// The page of the settings sheet: the server's address and port and the two
// notification-area options. It reads `Settings` when it opens and writes
// and saves them only on OK.
#pragma once

#include "settings/Settings.h"
#include "toolkit/Dialog.h"

#include <memory>
#include <string_view>

// The port typed on the page, read as atoi reads it: leading blanks and one
// sign, then the digits up to the first other character; no digits give 0.
DWORD ParsePortText(std::string_view text);

class SettingsPage : public PropertyPageBase {
public:
    explicit SettingsPage(Settings& settings);
    ~SettingsPage() override;

    // Creates the page on template 107; null on failure.
    HPROPSHEETPAGE Make();

    LRESULT OnInitDialog() override;
    // The close-to-tray check follows the use-tray check.
    LRESULT OnCommand(UINT notifyCode, UINT id, HWND control) override;
    // OK: the page's contents into `Settings`, then Save.
    LRESULT OnApply(NMHDR* header) override;

private:
    // Enabled exactly while the tray is used; the check mark stays either way.
    void FollowUseTray();

    Settings& settings_;
    std::unique_ptr<EditCtrl> address_;
    std::unique_ptr<EditCtrl> port_;
    std::unique_ptr<ButtonCtrl> useTray_;
    std::unique_ptr<ButtonCtrl> closeToTray_;
};
