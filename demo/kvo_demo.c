/* kvo-demo: the library's main job, as an application would write it.
 *
 * A noisy two-tone signal is synthesised (tone generators plus seeded Gaussian noise), a lowpass
 * is designed with the window method, the signal is filtered with the block FIR filter and
 * decimated by 4 with a multi-rate FIR filter, the spectra before and after are measured with a
 * Hann window and the real FFT, and the filtered signal makes a mu-law round trip. The demo prints
 * the figures and draws the spectra and the filter's response into an SVG picture of its own. */
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "kvo.h"

const char* kvoDemoKernelSet(void); /* kernel_set.cpp: the kernel set the library chose */

enum { segOrder = 12, segLen = 1 << segOrder, bins = segLen / 2 + 1, decim = 4 };

typedef struct {
  int length;      /* samples synthesised */
  double cutoff;   /* lowpass edge, relative to the sampling rate */
  int taps;        /* lowpass length */
  unsigned seed;   /* noise seed */
  const char* svg; /* where the picture goes */
} Options;

static const double kWanted = 0.03;   /* the tone to keep */
static const double kUnwanted = 0.31; /* the tone to remove */
static const double kNoise = 0.05;    /* standard deviation of the noise */

static void usage(FILE* to) {
  fprintf(to,
          "usage: kvo-demo [options]\n"
          "  -n, --length N    samples to synthesise (default 262144, at least %d)\n"
          "  -c, --cutoff F    lowpass edge relative to the sampling rate, 0 < F < 0.125 "
          "(default 0.1)\n"
          "  -t, --taps L      lowpass length, 3 .. 4095 (default 127)\n"
          "  -s, --seed S      noise seed (default 1998)\n"
          "  -o, --output P    the SVG picture (default kvo-demo.svg)\n"
          "  -h, --help        this text\n",
          4 * segLen);
}

static int parse(int argc, char** argv, Options* o) {
  int i;
  o->length = 1 << 18;
  o->cutoff = 0.1;
  o->taps = 127;
  o->seed = 1998;
  o->svg = "kvo-demo.svg";
  /* Options come in pairs: a name and its value. */
  for (i = 1; i < argc; i += 2) {
    const char* a = argv[i];
    const char* v = i + 1 < argc ? argv[i + 1] : NULL;
    if (!strcmp(a, "-h") || !strcmp(a, "--help")) {
      usage(stdout);
      exit(0);
    }
    if (!v) break;
    if (!strcmp(a, "-n") || !strcmp(a, "--length"))
      o->length = atoi(v);
    else if (!strcmp(a, "-c") || !strcmp(a, "--cutoff"))
      o->cutoff = atof(v);
    else if (!strcmp(a, "-t") || !strcmp(a, "--taps"))
      o->taps = atoi(v);
    else if (!strcmp(a, "-s") || !strcmp(a, "--seed"))
      o->seed = (unsigned)strtoul(v, NULL, 10);
    else if (!strcmp(a, "-o") || !strcmp(a, "--output"))
      o->svg = v;
    else
      break;
  }
  if (i < argc || o->length < 4 * segLen || !(o->cutoff > 0 && o->cutoff < 0.125) || o->taps < 3 ||
      o->taps > 4095) {
    usage(stderr);
    return 0;
  }
  return 1;
}

/* Averaged periodogram (Welch, Hann window, half-overlapping segments), in power per bin. */
static void spectrum(const float* x, int n, float* power) {
  float* seg = kvosMalloc(segLen);
  ComplexFloat* ccs = kvocMalloc(bins);
  float* p = kvosMalloc(bins);
  double windowPower = 0;
  int start, count = 0, k;

  for (k = 0; k < segLen; ++k) seg[k] = 1.0f;
  kvosWinHann(seg, segLen);
  for (k = 0; k < segLen; ++k) windowPower += (double)seg[k] * seg[k];
  kvosbZero(power, bins);
  for (start = 0; start + segLen <= n; start += segLen / 2, ++count) {
    kvosbCopy(x + start, seg, segLen);
    kvosWinHann(seg, segLen);
    kvosRealFftNip(seg, ccs, segOrder, KVO_Forw);
    kvocbPowerSpectr(ccs, p, bins);
    kvosbAdd2(p, power, bins);
  }
  /* Per-bin power of a unit-variance signal sums to 1 over the one-sided spectrum. */
  for (k = 0; k < bins; ++k)
    power[k] *= (float)((k == 0 || k == bins - 1 ? 1.0 : 2.0) / (count * windowPower * segLen));
  kvoFree(p);
  kvoFree(ccs);
  kvoFree(seg);
}

