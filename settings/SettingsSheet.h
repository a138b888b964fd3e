// The property sheet "設定" with its one page: edits the server's address and
// port and the notification-area options of `Settings`. OK saves them;
// Cancel and closing change nothing.
#pragma once

#include "settings/Settings.h"
#include "settings/SettingsPage.h"
#include "toolkit/Dialog.h"

#include <memory>

class SettingsSheet : public PropertySheetBase {
public:
    explicit SettingsSheet(Settings& settings);
    ~SettingsSheet() override;

    using PropertySheetBase::DoModal;
    // Shows the sheet modally over `parent`; returns PropertySheetA's result
    // (positive after OK, 0 after Cancel or close, -1 on failure).
    INT_PTR DoModal(HWND parent);

    SettingsPage& Page() { return *page_; }

private:
    std::unique_ptr<SettingsPage> page_;
};
