// The control wrappers: their toolkit classes, their operations (one message
// each) and the notification tables of the tree, list view and tab controls.
#include "toolkit/Dialog.h"

namespace {

template <typename T>
T As(LRESULT value) {
    return static_cast<T>(value);
}

}  // namespace

// ---------------------------------------------------------------------------
// Attaching wrappers

ButtonCtrl::ButtonCtrl(HWND item) : ControlWindow(item) {
    Superclass(0, "Button", "QXKIT_Button");
}

int ButtonCtrl::GetCheck() const {
    return As<int>(SendMessage(BM_GETCHECK, 0, 0));
}

void ButtonCtrl::SetCheck(int state) {
    SendMessage(BM_SETCHECK, static_cast<WPARAM>(state), 0);
}

EditCtrl::EditCtrl(HWND item) : ControlWindow(item) {
    Superclass(0, "Edit", "QXKIT_Edit");
}

ListBoxCtrl::ListBoxCtrl(HWND item) : ControlWindow(item) {
    Superclass(0, "LISTBOX", "QXKIT_LISTBOX");
}

int ListBoxCtrl::DeleteString(int index) {
    return As<int>(SendMessage(LB_DELETESTRING, static_cast<WPARAM>(index), 0));
}

int ListBoxCtrl::GetCurSel() const {
    return As<int>(SendMessage(LB_GETCURSEL, 0, 0));
}

LRESULT ListBoxCtrl::GetItemData(int index) const {
    return SendMessage(LB_GETITEMDATA, static_cast<WPARAM>(index), 0);
}

int ListBoxCtrl::InsertString(int index, const char* text) {
    return As<int>(SendMessage(LB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text)));
}

int ListBoxCtrl::SetItemData(int index, LPARAM value) {
    return As<int>(SendMessage(LB_SETITEMDATA, static_cast<WPARAM>(index), value));
}

ComboBoxCtrl::ComboBoxCtrl(HWND item) : ControlWindow(item) {
    Superclass(0, "COMBOBOX", "QXKIT_COMBOBOX");
}

int ComboBoxCtrl::DeleteString(int index) {
    return As<int>(SendMessage(CB_DELETESTRING, static_cast<WPARAM>(index), 0));
}

int ComboBoxCtrl::GetCount() const {
    return As<int>(SendMessage(CB_GETCOUNT, 0, 0));
}

int ComboBoxCtrl::GetCurSel() const {
    return As<int>(SendMessage(CB_GETCURSEL, 0, 0));
}

LRESULT ComboBoxCtrl::GetItemData(int index) const {
    return SendMessage(CB_GETITEMDATA, static_cast<WPARAM>(index), 0);
}

int ComboBoxCtrl::InsertString(int index, const char* text) {
    return As<int>(SendMessage(CB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text)));
}

int ComboBoxCtrl::SetCurSel(int index) {
    return As<int>(SendMessage(CB_SETCURSEL, static_cast<WPARAM>(index), 0));
}

int ComboBoxCtrl::SetItemData(int index, LPARAM value) {
    return As<int>(SendMessage(CB_SETITEMDATA, static_cast<WPARAM>(index), value));
}

// ---------------------------------------------------------------------------
// List view (attaching)

ListViewCtrl::ListViewCtrl(HWND item) : ControlWindow(item) {
    Superclass(ICC_LISTVIEW_CLASSES, WC_LISTVIEWA, "QXKITListView32");
}

DWORD ListViewCtrl::SetExtendedStyle(DWORD mask, DWORD style) {
    return As<DWORD>(SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, mask, style));
}

BOOL ListViewCtrl::DeleteItem(int index) {
    return As<BOOL>(SendMessage(LVM_DELETEITEM, static_cast<WPARAM>(index), 0));
}

BOOL ListViewCtrl::GetItem(LVITEMA* item) const {
    return As<BOOL>(SendMessage(LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(item)));
}

