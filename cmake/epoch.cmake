# SPDX-License-Identifier: MIT
# Read by cpack before it makes the packages.  CPack stamps every entry of
# the archives with SOURCE_DATE_EPOCH; where the caller sets none, it is the
# time of the last commit or, in a tree without git, the date of the
# changelog's entry, so the same source gives the same packages whenever and
# wherever they are built.
if("$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
  set(epoch "")
  find_program(SITKO_GIT git)
  if(SITKO_GIT AND EXISTS "${CPACK_SITKO_SOURCE_DIR}/.git")
    execute_process(COMMAND ${SITKO_GIT} -C ${CPACK_SITKO_SOURCE_DIR} log -1 --format=%ct
                    OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  endif()
  if(NOT epoch MATCHES "^[0-9]+$")
    file(STRINGS ${CPACK_SITKO_CHANGELOG} signature REGEX "^ -- .*>  " LIMIT_COUNT 1)
    string(REGEX REPLACE "^ -- .*>  " "" date "${signature}")
    execute_process(COMMAND date -u -d "${date}" +%s
                    OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  endif()
  if(NOT epoch MATCHES "^[0-9]+$")
    message(FATAL_ERROR "no time for the packages: no git history in ${CPACK_SITKO_SOURCE_DIR}"
                        " and no date in ${CPACK_SITKO_CHANGELOG}; set SOURCE_DATE_EPOCH")
  endif()
  set(ENV{SOURCE_DATE_EPOCH} ${epoch})
endif()
