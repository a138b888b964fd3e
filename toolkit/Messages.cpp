#include "toolkit/Services.h"

#include "toolkit/Dialog.h"

#include <atomic>

namespace {

int DefaultMessageBox(HWND owner, const char* text, const char* caption, UINT style) {
    return MessageBoxA(owner, text, caption, style);
}

std::atomic<MessageBoxHandler> messageBoxHandler{&DefaultMessageBox};

}  // namespace

int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT style) {
    // Over the window the user is working in: a dialog that is sending must
    // not take input while its failure is shown.
    return messageBoxHandler.load()(MessageBoxOwnerFor(owner), text, caption, style);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    return messageBoxHandler.exchange(handler ? handler : &DefaultMessageBox);
}
