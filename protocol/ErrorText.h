// Turns error codes into the texts shown to the user: WinSock and system
// codes through the system's message table, the toolkit's own codes through
// its string resources.
#pragma once

#include <windows.h>

#include <cstdint>

class ErrorText {
public:
    static constexpr DWORD kCodeMark = 0x20000000;
    static constexpr DWORD kSystemMessage = 0x20000008;    // argument1 is the code
    static constexpr DWORD kLastSystemError = 0x2FFFFFFF;  // GetLastError()

    // The one shared object, made on first use.
    static ErrorText& Shared();

    ErrorText() = default;
    virtual ~ErrorText() = default;
    ErrorText(const ErrorText&) = delete;
    ErrorText& operator=(const ErrorText&) = delete;

    // Writes the text for `code` (kCodeMark is OR-ed in) and returns the
    // stored code. Toolkit codes 1 to 7 take their placeholders' arguments
    // (a text pointer or a number) from argument1 and argument2.
    DWORD Format(DWORD code, LONG_PTR argument1, LONG_PTR argument2);
    const char* Text() const { return text_; }
    DWORD Code() const { return code_; }

private:
    void FormatSystemMessage(DWORD messageId);

    DWORD code_ = 0;
    char text_[1024] = {};
};
