// FIR design by the window method. The ideal responses need sin(2*pi*f*d) at d = 1, 2, ... (odd
// lengths) or d = 0.5, 1.5, ... (even lengths) for every band edge f: each comes from a cosine
// recurrence (one multiply and one subtract per tap) started at the phase whose first sample is the
// wanted sine, negated sine or cosine, instead of a sine evaluation per tap.
#include "kernels/filter/firdesign.h"

#include <cmath>
#include <cstddef>

#include "kernels/generate/win.h"

namespace kvo::kern {
namespace {

constexpr double kPi = 3.14159265358979323846;

// mag*cos(2*pi*f*n + phase), n = 0, 1, ..., by y = 2*cos(w)*y[n-1] - y[n-2] in double precision,
// never re-anchored: the tone generator's recurrence with magnitude 1.
class Tone {
 public:
  Tone() = default;
  Tone(double f, double phase) {
    const double w = 2 * kPi * f;
    coef_ = 2 * std::cos(w);
    prev1_ = std::cos(phase - w);
    prev2_ = std::cos(phase - 2 * w);
  }
  double operator()() {
    const double y = coef_ * prev1_ - prev2_;
    prev2_ = prev1_;
    prev1_ = y;
    return y;
  }

 private:
  double coef_ = 0, prev1_ = 0, prev2_ = 0;
};

// Phases whose first sample (at d_1 = 1 for odd lengths, 0.5 for even ones) is sin(2*pi*f*d_1),
// -sin(2*pi*f*d_1) or cos(2*pi*f*d_1); all lie in [0, 2*pi).
enum class Wave { Sin, NegSin, Cos };
Tone edgeTone(double f, Wave wave, bool odd) {
  double phase;
  if (odd) {
    phase = wave == Wave::Sin      ? 2 * kPi * (f < 0.25 ? f + 0.75 : f - 0.25)
            : wave == Wave::NegSin ? 2 * kPi * (f + 0.25)
                                   : 2 * kPi * f;
  } else {
    phase = wave == Wave::Sin ? kPi * (f + 1.5) : wave == Wave::NegSin ? kPi * (f + 0.5) : kPi * f;
  }
  return Tone(f, phase);
}

void applyWindow(double* taps, int len, int winType) {
  switch (winType) {
    case 1:
      window(taps, len, WinKind::Bartlett, 0);
      break;
    case 2:
      window(taps, len, WinKind::Blackman, blackmanOptAlpha(len));
      break;
    case 3:
      window(taps, len, WinKind::Hamming, 0);
      break;
    case 4:
      window(taps, len, WinKind::Hann, 0);
      break;
    default:
      break;  // rectangular truncation
  }
}

// The gain at the band's reference frequency, from the first half and the centre.
double gain(FirBand band, double fl, double fh, const double* taps, int half, bool odd) {
  double s = 0, centre = odd ? taps[half] : 0;
  switch (band) {
    case FirBand::Lowpass:
    case FirBand::Bandstop:  // at frequency 0
      for (int i = 0; i < half; ++i) s += taps[i];
      break;
    case FirBand::Highpass:  // at frequency 0.5
      for (int i = 0; i < half; ++i) s += (i % 2 ? taps[i] : -taps[i]);
      if (half % 2 == 0) centre = -centre;
      break;
    case FirBand::Bandpass: {  // at the band centre
      Tone c = edgeTone((fl + fh) / 2, Wave::Cos, odd);
      for (int j = 0; j < half; ++j) s += taps[half - 1 - j] * c();
      break;
    }
  }
  return 2 * s + centre;
}

}  // namespace

void firDesign(FirBand band, double fl, double fh, double* taps, int len, int winType,
               bool normal) {
  const int half = len / 2;
  const bool odd = (len % 2) != 0;

  // The ideal response at distance d_i from the centre, i = 1..half, is (alt_i + sum of the
  // tones) / (pi*d_i), alt_i = sin(pi*d_i) only for the even-length bandstop.
  Tone tones[2];
  int count = 0;
  bool alternating = false;
  double centre = 0;
  switch (band) {
    case FirBand::Lowpass:
      tones[count++] = edgeTone(fl, Wave::Sin, odd);
      centre = 2 * fl;
      break;
    case FirBand::Highpass:
      tones[count++] = edgeTone(fl, odd ? Wave::NegSin : Wave::Cos, odd);
      centre = 1 - 2 * fl;
      break;
    case FirBand::Bandpass:
      tones[count++] = edgeTone(fh, Wave::Sin, odd);
      tones[count++] = edgeTone(fl, Wave::NegSin, odd);
      centre = 2 * (fh - fl);
      break;
    case FirBand::Bandstop:
      alternating = !odd;
      if (!odd) tones[count++] = edgeTone(fh, Wave::NegSin, odd);
      tones[count++] = edgeTone(fl, Wave::Sin, odd);
      if (odd) tones[count++] = edgeTone(fh, Wave::NegSin, odd);
      centre = 1 - 2 * (fh - fl);
      break;
  }
  double divisor = odd ? kPi : kPi / 2;
  for (int i = 1; i <= half; ++i) {
    double num = alternating ? (i % 2 ? 1.0 : -1.0) : tones[0]();
    for (int k = alternating ? 0 : 1; k < count; ++k) num += tones[k]();
    taps[half - i] = num / divisor;
    divisor += kPi;
  }
  if (odd) taps[half] = centre;

  applyWindow(taps, len, winType);

  if (normal) {
    const double r = 1 / std::fabs(gain(band, fl, fh, taps, half, odd));
    for (int i = 0; i < half; ++i) taps[i] *= r;
    if (odd) taps[half] *= r;
  }
  // The even-length highpass is antisymmetric (its response vanishes at frequency 0).
  const bool anti = band == FirBand::Highpass && !odd;
  for (int i = 0; i < half; ++i) taps[len - 1 - i] = anti ? -taps[i] : taps[i];
}

}  // namespace kvo::kern
