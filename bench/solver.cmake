# micro-benchmarks of src/solver
list(APPEND VELK_BENCH_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/solver_bench.cpp
)
