# The sources of src/solver, named relative to this folder.
set(VELK_LAYER_FILES effective_potential.cpp landmarks.cpp radial_solver.cpp level_driver.cpp
    level_checks.cpp lane_iterations.cpp fast_search.cpp)
