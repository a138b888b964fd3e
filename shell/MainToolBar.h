// The frame's toolbar: the command buttons of the toolbar table with their
// images from bitmap 105 and a tool tip for each button.
#pragma once

#include "toolkit/Dialog.h"

#include <memory>

class MainToolBar : public ToolBarCtrl {
public:
    static constexpr int kId = 2;

    MainToolBar();
    ~MainToolBar() override;

    // Creates the hidden toolbar in `parent`.
    HWND CreateIn(HWND parent);

    // Adds the images, the buttons and the tool tips.
    LRESULT OnCreate(CREATESTRUCTA* create) override;

    HWND ToolTips() const;

private:
    std::unique_ptr<ToolTipCtrl> toolTips_;
};
