#include "protocol/LoadThread.h"

#include "protocol/ProgressDialog.h"

#include <cstdint>

DWORD LoadThread::Run(void* parameter) {
    const auto mask = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(parameter));
    ProgressDialog& dialog = dialog_;
    dialog.Store().RunLoad(mask, [&dialog](const char* text) { dialog.SetStatus(text); });
    // The dialog ends inside this call; neither object may be touched after it.
    dialog.MarkLoadFinished();
    SendMessageA(dialog.Handle(), WM_CLOSE, 0, 0);
    return 0;
}
