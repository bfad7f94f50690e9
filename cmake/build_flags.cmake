# Compiler flags for the project's own targets, set here only.
#   darvex_warnings   -Wall -Wextra -Wpedantic on every target that links it; with
#                     DARVEX_WERROR, warnings are errors (CI turns it on, users need not).
#   DARVEX_SANITIZER_FLAGS
#                     flags for every compile and link in the tree, kept out of
#                     CMAKE_CXX_FLAGS so that CXXFLAGS from the environment still apply.

option(DARVEX_WERROR "Treat compiler warnings as errors" OFF)
set(DARVEX_SANITIZER_FLAGS "" CACHE STRING
    "Sanitizer flags for every compile and link, e.g. -fsanitize=address (set by the asan, tsan and fuzz presets)")

add_library(darvex_warnings INTERFACE)
target_compile_options(darvex_warnings INTERFACE -Wall -Wextra -Wpedantic)
if(DARVEX_WERROR)
  target_compile_options(darvex_warnings INTERFACE -Werror)
endif()

if(DARVEX_SANITIZER_FLAGS)
  separate_arguments(darvex_sanitizer_flags UNIX_COMMAND "${DARVEX_SANITIZER_FLAGS}")
  add_compile_options(${darvex_sanitizer_flags})
  add_link_options(${darvex_sanitizer_flags})
endif()
