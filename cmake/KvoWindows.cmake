# Windows builds (MinGW-w64 cross compilers, see the toolchain files beside this one).
#
# kvom6.dll exports exactly the names of src/kvom6.exports that its objects define, through a
# module-definition file written at build time: the export list says what may be exported, the
# objects say what exists so far. Functions carry no dllexport marks, so nothing else (libgcc's or
# libstdc++'s globals, internal kernels) reaches the export table.

# Programs and DLLs side by side, so test programs find kvom6.dll without a search path.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

set(KVO_WINDOWS_DLL_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/KvoWindowsDll.cmake)

if(NOT CMAKE_NM)
  message(FATAL_ERROR "Windows build: no nm for the target (set CMAKE_NM)")
endif()
if(NOT CMAKE_OBJDUMP)
  message(FATAL_ERROR "Windows build: no objdump for the target (set CMAKE_OBJDUMP)")
endif()

# MinGW's math.h hides M_PI and friends in strict C++ mode, where glibc's shows them; keep the
# two alike so that code building on Linux builds here too.
add_compile_definitions(_USE_MATH_DEFINES)

# 64-bit Windows guarantees only 16-byte stack alignment and GCC cannot realign the stack there
# (its unwind tables forbid it), yet it may still spill 32- and 64-byte vectors with aligned moves,
# which fault on a misaligned slot. The assembler turns every aligned move of the AVX2 and
# AVX-512 kernels into its unaligned form, which costs nothing on aligned data on those processors.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(KVO_WIDE_VECTOR_FLAGS -Wa,-muse-unaligned-vector-move)
endif()

# 32-bit objects carry the cdecl underscore before every C name; the export table does not.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(KVO_SYMBOL_PREFIX "_")
else()
  set(KVO_SYMBOL_PREFIX "")
endif()

function(kvo_windows_exports target file)
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  # kvom6.dll, not libkvom6.dll; the import library is kvom6.dll.a.
  set_target_properties(${target} PROPERTIES PREFIX "" IMPORT_PREFIX "")

  get_target_property(sources ${target} SOURCES)
  set(objects ${CMAKE_CURRENT_BINARY_DIR}/${target}_objects.txt)
  file(GENERATE OUTPUT ${objects} CONTENT "$<JOIN:${sources},\n>\n")

  set(def ${CMAKE_CURRENT_BINARY_DIR}/${name}.def)
  add_custom_command(
    OUTPUT ${def}
    COMMAND ${CMAKE_COMMAND} -DKVO_MODE=def -DKVO_NM=${CMAKE_NM} -DKVO_PREFIX=${KVO_SYMBOL_PREFIX}
            -DKVO_LIST=${file} -DKVO_OBJECT_LIST=${objects} -DKVO_DEF=${def} -DKVO_DLL=${name}.dll
            -P ${KVO_WINDOWS_DLL_SCRIPT}
    DEPENDS ${sources} ${file} ${KVO_WINDOWS_DLL_SCRIPT}
    COMMENT "Module-definition file ${name}.def from the export list"
    VERBATIM)
  target_sources(${target} PRIVATE ${def})
  # The static runtime libraries bring their debug information; a release DLL goes without.
  target_link_options(${target} PRIVATE $<$<CONFIG:Release,MinSizeRel>:-s>)
endfunction()

# Adds a test that compares the DLL's export table with the names of the export list that the
# static library defines, and its imports with the system DLLs.
function(kvo_windows_export_test test dll archive file)
  add_test(NAME ${test}
           COMMAND ${CMAKE_COMMAND} -DKVO_MODE=check -DKVO_NM=${CMAKE_NM}
                   -DKVO_OBJDUMP=${CMAKE_OBJDUMP} -DKVO_PREFIX=${KVO_SYMBOL_PREFIX}
                   -DKVO_LIST=${file} -DKVO_ARCHIVE=${archive} -DKVO_DLL=${dll}
                   -P ${KVO_WINDOWS_DLL_SCRIPT})
endfunction()
