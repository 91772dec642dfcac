// The per-thread context: error status, error mode, report function and the transform caches.
#pragma once

#include <cstdint>

#include "frame/platform.h"
#include "kvo.h"

namespace kvo {

constexpr int kCacheSlots = 32;  // orders 0..31, or 32 cached lengths
constexpr int kDftCacheCapacity = 32;
constexpr int kScratchSlots = 4;

// Field order follows the record's published layout; the transform family fills the caches.
struct ThreadContext {
  std::int32_t status;
  std::int32_t errMode;
  ReportFunction reportFn;

  // Transform caches. Indices: DFT types 0 = c, 1 = z, 2 = v; dftCount[3] counts vDft*.
  std::int32_t dftCapacity;
  std::int32_t dftCount[4];
  std::int32_t dftLength[3][kCacheSlots];
  void* dftTable[3][kCacheSlots];
  void* fftTwiddle[3][kCacheSlots];  // c, z, v FFT twiddle tables by order
  std::int32_t* bitRevTable[kCacheSlots];
  std::int32_t* bitRevPairTable[kCacheSlots];
  void* fftLargeTable[2][kCacheSlots];   // c, z
  std::int32_t vDftLength[kCacheSlots];  // DFT tables of the 16-bit DFT
  void* vDftTable[kCacheSlots];
  void* fftTriadTable[2][kCacheSlots];  // c, z
  void* fftPairTable[2][kCacheSlots];   // c, z
  void* realFftTable[2][kCacheSlots];   // c, z
  void* intFftTwdTable[kCacheSlots];
  // Scratch buffers: set 0 holds 16-bit complex data (lengths in 32-bit units), sets 1 and 2
  // ComplexFloat data.
  std::int32_t scratchLength[3][kScratchSlots];
  void* scratch[3][kScratchSlots];
};

// The calling thread's context, created on first use. Ends the application if no memory is left.
// Inline, because the smallest transforms look it up on every call.
ThreadContext& newContext();
inline ThreadContext& context() {
  if (void* record = platform::slotGet()) return *static_cast<ThreadContext*>(record);
  return newContext();
}

// Sets the initial values on a zero-filled record; a null record is left alone.
void initContext(ThreadContext* ctx);

}  // namespace kvo
