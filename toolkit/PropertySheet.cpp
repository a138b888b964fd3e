// Property sheets and pages: the modal start, the sheet and page callbacks
// that attach the objects, and the page notifications.
#include "toolkit/Dialog.h"

INT_PTR PropertySheetBase::DoModal(PROPSHEETHEADERA& header) {
    SetObjectBeingCreated(this);
    header.pfnCallback = &PropertySheetBase::SheetCallback;
    header.dwFlags |= PSH_USECALLBACK;
    // The sheet's own code disables only the window it is given: the grid
    // as parent would leave the frame's menu, tabs and toolbar usable.
    header.hwndParent = ModalOwnerOf(header.hwndParent);
    INT_PTR outcome;
    {
        ModalRun run(*this);
        outcome = PropertySheetA(&header);
    }
    // If the sheet never got as far as its callback, the mark must not stay
    // for an unrelated window.
    if (ObjectBeingCreated() == this) SetObjectBeingCreated(nullptr);
    // A modeless sheet returns its window. A modal sheet's result is an
    // outcome, not a handle: the (now destroyed) sheet window stays recorded.
    if ((header.dwFlags & PSH_MODELESS) && outcome != ID_PSRESTARTWINDOWS && outcome != ID_PSREBOOTSYSTEM &&
        outcome != -1) {
        hwnd = reinterpret_cast<HWND>(outcome);
    }
    return outcome;
}

int CALLBACK PropertySheetBase::SheetCallback(HWND window, UINT message, LPARAM lParam) {
    auto* sheet = dynamic_cast<PropertySheetBase*>(ObjectBeingCreated());
    switch (message) {
    case PSCB_INITIALIZED: {
        if (!sheet) return 0;
        sheet->hwnd = window;
        // Attached by handle from now on.
        SetObjectBeingCreated(nullptr);
        sheet->baseProc = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DialogBase::DialogProc)));
        LRESULT initialized = sheet->OnSheetInitialized();
        ::SendMessageA(window, WM_INITDIALOG, 0, 0);
        return static_cast<int>(initialized);
    }
    case PSCB_PRECREATE:
        if (!sheet) return 0;
        return static_cast<int>(sheet->OnPreCreate(reinterpret_cast<DLGTEMPLATE*>(lParam)));
    default:
        return 0;
    }
}

LRESULT PropertySheetBase::OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!baseProc) return 0;
    return CallWindowProcA(baseProc, window, message, wParam, lParam);
}

LRESULT PropertySheetBase::OnNotify(WPARAM, NMHDR* header) {
    if (header && header->code == static_cast<UINT>(PSN_QUERYCANCEL)) return OnQueryCancel(header);
    return 0;
}

LRESULT PropertySheetBase::OnPreCreate(DLGTEMPLATE*) { return 0; }
LRESULT PropertySheetBase::OnSheetInitialized() { return 0; }
LRESULT PropertySheetBase::OnQueryCancel(NMHDR*) { return 0; }

// ---------------------------------------------------------------------------

HPROPSHEETPAGE PropertyPageBase::CreatePage(PROPSHEETPAGEA& page) {
    if (page.dwSize == 0) page.dwSize = sizeof page;
    page.pfnDlgProc = &DialogBase::DialogProc;
    page.pfnCallback = &PropertyPageBase::PageCallback;
    page.dwFlags |= PSP_USECALLBACK;
    page.lParam = reinterpret_cast<LPARAM>(this);
    pageHandle = CreatePropertySheetPageA(&page);
    return pageHandle;
}

UINT CALLBACK PropertyPageBase::PageCallback(HWND, UINT message, PROPSHEETPAGEA* page) {
    auto* object = page ? reinterpret_cast<PropertyPageBase*>(page->lParam) : nullptr;
    if (!object || !IsInList(object)) return message == PSPCB_CREATE ? 0 : 1;
    switch (message) {
    case PSPCB_RELEASE:
        return object->OnPageRelease(page);
    case PSPCB_CREATE: {
        // The page's first window message attaches it.
        SetObjectBeingCreated(object);
        UINT create = object->OnPageCreate(page);
        if (!create && ObjectBeingCreated() == object) SetObjectBeingCreated(nullptr);
        return create;
    }
    default:
        return 1;
    }
}

LRESULT PropertyPageBase::OnAttach() {
    sheet = FromHandle(GetParent());
    return 1;
}

LRESULT PropertyPageBase::OnNotify(WPARAM, NMHDR* header) {
    if (!header) return 0;
    switch (header->code) {
    case PSN_WIZNEXT: return OnWizNext(header);
    case PSN_WIZFINISH: return OnWizFinish(header);
    case PSN_WIZBACK: return OnWizBack(header);
    case PSN_SETACTIVE: return OnSetActive(header);
    case PSN_RESET: return OnReset(header);
    case PSN_KILLACTIVE: return OnKillActive(header);
    case PSN_HELP: return OnHelp(header);
    case PSN_APPLY: return OnApply(header);
    default: return 0;
    }
}

LRESULT PropertyPageBase::OnWizNext(NMHDR*) { return 0; }
LRESULT PropertyPageBase::OnWizFinish(NMHDR*) { return 0; }
LRESULT PropertyPageBase::OnWizBack(NMHDR*) { return 0; }
LRESULT PropertyPageBase::OnSetActive(NMHDR*) { return 0; }
LRESULT PropertyPageBase::OnReset(NMHDR*) { return 0; }
LRESULT PropertyPageBase::OnKillActive(NMHDR*) { return 0; }
LRESULT PropertyPageBase::OnHelp(NMHDR*) { return 0; }
LRESULT PropertyPageBase::OnApply(NMHDR*) { return 0; }
UINT PropertyPageBase::OnPageRelease(PROPSHEETPAGEA*) { return 1; }
UINT PropertyPageBase::OnPageCreate(PROPSHEETPAGEA*) { return 1; }
