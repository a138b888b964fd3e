#include "protocol/ErrorText.h"

#include "resources/ToolkitResource.h"
#include "toolkit/Application.h"
#include "toolkit/Services.h"

#include <memory>

ErrorText& ErrorText::Shared() {
    static const std::unique_ptr<ErrorText> shared = std::make_unique<ErrorText>();
    return *shared;
}

DWORD ErrorText::Format(DWORD code, LONG_PTR argument1, LONG_PTR argument2) {
    code_ = code | kCodeMark;
    if (code_ == kSystemMessage) {
        FormatSystemMessage(static_cast<DWORD>(argument1));
    } else if (code_ == kLastSystemError) {
        FormatSystemMessage(GetLastError());
    } else if (code_ >= kCodeMark + 1 && code_ <= kCodeMark + 7) {
        UINT id = IDS_TOOLKIT_ALREADY_OPEN + (code_ - kCodeMark - 1);
        std::string format = LoadString(GetInstance(), id);
        // wsprintfA writes at most 1024 bytes, the size of the buffer.
        wsprintfA(text_, format.c_str(), argument1, argument2);
    } else {
        wsprintfA(text_, "サポートされていないエラーコード 0x%08x が渡されました。", static_cast<unsigned>(code_));
    }
    return code_;
}

void ErrorText::FormatSystemMessage(DWORD messageId) {
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, messageId, 0x400,
                                  text_, sizeof text_, nullptr);
    if (length == 0) {
        // The system has no text for this code: name the code rather than
        // leave the previous error's text in place.
        wsprintfA(text_, "エラー %lu", static_cast<unsigned long>(messageId));
    }
}
