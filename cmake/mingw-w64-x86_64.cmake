# mingw-w64-x86_64.cmake - cross-builds QuorVBoy.exe for 64-bit Windows with MinGW-w64, tests run under Wine
#
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
#
# The -posix compilers are named on purpose: the -win32 ones have no
# std::mutex or std::thread, and GoogleTest needs them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUOR_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUOR_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUOR_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QUOR_MINGW_TRIPLE}-windres)

# Libraries and headers (zlib) come from the cross tree only; programs from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${QUOR_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest runs every test executable through Wine.
find_program(QUOR_WINE NAMES wine wine64 wine-stable)
if(QUOR_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QUOR_WINE})
endif()
