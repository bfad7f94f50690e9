# The Debian documents of the package, made at configure time in build/debian/ and installed in
# share/doc/darvex/ beside README.md and LICENSE:
#   copyright     doc/debian/copyright.in in Debian's machine-readable format, its holders and
#                 license text taken from LICENSE, so that LICENSE stays their one source.
#   changelog.gz  doc/debian/changelog.in, one entry in Debian changelog format for project()'s
#                 version, gzipped. The package's version has no Debian revision (the source is
#                 its own packaging), which makes it a native package: its changelog is
#                 changelog.gz, not changelog.Debian.gz. The entry's date is the configure
#                 time, or SOURCE_DATE_EPOCH when set, for a reproducible build.
# DARVEX_MAINTAINER, the package's Maintainer, signs both.

include(cmake/gzip_file.cmake)
set(DARVEX_DEBIAN_DIR ${PROJECT_BINARY_DIR}/debian)

# LICENSE: "MIT License", a blank line, "Copyright (c) <holders>", a blank line, then the text.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE license)
if(NOT license MATCHES "\nCopyright \\(c\\) ([^\n]+)\n\n(.+)$")
  message(FATAL_ERROR "LICENSE: no 'Copyright (c) ...' line followed by the license text")
endif()
set(DARVEX_COPYRIGHT_HOLDERS ${CMAKE_MATCH_1})
# In a field's continuation lines, every line starts with a space and a blank line is " .".
string(STRIP "${CMAKE_MATCH_2}" license_text)
string(REPLACE "\n\n" "\n.\n" license_text "${license_text}")
string(REPLACE "\n" "\n " license_text " ${license_text}")
set(DARVEX_LICENSE_TEXT "${license_text}")
configure_file(doc/debian/copyright.in ${DARVEX_DEBIAN_DIR}/copyright @ONLY)

string(TIMESTAMP DARVEX_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(doc/debian/changelog.in ${DARVEX_DEBIAN_DIR}/changelog @ONLY)
darvex_gzip(${DARVEX_DEBIAN_DIR}/changelog ${DARVEX_DEBIAN_DIR}/changelog.gz)

install(FILES ${DARVEX_DEBIAN_DIR}/copyright ${DARVEX_DEBIAN_DIR}/changelog.gz
        DESTINATION ${DARVEX_DOC_DIR} COMPONENT docs)
