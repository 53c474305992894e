# The tests of the Windows build, run under Wine by scripts/windows. They reach a Linux keysim
# (keysim serve CONFIG --tcp PORT --record) that KEYSIM_SOCKET names, and need a Wine prefix of
# their own (WINEPREFIX) and an X display.

# GoogleTest from Debian's sources (package googletest), compiled for Windows here.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

add_library(test_support STATIC support/sim_server.cpp support/sim_server_remote.cpp)
target_include_directories(test_support PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(test_support PUBLIC umbrata_key keysim_wire hidapi-keysim GTest::gtest)
target_compile_definitions(test_support PRIVATE SAMPLE_CONFIG="${CMAKE_SOURCE_DIR}/sim/keys.sample.json")
umbrata_warnings(test_support)

add_executable(key_tests key/key_test.cpp)
target_link_libraries(key_tests PRIVATE test_support GTest::gtest_main)
umbrata_warnings(key_tests)

add_library(qt_test_main OBJECT support/qt_main.cpp)
target_include_directories(qt_test_main PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(qt_test_main PUBLIC test_support Qt5::Gui Qt5::Test GTest::gtest)
add_library(qt_core_test_main OBJECT support/qt_main.cpp)
target_compile_definitions(qt_core_test_main PRIVATE UMBRATA_TEST_CORE_ONLY)
target_link_libraries(qt_core_test_main PUBLIC test_support Qt5::Core Qt5::Test GTest::gtest)

add_executable(models_tests gui/models/model_test.cpp)
target_link_libraries(models_tests PRIVATE umbrata_models test_support qt_core_test_main)
umbrata_warnings(models_tests)

add_executable(gui_tests gui/app/controller_test.cpp gui/desktop/device_event_test.cpp gui/desktop/autostart_test.cpp
  gui/desktop/folder_protection_test.cpp)
target_link_libraries(gui_tests PRIVATE umbrata_watch_keysim umbrata_app test_support qt_test_main)
umbrata_warnings(gui_tests)


# The programs' manifest: the tests write and read the log in a profile whose name is not ASCII.
foreach(program key_tests models_tests gui_tests)
  target_link_libraries(${program} PRIVATE umbrata_manifest)
endforeach()

# What a Windows program reads of the clipboard: its formats, by name.
add_executable(clipboard_formats windows/clipboard_formats.c)
# What a Windows program reads of an open popup menu: its entries, read by a hook DLL inside the
# menu's process, which tray_menu.exe loads from beside itself.
add_executable(tray_menu windows/tray_menu.c)
add_library(tray_menu_hook MODULE windows/tray_menu_hook.c)
set_target_properties(tray_menu_hook PROPERTIES PREFIX "")
add_dependencies(tray_menu tray_menu_hook)

# Whole programs, one process each: under Wine every start costs a second or two.
foreach(program key_tests models_tests gui_tests)
  add_test(NAME ${program} COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/windows/wine_session.sh ${CMAKE_BINARY_DIR}
           ${CMAKE_SOURCE_DIR} ${UMBRATA_WINDOWS_QT} $<TARGET_FILE:${program}>)
  set_tests_properties(${program} PROPERTIES TIMEOUT 300)
endforeach()
add_test(NAME program_end_to_end COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/windows/program_test.sh ${CMAKE_BINARY_DIR}
         ${CMAKE_SOURCE_DIR} ${UMBRATA_WINDOWS_QT})
set_tests_properties(program_end_to_end PROPERTIES TIMEOUT 600)
add_test(NAME tray_end_to_end COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/windows/tray_test.sh ${CMAKE_BINARY_DIR}
         ${CMAKE_SOURCE_DIR} ${UMBRATA_WINDOWS_QT})
set_tests_properties(tray_end_to_end PROPERTIES TIMEOUT 300)
