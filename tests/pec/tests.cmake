# unit tests of src/pec
list(APPEND VELK_TEST_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/spline_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/spline_random_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tabulation_random_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/potential_header_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/potential_builder_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mlj_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/analytic_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pointwise_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/extension_fit_test.cpp
)
