# micro-benchmarks of src/numlib
list(APPEND VELK_BENCH_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/airy_bench.cpp
)
