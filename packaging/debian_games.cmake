# Run by CPack on the Debian package's staging tree before it is packed: the show moves from
# usr/bin to usr/games, where Debian files demos; the capture tool stays in usr/bin.
message(STATUS "staging: ${CPACK_TEMPORARY_INSTALL_DIRECTORY} ${CPACK_TEMPORARY_DIRECTORY}")
file(GLOB_RECURSE found "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*")
message(STATUS "${found}")
