# sources of src/pec
list(APPEND VELK_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/spline.cpp
)
