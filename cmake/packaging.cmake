# Install rules and packages.
#   cmake --install: bin/DarvEx, share/man/man1/DarvEx.1.gz, the bash completion
#     share/bash-completion/completions/DarvEx, and README.md, LICENSE and the Debian copyright
#     and changelog.gz in share/doc/darvex/; a Windows build: DarvEx.exe, README.md and LICENSE
#     side by side.
#   cpack -G DEB (a native build): the package darvex, its dependencies found by dpkg-shlibdeps,
#     clean for lintian.
#   cpack -G ZIP (a Windows build): DarvEx-<version>-windows.zip, this build's DarvEx.exe in a
#     folder named for its processor, beside those of the build trees in DARVEX_ZIP_ALSO, with
#     README.md and LICENSE once at the top.
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
endif()

include(CPack)
