# Chooses the inflater: libdeflate for streams that inflate cleanly, with zlib's uncompress as
# the reference for every other outcome; or zlib alone. libdeflate is used when
# DARVEX_FAST_INFLATE is ON and a libdeflate that links for the target is found (Debian ships
# no CMake config for it, so it is looked for by header and library; a MinGW cross-build finds
# the static one cmake/build-libdeflate-mingw.sh builds, through its toolchain file's root
# paths). Defines DARVEX_FAST_INFLATE_FOUND and, when found, the darvex::libdeflate target.
# DARVEX_REQUIRE_FAST_INFLATE makes a build without libdeflate an error instead (CI uses it, so
# that the main test run is known to use it).

option(DARVEX_FAST_INFLATE "Inflate with libdeflate where it gives zlib's result" ON)
option(DARVEX_REQUIRE_FAST_INFLATE "Fail the configure step when libdeflate is not used" OFF)
set(DARVEX_FAST_INFLATE_FOUND FALSE)

if(DARVEX_FAST_INFLATE)
  find_path(LIBDEFLATE_INCLUDE_DIR libdeflate.h)
  find_library(LIBDEFLATE_LIBRARY NAMES deflate libdeflate)
  if(LIBDEFLATE_INCLUDE_DIR AND LIBDEFLATE_LIBRARY)
    # A host library found by a cross-build would not link for the target: try it first.
    include(CheckCXXSourceCompiles)
    include(CMakePushCheckState)
    cmake_push_check_state(RESET)
    set(CMAKE_REQUIRED_INCLUDES ${LIBDEFLATE_INCLUDE_DIR})
    set(CMAKE_REQUIRED_LIBRARIES ${LIBDEFLATE_LIBRARY})
    set(CMAKE_REQUIRED_QUIET ON)
    check_cxx_source_compiles([[
      #include <libdeflate.h>
      int main() { libdeflate_free_decompressor(libdeflate_alloc_decompressor()); }
    ]] DARVEX_LIBDEFLATE_LINKS)
    cmake_pop_check_state()
    if(DARVEX_LIBDEFLATE_LINKS)
      set(DARVEX_FAST_INFLATE_FOUND TRUE)
      add_library(darvex::libdeflate UNKNOWN IMPORTED)
      set_target_properties(darvex::libdeflate PROPERTIES
        IMPORTED_LOCATION ${LIBDEFLATE_LIBRARY}
        INTERFACE_INCLUDE_DIRECTORIES ${LIBDEFLATE_INCLUDE_DIR})
    endif()
  endif()
  if(DARVEX_FAST_INFLATE_FOUND)
    message(STATUS "DarvEx inflater: libdeflate (${LIBDEFLATE_LIBRARY}), zlib as the reference")
  elseif(CMAKE_CROSSCOMPILING AND MINGW)
    message(STATUS "DarvEx inflater: zlib only (no libdeflate built for the target; run cmake/build-libdeflate-mingw.sh)")
  elseif(CMAKE_CROSSCOMPILING)
    message(STATUS "DarvEx inflater: zlib only (no libdeflate built for the target)")
  else()
    darvex_install_hint(libdeflate hint)
    message(STATUS "DarvEx inflater: zlib only (no usable libdeflate; ${hint})")
  endif()
else()
  message(STATUS "DarvEx inflater: zlib only (DARVEX_FAST_INFLATE is OFF)")
endif()

if(DARVEX_REQUIRE_FAST_INFLATE AND NOT DARVEX_FAST_INFLATE_FOUND)
  message(FATAL_ERROR "DARVEX_REQUIRE_FAST_INFLATE is ON, but libdeflate is not used (see the line above)")
endif()
