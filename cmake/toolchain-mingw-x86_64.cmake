# 64-bit Windows: cmake -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-x86_64.cmake
# Test programs run under Wine (ctest starts them through the emulator set here).
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(KVO_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

find_program(KVO_WINE NAMES wine64 wine PATHS /usr/lib/wine /usr/bin NO_CMAKE_FIND_ROOT_PATH)
if(KVO_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KVO_WINE})
endif()
