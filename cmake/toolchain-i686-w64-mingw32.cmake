# The 32-bit Windows program, the one shipped for every Windows.
set(HEAPWISE_MINGW_TARGET i686-w64-mingw32)
set(HEAPWISE_WINE_ARCH win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
