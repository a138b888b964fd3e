// An application that starts but keeps the base class's Run.
#include "tests/toolkit/entry/EntryLog.h"
#include "toolkit/Application.h"

namespace {

class StartOnlyApp : public Application {
public:
    BOOL InitInstance() override {
        AppendEntryLog("init");
        return TRUE;
    }
} app;

}  // namespace
