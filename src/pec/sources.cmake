# The sources of src/pec, named relative to this folder.
set(VELK_LAYER_FILES spline.cpp potential_header.cpp curve_definition.cpp potential_builder.cpp mlj.cpp analytic.cpp
    pointwise.cpp extension_fit.cpp
    curve_file_text.cpp)
