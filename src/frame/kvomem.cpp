// Aligned allocation, release and the version record.
//
// A block is carved from a larger heap allocation; the start of that allocation is stored in the
// pointer-sized word just below the returned address, so kvoFree needs nothing else. On 32-bit
// targets blocks are 8-byte aligned with 12 bytes of overhead. On 64-bit targets the alignment is
// raised to 64 bytes: a cache line, and the width of an AVX-512 register.
#include <cstdint>
#include <cstdlib>

#include "kvo.h"

namespace {

constexpr std::size_t kAlign = sizeof(void*) == 4 ? 8 : 64;
constexpr std::size_t kOverhead = kAlign + sizeof(void*);

void* allocate(int length, std::size_t elementSize) {
  if (length < 0) return nullptr;
  const std::uint64_t bytes = static_cast<std::uint64_t>(length) * elementSize + kOverhead;
  if (bytes > SIZE_MAX) return nullptr;
  void* start = std::malloc(static_cast<std::size_t>(bytes));
  if (start == nullptr) return nullptr;
  const std::uintptr_t first = reinterpret_cast<std::uintptr_t>(start) + sizeof(void*);
  const std::uintptr_t aligned = (first + kAlign - 1) & ~static_cast<std::uintptr_t>(kAlign - 1);
  void** block = reinterpret_cast<void**>(aligned);
  block[-1] = start;
  return block;
}

const LibVersionInfo kVersion = {
    3, 0, 13, "kvom6.dll", "v4.0 Release Candidate", "[4.00.29, 01/30/97]", "Feb 24 1998", "DLL"};

}  // namespace

extern "C" {

KVO_API void* KVO_CALL kvoMalloc(int length) { return allocate(length, 1); }
KVO_API short* KVO_CALL kvowMalloc(int length) {
  return static_cast<short*>(allocate(length, sizeof(short)));
}
KVO_API float* KVO_CALL kvosMalloc(int length) {
  return static_cast<float*>(allocate(length, sizeof(float)));
}
KVO_API int* KVO_CALL kvoiMalloc(int length) {
  return static_cast<int*>(allocate(length, sizeof(int)));
}
KVO_API ComplexShort* KVO_CALL kvovMalloc(int length) {
  return static_cast<ComplexShort*>(allocate(length, sizeof(ComplexShort)));
}
KVO_API ComplexFloat* KVO_CALL kvocMalloc(int length) {
  return static_cast<ComplexFloat*>(allocate(length, sizeof(ComplexFloat)));
}
KVO_API double* KVO_CALL kvodMalloc(int length) {
  return static_cast<double*>(allocate(length, sizeof(double)));
}
KVO_API ComplexInt* KVO_CALL kvojMalloc(int length) {
  return static_cast<ComplexInt*>(allocate(length, sizeof(ComplexInt)));
}
KVO_API ComplexDouble* KVO_CALL kvozMalloc(int length) {
  return static_cast<ComplexDouble*>(allocate(length, sizeof(ComplexDouble)));
}

KVO_API void KVO_CALL kvoFree(void* block) {
  if (block == nullptr) return;
  std::free(static_cast<void**>(block)[-1]);
}

KVO_API const LibVersionInfo* KVO_CALL kvoGetLibVersion(void) { return &kVersion; }

}  // extern "C"
