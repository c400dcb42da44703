# Run by CPack on its staging folder before it builds the package: strips
# the program and its tools as Debian's own packaging does, symbols and the
# .comment and .note sections alike (the compiler's name is no use to a user).
file(GLOB _files "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/lib/kelvo32/*")
foreach(_file ${_files})
  file(READ "${_file}" _magic LIMIT 4 HEX)
  if(_magic STREQUAL "7f454c46")
    execute_process(COMMAND strip --remove-section=.comment --remove-section=.note "${_file}"
                    COMMAND_ERROR_IS_FATAL ANY)
  endif()
endforeach()
