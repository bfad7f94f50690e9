# darvex_debian_package(WHAT OUT): sets OUT to the Debian package that brings WHAT, as
# script/packages lists it (its third column), so that a configure step that misses something
# names the package to install from the project's one list.
function(darvex_debian_package what out)
  file(STRINGS ${PROJECT_SOURCE_DIR}/script/packages lines REGEX "^[^#]")
  foreach(line IN LISTS lines)
    string(REGEX MATCH "^([^ ]+) +[a-z]+ +([^ ]+)$" matched "${line}")
    if(matched AND CMAKE_MATCH_2 STREQUAL what)
      set(${out} ${CMAKE_MATCH_1} PARENT_SCOPE)
      return()
    endif()
  endforeach()
  message(FATAL_ERROR "script/packages names no package for ${what}")
endfunction()

# darvex_install_hint(WHAT OUT): "On Debian: apt-get install PACKAGE, or script/setup" for WHAT.
function(darvex_install_hint what out)
  darvex_debian_package(${what} package)
  set(${out} "on Debian: apt-get install ${package}, or script/setup" PARENT_SCOPE)
endfunction()
