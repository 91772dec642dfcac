#define KVO_ISA ::kvo::kern::Isa::Avx2
#include "kernels/elemlnexp.inl"
