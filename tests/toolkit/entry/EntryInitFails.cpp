// An application whose start-up fails: Run must not be called.
#include "tests/toolkit/entry/EntryLog.h"
#include "toolkit/Application.h"

namespace {

class FailingApp : public Application {
public:
    BOOL InitInstance() override {
        AppendEntryLog("init");
        return FALSE;
    }
    int Run() override {
        AppendEntryLog("run");
        return 42;
    }
} app;

}  // namespace
