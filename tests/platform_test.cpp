// The platform layer: the integer fused multiply-add, and on Windows the Win32 calls of the
// message-box reporter (observed by patching the program's import table).
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "frame/platform.h"
#include "support/kvo_test.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

namespace {

using kvo::platform::exactFma;
using kvo::platform::exactFmaf;

// ---- fused multiply-add ----

__attribute__((target("fma"))) double hardwareFma(double x, double y, double z) {
  return __builtin_fma(x, y, z);
}
__attribute__((target("fma"))) float hardwareFmaf(float x, float y, float z) {
  return __builtin_fmaf(x, y, z);
}

bool haveFma() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("fma");
}

template <class R>
bool sameResult(R got, R want) {
  return (std::isnan(got) && std::isnan(want)) || kvotest::sameBits(got, want);
}

template <class R, class U>
R fromBits(U bits) {
  R r;
  std::memcpy(&r, &bits, sizeof r);
  return r;
}

// Operand triples that reach every path: any bit pattern, cancellation against the product,
// results in and near the subnormal range, and exact halfway cases.
template <class R, class Check>
void forFmaCases(Check check) {
  using Bits = std::conditional_t<sizeof(R) == 8, std::uint64_t, std::uint32_t>;
  constexpr int kBits = std::numeric_limits<R>::digits;
  constexpr int kMinExp = std::numeric_limits<R>::min_exponent - 1;
  std::mt19937_64 gen(2024);
  std::uniform_int_distribution<Bits> anyBits;
  std::uniform_real_distribution<R> unit(1, 2);
  std::uniform_int_distribution<int> sign(0, 1);
  auto signed1 = [&](R v) { return sign(gen) ? -v : v; };
  constexpr int kRounds = 60000;
  for (int i = 0; i < kRounds; ++i) {
    check(fromBits<R>(anyBits(gen)), fromBits<R>(anyBits(gen)), fromBits<R>(anyBits(gen)));
  }
  std::uniform_int_distribution<int> smallExp(-8, 8);
  for (int i = 0; i < kRounds; ++i) {
    const R x = signed1(std::ldexp(unit(gen), smallExp(gen)));
    const R y = signed1(std::ldexp(unit(gen), smallExp(gen)));
    const R p = x * y;
    check(x, y, -p);
    check(x, y, -std::nextafter(p, R(0)));
    check(x, y, std::ldexp(-p, smallExp(gen) / 4));
  }
  std::uniform_int_distribution<int> tinyExp(kMinExp - kBits - 4, kMinExp + 4);
  for (int i = 0; i < kRounds; ++i) {
    const int e = tinyExp(gen);
    const R x = signed1(std::ldexp(unit(gen), e / 2));
    const R y = signed1(std::ldexp(unit(gen), e - e / 2));
    check(x, y, signed1(std::ldexp(unit(gen), tinyExp(gen))));
    check(x, y, -(x * y));
  }
  // Integers of about half the width: the exact results land on halves of the last unit.
  std::uniform_int_distribution<std::int64_t> half(std::int64_t{1} << (kBits / 2),
                                                   (std::int64_t{1} << (kBits / 2 + 1)) - 1);
  std::uniform_int_distribution<std::int64_t> low(0, 15);
  for (int i = 0; i < kRounds; ++i) {
    const R x = R(half(gen)), y = R(half(gen));
    check(x, y, signed1(R(low(gen)) / 2));
    check(x, y, signed1(std::ldexp(R(low(gen) * 2 + 1), -1)));
  }
  const R inf = std::numeric_limits<R>::infinity(), big = std::numeric_limits<R>::max();
  const R tiny = std::numeric_limits<R>::denorm_min();
  for (R x :
       {R(0), -R(0), R(1), -R(1), tiny, big, inf, -inf, std::numeric_limits<R>::quiet_NaN()}) {
    for (R y : {R(0), -R(0), R(2), tiny, big, inf, -inf}) {
      for (R z : {R(0), -R(0), R(-1), tiny, -tiny, big, -big, inf, -inf}) check(x, y, z);
    }
  }
}

