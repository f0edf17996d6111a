# sources of src/pec
list(APPEND VELK_SOURCES
)
