# SPDX-License-Identifier: MIT
# The manual pages, and the names that share a page as links to it.  The
# links are made in the build tree and installed as links, so any MANDIR
# works and the install manifest lists them.  A package build compresses
# the pages and points the links at the compressed ones.
set(built ${PROJECT_BINARY_DIR}/man)
file(GLOB pages ${PROJECT_SOURCE_DIR}/docs/man/*.[13])
foreach(page ${pages})
  string(REGEX MATCH "[0-9]$" section ${page})
  # Section 1 goes with the programs, section 3 with the libraries.
  if(section STREQUAL 1 AND SITKO_PROGRAMS)
    install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT programs)
  elseif(section STREQUAL 3)
    install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man3 COMPONENT dev)
  endif()
endforeach()

foreach(link man1/census-cases.1:census.1 man3/day_of_year.3:yearday.3
             man3/month_day.3:yearday.3 man3/month_name.3:calword.3
             man3/makepoint.3:coordpair.3 man3/canonrect.3:coordpair.3
             man3/boxnorm.3:coordpair.3)
  string(REPLACE ":" ";" parts ${link})
  list(GET parts 0 name)
  list(GET parts 1 target)
  get_filename_component(dir ${name} DIRECTORY)
  if(dir STREQUAL man1 AND NOT SITKO_PROGRAMS)
    continue()
  endif()
  file(MAKE_DIRECTORY ${built}/${dir})
  file(CREATE_LINK ${target} ${built}/${name} SYMBOLIC)
  set(component dev)
  if(dir STREQUAL man1)
    set(component programs)
  endif()
  install(FILES ${built}/${name} DESTINATION ${CMAKE_INSTALL_MANDIR}/${dir} COMPONENT ${component})
endforeach()
