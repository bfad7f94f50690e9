# What both MinGW-w64 toolchain files share; each sets MINGW_TRIPLET first.
# The executable is standalone: zlib, libgcc and libstdc++ are linked statically, so it needs
# only the DLLs every Windows has.
set(CMAKE_SYSTEM_NAME Windows)
# The posix thread model: std::thread and its kin need it; winpthreads is linked in statically.
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLET}-windres)
# Libraries come from the MinGW-w64 sysroot, and libdeflate from the static build that
# cmake/build-libdeflate-mingw.sh makes in build-libdeflate/ (when it has been run).
if(DEFINED ENV{DARVEX_LIBDEFLATE_BUILD})
  set(DARVEX_LIBDEFLATE_BUILD $ENV{DARVEX_LIBDEFLATE_BUILD})
else()
  get_filename_component(DARVEX_LIBDEFLATE_BUILD ${CMAKE_CURRENT_LIST_DIR}/../../build-libdeflate ABSOLUTE)
endif()
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLET} ${DARVEX_LIBDEFLATE_BUILD}/${MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(ZLIB_USE_STATIC_LIBS ON)
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
