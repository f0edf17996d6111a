# unit tests of src/solver
list(APPEND VELK_TEST_SOURCES
)
