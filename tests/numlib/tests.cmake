# unit tests of src/numlib
list(APPEND VELK_TEST_SOURCES
)
