// The two forms of the element functions: in place on one vector (suffix 1) or from a source to a
// destination vector (suffix 2), with their argument checks.
#pragma once

#include "frame/check.h"

namespace kvo {

template <class T>
struct InPlace {
  T* vec;
  const char* lenMessage = "len<=0";
  const char* vecMessage = "vec==0";

  Checks check(const Site& site, int len) const {
    return Checks(site).positive(len, lenMessage).notNull(vec, vecMessage);
  }
  const T* src() const { return vec; }
  T* dst() const { return vec; }
};

template <class T>
struct Separate {
  const T* from;
  T* to;

  Checks check(const Site& site, int len) const {
    return Checks(site).positive(len, "len<=0").notNull(from, "src==0").notNull(to, "dst==0");
  }
  const T* src() const { return from; }
  T* dst() const { return to; }
};

template <class T>
InPlace<T> one(T* vec) {
  return {vec};
}
template <class T>
Separate<T> two(const T* src, T* dst) {
  return {src, dst};
}

// Runs kernel(src, dst, len) once the checks pass.
template <class V, class Kernel>
void checked(const Site& site, V v, int len, Kernel kernel) {
  if (v.check(site, len)) kernel(v.src(), v.dst(), len);
}

}  // namespace kvo
