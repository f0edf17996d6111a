# end-to-end timing of a level table
list(APPEND VELK_BENCH_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/level_table_bench.cpp
)