/* Power within +-3 bins of a frequency (the Hann window's main lobe and a margin). */
static double bandPower(const float* power, double freq) {
  int c = (int)floor(freq * segLen + 0.5), k;
  double s = 0;
  for (k = c - 3; k <= c + 3; ++k)
    if (k >= 0 && k < bins) s += power[k];
  return s;
}

static double totalPower(const float* power) {
  double s = 0;
  int k;
  for (k = 0; k < bins; ++k) s += power[k];
  return s;
}

static double dB(double ratio) { return 10 * log10(ratio > 1e-30 ? ratio : 1e-30); }

/* The SNR of the wanted tone at freq: its power against everything else from 0 to half the rate
 * (after decimation the tone sits at decim times its old relative frequency). */
static double snr(const float* power, double freq) {
  double tone = bandPower(power, freq);
  return dB(tone / (totalPower(power) - tone));
}

static void responseDb(const float* h, int taps, float* out) {
  float* buf = kvosMalloc(segLen);
  ComplexFloat* ccs = kvocMalloc(bins);
  int k;
  kvosbZero(buf, segLen);
  kvosbCopy(h, buf, taps);
  kvosRealFftNip(buf, ccs, segOrder, KVO_Forw);
  kvocbPowerSpectr(ccs, out, bins);
  for (k = 0; k < bins; ++k) out[k] = (float)dB(out[k]);
  kvoFree(ccs);
  kvoFree(buf);
}

static void polyline(FILE* f, const float* y, int isDb, const char* colour) {
  int k;
  fprintf(f, "<polyline fill='none' stroke='%s' stroke-width='1.2' points='", colour);
  for (k = 0; k < bins; k += 2) {
    double v = isDb ? y[k] : dB(y[k]);
    if (v < -140) v = -140;
    if (v > 10) v = 10;
    fprintf(f, "%.1f,%.1f ", 60 + 880.0 * k / (bins - 1), 40 + 440.0 * (10 - v) / 150);
  }
  fprintf(f, "'/>\n");
}

static int writeSvg(const char* path, const float* before, const float* after,
                    const float* response, const Options* o) {
  FILE* f = fopen(path, "w");
  int i;
  if (!f) return 0;
  fprintf(f,
          "<svg xmlns='http://www.w3.org/2000/svg' width='1000' height='540' "
          "font-family='sans-serif' font-size='13'>\n<rect width='1000' height='540' "
          "fill='white'/>\n");
  fprintf(f,
          "<text x='60' y='24' font-size='16'>kvo-demo: spectra before and after a %d-tap "
          "lowpass at %.3g fs, and the filter's response</text>\n",
          o->taps, o->cutoff);
  for (i = 0; i <= 15; ++i) { /* dB grid, 10 dB apart */
    double y = 40 + 440.0 * i / 15;
    fprintf(f,
            "<line x1='60' x2='940' y1='%.1f' y2='%.1f' stroke='#ddd'/>"
            "<text x='52' y='%.1f' text-anchor='end'>%d</text>\n",
            y, y, y + 4, 10 - 10 * i);
  }
  for (i = 0; i <= 10; ++i) { /* frequency grid, 0.05 fs apart */
    double x = 60 + 88.0 * i;
    fprintf(f,
            "<line x1='%.1f' x2='%.1f' y1='40' y2='480' stroke='#ddd'/>"
            "<text x='%.1f' y='498' text-anchor='middle'>%.2f</text>\n",
            x, x, x, 0.05 * i);
  }
  fprintf(f,
          "<text x='500' y='522' text-anchor='middle'>frequency (fraction of the sampling "
          "rate)</text>\n<text x='16' y='260' transform='rotate(-90 16 260)' "
          "text-anchor='middle'>dB</text>\n");
  polyline(f, before, 0, "#999999");
  polyline(f, after, 0, "#1f5fbf");
  polyline(f, response, 1, "#c0392b");
  fprintf(f,
          "<g font-size='13'><rect x='700' y='50' width='230' height='70' fill='white' "
          "stroke='#ccc'/><text x='712' y='70' fill='#999999'>input spectrum</text>"
          "<text x='712' y='90' fill='#1f5fbf'>after the lowpass</text>"
          "<text x='712' y='110' fill='#c0392b'>lowpass response</text></g>\n</svg>\n");
  return fclose(f) == 0;
}

