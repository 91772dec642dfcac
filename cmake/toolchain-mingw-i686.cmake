# 32-bit Windows (kvom6.dll, __cdecl): cmake -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake
# This machine cannot run 32-bit Windows programs, so no emulator is set: the build is checked by
# its export and import tables.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(KVO_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