TEST(Platform, ExactFmaRoundsOnce) {
  if (!haveFma()) GTEST_SKIP() << "no fused multiply-add instruction to compare with";
  int failures = 0;
  forFmaCases<double>([&](double x, double y, double z) {
    if (!sameResult(exactFma(x, y, z), hardwareFma(x, y, z)) && ++failures <= 5) {
      ADD_FAILURE() << std::hexfloat << "fma(" << x << ", " << y << ", " << z
                    << ") = " << exactFma(x, y, z) << ", want " << hardwareFma(x, y, z);
    }
  });
  forFmaCases<float>([&](float x, float y, float z) {
    if (!sameResult(exactFmaf(x, y, z), hardwareFmaf(x, y, z)) && ++failures <= 10) {
      ADD_FAILURE() << std::hexfloat << "fmaf(" << x << ", " << y << ", " << z
                    << ") = " << exactFmaf(x, y, z) << ", want " << hardwareFmaf(x, y, z);
    }
  });
  EXPECT_EQ(failures, 0);
}

TEST(Platform, RuntimeFmaRoundsOnce) {
  // The complex products depend on it; on Windows the library replaces the runtime's own.
  if (!haveFma()) GTEST_SKIP() << "no fused multiply-add instruction to compare with";
  int failures = 0;
  forFmaCases<double>([&](double x, double y, double z) {
    volatile double vx = x, vy = y, vz = z;  // no folding at compile time
    failures += !sameResult(std::fma(vx, vy, vz), hardwareFma(x, y, z));
  });
  EXPECT_EQ(failures, 0);
}

#ifdef _WIN32
// ---- Win32 calls of the message-box reporter ----

// Points one import of this program at a replacement for the lifetime of the object.
class ImportPatch {
 public:
  ImportPatch(const char* dll, const char* name, void* replacement) {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const auto& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
         d->Name != 0 && slot_ == nullptr; ++d) {
      if (_stricmp(reinterpret_cast<const char*>(base + d->Name), dll) != 0) continue;
      auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
      auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
      for (; names->u1.AddressOfData != 0; ++names, ++slots) {
        if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
        const auto* byName =
            reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
        if (std::strcmp(reinterpret_cast<const char*>(byName->Name), name) == 0) {
          slot_ = reinterpret_cast<void**>(&slots->u1.Function);
          break;
        }
      }
    }
    if (slot_ == nullptr) {
      ADD_FAILURE() << name << " is not imported from " << dll;
      return;
    }
    saved_ = exchange(replacement);
  }
  ~ImportPatch() {
    if (slot_ != nullptr) exchange(saved_);
  }
  ImportPatch(const ImportPatch&) = delete;
  ImportPatch& operator=(const ImportPatch&) = delete;

 private:
  void* exchange(void* value) {
    DWORD protection;
    VirtualProtect(slot_, sizeof *slot_, PAGE_READWRITE, &protection);
    void* old = *slot_;
    *slot_ = value;
    VirtualProtect(slot_, sizeof *slot_, protection, &protection);
    return old;
  }
  void** slot_ = nullptr;
  void* saved_ = nullptr;
};

struct Box {
  bool ownerless;
  std::string caption, text;
  unsigned style;
};
std::vector<Box> g_boxes;
int g_answer = IDOK;
DWORD g_platform = VER_PLATFORM_WIN32_NT;

// Records the box and echoes it to standard error, where death tests can see it.
int WINAPI fakeMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
  g_boxes.push_back({owner == nullptr, caption, text, style});
  std::fprintf(stderr, "[%s|%#x]\n%s\n", caption, style, text);
  std::fflush(stderr);
  return g_answer;
}
void WINAPI fakeFatalAppExit(UINT action, LPCSTR message) {
  std::fprintf(stderr, "FatalAppExitA(%u): %s\n", action, message);
  std::fflush(stderr);
  std::_Exit(3);
}
BOOL WINAPI fakeGetVersionEx(LPOSVERSIONINFOA info) {
  info->dwPlatformId = g_platform;
  return TRUE;
}

class Win32Box : public kvotest::KvoTest {
 protected:
  void SetUp() override {
    KvoTest::SetUp();
    g_boxes.clear();
    g_answer = IDOK;
    g_platform = VER_PLATFORM_WIN32_NT;
  }
  ImportPatch box_{"user32.dll", "MessageBoxA", reinterpret_cast<void*>(&fakeMessageBox)};
  ImportPatch exit_{"kernel32.dll", "FatalAppExitA", reinterpret_cast<void*>(&fakeFatalAppExit)};
  ImportPatch version_{"kernel32.dll", "GetVersionExA", reinterpret_cast<void*>(&fakeGetVersionEx)};
};

