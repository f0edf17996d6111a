# The sources of src/io, named relative to this folder.
set(VELK_LAYER_FILES console.cpp free_format_reader.cpp formatted_output.cpp output_file.cpp
    level_file.cpp output_recording.cpp state_records.cpp warning.cpp transition_file.cpp
    run_file_check.cpp line_list_file.cpp exomol_files.cpp interrupts.cpp run_folder.cpp run_lock.cpp
    thread_count.cpp)
