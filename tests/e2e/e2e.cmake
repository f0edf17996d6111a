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

# Inputs cut short at every record and line, outputs that cannot be written, a long run whose
# open files and memory stay bounded, and inputs that are FIFOs, devices or hold endless lines.
find_package(Python3 COMPONENTS Interpreter)
if(Python3_Interpreter_FOUND)
  foreach(mode truncations unwritable bounded special)
    add_test(NAME e2e/hostile_${mode}
             COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/tools/check_hostile_inputs.py
                     $<TARGET_FILE:velk> ${mode})
  endforeach()
else()
  message(WARNING "python3 not found: the e2e/hostile_* tests are not registered")
endif()
