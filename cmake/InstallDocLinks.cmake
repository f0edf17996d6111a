# Run by cmake --install after the guide and the examples are copied: in the sources the guide
# (docs/) and the examples (examples/) are sibling folders, installed the examples sit inside the
# guide's folder, so the relative links between the two are rewritten to the installed layout.
# velk_doc_dir is the guide's folder relative to the prefix.
set(doc_root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${velk_doc_dir}")
file(GLOB guide_pages "${doc_root}/*.md")
foreach(page ${guide_pages})
  file(READ "${page}" text)
  string(REPLACE "](../examples/" "](examples/" text "${text}")
  string(REPLACE "](../examples)" "](examples)" text "${text}")
  file(WRITE "${page}" "${text}")
endforeach()
file(GLOB_RECURSE example_pages "${doc_root}/examples/*.md")
foreach(page ${example_pages})
  file(READ "${page}" text)
  string(REPLACE "](../../docs/" "](../../" text "${text}")
  file(WRITE "${page}" "${text}")
endforeach()
