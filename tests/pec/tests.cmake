# unit tests of src/pec
list(APPEND VELK_TEST_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/spline_test.cpp
)
