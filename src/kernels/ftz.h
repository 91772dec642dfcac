// Denormals off for the length of a kernel.
//
// Recursive filters and adaptive updates decay towards zero, and an x86 core takes a microcode
// assist on every subnormal operand or result: a filter fed silence after a loud passage would
// run tens of times slower. Kernels that carry state from sample to sample therefore open a
// FlushDenormals scope. It sets flush-to-zero and denormals-are-zero in MXCSR and puts the
// caller's control word back when the scope ends, so the application's floating-point settings
// are never changed behind its back. Elsewhere (no SSE control register) it does nothing.
#pragma once

#if defined(__SSE2__) || defined(_M_X64) || defined(__x86_64__)
#include <xmmintrin.h>
#define KVO_HAVE_MXCSR 1
#endif

namespace kvo::kern {

class FlushDenormals {
 public:
#if defined(KVO_HAVE_MXCSR)
  FlushDenormals() : saved_(_mm_getcsr()) {
    constexpr unsigned kFlushToZero = 0x8000u, kDenormalsAreZero = 0x0040u;
    const unsigned wanted = saved_ | kFlushToZero | kDenormalsAreZero;
    if (wanted != saved_) _mm_setcsr(wanted);
  }
  // The exception flags raised meanwhile (the low six bits) stay raised, as after any other call.
  ~FlushDenormals() {
    const unsigned now = _mm_getcsr();
    if ((now & ~0x3fu) != (saved_ & ~0x3fu)) _mm_setcsr(saved_ | (now & 0x3fu));
  }
#else
  FlushDenormals() = default;
#endif
  FlushDenormals(const FlushDenormals&) = delete;
  FlushDenormals& operator=(const FlushDenormals&) = delete;

 private:
#if defined(KVO_HAVE_MXCSR)
  unsigned saved_;
#endif
};

}  // namespace kvo::kern
