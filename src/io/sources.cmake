list(APPEND VELK_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/console.cpp
  ${CMAKE_CURRENT_LIST_DIR}/free_format_reader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/formatted_output.cpp
  ${CMAKE_CURRENT_LIST_DIR}/output_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/level_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/state_records.cpp
)
