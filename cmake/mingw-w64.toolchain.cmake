# 64-bit Windows programs from this Debian machine: Debian's mingw-w64 (the posix thread model,
# which std::thread and Qt need) against the Qt that scripts/windows-qt builds.
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.toolchain.cmake -DUMBRATA_WINDOWS_QT=PREFIX ...
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)

# Try-compiles read this file again: hand the prefix down to them.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES UMBRATA_WINDOWS_QT)
set(CMAKE_FIND_ROOT_PATH /usr/${triple} ${UMBRATA_WINDOWS_QT})
set(CMAKE_PREFIX_PATH ${UMBRATA_WINDOWS_QT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
