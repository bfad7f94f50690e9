# The manual page: doc/DarvEx.1.in with project()'s version filled in (build/doc/DarvEx.1),
# installed gzipped as share/man/man1/DarvEx.1.gz, and two tests on the uncompressed page: groff
# renders it without a warning, and it documents exactly the options of the options' table
# (src/cli/option_table.def), as `DarvEx --help` and the README's table of options do.
# Windows builds have no manual page.

set(DARVEX_MAN_PAGE ${PROJECT_BINARY_DIR}/doc/DarvEx.1)
configure_file(doc/DarvEx.1.in ${DARVEX_MAN_PAGE} @ONLY)
include(cmake/gzip_file.cmake)
darvex_gzip(${DARVEX_MAN_PAGE} ${DARVEX_MAN_PAGE}.gz)
install(FILES ${DARVEX_MAN_PAGE}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT docs)

if(BUILD_TESTING AND NOT CMAKE_CROSSCOMPILING)
  find_program(DARVEX_GROFF groff)
  if(DARVEX_GROFF)
    add_test(NAME ManPage.RendersWithoutWarnings
             COMMAND ${CMAKE_COMMAND} -DGROFF=${DARVEX_GROFF} -DPAGE=${DARVEX_MAN_PAGE}
                     -P ${PROJECT_SOURCE_DIR}/cmake/check_man_page_renders.cmake)
    set_tests_properties(ManPage.RendersWithoutWarnings PROPERTIES TIMEOUT 120)
  else()
    darvex_install_hint(groff hint)
    message(STATUS "DarvEx manual page: not rendered by the tests, groff was not found (${hint})")
  endif()
  add_test(NAME Options.HelpManPageAndReadmeFollowTheTable
           COMMAND ${CMAKE_COMMAND} -DTABLE=${DARVEX_OPTION_TABLE} -DTOOL=$<TARGET_FILE:DarvEx>
                   -DPAGE=${DARVEX_MAN_PAGE} -DREADME=${PROJECT_SOURCE_DIR}/README.md
                   -P ${PROJECT_SOURCE_DIR}/cmake/check_option_docs.cmake)
  set_tests_properties(Options.HelpManPageAndReadmeFollowTheTable PROPERTIES TIMEOUT 120)
endif()
