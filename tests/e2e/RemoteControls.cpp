#include "tests/e2e/RemoteControls.h"

#include <cstring>

RemoteBuffer::RemoteBuffer(HWND window, size_t size) : size_(size) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (!processId) return;
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
    if (!process_) return;
    address_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

RemoteBuffer::~RemoteBuffer() {
    if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    if (process_) CloseHandle(process_);
}

bool RemoteBuffer::Write(const void* data, size_t size, size_t offset) {
    SIZE_T written = 0;
    return address_ && offset + size <= size_ &&
           WriteProcessMemory(process_, static_cast<char*>(address_) + offset, data, size, &written) &&
           written == size;
}

bool RemoteBuffer::Read(void* data, size_t size, size_t offset) const {
    SIZE_T read = 0;
    return address_ && offset + size <= size_ &&
           ReadProcessMemory(process_, static_cast<char*>(address_) + offset, data, size, &read) && read == size;
}

LRESULT SendRemote(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result)) return 0;
    return static_cast<LRESULT>(result);
}

namespace {

const size_t kTextSize = 512;

std::string TextAt(const RemoteBuffer& buffer, size_t offset) {
    char text[kTextSize] = {};
    if (!buffer.Read(text, sizeof text - 1, offset)) return std::string();
    return std::string(text, strnlen(text, sizeof text - 1));
}

RECT ToScreen(HWND window, RECT rect) {
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

}  // namespace

std::vector<std::string> ListViewRows(HWND list, int columns) {
    std::vector<std::string> rows;
    RemoteBuffer buffer(list, sizeof(LVITEMA) + kTextSize);
    if (!buffer.Valid()) return rows;
    const int count = static_cast<int>(SendRemote(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        std::string joined;
        for (int column = 0; column < columns; ++column) {
            LVITEMA item{};
            item.iSubItem = column;
            item.pszText = reinterpret_cast<char*>(buffer.Address(sizeof item));
            item.cchTextMax = kTextSize;
            const char empty = 0;
            buffer.Write(&item, sizeof item);
            buffer.Write(&empty, 1, sizeof item);
            SendRemote(list, LVM_GETITEMTEXTA, row, buffer.Address());
            joined += (column ? "|" : "") + TextAt(buffer, sizeof item);
        }
        rows.push_back(joined);
    }
    return rows;
}

RECT ListViewRowRect(HWND list, int row) {
    RECT rect{LVIR_BOUNDS, 0, 0, 0};
    RemoteBuffer buffer(list, sizeof rect);
    if (!buffer.Write(&rect, sizeof rect) || !SendRemote(list, LVM_GETITEMRECT, row, buffer.Address()) ||
        !buffer.Read(&rect, sizeof rect)) {
        return RECT{0, 0, 0, 0};
    }
    return ToScreen(list, rect);
}

std::vector<TreeEntry> TreeEntries(HWND tree) {
    std::vector<TreeEntry> entries;
    RemoteBuffer buffer(tree, sizeof(TVITEMA) + kTextSize);
    if (!buffer.Valid()) return entries;
    auto read = [&](HTREEITEM handle, int depth) {
        TVITEMA item{};
        item.mask = TVIF_HANDLE | TVIF_TEXT | TVIF_IMAGE | TVIF_STATE;
        item.hItem = handle;
        item.stateMask = TVIS_EXPANDED | TVIS_BOLD;
        item.pszText = reinterpret_cast<char*>(buffer.Address(sizeof item));
        item.cchTextMax = kTextSize;
        buffer.Write(&item, sizeof item);
        if (!SendRemote(tree, TVM_GETITEMA, 0, buffer.Address())) return;
        buffer.Read(&item, sizeof item);
        entries.push_back(TreeEntry{handle, depth, TextAt(buffer, sizeof item), item.iImage,
                                    (item.state & TVIS_EXPANDED) != 0, (item.state & TVIS_BOLD) != 0});
    };
    for (auto root = reinterpret_cast<HTREEITEM>(SendRemote(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0)); root;
         root = reinterpret_cast<HTREEITEM>(SendRemote(tree, TVM_GETNEXTITEM, TVGN_NEXT, (LPARAM)root))) {
        read(root, 0);
        for (auto child = reinterpret_cast<HTREEITEM>(SendRemote(tree, TVM_GETNEXTITEM, TVGN_CHILD, (LPARAM)root));
             child; child = reinterpret_cast<HTREEITEM>(SendRemote(tree, TVM_GETNEXTITEM, TVGN_NEXT, (LPARAM)child))) {
            read(child, 1);
        }
    }
    return entries;
}

RECT TreeItemTextRect(HWND tree, HTREEITEM item) {
    RECT rect{0, 0, 0, 0};
    RemoteBuffer buffer(tree, sizeof rect);
    std::memcpy(&rect, &item, sizeof item);
    if (!buffer.Write(&rect, sizeof rect) || !SendRemote(tree, TVM_GETITEMRECT, TRUE, buffer.Address()) ||
        !buffer.Read(&rect, sizeof rect)) {
        return RECT{0, 0, 0, 0};
    }
    return ToScreen(tree, rect);
}

RECT TabRect(HWND tabs, int index) {
    RECT rect{0, 0, 0, 0};
    RemoteBuffer buffer(tabs, sizeof rect);
    if (!buffer.Write(&rect, sizeof rect) || !SendRemote(tabs, TCM_GETITEMRECT, index, buffer.Address()) ||
        !buffer.Read(&rect, sizeof rect)) {
        return RECT{0, 0, 0, 0};
    }
    return ToScreen(tabs, rect);
}

std::string StatusPartText(HWND bar, int part) {
    if (part >= static_cast<int>(SendRemote(bar, SB_GETPARTS, 0, 0))) return std::string();
    RemoteBuffer buffer(bar, kTextSize);
    const LRESULT length = LOWORD(SendRemote(bar, SB_GETTEXTLENGTHA, part, 0));
    if (!buffer.Valid() || length >= static_cast<LRESULT>(kTextSize)) return std::string();
    SendRemote(bar, SB_GETTEXTA, part, buffer.Address());
    return TextAt(buffer, 0);
}

std::vector<std::string> ToolTipTexts() {
    std::vector<HWND> tips;
    for (HWND tip = nullptr; (tip = FindWindowExA(nullptr, tip, TOOLTIPS_CLASSA, nullptr)) != nullptr;) {
        tips.push_back(tip);
    }
    std::vector<std::string> texts;
    for (HWND tip : tips) {
        const int tools = static_cast<int>(SendRemote(tip, TTM_GETTOOLCOUNT, 0, 0));
        for (int index = 0; index < tools; ++index) {
            // The tool's description, its text pointing behind it in the block.
            RemoteBuffer buffer(tip, sizeof(TOOLINFOA) + kTextSize);
            TOOLINFOA info{};
            info.cbSize = sizeof info;
            info.lpszText = reinterpret_cast<char*>(buffer.Address(sizeof info));
            const char nothing = '\0';
            if (!buffer.Write(&info, sizeof info) || !buffer.Write(&nothing, 1, sizeof info) ||
                !SendRemote(tip, TTM_ENUMTOOLSA, index, buffer.Address()) || !buffer.Read(&info, sizeof info)) {
                continue;
            }
            std::string text = TextAt(buffer, sizeof info);
            if (text.empty()) {
                // Not every tool-tip copies the text when it lists a tool.
                info.lpszText = reinterpret_cast<char*>(buffer.Address(sizeof info));
                buffer.Write(&info, sizeof info);
                SendRemote(tip, TTM_GETTEXTA, kTextSize, buffer.Address());
                text = TextAt(buffer, sizeof info);
            }
            if (!text.empty()) texts.push_back(text);
        }
    }
    return texts;
}

POINT Middle(const RECT& rect) { return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2}; }
