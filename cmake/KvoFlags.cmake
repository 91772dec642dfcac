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

if(KVO_SANITIZE)
  set(KVO_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all
                          -fno-omit-frame-pointer)
  add_compile_options(${KVO_SANITIZER_FLAGS})
  add_link_options(${KVO_SANITIZER_FLAGS})
endif()

# Kernel files named <family>_avx2.cpp / <family>_avx512.cpp are compiled for that level; the
# dispatcher only calls them on processors that have it. KVO_WIDE_VECTOR_FLAGS adds per-target
# options for those files (see KvoWindows.cmake).
function(kvo_set_isa_flags sources)
  foreach(src IN LISTS sources)
    if(src MATCHES "_avx2\\.cpp$")
      set(flags -mavx2 -mfma ${KVO_WIDE_VECTOR_FLAGS})
      set_source_files_properties(${src} PROPERTIES COMPILE_OPTIONS "${flags}")
    elseif(src MATCHES "_avx512\\.cpp$")
      set(flags -mavx512f -mavx512dq -mavx512bw -mavx512vl -mfma -mprefer-vector-width=512
                ${KVO_WIDE_VECTOR_FLAGS})
      if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
        # GCC 12's AVX-512 intrinsic headers trip -Wmaybe-uninitialized on their own placeholders.
        list(APPEND flags -Wno-maybe-uninitialized)
      endif()
      set_source_files_properties(${src} PROPERTIES COMPILE_OPTIONS "${flags}")
    endif()
  endforeach()
endfunction()
