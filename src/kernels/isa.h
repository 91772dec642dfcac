// Run-time choice of the instruction-set level of the hot kernels.
//
// A kernel family is written once as templates in src/kernels/<family>/<name>.inl. The build
// generates one translation unit per level from each .inl (<name>_sse2.cpp, <name>_avx2.cpp,
// <name>_avx512.cpp, compiled with the matching target flags); each defines KVO_ISA before
// including the .inl, which explicitly instantiates the family's templates for that level. Callers
// go through KVO_DISPATCH, which picks the instantiation for the level in use. A new kernel file
// therefore needs no build edits and no stub files: adding the .inl is enough.
//
// Rules for the .inl files: everything they define either takes the Isa as a template argument or
// has internal linkage (an unnamed namespace, or `static`), so no function compiled for one level
// is ever merged with its twin of another level by the linker.
#pragma once

namespace kvo::kern {

enum class Isa : int { Sse2 = 0, Avx2 = 1, Avx512 = 2 };

namespace detail {
extern Isa g_isa;
}

// The level in use: the best the processor and the operating system support. Builds with the
// KVO_ENV_ISA option (tests and benchmarks only) also read the KVO_ISA environment variable
// ("sse2", "avx2") at load time to lower it; the default build reads no environment.
inline Isa isa() { return detail::g_isa; }
Isa hardwareIsa();
// Chooses the level for the process (clamped to hardwareIsa()); for tests and benchmarks.
void setIsa(Isa level);
const char* isaName(Isa level);

}  // namespace kvo::kern

// KVO_DISPATCH(fn, Args...) is a pointer to fn<level, Args...> for the level in use.
#define KVO_DISPATCH(fn, ...)                                     \
  (::kvo::kern::isa() == ::kvo::kern::Isa::Avx512                 \
       ? &fn<::kvo::kern::Isa::Avx512 __VA_OPT__(, ) __VA_ARGS__> \
   : ::kvo::kern::isa() == ::kvo::kern::Isa::Avx2                 \
       ? &fn<::kvo::kern::Isa::Avx2 __VA_OPT__(, ) __VA_ARGS__>   \
       : &fn<::kvo::kern::Isa::Sse2 __VA_OPT__(, ) __VA_ARGS__>)

// Loops whose iterations are independent when the output is identical to an input or disjoint
// from it (the contract of every block operation) may be vectorised without overlap checks.
#if defined(__clang__)
#define KVO_IVDEP _Pragma("clang loop vectorize(assume_safety)")
#elif defined(__GNUC__)
#define KVO_IVDEP _Pragma("GCC ivdep")
#else
#define KVO_IVDEP
#endif

#define KVO_KERNEL_INLINE static inline __attribute__((always_inline))