int main(int argc, char** argv) {
  Options o;
  ToneState wanted, unwanted;
  RandGausState noise;
  FirState lowpass, decimator;
  double* design;
  float *taps, *x, *y, *z, *work, *pBefore, *pAfter, *pDecim, *resp;
  short *pcm, *decoded;
  unsigned char* codes;
  double sig = 0, err = 0, fullScale = 8192;
  int k, n, block, nd;

  if (!parse(argc, argv, &o)) return 2;
  n = o.length;
  nd = n / decim;
  kvoSetErrMode(KVO_ErrorModeParent);
  kvoRedirectError(kvoStdErrReport);
  printf("kvo-demo: %d samples, lowpass %d taps at %.3g fs, decimation by %d; kernels: %s\n", n,
         o.taps, o.cutoff, decim, kvoDemoKernelSet());

  /* 1. The signal: a wanted tone, an unwanted one above the cutoff, and white noise. */
  x = kvosMalloc(n);
  work = kvosMalloc(n);
  kvosToneInit((float)kWanted, 0.0f, 1.0f, &wanted);
  kvosToneInit((float)kUnwanted, 1.0f, 0.5f, &unwanted);
  kvosRandGausInit((float)o.seed, 0.0f, (float)kNoise, &noise);
  kvosbTone(&wanted, x, n);
  kvosbTone(&unwanted, work, n);
  kvosbAdd2(work, x, n);
  kvosbRandGaus(&noise, work, n);
  kvosbAdd2(work, x, n);

  /* 2. The lowpass, designed in double precision with a Hamming window, used in float. */
  design = kvodMalloc(o.taps);
  taps = kvosMalloc(o.taps);
  if (kvodFirLowpass(o.cutoff, design, o.taps, 3, 1) < 0) return 1;
  for (k = 0; k < o.taps; ++k) taps[k] = (float)design[k];

  /* 3. Block filtering, the way a stream arrives: 4096 samples at a time, history carried over. */
  y = kvosMalloc(n);
  if (kvosFirInit(taps, o.taps, NULL, &lowpass) < 0) return 1;
  for (k = 0; k < n; k += block) {
    block = n - k < 4096 ? n - k : 4096;
    kvosbFir(&lowpass, x + k, y + k, block);
  }

  /* 4. Decimation by 4 in one multi-rate filter: only the kept outputs are computed. */
  z = kvosMalloc(nd);
  if (kvosFirInitMr(taps, o.taps, NULL, 1, 0, decim, 0, &decimator) < 0) return 1;
  kvosbFir(&decimator, x, z, nd);

  /* 5. Spectra before and after, and the filter's own response. */
  pBefore = kvosMalloc(bins);
  pAfter = kvosMalloc(bins);
  pDecim = kvosMalloc(bins);
  resp = kvosMalloc(bins);
  spectrum(x, n, pBefore);
  spectrum(y, n, pAfter);
  spectrum(z, nd, pDecim);
  responseDb(taps, o.taps, resp);
  printf(
      "SNR of the tone at %.2f fs:  %6.1f dB before, %6.1f dB after the lowpass, %6.1f dB "
      "after decimation\n",
      kWanted, snr(pBefore, kWanted), snr(pAfter, kWanted), snr(pDecim, kWanted * decim));
  printf("tone at %.2f fs:             %6.1f dB suppressed (filter response %.1f dB there)\n",
         kUnwanted, dB(bandPower(pBefore, kUnwanted) / bandPower(pAfter, kUnwanted)),
         resp[(int)floor(kUnwanted * segLen + 0.5)]);
  printf("passband ripple:             %6.3f dB at 0 .. %.3g fs\n",
         resp[(int)(0.8 * o.cutoff * segLen)] - resp[0], 0.8 * o.cutoff);

  /* 6. A mu-law round trip of the filtered signal, at telephone level. */
  pcm = kvowMalloc(n);
  decoded = kvowMalloc(n);
  codes = (unsigned char*)kvoMalloc(n);
  for (k = 0; k < n; ++k) work[k] = (float)(y[k] * fullScale);
  kvosbFloatToInt(work, pcm, n, 16, KVO_RoundNearest | KVO_Clip);
  kvowbLinToMuLaw(pcm, codes, n);
  kvowbMuLawToLin(codes, decoded, n);
  for (k = 0; k < n; ++k) {
    sig += (double)pcm[k] * pcm[k];
    err += (double)(decoded[k] - pcm[k]) * (decoded[k] - pcm[k]);
  }
  printf("mu-law round trip:           %6.1f dB signal to quantisation noise, 8 bits a sample\n",
         dB(sig / err));

  if (writeSvg(o.svg, pBefore, pAfter, resp, &o))
    printf("picture: %s (spectra before and after, and the lowpass response)\n", o.svg);
  else
    fprintf(stderr, "kvo-demo: cannot write %s\n", o.svg);

  kvoFirFree(&decimator);
  kvoFirFree(&lowpass);
  kvoFree(codes);
  kvoFree(decoded);
  kvoFree(pcm);
  kvoFree(resp);
  kvoFree(pDecim);
  kvoFree(pAfter);
  kvoFree(pBefore);
  kvoFree(z);
  kvoFree(y);
  kvoFree(taps);
  kvoFree(design);
  kvoFree(work);
  kvoFree(x);
  return 0;
}
