// Modal dialogs, property sheets with their pages, and the wrappers of the
// standard and common controls. All are window objects (Window.h) sharing
// its window list, handlers and dispatch.
#pragma once

#include "toolkit/Window.h"

#include <prsht.h>

// ---------------------------------------------------------------------------
// Modal windows. While a modal dialog or sheet is up, the whole top-level
// window beneath it is disabled, and a message box goes over the window the
// user is working in.

// The window that owns a modal window started from `window`: its top-level
// window (null stays null). A property sheet disables only the window it is
// given: a child (the grid) as its parent would leave the rest of the frame
// taking input under the sheet.
HWND ModalOwnerOf(HWND window);

// The innermost modal dialog or sheet of the calling thread that is shown,
// or null when none is.
HWND ShownModalWindow();

// The owner a message box asked for `owner` gets on the calling thread:
// `owner` itself when no modal window of this thread is up or `owner` lies
// inside the innermost one (a page of the sheet), else the innermost modal
// window that is shown, so that it is disabled while the box is up. Null
// stays null.
HWND MessageBoxOwnerFor(HWND owner);

// Marks a dialog object as the calling thread's innermost modal window while
// this object lives (DoModal holds one around its modal loop).
class ModalRun {
public:
    explicit ModalRun(const WindowBase& dialog);
    ~ModalRun();
    ModalRun(const ModalRun&) = delete;
    ModalRun& operator=(const ModalRun&) = delete;

private:
    const WindowBase& dialog_;
};

// A modal dialog on a template. Attached to its window at WM_INITDIALOG;
// dialogs end themselves with EndDialog (1 OK, 2 Cancel, 0 closed).
class DialogBase : public WindowBase {
public:
    DialogBase() = default;

    // The toolkit dialog procedure: of dialogs, property pages and (after
    // subclassing) the property sheet window.
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    // DialogBoxParamA with this object, placed relative to `parent` and owned
    // by its top-level window, which is disabled while the dialog is up;
    // returns the EndDialog value, or -1 when the dialog could not be
    // created.
    INT_PTR DoModal(HINSTANCE instance, const char* dialogTemplate, HWND parent);

    // Called first at WM_INITDIALOG, once the object is attached.
    virtual LRESULT OnAttach();
    // Its value is WM_INITDIALOG's result: nonzero lets the dialog manager set
    // the default focus.
    virtual LRESULT OnInitDialog();

    // WM_CLOSE ends the dialog with 0.
    LRESULT OnClose() override;
};

// A property sheet run modally on the pages the caller lists in the header.
class PropertySheetBase : public DialogBase {
public:
    PropertySheetBase() = default;

    // PropertySheetA with the toolkit's sheet callback, owned by the
    // top-level window of the header's parent (ModalOwnerOf); returns its
    // result.
    INT_PTR DoModal(PROPSHEETHEADERA& header);

    // The sheet window's own procedure gets every message.
    LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    // PSN_QUERYCANCEL, reflected from the page, goes to OnQueryCancel.
    LRESULT OnNotify(WPARAM wParam, NMHDR* header) override;

    // PSCB_PRECREATE, with the sheet's dialog template.
    virtual LRESULT OnPreCreate(DLGTEMPLATE* dialogTemplate);
    // PSCB_INITIALIZED; its value is the callback's result.
    virtual LRESULT OnSheetInitialized();
    // Cancel was pressed. The sheet closes whatever this returns.
    virtual LRESULT OnQueryCancel(NMHDR* header);

    WNDPROC BaseProc() const { return baseProc; }

private:
    static int CALLBACK SheetCallback(HWND window, UINT message, LPARAM lParam);

    WNDPROC baseProc = nullptr;
};

// One page of a property sheet. Its window exists only once the page has been
// shown; a page never shown gets no notifications (and no PSN_APPLY).
class PropertyPageBase : public DialogBase {
public:
    PropertyPageBase() = default;

    // Completes the caller's structure (dialog procedure, callback, this
    // object) and creates the page; the handle is kept and returned (null on
    // failure).
    HPROPSHEETPAGE CreatePage(PROPSHEETPAGEA& page);

    HPROPSHEETPAGE PageHandle() const { return pageHandle; }
    WindowBase* Sheet() const { return sheet; }

