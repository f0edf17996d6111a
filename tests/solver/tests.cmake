# unit tests of src/solver
list(APPEND VELK_TEST_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/double_well_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/effective_potential_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fast_search_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/immediate_divisions_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/kept_build_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/level_driver_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/level_service_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/landmarks_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/lane_iterations_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/level_checks_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/level_digest_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/numerov_sweeps_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ordered_jobs_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/radial_solver_morse_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/radial_solver_test.cpp
)
