# Cross-compiling for 64-bit Windows with Debian's MinGW-w64. The -posix
# compilers are used: GCC's win32 thread model has no std::thread or
# std::mutex. Libraries are looked for only under the port's prefix
# (ORBEL2_PORT_PREFIX, or CMAKE_PREFIX_PATH), never on the build machine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ORBEL2_MINGW_TRIPLE x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${ORBEL2_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORBEL2_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ORBEL2_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${ORBEL2_MINGW_TRIPLE}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${ORBEL2_MINGW_TRIPLE}-gcc-ranlib-posix CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${ORBEL2_MINGW_TRIPLE})
if(DEFINED ENV{ORBEL2_PORT_PREFIX})
  list(APPEND CMAKE_FIND_ROOT_PATH $ENV{ORBEL2_PORT_PREFIX})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Programs built here run under Wine on this machine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
