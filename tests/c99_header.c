/* The public header as strict C99, and a few calls through the shared library. */
#include <stdio.h>

#include "kvo.h"

static int reports;

static int KVO_CALL countReports(int status, const char* funcName, const char* message,
                                 const char* fileName, int line) {
  (void)funcName;
  (void)message;
  (void)fileName;
  (void)line;
  ++reports;
  return status;
}

int main(void) {
  float a[3] = {1, 2, 3};
  float b[3] = {4, 5, 6};
  float d[3];
  ComplexFloat p;
  const LibVersionInfo* v = kvoGetLibVersion();

  kvoSetErrMode(KVO_ErrorModeParent);
  kvoRedirectError(countReports);
  kvosbAdd3(a, b, d, 3);
  kvosbAdd3(a, b, d, 0);
  p = kvocMpy(kvocSet(1, 2), kvocSet(3, 4));
  if (d[2] != 9 || reports != 1 || kvoGetErrStatus() != KVO_StatusBadArgument || p.re != -5 ||
      p.im != 10 || v->majorVersion != 3) {
    fprintf(stderr, "unexpected results\n");
    return 1;
  }
  return 0;
}
