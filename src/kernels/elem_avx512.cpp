#define KVO_ISA ::kvo::kern::Isa::Avx512
#include "kernels/elem.inl"
