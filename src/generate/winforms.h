// The exported window entries of one element type: checks, the window's parameter, the kernel.
#pragma once

#include "frame/check.h"
#include "kernels/generate/win.h"
#include "kvo.h"

namespace kvo {

enum class WinAlpha { Given, Optimal };

// P is the parameter type of the member (float or double): the optimal Blackman alpha is rounded
// to it. Returns the failed check's status or 0.
template <class P, class T>
int windowEntry(const Site& s, T* vec, int n, kern::WinKind kind, double param, WinAlpha alpha,
                void (*kernel)(T*, int, kern::WinKind, double)) {
  if (!Checks(s)
           .notNull(vec, "Null pointer to buffer")
           .require(n >= 3, "Bad number of items")
           .require(kind != kern::WinKind::Kaiser || !(param * (n - 1.0) / 2 > 308),
                    "Huge window parameter")) {
    return KVO_StatusBadArgument;
  }
  if (alpha == WinAlpha::Optimal) param = static_cast<P>(kern::blackmanOptAlpha(n));
  kernel(vec, n, kind, param);
  return KVO_StatusOk;
}

}  // namespace kvo

// The seven windows of type code t (element T, parameter P) on `kernel`, a kern::window form.
#define KVO_WIN_ENTRY(t, name, T, kind, param, mode, kernel, P, ...)                  \
  KVO_API int KVO_CALL kvo##t##Win##name(T* vec, int N __VA_OPT__(, P __VA_ARGS__)) { \
    return ::kvo::windowEntry<P>(KVO_SITE, vec, N, ::kvo::kern::WinKind::kind, param, \
                                 ::kvo::WinAlpha::mode, &kernel<T>);                  \
  }
#define KVO_WIN_ENTRIES(t, T, P, kernel)                                               \
  KVO_WIN_ENTRY(t, Bartlett, T, Bartlett, 0, Given, kernel, P)                         \
  KVO_WIN_ENTRY(t, Hann, T, Hann, 0, Given, kernel, P)                                 \
  KVO_WIN_ENTRY(t, Hamming, T, Hamming, 0, Given, kernel, P)                           \
  KVO_WIN_ENTRY(t, Blackman, T, Blackman, alpha, Given, kernel, P, alpha)              \
  KVO_WIN_ENTRY(t, BlackmanStd, T, Blackman, static_cast<P>(-0.16f), Given, kernel, P) \
  KVO_WIN_ENTRY(t, BlackmanOpt, T, Blackman, 0, Optimal, kernel, P)                    \
  KVO_WIN_ENTRY(t, Kaiser, T, Kaiser, beta, Given, kernel, P, beta)
