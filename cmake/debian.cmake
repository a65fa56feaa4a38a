# cpack -G DEB: one package with the programs, their manual pages, and the
# libraries, headers and package files for linking the routine modules.
set(CPACK_PACKAGE_NAME sitko)
set(CPACK_PACKAGE_VENDOR "sitko")
set(CPACK_PACKAGE_CONTACT "sitko maintainers <sitko@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small, fast Unix filters and routine modules")
set(CPACK_PACKAGE_DESCRIPTION
  "Filters that read standard input byte by byte and write one short report:
the longest line, sorted lines, keyword counts, word frequencies, a character
census, and byte, line and word counts. Messages are Polish. Also static
libraries for day-of-year arithmetic, Polish month names, string-to-integer
conversion, and points and rectangles, with CMake and pkg-config files.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
include(CPack)
