#include "toolkit/Services.h"

#include <atomic>

namespace {

int DefaultMessageBox(HWND owner, const char* text, const char* caption, UINT style) {
    return MessageBoxA(owner, text, caption, style);
}

std::atomic<MessageBoxHandler> messageBoxHandler{&DefaultMessageBox};

}  // namespace

int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT style) {
    return messageBoxHandler.load()(owner, text, caption, style);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    return messageBoxHandler.exchange(handler ? handler : &DefaultMessageBox);
}
