# libdarvex: the C API of include/darvex/darvex.h (src/capi/) over the core libraries the tool
# uses, as a shared library (libdarvex.so.0 on Linux; darvex.dll and its import library
# libdarvex.dll.a on Windows) and a static one (libdarvex.a, the core's objects in it too).
# Only the darvex_* functions are visible: the core is compiled with hidden visibility, and the
# API is marked DARVEX_API. The install rules, the CMake package and darvex.pc are in
# cmake/library_install.cmake.
#   darvex_library         the shared library, exported as DarvEx::darvex
#   darvex_library_static  the static library, exported as DarvEx::darvex_static

set(DARVEX_SOVERSION 0)
set(darvex_core_libraries darvex_platform darvex_format darvex_select darvex_extract darvex_create)
# A DLL exports only what is marked dllexport; ELF needs the core hidden for that.
if(WIN32)
  set(darvex_hidden)
else()
  set(darvex_hidden CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
endif()
set_target_properties(${darvex_core_libraries} PROPERTIES POSITION_INDEPENDENT_CODE ON ${darvex_hidden})

add_library(darvex_capi OBJECT
  src/capi/archive_api.cpp
  src/capi/create_api.cpp
  src/capi/extract_api.cpp
  src/capi/failure.cpp
  src/capi/run_options.cpp)
target_include_directories(darvex_capi PUBLIC $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>)
target_link_libraries(darvex_capi PRIVATE darvex_create darvex_warnings)
target_compile_definitions(darvex_capi PRIVATE DARVEX_BUILDING_LIBRARY DARVEX_VERSION="${PROJECT_VERSION}")
set_target_properties(darvex_capi PROPERTIES POSITION_INDEPENDENT_CODE ON ${darvex_hidden})

add_library(darvex_library SHARED $<TARGET_OBJECTS:darvex_capi>)
target_include_directories(darvex_library PUBLIC $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
                                                 $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
target_link_libraries(darvex_library PRIVATE darvex_create darvex_warnings)
set_target_properties(darvex_library PROPERTIES LINKER_LANGUAGE CXX
  OUTPUT_NAME darvex EXPORT_NAME darvex VERSION ${PROJECT_VERSION} SOVERSION ${DARVEX_SOVERSION})
if(MINGW)
  # darvex.dll (its import library libdarvex.dll.a), standalone as the executables are: the C++
  # runtime and zlib linked in.
  set_target_properties(darvex_library PROPERTIES PREFIX "")
  target_link_options(darvex_library PRIVATE -static $<$<CONFIG:Release,MinSizeRel>:-s>)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    # As the 32-bit executable: no import newer than Windows XP (see the file).
    target_sources(darvex_library PRIVATE src/platform/tick_count_xp_windows.cpp)
  endif()
elseif(NOT APPLE)
  # Only darvex_* exported (the C++ library's templates instantiated inside are not hidden by
  # -fvisibility alone), and every symbol resolved at link time, but in sanitizer builds, whose
  # runtime clang links into the executable only.
  target_link_options(darvex_library PRIVATE LINKER:--version-script=${PROJECT_SOURCE_DIR}/cmake/darvex.map)
  if(NOT DARVEX_SANITIZER_FLAGS)
    target_link_options(darvex_library PRIVATE LINKER:--no-undefined)
  endif()
  set_target_properties(darvex_library PROPERTIES LINK_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/darvex.map)
endif()

# The static library holds every object the API needs, so that a program links it alone with
# the libraries the core links (zlib, libdeflate, threads; INTERFACE_LINK_LIBRARIES says which).
set(darvex_static_objects $<TARGET_OBJECTS:darvex_capi>)
foreach(core IN LISTS darvex_core_libraries)
  list(APPEND darvex_static_objects $<TARGET_OBJECTS:${core}>)
endforeach()
add_library(darvex_library_static STATIC ${darvex_static_objects})
target_include_directories(darvex_library_static PUBLIC $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
                                                        $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
target_compile_definitions(darvex_library_static INTERFACE DARVEX_STATIC)
set_target_properties(darvex_library_static PROPERTIES LINKER_LANGUAGE CXX OUTPUT_NAME darvex EXPORT_NAME darvex_static)
target_link_libraries(darvex_library_static INTERFACE
  "$<BUILD_INTERFACE:ZLIB::ZLIB;Threads::Threads>" "$<INSTALL_INTERFACE:z;pthread>")
if(DARVEX_FAST_INFLATE_FOUND)
  target_link_libraries(darvex_library_static INTERFACE
    "$<BUILD_INTERFACE:darvex::libdeflate>" "$<INSTALL_INTERFACE:deflate>")
endif()
