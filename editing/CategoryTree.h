// The category tree beside the month grid: categories with their genres,
// each labelled with the grid's schedule count, each on or off. It is the
// grid's display filter: the grid lists only schedules of genres that are on.
// On/off and expanded/collapsed states live in the settings' categoryStates,
// so they outlast rebuilds and restarts.
#pragma once

#include "toolkit/Dialog.h"
#include "toolkit/Services.h"

#include <cstdint>
#include <string>

class CalendarGrid;
class CategorySet;
class Settings;
struct CategoryRecord;

// Image indexes of the tree's items: the only place an item's state lives
// while the tree exists.
enum : int {
    TREE_IMAGE_OFF = 0,    // not shown
    TREE_IMAGE_ON = 1,     // shown
    TREE_IMAGE_MIXED = 2,  // a category whose genres are partly shown
};

// "name (count)": the label of an item.
std::string CategoryTreeLabel(const char* name, int32_t count);

class CategoryTree : public TreeViewCtrl {
public:
    // Child id, styles and width in the split window. Created hidden: the
    // frame shows or hides it.
    static constexpr int kId = 30;
    static constexpr DWORD kExStyle = WS_EX_CLIENTEDGE;
    static constexpr DWORD kStyle = WS_CHILD | WS_CLIPCHILDREN | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT;
    static constexpr int kWidth = 150;

    // `categories` is the store's set, `grid` receives the filter and gives
    // the counts, `frame` gets the keys after the tree has seen them.
    CategoryTree(CategorySet& categories, Settings& settings, CalendarGrid& grid, HWND frame);
    ~CategoryTree() override;

    // Creates the tree window at (0, 0) in `parent` with the id and styles
    // above. Returns the handle (null on failure).
    HWND CreateIn(HWND parent);

    // Items again from the store and the states; then counts and filter.
    void Rebuild();
    // Labels and bold marks of every item from the grid's genreCounts.
    void UpdateCounts();
    // Hands the grid the ids of the genres that are on and repaints it.
    void ApplyFilter();
    // A category shows on, off or mixed after its genres; no children:
    // unchanged.
    void UpdateCategoryImage(HTREEITEM item);
    // Stores the item's on and expanded states in the settings.
    void RecordItemState(HTREEITEM item);

    // The item's image index, or -1 when it cannot be read.
    int ItemImage(HTREEITEM item) const;

    // Builds the image list on the ring icons.
    LRESULT OnCreate(CREATESTRUCTA* create) override;
    // Passes every key on to the frame after the tree has handled it.
    LRESULT OnKeyDown(WPARAM virtualKey, LPARAM keyData) override;
    // A double-click on the selected item's row turns it on or off.
    LRESULT OnNmDblClk(NMHDR* header) override;
    // Remembers that the user expanded or collapsed an item.
    LRESULT OnTvnItemExpanded(NMHDR* header) override;

private:
    void SetItemImage(HTREEITEM item, int image);
    void SetItemLabel(HTREEITEM item, const char* name, int32_t count);
    const CategoryRecord* RecordOf(HTREEITEM item) const;

    CategorySet& categories_;
    Settings& settings_;
    CalendarGrid& grid_;
    HWND frame_;
    ImageList images_;
    bool rebuilding_ = false;
};
