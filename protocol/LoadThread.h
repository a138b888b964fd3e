// The worker thread of a load: runs the store's load sequence off the
// user-interface thread and reaches its progress dialog only by SendMessage.
#pragma once

#include "toolkit/Services.h"

class ProgressDialog;

class LoadThread : public Thread {
public:
    explicit LoadThread(ProgressDialog& dialog) : dialog_(dialog) {}

protected:
    // Runs the load for the mask in `parameter`, handing every step's text to
    // the dialog, then closes the dialog. Touches neither object after that.
    DWORD Run(void* parameter) override;

private:
    ProgressDialog& dialog_;
};
