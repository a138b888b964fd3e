#include "protocol/ProgressDialog.h"

#include "resources/Resource.h"

ProgressDialog::ProgressDialog(ScheduleStore& store) : store_(store), loader_(std::make_unique<LoadThread>(*this)) {}

ProgressDialog::~ProgressDialog() {
    HANDLE worker = loader_->Handle();
    if (!worker) return;
    // The worker may still be between its last SendMessage and its return, or
    // (if something else ended the dialog) in the middle of the load, where it
    // sends messages to this thread and shows message boxes owned by one of its
    // windows: serve sent messages while waiting.
    while (MsgWaitForMultipleObjects(1, &worker, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

void ProgressDialog::SetStatus(const char* text) {
    if (status_) status_->SendMessage(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

LRESULT ProgressDialog::OnInitDialog() {
    status_ = std::make_unique<WindowBase>(GetDlgItem(IDC_PROGRESS_STATUS));
    loader_->Create(nullptr, 0, reinterpret_cast<void*>(static_cast<uintptr_t>(mask_)), 0);
    return 1;
}

LRESULT ProgressDialog::OnCommand(UINT, UINT id, HWND) {
    return id == IDCANCEL ? 1 : 0;
}

void RunLoadWithProgress(ScheduleStore& store, HWND owner, uint32_t mask) {
    ProgressDialog dialog(store);
    dialog.SetMask(mask);
    dialog.DoModal(GetInstance(), MAKEINTRESOURCEA(IDD_PROGRESS), owner);
}
