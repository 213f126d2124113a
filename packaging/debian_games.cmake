# Run by CPack on a package's staging tree before it is packed (CPACK_PRE_BUILD_SCRIPTS): in
# the Debian package the show moves from usr/bin to usr/games, where Debian files demos; the
# capture tool stays in usr/bin. A plain install keeps both in bin/, on the users' PATH.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
    return()
endif()
set(usr "${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")
file(MAKE_DIRECTORY "${usr}/games")
file(RENAME "${usr}/bin/glimwick" "${usr}/games/glimwick")
