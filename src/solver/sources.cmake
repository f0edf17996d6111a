# sources of src/solver
list(APPEND VELK_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/effective_potential.cpp
  ${CMAKE_CURRENT_LIST_DIR}/landmarks.cpp
  ${CMAKE_CURRENT_LIST_DIR}/forward_solver.cpp
  ${CMAKE_CURRENT_LIST_DIR}/reversed_solver.cpp
)
list(APPEND VELK_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/level_driver.cpp
)
