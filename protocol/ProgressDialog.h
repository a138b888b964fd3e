// The small modal dialog without buttons that shows a load's current step
// while its LoadThread runs the blocking requests. The user cannot end it:
// it closes itself when the load is over.
#pragma once

#include "protocol/LoadThread.h"
#include "protocol/ScheduleStore.h"
#include "toolkit/Dialog.h"

#include <atomic>
#include <cstdint>
#include <memory>

class ProgressDialog : public DialogBase {
public:
    explicit ProgressDialog(ScheduleStore& store);
    // Waits for the worker to have returned (it ends right after closing the
    // dialog), so it never outlives the objects it uses.
    ~ProgressDialog() override;

    void SetMask(uint32_t mask) { mask_ = mask; }
    uint32_t Mask() const { return mask_; }
    ScheduleStore& Store() { return store_; }

    // Shows a step's text in static 1050. Called on the worker thread; the
    // text travels by SendMessage.
    void SetStatus(const char* text);

    // Called on the worker thread once the load is over, just before its
    // closing WM_CLOSE: from then on a close ends the dialog.
    void MarkLoadFinished() { loadFinished_ = true; }

    // Starts the worker with the mask; a worker that cannot start is
    // reported and the dialog ends at once.
    LRESULT OnInitDialog() override;
    // Esc (IDCANCEL) is swallowed: only the end of the load closes the dialog.
    LRESULT OnCommand(UINT notifyCode, UINT id, HWND control) override;
    // Every close (Alt+F4, SC_CLOSE, WM_CLOSE) is ignored until the worker
    // has finished: the store is being refilled under the frame.
    LRESULT OnClose() override;

protected:
    // Starts the worker thread for the mask; its handle, or null when the
    // thread could not be made (the reason in GetLastError).
    virtual HANDLE StartWorker();

private:
    ScheduleStore& store_;
    std::unique_ptr<LoadThread> loader_;
    std::unique_ptr<WindowBase> status_;
    uint32_t mask_ = 0xFFFF;
    std::atomic<bool> loadFinished_{false};
};

// The message shown when the load's thread cannot start: this text, a line
// break and the system's text for the reason.
inline constexpr const char* kCaptionThreadStart = "CreateThread失敗";
inline constexpr const char* kTextThreadStart = "データの読み込みを開始できませんでした。";

// The frame's reload: runs the load of `mask` into `store` behind a modal
// ProgressDialog (template 119) owned by `owner`, and returns when the load
// is over. Failures have been shown by the load itself.
void RunLoadWithProgress(ScheduleStore& store, HWND owner, uint32_t mask);
