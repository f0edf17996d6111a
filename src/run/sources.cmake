# The sources of src/run, named relative to this folder.
set(VELK_LAYER_FILES control_file.cpp dunham.cpp level_limits.cpp output_names.cpp pause.cpp
    state_level_files.cpp transitions.cpp run_sequence.cpp command_line.cpp
    run_warnings.cpp potext_file.cpp level_file_writer.cpp)
