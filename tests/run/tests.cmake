# unit tests of src/run
list(APPEND VELK_TEST_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/control_file_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dunham_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/transitions_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pause_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/output_names_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/level_limits_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/command_line_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/run_warnings_test.cpp
)
