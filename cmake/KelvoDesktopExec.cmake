# kelvo_desktop_exec(out program prefix): the program as the desktop entry's
# Exec names it. Installed in /usr, the program is on every PATH and the
# entry names it alone, so that it keeps working wherever /usr/bin lies;
# anywhere else it is the whole path, quoted, with the characters the
# desktop entry format gives a meaning to escaped, so that a blank, a quote
# or a "$" in the prefix stays part of the path.
function(kelvo_desktop_exec out program prefix)
  if(prefix STREQUAL "/usr")
    set(${out} "kelvo32" PARENT_SCOPE)
    return()
  endif()
  # Inside quotes a backslash, quote, backtick or dollar takes a backslash
  # before it, and that backslash is itself written twice in the file.
  set(_quoted "${program}")
  string(REPLACE "\\" "\\\\\\\\" _quoted "${_quoted}")
  foreach(_c "\"" "`" "$")
    string(REPLACE "${_c}" "\\\\${_c}" _quoted "${_quoted}")
  endforeach()
  # A field code starts with "%", so a percent of the path is doubled.
  string(REPLACE "%" "%%" _quoted "${_quoted}")
  set(${out} "\"${_quoted}\"" PARENT_SCOPE)
endfunction()
