# Run by `cmake --install`: writes the desktop entry with the installed
# program's absolute path as its Exec.
cmake_path(ABSOLUTE_PATH QUILLARY_BINDIR BASE_DIRECTORY "${CMAKE_INSTALL_PREFIX}" NORMALIZE
  OUTPUT_VARIABLE bindir)
set(program "${bindir}/quillary")
# A path with a space or another reserved character is quoted, with the
# characters that stay special inside quotes escaped; the entry's own string
# escaping then doubles each backslash, and "%" starts a field code.
string(REPLACE "%" "%%" QUILLARY_DESKTOP_EXEC "${program}")
if(QUILLARY_DESKTOP_EXEC MATCHES "[ \t\n\"'\\\\><~|&;$*?#()`]")
  string(REGEX REPLACE "([\"`$\\\\])" "\\\\\\1" QUILLARY_DESKTOP_EXEC "${QUILLARY_DESKTOP_EXEC}")
  string(REPLACE "\\" "\\\\" QUILLARY_DESKTOP_EXEC "${QUILLARY_DESKTOP_EXEC}")
  set(QUILLARY_DESKTOP_EXEC "\"${QUILLARY_DESKTOP_EXEC}\"")
endif()
configure_file("${QUILLARY_ENTRY_TEMPLATE}" "${QUILLARY_ENTRY}" @ONLY)
