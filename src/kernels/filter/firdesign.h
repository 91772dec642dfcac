// Linear-phase FIR taps by the window method.
#pragma once

namespace kvo::kern {

enum class FirBand { Lowpass, Highpass, Bandpass, Bandstop };

// Fills taps[0..len-1] (len >= 5) for band edges 0 < fl < fh < 0.5 (lowpass and highpass use fl
// only). winType 1 Bartlett, 2 optimal Blackman, 3 Hamming, 4 Hann, anything else none; `normal`
// scales to unit gain at the band's reference frequency.
void firDesign(FirBand band, double fl, double fh, double* taps, int len, int winType, bool normal);

}  // namespace kvo::kern
