# Window toolkit: application object and entry point, window objects and
# dispatch, dialogs, property sheets and controls, all on real windows.
rdz_add_test(NAME toolkit_window_test
    SOURCES WindowDispatchTest.cpp
    LIBS rdz_toolkit)

rdz_add_test(NAME toolkit_dialog_test
    SOURCES DialogTest.cpp ToolkitTestDialogs.rc
    LIBS rdz_toolkit)

# The entry point needs whole programs: each of these defines one application
# object (or none) and reports through the file named by RDZ_ENTRY_LOG.
function(toolkit_entry_program name source)
    add_executable(${name} WIN32 entry/${source} $<TARGET_OBJECTS:rdz_toolkit_strings>)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PRIVATE rdz_toolkit)
endfunction()
toolkit_entry_program(toolkit_entry_no_application EntryNoApplication.cpp)
toolkit_entry_program(toolkit_entry_init_fails EntryInitFails.cpp)
toolkit_entry_program(toolkit_entry_without_run EntryWithoutRun.cpp)
toolkit_entry_program(toolkit_entry_runs_loop EntryRunsLoop.cpp)
set(toolkit_entry_programs toolkit_entry_no_application toolkit_entry_init_fails toolkit_entry_without_run
    toolkit_entry_runs_loop)
# Without an application object nothing pulls the entry point out of the
# library: ask the linker for it.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    target_link_options(toolkit_entry_no_application PRIVATE -Wl,-u,WinMain)
else()
    target_link_options(toolkit_entry_no_application PRIVATE -Wl,-u,_WinMain@16)
endif()

rdz_add_test(NAME toolkit_application_test
    SOURCES ApplicationTest.cpp
    LIBS rdz_toolkit)
add_dependencies(toolkit_application_test ${toolkit_entry_programs})
