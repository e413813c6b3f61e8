# Cross build for 64-bit Windows with MinGW-w64 (posix threads variant): the
# Windows tests in a form that 64-bit Wine runs natively. The stub ships as
# the 32-bit build only.
set(SETUP_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
