# Renders a manual page as `man` would on a UTF-8 terminal, with every groff warning on, and
# fails on any warning: cmake -DGROFF=<groff> -DPAGE=<page> -P check_man_page_renders.cmake
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND ${GROFF} -man -Tutf8 -ww -z ${PAGE}
                RESULT_VARIABLE status ERROR_VARIABLE warnings)
if(NOT status EQUAL 0 OR NOT warnings STREQUAL "")
  message(FATAL_ERROR "groff on ${PAGE} (status ${status}):\n${warnings}")
endif()
