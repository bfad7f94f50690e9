# The bash completion: completion/DarvEx.bash.in with the options of the table
# (src/cli/option_table.def) filled in, as completion/DarvEx.bash in the build tree, which
# packaging.cmake installs and its test sources. Made when the build is configured, running
# nothing that the build makes, so a cross-build can make it too; a changed table configures
# the build again.

include(cmake/option_table.cmake)
set(DARVEX_OPTION_TABLE ${PROJECT_SOURCE_DIR}/src/cli/option_table.def)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${DARVEX_OPTION_TABLE})
darvex_read_option_table(${DARVEX_OPTION_TABLE} rows)

# Every option's words (-l --list ...), the long options that take a value as a case pattern
# (--directory | --include ...), and the short ones that do as the letters of a bracket (dixjc).
set(words "")
set(value_longs "")
set(DARVEX_COMPLETION_VALUE_SHORTS "")
foreach(row IN LISTS rows)
  darvex_option_parts(${row})
  if(NOT "${option_short}" STREQUAL "")
    list(APPEND words -${option_short})
  endif()
  list(APPEND words --${option_long})
  if(NOT "${option_argument}" STREQUAL "")
    list(APPEND value_longs --${option_long})
    string(APPEND DARVEX_COMPLETION_VALUE_SHORTS "${option_short}")
  endif()
endforeach()
list(JOIN words " " DARVEX_COMPLETION_WORDS)
list(JOIN value_longs " | " DARVEX_COMPLETION_VALUE_LONGS)

set(DARVEX_COMPLETION ${PROJECT_BINARY_DIR}/completion/DarvEx.bash)
configure_file(completion/DarvEx.bash.in ${DARVEX_COMPLETION} @ONLY)