    // Finds the sheet's object.
    LRESULT OnAttach() override;
    // Sends the page notifications to the handlers below; other codes are
    // left to the sheet.
    LRESULT OnNotify(WPARAM wParam, NMHDR* header) override;

    virtual LRESULT OnWizNext(NMHDR* header);
    virtual LRESULT OnWizFinish(NMHDR* header);
    virtual LRESULT OnWizBack(NMHDR* header);
    virtual LRESULT OnSetActive(NMHDR* header);
    virtual LRESULT OnReset(NMHDR* header);
    virtual LRESULT OnKillActive(NMHDR* header);
    virtual LRESULT OnHelp(NMHDR* header);
    virtual LRESULT OnApply(NMHDR* header);
    // PSPCB_RELEASE; default 1.
    virtual UINT OnPageRelease(PROPSHEETPAGEA* page);
    // PSPCB_CREATE; 0 stops the page from being created. Default 1.
    virtual UINT OnPageCreate(PROPSHEETPAGEA* page);

private:
    static UINT CALLBACK PageCallback(HWND window, UINT message, PROPSHEETPAGEA* page);

    HPROPSHEETPAGE pageHandle = nullptr;
    WindowBase* sheet = nullptr;
};

// ---------------------------------------------------------------------------
// Control wrappers. Attaching wrappers borrow an existing dialog item (its
// window procedure is left alone, so they see only reflected notifications);
// creating wrappers make their own control under the toolkit class with
// Create. Every operation returns what the control answers.

class ButtonCtrl : public ControlWindow {
public:
    explicit ButtonCtrl(HWND item);
    int GetCheck() const;
    void SetCheck(int state);
};

class EditCtrl : public ControlWindow {
public:
    explicit EditCtrl(HWND item);
};

class ListBoxCtrl : public ControlWindow {
public:
    explicit ListBoxCtrl(HWND item);
    int DeleteString(int index);
    int GetCurSel() const;
    LRESULT GetItemData(int index) const;
    int InsertString(int index, const char* text);
    int SetItemData(int index, LPARAM value);
};

class ComboBoxCtrl : public ControlWindow {
public:
    explicit ComboBoxCtrl(HWND item);
    int DeleteString(int index);
    int GetCount() const;
    int GetCurSel() const;
    LRESULT GetItemData(int index) const;
    int InsertString(int index, const char* text);
    int SetCurSel(int index);
    int SetItemData(int index, LPARAM value);
};

class ListViewCtrl : public ControlWindow {
public:
    explicit ListViewCtrl(HWND item);

    DWORD SetExtendedStyle(DWORD mask, DWORD style);
    BOOL DeleteItem(int index);
    BOOL GetItem(LVITEMA* item) const;
    int GetItemCount() const;
    int GetNextItem(int start, UINT flags) const;
    int GetNextSelected(int start, UINT flags) const;
    UINT GetSelectedCount() const;
    int InsertColumn(int index, const LVCOLUMNA* column);
    BOOL SetItem(const LVITEMA* item);
    int InsertItem(const LVITEMA* item);

    LRESULT OnNotify(WPARAM wParam, NMHDR* header) override;

    virtual LRESULT OnNmRDblClk(NMHDR* header);
    virtual LRESULT OnNmRClick(NMHDR* header);
    virtual LRESULT OnNmDblClk(NMHDR* header);
    virtual LRESULT OnNmCustomDraw(NMHDR* header);
    virtual LRESULT OnLvnOdStateChanged(NMHDR* header);
    virtual LRESULT OnLvnOdFindItem(NMHDR* header);
    virtual LRESULT OnLvnOdCacheHint(NMHDR* header);
    virtual LRESULT OnNmClick(NMHDR* header);
    virtual LRESULT OnLvnSetDispInfo(NMHDR* header);
    virtual LRESULT OnLvnMarqueeBegin(NMHDR* header);
    virtual LRESULT OnLvnKeyDown(NMHDR* header);
    virtual LRESULT OnLvnItemChanging(NMHDR* header);
    virtual LRESULT OnLvnItemChanged(NMHDR* header);
    virtual LRESULT OnLvnItemActivate(NMHDR* header);
    virtual LRESULT OnLvnInsertItem(NMHDR* header);
    virtual LRESULT OnLvnGetDispInfo(NMHDR* header);
    virtual LRESULT OnLvnEndLabelEdit(NMHDR* header);
    virtual LRESULT OnLvnDeleteItem(NMHDR* header);
    virtual LRESULT OnLvnDeleteAllItems(NMHDR* header);
    virtual LRESULT OnLvnColumnClick(NMHDR* header);
    virtual LRESULT OnLvnBeginLabelEdit(NMHDR* header);
    // LVN_BEGINDRAG and LVN_BEGINRDRAG.
    virtual LRESULT OnLvnBeginDrag(NMHDR* header);
};

