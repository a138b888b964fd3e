#include "shell/AboutDialog.h"

LRESULT AboutDialog::OnInitDialog() {
    MessageBeep(MB_ICONASTERISK);
    return 1;
}

LRESULT AboutDialog::OnCommand(UINT, UINT id, HWND) {
    if (id != IDOK && id != IDCANCEL) return 0;
    EndDialog(id);
    return 1;
}
