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

int main(void) {
  const LibVersionInfo* version = kvoGetLibVersion();
  const int n = 8;
  float* x = kvosMalloc(n);
  float* y = kvosMalloc(n);
  ComplexFloat* spectrum = kvocMalloc(n);
  ComplexFloat* half = kvocMalloc(n / 2 + 1);
  ComplexFloat ratio;
  int k;

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

  /* Errors: in parent mode the report goes to the chosen reporter and the call returns. */
  kvoSetErrMode(KVO_ErrorModeParent);
  kvoRedirectError(kvoStdErrReport);
  printf("calling kvosbAdd3 with n = 0 (the report goes to standard error):\n");
  fflush(stdout);
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
