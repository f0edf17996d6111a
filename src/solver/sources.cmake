# sources of src/solver
list(APPEND VELK_SOURCES
)
