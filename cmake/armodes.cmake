# SPDX-License-Identifier: MIT
# Run by cpack once the packages are made.  CPack gives each member of a
# .deb (debian-binary, control.tar.*, data.tar.*) the mode of the file it
# wrote, which follows the umask; here each becomes 100644, as dpkg-deb
# writes it, so the packages do not depend on the builder's umask.
set(mode "100644  ")
set(modefile ${CPACK_TOPLEVEL_DIRECTORY}/armode)
file(WRITE ${modefile} "${mode}")
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  if(NOT deb MATCHES "\\.deb$")
    continue()
  endif()
  file(SIZE ${deb} size)
  # After the 8-byte magic, each member is a 60-byte header (the mode at
  # byte 40, the size at byte 48) and its data, padded to an even length.
  set(offset 8)
  while(offset LESS size)
    file(READ ${deb} header OFFSET ${offset} LIMIT 60)
    string(SUBSTRING "${header}" 40 8 current)
    string(SUBSTRING "${header}" 48 10 length)
    string(STRIP "${length}" length)
    if(NOT length MATCHES "^[0-9]+$")
      message(FATAL_ERROR "${deb}: no ar member header at byte ${offset}")
    endif()
    if(NOT current STREQUAL mode)
      math(EXPR at "${offset} + 40")
      execute_process(COMMAND dd if=${modefile} of=${deb} bs=1 seek=${at} count=8
                              conv=notrunc status=none
                      COMMAND_ERROR_IS_FATAL ANY)
    endif()
    math(EXPR offset "${offset} + 60 + ${length} + ${length} % 2")
  endwhile()
endforeach()
file(REMOVE ${modefile})
