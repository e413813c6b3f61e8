# Cross build for 32-bit Windows with MinGW-w64 (posix threads variant): the
# shipped stub and the Windows tests.
set(SETUP_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
