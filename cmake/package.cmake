# SPDX-License-Identifier: MIT
# The installed package: a CMake config with sitko:: targets and a version
# file, a pkg-config file for each module and sitko.pc for all five, and the
# documents.  The CMake config finds the prefix relative to where it lies;
# the pkg-config files are written as they are installed, with the prefix
# of that install, so `--prefix` moves them too and a system install's
# directories are the compiler's own, which pkg-config leaves out.
include(CMakePackageConfigHelpers)

set(SITKO_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/sitko)
install(EXPORT sitkoTargets NAMESPACE sitko:: DESTINATION ${SITKO_CMAKE_DIR} COMPONENT dev)
configure_package_config_file(cmake/sitkoConfig.cmake.in
  ${PROJECT_BINARY_DIR}/sitkoConfig.cmake INSTALL_DESTINATION ${SITKO_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/sitkoConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/sitkoConfig.cmake
              ${PROJECT_BINARY_DIR}/sitkoConfigVersion.cmake
        DESTINATION ${SITKO_CMAKE_DIR} COMPONENT dev)

# A relative directory is below the prefix; an absolute one is written as
# it is.
foreach(dir LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE ${CMAKE_INSTALL_${dir}})
    set(pc_${dir} ${CMAKE_INSTALL_${dir}})
  else()
    set(pc_${dir} "\${prefix}/${CMAKE_INSTALL_${dir}}")
  endif()
endforeach()
set(pc_dir ${PROJECT_BINARY_DIR}/pkgconfig)
set(requires "")
set(pc_files sitko)
set(modules yearday calword numparse coordpair boxnorm)
set(summaries "day-of-year arithmetic" "Polish month names" "decimal text to int"
    "points and rectangles" "rectangles with the smaller corner first")
foreach(module summary IN ZIP_LISTS modules summaries)
  file(WRITE ${pc_dir}/sitko-${module}.pc.in "prefix=@prefix@
includedir=${pc_INCLUDEDIR}
libdir=${pc_LIBDIR}

Name: sitko-${module}
Description: sitko's ${module} module: ${summary}
Version: ${SITKO_VERSION_FULL}
Cflags: -I\${includedir}
Libs: -L\${libdir} -lsitko_${module}
")
  list(APPEND requires "sitko-${module} = ${SITKO_VERSION_FULL}")
  list(APPEND pc_files sitko-${module})
endforeach()
list(JOIN requires ", " requires)
file(WRITE ${pc_dir}/sitko.pc.in "prefix=@prefix@

Name: sitko
Description: ${PROJECT_DESCRIPTION}: all five routine modules
Version: ${SITKO_VERSION_FULL}
Requires: ${requires}
")
if(IS_ABSOLUTE ${CMAKE_INSTALL_LIBDIR})
  set(pc_destination ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
else()
  set(pc_destination "\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig")
endif()
install(CODE "
  foreach(pc ${pc_files})
    file(READ \"${pc_dir}/\${pc}.pc.in\" text)
    string(REPLACE \"@prefix@\" \"\${CMAKE_INSTALL_PREFIX}\" text \"\${text}\")
    file(WRITE \"${pc_dir}/installed/\${pc}.pc\" \"\${text}\")
    file(INSTALL \"${pc_dir}/installed/\${pc}.pc\" DESTINATION \"${pc_destination}\")
  endforeach()" COMPONENT dev)

install(FILES README.md NEWS LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT programs)
