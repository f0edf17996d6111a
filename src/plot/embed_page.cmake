# Writes a page's template and script into a header as raw string literals, so that velk-plot
# carries them and the page's JavaScript stays a source file of its own.
# Called with -DOUTPUT=... -DTEMPLATE=... -DSCRIPT=... -DNAMESPACE=... (the C++ namespace, inside
# velk::plot, that holds kTemplate and kScript).
get_filename_component(template_name "${TEMPLATE}" NAME)
get_filename_component(script_name "${SCRIPT}" NAME)
file(READ "${TEMPLATE}" page_template)
file(READ "${SCRIPT}" page_script)
foreach(text IN ITEMS "${page_template}" "${page_script}")
  string(FIND "${text}" ")velk_page\"" clash)
  if(NOT clash EQUAL -1)
    message(FATAL_ERROR "the page sources hold the delimiter )velk_page\"")
  endif()
endforeach()
file(WRITE "${OUTPUT}.tmp"
     "// Generated from ${template_name} and ${script_name} by embed_page.cmake.\n"
     "#pragma once\n\nnamespace velk::plot::${NAMESPACE} {\n"
     "inline constexpr char kTemplate[] = R\"velk_page(${page_template})velk_page\";\n"
     "inline constexpr char kScript[] = R\"velk_page(${page_script})velk_page\";\n"
     "}  // namespace velk::plot::${NAMESPACE}\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
