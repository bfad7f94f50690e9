# darvex_gzip(SOURCE OUTPUT): writes OUTPUT, SOURCE compressed with `gzip -9n` at configure time
# (configure_file made SOURCE just before, so both change together). -n leaves out the name
# and time stamp, so that the same text always gives the same bytes; -9 is what Debian's
# packages use for manual pages and changelogs.

find_program(DARVEX_GZIP gzip REQUIRED)

function(darvex_gzip source output)
  execute_process(COMMAND ${DARVEX_GZIP} -9nc ${source} OUTPUT_FILE ${output}
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip -9n ${source} failed (status ${status})")
  endif()
endfunction()
