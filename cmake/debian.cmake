# SPDX-License-Identifier: MIT
# cpack -G DEB: two packages, as Debian would split them.
#   sitko         the programs and their section-1 pages
#   libsitko-dev  headers, static libraries, the CMake package, sitko.pc and
#                 the section-3 pages
set(CPACK_PACKAGE_NAME sitko)
set(CPACK_PACKAGE_VENDOR "The sitko developers")
set(CPACK_PACKAGE_CONTACT "The sitko developers <sitko@example.org>")
# Empty, so that each package's own description gives its summary line.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL programs dev)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

set(CPACK_DEBIAN_PROGRAMS_PACKAGE_NAME sitko)
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PROGRAMS_DESCRIPTION
  "small, fast Unix filters with Polish reports
Filters that read standard input byte by byte and write one short report:
the longest line, sorted lines, keyword counts, word frequencies, a
character census, and byte, line and word counts. Reports and messages
are Polish, in UTF-8.")

# The libraries are static: nothing of them is needed at run time.
set(CPACK_DEBIAN_DEV_PACKAGE_NAME libsitko-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_SHLIBDEPS OFF)
set(CPACK_DEBIAN_DEV_DESCRIPTION
  "routine modules of the sitko suite (static libraries)
Static libraries with headers for day-of-year arithmetic, Polish month
names, string-to-integer conversion, and points and rectangles, with a
CMake package and a pkg-config file.")

if(SITKO_DEBIAN)
  # Each package carries the copyright file and the Debian changelog in its
  # own documentation directory.
  find_program(SITKO_GZIP gzip REQUIRED)
  set(changelog ${PROJECT_BINARY_DIR}/debian/changelog.Debian.gz)
  # The template's first line is its licence line; the changelog starts after it.
  file(READ ${PROJECT_SOURCE_DIR}/cmake/changelog.in entry)
  string(REGEX REPLACE "^#[^\n]*\n" "" entry "${entry}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
               ${PROJECT_SOURCE_DIR}/cmake/changelog.in)
  file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/debian/changelog CONTENT "${entry}" @ONLY)
  add_custom_command(OUTPUT ${changelog}
    COMMAND ${SITKO_GZIP} -9n -c ${PROJECT_BINARY_DIR}/debian/changelog > ${changelog}
    DEPENDS ${PROJECT_BINARY_DIR}/debian/changelog)
  add_custom_target(sitko_changelog ALL DEPENDS ${changelog})
  foreach(pair programs:sitko dev:libsitko-dev)
    string(REPLACE ":" ";" parts ${pair})
    list(GET parts 0 component)
    list(GET parts 1 package)
    install(FILES ${PROJECT_SOURCE_DIR}/cmake/copyright ${changelog}
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
    # The packages are not uploaded to Debian, so no bug of Debian's asks
    # for them and the first changelog entry closes none.
    file(WRITE ${PROJECT_BINARY_DIR}/debian/overrides/${package}
         "${package}: initial-upload-closes-no-bugs\n")
    install(FILES ${PROJECT_BINARY_DIR}/debian/overrides/${package}
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides COMPONENT ${component})
  endforeach()
endif()
# The same source gives the same packages: every entry carries the time of
# the source (epoch.cmake), and no mode follows the umask (stagemodes.cmake
# for the folders, armodes.cmake for the members of each .deb).
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/epoch.cmake)
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/stagemodes.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/armodes.cmake)
set(CPACK_SITKO_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_SITKO_CHANGELOG ${PROJECT_SOURCE_DIR}/cmake/changelog.in)
include(CPack)
