// FIR filter design by the window method (module kvofirg).
#include <cstdint>
#include <cstring>

#include "frame/check.h"
#include "kernels/filter/firdesign.h"
#include "kvo.h"

namespace {

constexpr const char* kModule = "kvofirg";

using kvo::Site;
using kvo::kern::FirBand;

// Status codes of the design functions, below the library's own.
constexpr int kNullTaps = -9, kShortTaps = -10, kBadFreq = -11, kFreqOrder = -12;

// The messages are stored in Windows-1252: 0x92 is the right single quotation mark.
constexpr const char* kBadRfreq = "\nrfreq argument isn\x92t satisfactory\n";
constexpr const char* kBadLow = "\nrLowFreq argument isn\x92t satisfactory\n";
constexpr const char* kBadHigh = "\nrHighFreq argument isn\x92t satisfactory\n";

// 0 < f < 0.5. Positivity is read from the sign and exponent word: a zero or negative upper half
// rejects zero, negative numbers and positives below 2^-1042 alike. NaN fails the second test.
bool validFreq(double f) {
  std::uint64_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  return static_cast<std::int32_t>(bits >> 32) > 0 && f < 0.5;
}

// Reports the failed check and returns its status.
int fail(const Site& s, int status, const char* message) {
  s.report(status, message);
  return status;
}

// Returns the status of the first failed check, or 0 after the design.
int design(const Site& s, FirBand band, double fl, double fh, double* taps, int tapsLen,
           int winType, int doNormal) {
  if (!taps) return fail(s, kNullTaps, "\nNull pointer to taps[] array was passed\n");
  if (tapsLen <= 4) return fail(s, kShortTaps, "\ntapsLen argument is less five\n");
  if (band == FirBand::Lowpass || band == FirBand::Highpass) {
    if (!validFreq(fl)) return fail(s, kBadFreq, kBadRfreq);
  } else {
    if (!validFreq(fl)) return fail(s, kBadFreq, kBadLow);
    if (!validFreq(fh)) return fail(s, kBadFreq, kBadHigh);
    if (!(fl < fh)) {
      return fail(s, kFreqOrder, "\nrHighFreq argument is less rLowFreq argument\n");
    }
  }
  kvo::kern::firDesign(band, fl, fh, taps, tapsLen, winType, doNormal != 0);
  kvoSetErrStatus(KVO_StatusOk);
  return KVO_StatusOk;
}

}  // namespace

extern "C" {

KVO_API int KVO_CALL kvodFirLowpass(double rfreq, double* taps, int tapsLen, int winType,
                                    int doNormal) {
  return design(KVO_SITE, FirBand::Lowpass, rfreq, 0, taps, tapsLen, winType, doNormal);
}
KVO_API int KVO_CALL kvodFirHighpass(double rfreq, double* taps, int tapsLen, int winType,
                                     int doNormal) {
  return design(KVO_SITE, FirBand::Highpass, rfreq, 0, taps, tapsLen, winType, doNormal);
}
KVO_API int KVO_CALL kvodFirBandpass(double rLowFreq, double rHighFreq, double* taps, int tapsLen,
                                     int winType, int doNormal) {
  return design(KVO_SITE, FirBand::Bandpass, rLowFreq, rHighFreq, taps, tapsLen, winType, doNormal);
}
KVO_API int KVO_CALL kvodFirBandstop(double rLowFreq, double rHighFreq, double* taps, int tapsLen,
                                     int winType, int doNormal) {
  return design(KVO_SITE, FirBand::Bandstop, rLowFreq, rHighFreq, taps, tapsLen, winType, doNormal);
}
}
