# The text tables of app/res (texts.txt, pages.txt) are read alike: the file is
# a dependency of the configure step, it holds no semicolon (CMake's list
# separator), and it is handed on as a list of its lines.
include_guard(GLOBAL)

# dorvane_read_table_lines(SOURCE OUT_VAR)
function(dorvane_read_table_lines source out_var)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
  file(READ ${source} content)
  if(content MATCHES ";")
    message(FATAL_ERROR "${source}: a text holds a semicolon")
  endif()
  string(REPLACE "\n" ";" lines "${content}")
  set(${out_var} "${lines}" PARENT_SCOPE)
endfunction()
