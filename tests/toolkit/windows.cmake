# Window toolkit: application object and entry point, window objects and
# dispatch, dialogs, property sheets and controls, all on real windows.
rdz_add_test(NAME toolkit_window_test
    SOURCES WindowDispatchTest.cpp
    LIBS rdz_toolkit)
