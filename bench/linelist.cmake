# The line list: the overlap products against a plain GEMM of the same size, and the complete
# Na2 A <-> X list of examples/na2-absorb-fcf (a program of its own: it needs velk-props' library).
add_executable(velk_bench_linelist ${CMAKE_CURRENT_LIST_DIR}/linelist_bench.cpp)
set(BLA_VENDOR OpenBLAS)
find_package(BLAS REQUIRED)
target_link_libraries(velk_bench_linelist PRIVATE velk_props_lib BLAS::BLAS benchmark::benchmark
                                                  benchmark::benchmark_main)
target_include_directories(velk_bench_linelist PRIVATE ${PROJECT_SOURCE_DIR}/src ${CMAKE_CURRENT_LIST_DIR})
target_compile_definitions(velk_bench_linelist
                           PRIVATE VELK_NA2_FCF_DIR="${PROJECT_SOURCE_DIR}/examples/na2-absorb-fcf")
