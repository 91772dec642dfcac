// Aligned allocators, release and the version record.
#include <climits>
#include <cstdint>
#include <cstring>

#include "support/kvo_test.h"

namespace {

constexpr std::uintptr_t kAlignment = sizeof(void*) == 4 ? 8 : 64;

template <class T>
void checkTyped(T* (*alloc)(int)) {
  for (int n : {0, 1, 3, 64, 1001}) {
    T* p = alloc(n);
    ASSERT_NE(p, nullptr) << n;
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % kAlignment, 0u);
    // Writing all n elements stays inside the allocation (the sanitizer build checks the bounds).
    if (n > 0) std::memset(static_cast<void*>(p), 0x5A, sizeof(T) * n);
    kvoFree(p);
  }
}

void checkBytes() {
  for (int n : {0, 1, 7, 4096}) {
    auto* p = static_cast<unsigned char*>(kvoMalloc(n));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % kAlignment, 0u);
    if (n > 0) std::memset(p, 1, n);
    kvoFree(p);
  }
}

TEST(Memory, EveryAllocatorAlignsAndHoldsItsLength) {
  checkBytes();
  checkTyped(kvowMalloc);
  checkTyped(kvosMalloc);
  checkTyped(kvoiMalloc);
  checkTyped(kvovMalloc);
  checkTyped(kvocMalloc);
  checkTyped(kvodMalloc);
  checkTyped(kvojMalloc);
  checkTyped(kvozMalloc);
}

TEST(Memory, BlocksOfOneSizeAreInterchangeable) {
  // One element size, one operation: a block from one typed allocator is released like another's.
  void* c = kvocMalloc(10);
  void* d = kvodMalloc(10);
  void* j = kvojMalloc(10);
  kvoFree(j);
  kvoFree(c);
  kvoFree(d);
}

TEST(Memory, BadLengthsGiveNull) {
  EXPECT_EQ(kvoMalloc(-1), nullptr);
  EXPECT_EQ(kvozMalloc(INT_MIN), nullptr);
  if (sizeof(void*) == 4) {
    EXPECT_EQ(kvozMalloc(INT_MAX), nullptr);  // the byte count overflows
  }
}

TEST(Memory, FreeOfNullIsIgnored) { kvoFree(nullptr); }

TEST(Memory, VersionRecord) {
  const LibVersionInfo* v = kvoGetLibVersion();
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v, kvoGetLibVersion());
  EXPECT_EQ(v->majorVersion, 3);
  EXPECT_EQ(v->minorVersion, 0);
  EXPECT_EQ(v->buildNumber, 13);
  EXPECT_STREQ(v->libFileName, "kvom6.dll");
  EXPECT_STREQ(v->versionText, "v4.0 Release Candidate");
  EXPECT_STREQ(v->internalVersionText, "[4.00.29, 01/30/97]");
  EXPECT_STREQ(v->buildDateText, "Feb 24 1998");
  EXPECT_STREQ(v->linkageText, "DLL");
}

}  // namespace
