# Install rules and packages.
#   cmake --install: bin/DarvEx, share/man/man1/DarvEx.1.gz, the bash completion
#     share/bash-completion/completions/DarvEx, and README.md, LICENSE and the Debian copyright
#     and changelog.gz in share/doc/darvex/; a Windows build: DarvEx.exe, README.md and LICENSE
#     side by side.
#   cmake/library_install.cmake: the library, its header, CMake package, darvex.pc and the
#     Python module.
#   cpack -G DEB (a native build): Debian's usual split, so that a program or a Python tool can
#     depend on the library without the tool, and the tool needs no library: darvex (the tool,
#     components "tool" and "docs"), libdarvex0 (libdarvex.so.0, "library"), libdarvex-dev (the
#     header, libdarvex.so and .a, the CMake package and darvex.pc, "development") and
#     python3-darvex (the module, "python"); each with its copyright and changelog, dependencies
#     found by dpkg-shlibdeps, clean for lintian.
#   cpack -G ZIP (a Windows build): DarvEx-<version>-windows.zip, this build's DarvEx.exe,
#     darvex.dll, its import library and the header in a folder named for its processor, beside
#     those of the build trees in DARVEX_ZIP_ALSO, with README.md and LICENSE once at the top.
# The tool is the component "tool", the documents "docs", so that the zip can take each apart.

# The packages' maintainer: the project, at an address of its own, not a person.
set(DARVEX_MAINTAINER "DarvEx developers <darvex@users.noreply.example.org>")

if(WIN32)
  install(TARGETS DarvEx RUNTIME DESTINATION . COMPONENT tool)
  install(FILES README.md LICENSE DESTINATION . COMPONENT docs)
else()
  set(DARVEX_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/darvex)
  install(TARGETS DarvEx RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tool)
  install(FILES README.md LICENSE DESTINATION ${DARVEX_DOC_DIR} COMPONENT docs)
  include(cmake/debian_docs.cmake)
  install(FILES ${DARVEX_COMPLETION} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/bash-completion/completions
          RENAME DarvEx COMPONENT tool)
  # Every package has its own copyright and changelog.
  foreach(component_package IN ITEMS library=libdarvex0 development=libdarvex-dev python=python3-darvex)
    string(REPLACE "=" ";" component_package ${component_package})
    list(GET component_package 0 component)
    list(GET component_package 1 package)
    install(FILES ${DARVEX_DEBIAN_DIR}/copyright ${DARVEX_DEBIAN_DIR}/changelog.gz
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
  endforeach()
  install(FILES doc/debian/libdarvex0/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides
          RENAME libdarvex0 COMPONENT library)
endif()

set(CPACK_PACKAGE_VENDOR "the DarvEx developers")
set(CPACK_PACKAGE_CONTACT ${DARVEX_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION "DarvEx extracts every entry of an archive of zlib-compressed entries
whose index, itself zlib-compressed, lies at the end of the file. It can
also list or test an archive and select entries by pattern, and it never
writes outside its output directory.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_NAME darvex)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${DARVEX_MAINTAINER})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

# The split: the group "darvex" (tool and docs) and one package for each other component.
# Each package's description begins with its own synopsis; CPack puts the package summary
# before every description unless it is CPack's own default, which it is here.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${CMAKE_PROJECT_NAME} built using CMake")
set(CPACK_COMPONENTS_GROUPING ONE_PER_GROUP)
set(CPACK_COMPONENT_TOOL_GROUP darvex)
set(CPACK_COMPONENT_DOCS_GROUP darvex)
set(CPACK_DEBIAN_DARVEX_PACKAGE_NAME darvex)
set(CPACK_DEBIAN_DARVEX_DESCRIPTION "${PROJECT_DESCRIPTION}
${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_DEBIAN_LIBRARY_PACKAGE_NAME libdarvex0)
set(CPACK_DEBIAN_LIBRARY_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_LIBRARY_DESCRIPTION "C library of DarvEx archives (zlib entries, index at the end)
libdarvex reads, extracts and makes the archives the DarvEx tool unpacks:
a header pointing at a zlib-compressed index at the end of the file, and
zlib-compressed entries, with the same code as the tool and a small C API.")
# Its shlibs file, and the ldconfig trigger (doc/debian/libdarvex0/triggers) that updates the
# loader's cache after it is installed or removed.
set(CPACK_DEBIAN_LIBRARY_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/doc/debian/libdarvex0/triggers)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libdarvex-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "libdarvex0 (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION "C library of DarvEx archives: development files
The header darvex/darvex.h, the shared and static libraries to link, a CMake
package (find_package(DarvEx), target DarvEx::darvex) and darvex.pc for
pkg-config.")
set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-darvex)
set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
set(CPACK_DEBIAN_PYTHON_PACKAGE_ARCHITECTURE all)
set(CPACK_DEBIAN_PYTHON_PACKAGE_SHLIBDEPS OFF)
set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS "python3:any, libdarvex0 (>= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_PYTHON_DESCRIPTION "Python module of DarvEx archives
The module darvex lists, reads, extracts and makes the archives the DarvEx
tool unpacks, over the C library libdarvex (ctypes: no compiler needed).")

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME DarvEx-${PROJECT_VERSION}-windows)
  set(DARVEX_ZIP_ALSO "" CACHE STRING
      "Other Windows build trees whose DarvEx.exe the zip holds too, as FOLDER=BUILD_DIR items")
  set(CPACK_INSTALL_CMAKE_PROJECTS ${PROJECT_BINARY_DIR} DarvEx tool /${CMAKE_SYSTEM_PROCESSOR})
  foreach(item IN LISTS DARVEX_ZIP_ALSO)
    if(NOT item MATCHES "^([^=]+)=(.+)$")
      message(FATAL_ERROR "DARVEX_ZIP_ALSO: '${item}' is not FOLDER=BUILD_DIR")
    endif()
    list(APPEND CPACK_INSTALL_CMAKE_PROJECTS ${CMAKE_MATCH_2} DarvEx tool /${CMAKE_MATCH_1})
  endforeach()
  list(APPEND CPACK_INSTALL_CMAKE_PROJECTS ${PROJECT_BINARY_DIR} DarvEx docs /)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_COMPONENTS_ALL tool docs library development python)
endif()

include(CPack)
