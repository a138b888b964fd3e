// The modal windows each thread has up, innermost last, and the owners that
// modal windows and message boxes take from them.
#include "toolkit/Dialog.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace {

struct ModalEntry {
    const WindowBase* dialog;
    DWORD thread;
};

// A load's worker thread asks for its message boxes' owner while the
// user-interface thread has its progress dialog up.
std::mutex& ModalMutex() {
    static std::mutex mutex;
    return mutex;
}

std::vector<ModalEntry>& ModalEntries() {
    static std::vector<ModalEntry> entries;
    return entries;
}

// The calling thread's modal windows that exist, innermost first.
std::vector<HWND> ThreadModalWindows() {
    std::lock_guard<std::mutex> lock(ModalMutex());
    const DWORD thread = GetCurrentThreadId();
    std::vector<HWND> windows;
    const std::vector<ModalEntry>& entries = ModalEntries();
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
        HWND window = entry->dialog->Handle();
        if (entry->thread == thread && window && IsWindow(window)) windows.push_back(window);
    }
    return windows;
}

}  // namespace

HWND ModalOwnerOf(HWND window) {
    if (!window) return nullptr;
    HWND root = GetAncestor(window, GA_ROOT);
    return root ? root : window;
}

HWND ShownModalWindow() {
    for (HWND window : ThreadModalWindows()) {
        if (IsWindowVisible(window)) return window;
    }
    return nullptr;
}

HWND MessageBoxOwnerFor(HWND owner) {
    if (!owner) return nullptr;
    const std::vector<HWND> modal = ThreadModalWindows();
    if (modal.empty() || ModalOwnerOf(owner) == modal.front()) return owner;
    HWND shown = ShownModalWindow();
    return shown ? shown : owner;
}

ModalRun::ModalRun(const WindowBase& dialog) : dialog_(dialog) {
    std::lock_guard<std::mutex> lock(ModalMutex());
    ModalEntries().push_back({&dialog_, GetCurrentThreadId()});
}

ModalRun::~ModalRun() {
    std::lock_guard<std::mutex> lock(ModalMutex());
    std::vector<ModalEntry>& entries = ModalEntries();
    auto entry = std::find_if(entries.rbegin(), entries.rend(),
                              [this](const ModalEntry& e) { return e.dialog == &dialog_; });
    if (entry != entries.rend()) entries.erase(std::next(entry).base());
}
