# Every example runs as its README says, in a scratch copy, and its README is checked against the
# run: quoted blocks, figures of the prose and CPU times (check_readme.py says how a README marks
# them). examples/python holds a script for the Python module, whose tests run it.
set(velk_readme_timing)
if(VELK_SANITIZE OR VELK_TSAN OR NOT CMAKE_BUILD_TYPE STREQUAL "Release")
  # The CPU times the READMEs quote are those of an optimised build.
  set(velk_readme_timing --no-timing)
endif()
file(GLOB velk_example_readmes ${PROJECT_SOURCE_DIR}/examples/*/README.md)
foreach(readme ${velk_example_readmes})
  get_filename_component(example_dir ${readme} DIRECTORY)
  get_filename_component(example ${example_dir} NAME)
  if(example STREQUAL "python")
    continue()
  endif()
  add_test(NAME examples/readme/${example}
           COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/check_readme.py ${example_dir}
                   $<TARGET_FILE_DIR:velk> ${velk_readme_timing})
  set_tests_properties(examples/readme/${example} PROPERTIES TIMEOUT 600)
endforeach()

# The check itself refuses a README with one planted fault.
foreach(case arithmetic figure header_dropped lines_apart changed_line cpu_time no_directive
             stray_output)
  add_test(NAME examples/readme_planted/${case}
           COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/check_readme_planted.py
                   ${PROJECT_SOURCE_DIR} $<TARGET_FILE_DIR:velk> ${case} ${velk_readme_timing})
endforeach()
