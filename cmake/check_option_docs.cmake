# Fails unless the options' table is what --help, the manual page and the README's table of
# options show, option for option, each with its short and long name and its argument:
#   cmake -DTABLE=<option_table.def> -DTOOL=<DarvEx> -DPAGE=<DarvEx.1> -DREADME=<README.md>
#         -P check_option_docs.cmake
# An option is "-d, --directory DIR", "-l, --list", "--json" or "--like ARCHIVE": in --help, at
# the start of a line indented by two spaces (six for a long name alone); in the page, as the tag
# of an option's paragraph ("\fB\-d\fR, \fB\-\-directory\fR \fIDIR\fR"). In the README, under
# "### Options", it is a row's first cell: "`-d DIR`, `--directory DIR`", "`--json`".
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/option_table.cmake)

# The table's options as --help and the page show them, and as the README's cells.
darvex_read_option_table(${TABLE} rows)
set(table_tags "")
set(table_cells "")
foreach(row IN LISTS rows)
  darvex_option_parts(${row})
  set(argument "")
  if(NOT "${option_argument}" STREQUAL "")
    set(argument " ${option_argument}")
  endif()
  if("${option_short}" STREQUAL "")
    list(APPEND table_tags "--${option_long}${argument}")
    list(APPEND table_cells "`--${option_long}${argument}`")
  else()
    list(APPEND table_tags "-${option_short}, --${option_long}${argument}")
    list(APPEND table_cells "`-${option_short}${argument}`, `--${option_long}${argument}`")
  endif()
endforeach()

execute_process(COMMAND ${TOOL} --help RESULT_VARIABLE status OUTPUT_VARIABLE help)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${TOOL} --help ended with status ${status}")
endif()
string(REGEX MATCHALL "\n  (-[A-Za-z], |    )--[a-z-]+( [A-Z]+)?" help_tags "${help}")
list(TRANSFORM help_tags REPLACE "^\n  (    )?" "")

file(STRINGS ${PAGE} page_lines REGEX "^\\\\fB\\\\-")
set(page_tags "")
foreach(line IN LISTS page_lines)
  string(REGEX REPLACE "\\\\f[BIRP]" "" tag "${line}")
  string(REPLACE "\\-" "-" tag "${tag}")
  list(APPEND page_tags "${tag}")
endforeach()

file(READ ${README} readme)
string(FIND "${readme}" "\n### Options\n" start)
if(start EQUAL -1)
  message(FATAL_ERROR "${README} has no section \"### Options\"")
endif()
math(EXPR start "${start} + 1")
string(SUBSTRING "${readme}" ${start} -1 section)  # from its heading
string(FIND "${section}" "\n#" end)                 # to the next heading, or the end
string(SUBSTRING "${section}" 0 ${end} section)
string(REGEX MATCHALL "\n\\| `-[^|]*` \\|" readme_cells "${section}")
list(TRANSFORM readme_cells REPLACE "^\n\\| (.*) \\|$" "\\1")

# compare(WHERE FOUND EXPECTED): appends to `problems` the options FOUND (as WHERE shows them)
# and EXPECTED (the table's, in the same form) do not share.
function(compare where found expected)
  set(not_in_table ${found})
  list(REMOVE_ITEM not_in_table ${expected})
  set(not_there ${expected})
  list(REMOVE_ITEM not_there ${found})
  if(NOT "${not_in_table}${not_there}" STREQUAL "" OR "${found}" STREQUAL "")
    string(APPEND problems "\n${where} shows options the table lacks: ${not_in_table}"
                           "\n  and lacks options of the table: ${not_there}")
    set(problems "${problems}" PARENT_SCOPE)
  endif()
endfunction()

set(problems "")
compare("--help" "${help_tags}" "${table_tags}")
compare("${PAGE}" "${page_tags}" "${table_tags}")
compare("${README}" "${readme_cells}" "${table_cells}")
if(problems)
  message(FATAL_ERROR "The options of ${TABLE} are documented otherwise:${problems}")
endif()
list(LENGTH rows count)
message(STATUS "${count} options, documented alike in --help, the manual page and the README: ${table_tags}")
