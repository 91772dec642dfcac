/* kvo-demo: the library at work on a few vectors, written as an application would use it. */
#include <math.h>
#include <stdio.h>

#include "kvo.h"

static void printComplex(const char* label, const ComplexFloat* v, int n) {
  int k;
  printf("%-28s", label);
  for (k = 0; k < n; ++k) printf(" (%g%+gi)", v[k].re, v[k].im);
  printf("\n");
}

/* The spectrum of a two-tone signal: forward real FFT, magnitudes, the strongest bins, and the
 * round trip back to the signal. */
static void spectrumDemo(void) {
  enum { order = 10, len = 1 << order };
  float* signal = kvosMalloc(len);
  float* back = kvosMalloc(len);
  ComplexFloat* ccs = kvocMalloc(len / 2 + 1);
  float* mag = kvosMalloc(len / 2 + 1);
  int k, first = 0, second = 0;
  double err = 0;

  for (k = 0; k < len; ++k) {
    signal[k] = (float)(sin(2 * 3.14159265358979 * 50 * k / len) +
                        0.25 * cos(2 * 3.14159265358979 * 120 * k / len));
  }
  kvosRealFftNip(signal, ccs, order, KVO_Forw);
  kvocbMag(ccs, mag, len / 2 + 1);
  for (k = 1; k <= len / 2; ++k) {
    if (mag[k] > mag[first]) {
      second = first;
      first = k;
    } else if (mag[k] > mag[second]) {
      second = k;
    }
  }
  kvosCcsFftNip(ccs, back, order, KVO_Inv);
  for (k = 0; k < len; ++k) err = fmax(err, fabs(back[k] - signal[k]));
  printf("%-28s bins %d (|X| = %.1f) and %d (|X| = %.1f); round trip max error %.2g\n",
         "FFT of 1024 samples:", first, mag[first], second, mag[second], err);
  kvoFree(mag);
  kvoFree(ccs);
  kvoFree(back);
  kvoFree(signal);
}

/* G.711 mu-law: 16-bit speech-range samples to 8-bit codes and back. */
static void companderDemo(void) {
  enum { len = 8000 };
  short* pcm = kvowMalloc(len);
  short* decoded = kvowMalloc(len);
  unsigned char* codes = (unsigned char*)kvoMalloc(len);
  double signalPower = 0, noisePower = 0;
  int k;

  for (k = 0; k < len; ++k) pcm[k] = (short)(8000 * sin(2 * 3.14159265358979 * 440 * k / 8000.0));
  kvowbLinToMuLaw(pcm, codes, len);
  kvowbMuLawToLin(codes, decoded, len);
  for (k = 0; k < len; ++k) {
    signalPower += (double)pcm[k] * pcm[k];
    noisePower += (double)(decoded[k] - pcm[k]) * (decoded[k] - pcm[k]);
  }
  printf("%-28s 440 Hz tone, 8 bits a sample, SNR %.1f dB\n",
         "mu-law round trip:", 10 * log10(signalPower / noisePower));
  kvoFree(codes);
  kvoFree(decoded);
  kvoFree(pcm);
}

int main(void) {
  const LibVersionInfo* version = kvoGetLibVersion();
  const int n = 8;
  float* x = kvosMalloc(n);
  float* y = kvosMalloc(n);
  ComplexFloat* spectrum = kvocMalloc(n);
  ComplexFloat* half = kvocMalloc(n / 2 + 1);
  ComplexFloat ratio;
  int k;

  /* Line by line, so the reports on standard error fall between the right lines. */
  setvbuf(stdout, NULL, _IOLBF, 0);
  printf("kvo signal-processing library: %s %d.%d.%d %s (%s)\n", version->libFileName,
         version->majorVersion, version->minorVersion, version->buildNumber, version->versionText,
         version->linkageText);

  /* Block arithmetic on caller-owned, library-allocated vectors. */
  for (k = 0; k < n; ++k) x[k] = (float)sin(2 * 3.14159265358979 * k / n);
  kvosbSet(0.5f, y, n);
  kvosbAdd2(x, y, n);    /* y = x + 0.5 */
  kvosbMpy1(2.0f, y, n); /* y = 2x + 1 */
  printf("%-28s", "2*sin + 1:");
  for (k = 0; k < n; ++k) printf(" %.3f", y[k]);
  printf("\n");

  /* A conjugate-symmetric spectrum rebuilt from its first half. */
  for (k = 0; k <= n / 2; ++k) {
    half[k].re = (float)(n / 2 - k);
    half[k].im = (float)(k % (n / 2) == 0 ? 0 : k);
  }
  kvocbConjExtend2(half, spectrum, n / 2 + 1);
  printComplex("conjugate-symmetric:", spectrum, n);

  ratio = kvocDiv(kvocSet(1, 2), kvocSet(3, 4));
  printf("%-28s (%g%+gi)\n", "(1+2i)/(3+4i):", ratio.re, ratio.im);

  spectrumDemo();
  companderDemo();

  /* Errors: in parent mode the report goes to the chosen reporter and the call returns. */
  kvoSetErrMode(KVO_ErrorModeParent);
  kvoRedirectError(kvoStdErrReport);
  printf("calling kvosbAdd3 with n = 0 (the report goes to standard error):\n");
  kvosbAdd3(x, y, y, 0);
  printf("status afterwards: %d (%s)\n", kvoGetErrStatus(), kvoErrorStr(kvoGetErrStatus()));
  ratio = kvocDiv(ratio, kvocSet(0, 0));
  printf("status afterwards: %d (%s), result (%g%+gi)\n", kvoGetErrStatus(),
         kvoErrorStr(kvoGetErrStatus()), ratio.re, ratio.im);

  kvoFree(half);
  kvoFree(spectrum);
  kvoFree(y);
  kvoFree(x);
  return 0;
}
