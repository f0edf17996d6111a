# unit tests of src/io
list(APPEND VELK_TEST_SOURCES
)
