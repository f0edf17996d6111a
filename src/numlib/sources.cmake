# sources of src/numlib
list(APPEND VELK_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/airy.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bessel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/chebyshev.cpp
  ${CMAKE_CURRENT_LIST_DIR}/least_squares.cpp
)
