// The built-in filters of the wavelet transform (see wltsfilters.cpp for their sources).
#pragma once

namespace kvo::wavelet {

struct Filter {
  const double* taps = nullptr;
  int length = 0;
};

// Orthogonal low-pass rows by parameter; an empty filter outside the parameter's range.
Filter daublet(int p);  // 1..10
Filter symmlet(int p);  // 1..7
Filter coiflet(int p);  // 1..5
Filter ortho24();

// A biorthogonal pair: decomposition low-pass and high-pass, reconstruction low-pass and
// high-pass, and the offsets of the pair and of its dual (the filters reversed, decomposition
// and reconstruction exchanged).
struct BiorthPair {
  int par1, par2;
  Filter f[4];
  int ofs[4];
  int dualOfs[4];
};
const BiorthPair* biorth(int par1, int par2);  // null for a pair not stored

}  // namespace kvo::wavelet
