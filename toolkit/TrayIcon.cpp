#include "toolkit/Services.h"

#include "text/ShiftJis.h"

// The first shell's structure ends after a 64-byte tip.
constexpr size_t kTipBytes = 64;
static_assert(sizeof(NOTIFYICONDATAA::szTip) >= kTipBytes, "the tip field holds at least the first shell's tip");

TrayIcon::TrayIcon() : data{} { data.cbSize = NOTIFYICONDATAA_V1_SIZE; }

TrayIcon::~TrayIcon() { Delete(); }

BOOL TrayIcon::Add() { return Shell_NotifyIconA(NIM_ADD, &data); }

BOOL TrayIcon::Modify() { return Shell_NotifyIconA(NIM_MODIFY, &data); }

BOOL TrayIcon::Delete() { return Shell_NotifyIconA(NIM_DELETE, &data); }

void TrayIcon::SetTip(const std::string& tip) { CopyToField(data.szTip, kTipBytes, tip); }
