#include "editing/CategoryTree.h"

#include "protocol/CategorySet.h"
#include "resources/Resource.h"
#include "settings/Settings.h"
#include "shell/CalendarGrid.h"
#include "toolkit/Application.h"

#include <map>
#include <vector>

std::string CategoryTreeLabel(const char* name, int32_t count) {
    return std::string(name ? name : "") + " (" + std::to_string(count) + ")";
}

namespace {

// The stored state of `id`, or null: no state means on and expanded.
const CategoryState* StateOf(const Settings& settings, int32_t id) {
    auto found = settings.categoryStates.find(id);
    return found == settings.categoryStates.end() ? nullptr : found->second.get();
}

}  // namespace

CategoryTree::CategoryTree(CategorySet& categories, Settings& settings, CalendarGrid& grid, HWND frame)
    : categories_(categories), settings_(settings), grid_(grid), frame_(frame) {}

CategoryTree::~CategoryTree() {
    // The control never destroys its image list; make sure it no longer
    // draws from ours before the list goes.
    if (hwnd && IsWindow(hwnd)) SetImageList(TVSIL_NORMAL, nullptr);
}

HWND CategoryTree::CreateIn(HWND parent) {
    return Create(kExStyle, "", kStyle, 0, 0, kWidth, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kId)),
                  GetInstance(), nullptr);
}

LRESULT CategoryTree::OnCreate(CREATESTRUCTA*) {
    images_.Create(16, 16, ILC_MASK | ILC_COLOR4, 3, 0);
    for (int icon : {IDI_TREE_OFF, IDI_TREE_ON, IDI_TREE_MIXED}) {
        images_.AddIcon(LoadIconA(GetInstance(), MAKEINTRESOURCEA(icon)));
    }
    SetImageList(TVSIL_NORMAL, images_.Handle());
    return 0;
}

void CategoryTree::Rebuild() {
    if (!hwnd) return;
    rebuilding_ = true;
    LockWindowUpdate();
    DeleteItem(TVI_ROOT);
    for (auto& record : categories_.records) record->treeItem = nullptr;

    TVINSERTSTRUCTA insert{};
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_STATE | TVIF_PARAM;
    for (auto& record : categories_.records) {
        if (record->level != LEVEL_CATEGORY) continue;
        insert.hParent = TVI_ROOT;
        insert.item.iImage = insert.item.iSelectedImage = TREE_IMAGE_OFF;
        insert.item.lParam = reinterpret_cast<LPARAM>(record.get());
        record->treeItem = InsertItem(&insert);
    }
    for (auto& record : categories_.records) {
        if (record->level != LEVEL_GENRE) continue;
        const CategoryRecord* category = categories_.FindById(record->parentId);
        // A genre without its category stays out of the tree and the filter.
        if (!category || category->level != LEVEL_CATEGORY || !category->treeItem) continue;
        const CategoryState* state = StateOf(settings_, record->id);
        insert.hParent = category->treeItem;
        insert.item.iImage = insert.item.iSelectedImage = (!state || state->checked) ? TREE_IMAGE_ON : TREE_IMAGE_OFF;
        insert.item.lParam = reinterpret_cast<LPARAM>(record.get());
        record->treeItem = InsertItem(&insert);
    }
    for (auto& record : categories_.records) {
        if (record->level == LEVEL_CATEGORY && record->treeItem) UpdateCategoryImage(record->treeItem);
    }
    for (auto& record : categories_.records) {
        if (!record->treeItem) continue;
        const CategoryState* state = StateOf(settings_, record->id);
        Expand((!state || state->expanded) ? TVE_EXPAND : TVE_COLLAPSE, record->treeItem);
    }
    UpdateCounts();
    ApplyFilter();
    ::LockWindowUpdate(nullptr);
    rebuilding_ = false;
}

void CategoryTree::UpdateCategoryImage(HTREEITEM item) {
    HTREEITEM child = GetChild(item);
    if (!child) return;
    int combined = ItemImage(child);
    for (child = GetNextItem(TVGN_NEXT, child); child; child = GetNextItem(TVGN_NEXT, child)) {
        if (ItemImage(child) != combined) {
            combined = TREE_IMAGE_MIXED;
            break;
        }
    }
    SetItemImage(item, combined);
}

void CategoryTree::RecordItemState(HTREEITEM item) {
    TVITEMA read{};
    read.mask = TVIF_HANDLE | TVIF_PARAM | TVIF_IMAGE | TVIF_STATE;
    read.hItem = item;
    read.stateMask = TVIS_EXPANDED;
    if (!GetItem(&read) || !read.lParam) return;
    const auto* record = reinterpret_cast<const CategoryRecord*>(read.lParam);
    settings_.SetCategoryState(record->id, read.iImage == TREE_IMAGE_ON, (read.state & TVIS_EXPANDED) != 0);
}

