// A toolkit program that defines no application object. Its message boxes go
// to the entry log instead of the screen.
#include "tests/toolkit/entry/EntryLog.h"
#include "toolkit/Services.h"

namespace {

int LogMessageBox(HWND owner, const char* text, const char* caption, UINT style) {
    AppendEntryLog(std::string("box|") + (owner ? "owner" : "none") + "|" + caption + "|" + text + "|" +
                   std::to_string(style));
    return IDOK;
}

// Constructed before the entry point runs.
struct RecordMessageBoxes {
    RecordMessageBoxes() { SetMessageBoxHandler(&LogMessageBox); }
} recordMessageBoxes;

}  // namespace
