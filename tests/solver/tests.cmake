# unit tests of src/solver
list(APPEND VELK_TEST_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/effective_potential_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/landmarks_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/forward_solver_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/reversed_solver_test.cpp
)
