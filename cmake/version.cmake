# SPDX-License-Identifier: MIT
# The version has one source, the newest entry of debian/changelog: its
# upstream part (0.1.0 of 0.1.0-1) is the project's version.  Between two
# release tags, SITKO_VERSION_FULL tells builds apart with the number of
# commits since the last tag (0.1.0+git5), from git in a clone and from
# cmake/describe, which git archive fills in, in a release tarball.
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/../debian/changelog sitko_entry LIMIT_COUNT 1)
if(NOT sitko_entry MATCHES "^sitko \\(([0-9]+:)?([0-9]+\\.[0-9]+\\.[0-9]+)[^)]*\\)")
  message(FATAL_ERROR "debian/changelog: no version in its first line: ${sitko_entry}")
endif()
set(SITKO_VERSION ${CMAKE_MATCH_2})

file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/describe sitko_described REGEX "^[^#]" LIMIT_COUNT 1)
if(sitko_described MATCHES "Format:")
  set(sitko_described "")
  find_program(SITKO_GIT git)
  if(SITKO_GIT AND EXISTS ${CMAKE_CURRENT_LIST_DIR}/../.git)
    execute_process(COMMAND ${SITKO_GIT} describe --tags --match "v[0-9]*"
                    WORKING_DIRECTORY ${CMAKE_CURRENT_LIST_DIR}/..
                    OUTPUT_VARIABLE sitko_described OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  endif()
endif()
set(SITKO_VERSION_FULL ${SITKO_VERSION})
if(sitko_described MATCHES "^v[0-9.]+-([0-9]+)-g[0-9a-f]+$")
  set(SITKO_VERSION_FULL ${SITKO_VERSION}+git${CMAKE_MATCH_1})
endif()
unset(sitko_entry)
unset(sitko_described)
