// The page of the settings sheet: the server's address and port and the two
// notification-area options. It reads `Settings` when it opens and writes
// and saves them only on OK.
#pragma once

#include "settings/Settings.h"
#include "toolkit/Dialog.h"

#include <memory>
#include <string>
#include <string_view>

// The port typed on the page: a whole number from 1 to 65535, digits only,
// blanks around it allowed. Returns false (and leaves `port` alone) for
// anything else: a sign, letters, an empty text, 0 or more than 65535.
bool ParsePortText(std::string_view text, DWORD* port);

// How the page shows a stored port: in decimal, as the signed number a
// registry value of -5 was meant to be rather than 4294967291.
std::string PortText(DWORD port);

// The messages of a refused OK, each naming its field.
inline constexpr const char* kTextAddressMissing = "アドレスを入力してください。";
inline constexpr const char* kTextPortInvalid = "ポートには 1 から 65535 までの数を入力してください。";

class SettingsPage : public PropertyPageBase {
public:
    explicit SettingsPage(Settings& settings);
    ~SettingsPage() override;

    // Creates the page on template 107; null on failure.
    HPROPSHEETPAGE Make();

    LRESULT OnInitDialog() override;
    // The close-to-tray check follows the use-tray check.
    LRESULT OnCommand(UINT notifyCode, UINT id, HWND control) override;
    // OK: the page's contents into `Settings`, then Save. An empty or blank
    // address, or a port that is no whole number from 1 to 65535, is
    // refused instead: a message names the field, the field is selected and
    // the sheet stays open with nothing stored.
    LRESULT OnApply(NMHDR* header) override;
    // Answers a refused PSN_APPLY (the dialog manager reads DWLP_MSGRESULT
    // only when the procedure returns TRUE).
    LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // Shows `text`, then selects `field` for the correction.
    void Refuse(EditCtrl& field, const char* text);

    // Enabled exactly while the tray is used; the check mark stays either way.
    void FollowUseTray();

    Settings& settings_;
    std::unique_ptr<EditCtrl> address_;
    std::unique_ptr<EditCtrl> port_;
    std::unique_ptr<ButtonCtrl> useTray_;
    std::unique_ptr<ButtonCtrl> closeToTray_;
    bool applyRefused_ = false;
};
