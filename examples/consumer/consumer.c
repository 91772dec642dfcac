/* A first program against kvom6: the spectrum of a tone, and a report of a bad argument. */
#include <math.h>
#include <stdio.h>

#include "kvo.h"

int main(void) {
  enum { order = 8, n = 1 << order };
  const double pi = 3.14159265358979323846;
  float signal[n];
  ComplexFloat spectrum[n / 2 + 1];
  float mag[n / 2 + 1];
  int k, peak = 0;
  const LibVersionInfo* v = kvoGetLibVersion();

  for (k = 0; k < n; ++k) signal[k] = (float)cos(2 * pi * 19 * k / n);
  kvosRealFftNip(signal, spectrum, order, KVO_Forw);
  kvocbMag(spectrum, mag, n / 2 + 1);
  for (k = 1; k <= n / 2; ++k) {
    if (mag[k] > mag[peak]) peak = k;
  }

  /* Parent mode: a failed check returns its status instead of ending the program. */
  kvoSetErrMode(KVO_ErrorModeParent);
  kvoRedirectError(kvoNulDevReport);
  kvosbAdd1(1.0f, signal, 0);

  printf("kvom6 %d.%d: peak at bin %d (%.1f), bad length gives status %d\n", v->majorVersion,
         v->minorVersion, peak, mag[peak], kvoGetErrStatus());
  return peak == 19 && kvoGetErrStatus() == KVO_StatusBadArgument ? 0 : 1;
}
