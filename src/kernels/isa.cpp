#include "kernels/isa.h"

#if defined(KVO_ENV_ISA)
#include <cstdlib>
#include <cstring>
#endif

namespace kvo::kern {
namespace {

Isa detect() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") &&
      __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vl") &&
      __builtin_cpu_supports("fma")) {
    return Isa::Avx512;
  }
  if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) return Isa::Avx2;
#endif
  return Isa::Sse2;
}

Isa clamp(Isa wanted) {
  return static_cast<int>(wanted) < static_cast<int>(hardwareIsa()) ? wanted : hardwareIsa();
}

// The shipped library never looks at the environment, so it behaves the same whatever the
// environment holds. Test and benchmark builds (KVO_ENV_ISA) may lower the level with KVO_ISA.
Isa initial() {
  Isa level = hardwareIsa();
#if defined(KVO_ENV_ISA)
  if (const char* env = std::getenv("KVO_ISA")) {
    if (std::strcmp(env, "sse2") == 0) level = Isa::Sse2;
    if (std::strcmp(env, "avx2") == 0) level = clamp(Isa::Avx2);
  }
#endif
  return level;
}

}  // namespace

namespace detail {
Isa g_isa = initial();
}

Isa hardwareIsa() {
  static const Isa level = detect();
  return level;
}

void setIsa(Isa level) { detail::g_isa = clamp(level); }

const char* isaName(Isa level) {
  switch (level) {
    case Isa::Avx512:
      return "avx512";
    case Isa::Avx2:
      return "avx2";
    default:
      return "sse2";
  }
}

}  // namespace kvo::kern