TEST_F(Win32Box, ParentModeAsksToContinue) {
  kvoSetErrMode(KVO_ErrorModeParent);
  kvoSetErrStatus(KVO_StatusBadArgument);
  EXPECT_EQ(kvoGuiBoxReport(-1, "kvocConv", "out kvosRealFft", "kvoconvs", 40), -1);
  kvoSetErrStatus(KVO_StatusOutOfMemory);
  EXPECT_EQ(kvoGuiBoxReport(-8, "kvoT", "x", nullptr, -3), -8);
  ASSERT_EQ(g_boxes.size(), 2u);
  EXPECT_TRUE(g_boxes[0].ownerless);
  EXPECT_EQ(g_boxes[0].style, 0x1001u);
  EXPECT_EQ(g_boxes[0].caption, "KVO Library Error: Bad argument");
  EXPECT_EQ(g_boxes[0].text,
            "called from [kvoconvs:40]:kvocConv():\n out kvosRealFft\n\n"
            "ErrMode=KVO_ErrorModeParent\n\nContinue?");
  EXPECT_EQ(g_boxes[1].caption, "KVO Library Error: Out of memory");
  EXPECT_EQ(g_boxes[1].text,
            "called from [:0]:\n kvoT(x)\n\nErrMode=KVO_ErrorModeParent\n\nContinue?");
}

TEST_F(Win32Box, LeafModeAsksToTerminate) {
  kvoSetErrMode(KVO_ErrorModeLeaf);
  g_answer = IDNO;
  EXPECT_EQ(kvoGuiBoxReport(-5, "kvowbAdd1", "n<=0", "kvoaritw", 12), -5);
  ASSERT_EQ(g_boxes.size(), 1u);
  EXPECT_EQ(g_boxes[0].style, 0x1004u);
  EXPECT_EQ(g_boxes[0].caption, "KVO Library Error: No Error");  // the stored status, still 0
  EXPECT_EQ(g_boxes[0].text,
            "in function [kvoaritw:12]:kvowbAdd1():\n n<=0\n\n"
            "ErrMode=KVO_ErrorModeLeaf\n\nTerminate the application?");
}

TEST_F(Win32Box, TextsAreCutToTheirBuffers) {
  kvoSetErrMode(KVO_ErrorModeParent);
  const std::string longText(2000, 'x');
  kvoGuiBoxReport(-5, longText.c_str(), longText.c_str(), longText.c_str(), 1);
  ASSERT_EQ(g_boxes.size(), 1u);
  EXPECT_EQ(g_boxes[0].text, "in function [" + std::string(199 - 13, 'x'));
}

TEST_F(Win32Box, NoBoxWithoutAnAnswerEndsNothing) {
  // A box that cannot be shown (0 or -1) is neither Yes nor Cancel.
  for (int answer : {0, -1}) {
    g_answer = answer;
    for (int mode : {KVO_ErrorModeLeaf, KVO_ErrorModeParent}) {
      kvoSetErrMode(mode);
      EXPECT_EQ(kvoGuiBoxReport(-5, "f", "m", "mod", 1), -5);
    }
  }
  EXPECT_EQ(g_boxes.size(), 4u);
}

TEST_F(Win32Box, ConfirmedReportsEndTheApplication) {
  const char* fatal = "FatalAppExitA\\(0\\): KVO Library:\nterminating the application";
  EXPECT_EXIT(
      {
        kvoSetErrMode(KVO_ErrorModeParent);
        g_answer = IDCANCEL;
        kvoGuiBoxReport(-5, "f", "m", "mod", 1);
      },
      testing::ExitedWithCode(3), fatal);
  EXPECT_EXIT(
      {
        kvoSetErrMode(KVO_ErrorModeLeaf);
        g_answer = IDYES;
        kvoRedirectError(nullptr);
        kvoError(-5, "kvoF", "n<=0", "kvom", 1);
      },
      testing::ExitedWithCode(3), std::string("Terminate the application\\?\n") + fatal);
}

TEST_F(Win32Box, Win32sEndsWithABoxAndExitCodeOne) {
  EXPECT_EXIT(
      {
        g_platform = VER_PLATFORM_WIN32s;
        kvoSetErrMode(KVO_ErrorModeLeaf);
        g_answer = IDYES;
        kvoGuiBoxReport(-5, "f", "m", "mod", 1);
      },
      testing::ExitedWithCode(1),
      "Terminate the application\\?\n\\[Win32S: Application exit\\|0x1000\\]\nKVO Library:\n"
      "terminating the application\n$");
}
#endif  // _WIN32

}  // namespace
