# velk-fit: the speed of a 3000-line fit of the Na2 X MLJ curve and the statistics of noisy round
# trips over 40 seeds (their small sizes run in CTest, tests/fit). A program of its own: it links
# the fit library, which the other benchmarks do not need.
if(TARGET velk_fit_lib)
  add_executable(velk_fit_bench ${CMAKE_CURRENT_LIST_DIR}/fit_bench.cpp)
  target_link_libraries(velk_fit_bench PRIVATE velk_fit_lib benchmark::benchmark
                                               benchmark::benchmark_main)
  target_compile_definitions(velk_fit_bench
                             PRIVATE VELK_FIT_BENCH_EXAMPLES_DIR="${PROJECT_SOURCE_DIR}/examples")
endif()
