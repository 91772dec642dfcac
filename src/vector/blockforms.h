// Checked forms shared by the floating-point and 16-bit block arithmetic: fill, copy and the
// conjugations. Each checks n and then the pointers in argument order, reporting under the
// exported function's name (carried by the Site), and touches nothing when a check fails.
#pragma once

#include "frame/check.h"
#include "kernels/vector/arith.h"

namespace kvo::forms {

template <class T>
void zero(const Site& s, T* dst, int n) {
  if (Checks(s).positive(n).notNull(dst, "dst==0")) kern::zero(dst, n);
}

template <class T>
void set(const Site& s, T val, T* dst, int n) {
  if (Checks(s).positive(n).notNull(dst, "dst==0")) kern::fill(val, dst, n);
}

template <class T>
void copy(const Site& s, const T* src, T* dst, int n) {
  if (Checks(s).positive(n).notNull(src, "src==0").notNull(dst, "dst==0")) kern::copy(src, dst, n);
}

template <class Neg, class T>
void conj1(const Site& s, T* vec, int n) {
  if (Checks(s).positive(n).notNull(vec, "vec==0")) kern::conj<Neg>(vec, vec, n);
}

template <class Neg, class T>
void conj2(const Site& s, const T* src, T* dst, int n) {
  if (Checks(s).positive(n).notNull(src, "src==0").notNull(dst, "dst==0")) {
    kern::conj<Neg>(src, dst, n);
  }
}

template <class Neg, class T>
void conjFlip2(const Site& s, const T* src, T* dst, int n) {
  if (Checks(s).positive(n).notNull(src, "src==0").notNull(dst, "dst==0")) {
    kern::conjFlip<Neg>(src, dst, n);
  }
}

template <class Neg, class T>
void conjExtend1(const Site& s, T* vec, int n) {
  if (Checks(s).positive(n).notNull(vec, "vec==0")) kern::conjExtend<Neg>(vec, n);
}

template <class Neg, class T>
void conjExtend2(const Site& s, const T* src, T* dst, int n) {
  if (Checks(s).positive(n).notNull(src, "src==0").notNull(dst, "dst==0")) {
    kern::copy(src, dst, n);
    kern::conjExtend<Neg>(dst, n);
  }
}

}  // namespace kvo::forms
