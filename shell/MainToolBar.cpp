#include "shell/MainToolBar.h"

#include "resources/Resource.h"
#include "toolkit/Application.h"

namespace {

struct ButtonSpec {
    int command;  // 0 for a separator
    int image;
    BYTE style;
    BYTE state;
    UINT tip;
};

const ButtonSpec kButtons[] = {
    {ID_SCHEDULE_NEW, 0, TBSTYLE_BUTTON, 0, IDS_TIP_SCHEDULE_NEW},
    {0, 0, TBSTYLE_SEP, 0, 0},
    {ID_VIEW_CATEGORY_TREE, 1, TBSTYLE_CHECK, TBSTATE_ENABLED, IDS_TIP_CATEGORY_TREE},
    {ID_VIEW_STATUSBAR, 2, TBSTYLE_CHECK, TBSTATE_ENABLED, IDS_TIP_STATUSBAR},
    {0, 0, TBSTYLE_SEP, 0, 0},
    {ID_SETTINGS, 3, TBSTYLE_BUTTON, TBSTATE_ENABLED, IDS_TIP_SETTINGS},
    {ID_CATEGORY_REGISTER, 4, TBSTYLE_BUTTON, TBSTATE_ENABLED, IDS_TIP_CATEGORY_REGISTER},
    {ID_TOOLS_SEARCH, 5, TBSTYLE_BUTTON, TBSTATE_ENABLED, IDS_TIP_SEARCH},
    {ID_VIEW_REFRESH, 6, TBSTYLE_BUTTON, TBSTATE_ENABLED, IDS_TIP_REFRESH},
    {0, 0, TBSTYLE_SEP, 0, 0},
    {ID_VIEW_PREVIOUS_YEAR, 7, TBSTYLE_BUTTON, TBSTATE_ENABLED, IDS_TIP_PREVIOUS_YEAR},
    {ID_VIEW_PREVIOUS_MONTH, 8, TBSTYLE_BUTTON, TBSTATE_ENABLED, IDS_TIP_PREVIOUS_MONTH},
    {ID_VIEW_TODAY, 9, TBSTYLE_BUTTON, TBSTATE_ENABLED, IDS_TIP_TODAY},
    {ID_VIEW_NEXT_MONTH, 10, TBSTYLE_BUTTON, TBSTATE_ENABLED, IDS_TIP_NEXT_MONTH},
    {ID_VIEW_NEXT_YEAR, 11, TBSTYLE_BUTTON, TBSTATE_ENABLED, IDS_TIP_NEXT_YEAR},
    {0, 0, TBSTYLE_SEP, 0, 0},
    {ID_TOOLS_SUPPORT_FORUM, 12, TBSTYLE_BUTTON, TBSTATE_ENABLED, IDS_TIP_SUPPORT_FORUM},
};

constexpr int kImageCount = 14;

}  // namespace

MainToolBar::MainToolBar() = default;
MainToolBar::~MainToolBar() = default;

HWND MainToolBar::CreateIn(HWND parent) {
    return Create(WS_EX_TOOLWINDOW, nullptr, WS_CHILD | WS_CLIPCHILDREN | TBSTYLE_FLAT, 0, 0, 0, 0, parent,
                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(kId)), GetInstance(), nullptr);
}

HWND MainToolBar::ToolTips() const { return toolTips_ ? toolTips_->Handle() : nullptr; }

LRESULT MainToolBar::OnCreate(CREATESTRUCTA*) {
    HINSTANCE instance = GetInstance();
    ButtonStructSize(sizeof(TBBUTTON));
    TBADDBITMAP bitmap{instance, IDB_TOOLBAR};
    AddBitmap(kImageCount, &bitmap);
    for (const ButtonSpec& entry : kButtons) {
        TBBUTTON button{};
        button.iBitmap = entry.image;
        button.idCommand = entry.command;
        button.fsState = entry.state;
        button.fsStyle = entry.style;
        InsertButton(-1, &button);
    }

    toolTips_ = std::make_unique<ToolTipCtrl>();
    toolTips_->Create(0, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                      CW_USEDEFAULT, hwnd, nullptr, instance, nullptr);
    int index = 0;
    for (const ButtonSpec& entry : kButtons) {
        if (entry.command != 0) {
            TOOLINFOA tool{};
            tool.cbSize = TTTOOLINFOA_V1_SIZE;
            tool.uFlags = TTF_SUBCLASS;
            tool.hwnd = hwnd;
            tool.uId = static_cast<UINT_PTR>(entry.command);
            GetItemRect(index, &tool.rect);
            tool.hinst = instance;
            tool.lpszText = MAKEINTRESOURCEA(entry.tip);
            toolTips_->AddTool(&tool);
        }
        ++index;
    }
    SetToolTips(toolTips_->Handle());
    return 0;
}
