# whole working directories run against the binary: see run_case.cmake
