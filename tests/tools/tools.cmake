# Scripts of tools/ and the examples of examples/, run against the real binary.
add_test(NAME tools/run_parallel
         COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/run_parallel_test.sh $<TARGET_FILE:velk>)
set_tests_properties(tools/run_parallel PROPERTIES TIMEOUT 600)

# The grid-error study of docs/tools on a small case (a few seconds).
add_test(NAME tools/grid_error
         COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/grid_error_test.sh $<TARGET_FILE:velk>)
set_tests_properties(tools/grid_error PROPERTIES TIMEOUT 300)

# The include graph of the layers: the real tree, then includes planted in copies of it (CASE:
# file, include, whether the check must refuse it).
add_test(NAME tools/layers
         COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/layers_test.sh ${PROJECT_SOURCE_DIR})
foreach(case
    "pec_header_includes_run|pec/radial_grid.h|run/run_options.h|fail"
    "props_includes_plot|props/state_table.h|plot/spectrum_plot.h|fail"
    "io_includes_numlib|io/errors.h|numlib/ipow.h|fail"
    "main_includes_solver|main.cpp|solver/level_record.h|fail"
    "unlisted_folder|extra/helper.h|io/errors.h|fail"
    "run_includes_solver|run/pause.h|solver/level_record.h|pass")
  string(REPLACE "|" ";" fields "${case}")
  list(GET fields 0 name)
  list(SUBLIST fields 1 3 arguments)
  add_test(NAME tools/layers_planted/${name}
           COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/layers_planted_test.sh
                   ${CMAKE_CURRENT_LIST_DIR}/layers_test.sh ${PROJECT_SOURCE_DIR} ${arguments})
endforeach()

# The command lines of both programs, and a quiet run against a plain one.
add_test(NAME tools/command_line
         COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/command_line_test.sh $<TARGET_FILE:velk>
                 $<TARGET_FILE:velk-plot> ${PROJECT_VERSION} ${PROJECT_SOURCE_DIR})
set_tests_properties(tools/command_line PROPERTIES TIMEOUT 300)

# cmake --install into a scratch prefix.
add_test(NAME tools/install
         COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/install_test.sh ${CMAKE_COMMAND} ${CMAKE_BINARY_DIR}
                 ${PROJECT_SOURCE_DIR})

# The build refuses -ffast-math and an -ffp-contract other than off.
add_test(NAME tools/determinism_flags
         COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/determinism_flags_test.sh ${CMAKE_COMMAND}
                 ${PROJECT_SOURCE_DIR})
set_tests_properties(tools/determinism_flags PROPERTIES TIMEOUT 300)

# velk-props (with its spectrum command) and velk-plot interrupted by SIGINT and SIGTERM: no
# temporary left, earlier outputs intact, status 130 or 143.
foreach(case props_wavefunctions props_spectrum plot_wavefunctions)
  foreach(signal SIGINT SIGTERM)
    add_test(NAME tools/interrupts/${case}/${signal}
             COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/check_companion_interrupts.py
                     $<TARGET_FILE_DIR:velk> ${PROJECT_SOURCE_DIR} ${case} ${signal})
    set_tests_properties(tools/interrupts/${case}/${signal} PROPERTIES TIMEOUT 600)
  endforeach()
endforeach()