int ListViewCtrl::GetItemCount() const {
    return As<int>(SendMessage(LVM_GETITEMCOUNT, 0, 0));
}

int ListViewCtrl::GetNextItem(int start, UINT flags) const {
    return As<int>(SendMessage(LVM_GETNEXTITEM, static_cast<WPARAM>(start), MAKELPARAM(flags, 0)));
}

int ListViewCtrl::GetNextSelected(int start, UINT flags) const {
    return GetNextItem(start, flags | LVNI_SELECTED);
}

UINT ListViewCtrl::GetSelectedCount() const {
    return As<UINT>(SendMessage(LVM_GETSELECTEDCOUNT, 0, 0));
}

int ListViewCtrl::InsertColumn(int index, const LVCOLUMNA* column) {
    return As<int>(SendMessage(LVM_INSERTCOLUMNA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(column)));
}

BOOL ListViewCtrl::SetItem(const LVITEMA* item) {
    return As<BOOL>(SendMessage(LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(item)));
}

int ListViewCtrl::InsertItem(const LVITEMA* item) {
    return As<int>(SendMessage(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(item)));
}

LRESULT ListViewCtrl::OnNotify(WPARAM, NMHDR* header) {
    // Only the control's own notifications: its children (the tool tip, a
    // list view's header) send theirs to it with structures of other types.
    if (!header || header->hwndFrom != hwnd) return 0;
    switch (header->code) {
    case NM_RDBLCLK: return OnNmRDblClk(header);
    case NM_RCLICK: return OnNmRClick(header);
    case NM_DBLCLK: return OnNmDblClk(header);
    case NM_CUSTOMDRAW: return OnNmCustomDraw(header);
    case LVN_ODSTATECHANGED: return OnLvnOdStateChanged(header);
    case LVN_ODFINDITEMA: return OnLvnOdFindItem(header);
    case LVN_ODCACHEHINT: return OnLvnOdCacheHint(header);
    case NM_CLICK: return OnNmClick(header);
    case LVN_SETDISPINFOA: return OnLvnSetDispInfo(header);
    case LVN_MARQUEEBEGIN: return OnLvnMarqueeBegin(header);
    case LVN_KEYDOWN: return OnLvnKeyDown(header);
    case LVN_ITEMCHANGING: return OnLvnItemChanging(header);
    case LVN_ITEMCHANGED: return OnLvnItemChanged(header);
    case LVN_ITEMACTIVATE: return OnLvnItemActivate(header);
    case LVN_INSERTITEM: return OnLvnInsertItem(header);
    case LVN_GETDISPINFOA: return OnLvnGetDispInfo(header);
    case LVN_ENDLABELEDITA: return OnLvnEndLabelEdit(header);
    case LVN_DELETEITEM: return OnLvnDeleteItem(header);
    case LVN_DELETEALLITEMS: return OnLvnDeleteAllItems(header);
    case LVN_COLUMNCLICK: return OnLvnColumnClick(header);
    case LVN_BEGINLABELEDITA: return OnLvnBeginLabelEdit(header);
    case LVN_BEGINDRAG:
    case LVN_BEGINRDRAG: return OnLvnBeginDrag(header);
    default: return 0;
    }
}

