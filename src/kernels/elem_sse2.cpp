#define KVO_ISA ::kvo::kern::Isa::Sse2
#include "kernels/elem.inl"
