# The installed package: a CMake config with sitko:: targets and a version
# file, and sitko.pc.  Both find the prefix relative to where they lie, so an
# install moved by --prefix still works.
include(CMakePackageConfigHelpers)

set(SITKO_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/sitko)
install(EXPORT sitkoTargets NAMESPACE sitko:: DESTINATION ${SITKO_CMAKE_DIR})
configure_package_config_file(cmake/sitkoConfig.cmake.in
  ${PROJECT_BINARY_DIR}/sitkoConfig.cmake INSTALL_DESTINATION ${SITKO_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/sitkoConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/sitkoConfig.cmake
              ${PROJECT_BINARY_DIR}/sitkoConfigVersion.cmake
        DESTINATION ${SITKO_CMAKE_DIR})

file(RELATIVE_PATH SITKO_PC_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
configure_file(cmake/sitko.pc.in ${PROJECT_BINARY_DIR}/sitko.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/sitko.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