class TreeViewCtrl : public ControlWindow {
public:
    TreeViewCtrl();

    BOOL DeleteItem(HTREEITEM item);
    BOOL Expand(UINT code, HTREEITEM item);
    BOOL GetItem(TVITEMA* item) const;
    BOOL GetItemRect(BOOL textOnly, HTREEITEM item, RECT* rect) const;
    HTREEITEM GetNextItem(UINT relation, HTREEITEM item) const;
    HTREEITEM GetChild(HTREEITEM item) const;
    HTREEITEM GetParentItem(HTREEITEM item) const;
    HTREEITEM GetSelection() const;
    HTREEITEM InsertItem(const TVINSERTSTRUCTA* insert);
    HIMAGELIST SetImageList(int which, HIMAGELIST images);
    BOOL SetItem(const TVITEMA* item);

    LRESULT OnNotify(WPARAM wParam, NMHDR* header) override;

    virtual LRESULT OnNmSetFocus(NMHDR* header);
    virtual LRESULT OnNmReturn(NMHDR* header);
    virtual LRESULT OnNmRClick(NMHDR* header);
    virtual LRESULT OnNmKillFocus(NMHDR* header);
    virtual LRESULT OnNmDblClk(NMHDR* header);
    virtual LRESULT OnNmCustomDraw(NMHDR* header);
    virtual LRESULT OnNmClick(NMHDR* header);
    virtual LRESULT OnTvnSetDispInfo(NMHDR* header);
    virtual LRESULT OnTvnSelChanging(NMHDR* header);
    virtual LRESULT OnTvnSelChanged(NMHDR* header);
    virtual LRESULT OnTvnKeyDown(NMHDR* header);
    virtual LRESULT OnTvnItemExpanding(NMHDR* header);
    virtual LRESULT OnTvnItemExpanded(NMHDR* header);
    virtual LRESULT OnTvnGetDispInfo(NMHDR* header);
    virtual LRESULT OnTvnEndLabelEdit(NMHDR* header);
    virtual LRESULT OnTvnDeleteItem(NMHDR* header);
    virtual LRESULT OnTvnBeginRDrag(NMHDR* header);
    virtual LRESULT OnTvnBeginLabelEdit(NMHDR* header);
    virtual LRESULT OnTvnBeginDrag(NMHDR* header);
};

class TabCtrl : public ControlWindow {
public:
    TabCtrl();

    int GetCurSel() const;
    BOOL GetItemRect(int index, RECT* rect) const;
    int InsertItem(int index, const TCITEMA* item);
    int SetCurSel(int index);

    LRESULT OnNotify(WPARAM wParam, NMHDR* header) override;

    virtual LRESULT OnTcnSelChanging(NMHDR* header);
    virtual LRESULT OnTcnSelChange(NMHDR* header);
    virtual LRESULT OnTcnKeyDown(NMHDR* header);
};

class ToolBarCtrl : public ControlWindow {
public:
    ToolBarCtrl();

    int AddBitmap(int count, const TBADDBITMAP* bitmap);
    LRESULT ButtonStructSize(size_t size);
    BOOL EnableButton(int id, BOOL enable);
    BOOL GetItemRect(int index, RECT* rect) const;
    // The button's state bits, or -1 when there is no such button.
    int GetState(int id) const;
    BOOL InsertButton(int index, const TBBUTTON* button);
    BOOL SetState(int id, int state);
    LRESULT SetToolTips(HWND toolTips);
    // Sets or clears TBSTATE_CHECKED only, keeping the other state bits.
    BOOL SetChecked(int id, BOOL checked);
};

class StatusBarCtrl : public ControlWindow {
public:
    StatusBarCtrl();
};

class ToolTipCtrl : public ControlWindow {
public:
    ToolTipCtrl();
    BOOL AddTool(const TOOLINFOA* tool);
};
