# One status tick through the fakes: time and heap allocations per tick.
find_package(benchmark QUIET)
if(benchmark_FOUND AND NOT QUORVANE_SANITIZE)
  add_executable(tick_bench ${CMAKE_SOURCE_DIR}/bench/tick_bench.cpp)
  target_include_directories(tick_bench PRIVATE ${CMAKE_SOURCE_DIR}/tests/unit)
  target_link_libraries(tick_bench PRIVATE quorvane_core benchmark::benchmark)
  quorvane_addresses(tick_bench)
endif()
