# unit tests of src/run
list(APPEND VELK_TEST_SOURCES
)
