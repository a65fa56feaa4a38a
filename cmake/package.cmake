# SPDX-License-Identifier: MIT
# The installed package: a CMake config with sitko:: targets and a version
# file, and sitko.pc.  Both find the prefix relative to where they lie, so an
# install moved by --prefix still works.
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

# sitko.pc finds a relative libdir and includedir from where it lies; an
# absolute one is written as it is.
if(IS_ABSOLUTE ${CMAKE_INSTALL_LIBDIR})
  set(SITKO_PC_PREFIX ${CMAKE_INSTALL_PREFIX})
  set(SITKO_PC_LIBDIR ${CMAKE_INSTALL_LIBDIR})
else()
  file(RELATIVE_PATH to_prefix /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
  set(SITKO_PC_PREFIX "\${pcfiledir}/${to_prefix}")
  set(SITKO_PC_LIBDIR "\${prefix}/${CMAKE_INSTALL_LIBDIR}")
endif()
if(IS_ABSOLUTE ${CMAKE_INSTALL_INCLUDEDIR})
  set(SITKO_PC_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR})
else()
  set(SITKO_PC_INCLUDEDIR "\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}")
endif()
configure_file(cmake/sitko.pc.in ${PROJECT_BINARY_DIR}/sitko.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/sitko.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
        COMPONENT dev)
