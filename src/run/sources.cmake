list(APPEND VELK_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/control_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dunham.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pause.cpp
  ${CMAKE_CURRENT_LIST_DIR}/state_levels.cpp
  ${CMAKE_CURRENT_LIST_DIR}/transitions.cpp
  ${CMAKE_CURRENT_LIST_DIR}/run_sequence.cpp
)
