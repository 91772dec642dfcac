// The calling thread's cached transform tables, for the transform modules.
//
// Every getter returns the cached table of the calling thread, building it on first use; on an
// allocation failure it returns null, caches nothing and reports nothing (the calling transform
// reports in its own words). Tables are blocks of the library allocator, so kvoFree releases them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "frame/context.h"
#include "kvo.h"

namespace kvo::tables {

// Precision index of the per-precision caches: 0 for ComplexFloat, 1 for ComplexDouble.
template <class C>
inline constexpr int kPrec = sizeof(C) == sizeof(ComplexFloat) ? 0 : 1;

// Orders above this use the order-10 base tables plus one large table of their own order.
constexpr int kBaseOrder = 10;

// Largest table block the allocator is asked for: the allocator takes a 32-bit byte count.
constexpr std::uint64_t kMaxTableBytes = 0x7fffffff;

// exp(-2*pi*i*k/n) the way every stated table computes it: the angle step 2*pi/n in double, the
// angle k*step in double, cosine and sine in extended precision.
void rootOfUnity(std::int64_t k, std::int64_t n, long double& c, long double& s);

std::int32_t* bitRevPair(int order);  // BitRevPairTable; null for orders outside 0..31

// FftTriadTable / FftPairTable (orders 0..10) and FftLargeTable (orders 11..31). Each block also
// carries the stage-wise twiddles of the vector kernels (see kernels/fft.h) after the stated
// contents, from the next 64-byte boundary on.
template <class C>
C* fftTriad(int order);
template <class C>
C* fftPair(int order);
template <class C>
C* fftLarge(int order);
template <class C>
C* realFft(int order);               // RealFftTable
std::int16_t* intFftTwd(int order);  // IntFftTwdTable: 4 values per entry
// The stage twiddles (kernels/transform/fft16.h) that an IntFftTwdTable of the order carries
// behind its entries.
const std::uint32_t* intFftStages(const std::int16_t* table, int order);

// The transform tables a complex FFT of this order needs, built if absent: the triad table
// (the pair table when `pairVariant`), for orders above 10 the order-10 one plus the large table
// of the order, and the BitRevPairTable. Returns the kernel twiddles, or null when a table could
// not be built.
template <class C>
const decltype(C::re)* complexFftTables(int order, bool pairVariant);

// Where the kernel twiddles start in a triad, pair or large table of `room` entries: at the next
// 64-byte boundary behind the stated contents.
template <class C>
constexpr std::uint64_t kernelOffsetBytes(std::uint64_t room) {
  return (room * sizeof(C) + 63) & ~std::uint64_t{63};
}
// Entries of room of the triad and the pair table of an order up to kBaseOrder.
constexpr std::uint64_t triadRoom(int order) {
  const std::uint64_t n = std::uint64_t{1} << order;
  return n < 3 ? 3 : n;
}
constexpr std::uint64_t pairRoom(int order) {
  const std::uint64_t n = std::uint64_t{1} << order;
  return n / 2 < 1 ? 1 : n / 2;
}

// The kernel twiddles of a complex FFT of an order up to kBaseOrder when all its tables are
// cached in `c`, else null. Inline, since the smallest transforms look them up on every call.
template <class C>
const decltype(C::re)* cachedComplexFft(const ThreadContext& c, int order, bool pairVariant) {
  const void* owner =
      pairVariant ? c.fftPairTable[kPrec<C>][order] : c.fftTriadTable[kPrec<C>][order];
  if (owner == nullptr || c.bitRevPairTable[order] == nullptr) return nullptr;
  const std::uint64_t room = pairVariant ? pairRoom(order) : triadRoom(order);
  return reinterpret_cast<const decltype(C::re)*>(static_cast<const char*>(owner) +
                                                  kernelOffsetBytes<C>(room));
}

// Release of single tables by order (orders outside 0..31 release nothing).
void freeBitRevPair(int order);
template <class C>
void freeFftTriad(int order);
template <class C>
void freeFftPair(int order);
template <class C>
void freeFftLarge(int order);
template <class C>
void freeRealFft(int order);
void freeIntFftTwd(int order);

// The internal tables of one precision: large, triad, pair and real-FFT tables, every
// BitRevPairTable, and (single precision) the second set of ComplexFloat scratch buffers.
template <class C>
void freeInternal();

// The DftIntTwdTable of a length (4*length 16-bit values), keyed by 4*length in the 16-bit DFT
// cache; null when the length is below 1, memory is short or 32 lengths are cached already.
std::int16_t* dftIntTwd(int length);

// Scratch buffers: set 0 counts 32-bit units, sets 1 and 2 ComplexFloat elements. The slot's
// buffer is returned when it holds at least `length` units, otherwise it is replaced by a new one
// of `length` units. Null for length < 1, set outside 0..2 or slot outside 0..3.
void* scratch(int set, int slot, int length);
void freeScratchSet(int set);
void freeScratch(int set, int slot);

}  // namespace kvo::tables
