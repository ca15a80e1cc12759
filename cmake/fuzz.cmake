# Fuzzing with clang's libFuzzer, natively on the portable core. Configure with
# CC=clang-14 CXX=clang++-14 -DQUORVANE_FUZZ=ON (scripts/fuzz does); the native test build runs
# each target for a bounded number of executions.
find_package(Threads REQUIRED)
target_link_libraries(quorvane_core PUBLIC Threads::Threads)
target_compile_options(quorvane_core PUBLIC -fsanitize=fuzzer-no-link,address,undefined
                       -fno-sanitize-recover=undefined -fno-omit-frame-pointer -g)
foreach(target ${QUORVANE_FUZZ_TARGETS})
  add_executable(fuzz_${target} ${CMAKE_SOURCE_DIR}/fuzz/${target}.cpp)
  target_link_libraries(fuzz_${target} PRIVATE quorvane_core)
  target_link_options(fuzz_${target} PRIVATE -fsanitize=fuzzer,address,undefined)
  # New inputs go to the build's corpus; the repository's seeds are only read.
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/corpus/${target})
endforeach()
