# unit tests of src/io
list(APPEND VELK_TEST_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/free_format_reader_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/formatted_output_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/console_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/level_file_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/output_file_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/run_folder_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/state_records_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/warning_test.cpp
)
