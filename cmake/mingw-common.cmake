# The MinGW-w64 cross build, shared by both toolchain files: they set
# SETUP_MINGW_ARCH (i686 or x86_64) and include this.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${SETUP_MINGW_ARCH})

set(CMAKE_C_COMPILER ${SETUP_MINGW_ARCH}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${SETUP_MINGW_ARCH}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${SETUP_MINGW_ARCH}-w64-mingw32-windres)

# Static libpng and libjpeg built from Debian's sources by scripts/setup.sh.
get_filename_component(SETUP_DEFAULT_DEPS_PREFIX
                       "${CMAKE_CURRENT_LIST_DIR}/../build/deps/${SETUP_MINGW_ARCH}" ABSOLUTE)
set(SETUP_DEPS_PREFIX "${SETUP_DEFAULT_DEPS_PREFIX}" CACHE PATH "MinGW static libraries")
set(CMAKE_FIND_ROOT_PATH /usr/${SETUP_MINGW_ARCH}-w64-mingw32 ${SETUP_DEPS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest runs the Windows test programs through Wine, in the project's prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/../tests/win/wine-run.sh")
