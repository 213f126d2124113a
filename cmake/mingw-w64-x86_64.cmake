# CMake toolchain for 64-bit Windows with Debian's mingw-w64 (posix threads variant).
# GLIMWICK_DEPS_PREFIX names the prefix of the cross-built libraries (scripts/windows-deps.sh);
# libraries and headers are looked up there and in mingw-w64's own tree only, never on the host.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(GLIMWICK_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${GLIMWICK_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${GLIMWICK_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${GLIMWICK_TRIPLET}-windres)
set(CMAKE_AR ${GLIMWICK_TRIPLET}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${GLIMWICK_TRIPLET}-ranlib CACHE FILEPATH "")

# Checks inside try_compile see the same prefix.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES GLIMWICK_DEPS_PREFIX)
set(CMAKE_FIND_ROOT_PATH /usr/${GLIMWICK_TRIPLET})
if(GLIMWICK_DEPS_PREFIX)
    list(PREPEND CMAKE_FIND_ROOT_PATH ${GLIMWICK_DEPS_PREFIX})
    list(APPEND CMAKE_PREFIX_PATH ${GLIMWICK_DEPS_PREFIX})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkg-config, where a build asks it, reads the prefix's files only.
if(GLIMWICK_DEPS_PREFIX)
    set(ENV{PKG_CONFIG_LIBDIR} ${GLIMWICK_DEPS_PREFIX}/lib/pkgconfig)
endif()