LRESULT ListViewCtrl::OnNmRDblClk(NMHDR*) { return 0; }
LRESULT ListViewCtrl::OnNmRClick(NMHDR*) { return 0; }
LRESULT ListViewCtrl::OnNmDblClk(NMHDR*) { return 0; }
LRESULT ListViewCtrl::OnNmCustomDraw(NMHDR*) { return 0; }
LRESULT ListViewCtrl::OnLvnOdStateChanged(NMHDR*) { return 0; }
LRESULT ListViewCtrl::OnLvnOdFindItem(NMHDR*) { return 0; }
LRESULT ListViewCtrl::OnLvnOdCacheHint(NMHDR*) { return 0; }
LRESULT ListViewCtrl::OnNmClick(NMHDR*) { return 0; }
LRESULT ListViewCtrl::OnLvnSetDispInfo(NMHDR*) { return 0; }
LRESULT ListViewCtrl::OnLvnMarqueeBegin(NMHDR*) { return 0; }
LRESULT ListViewCtrl::OnLvnKeyDown(NMHDR*) { return 0; }
LRESULT ListViewCtrl::OnLvnItemChanging(NMHDR*) { return 0; }
LRESULT ListViewCtrl::OnLvnItemChanged(NMHDR*) { return 0; }
LRESULT ListViewCtrl::OnLvnItemActivate(NMHDR*) { return 0; }
LRESULT ListViewCtrl::OnLvnInsertItem(NMHDR*) { return 0; }
LRESULT ListViewCtrl::OnLvnGetDispInfo(NMHDR*) { return 0; }
LRESULT ListViewCtrl::OnLvnEndLabelEdit(NMHDR*) { return 0; }
LRESULT ListViewCtrl::OnLvnDeleteItem(NMHDR*) { return 0; }
LRESULT ListViewCtrl::OnLvnDeleteAllItems(NMHDR*) { return 0; }
LRESULT ListViewCtrl::OnLvnColumnClick(NMHDR*) { return 0; }
LRESULT ListViewCtrl::OnLvnBeginLabelEdit(NMHDR*) { return 0; }
LRESULT ListViewCtrl::OnLvnBeginDrag(NMHDR*) { return 0; }

// ---------------------------------------------------------------------------
// Tree view (creating)

TreeViewCtrl::TreeViewCtrl() {
    Superclass(ICC_TREEVIEW_CLASSES, WC_TREEVIEWA, "QXKITTreeView32");
}

BOOL TreeViewCtrl::DeleteItem(HTREEITEM item) {
    return As<BOOL>(SendMessage(TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(item)));
}

BOOL TreeViewCtrl::Expand(UINT code, HTREEITEM item) {
    return As<BOOL>(SendMessage(TVM_EXPAND, code, reinterpret_cast<LPARAM>(item)));
}

BOOL TreeViewCtrl::GetItem(TVITEMA* item) const {
    return As<BOOL>(SendMessage(TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(item)));
}

BOOL TreeViewCtrl::GetItemRect(BOOL textOnly, HTREEITEM item, RECT* rect) const {
    // The item goes in through the rectangle, as the control expects.
    if (!rect) return FALSE;
    *reinterpret_cast<HTREEITEM*>(rect) = item;
    return As<BOOL>(SendMessage(TVM_GETITEMRECT, static_cast<WPARAM>(textOnly), reinterpret_cast<LPARAM>(rect)));
}

