# Native build: unit tests, and the end-to-end tests that drive the cross-built program.
find_package(Threads REQUIRED)
find_package(GTest REQUIRED)
target_link_libraries(quorvane_core PUBLIC Threads::Threads)

if(QUORVANE_SANITIZE STREQUAL "thread")
  target_compile_options(quorvane_core PUBLIC -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(quorvane_core PUBLIC -fsanitize=thread)
elseif(QUORVANE_SANITIZE)
  target_compile_options(quorvane_core PUBLIC -fsanitize=address,undefined -fno-omit-frame-pointer)
  target_link_options(quorvane_core PUBLIC -fsanitize=address,undefined)
endif()

file(GLOB UNIT_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*.cpp)
add_executable(unit_tests ${UNIT_SOURCES})
target_link_libraries(unit_tests PRIVATE quorvane_core GTest::gtest GTest::gmock GTest::gtest_main)
quorvane_addresses(unit_tests)
add_test(NAME unit COMMAND unit_tests)

# The hand-overs with real threads, alone, for a ThreadSanitizer build (QUORVANE_SANITIZE=thread).
add_executable(thread_tests EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/tests/unit/threads_test.cpp)
target_include_directories(thread_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/unit)
target_link_libraries(thread_tests PRIVATE quorvane_core GTest::gtest GTest::gtest_main)
quorvane_addresses(thread_tests)
set(QUORVANE_TSAN_BUILD "" CACHE PATH "Build directory of the ThreadSanitizer thread_tests")
if(QUORVANE_TSAN_BUILD)
  add_test(NAME threads COMMAND ${QUORVANE_TSAN_BUILD}/thread_tests)
  set_tests_properties(threads PROPERTIES ENVIRONMENT "TSAN_OPTIONS=halt_on_error=1 second_deadlock_stack=1")
endif()

# Directory of the cross build whose exe the Windows-side and end-to-end tests run.
set(QUORVANE_WIN_BUILD "" CACHE PATH "Cross build directory holding the shipped Quorvane.exe")
# The cross build whose programs run under Wine here: the shipped one, or a 64-bit build of the
# same sources where the machine runs no 32-bit programs.
set(QUORVANE_WINE_BUILD "${QUORVANE_WIN_BUILD}" CACHE PATH "Cross build directory run under Wine")
if(QUORVANE_WIN_BUILD)
  set(_wine_env "QUORVANE_WIN_BUILD=${QUORVANE_WINE_BUILD}" "QUORVANE_SOURCE=${CMAKE_SOURCE_DIR}")
  add_test(NAME imports COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/e2e/check_imports.py
           ${QUORVANE_WIN_BUILD}/Quorvane.exe)
  add_test(NAME manifest COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/e2e/check_manifest.py
           ${QUORVANE_WIN_BUILD}/Quorvane.exe)
  # The winget manifests of the shipped setup, offline.
  add_test(NAME winget COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/e2e/check_winget.py ${QUORVANE_WIN_BUILD}/winget
           ${QUORVANE_WIN_BUILD}/QuorvaneSetup-${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.exe)
  # A signed cross build of its own, with a certificate made by the test.
  add_test(NAME signing COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/e2e/check_signing.py ${CMAKE_SOURCE_DIR}
           ${CMAKE_SOURCE_DIR}/build/signed ${QUORVANE_WIN_BUILD}/Quorvane.exe)
  set_tests_properties(signing PROPERTIES TIMEOUT 900)
  add_test(NAME win_tests COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/e2e/run_win_tests.py)
  add_test(NAME e2e COMMAND python3 -m unittest discover -v -p "e2e_*.py"
           WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}/tests/e2e)
  set_tests_properties(win_tests e2e PROPERTIES ENVIRONMENT "${_wine_env}" TIMEOUT 900)
endif()

# The fuzz targets of a separate clang build, each for a bounded, seeded number of executions.
set(QUORVANE_FUZZ_BUILD "" CACHE PATH "Build directory of the fuzz targets")
set(QUORVANE_FUZZ_RUNS 60000 CACHE STRING "Executions of each fuzz target in the test run")
if(QUORVANE_FUZZ_BUILD)
  foreach(target ${QUORVANE_FUZZ_TARGETS})
    add_test(NAME fuzz_${target}
             COMMAND ${QUORVANE_FUZZ_BUILD}/fuzz_${target} -runs=${QUORVANE_FUZZ_RUNS} -seed=1
                     ${QUORVANE_FUZZ_BUILD}/corpus/${target} ${CMAKE_SOURCE_DIR}/fuzz/corpus/${target})
  endforeach()
endif()

# The costs that are the same in every run: the shipped exe's size, and the heap allocations of a
# status tick (through the optimised native build of the tick benchmark).
set(QUORVANE_BENCH_BUILD "" CACHE PATH "Optimised native build holding tick_bench")
if(QUORVANE_WIN_BUILD AND QUORVANE_BENCH_BUILD)
  add_test(NAME fixed_costs COMMAND python3 ${CMAKE_SOURCE_DIR}/bench/check_fixed_costs.py
           --exe ${QUORVANE_WIN_BUILD}/Quorvane.exe --tick ${QUORVANE_BENCH_BUILD}/tick_bench)
endif()

# Native benchmarks (bench/ owns its own build rules).
include(${CMAKE_SOURCE_DIR}/bench/native.cmake OPTIONAL)
