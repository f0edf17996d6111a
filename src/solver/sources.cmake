# sources of src/solver
list(APPEND VELK_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/effective_potential.cpp
  ${CMAKE_CURRENT_LIST_DIR}/landmarks.cpp
  ${CMAKE_CURRENT_LIST_DIR}/radial_solver.cpp
  ${CMAKE_CURRENT_LIST_DIR}/level_driver.cpp
  ${CMAKE_CURRENT_LIST_DIR}/level_file_writer.cpp
)
