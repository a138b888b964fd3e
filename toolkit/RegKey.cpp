#include "toolkit/Services.h"

#include <vector>

RegKey::~RegKey() { Close(); }

LONG RegKey::CreateKey(HKEY parent, const char* subKey, DWORD reserved, char* keyClass, DWORD options, REGSAM access,
                       SECURITY_ATTRIBUTES* security, DWORD* disposition) {
    Close();
    return RegCreateKeyExA(parent, subKey, reserved, keyClass, options, access, security, &key_, disposition);
}

LONG RegKey::CreateKey(HKEY parent, const char* subKey, REGSAM access) {
    return CreateKey(parent, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, nullptr);
}

LONG RegKey::OpenKey(HKEY parent, const char* subKey, REGSAM access) {
    Close();
    LONG result = RegOpenKeyExA(parent, subKey, 0, access, &key_);
    if (result != ERROR_SUCCESS) key_ = nullptr;
    return result;
}

LONG RegKey::Close() {
    if (!key_) return ERROR_SUCCESS;
    LONG result = RegCloseKey(key_);
    key_ = nullptr;
    return result;
}

LONG RegKey::QueryValue(const char* name, DWORD* reserved, DWORD* type, BYTE* data, DWORD* size) const {
    return RegQueryValueExA(key_, name, reserved, type, data, size);
}

LONG RegKey::SetValue(const char* name, DWORD reserved, DWORD type, const BYTE* data, DWORD size) {
    return RegSetValueExA(key_, name, reserved, type, data, size);
}

std::string RegKey::ReadString(const char* name, const std::string& fallback) const {
    DWORD size = 0;
    if (QueryValue(name, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS || size == 0) return fallback;
    // One byte more than the value, zero-filled: a value stored without its
    // terminating NUL still reads as a terminated text.
    std::vector<char> buffer(static_cast<size_t>(size) + 1, '\0');
    DWORD read = size;
    if (QueryValue(name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.data()), &read) != ERROR_SUCCESS) {
        return fallback;  // changed or removed between the two queries
    }
    return std::string(buffer.data());
}

DWORD RegKey::ReadDword(const char* name, DWORD fallback) const {
    BYTE bytes[4] = {};
    DWORD size = sizeof bytes;
    if (QueryValue(name, nullptr, nullptr, bytes, &size) != ERROR_SUCCESS) return fallback;
    return static_cast<DWORD>(bytes[0]) | static_cast<DWORD>(bytes[1]) << 8 | static_cast<DWORD>(bytes[2]) << 16 |
           static_cast<DWORD>(bytes[3]) << 24;
}

LONG RegKey::WriteString(const char* name, const std::string& value) {
    return SetValue(name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), static_cast<DWORD>(value.size() + 1));
}

LONG RegKey::WriteDword(const char* name, DWORD value) {
    return SetValue(name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

LONG RegKey::EnumKey(DWORD index, char* name, DWORD* nameLength) const {
    return RegEnumKeyExA(key_, index, name, nameLength, nullptr, nullptr, nullptr, nullptr);
}

LONG RegKey::QueryInfo(DWORD* subKeys, DWORD* maxSubKeyLength) const {
    return RegQueryInfoKeyA(key_, nullptr, nullptr, nullptr, subKeys, maxSubKeyLength, nullptr, nullptr, nullptr,
                            nullptr, nullptr, nullptr);
}

int RegKey::SubKeyCount() const {
    DWORD subKeys = 0;
    DWORD maxLength = 0;
    if (QueryInfo(&subKeys, &maxLength) != ERROR_SUCCESS) return -1;
    return static_cast<int>(subKeys);
}

LONG RegKey::DeleteKey(const char* subKey) { return RegDeleteKeyA(key_, subKey); }

LONG RegKey::DeleteTree() {
    DWORD subKeys = 0;
    DWORD maxLength = 0;
    LONG result = QueryInfo(&subKeys, &maxLength);
    if (result != ERROR_SUCCESS) return result;
    // The longest name is reported in characters; a double-byte character
    // takes two bytes of the ANSI name.
    std::vector<char> name(static_cast<size_t>(maxLength) * 2 + 1);
    // From the last index down, so deleting a subkey never shifts the ones
    // still to be visited.
    for (DWORD index = subKeys; index-- > 0;) {
        std::fill(name.begin(), name.end(), '\0');
        DWORD length = static_cast<DWORD>(name.size());
        result = EnumKey(index, name.data(), &length);
        if (result != ERROR_SUCCESS) return result;
        RegKey child;
        result = child.CreateKey(key_, name.data(), KEY_READ | KEY_WRITE);
        if (result != ERROR_SUCCESS) return result;
        result = child.DeleteTree();
        if (result != ERROR_SUCCESS) return result;
    }
    return RegDeleteKeyA(key_, "");
}
