# Reads the options' table, src/cli/option_table.def, for the bash completion (at configure time)
# and for the test that holds the documentation to it (in script mode). A row's first line starts
#   DARVEX_OPTION(id, 'l' or LONG_ONLY, "long-name", "ARGUMENT" or "",
# and the rest of the row is its help, which neither needs.

# darvex_read_option_table(FILE OUT): OUT is the rows of FILE in their order, each as
# LONG:SHORT:ARGUMENT (list:l:, json::, directory:d:DIR). A row it cannot read stops it.
function(darvex_read_option_table file out)
  file(STRINGS ${file} lines REGEX "^DARVEX_OPTION\\(")
  set(rows "")
  foreach(line IN LISTS lines)
    if(NOT line MATCHES "^DARVEX_OPTION\\([a-z_]+, ('([A-Za-z])'|LONG_ONLY), \"([a-z][a-z-]*)\", \"([A-Z]*)\",( .*)?$")
      message(FATAL_ERROR "${file}: cannot read the row '${line}'")
    endif()
    list(APPEND rows "${CMAKE_MATCH_3}:${CMAKE_MATCH_2}:${CMAKE_MATCH_4}")
  endforeach()
  if(NOT rows)
    message(FATAL_ERROR "${file} holds no option")
  endif()
  set(${out} ${rows} PARENT_SCOPE)
endfunction()

# darvex_option_parts(ROW): option_long, option_short (empty for none) and option_argument (empty
# for none) from a row of darvex_read_option_table.
macro(darvex_option_parts row)
  string(REGEX MATCH "^([^:]*):([^:]*):([^:]*)$" option_row "${row}")
  set(option_long "${CMAKE_MATCH_1}")
  set(option_short "${CMAKE_MATCH_2}")
  set(option_argument "${CMAKE_MATCH_3}")
endmacro()
