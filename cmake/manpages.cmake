# SPDX-License-Identifier: MIT
# The manual pages, compressed with gzip -9n (no name, no time stamp: the
# same page always gives the same bytes), and the names that share a page
# as links to it.  The links are made in the build tree and installed as
# links, so any MANDIR works and the install manifest lists them.
find_program(SITKO_GZIP gzip)
set(suffix "")
if(SITKO_GZIP)
  set(suffix .gz)
endif()
set(built ${PROJECT_BINARY_DIR}/man)
file(GLOB pages ${PROJECT_SOURCE_DIR}/docs/man/*.[13])
set(outputs "")
foreach(page ${pages})
  get_filename_component(name ${page} NAME)
  string(REGEX MATCH "[0-9]$" section ${name})
  set(out ${built}/man${section}/${name}${suffix})
  file(MAKE_DIRECTORY ${built}/man${section})
  if(SITKO_GZIP)
    add_custom_command(OUTPUT ${out}
      COMMAND ${SITKO_GZIP} -9n -c ${page} > ${out}
      DEPENDS ${page})
  else()
    configure_file(${page} ${out} COPYONLY)
  endif()
  list(APPEND outputs ${out})
  # Section 1 goes with the programs, section 3 with the libraries.
  if(section STREQUAL 1)
    set(component programs)
  else()
    set(component dev)
  endif()
  install(FILES ${out} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section} COMPONENT ${component})
endforeach()
add_custom_target(sitko_manpages ALL DEPENDS ${outputs})

foreach(link man1/census-cases.1:census.1 man3/day_of_year.3:yearday.3
             man3/month_day.3:yearday.3 man3/month_name.3:calword.3
             man3/makepoint.3:coordpair.3 man3/canonrect.3:coordpair.3
             man3/boxnorm.3:coordpair.3)
  string(REPLACE ":" ";" parts ${link})
  list(GET parts 0 name)
  list(GET parts 1 target)
  get_filename_component(dir ${name} DIRECTORY)
  file(CREATE_LINK ${target}${suffix} ${built}/${name}${suffix} SYMBOLIC)
  if(dir STREQUAL man1)
    set(component programs)
  else()
    set(component dev)
  endif()
  install(FILES ${built}/${name}${suffix} DESTINATION ${CMAKE_INSTALL_MANDIR}/${dir}
          COMPONENT ${component})
endforeach()
