// Toolkit services: small owners of Windows resources (registry keys, ...),
// string resources and number formatting, and the one seam through which
// every message box of the program is shown.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// ---------------------------------------------------------------------------
// Message boxes

// Shows a message box and returns the button pressed. Every message box of the
// program goes through the installed handler; the default is MessageBoxA.
using MessageBoxHandler = int (*)(HWND owner, const char* text, const char* caption, UINT style);

int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT style);

// Installs a handler (null restores MessageBoxA) and returns the previous one.
// Tests install a recorder here to see what a user would have seen.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

// ---------------------------------------------------------------------------
// Strings and numbers

// The string resource `id` of `instance` (at most 1023 bytes); an absent
// string gives "". Windows headers spell this name LoadStringA: this is its
// two-argument overload.
std::string LoadString(HINSTANCE instance, UINT id);

// `value` in `radix` (2 to 36) with digits and lower-case letters; radix 10
// writes negative values with a minus sign, every other radix reads the value
// as unsigned 32-bit. An unsupported radix gives "".
std::string IntToString(int32_t value, int radix);

// Cuts a text at every occurrence of a delimiter, keeping empty pieces.
class StringSplitter {
public:
    explicit StringSplitter(std::string text) : text_(std::move(text)) {}

    // The pieces between occurrences of `delimiter`, in order; the rest after
    // the last occurrence is always the final piece.
    std::vector<std::string> Split(const std::string& delimiter) const;

private:
    std::string text_;
};

// ---------------------------------------------------------------------------
// Registry

// Owns one open registry key; the destructor closes it.
class RegKey {
public:
    RegKey() = default;
    ~RegKey();
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;

    HKEY Handle() const { return key_; }

    // RegCreateKeyExA; the new handle replaces (and closes) any held one.
    LONG CreateKey(HKEY parent, const char* subKey, DWORD reserved, char* keyClass, DWORD options, REGSAM access,
                   SECURITY_ATTRIBUTES* security, DWORD* disposition);
    // Opens (creating if missing) with the common defaults.
    LONG CreateKey(HKEY parent, const char* subKey, REGSAM access);
    LONG Close();

    LONG QueryValue(const char* name, DWORD* reserved, DWORD* type, BYTE* data, DWORD* size) const;
    LONG SetValue(const char* name, DWORD reserved, DWORD type, const BYTE* data, DWORD size);

    // The value's text up to its first NUL, or `fallback` when the value is
    // missing, empty or unreadable.
    std::string ReadString(const char* name, const std::string& fallback) const;
    // A value of at most four bytes (little-endian), or `fallback`.
    DWORD ReadDword(const char* name, DWORD fallback) const;
    LONG WriteString(const char* name, const std::string& value);
    LONG WriteDword(const char* name, DWORD value);

    LONG EnumKey(DWORD index, char* name, DWORD* nameLength) const;
    LONG QueryInfo(DWORD* subKeys, DWORD* maxSubKeyLength) const;
    // The number of subkeys, or -1 when the key cannot be queried.
    int SubKeyCount() const;
    LONG DeleteKey(const char* subKey);
    // Deletes every subkey, deepest first, then this key; returns 0 or the
    // first failing registry error (what could not be deleted stays).
    LONG DeleteTree();

private:
    HKEY key_ = nullptr;
};
