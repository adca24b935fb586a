# Cross-building the Windows program with MinGW-w64, included by the two
# toolchain files, which set HEAPWISE_MINGW_TARGET (the compilers' triplet)
# and HEAPWISE_WINE_ARCH (the Wine prefix their tests run in). The -posix
# compilers provide std::thread and std::mutex, which GoogleTest needs.
set(CMAKE_SYSTEM_NAME Windows)
string(REGEX REPLACE "-.*" "" CMAKE_SYSTEM_PROCESSOR ${HEAPWISE_MINGW_TARGET})

set(CMAKE_C_COMPILER ${HEAPWISE_MINGW_TARGET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${HEAPWISE_MINGW_TARGET}-g++-posix)
set(CMAKE_RC_COMPILER ${HEAPWISE_MINGW_TARGET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${HEAPWISE_MINGW_TARGET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One file that imports only system DLLs: no libstdc++, libgcc or winpthread
# beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Tests run under Wine of the same architecture, through a wrapper that keeps
# a prefix of that architecture.
set(CMAKE_CROSSCOMPILING_EMULATOR env HEAPWISE_WINE_ARCH=${HEAPWISE_WINE_ARCH}
    ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run.sh)