void CategoryTree::ApplyFilter() {
    std::vector<int32_t> shown;
    for (auto& record : categories_.records) {
        if (record->level == LEVEL_GENRE && record->treeItem && ItemImage(record->treeItem) == TREE_IMAGE_ON) {
            shown.push_back(record->id);
        }
    }
    grid_.genreFilter = std::move(shown);
    if (grid_.Handle()) grid_.InvalidateRect(nullptr, TRUE);
}

void CategoryTree::UpdateCounts() {
    const std::map<int32_t, int32_t>& counts = grid_.genreCounts;
    std::map<int32_t, int32_t> totals;  // category id -> sum of its genres
    for (auto& record : categories_.records) {
        if (record->level != LEVEL_GENRE) continue;
        auto found = counts.find(record->id);
        int32_t count = found == counts.end() ? 0 : found->second;
        if (record->treeItem) SetItemLabel(record->treeItem, record->name, count);
        totals[record->parentId] += count;
    }
    for (auto& record : categories_.records) {
        if (record->level != LEVEL_CATEGORY || !record->treeItem) continue;
        auto found = totals.find(record->id);
        SetItemLabel(record->treeItem, record->name, found == totals.end() ? 0 : found->second);
    }
}

int CategoryTree::ItemImage(HTREEITEM item) const {
    TVITEMA read{};
    read.mask = TVIF_HANDLE | TVIF_IMAGE;
    read.hItem = item;
    if (!item || !GetItem(&read)) return -1;
    return read.iImage;
}

LRESULT CategoryTree::OnKeyDown(WPARAM virtualKey, LPARAM keyData) {
    if (frame_) ::SendMessageA(frame_, WM_KEYDOWN, virtualKey, keyData);
    return 0;
}

LRESULT CategoryTree::OnNmDblClk(NMHDR*) {
    HTREEITEM item = GetSelection();
    if (!item) return 0;
    // Only a double-click on the selected item's own row toggles; elsewhere
    // the tree expands or collapses as usual.
    POINT cursor{};
    GetCursorPos(&cursor);
    ScreenToClient(&cursor);
    RECT row{};
    if (!GetItemRect(FALSE, item, &row) || !PtInRect(&row, cursor)) return 0;

    const CategoryRecord* record = RecordOf(item);
    if (!record) return 0;
    int image = ItemImage(item) == TREE_IMAGE_ON ? TREE_IMAGE_OFF : TREE_IMAGE_ON;
    SetItemImage(item, image);
    RecordItemState(item);
    if (record->level == LEVEL_CATEGORY) {
        for (auto& genre : categories_.records) {
            if (genre->level != LEVEL_GENRE || genre->parentId != record->id || !genre->treeItem) continue;
            SetItemImage(genre->treeItem, image);
            RecordItemState(genre->treeItem);
        }
    } else {
        UpdateCategoryImage(GetParentItem(item));
    }
    ApplyFilter();
    // Keeps the tree from expanding or collapsing the item as well.
    result = 1;
    return 1;
}

LRESULT CategoryTree::OnTvnItemExpanded(NMHDR* header) {
    // Expanding during a rebuild restores states; it records nothing.
    if (rebuilding_) return 0;
    RecordItemState(reinterpret_cast<NMTREEVIEWA*>(header)->itemNew.hItem);
    return 0;
}

void CategoryTree::SetItemImage(HTREEITEM item, int image) {
    TVITEMA write{};
    write.mask = TVIF_HANDLE | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    write.hItem = item;
    write.iImage = write.iSelectedImage = image;
    SetItem(&write);
}

void CategoryTree::SetItemLabel(HTREEITEM item, const char* name, int32_t count) {
    std::string label = CategoryTreeLabel(name, count);
    TVITEMA write{};
    write.mask = TVIF_HANDLE | TVIF_TEXT | TVIF_STATE;
    write.hItem = item;
    write.pszText = label.data();
    write.stateMask = TVIS_BOLD;
    write.state = count > 0 ? TVIS_BOLD : 0;
    SetItem(&write);
}

const CategoryRecord* CategoryTree::RecordOf(HTREEITEM item) const {
    TVITEMA read{};
    read.mask = TVIF_HANDLE | TVIF_PARAM;
    read.hItem = item;
    if (!GetItem(&read)) return nullptr;
    return reinterpret_cast<const CategoryRecord*>(read.lParam);
}
