# Compiler flags shared by all targets.

set(KVO_WARNINGS -Wall -Wextra -Werror)
set(KVO_C_WARNINGS -Wall -Wextra -Werror -pedantic)
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  # Vectorisation hints cannot be honoured in instrumented (sanitizer) builds; that is no fault.
  list(APPEND KVO_WARNINGS -Wno-pass-failed)
endif()

# No contraction of a*b+c into fused operations: every instruction-set level must give the same
# results, so fused multiply-adds appear only where the code asks for them. No errno from libm
# either, so square roots and friends compile to single instructions.
set(KVO_FP_FLAGS -ffp-contract=off -fno-math-errno)

if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(i.86|x86)$" OR (WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4))
  # 32-bit x86: SSE2 is the baseline of the kernels; keep x87 for long double only.
  list(APPEND KVO_FP_FLAGS -msse2 -mfpmath=sse)
endif()

if(KVO_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "KVO_FUZZ needs clang (libFuzzer)")
  endif()
  # Coverage for the fuzzer's guidance in every object; the fuzz target links libFuzzer itself.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

if(KVO_SANITIZE)
  set(KVO_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all
                          -fno-omit-frame-pointer)
  add_compile_options(${KVO_SANITIZER_FLAGS})
  add_link_options(${KVO_SANITIZER_FLAGS})
endif()

if(KVO_TSAN)
  if(KVO_SANITIZE)
    message(FATAL_ERROR "KVO_TSAN and KVO_SANITIZE cannot be combined")
  endif()
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

# Per-level kernels. Every src/kernels/<family>/<name>.inl is written once as templates over the
# instruction-set level; for each level the build writes a translation unit <name>_<level>.cpp that
# defines KVO_ISA and includes it, compiled with that level's target flags. The dispatcher only
# calls a level's code on processors that have it. KVO_WIDE_VECTOR_FLAGS adds per-target options
# for the wide levels (see KvoWindows.cmake).
set(KVO_ISA_LEVELS sse2 avx2 avx512)
set(KVO_ISA_ENUM_sse2 Sse2)
set(KVO_ISA_ENUM_avx2 Avx2)
set(KVO_ISA_ENUM_avx512 Avx512)
set(KVO_ISA_FLAGS_sse2 "")
set(KVO_ISA_FLAGS_avx2 -mavx2 -mfma)
set(KVO_ISA_FLAGS_avx512 -mavx512f -mavx512dq -mavx512bw -mavx512vl -mfma
                         -mprefer-vector-width=512)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  # GCC 12's AVX-512 intrinsic headers trip -Wmaybe-uninitialized on their own placeholders.
  list(APPEND KVO_ISA_FLAGS_avx512 -Wno-maybe-uninitialized)
endif()

# Appends to `out` the generated per-level translation units of the kernel templates `inls`
# (paths relative to `root`, e.g. vector/arith.inl).
function(kvo_isa_sources out root)
  set(generated)
  foreach(inl IN LISTS ARGN)
    file(RELATIVE_PATH rel ${root} ${inl})
    string(REGEX REPLACE "\\.inl$" "" stem ${rel})
    foreach(level IN LISTS KVO_ISA_LEVELS)
      set(tu ${CMAKE_BINARY_DIR}/kernels/${stem}_${level}.cpp)
      set(text "#define KVO_ISA ::kvo::kern::Isa::${KVO_ISA_ENUM_${level}}\n#include \"kernels/${rel}\"\n")
      # Rewritten only when its text changes, so a fresh configure rebuilds nothing.
      if(EXISTS ${tu})
        file(READ ${tu} old)
      else()
        set(old "")
      endif()
      if(NOT old STREQUAL text)
        file(WRITE ${tu} "${text}")
      endif()
      set(flags ${KVO_ISA_FLAGS_${level}})
      if(NOT level STREQUAL "sse2")
        list(APPEND flags ${KVO_WIDE_VECTOR_FLAGS})
      endif()
      set_source_files_properties(${tu} PROPERTIES COMPILE_OPTIONS "${flags}"
                                                   OBJECT_DEPENDS ${inl})
      list(APPEND generated ${tu})
    endforeach()
  endforeach()
  set(${out} ${${out}} ${generated} PARENT_SCOPE)
endfunction()
