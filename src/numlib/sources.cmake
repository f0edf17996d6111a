# The sources of src/numlib, named relative to this folder.
set(VELK_LAYER_FILES airy.cpp bessel.cpp chebyshev.cpp isotopes.cpp least_squares.cpp)
