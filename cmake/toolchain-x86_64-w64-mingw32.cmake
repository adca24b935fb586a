# The 64-bit Windows program, for systems without 32-bit support; its tests
# run where 32-bit Wine cannot.
set(HEAPWISE_MINGW_TARGET x86_64-w64-mingw32)
set(HEAPWISE_WINE_ARCH win64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
