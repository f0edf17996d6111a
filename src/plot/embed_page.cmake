# Writes a page's style sheet, body and script into a header as raw string literals, so that
# velk-plot carries them and each stays a source file of its own.
# Called with -DOUTPUT=... -DSTYLE=... -DBODY=... -DSCRIPT=... -DNAMESPACE=... (the C++
# namespace, inside velk::plot, that holds kStyle, kBody and kScript).
set(sources "")
set(definitions "")
foreach(part IN ITEMS Style Body Script)
  string(TOUPPER "${part}" variable)
  get_filename_component(file_name "${${variable}}" NAME)
  list(APPEND sources "${file_name}")
  file(READ "${${variable}}" text)
  string(FIND "${text}" ")velk_page\"" clash)
  if(NOT clash EQUAL -1)
    message(FATAL_ERROR "${file_name} holds the delimiter )velk_page\"")
  endif()
  string(APPEND definitions "inline constexpr char k${part}[] = R\"velk_page(${text})velk_page\";\n")
endforeach()
list(JOIN sources ", " source_names)
file(WRITE "${OUTPUT}.tmp"
     "// Generated from ${source_names} by embed_page.cmake.\n"
     "#pragma once\n\nnamespace velk::plot::${NAMESPACE} {\n"
     "${definitions}"
     "}  // namespace velk::plot::${NAMESPACE}\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
