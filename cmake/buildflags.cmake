# SPDX-License-Identifier: MIT
# The flags Debian builds its packages with, hardening included, as
# dpkg-buildflags gives them.  Optimisation and debug information stay the
# build type's: the package is stripped.
find_program(SITKO_DPKG_BUILDFLAGS dpkg-buildflags REQUIRED)
foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
            ${SITKO_DPKG_BUILDFLAGS} --get ${kind}
    OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  separate_arguments(flags UNIX_COMMAND "${flags}")
  list(FILTER flags EXCLUDE REGEX "^-g$|^-O[0-9s]?$|^-ffile-prefix-map=")
  set(deb_${kind} ${flags})
endforeach()
# No .comment section in the objects: the static libraries ship as built.
add_compile_options(${deb_CPPFLAGS} ${deb_CXXFLAGS} -fno-ident)
add_link_options(${deb_LDFLAGS})
