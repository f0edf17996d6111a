# unit tests of src/numlib
list(APPEND VELK_TEST_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/airy_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bessel_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/chebyshev_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ipow_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/isotopes_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/least_squares_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/least_squares_random_test.cpp
)
