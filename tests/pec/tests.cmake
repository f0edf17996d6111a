# unit tests of src/pec
list(APPEND VELK_TEST_SOURCES
)
