# sources of src/run
list(APPEND VELK_SOURCES
)
