# sources of src/pec
list(APPEND VELK_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/spline.cpp
  ${CMAKE_CURRENT_LIST_DIR}/potential_header.cpp
  ${CMAKE_CURRENT_LIST_DIR}/potential_builder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mlj.cpp
  ${CMAKE_CURRENT_LIST_DIR}/analytic.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pointwise.cpp
  ${CMAKE_CURRENT_LIST_DIR}/extension_fit.cpp
)
