#include "protocol/ProgressDialog.h"

#include "protocol/ErrorText.h"
#include "resources/Resource.h"

#include <string>

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

HANDLE ProgressDialog::StartWorker() {
    return loader_->Create(nullptr, 0, reinterpret_cast<void*>(static_cast<uintptr_t>(mask_)), 0);
}

LRESULT ProgressDialog::OnInitDialog() {
    status_ = std::make_unique<WindowBase>(GetDlgItem(IDC_PROGRESS_STATUS));
    if (!StartWorker()) {
        // No worker will ever close the dialog: say why, and end it here.
        const DWORD code = GetLastError();
        ErrorText& error = ErrorText::Shared();
        error.Format(ErrorText::kSystemMessage, static_cast<LONG_PTR>(code), 0);
        const std::string text = std::string(kTextThreadStart) + "\n" + error.Text();
        loadFinished_ = true;
        MessageBox(text.c_str(), kCaptionThreadStart, MB_OK);
        EndDialog(0);
    }
    return 1;
}

LRESULT ProgressDialog::OnCommand(UINT, UINT id, HWND) {
    return id == IDCANCEL ? 1 : 0;
}

LRESULT ProgressDialog::OnClose() {
    if (loadFinished_) EndDialog(0);
    return 1;
}

void RunLoadWithProgress(ScheduleStore& store, HWND owner, uint32_t mask) {
    ProgressDialog dialog(store);
    dialog.SetMask(mask);
    dialog.DoModal(GetInstance(), MAKEINTRESOURCEA(IDD_PROGRESS), owner);
}
