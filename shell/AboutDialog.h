// The about dialog (template 104): the product's name and version.
#pragma once

#include "toolkit/Dialog.h"

class AboutDialog : public DialogBase {
public:
    // Beeps as it opens.
    LRESULT OnInitDialog() override;
    // OK and Cancel end the dialog with their ids.
    LRESULT OnCommand(UINT notifyCode, UINT id, HWND control) override;
};
