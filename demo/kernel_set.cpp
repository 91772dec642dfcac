// The kernel set the library chose on this processor, for the demo's first line. The choice is
// made once, from what the processor and the operating system support.
#include "kernels/isa.h"

extern "C" const char* kvoDemoKernelSet(void) { return kvo::kern::isaName(kvo::kern::isa()); }
