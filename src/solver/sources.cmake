# The sources of src/solver, named relative to this folder.
set(VELK_LAYER_FILES effective_potential.cpp landmarks.cpp radial_solver.cpp curve_checks.cpp
    level_window.cpp toadd.cpp exact_level.cpp level_verdict.cpp wave_function.cpp
    level_driver.cpp level_checks.cpp lane_iterations.cpp fast_search.cpp wall_steps.cpp
    level_digest.cpp)
