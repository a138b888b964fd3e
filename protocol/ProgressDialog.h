// The small modal dialog without buttons that shows a load's current step
// while its LoadThread runs the blocking requests. The user cannot end it:
// it closes itself when the load is over.
#pragma once

#include "protocol/LoadThread.h"
#include "protocol/ScheduleStore.h"
#include "toolkit/Dialog.h"

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

    // Starts the worker with the mask.
    LRESULT OnInitDialog() override;
    // Esc (IDCANCEL) is swallowed: only the end of the load closes the dialog.
    LRESULT OnCommand(UINT notifyCode, UINT id, HWND control) override;

private:
    ScheduleStore& store_;
    std::unique_ptr<LoadThread> loader_;
    std::unique_ptr<WindowBase> status_;
    uint32_t mask_ = 0xFFFF;
};

// The frame's reload: runs the load of `mask` into `store` behind a modal
// ProgressDialog (template 119) owned by `owner`, and returns when the load
// is over. Failures have been shown by the load itself.
void RunLoadWithProgress(ScheduleStore& store, HWND owner, uint32_t mask);
