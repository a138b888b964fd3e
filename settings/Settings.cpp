#include "settings/Settings.h"

#include "toolkit/Services.h"

#include "text/TextTools.h"

namespace {

// A placement value: the registry's four bytes read as a signed number.
LONG ReadPlacement(const RegKey& key, const char* name) {
    return static_cast<LONG>(key.ReadDword(name, static_cast<DWORD>(Settings::kDefaultPlacement)));
}

}  // namespace

bool Settings::Load() {
    // The machine's defaults first: a key that is absent is not created.
    RegKey machine;
    machine.OpenKey(HKEY_LOCAL_MACHINE, kRegistryPath, KEY_READ);
    std::string address = machine.ReadString("szAddress", kDefaultAddress);
    DWORD port = machine.ReadDword("dwPortNo", kDefaultPort);
    if (port == 0 || port > 65535) port = kDefaultPort;  // an installer typo never yields an unusable port
    machine.Close();

    RegKey key;
    // A failure leaves the key closed: every read below then yields its default.
    key.CreateKey(HKEY_CURRENT_USER, kRegistryPath, KEY_READ);
    szAddress = key.ReadString("szAddress", address);
    dwPortNo = key.ReadDword("dwPortNo", port);
    addressFromMachine_ = address != kDefaultAddress && szAddress == address && key.ReadString("szAddress", "").empty();
    machineAddress_ = address;
    portFromMachine_ = port != kDefaultPort && dwPortNo == port && key.ReadDword("dwPortNo", 0) == 0;
    machinePort_ = port;
    dwParam1 = key.ReadDword("dwParam1", kDefaultParam1);
    dwWindowTop = ReadPlacement(key, "dwWindowTop");
    dwWindowLeft = ReadPlacement(key, "dwWindowLeft");
    dwWindowWidth = ReadPlacement(key, "dwWindowWidth");
    dwWindowHeight = ReadPlacement(key, "dwWindowHeight");
    ParseCategoryStates(key.ReadString("szCategorySetting", ""));
    return true;
}

bool Settings::Save() const {
    RegKey key;
    key.CreateKey(HKEY_CURRENT_USER, kRegistryPath, KEY_WRITE);
    if (!(addressFromMachine_ && szAddress == machineAddress_)) key.WriteString("szAddress", szAddress);
    if (!(portFromMachine_ && dwPortNo == machinePort_)) key.WriteDword("dwPortNo", dwPortNo);
    key.WriteDword("dwParam1", dwParam1);
    key.WriteDword("dwWindowTop", static_cast<DWORD>(dwWindowTop));
    key.WriteDword("dwWindowLeft", static_cast<DWORD>(dwWindowLeft));
    key.WriteDword("dwWindowWidth", static_cast<DWORD>(dwWindowWidth));
    key.WriteDword("dwWindowHeight", static_cast<DWORD>(dwWindowHeight));
    key.WriteString("szCategorySetting", FormatCategoryStates());
    return true;
}

void Settings::SetCategoryState(int32_t id, bool checked, bool expanded) {
    std::unique_ptr<CategoryState>& state = categoryStates[id];
    if (!state) {
        state = std::make_unique<CategoryState>();
        state->id = id;
    }
    state->checked = checked ? 1 : 0;
    state->expanded = expanded ? 1 : 0;
}

std::string Settings::FormatCategoryStates() const {
    std::string text;
    for (const auto& [id, state] : categoryStates) {
        if (!state) continue;
        text += IntToString(id, 10);
        text += state->checked ? ",1" : ",0";
        text += state->expanded ? ",1;" : ",0;";
    }
    return text;
}

void Settings::ParseCategoryStates(const std::string& text) {
    for (const std::string& piece : StringSplitter(text).Split(";")) {
        std::vector<std::string> fields = StringSplitter(piece).Split(",");
        if (fields.size() != 3) continue;
        int32_t id = ParseInt(fields[0]);  // leading digits, as atoi reads them
        SetCategoryState(id, fields[1] == "1", fields[2] == "1");
    }
}
