// kvo-info: what the library is and which kernel set it chose on this processor.
//
// The library picks its kernels once, at load time, from what the processor and the operating
// system support (SSE2, AVX2 or AVX-512); nothing in the environment changes that choice.
#include <cstdio>

#include "kernels/isa.h"
#include "kvo.h"

int main() {
  const LibVersionInfo* v = kvoGetLibVersion();
  std::printf("library:      %s %d.%d.%d, %s %s\n", v->libFileName, v->majorVersion,
              v->minorVersion, v->buildNumber, v->versionText, v->internalVersionText);
  std::printf("built:        %s, %s\n", v->buildDateText, v->linkageText);
  std::printf("kernel set:   %s (the best this processor supports: %s)\n",
              kvo::kern::isaName(kvo::kern::isa()), kvo::kern::isaName(kvo::kern::hardwareIsa()));
  return 0;
}
