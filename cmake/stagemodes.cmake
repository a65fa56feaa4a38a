# SPDX-License-Identifier: MIT
# Run by cpack once the components are installed into its staging folder,
# before it archives them.  The install gives each file its own mode, but
# makes folders as the umask lets it; here each becomes 0755, so the
# packages do not depend on the builder's umask.
file(GLOB_RECURSE entries LIST_DIRECTORIES true "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*")
foreach(entry IN LISTS entries)
  if(IS_DIRECTORY ${entry} AND NOT IS_SYMLINK ${entry})
    file(CHMOD ${entry} DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
         GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  endif()
endforeach()
