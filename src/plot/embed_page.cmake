# Writes the page's template and script into a header as raw string literals, so that velk-plot
# carries them and the page's JavaScript stays a source file of its own.
# Called with -DOUTPUT=... -DTEMPLATE=... -DSCRIPT=...
file(READ "${TEMPLATE}" page_template)
file(READ "${SCRIPT}" page_script)
foreach(text IN ITEMS "${page_template}" "${page_script}")
  string(FIND "${text}" ")velk_page\"" clash)
  if(NOT clash EQUAL -1)
    message(FATAL_ERROR "the page sources hold the delimiter )velk_page\"")
  endif()
endforeach()
file(WRITE "${OUTPUT}.tmp"
     "// Generated from spectrum_page.html and spectrum_page.js by embed_page.cmake.\n"
     "#pragma once\n\nnamespace velk::plot::page_sources {\n"
     "inline constexpr char kTemplate[] = R\"velk_page(${page_template})velk_page\";\n"
     "inline constexpr char kScript[] = R\"velk_page(${page_script})velk_page\";\n"
     "}  // namespace velk::plot::page_sources\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
