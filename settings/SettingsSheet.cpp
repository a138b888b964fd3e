#include "settings/SettingsSheet.h"

#include "toolkit/Application.h"

SettingsSheet::SettingsSheet(Settings& settings) : page_(std::make_unique<SettingsPage>(settings)) {}

SettingsSheet::~SettingsSheet() = default;

INT_PTR SettingsSheet::DoModal(HWND parent) {
    HPROPSHEETPAGE pages[1] = {page_->Make()};
    if (!pages[0]) return -1;
    PROPSHEETHEADERA header{};
    header.dwSize = PROPSHEETHEADERA_V1_SIZE;
    header.hwndParent = parent;
    header.hInstance = GetInstance();
    header.pszCaption = "設定";
    header.nPages = 1;
    header.phpage = pages;
    return DoModal(header);
}
