# Every folder under tests/e2e (and tests/e2e/bad) that holds an expected/ folder is a complete
# working directory run against the real binary.
file(GLOB velk_e2e_cases LIST_DIRECTORIES true ${CMAKE_CURRENT_LIST_DIR}/*/expected
     ${CMAKE_CURRENT_LIST_DIR}/bad/*/expected)
foreach(expected_dir ${velk_e2e_cases})
  get_filename_component(case_dir ${expected_dir} DIRECTORY)
  file(RELATIVE_PATH case_name ${CMAKE_CURRENT_LIST_DIR} ${case_dir})
  add_test(NAME e2e/${case_name}
           COMMAND ${CMAKE_CURRENT_LIST_DIR}/run_case.sh $<TARGET_FILE:velk> ${case_dir})
endforeach()

# The same files and console lines on one thread and on three as on the default count (one per
# core): the complete runs, stops and rigth errors included.
file(GLOB velk_e2e_complete_runs LIST_DIRECTORIES true ${CMAKE_CURRENT_LIST_DIR}/*/expected)
foreach(expected_dir ${velk_e2e_complete_runs})
  get_filename_component(case_dir ${expected_dir} DIRECTORY)
  get_filename_component(case_name ${case_dir} NAME)
  foreach(threads 1 3)
    add_test(NAME e2e/threads${threads}/${case_name}
             COMMAND ${CMAKE_CURRENT_LIST_DIR}/run_case.sh $<TARGET_FILE:velk> ${case_dir}
                     --threads ${threads})
  endforeach()
endforeach()

# The fast search on one thread and on three: the same files, console lines and warnings, stops
# included.
foreach(expected_dir ${velk_e2e_complete_runs})
  get_filename_component(case_dir ${expected_dir} DIRECTORY)
  get_filename_component(case_name ${case_dir} NAME)
  add_test(NAME e2e/fast_threads/${case_name}
           COMMAND ${CMAKE_CURRENT_LIST_DIR}/tools/same_on_thread_counts.sh $<TARGET_FILE:velk>
                   ${case_dir} "1 3" --fast)
endforeach()

# python3 (standard library only) runs the checkers below; without it they would silently vanish.
find_package(Python3 REQUIRED COMPONENTS Interpreter)

# Inputs cut short at every record and line, outputs that cannot be written, and a long run whose
# open files and memory stay bounded, and inputs that are FIFOs, devices or hold endless lines.
foreach(mode truncations unwritable bounded special)
  add_test(NAME e2e/hostile_${mode}
           COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/tools/check_hostile_inputs.py
                   $<TARGET_FILE:velk> ${mode})
endforeach()

# The companions (velk-props, its spectrum command, velk-plot) and velk's console as a hostile user
# meets them: inputs named like outputs, FIFOs, devices, endless lines, values no run writes, a
# closed standard output, a second run in the same folder, many threads, an interrupt.
foreach(case moment_named_like_output data_file_named_like_spectrum potential_named_like_picture
             moment_fifo moment_device moment_endless_line
             line_list_fifo line_list_device line_list_endless_line
             transition_list_fifo line_list_nan line_list_1e300
             moment_1e300 level_file_v_2147483647 level_file_one_far_v
             wavefunction_limit closed_console second_run_refused
             many_threads_said interrupted_wavefunctions)
  add_test(NAME e2e/companions_hostile/${case}
           COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/tools/check_companions_hostile.py
                   $<TARGET_FILE_DIR:velk> ${case})
endforeach()

# The expected files checked by the two independent checkers, over every case each can compute:
# dunham_expected.py the runs with no potential state (closed-form term values), check_levels.py
# the others (independent Numerov levels, a second implementation of the solvers, and the run
# repeated on a grid twice as fine). Each lists the cases it skips and why.
add_test(NAME e2e/golden_dunham
         COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/tools/dunham_expected.py --check)
add_test(NAME e2e/golden_potential
         COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/tools/check_levels.py --every
                 --bin $<TARGET_FILE:velk>)
set_tests_properties(e2e/golden_potential PROPERTIES TIMEOUT 900)

# Outputs interrupted by SIGINT and SIGTERM while they are written keep their earlier content.
add_test(NAME e2e/interrupts
         COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/tools/check_interrupts.py
                 $<TARGET_FILE:velk>)

# velk --fast against the default mode's expected files on every case: the same files, levels and
# stops, energies within the tolerance of the run.
add_test(NAME e2e/fast_mode
         COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/tools/check_fast_mode.py
                 $<TARGET_FILE:velk>)
