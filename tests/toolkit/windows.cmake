# Window toolkit: application object and entry point, window objects and
# dispatch, dialogs, property sheets and controls, all on real windows.
rdz_add_test(NAME toolkit_window_test
    SOURCES WindowDispatchTest.cpp
    LIBS rdz_toolkit)

rdz_add_test(NAME toolkit_dialog_test
    SOURCES DialogTest.cpp ToolkitTestDialogs.rc
    LIBS rdz_toolkit)
