# the RKR inversion of velk-rkr
list(APPEND VELK_BENCH_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/rkr_bench.cpp
)
