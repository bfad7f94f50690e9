# Fails unless a manual page documents exactly the options that the tool's --help shows:
#   cmake -DTOOL=<DarvEx> -DPAGE=<DarvEx.1> -P check_man_page_options.cmake
# An option is "-l, --list", "-d, --directory DIR" or, without a short form, "--json" or
# "--like ARCHIVE": in the help, at the start of a line indented by two spaces (six for a long
# form alone); in the page, as the tag of an option's paragraph ("\fB\-l\fR, \fB\-\-list\fR").
cmake_minimum_required(VERSION 3.25)

execute_process(COMMAND ${TOOL} --help RESULT_VARIABLE status OUTPUT_VARIABLE help)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${TOOL} --help ended with status ${status}")
endif()
string(REGEX MATCHALL "\n  (-[A-Za-z], |    )--[a-z-]+( [A-Z]+)?" help_options "${help}")
list(TRANSFORM help_options REPLACE "^\n  (    )?" "")

file(STRINGS ${PAGE} tags REGEX "^\\\\fB\\\\-")
set(page_options "")
foreach(tag IN LISTS tags)
  string(REGEX REPLACE "\\\\f[BIRP]" "" option "${tag}")
  string(REPLACE "\\-" "-" option "${option}")
  list(APPEND page_options "${option}")
endforeach()

set(undocumented "")
foreach(option IN LISTS help_options)
  if(NOT option IN_LIST page_options)
    list(APPEND undocumented "${option}")
  endif()
endforeach()
set(not_in_help "")
foreach(option IN LISTS page_options)
  if(NOT option IN_LIST help_options)
    list(APPEND not_in_help "${option}")
  endif()
endforeach()
if(help_options STREQUAL "" OR undocumented OR not_in_help)
  message(FATAL_ERROR "${PAGE} and --help differ.\n"
                      "In --help only: ${undocumented}\nIn the page only: ${not_in_help}\n"
                      "--help shows: ${help_options}")
endif()
list(LENGTH help_options count)
message(STATUS "${count} options, documented alike: ${help_options}")
