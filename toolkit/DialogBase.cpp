// Modal dialogs and the toolkit dialog procedure.
#include "toolkit/Dialog.h"

INT_PTR CALLBACK DialogBase::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowBase* object = FromHandle(window);
    if (!object) object = AttachObjectBeingCreated(window);

    if (message == WM_INITDIALOG) {
        if (!object) {
            // A modal dialog's object arrives as the initialisation parameter.
            // Only a live window object is taken: a page's parameter is its
            // PROPSHEETPAGE, never an object.
            // Only a dialog object is attached: any other object keeps its
            // own window.
            auto* candidate = reinterpret_cast<WindowBase*>(lParam);
            if (!candidate || !IsInList(candidate)) return FALSE;
            auto* candidateDialog = dynamic_cast<DialogBase*>(candidate);
            if (!candidateDialog) return FALSE;
            candidateDialog->hwnd = window;
            object = candidate;
        }
        auto* dialog = dynamic_cast<DialogBase*>(object);
        if (!dialog) return FALSE;
        dialog->OnAttach();
        return static_cast<INT_PTR>(dialog->OnInitDialog());
    }

    // Messages before WM_INITDIALOG (WM_SETFONT...) get the dialog manager's
    // default handling.
    if (!object) return FALSE;

    // A dialog's handlers cannot return values to notifications: only what
    // OnMessage says goes back to the dialog manager.
    object->SetResult(0);
    object->Dispatch(window, message, wParam, lParam);
    return static_cast<INT_PTR>(object->OnMessage(window, message, wParam, lParam));
}

INT_PTR DialogBase::DoModal(HINSTANCE instance, const char* dialogTemplate, HWND parent) {
    ModalRun run(*this);
    // The dialog manager places the dialog relative to `parent` and, for a
    // child such as a page, takes its top-level window as the owner it
    // disables.
    return DialogBoxParamA(instance, dialogTemplate, parent, &DialogBase::DialogProc, reinterpret_cast<LPARAM>(this));
}

LRESULT DialogBase::OnAttach() {
    return 0;
}

LRESULT DialogBase::OnInitDialog() {
    return 0;
}

LRESULT DialogBase::OnClose() {
    EndDialog(0);
    return 1;
}
