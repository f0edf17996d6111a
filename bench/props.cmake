# velk-props against the fast level search it rests on
list(APPEND VELK_BENCH_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/props_bench.cpp
)
