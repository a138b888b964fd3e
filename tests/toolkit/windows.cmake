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
set(toolkit_entry_programs)
foreach(program no_application init_fails without_run runs_loop)
    string(REPLACE "_" ";" words ${program})
    set(source "")
    foreach(word ${words})
        string(SUBSTRING ${word} 0 1 first)
        string(TOUPPER ${first} first)
        string(SUBSTRING ${word} 1 -1 rest)
        string(APPEND source ${first}${rest})
    endforeach()
    add_executable(toolkit_entry_${program} WIN32 entry/Entry${source}.cpp $<TARGET_OBJECTS:rdz_toolkit_strings>)
    target_include_directories(toolkit_entry_${program} PRIVATE ${PROJECT_SOURCE_DIR})
    target_link_libraries(toolkit_entry_${program} PRIVATE rdz_toolkit)
    list(APPEND toolkit_entry_programs toolkit_entry_${program})
endforeach()
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
