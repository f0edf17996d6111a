# sources of src/numlib
list(APPEND VELK_SOURCES
)