HTREEITEM TreeViewCtrl::GetNextItem(UINT relation, HTREEITEM item) const {
    return reinterpret_cast<HTREEITEM>(SendMessage(TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

HTREEITEM TreeViewCtrl::GetChild(HTREEITEM item) const {
    return GetNextItem(TVGN_CHILD, item);
}

HTREEITEM TreeViewCtrl::GetParentItem(HTREEITEM item) const {
    return GetNextItem(TVGN_PARENT, item);
}

HTREEITEM TreeViewCtrl::GetSelection() const {
    return GetNextItem(TVGN_CARET, nullptr);
}

HTREEITEM TreeViewCtrl::InsertItem(const TVINSERTSTRUCTA* insert) {
    return reinterpret_cast<HTREEITEM>(SendMessage(TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(insert)));
}

HIMAGELIST TreeViewCtrl::SetImageList(int which, HIMAGELIST images) {
    return reinterpret_cast<HIMAGELIST>(
        SendMessage(TVM_SETIMAGELIST, static_cast<WPARAM>(which), reinterpret_cast<LPARAM>(images)));
}

BOOL TreeViewCtrl::SetItem(const TVITEMA* item) {
    return As<BOOL>(SendMessage(TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(item)));
}

LRESULT TreeViewCtrl::OnNotify(WPARAM, NMHDR* header) {
    // Only the control's own notifications: its children (the tool tip, a
    // list view's header) send theirs to it with structures of other types.
    if (!header || header->hwndFrom != hwnd) return 0;
    switch (header->code) {
    case NM_SETFOCUS: return OnNmSetFocus(header);
    case NM_RETURN: return OnNmReturn(header);
    case NM_RCLICK: return OnNmRClick(header);
    case NM_KILLFOCUS: return OnNmKillFocus(header);
    case NM_DBLCLK: return OnNmDblClk(header);
    case NM_CUSTOMDRAW: return OnNmCustomDraw(header);
    case NM_CLICK: return OnNmClick(header);
    case TVN_SETDISPINFOA: return OnTvnSetDispInfo(header);
    case TVN_SELCHANGINGA: return OnTvnSelChanging(header);
    case TVN_SELCHANGEDA: return OnTvnSelChanged(header);
    case TVN_KEYDOWN: return OnTvnKeyDown(header);
    case TVN_ITEMEXPANDINGA: return OnTvnItemExpanding(header);
    case TVN_ITEMEXPANDEDA: return OnTvnItemExpanded(header);
    case TVN_GETDISPINFOA: return OnTvnGetDispInfo(header);
    case TVN_ENDLABELEDITA: return OnTvnEndLabelEdit(header);
    case TVN_DELETEITEMA: return OnTvnDeleteItem(header);
    case TVN_BEGINRDRAGA: return OnTvnBeginRDrag(header);
    case TVN_BEGINLABELEDITA: return OnTvnBeginLabelEdit(header);
    case TVN_BEGINDRAGA: return OnTvnBeginDrag(header);
    default: return 0;
    }
}

LRESULT TreeViewCtrl::OnNmSetFocus(NMHDR*) { return 0; }
LRESULT TreeViewCtrl::OnNmReturn(NMHDR*) { return 0; }
LRESULT TreeViewCtrl::OnNmRClick(NMHDR*) { return 0; }
LRESULT TreeViewCtrl::OnNmKillFocus(NMHDR*) { return 0; }
LRESULT TreeViewCtrl::OnNmDblClk(NMHDR*) { return 0; }
LRESULT TreeViewCtrl::OnNmCustomDraw(NMHDR*) { return 0; }
LRESULT TreeViewCtrl::OnNmClick(NMHDR*) { return 0; }
LRESULT TreeViewCtrl::OnTvnSetDispInfo(NMHDR*) { return 0; }
LRESULT TreeViewCtrl::OnTvnSelChanging(NMHDR*) { return 0; }
LRESULT TreeViewCtrl::OnTvnSelChanged(NMHDR*) { return 0; }
LRESULT TreeViewCtrl::OnTvnKeyDown(NMHDR*) { return 0; }
LRESULT TreeViewCtrl::OnTvnItemExpanding(NMHDR*) { return 0; }
LRESULT TreeViewCtrl::OnTvnItemExpanded(NMHDR*) { return 0; }
LRESULT TreeViewCtrl::OnTvnGetDispInfo(NMHDR*) { return 0; }
LRESULT TreeViewCtrl::OnTvnEndLabelEdit(NMHDR*) { return 0; }
LRESULT TreeViewCtrl::OnTvnDeleteItem(NMHDR*) { return 0; }
LRESULT TreeViewCtrl::OnTvnBeginRDrag(NMHDR*) { return 0; }
LRESULT TreeViewCtrl::OnTvnBeginLabelEdit(NMHDR*) { return 0; }
LRESULT TreeViewCtrl::OnTvnBeginDrag(NMHDR*) { return 0; }

// ---------------------------------------------------------------------------
// Tab control (creating)

TabCtrl::TabCtrl() {
    Superclass(ICC_TAB_CLASSES, WC_TABCONTROLA, "QXKITTabControl32");
}

int TabCtrl::GetCurSel() const {
    return As<int>(SendMessage(TCM_GETCURSEL, 0, 0));
}

BOOL TabCtrl::GetItemRect(int index, RECT* rect) const {
    return As<BOOL>(SendMessage(TCM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(rect)));
}

int TabCtrl::InsertItem(int index, const TCITEMA* item) {
    return As<int>(SendMessage(TCM_INSERTITEMA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(item)));
}

int TabCtrl::SetCurSel(int index) {
    return As<int>(SendMessage(TCM_SETCURSEL, static_cast<WPARAM>(index), 0));
}

LRESULT TabCtrl::OnNotify(WPARAM, NMHDR* header) {
    // Only the control's own notifications: its children (the tool tip, a
    // list view's header) send theirs to it with structures of other types.
    if (!header || header->hwndFrom != hwnd) return 0;
    switch (header->code) {
    case TCN_SELCHANGING: return OnTcnSelChanging(header);
    case TCN_SELCHANGE: return OnTcnSelChange(header);
    case TCN_KEYDOWN: return OnTcnKeyDown(header);
    default: return 0;
    }
}

LRESULT TabCtrl::OnTcnSelChanging(NMHDR*) { return 0; }
LRESULT TabCtrl::OnTcnSelChange(NMHDR*) { return 0; }
LRESULT TabCtrl::OnTcnKeyDown(NMHDR*) { return 0; }

// ---------------------------------------------------------------------------
// Bars and tool tips (creating)

ToolBarCtrl::ToolBarCtrl() {
    Superclass(ICC_BAR_CLASSES, TOOLBARCLASSNAMEA, "QXKIT_ToolbarWindow32");
}

int ToolBarCtrl::AddBitmap(int count, const TBADDBITMAP* bitmap) {
    return As<int>(SendMessage(TB_ADDBITMAP, static_cast<WPARAM>(count), reinterpret_cast<LPARAM>(bitmap)));
}

LRESULT ToolBarCtrl::ButtonStructSize(size_t size) {
    return SendMessage(TB_BUTTONSTRUCTSIZE, size, 0);
}

BOOL ToolBarCtrl::EnableButton(int id, BOOL enable) {
    return As<BOOL>(SendMessage(TB_ENABLEBUTTON, static_cast<WPARAM>(id), MAKELPARAM(enable, 0)));
}

BOOL ToolBarCtrl::GetItemRect(int index, RECT* rect) const {
    return As<BOOL>(SendMessage(TB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(rect)));
}

int ToolBarCtrl::GetState(int id) const {
    return As<int>(SendMessage(TB_GETSTATE, static_cast<WPARAM>(id), 0));
}

BOOL ToolBarCtrl::InsertButton(int index, const TBBUTTON* button) {
    return As<BOOL>(SendMessage(TB_INSERTBUTTONA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(button)));
}

BOOL ToolBarCtrl::SetState(int id, int state) {
    return As<BOOL>(SendMessage(TB_SETSTATE, static_cast<WPARAM>(id), MAKELPARAM(state, 0)));
}

LRESULT ToolBarCtrl::SetToolTips(HWND toolTips) {
    return SendMessage(TB_SETTOOLTIPS, reinterpret_cast<WPARAM>(toolTips), 0);
}

BOOL ToolBarCtrl::SetChecked(int id, BOOL checked) {
    int state = GetState(id);
    // No such button: nothing to write back.
    if (state == -1) return FALSE;
    state = checked ? (state | TBSTATE_CHECKED) : (state & ~TBSTATE_CHECKED);
    return SetState(id, state);
}

StatusBarCtrl::StatusBarCtrl() {
    Superclass(ICC_BAR_CLASSES, STATUSCLASSNAMEA, "QXKIT_msctls_statusbar32");
}

ToolTipCtrl::ToolTipCtrl() {
    Superclass(ICC_BAR_CLASSES, TOOLTIPS_CLASSA, "QXKIT_tooltips_class32");
}

BOOL ToolTipCtrl::AddTool(const TOOLINFOA* tool) {
    return As<BOOL>(SendMessage(TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(tool)));
}
