# whole runs of the realistic decks beside the project
list(APPEND VELK_BENCH_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/perf_decks_bench.cpp
)
