// The client's persisted settings: where the calendar server is, the option
// bits, the main window's placement and the category tree's item states, all
// under one key of the per-user registry. The server's address and port may
// also come from the same key under HKEY_LOCAL_MACHINE (written by the
// installer for every user of the machine); a user's own value wins.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>

// Bits of `dwParam1`.
enum : DWORD {
    P1_USE_TRAY = 0x01,
    P1_SHOW_TOOLBAR = 0x02,
    P1_SHOW_CATEGORY_TREE = 0x04,
    P1_SHOW_STATUSBAR = 0x08,
    P1_CLOSE_TO_TRAY = 0x10,
    P1_TOPMOST = 0x20,
};

// Check and expansion state of one category or genre item of the tree.
struct CategoryState {
    int32_t id = 0;
    int32_t checked = 0;
    int32_t expanded = 0;
};

class Settings {
public:
    static constexpr const char* kRegistryPath = "Software\\Sorano\\Mimosa";
    static constexpr const char* kDefaultAddress = "localhost";
    static constexpr DWORD kDefaultPort = 54321;
    static constexpr DWORD kDefaultParam1 = P1_USE_TRAY | P1_SHOW_TOOLBAR | P1_SHOW_STATUSBAR | P1_CLOSE_TO_TRAY;
    static constexpr LONG kDefaultPlacement = CW_USEDEFAULT;  // 0x80000000

    Settings() = default;
    virtual ~Settings() = default;

    // Fills every field from the registry; missing or unreadable values take
    // their defaults. Always succeeds.
    bool Load();
    // Writes every field; registry failures are not reported.
    bool Save() const;

    // Overwrites the flags of the entry for `id`, or creates it.
    void SetCategoryState(int32_t id, bool checked, bool expanded);

    // "id,checked,expanded;" per entry in ascending id order, e.g. "3,1,1;12,0,1;".
    std::string FormatCategoryStates() const;
    // Feeds every well-formed "id,checked,expanded" piece to SetCategoryState;
    // malformed pieces are skipped.
    void ParseCategoryStates(const std::string& text);

    std::string szAddress;
    DWORD dwPortNo = 0;
    DWORD dwParam1 = 0;
    // Screen coordinates and sizes: signed, a window may sit left of or above
    // the primary screen.
    LONG dwWindowTop = 0;
    LONG dwWindowLeft = 0;
    LONG dwWindowWidth = 0;
    LONG dwWindowHeight = 0;
    // Keyed by id. The tree's lookups may create keys without an entry; they
    // count as no state and are not saved.
    std::map<int32_t, std::unique_ptr<CategoryState>> categoryStates;

private:
    // The machine-wide value a field was loaded from, when the user had no
    // value of their own: Save leaves such a field out while it still holds
    // that value, so the user keeps following the machine's setting.
    bool addressFromMachine_ = false;
    std::string machineAddress_;
    bool portFromMachine_ = false;
    DWORD machinePort_ = 0;
};
