// Triangle generator kernels.
//
// The wave moves by `step` per sample and is reflected at the top (mag) and the bottom (-mag) with
// the precomputed ratios, so no division runs per sample. Single calls follow the rule on the
// stored field type; blocks keep the running value in double precision and test only the bound
// ahead, with the one-step reflection forms (topSpan, bottomSpan).
#pragma once

#include <cstddef>

#include "kernels/ftz.h"
#include "kernels/generate/genfield.h"
#include "kvo.h"

namespace kvo::kern::trngl {

using gen::field;

// The real or the imaginary part of a complex member.
struct Part {
  KvoRealField TrnglState::*value;
  KvoRealField TrnglState::*step;
};
inline constexpr Part kRe{&TrnglState::value, &TrnglState::step};
inline constexpr Part kIm{&TrnglState::imValue, &TrnglState::imStep};

template <class F>
void init(TrnglState& st, double f, double p, double M, double h, bool complex) {
  const double pi = gen::kPi, fall = pi + h, rise = pi - h;
  st = TrnglState{};
  field<F>(st.mag) = F(M);
  field<F>(st.downStep) = F(-4 * pi * M * f / fall);
  field<F>(st.upStep) = F(4 * pi * M * f / rise);
  field<F>(st.downToUp) = F(-rise / fall);
  field<F>(st.upToDown) = F(-fall / rise);
  field<F>(st.upPeriod) = F(4 * pi * M / rise);
  field<F>(st.downPeriod) = F(4 * pi * M / fall);
  field<F>(st.topSpan) = F(2 * pi * M / fall);
  field<F>(st.bottomSpan) = F(-2 * pi * M / rise);
  const auto start = [&](double q, const Part& part) {
    if (q < fall) {
      field<F>(st.*part.value) = F(M * (1 - 2 * q / fall));
      field<F>(st.*part.step) = field<F>(st.downStep);
    } else {
      field<F>(st.*part.value) = F(M * (2 * (q - fall) / rise - 1));
      field<F>(st.*part.step) = field<F>(st.upStep);
    }
  };
  start(p, kRe);
  if (complex) {
    double q = p + (2 * pi + fall) / 2;
    if (q >= 2 * pi) q -= 2 * pi;
    start(q, kIm);
  }
}

// One sample of one part by the per-sample rule; returns the value before the update.
template <class F>
double next(TrnglState& st, const Part& part) {
  F& value = field<F>(st.*part.value);
  F& step = field<F>(st.*part.step);
  const double M = field<F>(st.mag);
  const double out = value;
  const double v = out + double(step);
  if (v > M) {
    const double r = (v - M) * double(field<F>(st.downToUp)) + M;
    if (r >= -M) {
      value = F(r);
      step = field<F>(st.downStep);
    } else {
      value = F(v - double(field<F>(st.upPeriod)));
    }
  } else if (v < -M) {
    const double r = (M + v) * double(field<F>(st.upToDown)) - M;
    if (r <= M) {
      value = F(r);
      step = field<F>(st.upStep);
    } else {
      value = F(v + double(field<F>(st.downPeriod)));
    }
  } else {
    value = F(v);
  }
  return out;
}

template <class T>
T toOutput(double x) {
  if constexpr (sizeof(T) == sizeof(short)) {
    return gen::roundToShort(x);
  } else {
    return static_cast<T>(x);
  }
}

// The running state of one part in a block.
template <class F>
struct Runner {
  double value, step, M, downStep, upStep, downToUp, upToDown, topSpan, bottomSpan, upPeriod,
      downPeriod;
  Runner(const TrnglState& st, const Part& part)
      : value(field<F>(st.*part.value)),
        step(field<F>(st.*part.step)),
        M(field<F>(st.mag)),
        downStep(field<F>(st.downStep)),
        upStep(field<F>(st.upStep)),
        downToUp(field<F>(st.downToUp)),
        upToDown(field<F>(st.upToDown)),
        topSpan(field<F>(st.topSpan)),
        bottomSpan(field<F>(st.bottomSpan)),
        upPeriod(field<F>(st.upPeriod)),
        downPeriod(field<F>(st.downPeriod)) {}

  double advance() {
    const double out = value;
    const double v = value + step;
    value = v;
    if (step > 0) {
      if (v > M) {
        const double r = v * downToUp + topSpan;
        if (r >= -M) {
          value = r;
          step = downStep;
        } else {
          value = v - upPeriod;
        }
      }
    } else if (v < -M) {
      const double r = v * upToDown + bottomSpan;
      if (r <= M) {
        value = r;
        step = upStep;
      } else {
        value = v + downPeriod;
      }
    }
    return out;
  }
  void store(TrnglState& st, const Part& part) const {
    field<F>(st.*part.value) = F(value);
    field<F>(st.*part.step) = F(step);
  }
};

template <class F, class T>
void realBlock(TrnglState& st, T* y, std::size_t n) {
  const FlushDenormals ftz;
  Runner<F> re(st, kRe);
  for (std::size_t i = 0; i < n; ++i) y[i] = toOutput<T>(re.advance());
  re.store(st, kRe);
}

template <class F, class C>
void complexBlock(TrnglState& st, C* y, std::size_t n) {
  using R = decltype(C::re);
  const FlushDenormals ftz;
  Runner<F> re(st, kRe), im(st, kIm);
  for (std::size_t i = 0; i < n; ++i) {
    const double a = re.advance();
    const double b = im.advance();
    y[i] = C{toOutput<R>(a), toOutput<R>(b)};
  }
  re.store(st, kRe);
  im.store(st, kIm);
}

template <class F, class T>
T realSingle(TrnglState& st) {
  const FlushDenormals ftz;
  return toOutput<T>(next<F>(st, kRe));
}

template <class F, class C>
C complexSingle(TrnglState& st) {
  using R = decltype(C::re);
  const FlushDenormals ftz;
  const double a = next<F>(st, kRe);
  const double b = next<F>(st, kIm);
  return C{toOutput<R>(a), toOutput<R>(b)};
}

}  // namespace kvo::kern::trngl
