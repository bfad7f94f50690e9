# Install rules of the library (cmake/library.cmake) and of the Python module:
#   Linux: lib/libdarvex.so.0.9 and its soname link libdarvex.so.0 (component "library");
#     include/darvex/darvex.h, lib/libdarvex.so, lib/libdarvex.a, the CMake package
#     lib/cmake/DarvEx/ (find_package(DarvEx): DarvEx::darvex, DarvEx::darvex_static, with a
#     version file) and lib/pkgconfig/darvex.pc (component "development"); the Python module
#     darvex in DARVEX_PYTHON_DIR (component "python"), which finds the library by the path
#     from its folder to lib/.
#   Windows: darvex.dll, its import library libdarvex.dll.a and include/darvex/darvex.h beside
#     DarvEx.exe (component "tool", which the zip holds for each processor).

include(CMakePackageConfigHelpers)

if(WIN32)
  install(TARGETS darvex_library RUNTIME DESTINATION . COMPONENT tool ARCHIVE DESTINATION . COMPONENT tool)
  install(FILES include/darvex/darvex.h DESTINATION include/darvex COMPONENT tool)
  return()
endif()

set(DARVEX_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/DarvEx)
install(TARGETS darvex_library EXPORT DarvExTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT library NAMELINK_COMPONENT development)
install(TARGETS darvex_library_static EXPORT DarvExTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development)
install(FILES include/darvex/darvex.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/darvex COMPONENT development)
install(EXPORT DarvExTargets NAMESPACE DarvEx:: DESTINATION ${DARVEX_CMAKE_DIR} COMPONENT development)
configure_package_config_file(cmake/DarvExConfig.cmake.in ${PROJECT_BINARY_DIR}/DarvExConfig.cmake
                              INSTALL_DESTINATION ${DARVEX_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/DarvExConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/DarvExConfig.cmake ${PROJECT_BINARY_DIR}/DarvExConfigVersion.cmake
        DESTINATION ${DARVEX_CMAKE_DIR} COMPONENT development)

# darvex.pc: relative to its own folder, so that it holds wherever the tree is installed.
set(DARVEX_PC_LIBS_PRIVATE "-lz -lpthread -lstdc++")
if(DARVEX_FAST_INFLATE_FOUND)
  string(PREPEND DARVEX_PC_LIBS_PRIVATE "-ldeflate ")
endif()
file(RELATIVE_PATH DARVEX_PC_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
configure_file(cmake/darvex.pc.in ${PROJECT_BINARY_DIR}/darvex.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/darvex.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT development)

# The Python module, pure Python over the shared library: its _location.py records the path from
# the module's folder to the library's, so that an installed tree finds it wherever it lies.
set(DARVEX_PYTHON_DIR lib/python3/dist-packages CACHE STRING
    "Where the Python module darvex is installed, relative to the prefix (Debian's layout by default)")
file(RELATIVE_PATH DARVEX_PYTHON_TO_LIBRARY /${DARVEX_PYTHON_DIR}/darvex /${CMAKE_INSTALL_LIBDIR})
set(DARVEX_LIBRARY_FILE libdarvex.so.${DARVEX_SOVERSION})
configure_file(python/darvex/_location.py.in ${PROJECT_BINARY_DIR}/python/darvex/_location.py @ONLY)
install(FILES python/darvex/__init__.py ${PROJECT_BINARY_DIR}/python/darvex/_location.py
        DESTINATION ${DARVEX_PYTHON_DIR}/darvex COMPONENT python)
