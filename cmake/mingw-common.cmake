# Shared part of the MinGW-w64 toolchain files; KVO_MINGW_TRIPLE names the target
# (i686-w64-mingw32 or x86_64-w64-mingw32).
#
# The -posix flavour of the compilers is used: the -win32 flavour of GCC 12 has no std::thread or
# std::mutex, which the test suite needs. Everything is linked statically (libgcc, libstdc++ and
# winpthread), so the DLL and the test programs need no MinGW runtime DLL beside them.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_VERSION 6.1)

set(CMAKE_C_COMPILER ${KVO_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KVO_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KVO_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${KVO_MINGW_TRIPLE}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${KVO_MINGW_TRIPLE}-ranlib CACHE FILEPATH "")
set(CMAKE_NM ${KVO_MINGW_TRIPLE}-nm CACHE FILEPATH "")
set(CMAKE_OBJDUMP ${KVO_MINGW_TRIPLE}-objdump CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${KVO_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
