# Cross build: Quorvane.exe, the test probe and the Windows-side tests, all run under Wine.
enable_language(RC)
add_compile_definitions(UNICODE _UNICODE WINVER=0x0A00 _WIN32_WINNT=0x0A00 NOMINMAX WIN32_LEAN_AND_MEAN)
# A bare Windows has none of the compiler's runtime DLLs: link them in.
set(QUORVANE_STATIC_LINK -static -static-libgcc -static-libstdc++ $<$<CONFIG:MinSizeRel,Release>:-s>
    -Wl,--gc-sections)
# Every function and table in a section of its own, so the linker keeps only what is reached.
add_compile_options(-ffunction-sections -fdata-sections)

add_library(quorvane_win32 STATIC
  memory/memory_win32.cpp memory/purge_win32.cpp
  config/config_win32.cpp
  shell/trayicon_win32.cpp
  update/version_win32.cpp update/update_win32.cpp update/prompt_win32.cpp update/shell_open_win32.cpp
  ui/win32/win32_ui.cpp ui/win32/form_window.cpp ui/win32/controls.cpp ui/win32/dpi_fonts.cpp
  ui/win32/tray.cpp ui/win32/styled_buttons.cpp ui/win32/small_controls.cpp
  ui/win32/vector_paint.cpp ui/win32/chip_icon.cpp ui/win32/object_count.cpp ui/win32/contrast.cpp
  theme/theme_win32.cpp
  autostart/autostart_win32.cpp autostart/path_trust_win32.cpp
  translate/translate_win32.cpp
  crash/crash_report_win32.cpp
  app/services_win32.cpp app/fullscreen_win32.cpp)
target_link_libraries(quorvane_win32 PUBLIC quorvane_core)

set_source_files_properties(app/Quorvane.rc PROPERTIES OBJECT_DEPENDS
  "${CMAKE_SOURCE_DIR}/app/Quorvane.manifest;${CMAKE_SOURCE_DIR}/translate/translate.txt")
# The shipped exe, and the test build: the same program with the tests' loopback addresses,
# as build/win/loopback/Quorvane.exe.
foreach(target Quorvane QuorvaneLoopback)
  add_executable(${target} WIN32 app/entry_win32.cpp app/lean_runtime_win32.cpp app/Quorvane.rc)
  target_link_options(${target} PRIVATE -municode ${QUORVANE_STATIC_LINK} -Wl,--nxcompat -Wl,--dynamicbase)
  # Only DLLs that Windows always takes from System32; everything else is loaded at run time.
  target_link_libraries(${target} PRIVATE quorvane_win32 user32 gdi32 shell32 ole32 oleaut32 advapi32)
endforeach()
quorvane_addresses(Quorvane)
quorvane_addresses(QuorvaneLoopback LOOPBACK)
set_target_properties(QuorvaneLoopback PROPERTIES OUTPUT_NAME Quorvane
                      RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/loopback)

add_executable(qprobe tests/probe/probe.cpp)
target_link_options(qprobe PRIVATE -municode ${QUORVANE_STATIC_LINK})
target_link_libraries(qprobe PRIVATE user32 gdi32 shell32)

set(GTEST_SRC_DIR /usr/src/googletest CACHE PATH "GoogleTest sources (Debian googletest package)")
add_library(gtest_win STATIC ${GTEST_SRC_DIR}/googletest/src/gtest-all.cc ${GTEST_SRC_DIR}/googletest/src/gtest_main.cc)
# tests/win/gtest_port: GoogleTest's customisation header for the win32 thread model, first.
target_include_directories(gtest_win PUBLIC ${CMAKE_SOURCE_DIR}/tests/win/gtest_port ${GTEST_SRC_DIR}/googletest/include
                           PRIVATE ${GTEST_SRC_DIR}/googletest)
target_compile_options(gtest_win PRIVATE -w)
file(GLOB WIN_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win/*.cpp)
add_executable(win_tests ${WIN_TEST_SOURCES} app/Quorvane.rc)
target_link_options(win_tests PRIVATE ${QUORVANE_STATIC_LINK})
target_link_libraries(win_tests PRIVATE quorvane_win32 gtest_win user32 gdi32 shell32 ole32 oleaut32 advapi32 dbghelp)
quorvane_addresses(win_tests LOOPBACK)
# The protection the setup gives a folder chosen with /D=, as the setup's script has it, for the
# logon task's folder check to be tested on.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/installer/Quorvane.nsi)
file(READ ${CMAKE_SOURCE_DIR}/installer/Quorvane.nsi _setup_script)
if(NOT _setup_script MATCHES "\n!define FOLDER_SECURITY \"([^\"\n]+)\"")
  message(FATAL_ERROR "installer/Quorvane.nsi has no FOLDER_SECURITY")
endif()
set(_folder_security "${CMAKE_MATCH_1}")
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/generated/setup_security.h
     CONTENT "#define QUORVANE_SETUP_FOLDER_SDDL L\"@_folder_security@\"\n" @ONLY)
target_include_directories(win_tests PRIVATE ${CMAKE_BINARY_DIR}/generated)

# Idle-cost baseline and its measurement (bench/ owns its own build rules).
include(${CMAKE_SOURCE_DIR}/bench/windows.cmake OPTIONAL)

# The application icon and the setup program.
include(${CMAKE_SOURCE_DIR}/cmake/ship.cmake)
