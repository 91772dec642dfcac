/*
 * kvo.h - public interface of the kvo signal-processing library (kvom6).
 *
 * Plain C API, valid C99 and C++. Every function works on arrays that the caller owns; lengths,
 * orders and counts are 32-bit signed integers. Failures are reported through kvoError (status,
 * function name, message, module, line) and the thread's report function; see kvoRedirectError
 * and kvoSetErrMode.
 *
 * Type codes in the names: s float, c ComplexFloat, d double, z ComplexDouble, w 16-bit integer,
 * v ComplexShort, i 32-bit integer, j ComplexInt. A "b" after the type code marks an operation on
 * a whole vector, an "r" complex data held as separate real and imaginary arrays. Suffix 1 works in
 * place with a scalar operand, 2 overwrites the second vector, 3 writes a separate output.
 */
#ifndef KVO_H
#define KVO_H

#if defined(_WIN32) && !defined(_WIN64)
#define KVO_CALL __cdecl
#else
#define KVO_CALL
#endif

#if defined(_WIN32)
/* The DLL's export table comes from a module-definition file, so nothing is marked here. */
#define KVO_API
#elif defined(__GNUC__)
#define KVO_API __attribute__((visibility("default")))
#else
#define KVO_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ------------------------------------------------------------------------------------------------
 * Records and constants
 * ---------------------------------------------------------------------------------------------- */

typedef struct {
  float re, im;
} ComplexFloat;

typedef struct {
  double re, im;
} ComplexDouble;

typedef struct {
  short re, im;
} ComplexShort;

typedef struct {
  int re, im;
} ComplexInt;

/* Status codes. Negative values are failures; -1 and -8 are report kinds, never stored. */
enum {
  KVO_StatusOk = 0,
  KVO_StatusBacktrace = -1,
  KVO_StatusError = -2,
  KVO_StatusBadState = -3,
  KVO_StatusOutOfMemory = -4,
  KVO_StatusBadArgument = -5,
  KVO_StatusUnsupported = -6,
  KVO_StatusNoConvergence = -7,
  KVO_StatusAutotrace = -8
};

/* Error modes (kvoSetErrMode). */
enum { KVO_ErrorModeLeaf = 0, KVO_ErrorModeParent = 1, KVO_ErrorModeSilent = 2 };

/* Scale modes of functions with 16-bit results. 2|1 is "fixed scale, saturate". */
enum { KVO_NO_SCALE = 0, KVO_SATURATE = 1, KVO_FIXED_SCALE = 2, KVO_AUTO_SCALE = 4 };

/* A report function receives every report of its thread; it returns the status as a rule. */
typedef int(KVO_CALL* ReportFunction)(int status, const char* funcName, const char* message,
                                      const char* fileName, int line);

typedef struct {
  int majorVersion;
  int minorVersion;
  int buildNumber;
  const char* libFileName;
  const char* versionText;
  const char* internalVersionText;
  const char* buildDateText;
  const char* linkageText;
} LibVersionInfo;

/* ------------------------------------------------------------------------------------------------
 * Errors and the per-thread context
 * ---------------------------------------------------------------------------------------------- */

KVO_API int KVO_CALL kvoError(int status, const char* funcName, const char* message,
                              const char* fileName, int line);
KVO_API int KVO_CALL kvoGetErrStatus(void);
KVO_API void KVO_CALL kvoSetErrStatus(int status);
KVO_API int KVO_CALL kvoGetErrMode(void);
KVO_API void KVO_CALL kvoSetErrMode(int mode);
KVO_API ReportFunction KVO_CALL kvoRedirectError(ReportFunction fn);
KVO_API const char* KVO_CALL kvoErrorStr(int status);
KVO_API int KVO_CALL kvoGuiBoxReport(int status, const char* funcName, const char* message,
                                     const char* fileName, int line);
KVO_API int KVO_CALL kvoStdErrReport(int status, const char* funcName, const char* message,
                                     const char* fileName, int line);
KVO_API int KVO_CALL kvoNulDevReport(int status, const char* funcName, const char* message,
                                     const char* fileName, int line);

/* ------------------------------------------------------------------------------------------------
 * Memory and version
 * ---------------------------------------------------------------------------------------------- */

KVO_API void* KVO_CALL kvoMalloc(int length);
KVO_API short* KVO_CALL kvowMalloc(int length);
KVO_API float* KVO_CALL kvosMalloc(int length);
KVO_API int* KVO_CALL kvoiMalloc(int length);
KVO_API ComplexShort* KVO_CALL kvovMalloc(int length);
KVO_API ComplexFloat* KVO_CALL kvocMalloc(int length);
KVO_API double* KVO_CALL kvodMalloc(int length);
KVO_API ComplexInt* KVO_CALL kvojMalloc(int length);
KVO_API ComplexDouble* KVO_CALL kvozMalloc(int length);
KVO_API void KVO_CALL kvoFree(void* block);
KVO_API const LibVersionInfo* KVO_CALL kvoGetLibVersion(void);

/* ------------------------------------------------------------------------------------------------
 * Floating-point block arithmetic and complex scalars
 * ---------------------------------------------------------------------------------------------- */

KVO_API void KVO_CALL kvosbZero(float* dst, int n);
KVO_API void KVO_CALL kvocbZero(ComplexFloat* dst, int n);
KVO_API void KVO_CALL kvodbZero(double* dst, int n);
KVO_API void KVO_CALL kvozbZero(ComplexDouble* dst, int n);

KVO_API void KVO_CALL kvosbSet(float val, float* dst, int n);
KVO_API void KVO_CALL kvocbSet(float re, float im, ComplexFloat* dst, int n);
KVO_API void KVO_CALL kvodbSet(double val, double* dst, int n);
KVO_API void KVO_CALL kvozbSet(double re, double im, ComplexDouble* dst, int n);

KVO_API void KVO_CALL kvosbCopy(const float* src, float* dst, int n);
KVO_API void KVO_CALL kvocbCopy(const ComplexFloat* src, ComplexFloat* dst, int n);
KVO_API void KVO_CALL kvodbCopy(const double* src, double* dst, int n);
KVO_API void KVO_CALL kvozbCopy(const ComplexDouble* src, ComplexDouble* dst, int n);

KVO_API void KVO_CALL kvosbAdd1(float val, float* dst, int n);
KVO_API void KVO_CALL kvocbAdd1(ComplexFloat val, ComplexFloat* dst, int n);
KVO_API void KVO_CALL kvodbAdd1(double val, double* dst, int n);
KVO_API void KVO_CALL kvozbAdd1(ComplexDouble val, ComplexDouble* dst, int n);
KVO_API void KVO_CALL kvosbAdd2(const float* src, float* dst, int n);
KVO_API void KVO_CALL kvocbAdd2(const ComplexFloat* src, ComplexFloat* dst, int n);
KVO_API void KVO_CALL kvodbAdd2(const double* src, double* dst, int n);
KVO_API void KVO_CALL kvozbAdd2(const ComplexDouble* src, ComplexDouble* dst, int n);
KVO_API void KVO_CALL kvosbAdd3(const float* srcA, const float* srcB, float* dst, int n);
KVO_API void KVO_CALL kvocbAdd3(const ComplexFloat* srcA, const ComplexFloat* srcB,
                                ComplexFloat* dst, int n);
KVO_API void KVO_CALL kvodbAdd3(const double* srcA, const double* srcB, double* dst, int n);
KVO_API void KVO_CALL kvozbAdd3(const ComplexDouble* srcA, const ComplexDouble* srcB,
                                ComplexDouble* dst, int n);

KVO_API void KVO_CALL kvosbSub1(float val, float* dst, int n);
KVO_API void KVO_CALL kvocbSub1(ComplexFloat val, ComplexFloat* dst, int n);
KVO_API void KVO_CALL kvodbSub1(double val, double* dst, int n);
KVO_API void KVO_CALL kvozbSub1(ComplexDouble val, ComplexDouble* dst, int n);
KVO_API void KVO_CALL kvosbSub2(const float* val, float* dst, int n);
KVO_API void KVO_CALL kvocbSub2(const ComplexFloat* val, ComplexFloat* dst, int n);
KVO_API void KVO_CALL kvodbSub2(const double* val, double* dst, int n);
KVO_API void KVO_CALL kvozbSub2(const ComplexDouble* val, ComplexDouble* dst, int n);
KVO_API void KVO_CALL kvosbSub3(const float* src, const float* val, float* dst, int n);
KVO_API void KVO_CALL kvocbSub3(const ComplexFloat* src, const ComplexFloat* val, ComplexFloat* dst,
                                int n);
KVO_API void KVO_CALL kvodbSub3(const double* src, const double* val, double* dst, int n);
KVO_API void KVO_CALL kvozbSub3(const ComplexDouble* src, const ComplexDouble* val,
                                ComplexDouble* dst, int n);

KVO_API void KVO_CALL kvosbMpy1(float val, float* dst, int n);
KVO_API void KVO_CALL kvocbMpy1(ComplexFloat val, ComplexFloat* dst, int n);
KVO_API void KVO_CALL kvodbMpy1(double val, double* dst, int n);
KVO_API void KVO_CALL kvozbMpy1(ComplexDouble val, ComplexDouble* dst, int n);
KVO_API void KVO_CALL kvosbMpy2(const float* src, float* dst, int n);
KVO_API void KVO_CALL kvocbMpy2(const ComplexFloat* src, ComplexFloat* dst, int n);
KVO_API void KVO_CALL kvodbMpy2(const double* src, double* dst, int n);
KVO_API void KVO_CALL kvozbMpy2(const ComplexDouble* src, ComplexDouble* dst, int n);
KVO_API void KVO_CALL kvosbMpy3(const float* srcA, const float* srcB, float* dst, int n);
KVO_API void KVO_CALL kvocbMpy3(const ComplexFloat* srcA, const ComplexFloat* srcB,
                                ComplexFloat* dst, int n);
KVO_API void KVO_CALL kvodbMpy3(const double* srcA, const double* srcB, double* dst, int n);
KVO_API void KVO_CALL kvozbMpy3(const ComplexDouble* srcA, const ComplexDouble* srcB,
                                ComplexDouble* dst, int n);

KVO_API void KVO_CALL kvocbConj1(ComplexFloat* vec, int n);
KVO_API void KVO_CALL kvozbConj1(ComplexDouble* vec, int n);
KVO_API void KVO_CALL kvocbConj2(const ComplexFloat* src, ComplexFloat* dst, int n);
KVO_API void KVO_CALL kvozbConj2(const ComplexDouble* src, ComplexDouble* dst, int n);
KVO_API void KVO_CALL kvocbConjFlip2(const ComplexFloat* src, ComplexFloat* dst, int n);
KVO_API void KVO_CALL kvozbConjFlip2(const ComplexDouble* src, ComplexDouble* dst, int n);
KVO_API void KVO_CALL kvocbConjExtend1(ComplexFloat* vec, int n);
KVO_API void KVO_CALL kvozbConjExtend1(ComplexDouble* vec, int n);
KVO_API void KVO_CALL kvocbConjExtend2(const ComplexFloat* src, ComplexFloat* dst, int n);
KVO_API void KVO_CALL kvozbConjExtend2(const ComplexDouble* src, ComplexDouble* dst, int n);

KVO_API ComplexFloat KVO_CALL kvocAdd(ComplexFloat a, ComplexFloat b);
KVO_API ComplexDouble KVO_CALL kvozAdd(ComplexDouble a, ComplexDouble b);
KVO_API ComplexFloat KVO_CALL kvocSub(ComplexFloat a, ComplexFloat b);
KVO_API ComplexDouble KVO_CALL kvozSub(ComplexDouble a, ComplexDouble b);
KVO_API ComplexFloat KVO_CALL kvocMpy(ComplexFloat a, ComplexFloat b);
KVO_API ComplexDouble KVO_CALL kvozMpy(ComplexDouble a, ComplexDouble b);
KVO_API ComplexFloat KVO_CALL kvocDiv(ComplexFloat a, ComplexFloat b);
KVO_API ComplexDouble KVO_CALL kvozDiv(ComplexDouble a, ComplexDouble b);
KVO_API ComplexFloat KVO_CALL kvocConj(ComplexFloat a);
KVO_API ComplexDouble KVO_CALL kvozConj(ComplexDouble a);
KVO_API ComplexFloat KVO_CALL kvocSet(float re, float im);
KVO_API ComplexDouble KVO_CALL kvozSet(double re, double im);

/* ------------------------------------------------------------------------------------------------
 * 16-bit block arithmetic and scaling
 * ---------------------------------------------------------------------------------------------- */

/* Functions with 16-bit results take scaleMode (KVO_NO_SCALE, KVO_SATURATE, KVO_FIXED_SCALE,
 * KVO_FIXED_SCALE | KVO_SATURATE or KVO_AUTO_SCALE) and scaleFactor: the exact result is stored
 * times 2^-*scaleFactor. The fixed modes read the factor (null counts as 0; factors are taken
 * modulo 32 here), the automatic mode writes the smallest right shift that makes every result fit.
 */

KVO_API void KVO_CALL kvowbZero(short* dst, int n);
KVO_API void KVO_CALL kvovbZero(ComplexShort* dst, int n);
KVO_API void KVO_CALL kvowbSet(short val, short* dst, int n);
KVO_API void KVO_CALL kvovbSet(short re, short im, ComplexShort* dst, int n);
KVO_API void KVO_CALL kvowbCopy(const short* src, short* dst, int n);
KVO_API void KVO_CALL kvovbCopy(const ComplexShort* src, ComplexShort* dst, int n);

KVO_API void KVO_CALL kvowbAdd1(short val, short* dst, int n, int scaleMode, int* scaleFactor);
KVO_API void KVO_CALL kvovbAdd1(ComplexShort val, ComplexShort* dst, int n, int scaleMode,
                                int* scaleFactor);
KVO_API void KVO_CALL kvowbAdd2(const short* src, short* dst, int n, int scaleMode,
                                int* scaleFactor);
KVO_API void KVO_CALL kvovbAdd2(const ComplexShort* src, ComplexShort* dst, int n, int scaleMode,
                                int* scaleFactor);
KVO_API void KVO_CALL kvowbAdd3(const short* srcA, const short* srcB, short* dst, int n,
                                int scaleMode, int* scaleFactor);
KVO_API void KVO_CALL kvovbAdd3(const ComplexShort* srcA, const ComplexShort* srcB,
                                ComplexShort* dst, int n, int scaleMode, int* scaleFactor);

KVO_API void KVO_CALL kvowbSub1(short val, short* dst, int n, int scaleMode, int* scaleFactor);
KVO_API void KVO_CALL kvovbSub1(ComplexShort val, ComplexShort* dst, int n, int scaleMode,
                                int* scaleFactor);
KVO_API void KVO_CALL kvowbSub2(const short* val, short* dst, int n, int scaleMode,
                                int* scaleFactor);
KVO_API void KVO_CALL kvovbSub2(const ComplexShort* val, ComplexShort* dst, int n, int scaleMode,
                                int* scaleFactor);
KVO_API void KVO_CALL kvowbSub3(const short* src, const short* val, short* dst, int n,
                                int scaleMode, int* scaleFactor);
KVO_API void KVO_CALL kvovbSub3(const ComplexShort* src, const ComplexShort* val, ComplexShort* dst,
                                int n, int scaleMode, int* scaleFactor);

KVO_API void KVO_CALL kvowbMpy1(short val, short* dst, int n, int scaleMode, int* scaleFactor);
KVO_API void KVO_CALL kvovbMpy1(ComplexShort val, ComplexShort* dst, int n, int scaleMode,
                                int* scaleFactor);
KVO_API void KVO_CALL kvowbMpy2(const short* src, short* dst, int n, int scaleMode,
                                int* scaleFactor);
KVO_API void KVO_CALL kvovbMpy2(const ComplexShort* src, ComplexShort* dst, int n, int scaleMode,
                                int* scaleFactor);
KVO_API void KVO_CALL kvowbMpy3(const short* srcA, const short* srcB, short* dst, int n,
                                int scaleMode, int* scaleFactor);
KVO_API void KVO_CALL kvovbMpy3(const ComplexShort* srcA, const ComplexShort* srcB,
                                ComplexShort* dst, int n, int scaleMode, int* scaleFactor);

/* Conjugation as for the floating-point types; the negated imaginary part wraps. */
KVO_API void KVO_CALL kvovbConj1(ComplexShort* vec, int n);
KVO_API void KVO_CALL kvovbConj2(const ComplexShort* src, ComplexShort* dst, int n);
KVO_API void KVO_CALL kvovbConjFlip2(const ComplexShort* src, ComplexShort* dst, int n);
KVO_API void KVO_CALL kvovbConjExtend1(ComplexShort* vec, int n);
KVO_API void KVO_CALL kvovbConjExtend2(const ComplexShort* src, ComplexShort* dst, int n);

KVO_API ComplexShort KVO_CALL kvovAdd(ComplexShort a, ComplexShort b, int scaleMode,
                                      int* scaleFactor);
KVO_API ComplexShort KVO_CALL kvovSub(ComplexShort a, ComplexShort b, int scaleMode,
                                      int* scaleFactor);
KVO_API ComplexShort KVO_CALL kvovMpy(ComplexShort a, ComplexShort b, int scaleMode,
                                      int* scaleFactor);
/* Truncated toward zero and saturated; a zero divisor is reported and gives 0. */
KVO_API ComplexShort KVO_CALL kvovDiv(ComplexShort a, ComplexShort b);
KVO_API ComplexShort KVO_CALL kvovConj(ComplexShort a);
KVO_API ComplexShort KVO_CALL kvovSet(short re, short im);

/* ------------------------------------------------------------------------------------------------
 * Element functions
 * ---------------------------------------------------------------------------------------------- */

/* Each function exists in place on one vector (suffix 1) and from src to dst (suffix 2). */

/* Relation of the threshold functions: KVO_LT raises elements below thresh to it; any other value
 * (KVO_GT by convention) lowers elements above thresh to it. */
enum { KVO_LT = 0, KVO_GT = 1 };

/* Squares; complex squares are formed in at least double precision and rounded once. The 16-bit
 * members store the exact square under scaleMode (bits tested in the order auto, fixed, saturate;
 * auto writes the smallest right shift that makes every square fit). */
KVO_API void KVO_CALL kvosbSqr1(float* vec, int len);
KVO_API void KVO_CALL kvosbSqr2(const float* src, float* dst, int len);
KVO_API void KVO_CALL kvocbSqr1(ComplexFloat* vec, int len);
KVO_API void KVO_CALL kvocbSqr2(const ComplexFloat* src, ComplexFloat* dst, int len);
KVO_API void KVO_CALL kvodbSqr1(double* vec, int len);
KVO_API void KVO_CALL kvodbSqr2(const double* src, double* dst, int len);
KVO_API void KVO_CALL kvozbSqr1(ComplexDouble* vec, int len);
KVO_API void KVO_CALL kvozbSqr2(const ComplexDouble* src, ComplexDouble* dst, int len);
KVO_API void KVO_CALL kvowbSqr1(short* vec, int len, int scaleMode, int* scaleFactor);
KVO_API void KVO_CALL kvowbSqr2(const short* src, short* dst, int len, int scaleMode,
                                int* scaleFactor);
KVO_API void KVO_CALL kvovbSqr1(ComplexShort* vec, int len, int scaleMode, int* scaleFactor);
KVO_API void KVO_CALL kvovbSqr2(const ComplexShort* src, ComplexShort* dst, int len, int scaleMode,
                                int* scaleFactor);

/* Square roots. Real members skip elements with the sign bit set (other than -0), leaving their
 * destination as it was, and report once after the whole vector; 16-bit members give floor(sqrt)
 * and 0 for negative elements (with the same report). Complex members give the principal root. */
KVO_API void KVO_CALL kvosbSqrt1(float* vec, int len);
KVO_API void KVO_CALL kvosbSqrt2(const float* src, float* dst, int len);
KVO_API void KVO_CALL kvocbSqrt1(ComplexFloat* vec, int len);
KVO_API void KVO_CALL kvocbSqrt2(const ComplexFloat* src, ComplexFloat* dst, int len);
KVO_API void KVO_CALL kvodbSqrt1(double* vec, int len);
KVO_API void KVO_CALL kvodbSqrt2(const double* src, double* dst, int len);
KVO_API void KVO_CALL kvozbSqrt1(ComplexDouble* vec, int len);
KVO_API void KVO_CALL kvozbSqrt2(const ComplexDouble* src, ComplexDouble* dst, int len);
KVO_API void KVO_CALL kvowbSqrt1(short* vec, int len);
KVO_API void KVO_CALL kvowbSqrt2(const short* src, short* dst, int len);
KVO_API void KVO_CALL kvovbSqrt1(ComplexShort* vec, int len);
KVO_API void KVO_CALL kvovbSqrt2(const ComplexShort* src, ComplexShort* dst, int len);

/* Clipping at a threshold; complex members clip the magnitude (thresh >= 0) and keep the phase. */
KVO_API void KVO_CALL kvosbThresh1(float* vec, int len, float thresh, int relOp);
KVO_API void KVO_CALL kvosbThresh2(const float* src, float* dst, int len, float thresh, int relOp);
KVO_API void KVO_CALL kvodbThresh1(double* vec, int len, double thresh, int relOp);
KVO_API void KVO_CALL kvodbThresh2(const double* src, double* dst, int len, double thresh,
                                   int relOp);
KVO_API void KVO_CALL kvocbThresh1(ComplexFloat* vec, int len, float thresh, int relOp);
KVO_API void KVO_CALL kvocbThresh2(const ComplexFloat* src, ComplexFloat* dst, int len,
                                   float thresh, int relOp);
KVO_API void KVO_CALL kvozbThresh1(ComplexDouble* vec, int len, double thresh, int relOp);
KVO_API void KVO_CALL kvozbThresh2(const ComplexDouble* src, ComplexDouble* dst, int len,
                                   double thresh, int relOp);
KVO_API void KVO_CALL kvowbThresh1(short* vec, int len, short thresh, int relOp);
KVO_API void KVO_CALL kvowbThresh2(const short* src, short* dst, int len, short thresh, int relOp);
KVO_API void KVO_CALL kvovbThresh1(ComplexShort* vec, int len, short thresh, int relOp);
KVO_API void KVO_CALL kvovbThresh2(const ComplexShort* src, ComplexShort* dst, int len,
                                   short thresh, int relOp);

/* 1/x with a magnitude floor: elements of magnitude up to thresh (complex: below thresh) give
 * magnitude 1/thresh. With thresh 0 zero elements give the largest finite value and one report. */
KVO_API void KVO_CALL kvosbInvThresh1(float* vec, int len, float thresh);
KVO_API void KVO_CALL kvosbInvThresh2(const float* src, float* dst, int len, float thresh);
KVO_API void KVO_CALL kvodbInvThresh1(double* vec, int len, double thresh);
KVO_API void KVO_CALL kvodbInvThresh2(const double* src, double* dst, int len, double thresh);
KVO_API void KVO_CALL kvocbInvThresh1(ComplexFloat* vec, int len, float thresh);
KVO_API void KVO_CALL kvocbInvThresh2(const ComplexFloat* src, ComplexFloat* dst, int len,
                                      float thresh);
KVO_API void KVO_CALL kvozbInvThresh1(ComplexDouble* vec, int len, double thresh);
KVO_API void KVO_CALL kvozbInvThresh2(const ComplexDouble* src, ComplexDouble* dst, int len,
                                      double thresh);

/* Absolute values; the 16-bit members saturate (-32768 gives 32767). */
KVO_API void KVO_CALL kvosbAbs1(float* vec, int len);
KVO_API void KVO_CALL kvosbAbs2(const float* src, float* dst, int len);
KVO_API void KVO_CALL kvodbAbs1(double* vec, int len);
KVO_API void KVO_CALL kvodbAbs2(const double* src, double* dst, int len);
KVO_API void KVO_CALL kvowbAbs1(short* vec, int len);
KVO_API void KVO_CALL kvowbAbs2(const short* src, short* dst, int len);

/* Natural logarithm and exponential. The 16-bit logarithm gives floor(ln x) (0 below 3); the
 * 16-bit exponential floor(e^x) (0 for negative x) stored under scaleMode. */
KVO_API void KVO_CALL kvosbLn1(float* vec, int len);
KVO_API void KVO_CALL kvosbLn2(const float* src, float* dst, int len);
KVO_API void KVO_CALL kvodbLn1(double* vec, int len);
KVO_API void KVO_CALL kvodbLn2(const double* src, double* dst, int len);
KVO_API void KVO_CALL kvowbLn1(short* vec, int len);
KVO_API void KVO_CALL kvowbLn2(const short* src, short* dst, int len);
KVO_API void KVO_CALL kvosbExp1(float* vec, int len);
KVO_API void KVO_CALL kvosbExp2(const float* src, float* dst, int len);
KVO_API void KVO_CALL kvodbExp1(double* vec, int len);
KVO_API void KVO_CALL kvodbExp2(const double* src, double* dst, int len);
KVO_API void KVO_CALL kvowbExp1(short* vec, int len, int scaleMode, int* scaleFactor);
KVO_API void KVO_CALL kvowbExp2(const short* src, short* dst, int len, int scaleMode,
                                int* scaleFactor);

/* ------------------------------------------------------------------------------------------------
 * Norms, statistics and dot products
 * ---------------------------------------------------------------------------------------------- */

/* Norm selector: exactly one kind, optionally with KVO_NormRelative (the norm of srcA - srcB over
 * the norm of srcB). srcB may be null: the norm of srcA alone (relative: 1). */
enum { KVO_NormMax = 1, KVO_NormL1 = 2, KVO_NormL2 = 4, KVO_NormRelative = 8 };

KVO_API float KVO_CALL kvosNorm(const float* srcA, const float* srcB, int n, int flag);
KVO_API float KVO_CALL kvocNorm(const ComplexFloat* srcA, const ComplexFloat* srcB, int n,
                                int flag);
KVO_API float KVO_CALL kvowNorm(const short* srcA, const short* srcB, int n, int flag);
KVO_API float KVO_CALL kvovNorm(const ComplexShort* srcA, const ComplexShort* srcB, int n,
                                int flag);
KVO_API double KVO_CALL kvodNorm(const double* srcA, const double* srcB, int n, int flag);
KVO_API double KVO_CALL kvozNorm(const ComplexDouble* srcA, const ComplexDouble* srcB, int n,
                                 int flag);

/* dst = (src - offset) / factor; the 16-bit members round to nearest (ties to even) and wrap. */
KVO_API void KVO_CALL kvosbNormalize(const float* src, float* dst, int n, float offset,
                                     float factor);
KVO_API void KVO_CALL kvocbNormalize(const ComplexFloat* src, ComplexFloat* dst, int n,
                                     ComplexFloat offset, float factor);
KVO_API void KVO_CALL kvodbNormalize(const double* src, double* dst, int n, double offset,
                                     double factor);
KVO_API void KVO_CALL kvozbNormalize(const ComplexDouble* src, ComplexDouble* dst, int n,
                                     ComplexDouble offset, double factor);
KVO_API void KVO_CALL kvowbNormalize(const short* src, short* dst, int n, short offset,
                                     float factor);
KVO_API void KVO_CALL kvovbNormalize(const ComplexShort* src, ComplexShort* dst, int n,
                                     ComplexShort offset, float factor);

/* Mean; StdDev is the mean of the squares (no mean subtracted, no root). Max and Min give the
 * first NaN if there is one, and count -0 below +0. */
KVO_API float KVO_CALL kvosMean(const float* vec, int len);
KVO_API double KVO_CALL kvodMean(const double* vec, int len);
KVO_API short KVO_CALL kvowMean(const short* vec, int len);
KVO_API float KVO_CALL kvosStdDev(const float* vec, int len);
KVO_API double KVO_CALL kvodStdDev(const double* vec, int len);
KVO_API short KVO_CALL kvowStdDev(const short* vec, int len, int scaleMode, int* scaleFactor);
KVO_API float KVO_CALL kvosMax(const float* vec, int len);
KVO_API float KVO_CALL kvosMin(const float* vec, int len);
KVO_API double KVO_CALL kvodMax(const double* vec, int len);
KVO_API double KVO_CALL kvodMin(const double* vec, int len);
KVO_API short KVO_CALL kvowMax(const short* vec, int len);
KVO_API short KVO_CALL kvowMin(const short* vec, int len);

/* Dot products without conjugation; len 0 gives 0. Mixed members take the real vector's elements
 * as complex with zero imaginary part. The 16-bit members sum exactly and store the sum under
 * scaleMode (complex parts with one common automatic factor). */
KVO_API float KVO_CALL kvosDotProd(const float* srcA, const float* srcB, int len);
KVO_API double KVO_CALL kvodDotProd(const double* srcA, const double* srcB, int len);
KVO_API ComplexFloat KVO_CALL kvocDotProd(const ComplexFloat* srcA, const ComplexFloat* srcB,
                                          int len);
KVO_API ComplexFloat KVO_CALL kvoscDotProd(const float* srcA, const ComplexFloat* srcB, int len);
KVO_API ComplexFloat KVO_CALL kvocsDotProd(const ComplexFloat* srcA, const float* srcB, int len);
KVO_API ComplexDouble KVO_CALL kvozDotProd(const ComplexDouble* srcA, const ComplexDouble* srcB,
                                           int len);
KVO_API ComplexDouble KVO_CALL kvodzDotProd(const double* srcA, const ComplexDouble* srcB, int len);
KVO_API ComplexDouble KVO_CALL kvozdDotProd(const ComplexDouble* srcA, const double* srcB, int len);
KVO_API short KVO_CALL kvowDotProd(const short* srcA, const short* srcB, int len, int scaleMode,
                                   int* scaleFactor);
KVO_API ComplexShort KVO_CALL kvovDotProd(const ComplexShort* srcA, const ComplexShort* srcB,
                                          int len, int scaleMode, int* scaleFactor);
KVO_API ComplexShort KVO_CALL kvowvDotProd(const short* srcA, const ComplexShort* srcB, int len,
                                           int scaleMode, int* scaleFactor);
KVO_API ComplexShort KVO_CALL kvovwDotProd(const ComplexShort* srcA, const short* srcB, int len,
                                           int scaleMode, int* scaleFactor);

/* ------------------------------------------------------------------------------------------------
 * Conversions
 * ---------------------------------------------------------------------------------------------- */

/* Flags of the float-to-integer and float-to-fixed conversions: exactly one rounding flag, plus
 * any of the others. Fixed-point value = integer value * 2^-fractBits. */
enum {
  KVO_RoundNearest = 0x80, /* to nearest, ties to even */
  KVO_RoundZero = 0x100,
  KVO_RoundDown = 0x200,
  KVO_RoundUp = 0x400,
  KVO_Unsigned = 0x800,       /* the integer or fixed-point data are unsigned */
  KVO_Clip = 0x1000,          /* values outside the destination range are clamped to it */
  KVO_ReportOverflow = 0x2000 /* values outside the range are reported once, after the vector */
};

/* intBits and fixBits are 8, 16 or 32; dst/src point at that many bits per element. */
KVO_API void KVO_CALL kvosbFloatToInt(const float* src, void* dst, int len, int intBits, int flags);
KVO_API void KVO_CALL kvodbFloatToInt(const double* src, void* dst, int len, int intBits,
                                      int flags);
KVO_API void KVO_CALL kvosbIntToFloat(const void* src, float* dst, int len, int intBits, int flags);
KVO_API void KVO_CALL kvodbIntToFloat(const void* src, double* dst, int len, int intBits,
                                      int flags);
KVO_API void KVO_CALL kvosbFloatToFix(const float* src, void* dst, int len, int fixBits,
                                      int fractBits, int flags);
KVO_API void KVO_CALL kvodbFloatToFix(const double* src, void* dst, int len, int fixBits,
                                      int fractBits, int flags);
KVO_API void KVO_CALL kvosbFixToFloat(const void* src, float* dst, int len, int fixBits,
                                      int fractBits, int flags);
KVO_API void KVO_CALL kvodbFixToFloat(const void* src, double* dst, int len, int fixBits,
                                      int fractBits, int flags);

/* Signed fixed formats: S7 (8 bits, 7 fraction bits), S15 (16, 15), S31 (32, 31), S15.16 (32, 16).
 */
KVO_API void KVO_CALL kvosbFloatToS7Fix(const float* src, signed char* dst, int len, int flags);
KVO_API void KVO_CALL kvodbFloatToS7Fix(const double* src, signed char* dst, int len, int flags);
KVO_API void KVO_CALL kvosbFloatToS15Fix(const float* src, short* dst, int len, int flags);
KVO_API void KVO_CALL kvodbFloatToS15Fix(const double* src, short* dst, int len, int flags);
KVO_API void KVO_CALL kvosbFloatToS31Fix(const float* src, int* dst, int len, int flags);
KVO_API void KVO_CALL kvodbFloatToS31Fix(const double* src, int* dst, int len, int flags);
KVO_API void KVO_CALL kvosbFloatToS1516Fix(const float* src, int* dst, int len, int flags);
KVO_API void KVO_CALL kvodbFloatToS1516Fix(const double* src, int* dst, int len, int flags);
KVO_API void KVO_CALL kvosbS7FixToFloat(const signed char* src, float* dst, int len);
KVO_API void KVO_CALL kvodbS7FixToFloat(const signed char* src, double* dst, int len);
KVO_API void KVO_CALL kvosbS15FixToFloat(const short* src, float* dst, int len);
KVO_API void KVO_CALL kvodbS15FixToFloat(const short* src, double* dst, int len);
KVO_API void KVO_CALL kvosbS31FixToFloat(const int* src, float* dst, int len);
KVO_API void KVO_CALL kvodbS31FixToFloat(const int* src, double* dst, int len);
KVO_API void KVO_CALL kvosbS1516FixToFloat(const int* src, float* dst, int len);
KVO_API void KVO_CALL kvodbS1516FixToFloat(const int* src, double* dst, int len);

/* Complex data split into and joined from real and imaginary parts. */
KVO_API void KVO_CALL kvocbReal(const ComplexFloat* src, float* dst, int length);
KVO_API void KVO_CALL kvozbReal(const ComplexDouble* src, double* dst, int length);
KVO_API void KVO_CALL kvovbReal(const ComplexShort* src, short* dst, int length);
KVO_API void KVO_CALL kvocbImag(const ComplexFloat* src, float* dst, int length);
KVO_API void KVO_CALL kvozbImag(const ComplexDouble* src, double* dst, int length);
KVO_API void KVO_CALL kvovbImag(const ComplexShort* src, short* dst, int length);
KVO_API void KVO_CALL kvocbCplxTo2Real(const ComplexFloat* src, float* dstReal, float* dstImag,
                                       int length);
KVO_API void KVO_CALL kvozbCplxTo2Real(const ComplexDouble* src, double* dstReal, double* dstImag,
                                       int length);
KVO_API void KVO_CALL kvovbCplxTo2Real(const ComplexShort* src, short* dstReal, short* dstImag,
                                       int length);
/* A null srcReal or srcImag gives zero parts. */
KVO_API void KVO_CALL kvocb2RealToCplx(const float* srcReal, const float* srcImag,
                                       ComplexFloat* dst, int length);
KVO_API void KVO_CALL kvozb2RealToCplx(const double* srcReal, const double* srcImag,
                                       ComplexDouble* dst, int length);
KVO_API void KVO_CALL kvovb2RealToCplx(const short* srcReal, const short* srcImag,
                                       ComplexShort* dst, int length);

/* Polar form: magnitude and phase in radians. */
KVO_API void KVO_CALL kvocbCartToPolar(const ComplexFloat* src, float* mag, float* phase,
                                       int length);
KVO_API void KVO_CALL kvozbCartToPolar(const ComplexDouble* src, double* mag, double* phase,
                                       int length);
KVO_API void KVO_CALL kvosbrCartToPolar(const float* srcReal, const float* srcImag, float* mag,
                                        float* phase, int length);
KVO_API void KVO_CALL kvodbrCartToPolar(const double* srcReal, const double* srcImag, double* mag,
                                        double* phase, int length);
KVO_API void KVO_CALL kvocbPolarToCart(const float* mag, const float* phase, ComplexFloat* dst,
                                       int length);
KVO_API void KVO_CALL kvozbPolarToCart(const double* mag, const double* phase, ComplexDouble* dst,
                                       int length);
KVO_API void KVO_CALL kvosbrPolarToCart(const float* mag, const float* phase, float* dstReal,
                                        float* dstImag, int length);
KVO_API void KVO_CALL kvodbrPolarToCart(const double* mag, const double* phase, double* dstReal,
                                        double* dstImag, int length);

/* Magnitude, phase (a zero imaginary part gives pi for a negative real part, else 0) and power
 * spectrum re^2 + im^2. */
KVO_API void KVO_CALL kvocbMag(const ComplexFloat* src, float* mag, int length);
KVO_API void KVO_CALL kvozbMag(const ComplexDouble* src, double* mag, int length);
KVO_API void KVO_CALL kvosbrMag(const float* srcReal, const float* srcImag, float* mag, int length);
KVO_API void KVO_CALL kvodbrMag(const double* srcReal, const double* srcImag, double* mag,
                                int length);
KVO_API void KVO_CALL kvocbPhase(const ComplexFloat* src, float* phase, int length);
KVO_API void KVO_CALL kvozbPhase(const ComplexDouble* src, double* phase, int length);
KVO_API void KVO_CALL kvosbrPhase(const float* srcReal, const float* srcImag, float* phase,
                                  int length);
KVO_API void KVO_CALL kvodbrPhase(const double* srcReal, const double* srcImag, double* phase,
                                  int length);
KVO_API void KVO_CALL kvocbPowerSpectr(const ComplexFloat* src, float* spectr, int length);
KVO_API void KVO_CALL kvozbPowerSpectr(const ComplexDouble* src, double* spectr, int length);
KVO_API void KVO_CALL kvosbrPowerSpectr(const float* srcReal, const float* srcImag, float* spectr,
                                        int length);
KVO_API void KVO_CALL kvodbrPowerSpectr(const double* srcReal, const double* srcImag,
                                        double* spectr, int length);

/* 16-bit members; the phase is scaled so that pi gives 16383. */
KVO_API void KVO_CALL kvovbMag(const ComplexShort* src, short* dst, int length, int scaleMode,
                               int* scaleFactor);
KVO_API void KVO_CALL kvovbPowerSpectr(const ComplexShort* src, short* dst, int length,
                                       int scaleMode, int* scaleFactor);
KVO_API void KVO_CALL kvowbrMag(const short* srcReal, const short* srcImag, short* dst, int length,
                                int scaleMode, int* scaleFactor);
KVO_API void KVO_CALL kvowbrPowerSpectr(const short* srcReal, const short* srcImag, short* dst,
                                        int length, int scaleMode, int* scaleFactor);
KVO_API void KVO_CALL kvovbPhase(const ComplexShort* src, short* phase, int length);
KVO_API void KVO_CALL kvowbrPhase(const short* srcReal, const short* srcImag, short* phase,
                                  int length);

/* ------------------------------------------------------------------------------------------------
 * A-law and mu-law companding
 * ---------------------------------------------------------------------------------------------- */

/* Codes are G.711 octets; an A-law code here is the transmitted G.711 octet XOR 0x55. Linear
 * samples: 16 bits; 32 bits with the sample in the upper half; float and double with full scale
 * +-1.0 (1.0 corresponds to 32768). */
KVO_API void KVO_CALL kvowbLinToALaw(const short* src, unsigned char* dst, int len);
KVO_API void KVO_CALL kvowbLinToMuLaw(const short* src, unsigned char* dst, int len);
KVO_API void KVO_CALL kvoibLinToALaw(const int* src, unsigned char* dst, int len);
KVO_API void KVO_CALL kvoibLinToMuLaw(const int* src, unsigned char* dst, int len);
KVO_API void KVO_CALL kvosbLinToALaw(const float* src, unsigned char* dst, int len);
KVO_API void KVO_CALL kvosbLinToMuLaw(const float* src, unsigned char* dst, int len);
KVO_API void KVO_CALL kvodbLinToALaw(const double* src, unsigned char* dst, int len);
KVO_API void KVO_CALL kvodbLinToMuLaw(const double* src, unsigned char* dst, int len);
KVO_API void KVO_CALL kvowbALawToLin(const unsigned char* src, short* dst, int len);
KVO_API void KVO_CALL kvowbMuLawToLin(const unsigned char* src, short* dst, int len);
KVO_API void KVO_CALL kvoibALawToLin(const unsigned char* src, int* dst, int len);
KVO_API void KVO_CALL kvoibMuLawToLin(const unsigned char* src, int* dst, int len);
KVO_API void KVO_CALL kvosbALawToLin(const unsigned char* src, float* dst, int len);
KVO_API void KVO_CALL kvosbMuLawToLin(const unsigned char* src, float* dst, int len);
KVO_API void KVO_CALL kvodbALawToLin(const unsigned char* src, double* dst, int len);
KVO_API void KVO_CALL kvodbMuLawToLin(const unsigned char* src, double* dst, int len);
KVO_API void KVO_CALL kvoMuLawToALaw(const unsigned char* src, unsigned char* dst, int len);
KVO_API void KVO_CALL kvoALawToMuLaw(const unsigned char* src, unsigned char* dst, int len);

/* ------------------------------------------------------------------------------------------------
 * Bit reversal and twiddle tables
 * ---------------------------------------------------------------------------------------------- */

/* Tables returned by the Get functions belong to the calling thread's cache: do not free them;
 * they stay valid until the thread calls the matching Free function. Entry k of an FFT or DFT
 * twiddle table of length N is exp(-2*pi*i*k/N); the 16-bit tables are in Q14, truncated. */
KVO_API int KVO_CALL kvoBitRev(int value, int order);
KVO_API void KVO_CALL kvoCalcBitRevTbl(int* tbl, int order);
KVO_API int* KVO_CALL kvoGetBitRevTbl(int order);
KVO_API void KVO_CALL kvoFreeBitRevTbls(void);

KVO_API void KVO_CALL kvocCalcFftTwdTbl(ComplexFloat* tbl, int order);
KVO_API void KVO_CALL kvozCalcFftTwdTbl(ComplexDouble* tbl, int order);
KVO_API void KVO_CALL kvovCalcFftTwdTbl(ComplexShort* tbl, int order);
KVO_API ComplexFloat* KVO_CALL kvocGetFftTwdTbl(int order);
KVO_API ComplexDouble* KVO_CALL kvozGetFftTwdTbl(int order);
KVO_API ComplexShort* KVO_CALL kvovGetFftTwdTbl(int order);
KVO_API void KVO_CALL kvocCalcDftTwdTbl(ComplexFloat* tbl, int length);
KVO_API void KVO_CALL kvozCalcDftTwdTbl(ComplexDouble* tbl, int length);
KVO_API void KVO_CALL kvovCalcDftTwdTbl(ComplexShort* tbl, int length);
KVO_API ComplexFloat* KVO_CALL kvocGetDftTwdTbl(int length);
KVO_API ComplexDouble* KVO_CALL kvozGetDftTwdTbl(int length);
KVO_API ComplexShort* KVO_CALL kvovGetDftTwdTbl(int length);
KVO_API void KVO_CALL kvocFreeTwdTbls(void);
KVO_API void KVO_CALL kvozFreeTwdTbls(void);
KVO_API void KVO_CALL kvovFreeTwdTbls(void);

/* In place: element i moves to position bitrev(i). Not in place: dst[bitrev(i)] = src[i]; src and
 * dst must not overlap. */
KVO_API void KVO_CALL kvowbBitRev1(short* vec, int order);
KVO_API void KVO_CALL kvovbBitRev1(ComplexShort* vec, int order);
KVO_API void KVO_CALL kvosbBitRev1(float* vec, int order);
KVO_API void KVO_CALL kvocbBitRev1(ComplexFloat* vec, int order);
KVO_API void KVO_CALL kvodbBitRev1(double* vec, int order);
KVO_API void KVO_CALL kvozbBitRev1(ComplexDouble* vec, int order);
KVO_API void KVO_CALL kvowbBitRev2(const short* src, short* dst, int order);
KVO_API void KVO_CALL kvovbBitRev2(const ComplexShort* src, ComplexShort* dst, int order);
KVO_API void KVO_CALL kvosbBitRev2(const float* src, float* dst, int order);
KVO_API void KVO_CALL kvocbBitRev2(const ComplexFloat* src, ComplexFloat* dst, int order);
KVO_API void KVO_CALL kvodbBitRev2(const double* src, double* dst, int order);
KVO_API void KVO_CALL kvozbBitRev2(const ComplexDouble* src, ComplexDouble* dst, int order);

/* ------------------------------------------------------------------------------------------------
 * Complex FFT
 * ---------------------------------------------------------------------------------------------- */

/* The transform flag word, shared by every FFT of the library. Exactly one direction; at most one
 * bit-order flag (natural order when none is given). */
enum {
  KVO_Forw = 1,
  KVO_Inv = 2,
  KVO_Init = 4,     /* only build this size's tables; data pointers are not examined */
  KVO_Free = 8,     /* only free this size's tables */
  KVO_NoScale = 16, /* inverse without the 1/N factor */
  KVO_NoBitRev = 32,
  KVO_InBitRev = 64,
  KVO_OutBitRev = 128,
  KVO_OutRCPack = 256,
  KVO_OutRCPerm = 512,
  KVO_InRCPack = 1024,
  KVO_InRCPerm = 4096,
  KVO_DoIntCore = 8192,
  KVO_DoFloatCore = 16384,
  KVO_DoFastMMX = 32768
};

/* N = 2^order points, order 0..31. */
KVO_API void KVO_CALL kvocFft(ComplexFloat* samps, int order, int flags);
KVO_API void KVO_CALL kvocFftNip(const ComplexFloat* inSamps, ComplexFloat* outSamps, int order,
                                 int flags);
KVO_API void KVO_CALL kvocrFft(float* reSamps, float* imSamps, int order, int flags);
KVO_API void KVO_CALL kvocrFftNip(const float* reInSamps, const float* imInSamps, float* reOutSamps,
                                  float* imOutSamps, int order, int flags);
KVO_API void KVO_CALL kvozFft(ComplexDouble* samps, int order, int flags);
KVO_API void KVO_CALL kvozFftNip(const ComplexDouble* inSamps, ComplexDouble* outSamps, int order,
                                 int flags);
KVO_API void KVO_CALL kvozrFft(double* reSamps, double* imSamps, int order, int flags);
KVO_API void KVO_CALL kvozrFftNip(const double* reInSamps, const double* imInSamps,
                                  double* reOutSamps, double* imOutSamps, int order, int flags);

/* ------------------------------------------------------------------------------------------------
 * Real FFT and packed spectra
 * ---------------------------------------------------------------------------------------------- */

/* Spectra of real signals of N = 2^order values: CCS holds N/2+1 complex values (N+2 reals);
 * RCPack is Re0, Re1, Im1, ..., Re(N/2); RCPerm is Re0, Re(N/2), Re1, Im1, ... (N reals each). */
KVO_API void KVO_CALL kvosRealFft(float* samps, int order, int flags);
KVO_API void KVO_CALL kvosRealFftNip(const float* inSamps, ComplexFloat* outSamps, int order,
                                     int flags);
KVO_API void KVO_CALL kvosCcsFft(float* samps, int order, int flags);
KVO_API void KVO_CALL kvosCcsFftNip(const ComplexFloat* inSamps, float* outSamps, int order,
                                    int flags);
KVO_API void KVO_CALL kvosRealFftl(float* samps, int order, int flags);
KVO_API void KVO_CALL kvosRealFftlNip(const float* inSamps, float* outSamps, int order, int flags);
KVO_API void KVO_CALL kvosCcsFftl(float* samps, int order, int flags);
KVO_API void KVO_CALL kvosCcsFftlNip(const float* inSamps, float* outSamps, int order, int flags);
KVO_API int KVO_CALL kvosReal2Fft(float* xSamps, float* ySamps, int order, int flags);
KVO_API int KVO_CALL kvosReal2FftNip(const float* xInSamps, ComplexFloat* xOutSamps,
                                     const float* yInSamps, ComplexFloat* yOutSamps, int order,
                                     int flags);
KVO_API int KVO_CALL kvosCcs2Fft(float* xSamps, float* ySamps, int order, int flags);
KVO_API int KVO_CALL kvosCcs2FftNip(const ComplexFloat* xInSamps, float* xOutSamps,
                                    const ComplexFloat* yInSamps, float* yOutSamps, int order,
                                    int flags);
KVO_API void KVO_CALL kvosMpyRCPack2(const float* src, float* dst, int order);
KVO_API void KVO_CALL kvosMpyRCPack3(const float* srcA, const float* srcB, float* dst, int order);
KVO_API void KVO_CALL kvosMpyRCPerm2(const float* src, float* dst, int order);
KVO_API void KVO_CALL kvosMpyRCPerm3(const float* srcA, const float* srcB, float* dst, int order);

KVO_API void KVO_CALL kvodRealFft(double* samps, int order, int flags);
KVO_API void KVO_CALL kvodRealFftNip(const double* inSamps, ComplexDouble* outSamps, int order,
                                     int flags);
KVO_API void KVO_CALL kvodCcsFft(double* samps, int order, int flags);
KVO_API void KVO_CALL kvodCcsFftNip(const ComplexDouble* inSamps, double* outSamps, int order,
                                    int flags);
KVO_API void KVO_CALL kvodRealFftl(double* samps, int order, int flags);
KVO_API void KVO_CALL kvodRealFftlNip(const double* inSamps, double* outSamps, int order,
                                      int flags);
KVO_API void KVO_CALL kvodCcsFftl(double* samps, int order, int flags);
KVO_API void KVO_CALL kvodCcsFftlNip(const double* inSamps, double* outSamps, int order, int flags);
KVO_API int KVO_CALL kvodReal2Fft(double* xSamps, double* ySamps, int order, int flags);
KVO_API int KVO_CALL kvodReal2FftNip(const double* xInSamps, ComplexDouble* xOutSamps,
                                     const double* yInSamps, ComplexDouble* yOutSamps, int order,
                                     int flags);
KVO_API int KVO_CALL kvodCcs2Fft(double* xSamps, double* ySamps, int order, int flags);
KVO_API int KVO_CALL kvodCcs2FftNip(const ComplexDouble* xInSamps, double* xOutSamps,
                                    const ComplexDouble* yInSamps, double* yOutSamps, int order,
                                    int flags);
KVO_API void KVO_CALL kvodMpyRCPack2(const double* src, double* dst, int order);
KVO_API void KVO_CALL kvodMpyRCPack3(const double* srcA, const double* srcB, double* dst,
                                     int order);
KVO_API void KVO_CALL kvodMpyRCPerm2(const double* src, double* dst, int order);
KVO_API void KVO_CALL kvodMpyRCPerm3(const double* srcA, const double* srcB, double* dst,
                                     int order);

/* ------------------------------------------------------------------------------------------------
 * Integer FFT with scaling
 * ---------------------------------------------------------------------------------------------- */

/* 16-bit complex (ComplexShort) and real FFTs of N = 2^order points, with the flags of the float
 * FFTs plus a core choice: KVO_DoIntCore (32-bit integer arithmetic with Q14 twiddles),
 * KVO_DoFloatCore (through the float FFT) or neither (the integer core up to order 7, the float
 * core above); KVO_DoFastMMX with the integer core selects saturating 16-bit arithmetic for
 * orders up to 10. Results are brought to 16 bits by scaleMode and *scaleFactor. */
KVO_API void KVO_CALL kvovFft(ComplexShort* samps, int order, int flags, int scaleMode,
                              int* scaleFactor);
KVO_API void KVO_CALL kvovFftNip(const ComplexShort* inSamps, ComplexShort* outSamps, int order,
                                 int flags, int scaleMode, int* scaleFactor);
KVO_API void KVO_CALL kvovrFft(short* reSamps, short* imSamps, int order, int flags, int scaleMode,
                               int* scaleFactor);
KVO_API void KVO_CALL kvovrFftNip(const short* reInSamps, const short* imInSamps,
                                  short* reOutSamps, short* imOutSamps, int order, int flags,
                                  int scaleMode, int* scaleFactor);
/* Real signals: CCS spectra (N + 2 values) or, for the Fftl forms, RCPack/RCPerm (N values). */
KVO_API void KVO_CALL kvowRealFft(short* samps, int order, int flags, int scaleMode,
                                  int* scaleFactor);
KVO_API void KVO_CALL kvowRealFftNip(const short* inSamps, ComplexShort* outSamps, int order,
                                     int flags, int scaleMode, int* scaleFactor);
KVO_API void KVO_CALL kvowCcsFft(short* samps, int order, int flags, int scaleMode,
                                 int* scaleFactor);
KVO_API void KVO_CALL kvowCcsFftNip(const ComplexShort* inSamps, short* outSamps, int order,
                                    int flags, int scaleMode, int* scaleFactor);
KVO_API void KVO_CALL kvowRealFftl(short* samps, int order, int flags, int scaleMode,
                                   int* scaleFactor);
KVO_API void KVO_CALL kvowCcsFftl(short* samps, int order, int flags, int scaleMode,
                                  int* scaleFactor);
KVO_API void KVO_CALL kvowRealFftlNip(const short* inSamps, short* outSamps, int order, int flags,
                                      int scaleMode, int* scaleFactor);
KVO_API void KVO_CALL kvowCcsFftlNip(const short* inSamps, short* outSamps, int order, int flags,
                                     int scaleMode, int* scaleFactor);
/* Two real signals through one complex transform, with one common scale factor. */
KVO_API void KVO_CALL kvowReal2Fft(short* xSamps, short* ySamps, int order, int flags,
                                   int scaleMode, int* scaleFactor);
KVO_API void KVO_CALL kvowCcs2Fft(short* xSamps, short* ySamps, int order, int flags,
                                  int scaleMode, int* scaleFactor);
KVO_API void KVO_CALL kvowReal2FftNip(const short* xInSamps, ComplexShort* xOutSamps,
                                      const short* yInSamps, ComplexShort* yOutSamps, int order,
                                      int flags, int scaleMode, int* scaleFactor);
KVO_API void KVO_CALL kvowCcs2FftNip(const ComplexShort* xInSamps, short* xOutSamps,
                                     const ComplexShort* yInSamps, short* yOutSamps, int order,
                                     int flags, int scaleMode, int* scaleFactor);
/* Products of 16-bit packed spectra, formed exactly and brought to 16 bits by scaleMode. */
KVO_API void KVO_CALL kvowMpyRCPack2(const short* src, short* dst, int order, int scaleMode,
                                     int* scaleFactor);
KVO_API void KVO_CALL kvowMpyRCPerm2(const short* src, short* dst, int order, int scaleMode,
                                     int* scaleFactor);
KVO_API void KVO_CALL kvowMpyRCPack3(const short* srcA, const short* srcB, short* dst, int order,
                                     int scaleMode, int* scaleFactor);
KVO_API void KVO_CALL kvowMpyRCPerm3(const short* srcA, const short* srcB, short* dst, int order,
                                     int scaleMode, int* scaleFactor);

/* ------------------------------------------------------------------------------------------------
 * DFT and Goertzel
 * ---------------------------------------------------------------------------------------------- */

/* Direct DFT of any length. src and dst may be the same array. The 16-bit form converts through
 * single precision or runs a 16-bit integer core (KVO_DoIntCore, KVO_DoFloatCore). */
KVO_API void KVO_CALL kvocDft(const ComplexFloat* src, ComplexFloat* dst, int length, int flags);
KVO_API void KVO_CALL kvozDft(const ComplexDouble* src, ComplexDouble* dst, int length, int flags);
KVO_API void KVO_CALL kvovDft(const ComplexShort* src, ComplexShort* dst, int length, int flags,
                              int scaleMode, int* scaleFactor);

/* Goertzel state: freq is relative to the sampling rate, 0 <= freq < 1. The real members use only
 * the real parts of the delays; the 16-bit members keep their state in single precision. */
typedef struct {
  float freq;
  float cosVal;
  float sinVal;
  float twoCos;
  ComplexFloat delay2;
  ComplexFloat delay1;
} GoertzState;

typedef struct {
  double freq;
  double cosVal;
  double sinVal;
  double twoCos;
  ComplexDouble delay2;
  ComplexDouble delay1;
} GoertzStateDouble;

KVO_API int KVO_CALL kvosGoertzInit(float freq, GoertzState* state);
KVO_API int KVO_CALL kvocGoertzInit(float freq, GoertzState* state);
KVO_API int KVO_CALL kvowGoertzInit(float freq, GoertzState* state);
KVO_API int KVO_CALL kvovGoertzInit(float freq, GoertzState* state);
KVO_API int KVO_CALL kvodGoertzInit(double freq, GoertzStateDouble* state);
KVO_API int KVO_CALL kvozGoertzInit(double freq, GoertzStateDouble* state);

KVO_API void KVO_CALL kvosGoertzReset(GoertzState* state);
KVO_API void KVO_CALL kvocGoertzReset(GoertzState* state);
KVO_API void KVO_CALL kvodGoertzReset(GoertzStateDouble* state);
KVO_API void KVO_CALL kvozGoertzReset(GoertzStateDouble* state);
KVO_API void KVO_CALL kvowGoertzReset(GoertzState* state);
KVO_API void KVO_CALL kvovGoertzReset(GoertzState* state);

KVO_API ComplexFloat KVO_CALL kvosGoertz(GoertzState* state, float sample);
KVO_API ComplexFloat KVO_CALL kvocGoertz(GoertzState* state, ComplexFloat sample);
KVO_API ComplexDouble KVO_CALL kvodGoertz(GoertzStateDouble* state, double sample);
KVO_API ComplexDouble KVO_CALL kvozGoertz(GoertzStateDouble* state, ComplexDouble sample);
KVO_API ComplexShort KVO_CALL kvowGoertz(GoertzState* state, short sample, int scaleMode,
                                         int* scaleFactor);
KVO_API ComplexShort KVO_CALL kvovGoertz(GoertzState* state, ComplexShort sample, int scaleMode,
                                         int* scaleFactor);

/* Block forms: the result of the last sample. */
KVO_API ComplexFloat KVO_CALL kvosbGoertz(GoertzState* state, const float* samples, int length);
KVO_API ComplexFloat KVO_CALL kvocbGoertz(GoertzState* state, const ComplexFloat* samples,
                                          int length);
KVO_API ComplexDouble KVO_CALL kvodbGoertz(GoertzStateDouble* state, const double* samples,
                                           int length);
KVO_API ComplexDouble KVO_CALL kvozbGoertz(GoertzStateDouble* state, const ComplexDouble* samples,
                                           int length);
KVO_API ComplexShort KVO_CALL kvowbGoertz(GoertzState* state, const short* samples, int length,
                                          int scaleMode, int* scaleFactor);
KVO_API ComplexShort KVO_CALL kvovbGoertz(GoertzState* state, const ComplexShort* samples,
                                          int length, int scaleMode, int* scaleFactor);

/* ------------------------------------------------------------------------------------------------
 * DCT
 * ---------------------------------------------------------------------------------------------- */

/* Orthonormal DCT: KVO_Forw is type II, KVO_Inv type III; flags 8 (KVO_Free) alone frees the
 * tables. src and dst may be the same array. */
KVO_API void KVO_CALL kvosDct(const float* src, float* dst, int length, int flags);
KVO_API void KVO_CALL kvodDct(const double* src, double* dst, int length, int flags);
KVO_API void KVO_CALL kvowDct(const short* src, short* dst, int length, int flags);

/* ------------------------------------------------------------------------------------------------
 * Wavelet transform
 * ---------------------------------------------------------------------------------------------- */

/* Wavelet types of kvo?WtInit and kvo?WtSetState. */
enum {
  KVO_Haar = 1,
  KVO_Daublet = 2,       /* par1 = 1..10 vanishing moments */
  KVO_Symmlet = 3,       /* par1 = 1..7: par1 + 3 vanishing moments, least asymmetric */
  KVO_Coiflet = 4,       /* par1 = 1..5 */
  KVO_Ortho24 = 5,       /* a fixed 24-tap orthonormal filter */
  KVO_Biorth = 6,        /* (par1, par2) = (1, 1|3|5), (2, 2|4|6|8), (3, 1|3|5|7|9) */
  KVO_BiorthDual = 7,    /* the same pairs with primal and dual filters exchanged */
  KVO_BiorthLin = 8,     /* KVO_Biorth (2, 2) */
  KVO_BiorthQuad = 9,    /* KVO_Biorth (3, 3) */
  KVO_WtByFilter = 10    /* the caller's four filters (kvo?WtSetState) */
};

/* The caller's record of a wavelet transform; Init or SetState fill it, kvoWtFree releases what
 * it owns. tap_filt and src_pad are float arrays (double for kvod states). */
typedef struct {
  int core;     /* 1 float, 2 double, 4 16-bit (with float filters) */
  int wtType;   /* the wavelet type */
  int category; /* 1 orthogonal, 2 biorthogonal, 3 caller-defined */
  int par1, par2;
  int dataOrder; /* log2 of the signal length, 1..31 */
  int level;     /* octaves, 0..dataOrder-1 */
  int len[4];    /* decomposition low-pass, high-pass, reconstruction low-pass, high-pass */
  int ofs[4];
  void* tap_filt[4];
  void* src_pad; /* 2^dataOrder + 2 max(len[0], len[1]) elements */
} WtState;

KVO_API void KVO_CALL kvosWtInit(int par1, int par2, int dataOrder, int level, WtState* wtState,
                                 int wtType);
KVO_API void KVO_CALL kvodWtInit(int par1, int par2, int dataOrder, int level, WtState* wtState,
                                 int wtType);
KVO_API int KVO_CALL kvowWtInit(int par1, int par2, int dataOrder, int level, WtState* wtState,
                                int wtType);
KVO_API void KVO_CALL kvosWtSetState(WtState* wtState, int wtType, int par1, int par2,
                                     int dataOrder, int level, const float* Ftaps[4],
                                     const int Flen[4], const int Fofs[4]);
KVO_API void KVO_CALL kvodWtSetState(WtState* wtState, int wtType, int par1, int par2,
                                     int dataOrder, int level, const double* Ftaps[4],
                                     const int Flen[4], const int Fofs[4]);
KVO_API void KVO_CALL kvowWtSetState(WtState* wtState, int wtType, int par1, int par2,
                                     int dataOrder, int level, const float* Ftaps[4],
                                     const int Flen[4], const int Fofs[4]);
KVO_API void KVO_CALL kvosWtGetState(WtState* wtState, int* wtType, int* par1, int* par2,
                                     int* dataOrder, int* level, float* Ftaps[4], int Flen[4],
                                     int Fofs[4]);
KVO_API void KVO_CALL kvodWtGetState(WtState* wtState, int* wtType, int* par1, int* par2,
                                     int* dataOrder, int* level, double* Ftaps[4], int Flen[4],
                                     int Fofs[4]);
KVO_API void KVO_CALL kvowWtGetState(WtState* wtState, int* wtType, int* par1, int* par2,
                                     int* dataOrder, int* level, float* Ftaps[4], int Flen[4],
                                     int Fofs[4]);
KVO_API void KVO_CALL kvoWtFree(WtState* wtState);
/* dst: the coarsest approximation, then the details from the coarsest to the finest octave. */
KVO_API void KVO_CALL kvosWtDecompose(WtState* wtState, const float* src, float* dst);
KVO_API void KVO_CALL kvosWtReconstruct(WtState* wtState, const float* src, float* dst);
KVO_API void KVO_CALL kvodWtDecompose(WtState* wtState, const double* src, double* dst);
KVO_API void KVO_CALL kvodWtReconstruct(WtState* wtState, const double* src, double* dst);
KVO_API void KVO_CALL kvowWtDecompose(WtState* wtState, const short* src, short* dst);
KVO_API void KVO_CALL kvowWtReconstruct(WtState* wtState, const short* src, short* dst);

/* ------------------------------------------------------------------------------------------------
 * Low-level FIR filter
 * ---------------------------------------------------------------------------------------------- */

/* Taps record of the low-level FIR filter. The caller's taps array is the storage: Init and
 * InitMr keep the pointer and convert the contents in place to the filter form (float and double
 * types: unchanged order; 16-bit type: the taps scaled by 2^tapsFactor, rounded to 16 bits and
 * reversed, or grouped by phase branch for a multi-rate record, in the first 2*tapsLen bytes of
 * the float array). GetTaps back into the storage returns it to the caller's form. */
typedef struct {
  void* taps;
  int tapsLen;
  int upFactor;
  int upPhase;
  int downFactor;
  int downPhase;
  int isMultiRate;
  int isFilterMode;
  int tapsFactor;
} FirTapState;

/* Delay-line record: dlylLen elements of the sample type (tapsLen single-rate, ceil(tapsLen /
 * upFactor) multi-rate). The float and double filter form holds the newest sample first, the
 * 16-bit form the oldest first; Get and Set exchange the oldest-first history. */
typedef struct {
  void* dlyl;
  int dlylLen;
  int isFilterMode;
} FirDlyState;

/* Initialisation: Init makes a single-rate record, InitMr one that interpolates by upFactor and
 * decimates by downFactor (input m enters at t = upPhase + m*upFactor on the up-sampled time
 * line, an output is taken where t mod downFactor = downPhase). */
KVO_API int KVO_CALL kvosFirlInit(float* taps, int tapsLen, FirTapState* tapStPtr);
KVO_API int KVO_CALL kvocFirlInit(ComplexFloat* taps, int tapsLen, FirTapState* tapStPtr);
KVO_API int KVO_CALL kvodFirlInit(double* taps, int tapsLen, FirTapState* tapStPtr);
KVO_API int KVO_CALL kvozFirlInit(ComplexDouble* taps, int tapsLen, FirTapState* tapStPtr);
KVO_API int KVO_CALL kvowFirlInit(float* taps, int tapsLen, FirTapState* tapStPtr);
KVO_API int KVO_CALL kvosFirlInitMr(float* taps, int tapsLen, int upFactor, int upPhase,
                                    int downFactor, int downPhase, FirTapState* tapStPtr);
KVO_API int KVO_CALL kvocFirlInitMr(ComplexFloat* taps, int tapsLen, int upFactor, int upPhase,
                                    int downFactor, int downPhase, FirTapState* tapStPtr);
KVO_API int KVO_CALL kvodFirlInitMr(double* taps, int tapsLen, int upFactor, int upPhase,
                                    int downFactor, int downPhase, FirTapState* tapStPtr);
KVO_API int KVO_CALL kvozFirlInitMr(ComplexDouble* taps, int tapsLen, int upFactor, int upPhase,
                                    int downFactor, int downPhase, FirTapState* tapStPtr);
KVO_API int KVO_CALL kvowFirlInitMr(float* taps, int tapsLen, int upFactor, int upPhase,
                                    int downFactor, int downPhase, FirTapState* tapStPtr);
KVO_API int KVO_CALL kvosFirlInitDlyl(const FirTapState* tapStPtr, float* dlyl,
                                      FirDlyState* dlyStPtr);
KVO_API int KVO_CALL kvocFirlInitDlyl(const FirTapState* tapStPtr, ComplexFloat* dlyl,
                                      FirDlyState* dlyStPtr);
KVO_API int KVO_CALL kvodFirlInitDlyl(const FirTapState* tapStPtr, double* dlyl,
                                      FirDlyState* dlyStPtr);
KVO_API int KVO_CALL kvozFirlInitDlyl(const FirTapState* tapStPtr, ComplexDouble* dlyl,
                                      FirDlyState* dlyStPtr);
KVO_API int KVO_CALL kvowFirlInitDlyl(const FirTapState* tapStPtr, short* dlyl,
                                      FirDlyState* dlyStPtr);

/* Taps and history in the caller's form (taps h[0..tapsLen-1]; the history oldest first). A null
 * source zero-fills; the storage itself as source or destination converts in place. */
KVO_API int KVO_CALL kvosFirlSetTaps(const float* tapVals, FirTapState* tapStPtr);
KVO_API int KVO_CALL kvocFirlSetTaps(const ComplexFloat* tapVals, FirTapState* tapStPtr);
KVO_API int KVO_CALL kvodFirlSetTaps(const double* tapVals, FirTapState* tapStPtr);
KVO_API int KVO_CALL kvozFirlSetTaps(const ComplexDouble* tapVals, FirTapState* tapStPtr);
KVO_API int KVO_CALL kvowFirlSetTaps(const float* tapVals, FirTapState* tapStPtr);
KVO_API int KVO_CALL kvosFirlGetTaps(FirTapState* tapStPtr, float* tapVals);
KVO_API int KVO_CALL kvocFirlGetTaps(FirTapState* tapStPtr, ComplexFloat* tapVals);
KVO_API int KVO_CALL kvodFirlGetTaps(FirTapState* tapStPtr, double* tapVals);
KVO_API int KVO_CALL kvozFirlGetTaps(FirTapState* tapStPtr, ComplexDouble* tapVals);
KVO_API int KVO_CALL kvowFirlGetTaps(FirTapState* tapStPtr, float* tapVals);
KVO_API int KVO_CALL kvosFirlSetDlyl(const FirTapState* tapStPtr, const float* dlylVals,
                                     FirDlyState* dlyStPtr);
KVO_API int KVO_CALL kvocFirlSetDlyl(const FirTapState* tapStPtr, const ComplexFloat* dlylVals,
                                     FirDlyState* dlyStPtr);
KVO_API int KVO_CALL kvodFirlSetDlyl(const FirTapState* tapStPtr, const double* dlylVals,
                                     FirDlyState* dlyStPtr);
KVO_API int KVO_CALL kvozFirlSetDlyl(const FirTapState* tapStPtr, const ComplexDouble* dlylVals,
                                     FirDlyState* dlyStPtr);
KVO_API int KVO_CALL kvowFirlSetDlyl(const FirTapState* tapStPtr, const short* dlylVals,
                                     FirDlyState* dlyStPtr);
KVO_API int KVO_CALL kvosFirlGetDlyl(const FirTapState* tapStPtr, FirDlyState* dlyStPtr,
                                     float* dlylVals);
KVO_API int KVO_CALL kvocFirlGetDlyl(const FirTapState* tapStPtr, FirDlyState* dlyStPtr,
                                     ComplexFloat* dlylVals);
KVO_API int KVO_CALL kvodFirlGetDlyl(const FirTapState* tapStPtr, FirDlyState* dlyStPtr,
                                     double* dlylVals);
KVO_API int KVO_CALL kvozFirlGetDlyl(const FirTapState* tapStPtr, FirDlyState* dlyStPtr,
                                     ComplexDouble* dlylVals);
KVO_API int KVO_CALL kvowFirlGetDlyl(const FirTapState* tapStPtr, FirDlyState* dlyStPtr,
                                     short* dlylVals);

/* Filtering. The first type letter is that of the samples and the delay line, the second that of
 * the taps; mixed members give complex outputs. Firl filters one sample of a single-rate record;
 * bFirl reads numIters*downFactor samples and writes numIters*upFactor outputs. */
KVO_API float KVO_CALL kvosFirl(const FirTapState* tapStPtr, FirDlyState* dlyStPtr, float samp);
KVO_API ComplexFloat KVO_CALL kvocFirl(const FirTapState* tapStPtr, FirDlyState* dlyStPtr,
                                       ComplexFloat samp);
KVO_API ComplexFloat KVO_CALL kvoscFirl(const FirTapState* tapStPtr, FirDlyState* dlyStPtr,
                                        float samp);
KVO_API ComplexFloat KVO_CALL kvocsFirl(const FirTapState* tapStPtr, FirDlyState* dlyStPtr,
                                        ComplexFloat samp);
KVO_API double KVO_CALL kvodFirl(const FirTapState* tapStPtr, FirDlyState* dlyStPtr, double samp);
KVO_API ComplexDouble KVO_CALL kvozFirl(const FirTapState* tapStPtr, FirDlyState* dlyStPtr,
                                        ComplexDouble samp);
KVO_API ComplexDouble KVO_CALL kvodzFirl(const FirTapState* tapStPtr, FirDlyState* dlyStPtr,
                                         double samp);
KVO_API ComplexDouble KVO_CALL kvozdFirl(const FirTapState* tapStPtr, FirDlyState* dlyStPtr,
                                         ComplexDouble samp);
KVO_API short KVO_CALL kvowFirl(const FirTapState* tapStPtr, FirDlyState* dlyStPtr, short samp,
                                int scaleMode, int* scaleFactor);
KVO_API int KVO_CALL kvosbFirl(const FirTapState* tapStPtr, FirDlyState* dlyStPtr,
                               const float* inSamps, float* outSamps, int numIters);
KVO_API int KVO_CALL kvocbFirl(const FirTapState* tapStPtr, FirDlyState* dlyStPtr,
                               const ComplexFloat* inSamps, ComplexFloat* outSamps, int numIters);
KVO_API int KVO_CALL kvoscbFirl(const FirTapState* tapStPtr, FirDlyState* dlyStPtr,
                                const float* inSamps, ComplexFloat* outSamps, int numIters);
KVO_API int KVO_CALL kvocsbFirl(const FirTapState* tapStPtr, FirDlyState* dlyStPtr,
                                const ComplexFloat* inSamps, ComplexFloat* outSamps, int numIters);
KVO_API int KVO_CALL kvodbFirl(const FirTapState* tapStPtr, FirDlyState* dlyStPtr,
                               const double* inSamps, double* outSamps, int numIters);
KVO_API int KVO_CALL kvozbFirl(const FirTapState* tapStPtr, FirDlyState* dlyStPtr,
                               const ComplexDouble* inSamps, ComplexDouble* outSamps,
                               int numIters);
KVO_API int KVO_CALL kvodzbFirl(const FirTapState* tapStPtr, FirDlyState* dlyStPtr,
                                const double* inSamps, ComplexDouble* outSamps, int numIters);
KVO_API int KVO_CALL kvozdbFirl(const FirTapState* tapStPtr, FirDlyState* dlyStPtr,
                                const ComplexDouble* inSamps, ComplexDouble* outSamps,
                                int numIters);
KVO_API void KVO_CALL kvowbFirl(const FirTapState* tapStPtr, FirDlyState* dlyStPtr,
                                const short* inSamps, short* outSamps, int numIters,
                                int scaleMode, int* scaleFactor);

/* ------------------------------------------------------------------------------------------------
 * High-level FIR filter
 * ---------------------------------------------------------------------------------------------- */

/* State of the high-level FIR filter. The record is the caller's; its arrays are the library's,
 * allocated by Init/InitMr and released by kvoFirFree. A record is initialised exactly when self
 * holds its own address. tapsFactor is used by the 16-bit members only. */
typedef struct {
  int upFactor;
  int upPhase;
  int downFactor;
  int downPhase;
  int isMultiRate;
  void* self;
  int tapsLen;
  int tapsLen8;
  void* taps;
  int dlylLen;
  int bufLen;
  void* buffer;
  void* bufEnd;
  void* window;
  int* schedule;
  int tapsFactor;
} FirState;

/* Initialisation copies the taps (null: all zero) and the oldest-first history of dlylLen samples
 * (null: silence). The float and double members return 1 on success, the 16-bit ones 0; failures
 * return a negative status. Initialising a live record releases it first. */
KVO_API int KVO_CALL kvosFirInit(const float* taps, int tapsLen, const float* dlyVals,
                                 FirState* statePtr);
KVO_API int KVO_CALL kvocFirInit(const ComplexFloat* taps, int tapsLen,
                                 const ComplexFloat* dlyVals, FirState* statePtr);
KVO_API int KVO_CALL kvoscFirInit(const ComplexFloat* taps, int tapsLen, const float* dlyVals,
                                  FirState* statePtr);
KVO_API int KVO_CALL kvocsFirInit(const float* taps, int tapsLen, const ComplexFloat* dlyVals,
                                  FirState* statePtr);
KVO_API int KVO_CALL kvodFirInit(const double* taps, int tapsLen, const double* dlyVals,
                                 FirState* statePtr);
KVO_API int KVO_CALL kvozFirInit(const ComplexDouble* taps, int tapsLen,
                                 const ComplexDouble* dlyVals, FirState* statePtr);
KVO_API int KVO_CALL kvodzFirInit(const ComplexDouble* taps, int tapsLen, const double* dlyVals,
                                  FirState* statePtr);
KVO_API int KVO_CALL kvozdFirInit(const double* taps, int tapsLen, const ComplexDouble* dlyVals,
                                  FirState* statePtr);
KVO_API int KVO_CALL kvowFirInit(const float* taps, int tapsLen, const short* dlyVals,
                                 FirState* statePtr);
KVO_API int KVO_CALL kvosFirInitMr(const float* taps, int tapsLen, const float* dlyVals,
                                   int upFactor, int upPhase, int downFactor, int downPhase,
                                   FirState* statePtr);
KVO_API int KVO_CALL kvocFirInitMr(const ComplexFloat* taps, int tapsLen,
                                   const ComplexFloat* dlyVals, int upFactor, int upPhase,
                                   int downFactor, int downPhase, FirState* statePtr);
KVO_API int KVO_CALL kvoscFirInitMr(const ComplexFloat* taps, int tapsLen, const float* dlyVals,
                                    int upFactor, int upPhase, int downFactor, int downPhase,
                                    FirState* statePtr);
KVO_API int KVO_CALL kvocsFirInitMr(const float* taps, int tapsLen, const ComplexFloat* dlyVals,
                                    int upFactor, int upPhase, int downFactor, int downPhase,
                                    FirState* statePtr);
KVO_API int KVO_CALL kvodFirInitMr(const double* taps, int tapsLen, const double* dlyVals,
                                   int upFactor, int upPhase, int downFactor, int downPhase,
                                   FirState* statePtr);
KVO_API int KVO_CALL kvozFirInitMr(const ComplexDouble* taps, int tapsLen,
                                   const ComplexDouble* dlyVals, int upFactor, int upPhase,
                                   int downFactor, int downPhase, FirState* statePtr);
KVO_API int KVO_CALL kvodzFirInitMr(const ComplexDouble* taps, int tapsLen,
                                    const double* dlyVals, int upFactor, int upPhase,
                                    int downFactor, int downPhase, FirState* statePtr);
KVO_API int KVO_CALL kvozdFirInitMr(const double* taps, int tapsLen,
                                    const ComplexDouble* dlyVals, int upFactor, int upPhase,
                                    int downFactor, int downPhase, FirState* statePtr);
KVO_API int KVO_CALL kvowFirInitMr(const float* taps, int tapsLen, const short* dlyVals,
                                   int upFactor, int upPhase, int downFactor, int downPhase,
                                   FirState* statePtr);
KVO_API void KVO_CALL kvoFirFree(FirState* statePtr);

/* Taps in natural order and the oldest-first history; failures show in the thread's status. A
 * mixed record is read and written with the members of its taps type for the taps and of its
 * samples type for the history. */
KVO_API void KVO_CALL kvosFirSetTaps(const float* taps, FirState* statePtr);
KVO_API void KVO_CALL kvocFirSetTaps(const ComplexFloat* taps, FirState* statePtr);
KVO_API void KVO_CALL kvodFirSetTaps(const double* taps, FirState* statePtr);
KVO_API void KVO_CALL kvozFirSetTaps(const ComplexDouble* taps, FirState* statePtr);
KVO_API void KVO_CALL kvowFirSetTaps(const float* taps, FirState* statePtr);
KVO_API void KVO_CALL kvosFirGetTaps(const FirState* statePtr, float* taps);
KVO_API void KVO_CALL kvocFirGetTaps(const FirState* statePtr, ComplexFloat* taps);
KVO_API void KVO_CALL kvodFirGetTaps(const FirState* statePtr, double* taps);
KVO_API void KVO_CALL kvozFirGetTaps(const FirState* statePtr, ComplexDouble* taps);
KVO_API void KVO_CALL kvowFirGetTaps(const FirState* statePtr, float* taps);
KVO_API void KVO_CALL kvosFirSetDlyl(const float* dlyVals, FirState* statePtr);
KVO_API void KVO_CALL kvocFirSetDlyl(const ComplexFloat* dlyVals, FirState* statePtr);
KVO_API void KVO_CALL kvodFirSetDlyl(const double* dlyVals, FirState* statePtr);
KVO_API void KVO_CALL kvozFirSetDlyl(const ComplexDouble* dlyVals, FirState* statePtr);
KVO_API void KVO_CALL kvowFirSetDlyl(const short* dlyVals, FirState* statePtr);
KVO_API void KVO_CALL kvosFirGetDlyl(const FirState* statePtr, float* dlyVals);
KVO_API void KVO_CALL kvocFirGetDlyl(const FirState* statePtr, ComplexFloat* dlyVals);
KVO_API void KVO_CALL kvodFirGetDlyl(const FirState* statePtr, double* dlyVals);
KVO_API void KVO_CALL kvozFirGetDlyl(const FirState* statePtr, ComplexDouble* dlyVals);
KVO_API void KVO_CALL kvowFirGetDlyl(const FirState* statePtr, short* dlyVals);

/* Filtering, with the type letters of the low-level filter: samples first, taps second. */
KVO_API float KVO_CALL kvosFir(FirState* statePtr, float samp);
KVO_API ComplexFloat KVO_CALL kvocFir(FirState* statePtr, ComplexFloat samp);
KVO_API ComplexFloat KVO_CALL kvoscFir(FirState* statePtr, float samp);
KVO_API ComplexFloat KVO_CALL kvocsFir(FirState* statePtr, ComplexFloat samp);
KVO_API double KVO_CALL kvodFir(FirState* statePtr, double samp);
KVO_API ComplexDouble KVO_CALL kvozFir(FirState* statePtr, ComplexDouble samp);
KVO_API ComplexDouble KVO_CALL kvodzFir(FirState* statePtr, double samp);
KVO_API ComplexDouble KVO_CALL kvozdFir(FirState* statePtr, ComplexDouble samp);
KVO_API short KVO_CALL kvowFir(FirState* statePtr, short samp, int scaleMode, int* scaleFactor);
KVO_API int KVO_CALL kvosbFir(FirState* statePtr, const float* inSamps, float* outSamps,
                              int numIters);
KVO_API int KVO_CALL kvocbFir(FirState* statePtr, const ComplexFloat* inSamps,
                              ComplexFloat* outSamps, int numIters);
KVO_API int KVO_CALL kvoscbFir(FirState* statePtr, const float* inSamps, ComplexFloat* outSamps,
                               int numIters);
KVO_API int KVO_CALL kvocsbFir(FirState* statePtr, const ComplexFloat* inSamps,
                               ComplexFloat* outSamps, int numIters);
KVO_API int KVO_CALL kvodbFir(FirState* statePtr, const double* inSamps, double* outSamps,
                              int numIters);
KVO_API int KVO_CALL kvozbFir(FirState* statePtr, const ComplexDouble* inSamps,
                              ComplexDouble* outSamps, int numIters);
KVO_API int KVO_CALL kvodzbFir(FirState* statePtr, const double* inSamps,
                               ComplexDouble* outSamps, int numIters);
KVO_API int KVO_CALL kvozdbFir(FirState* statePtr, const ComplexDouble* inSamps,
                               ComplexDouble* outSamps, int numIters);
KVO_API int KVO_CALL kvowbFir(FirState* statePtr, const short* inSamps, short* outSamps,
                              int numIters, int scaleMode, int* scaleFactor);

/* ------------------------------------------------------------------------------------------------
 * Low-level IIR filter
 * ---------------------------------------------------------------------------------------------- */

/* Taps record of the low-level IIR filter. The taps array is the caller's, normalised in place
 * by Init (direct form of order `order`) or InitBq (`order` = 2 * number of biquad sections). */
typedef struct {
  int order;
  void* taps;
  int iirType;
  int isBq; /* 0 direct form, 1 biquads; any other value: not initialised */
} IirTapState;

/* Delay-line record: the caller's array of `order` elements (32-bit integers for the w type). */
typedef struct {
  void* dlyl;
} IirDlyState;

KVO_API void KVO_CALL kvosIirlInit(int iirType, float* taps, int order, IirTapState* tapStPtr);
KVO_API void KVO_CALL kvocIirlInit(int iirType, ComplexFloat* taps, int order,
                                   IirTapState* tapStPtr);
KVO_API void KVO_CALL kvodIirlInit(int iirType, double* taps, int order, IirTapState* tapStPtr);
KVO_API void KVO_CALL kvozIirlInit(int iirType, ComplexDouble* taps, int order,
                                   IirTapState* tapStPtr);
KVO_API void KVO_CALL kvowIirlInit(int iirType, float* taps, int order, IirTapState* tapStPtr);

KVO_API void KVO_CALL kvosIirlInitBq(int iirType, float* taps, int numQuads, IirTapState* tapStPtr);
KVO_API void KVO_CALL kvocIirlInitBq(int iirType, ComplexFloat* taps, int numQuads,
                                     IirTapState* tapStPtr);
KVO_API void KVO_CALL kvodIirlInitBq(int iirType, double* taps, int numQuads,
                                     IirTapState* tapStPtr);
KVO_API void KVO_CALL kvozIirlInitBq(int iirType, ComplexDouble* taps, int numQuads,
                                     IirTapState* tapStPtr);
KVO_API void KVO_CALL kvowIirlInitBq(int iirType, float* taps, int numQuads, IirTapState* tapStPtr);

KVO_API void KVO_CALL kvosIirlInitDlyl(const IirTapState* tapStPtr, float* dlyl,
                                       IirDlyState* dlyStPtr);
KVO_API void KVO_CALL kvocIirlInitDlyl(const IirTapState* tapStPtr, ComplexFloat* dlyl,
                                       IirDlyState* dlyStPtr);
KVO_API void KVO_CALL kvodIirlInitDlyl(const IirTapState* tapStPtr, double* dlyl,
                                       IirDlyState* dlyStPtr);
KVO_API void KVO_CALL kvozIirlInitDlyl(const IirTapState* tapStPtr, ComplexDouble* dlyl,
                                       IirDlyState* dlyStPtr);
KVO_API void KVO_CALL kvowIirlInitDlyl(const IirTapState* tapStPtr, int* dlyl,
                                       IirDlyState* dlyStPtr);

/* One sample. Mixed members: first letter the samples, second the taps; complex output. */
KVO_API float KVO_CALL kvosIirl(const IirTapState* tapStPtr, IirDlyState* dlyStPtr, float samp);
KVO_API ComplexFloat KVO_CALL kvocIirl(const IirTapState* tapStPtr, IirDlyState* dlyStPtr,
                                       ComplexFloat samp);
KVO_API ComplexFloat KVO_CALL kvocsIirl(const IirTapState* tapStPtr, IirDlyState* dlyStPtr,
                                        ComplexFloat samp);
KVO_API ComplexFloat KVO_CALL kvoscIirl(const IirTapState* tapStPtr, IirDlyState* dlyStPtr,
                                        float samp);
KVO_API double KVO_CALL kvodIirl(const IirTapState* tapStPtr, IirDlyState* dlyStPtr, double samp);
KVO_API ComplexDouble KVO_CALL kvozIirl(const IirTapState* tapStPtr, IirDlyState* dlyStPtr,
                                        ComplexDouble samp);
KVO_API ComplexDouble KVO_CALL kvozdIirl(const IirTapState* tapStPtr, IirDlyState* dlyStPtr,
                                         ComplexDouble samp);
KVO_API ComplexDouble KVO_CALL kvodzIirl(const IirTapState* tapStPtr, IirDlyState* dlyStPtr,
                                         double samp);
KVO_API short KVO_CALL kvowIirl(const IirTapState* tapStPtr, IirDlyState* dlyStPtr, short samp,
                                int scaleMode, int* scaleFactor);

/* A block: the same results as numIters single-sample calls; inSamps may equal outSamps. */
KVO_API void KVO_CALL kvosbIirl(const IirTapState* tapStPtr, IirDlyState* dlyStPtr,
                                const float* inSamps, float* outSamps, int numIters);
KVO_API void KVO_CALL kvocbIirl(const IirTapState* tapStPtr, IirDlyState* dlyStPtr,
                                const ComplexFloat* inSamps, ComplexFloat* outSamps, int numIters);
KVO_API void KVO_CALL kvocsbIirl(const IirTapState* tapStPtr, IirDlyState* dlyStPtr,
                                 const ComplexFloat* inSamps, ComplexFloat* outSamps, int numIters);
KVO_API void KVO_CALL kvoscbIirl(const IirTapState* tapStPtr, IirDlyState* dlyStPtr,
                                 const float* inSamps, ComplexFloat* outSamps, int numIters);
KVO_API void KVO_CALL kvodbIirl(const IirTapState* tapStPtr, IirDlyState* dlyStPtr,
                                const double* inSamps, double* outSamps, int numIters);
KVO_API void KVO_CALL kvozbIirl(const IirTapState* tapStPtr, IirDlyState* dlyStPtr,
                                const ComplexDouble* inSamps, ComplexDouble* outSamps,
                                int numIters);
KVO_API void KVO_CALL kvozdbIirl(const IirTapState* tapStPtr, IirDlyState* dlyStPtr,
                                 const ComplexDouble* inSamps, ComplexDouble* outSamps,
                                 int numIters);
KVO_API void KVO_CALL kvodzbIirl(const IirTapState* tapStPtr, IirDlyState* dlyStPtr,
                                 const double* inSamps, ComplexDouble* outSamps, int numIters);
KVO_API void KVO_CALL kvowbIirl(const IirTapState* tapStPtr, IirDlyState* dlyStPtr,
                                const short* inSamps, short* outSamps, int numIters, int scaleMode,
                                int* scaleFactor);

/* ------------------------------------------------------------------------------------------------
 * High-level IIR filter
 * ---------------------------------------------------------------------------------------------- */

/* High-level IIR filter: the library keeps its own normalised copy of the taps and the delay
 * line. A record counts as initialised while initMark is 31725; start from a zero-filled one. */
typedef struct {
  int order;
  void* taps;
  int iirType;
  int isBq;
  IirDlyState dlyl;
  int initMark;
} IirState;

KVO_API void KVO_CALL kvosIirInit(int iirType, const float* tapVals, int order, IirState* statePtr);
KVO_API void KVO_CALL kvocIirInit(int iirType, const ComplexFloat* tapVals, int order,
                                  IirState* statePtr);
KVO_API void KVO_CALL kvodIirInit(int iirType, const double* tapVals, int order,
                                  IirState* statePtr);
KVO_API void KVO_CALL kvozIirInit(int iirType, const ComplexDouble* tapVals, int order,
                                  IirState* statePtr);
KVO_API void KVO_CALL kvoscIirInit(int iirType, const ComplexFloat* tapVals, int order,
                                   IirState* statePtr);
KVO_API void KVO_CALL kvocsIirInit(int iirType, const float* tapVals, int order,
                                   IirState* statePtr);
KVO_API void KVO_CALL kvodzIirInit(int iirType, const ComplexDouble* tapVals, int order,
                                   IirState* statePtr);
KVO_API void KVO_CALL kvozdIirInit(int iirType, const double* tapVals, int order,
                                   IirState* statePtr);
KVO_API void KVO_CALL kvowIirInit(int iirType, const float* tapVals, int order, IirState* statePtr);

KVO_API void KVO_CALL kvosIirInitBq(int iirType, const float* tapVals, int numQuads,
                                    IirState* statePtr);
KVO_API void KVO_CALL kvocIirInitBq(int iirType, const ComplexFloat* tapVals, int numQuads,
                                    IirState* statePtr);
KVO_API void KVO_CALL kvodIirInitBq(int iirType, const double* tapVals, int numQuads,
                                    IirState* statePtr);
KVO_API void KVO_CALL kvozIirInitBq(int iirType, const ComplexDouble* tapVals, int numQuads,
                                    IirState* statePtr);
KVO_API void KVO_CALL kvoscIirInitBq(int iirType, const ComplexFloat* tapVals, int numQuads,
                                     IirState* statePtr);
KVO_API void KVO_CALL kvocsIirInitBq(int iirType, const float* tapVals, int numQuads,
                                     IirState* statePtr);
KVO_API void KVO_CALL kvodzIirInitBq(int iirType, const ComplexDouble* tapVals, int numQuads,
                                     IirState* statePtr);
KVO_API void KVO_CALL kvozdIirInitBq(int iirType, const double* tapVals, int numQuads,
                                     IirState* statePtr);
KVO_API void KVO_CALL kvowIirInitBq(int iirType, const float* tapVals, int numQuads,
                                    IirState* statePtr);

KVO_API void KVO_CALL kvoIirFree(IirState* statePtr);

KVO_API float KVO_CALL kvosIir(IirState* statePtr, float samp);
KVO_API ComplexFloat KVO_CALL kvocIir(IirState* statePtr, ComplexFloat samp);
KVO_API double KVO_CALL kvodIir(IirState* statePtr, double samp);
KVO_API ComplexDouble KVO_CALL kvozIir(IirState* statePtr, ComplexDouble samp);
KVO_API ComplexFloat KVO_CALL kvoscIir(IirState* statePtr, float samp);
KVO_API ComplexFloat KVO_CALL kvocsIir(IirState* statePtr, ComplexFloat samp);
KVO_API ComplexDouble KVO_CALL kvodzIir(IirState* statePtr, double samp);
KVO_API ComplexDouble KVO_CALL kvozdIir(IirState* statePtr, ComplexDouble samp);
KVO_API short KVO_CALL kvowIir(IirState* statePtr, short samp, int scaleMode, int* scaleFactor);

KVO_API int KVO_CALL kvosbIir(IirState* statePtr, const float* inSamps, float* outSamps,
                              int numIters);
KVO_API int KVO_CALL kvocbIir(IirState* statePtr, const ComplexFloat* inSamps,
                              ComplexFloat* outSamps, int numIters);
KVO_API int KVO_CALL kvodbIir(IirState* statePtr, const double* inSamps, double* outSamps,
                              int numIters);
KVO_API int KVO_CALL kvozbIir(IirState* statePtr, const ComplexDouble* inSamps,
                              ComplexDouble* outSamps, int numIters);
KVO_API int KVO_CALL kvoscbIir(IirState* statePtr, const float* inSamps, ComplexFloat* outSamps,
                               int numIters);
KVO_API int KVO_CALL kvocsbIir(IirState* statePtr, const ComplexFloat* inSamps,
                               ComplexFloat* outSamps, int numIters);
KVO_API int KVO_CALL kvodzbIir(IirState* statePtr, const double* inSamps, ComplexDouble* outSamps,
                               int numIters);
KVO_API int KVO_CALL kvozdbIir(IirState* statePtr, const ComplexDouble* inSamps,
                               ComplexDouble* outSamps, int numIters);
KVO_API void KVO_CALL kvowbIir(IirState* statePtr, const short* inSamps, short* outSamps,
                               int numIters, int scaleMode, int* scaleFactor);

/* ------------------------------------------------------------------------------------------------
 * FIR filter design
 * ---------------------------------------------------------------------------------------------- */

/* Linear-phase FIR taps by the window method, frequencies relative to the sampling rate
 * (0 < f < 0.5). winType: 1 Bartlett, 2 Blackman with the optimal alpha, 3 Hamming, 4 Hann, any
 * other value no window. doNormal != 0 scales the taps to unit gain at frequency 0 (lowpass,
 * bandstop), 0.5 (highpass) or the band centre (bandpass). The even-length highpass is
 * antisymmetric, all others symmetric. Return 0, or the failed check's status: -9 taps is null,
 * -10 tapsLen < 5, -11 a frequency outside (0, 0.5), -12 rLowFreq >= rHighFreq. */
KVO_API int KVO_CALL kvodFirLowpass(double rfreq, double* taps, int tapsLen, int winType,
                                    int doNormal);
KVO_API int KVO_CALL kvodFirHighpass(double rfreq, double* taps, int tapsLen, int winType,
                                     int doNormal);
KVO_API int KVO_CALL kvodFirBandpass(double rLowFreq, double rHighFreq, double* taps, int tapsLen,
                                     int winType, int doNormal);
KVO_API int KVO_CALL kvodFirBandstop(double rLowFreq, double rHighFreq, double* taps, int tapsLen,
                                     int winType, int doNormal);

/* ------------------------------------------------------------------------------------------------
 * Low-level LMS filter
 * ---------------------------------------------------------------------------------------------- */

/* An adaptive transversal filter on caller-owned arrays. The taps record begins with the fields of
 * FirTapState up to isFilterMode, and the delay-line record with those of FirDlyState, so the
 * non-adapting forms run the low-level FIR filter on the same records. The delay line is kept
 * newest first (entry 0 newest); Get/SetDlyl exchange it oldest first.
 *
 * The 16-bit filter (w) keeps its taps as 32-bit integers in Q13 (value times 8192) and its step
 * as a Q13 32-bit integer held in the 32 bits of `step` (read it with kvowLmslGetStep). */
typedef struct {
  void* taps;       /* the caller's taps array, used in place */
  int tapsLen;      /* at least 1 */
  int upFactor;     /* always 1 */
  int upPhase;      /* always 0 */
  int downFactor;   /* decimation factor of the block step (1 unless set by InitMr) */
  int downPhase;    /* 0 <= downPhase < downFactor */
  int isMultiRate;  /* 1 when downFactor >= 2 */
  int isFilterMode; /* 1 while the taps array holds the filter's form */
  float leak;       /* leakage: each adaptation scales the taps by 1 - leak first */
  float step;       /* adaptation step (w: Q13 integer, see above) */
  int errDly;       /* error delay in samples, at least 0 */
  int lmsType;      /* the caller's code, kept unchanged */
} LmsTapState;

typedef struct {
  void* dlyl;       /* the caller's delay-line array, used in place */
  int dlylLen;      /* tapsLen, + errDly when adaptive, + downFactor for a multi-rate record */
  int isFilterMode; /* 1 while the array holds the filter's (newest-first) order */
  int isAdaptive;
} LmsDlyState;

KVO_API int KVO_CALL kvosLmslInit(int lmsType, float* taps, int tapsLen, float step, float leak,
                                  int errDly, LmsTapState* tapStPtr);
KVO_API int KVO_CALL kvodLmslInit(int lmsType, double* taps, int tapsLen, float step, float leak,
                                  int errDly, LmsTapState* tapStPtr);
KVO_API int KVO_CALL kvocLmslInit(int lmsType, ComplexFloat* taps, int tapsLen, float step,
                                  float leak, int errDly, LmsTapState* tapStPtr);
KVO_API int KVO_CALL kvozLmslInit(int lmsType, ComplexDouble* taps, int tapsLen, float step,
                                  float leak, int errDly, LmsTapState* tapStPtr);
KVO_API int KVO_CALL kvosLmslInitMr(int lmsType, float* taps, int tapsLen, float step, float leak,
                                    int errDly, int downFactor, int downPhase,
                                    LmsTapState* tapStPtr);
KVO_API int KVO_CALL kvodLmslInitMr(int lmsType, double* taps, int tapsLen, float step,
                                    float leak, int errDly, int downFactor, int downPhase,
                                    LmsTapState* tapStPtr);
KVO_API int KVO_CALL kvocLmslInitMr(int lmsType, ComplexFloat* taps, int tapsLen, float step,
                                    float leak, int errDly, int downFactor, int downPhase,
                                    LmsTapState* tapStPtr);
KVO_API int KVO_CALL kvozLmslInitMr(int lmsType, ComplexDouble* taps, int tapsLen, float step,
                                    float leak, int errDly, int downFactor, int downPhase,
                                    LmsTapState* tapStPtr);
/* Converts the float taps in place to Q13 integers, which then stay the filter's taps. */
KVO_API int KVO_CALL kvowLmslInit(int lmsType, float* taps, int tapsLen, float step, int errDly,
                                  LmsTapState* tapStPtr);

KVO_API int KVO_CALL kvosLmslInitDlyl(const LmsTapState* tapStPtr, float* dlyl, int isAdaptive,
                                      LmsDlyState* dlyStPtr);
KVO_API int KVO_CALL kvodLmslInitDlyl(const LmsTapState* tapStPtr, double* dlyl, int isAdaptive,
                                      LmsDlyState* dlyStPtr);
KVO_API int KVO_CALL kvocLmslInitDlyl(const LmsTapState* tapStPtr, ComplexFloat* dlyl,
                                      int isAdaptive, LmsDlyState* dlyStPtr);
KVO_API int KVO_CALL kvozLmslInitDlyl(const LmsTapState* tapStPtr, ComplexDouble* dlyl,
                                      int isAdaptive, LmsDlyState* dlyStPtr);
KVO_API int KVO_CALL kvowLmslInitDlyl(const LmsTapState* tapStPtr, short* dlyl,
                                      LmsDlyState* dlyStPtr);

/* Step and leak of every float record (s, d, c, z, sc, dz). */
KVO_API float KVO_CALL kvosLmslGetStep(const LmsTapState* tapStPtr);
KVO_API int KVO_CALL kvosLmslSetStep(float step, LmsTapState* tapStPtr);
KVO_API float KVO_CALL kvosLmslGetLeak(const LmsTapState* tapStPtr);
KVO_API int KVO_CALL kvosLmslSetLeak(float leak, LmsTapState* tapStPtr);
KVO_API float KVO_CALL kvowLmslGetStep(const LmsTapState* tapStPtr);
KVO_API int KVO_CALL kvowLmslSetStep(float step, LmsTapState* tapStPtr);

KVO_API void KVO_CALL kvosLmslGetTaps(LmsTapState* tapStPtr, float* outTaps);
KVO_API void KVO_CALL kvodLmslGetTaps(LmsTapState* tapStPtr, double* outTaps);
KVO_API void KVO_CALL kvocLmslGetTaps(LmsTapState* tapStPtr, ComplexFloat* outTaps);
KVO_API void KVO_CALL kvozLmslGetTaps(LmsTapState* tapStPtr, ComplexDouble* outTaps);
KVO_API int KVO_CALL kvosLmslSetTaps(const float* inTaps, LmsTapState* tapStPtr);
KVO_API int KVO_CALL kvodLmslSetTaps(const double* inTaps, LmsTapState* tapStPtr);
KVO_API int KVO_CALL kvocLmslSetTaps(const ComplexFloat* inTaps, LmsTapState* tapStPtr);
KVO_API int KVO_CALL kvozLmslSetTaps(const ComplexDouble* inTaps, LmsTapState* tapStPtr);
KVO_API void KVO_CALL kvowLmslGetTaps(LmsTapState* tapStPtr, float* outTaps);
KVO_API int KVO_CALL kvowLmslSetTaps(const float* inTaps, LmsTapState* tapStPtr);

KVO_API void KVO_CALL kvosLmslGetDlyl(const LmsTapState* tapStPtr, LmsDlyState* dlyStPtr,
                                      float* outDlyl);
KVO_API void KVO_CALL kvodLmslGetDlyl(const LmsTapState* tapStPtr, LmsDlyState* dlyStPtr,
                                      double* outDlyl);
KVO_API void KVO_CALL kvocLmslGetDlyl(const LmsTapState* tapStPtr, LmsDlyState* dlyStPtr,
                                      ComplexFloat* outDlyl);
KVO_API void KVO_CALL kvozLmslGetDlyl(const LmsTapState* tapStPtr, LmsDlyState* dlyStPtr,
                                      ComplexDouble* outDlyl);
KVO_API void KVO_CALL kvowLmslGetDlyl(const LmsTapState* tapStPtr, LmsDlyState* dlyStPtr,
                                      short* outDlyl);
KVO_API int KVO_CALL kvosLmslSetDlyl(const LmsTapState* tapStPtr, const float* inDlyl,
                                     LmsDlyState* dlyStPtr);
KVO_API int KVO_CALL kvodLmslSetDlyl(const LmsTapState* tapStPtr, const double* inDlyl,
                                     LmsDlyState* dlyStPtr);
KVO_API int KVO_CALL kvocLmslSetDlyl(const LmsTapState* tapStPtr, const ComplexFloat* inDlyl,
                                     LmsDlyState* dlyStPtr);
KVO_API int KVO_CALL kvozLmslSetDlyl(const LmsTapState* tapStPtr, const ComplexDouble* inDlyl,
                                     LmsDlyState* dlyStPtr);
KVO_API int KVO_CALL kvowLmslSetDlyl(const LmsTapState* tapStPtr, const short* inDlyl,
                                     LmsDlyState* dlyStPtr);

/* One sample in, one output; err is the error of the previous output. */
KVO_API float KVO_CALL kvosLmsl(LmsTapState* tapStPtr, LmsDlyState* dlyStPtr, float samp,
                                float err);
KVO_API double KVO_CALL kvodLmsl(LmsTapState* tapStPtr, LmsDlyState* dlyStPtr, double samp,
                                 double err);
KVO_API ComplexFloat KVO_CALL kvocLmsl(LmsTapState* tapStPtr, LmsDlyState* dlyStPtr,
                                       ComplexFloat samp, ComplexFloat err);
KVO_API ComplexDouble KVO_CALL kvozLmsl(LmsTapState* tapStPtr, LmsDlyState* dlyStPtr,
                                        ComplexDouble samp, ComplexDouble err);
KVO_API ComplexFloat KVO_CALL kvoscLmsl(LmsTapState* tapStPtr, LmsDlyState* dlyStPtr, float samp,
                                        ComplexFloat err);
KVO_API ComplexDouble KVO_CALL kvodzLmsl(LmsTapState* tapStPtr, LmsDlyState* dlyStPtr,
                                         double samp, ComplexDouble err);
KVO_API short KVO_CALL kvowLmsl(LmsTapState* tapStPtr, LmsDlyState* dlyStPtr, short samp,
                                short err);

/* downFactor samples in (oldest first), one output. */
KVO_API float KVO_CALL kvosbLmsl(LmsTapState* tapStPtr, LmsDlyState* dlyStPtr,
                                 const float* inSamps, float err);
KVO_API double KVO_CALL kvodbLmsl(LmsTapState* tapStPtr, LmsDlyState* dlyStPtr,
                                  const double* inSamps, double err);
KVO_API ComplexFloat KVO_CALL kvocbLmsl(LmsTapState* tapStPtr, LmsDlyState* dlyStPtr,
                                        const ComplexFloat* inSamps, ComplexFloat err);
KVO_API ComplexDouble KVO_CALL kvozbLmsl(LmsTapState* tapStPtr, LmsDlyState* dlyStPtr,
                                         const ComplexDouble* inSamps, ComplexDouble err);
KVO_API ComplexFloat KVO_CALL kvoscbLmsl(LmsTapState* tapStPtr, LmsDlyState* dlyStPtr,
                                         const float* inSamps, ComplexFloat err);
KVO_API ComplexDouble KVO_CALL kvodzbLmsl(LmsTapState* tapStPtr, LmsDlyState* dlyStPtr,
                                          const double* inSamps, ComplexDouble err);

/* Filtering without adaptation: the FIR filter on the same records. */
KVO_API float KVO_CALL kvosLmslNa(const LmsTapState* tapStPtr, LmsDlyState* dlyStPtr,
                                  float samp);
KVO_API double KVO_CALL kvodLmslNa(const LmsTapState* tapStPtr, LmsDlyState* dlyStPtr,
                                   double samp);
KVO_API ComplexFloat KVO_CALL kvocLmslNa(const LmsTapState* tapStPtr, LmsDlyState* dlyStPtr,
                                         ComplexFloat samp);
KVO_API ComplexDouble KVO_CALL kvozLmslNa(const LmsTapState* tapStPtr, LmsDlyState* dlyStPtr,
                                          ComplexDouble samp);
KVO_API ComplexFloat KVO_CALL kvoscLmslNa(const LmsTapState* tapStPtr, LmsDlyState* dlyStPtr,
                                          float samp);
KVO_API ComplexFloat KVO_CALL kvocsLmslNa(const LmsTapState* tapStPtr, LmsDlyState* dlyStPtr,
                                          ComplexFloat samp);
KVO_API ComplexDouble KVO_CALL kvodzLmslNa(const LmsTapState* tapStPtr, LmsDlyState* dlyStPtr,
                                           double samp);
KVO_API ComplexDouble KVO_CALL kvozdLmslNa(const LmsTapState* tapStPtr, LmsDlyState* dlyStPtr,
                                           ComplexDouble samp);
KVO_API int KVO_CALL kvosbLmslNa(const LmsTapState* tapStPtr, LmsDlyState* dlyStPtr,
                                 const float* inSamps, float* outSamps, int numIters);
KVO_API int KVO_CALL kvodbLmslNa(const LmsTapState* tapStPtr, LmsDlyState* dlyStPtr,
                                 const double* inSamps, double* outSamps, int numIters);
KVO_API int KVO_CALL kvocbLmslNa(const LmsTapState* tapStPtr, LmsDlyState* dlyStPtr,
                                 const ComplexFloat* inSamps, ComplexFloat* outSamps,
                                 int numIters);
KVO_API int KVO_CALL kvozbLmslNa(const LmsTapState* tapStPtr, LmsDlyState* dlyStPtr,
                                 const ComplexDouble* inSamps, ComplexDouble* outSamps,
                                 int numIters);
KVO_API int KVO_CALL kvoscbLmslNa(const LmsTapState* tapStPtr, LmsDlyState* dlyStPtr,
                                  const float* inSamps, ComplexFloat* outSamps, int numIters);
KVO_API int KVO_CALL kvocsbLmslNa(const LmsTapState* tapStPtr, LmsDlyState* dlyStPtr,
                                  const ComplexFloat* inSamps, ComplexFloat* outSamps,
                                  int numIters);
KVO_API int KVO_CALL kvodzbLmslNa(const LmsTapState* tapStPtr, LmsDlyState* dlyStPtr,
                                  const double* inSamps, ComplexDouble* outSamps, int numIters);
KVO_API int KVO_CALL kvozdbLmslNa(const LmsTapState* tapStPtr, LmsDlyState* dlyStPtr,
                                  const ComplexDouble* inSamps, ComplexDouble* outSamps,
                                  int numIters);

/* ------------------------------------------------------------------------------------------------
 * High-level LMS filter
 * ---------------------------------------------------------------------------------------------- */

/* An adaptive filter in one record whose arrays the library allocates (kvoLmsFree releases them).
 * The record is a taps record, a delay-line record and the last error: &state->tapSt and
 * &state->dlySt may be passed to every low-level LMS operation. errVal holds the error in the
 * taps' type: member s for s, d for d, c for c and sc, z for z and dz. */
typedef struct {
  LmsTapState tapSt;
  LmsDlyState dlySt;
  union {
    float s;
    double d;
    ComplexFloat c;
    ComplexDouble z;
  } errVal;
} LmsState;

KVO_API int KVO_CALL kvosLmsInit(int lmsType, const float* taps, int tapsLen, const float* dlyl,
                                 float step, float leak, int errDly, LmsState* statePtr);
KVO_API int KVO_CALL kvodLmsInit(int lmsType, const double* taps, int tapsLen, const double* dlyl,
                                 float step, float leak, int errDly, LmsState* statePtr);
KVO_API int KVO_CALL kvocLmsInit(int lmsType, const ComplexFloat* taps, int tapsLen,
                                 const ComplexFloat* dlyl, float step, float leak, int errDly,
                                 LmsState* statePtr);
KVO_API int KVO_CALL kvozLmsInit(int lmsType, const ComplexDouble* taps, int tapsLen,
                                 const ComplexDouble* dlyl, float step, float leak, int errDly,
                                 LmsState* statePtr);
KVO_API int KVO_CALL kvoscLmsInit(int lmsType, const ComplexFloat* taps, int tapsLen,
                                  const float* dlyl, float step, float leak, int errDly,
                                  LmsState* statePtr);
KVO_API int KVO_CALL kvodzLmsInit(int lmsType, const ComplexDouble* taps, int tapsLen,
                                  const double* dlyl, float step, float leak, int errDly,
                                  LmsState* statePtr);
KVO_API int KVO_CALL kvosLmsInitMr(int lmsType, const float* taps, int tapsLen, const float* dlyl,
                                   float step, float leak, int errDly, int downFactor,
                                   int downPhase, LmsState* statePtr);
KVO_API int KVO_CALL kvodLmsInitMr(int lmsType, const double* taps, int tapsLen,
                                   const double* dlyl, float step, float leak, int errDly,
                                   int downFactor, int downPhase, LmsState* statePtr);
KVO_API int KVO_CALL kvocLmsInitMr(int lmsType, const ComplexFloat* taps, int tapsLen,
                                   const ComplexFloat* dlyl, float step, float leak, int errDly,
                                   int downFactor, int downPhase, LmsState* statePtr);
KVO_API int KVO_CALL kvozLmsInitMr(int lmsType, const ComplexDouble* taps, int tapsLen,
                                   const ComplexDouble* dlyl, float step, float leak, int errDly,
                                   int downFactor, int downPhase, LmsState* statePtr);
KVO_API int KVO_CALL kvoscLmsInitMr(int lmsType, const ComplexFloat* taps, int tapsLen,
                                    const float* dlyl, float step, float leak, int errDly,
                                    int downFactor, int downPhase, LmsState* statePtr);
KVO_API int KVO_CALL kvodzLmsInitMr(int lmsType, const ComplexDouble* taps, int tapsLen,
                                    const double* dlyl, float step, float leak, int errDly,
                                    int downFactor, int downPhase, LmsState* statePtr);
KVO_API void KVO_CALL kvoLmsFree(LmsState* statePtr);

/* The caller's error, as in kvo?Lmsl and kvo?bLmsl. */
KVO_API float KVO_CALL kvosLms(LmsState* statePtr, float samp, float err);
KVO_API double KVO_CALL kvodLms(LmsState* statePtr, double samp, double err);
KVO_API ComplexFloat KVO_CALL kvocLms(LmsState* statePtr, ComplexFloat samp, ComplexFloat err);
KVO_API ComplexDouble KVO_CALL kvozLms(LmsState* statePtr, ComplexDouble samp,
                                       ComplexDouble err);
KVO_API ComplexFloat KVO_CALL kvoscLms(LmsState* statePtr, float samp, ComplexFloat err);
KVO_API ComplexDouble KVO_CALL kvodzLms(LmsState* statePtr, double samp, ComplexDouble err);
KVO_API float KVO_CALL kvosbLms(LmsState* statePtr, const float* inSamps, float err);
KVO_API double KVO_CALL kvodbLms(LmsState* statePtr, const double* inSamps, double err);
KVO_API ComplexFloat KVO_CALL kvocbLms(LmsState* statePtr, const ComplexFloat* inSamps,
                                       ComplexFloat err);
KVO_API ComplexDouble KVO_CALL kvozbLms(LmsState* statePtr, const ComplexDouble* inSamps,
                                        ComplexDouble err);
KVO_API ComplexFloat KVO_CALL kvoscbLms(LmsState* statePtr, const float* inSamps,
                                        ComplexFloat err);
KVO_API ComplexDouble KVO_CALL kvodzbLms(LmsState* statePtr, const double* inSamps,
                                         ComplexDouble err);

/* The desired output instead of the error: adapt with the stored error, filter, store d - y. */
KVO_API float KVO_CALL kvosLmsDes(LmsState* statePtr, float samp, float desired);
KVO_API double KVO_CALL kvodLmsDes(LmsState* statePtr, double samp, double desired);
KVO_API ComplexFloat KVO_CALL kvocLmsDes(LmsState* statePtr, ComplexFloat samp,
                                         ComplexFloat desired);
KVO_API ComplexDouble KVO_CALL kvozLmsDes(LmsState* statePtr, ComplexDouble samp,
                                          ComplexDouble desired);
KVO_API ComplexFloat KVO_CALL kvoscLmsDes(LmsState* statePtr, float samp, ComplexFloat desired);
KVO_API ComplexDouble KVO_CALL kvodzLmsDes(LmsState* statePtr, double samp,
                                           ComplexDouble desired);
KVO_API int KVO_CALL kvosbLmsDes(LmsState* statePtr, const float* inSamps, const float* desSamps,
                                 float* outSamps, int numIters);
KVO_API int KVO_CALL kvodbLmsDes(LmsState* statePtr, const double* inSamps,
                                 const double* desSamps, double* outSamps, int numIters);
KVO_API int KVO_CALL kvocbLmsDes(LmsState* statePtr, const ComplexFloat* inSamps,
                                 const ComplexFloat* desSamps, ComplexFloat* outSamps,
                                 int numIters);
KVO_API int KVO_CALL kvozbLmsDes(LmsState* statePtr, const ComplexDouble* inSamps,
                                 const ComplexDouble* desSamps, ComplexDouble* outSamps,
                                 int numIters);
KVO_API int KVO_CALL kvoscbLmsDes(LmsState* statePtr, const float* inSamps,
                                  const ComplexFloat* desSamps, ComplexFloat* outSamps,
                                  int numIters);
KVO_API int KVO_CALL kvodzbLmsDes(LmsState* statePtr, const double* inSamps,
                                  const ComplexDouble* desSamps, ComplexDouble* outSamps,
                                  int numIters);

/* Taps by the taps' type, the delay line by the samples' type (an sc state: kvocLmsGetTaps and
 * kvosLmsGetDlyl). */
KVO_API void KVO_CALL kvosLmsGetTaps(LmsState* statePtr, float* outTaps);
KVO_API int KVO_CALL kvosLmsSetTaps(const float* inTaps, LmsState* statePtr);
KVO_API void KVO_CALL kvodLmsGetTaps(LmsState* statePtr, double* outTaps);
KVO_API int KVO_CALL kvodLmsSetTaps(const double* inTaps, LmsState* statePtr);
KVO_API void KVO_CALL kvocLmsGetTaps(LmsState* statePtr, ComplexFloat* outTaps);
KVO_API int KVO_CALL kvocLmsSetTaps(const ComplexFloat* inTaps, LmsState* statePtr);
KVO_API void KVO_CALL kvozLmsGetTaps(LmsState* statePtr, ComplexDouble* outTaps);
KVO_API int KVO_CALL kvozLmsSetTaps(const ComplexDouble* inTaps, LmsState* statePtr);
KVO_API void KVO_CALL kvosLmsGetDlyl(LmsState* statePtr, float* outDlyl);
KVO_API int KVO_CALL kvosLmsSetDlyl(const float* inDlyl, LmsState* statePtr);
KVO_API void KVO_CALL kvodLmsGetDlyl(LmsState* statePtr, double* outDlyl);
KVO_API int KVO_CALL kvodLmsSetDlyl(const double* inDlyl, LmsState* statePtr);
KVO_API void KVO_CALL kvocLmsGetDlyl(LmsState* statePtr, ComplexFloat* outDlyl);
KVO_API int KVO_CALL kvocLmsSetDlyl(const ComplexFloat* inDlyl, LmsState* statePtr);
KVO_API void KVO_CALL kvozLmsGetDlyl(LmsState* statePtr, ComplexDouble* outDlyl);
KVO_API int KVO_CALL kvozLmsSetDlyl(const ComplexDouble* inDlyl, LmsState* statePtr);
KVO_API float KVO_CALL kvosLmsGetErrVal(const LmsState* statePtr);
KVO_API int KVO_CALL kvosLmsSetErrVal(float err, LmsState* statePtr);
KVO_API double KVO_CALL kvodLmsGetErrVal(const LmsState* statePtr);
KVO_API int KVO_CALL kvodLmsSetErrVal(double err, LmsState* statePtr);
KVO_API ComplexFloat KVO_CALL kvocLmsGetErrVal(const LmsState* statePtr);
KVO_API int KVO_CALL kvocLmsSetErrVal(ComplexFloat err, LmsState* statePtr);
KVO_API ComplexDouble KVO_CALL kvozLmsGetErrVal(const LmsState* statePtr);
KVO_API int KVO_CALL kvozLmsSetErrVal(ComplexDouble err, LmsState* statePtr);
/* Step and leak of every float state. */
KVO_API float KVO_CALL kvosLmsGetStep(const LmsState* statePtr);
KVO_API int KVO_CALL kvosLmsSetStep(float step, LmsState* statePtr);
KVO_API float KVO_CALL kvosLmsGetLeak(const LmsState* statePtr);
KVO_API int KVO_CALL kvosLmsSetLeak(float leak, LmsState* statePtr);

/* ------------------------------------------------------------------------------------------------
 * Convolution
 * ---------------------------------------------------------------------------------------------- */

/* Linear convolution y[n] = sum x[k] * h[n-k], n = 0 .. xLen + hLen - 2; the operands may come in
 * either order. Float members choose the direct sum or FFT methods per call; kvowConv sums
 * directly with wrapped 16-bit products and saturating additions. */
KVO_API int KVO_CALL kvosConv(const float* x, int xLen, const float* h, int hLen, float* y);
KVO_API int KVO_CALL kvocConv(const ComplexFloat* x, int xLen, const ComplexFloat* h, int hLen,
                              ComplexFloat* y);
KVO_API int KVO_CALL kvoscConv(const float* x, int xLen, const ComplexFloat* h, int hLen,
                               ComplexFloat* y);
KVO_API int KVO_CALL kvocsConv(const ComplexFloat* x, int xLen, const float* h, int hLen,
                               ComplexFloat* y);
KVO_API int KVO_CALL kvodConv(const double* x, int xLen, const double* h, int hLen, double* y);
KVO_API int KVO_CALL kvozConv(const ComplexDouble* x, int xLen, const ComplexDouble* h, int hLen,
                              ComplexDouble* y);
KVO_API int KVO_CALL kvodzConv(const double* x, int xLen, const ComplexDouble* h, int hLen,
                               ComplexDouble* y);
KVO_API int KVO_CALL kvozdConv(const ComplexDouble* x, int xLen, const double* h, int hLen,
                               ComplexDouble* y);
KVO_API int KVO_CALL kvowConv(const short* x, int xLen, const short* h, int hLen, short* y,
                              int scaleMode, int* scaleFactor);

/* ------------------------------------------------------------------------------------------------
 * Correlation
 * ---------------------------------------------------------------------------------------------- */

/* Cross-correlation r[k] = sum conj(srcA[n]) * srcB[n + k] for the lags loLag .. hiLag (dst[j] is
 * lag loLag + j), and autocorrelation for lags 0 .. nLags - 1 with corrType 0 (none), 1 (divide
 * by len) or 2 (divide lag k by len - k). */
KVO_API void KVO_CALL kvosCrossCorr(const float* srcA, int lenA, const float* srcB, int lenB,
                                    float* dst, int loLag, int hiLag);
KVO_API void KVO_CALL kvocCrossCorr(const ComplexFloat* srcA, int lenA, const ComplexFloat* srcB,
                                    int lenB, ComplexFloat* dst, int loLag, int hiLag);
KVO_API void KVO_CALL kvodCrossCorr(const double* srcA, int lenA, const double* srcB, int lenB,
                                    double* dst, int loLag, int hiLag);
KVO_API void KVO_CALL kvozCrossCorr(const ComplexDouble* srcA, int lenA, const ComplexDouble* srcB,
                                    int lenB, ComplexDouble* dst, int loLag, int hiLag);
KVO_API void KVO_CALL kvoscCrossCorr(const float* srcA, int lenA, const ComplexFloat* srcB,
                                     int lenB, ComplexFloat* dst, int loLag, int hiLag);
KVO_API void KVO_CALL kvocsCrossCorr(const ComplexFloat* srcA, int lenA, const float* srcB,
                                     int lenB, ComplexFloat* dst, int loLag, int hiLag);
KVO_API void KVO_CALL kvodzCrossCorr(const double* srcA, int lenA, const ComplexDouble* srcB,
                                     int lenB, ComplexDouble* dst, int loLag, int hiLag);
KVO_API void KVO_CALL kvozdCrossCorr(const ComplexDouble* srcA, int lenA, const double* srcB,
                                     int lenB, ComplexDouble* dst, int loLag, int hiLag);
KVO_API void KVO_CALL kvowCrossCorr(const short* srcA, int lenA, const short* srcB, int lenB,
                                    short* dst, int loLag, int hiLag, int scaleMode,
                                    int* scaleFactor);
KVO_API void KVO_CALL kvovCrossCorr(const ComplexShort* srcA, int lenA, const ComplexShort* srcB,
                                    int lenB, ComplexShort* dst, int loLag, int hiLag,
                                    int scaleMode, int* scaleFactor);
KVO_API void KVO_CALL kvowvCrossCorr(const short* srcA, int lenA, const ComplexShort* srcB,
                                     int lenB, ComplexShort* dst, int loLag, int hiLag,
                                     int scaleMode, int* scaleFactor);
KVO_API void KVO_CALL kvovwCrossCorr(const ComplexShort* srcA, int lenA, const short* srcB,
                                     int lenB, ComplexShort* dst, int loLag, int hiLag,
                                     int scaleMode, int* scaleFactor);
KVO_API void KVO_CALL kvosAutoCorr(const float* src, int len, float* dst, int nLags, int corrType);
KVO_API void KVO_CALL kvocAutoCorr(const ComplexFloat* src, int len, ComplexFloat* dst, int nLags,
                                   int corrType);
KVO_API void KVO_CALL kvodAutoCorr(const double* src, int len, double* dst, int nLags,
                                   int corrType);
KVO_API void KVO_CALL kvozAutoCorr(const ComplexDouble* src, int len, ComplexDouble* dst, int nLags,
                                   int corrType);
KVO_API void KVO_CALL kvowAutoCorr(const short* src, int len, short* dst, int nLags, int corrType,
                                   int scaleMode, int* scaleFactor);
KVO_API void KVO_CALL kvovAutoCorr(const ComplexShort* src, int len, ComplexShort* dst, int nLags,
                                   int corrType, int scaleMode, int* scaleFactor);

/* ------------------------------------------------------------------------------------------------
 * Two-dimensional convolution and filtering
 * ---------------------------------------------------------------------------------------------- */

/* Matrices are stored row by row. Conv2D writes the full convolution, (xRows + hRows - 1) rows of
 * (xCols + hCols - 1) values; Filter2D writes rows x cols values, the convolution anchored at
 * kernel element (kRows / 2, kCols / 2). Filter2D reverses the kernel in place while it works and
 * restores it before returning, so the kernel must be writable. */
KVO_API void KVO_CALL kvosConv2D(const float* x, int xCols, int xRows, const float* h, int hCols,
                                 int hRows, float* y);
KVO_API void KVO_CALL kvodConv2D(const double* x, int xCols, int xRows, const double* h, int hCols,
                                 int hRows, double* y);
KVO_API void KVO_CALL kvowConv2D(const short* x, int xCols, int xRows, const short* h, int hCols,
                                 int hRows, short* y, int scaleMode, int* scaleFactor);
KVO_API void KVO_CALL kvosFilter2D(const float* src, int cols, int rows, float* kernel, int kCols,
                                   int kRows, float* dst);
KVO_API void KVO_CALL kvodFilter2D(const double* src, int cols, int rows, double* kernel, int kCols,
                                   int kRows, double* dst);
KVO_API void KVO_CALL kvowFilter2D(const short* src, int cols, int rows, float* kernel, int kCols,
                                   int kRows, short* dst, int scaleMode, int* scaleFactor);

/* ------------------------------------------------------------------------------------------------
 * Up- and down-sampling
 * ---------------------------------------------------------------------------------------------- */

/* Up-sampling puts src[i] at dst[i * factor + phase] and zeros elsewhere (srcLen * factor values,
 * written backwards, so dst may be src); down-sampling keeps src[phase], src[phase + factor], ...
 * and updates phase so that the next block continues the sequence. */
KVO_API int KVO_CALL kvosUpSample(const float* src, int srcLen, float* dst, int* dstLen, int factor,
                                  int* phase);
KVO_API int KVO_CALL kvosDownSample(const float* src, int srcLen, float* dst, int* dstLen,
                                    int factor, int* phase);
KVO_API int KVO_CALL kvocUpSample(const ComplexFloat* src, int srcLen, ComplexFloat* dst,
                                  int* dstLen, int factor, int* phase);
KVO_API int KVO_CALL kvocDownSample(const ComplexFloat* src, int srcLen, ComplexFloat* dst,
                                    int* dstLen, int factor, int* phase);
KVO_API int KVO_CALL kvodUpSample(const double* src, int srcLen, double* dst, int* dstLen,
                                  int factor, int* phase);
KVO_API int KVO_CALL kvodDownSample(const double* src, int srcLen, double* dst, int* dstLen,
                                    int factor, int* phase);
KVO_API int KVO_CALL kvozUpSample(const ComplexDouble* src, int srcLen, ComplexDouble* dst,
                                  int* dstLen, int factor, int* phase);
KVO_API int KVO_CALL kvozDownSample(const ComplexDouble* src, int srcLen, ComplexDouble* dst,
                                    int* dstLen, int factor, int* phase);
KVO_API int KVO_CALL kvowUpSample(const short* src, int srcLen, short* dst, int* dstLen, int factor,
                                  int* phase);
KVO_API int KVO_CALL kvowDownSample(const short* src, int srcLen, short* dst, int* dstLen,
                                    int factor, int* phase);
KVO_API int KVO_CALL kvovUpSample(const ComplexShort* src, int srcLen, ComplexShort* dst,
                                  int* dstLen, int factor, int* phase);
KVO_API int KVO_CALL kvovDownSample(const ComplexShort* src, int srcLen, ComplexShort* dst,
                                    int* dstLen, int factor, int* phase);

/* ------------------------------------------------------------------------------------------------
 * Tone generator
 * ---------------------------------------------------------------------------------------------- */

/* A field that holds a float for the single-precision members (and the 16-bit members that keep
 * float fields) and a double for the double-precision members. */
typedef union {
  float f;
  double d;
} KvoRealField;

/* Tone generator: mag*cos(2*pi*rFreq*n + phase), complex members mag*exp(i*(...)). The record is
 * valid while marker holds the string "QRZ"; it may be copied. Float and double members run
 * y[n] = coef*y[n-1] - y[n-2] in double precision (real members use .re of prev1 and prev2). The
 * 16-bit members rotate two Q14 phasors (samples n and n+1 of the tone scaled by 2^shift) and hand
 * out single samples from a 32-sample cache (cacheIndex 32: empty). */
typedef struct {
  double coef;
  ComplexDouble prev1;
  ComplexDouble prev2;
  KvoRealField mag, rFreq, phase; /* .f for s, c, w, v (w, v: rFreq and phase only) */
  ComplexShort phasor[2];
  short rotation[4]; /* cos 2w, -sin 2w, sin 2w, cos 2w in Q14 */
  short rounding[4]; /* 2^shift */
  int shift;
  short wMag;
  short reserved;
  int cacheIndex;
  ComplexShort cache[32]; /* w uses the real parts */
  char marker[4];
} ToneState;

KVO_API int KVO_CALL kvosToneInit(float rFreq, float phase, float mag, ToneState* statePtr);
KVO_API int KVO_CALL kvocToneInit(float rFreq, float phase, float mag, ToneState* statePtr);
KVO_API int KVO_CALL kvodToneInit(double rFreq, double phase, double mag, ToneState* statePtr);
KVO_API int KVO_CALL kvozToneInit(double rFreq, double phase, double mag, ToneState* statePtr);
KVO_API int KVO_CALL kvowToneInit(float rFreq, float phase, short mag, ToneState* statePtr);
KVO_API int KVO_CALL kvovToneInit(float rFreq, float phase, short mag, ToneState* statePtr);

/* The next sample; 0 after a failed check. */
KVO_API float KVO_CALL kvosTone(ToneState* statePtr);
KVO_API ComplexFloat KVO_CALL kvocTone(ToneState* statePtr);
KVO_API double KVO_CALL kvodTone(ToneState* statePtr);
KVO_API ComplexDouble KVO_CALL kvozTone(ToneState* statePtr);
KVO_API short KVO_CALL kvowTone(ToneState* statePtr);
KVO_API ComplexShort KVO_CALL kvovTone(ToneState* statePtr);

/* sampsLen samples; the state advances as after sampsLen single calls. The 16-bit members write
 * straight from the phasors and leave the single-sample cache alone. */
KVO_API int KVO_CALL kvosbTone(ToneState* statePtr, float* samps, int sampsLen);
KVO_API int KVO_CALL kvocbTone(ToneState* statePtr, ComplexFloat* samps, int sampsLen);
KVO_API int KVO_CALL kvodbTone(ToneState* statePtr, double* samps, int sampsLen);
KVO_API int KVO_CALL kvozbTone(ToneState* statePtr, ComplexDouble* samps, int sampsLen);
KVO_API int KVO_CALL kvowbTone(ToneState* statePtr, short* samps, int sampsLen);
KVO_API int KVO_CALL kvovbTone(ToneState* statePtr, ComplexShort* samps, int sampsLen);

/* ------------------------------------------------------------------------------------------------
 * Triangle generator
 * ---------------------------------------------------------------------------------------------- */

/* Triangle generator: at phase 0 the wave is at mag, falls to -mag over a phase of pi + asym and
 * rises back over pi - asym. Fields are .f for s, c, w, v and .d for d, z; the complex members add
 * imValue and imStep, the imaginary part running 3*pi/2 + asym/2 ahead (the analogue of a sine).
 * Init and the block members return nothing: failures show in the thread's status. */
typedef struct {
  KvoRealField mag;
  KvoRealField step;
  KvoRealField downStep;
  KvoRealField upStep;
  KvoRealField downToUp;
  KvoRealField upToDown;
  KvoRealField upPeriod;
  KvoRealField downPeriod;
  KvoRealField topSpan;
  KvoRealField bottomSpan;
  KvoRealField value;
  KvoRealField imValue;
  KvoRealField imStep;
} TrnglState;

KVO_API void KVO_CALL kvosTrnglInit(float rFreq, float phase, float mag, float asym,
                                    TrnglState* statePtr);
KVO_API void KVO_CALL kvocTrnglInit(float rFreq, float phase, float mag, float asym,
                                    TrnglState* statePtr);
KVO_API void KVO_CALL kvodTrnglInit(double rFreq, double phase, double mag, double asym,
                                    TrnglState* statePtr);
KVO_API void KVO_CALL kvozTrnglInit(double rFreq, double phase, double mag, double asym,
                                    TrnglState* statePtr);
KVO_API void KVO_CALL kvowTrnglInit(float rFreq, float phase, short mag, float asym,
                                    TrnglState* statePtr);
KVO_API void KVO_CALL kvovTrnglInit(float rFreq, float phase, short mag, float asym,
                                    TrnglState* statePtr);

/* The next sample; 0 after a failed check. */
KVO_API float KVO_CALL kvosTrngl(TrnglState* statePtr);
KVO_API ComplexFloat KVO_CALL kvocTrngl(TrnglState* statePtr);
KVO_API double KVO_CALL kvodTrngl(TrnglState* statePtr);
KVO_API ComplexDouble KVO_CALL kvozTrngl(TrnglState* statePtr);
KVO_API short KVO_CALL kvowTrngl(TrnglState* statePtr);
KVO_API ComplexShort KVO_CALL kvovTrngl(TrnglState* statePtr);

/* sampsLen samples; the running value is kept in double precision between samples. */
KVO_API void KVO_CALL kvosbTrngl(TrnglState* statePtr, float* samps, int sampsLen);
KVO_API void KVO_CALL kvocbTrngl(TrnglState* statePtr, ComplexFloat* samps, int sampsLen);
KVO_API void KVO_CALL kvodbTrngl(TrnglState* statePtr, double* samps, int sampsLen);
KVO_API void KVO_CALL kvozbTrngl(TrnglState* statePtr, ComplexDouble* samps, int sampsLen);
KVO_API void KVO_CALL kvowbTrngl(TrnglState* statePtr, short* samps, int sampsLen);
KVO_API void KVO_CALL kvovbTrngl(TrnglState* statePtr, ComplexShort* samps, int sampsLen);

/* ------------------------------------------------------------------------------------------------
 * Random number generators
 * ---------------------------------------------------------------------------------------------- */

/* Random generators. All share a subtract-with-borrow generator (x1 newest, x2, x3, carry) added
 * to a congruential generator (lcg), seeded through a small congruential generator (seedLcg). The
 * same seed and arguments give the same sequence on every platform. Floating-point seeds are
 * truncated toward zero to a 32-bit integer. Complex members use the record of the real member of
 * the same precision and take two successive values, real part first. */
typedef struct {
  KvoRealField mid;   /* .f for s, c; .d for d, z */
  KvoRealField scale; /* (high - low) * 2^-32 */
  unsigned int lcg;
  unsigned int carry;
  unsigned int x1, x2, x3;
  unsigned int seedLcg;
} RandUniState;

typedef struct {
  KvoRealField mean; /* .f for s, c; .d for d, z */
  KvoRealField stDev;
  KvoRealField stored; /* the second value of the last pair */
  int haveStored;
  unsigned int lcg;
  unsigned int carry;
  unsigned int x1, x2, x3;
  unsigned int seedLcg;
} RandGausState;

/* 16-bit uniform generator: two congruential lanes and a buffer for the single-value members;
 * values are mid - (r >> shift), r the raw 32-bit draw. */
typedef struct {
  int mid;
  int shift;
  unsigned int lcgA, lcgB;
  unsigned int x1, x2, x3;
  unsigned int carry;
  unsigned int seedLcg;
  int next; /* index of the next unread value in buffer, 32 when empty */
  short buffer[32];
} WRandUniState;

typedef struct {
  int haveStored;
  unsigned int lcg;
  unsigned int carry;
  unsigned int x1, x2, x3;
  short mean;
  short stDev;
  short stored;
  short reserved;
  unsigned int seedLcg;
} WRandGausState;

KVO_API int KVO_CALL kvosRandUniInit(float seed, float low, float high, RandUniState* statePtr);
KVO_API int KVO_CALL kvocRandUniInit(float seed, float low, float high, RandUniState* statePtr);
KVO_API int KVO_CALL kvodRandUniInit(double seed, double low, double high, RandUniState* statePtr);
KVO_API int KVO_CALL kvozRandUniInit(double seed, double low, double high, RandUniState* statePtr);
KVO_API int KVO_CALL kvowRandUniInit(unsigned int seed, short low, short high,
                                     WRandUniState* statePtr);
KVO_API int KVO_CALL kvovRandUniInit(unsigned int seed, short low, short high,
                                     WRandUniState* statePtr);

/* One value in [low, high); 0 after a failed check. */
KVO_API float KVO_CALL kvosRandUni(RandUniState* statePtr);
KVO_API double KVO_CALL kvodRandUni(RandUniState* statePtr);
KVO_API short KVO_CALL kvowRandUni(WRandUniState* statePtr);
KVO_API ComplexFloat KVO_CALL kvocRandUni(RandUniState* statePtr);
KVO_API ComplexDouble KVO_CALL kvozRandUni(RandUniState* statePtr);
KVO_API ComplexShort KVO_CALL kvovRandUni(WRandUniState* statePtr);

/* The 16-bit block members write batch values straight to samps, bypassing the buffer. */
KVO_API int KVO_CALL kvosbRandUni(RandUniState* statePtr, float* samps, unsigned int sampsLen);
KVO_API int KVO_CALL kvocbRandUni(RandUniState* statePtr, ComplexFloat* samps,
                                  unsigned int sampsLen);
KVO_API int KVO_CALL kvodbRandUni(RandUniState* statePtr, double* samps, unsigned int sampsLen);
KVO_API int KVO_CALL kvozbRandUni(RandUniState* statePtr, ComplexDouble* samps,
                                  unsigned int sampsLen);
KVO_API int KVO_CALL kvowbRandUni(WRandUniState* statePtr, short* samps, int sampsLen);
KVO_API int KVO_CALL kvovbRandUni(WRandUniState* statePtr, ComplexShort* samps, int sampsLen);

KVO_API int KVO_CALL kvosRandGausInit(float seed, float mean, float stDev, RandGausState* statePtr);
KVO_API int KVO_CALL kvocRandGausInit(float seed, float mean, float stDev, RandGausState* statePtr);
KVO_API int KVO_CALL kvodRandGausInit(double seed, double mean, double stDev,
                                      RandGausState* statePtr);
KVO_API int KVO_CALL kvozRandGausInit(double seed, double mean, double stDev,
                                      RandGausState* statePtr);
KVO_API int KVO_CALL kvowRandGausInit(short seed, short mean, short stDev,
                                      WRandGausState* statePtr);
KVO_API int KVO_CALL kvovRandGausInit(short seed, short mean, short stDev,
                                      WRandGausState* statePtr);

/* Normal values by the polar method, produced in pairs; 0 after a failed check. */
KVO_API float KVO_CALL kvosRandGaus(RandGausState* statePtr);
KVO_API ComplexFloat KVO_CALL kvocRandGaus(RandGausState* statePtr);
KVO_API double KVO_CALL kvodRandGaus(RandGausState* statePtr);
KVO_API ComplexDouble KVO_CALL kvozRandGaus(RandGausState* statePtr);
KVO_API short KVO_CALL kvowRandGaus(WRandGausState* statePtr);
KVO_API ComplexShort KVO_CALL kvovRandGaus(WRandGausState* statePtr);

KVO_API int KVO_CALL kvosbRandGaus(RandGausState* statePtr, float* samps, unsigned int sampsLen);
KVO_API int KVO_CALL kvocbRandGaus(RandGausState* statePtr, ComplexFloat* samps,
                                   unsigned int sampsLen);
KVO_API int KVO_CALL kvodbRandGaus(RandGausState* statePtr, double* samps, unsigned int sampsLen);
KVO_API int KVO_CALL kvozbRandGaus(RandGausState* statePtr, ComplexDouble* samps,
                                   unsigned int sampsLen);
KVO_API int KVO_CALL kvowbRandGaus(WRandGausState* statePtr, short* samps, unsigned int sampsLen);
KVO_API int KVO_CALL kvovbRandGaus(WRandGausState* statePtr, ComplexShort* samps,
                                   unsigned int sampsLen);

/* ------------------------------------------------------------------------------------------------
 * Window functions
 * ---------------------------------------------------------------------------------------------- */

/* Each window multiplies vec[0..N-1] in place by a window of length N, symmetric about the centre:
 * the weight of element n is applied to elements n and N-1-n, and the middle element of an odd
 * length (weight 1) is left as it is. Complex elements have both parts multiplied. The 16-bit
 * members work in 15-bit (Blackman: 14-bit) fixed point and saturate their products; Kaiser rounds
 * to nearest. Failures (-5): "Null pointer to buffer", "Bad number of items" (N < 3) and, for
 * Kaiser, "Huge window parameter" (beta*(N-1)/2 > 308); the vector is then left unchanged.
 * Blackman(alpha): (alpha+1)/2 - cos(2 pi n/(N-1))/2 - (alpha/2) cos(4 pi n/(N-1)); the standard
 * setting is alpha = -0.16, the optimal one -0.5/(1 + cos(2 pi/(N-1))). Kaiser(beta):
 * I0(beta*sqrt(n*(N-1-n))) / I0(beta*(N-1)/2). */
KVO_API int KVO_CALL kvosWinBartlett(float* vec, int N);
KVO_API int KVO_CALL kvocWinBartlett(ComplexFloat* vec, int N);
KVO_API int KVO_CALL kvodWinBartlett(double* vec, int N);
KVO_API int KVO_CALL kvozWinBartlett(ComplexDouble* vec, int N);
KVO_API int KVO_CALL kvowWinBartlett(short* vec, int N);
KVO_API int KVO_CALL kvovWinBartlett(ComplexShort* vec, int N);

KVO_API int KVO_CALL kvosWinHann(float* vec, int N);
KVO_API int KVO_CALL kvocWinHann(ComplexFloat* vec, int N);
KVO_API int KVO_CALL kvodWinHann(double* vec, int N);
KVO_API int KVO_CALL kvozWinHann(ComplexDouble* vec, int N);
KVO_API int KVO_CALL kvowWinHann(short* vec, int N);
KVO_API int KVO_CALL kvovWinHann(ComplexShort* vec, int N);

KVO_API int KVO_CALL kvosWinHamming(float* vec, int N);
KVO_API int KVO_CALL kvocWinHamming(ComplexFloat* vec, int N);
KVO_API int KVO_CALL kvodWinHamming(double* vec, int N);
KVO_API int KVO_CALL kvozWinHamming(ComplexDouble* vec, int N);
KVO_API int KVO_CALL kvowWinHamming(short* vec, int N);
KVO_API int KVO_CALL kvovWinHamming(ComplexShort* vec, int N);

KVO_API int KVO_CALL kvosWinBlackman(float* vec, int N, float alpha);
KVO_API int KVO_CALL kvocWinBlackman(ComplexFloat* vec, int N, float alpha);
KVO_API int KVO_CALL kvodWinBlackman(double* vec, int N, double alpha);
KVO_API int KVO_CALL kvozWinBlackman(ComplexDouble* vec, int N, double alpha);
KVO_API int KVO_CALL kvowWinBlackman(short* vec, int N, float alpha);
KVO_API int KVO_CALL kvovWinBlackman(ComplexShort* vec, int N, float alpha);

KVO_API int KVO_CALL kvosWinBlackmanStd(float* vec, int N);
KVO_API int KVO_CALL kvocWinBlackmanStd(ComplexFloat* vec, int N);
KVO_API int KVO_CALL kvodWinBlackmanStd(double* vec, int N);
KVO_API int KVO_CALL kvozWinBlackmanStd(ComplexDouble* vec, int N);
KVO_API int KVO_CALL kvowWinBlackmanStd(short* vec, int N);
KVO_API int KVO_CALL kvovWinBlackmanStd(ComplexShort* vec, int N);

KVO_API int KVO_CALL kvosWinBlackmanOpt(float* vec, int N);
KVO_API int KVO_CALL kvocWinBlackmanOpt(ComplexFloat* vec, int N);
KVO_API int KVO_CALL kvodWinBlackmanOpt(double* vec, int N);
KVO_API int KVO_CALL kvozWinBlackmanOpt(ComplexDouble* vec, int N);
KVO_API int KVO_CALL kvowWinBlackmanOpt(short* vec, int N);
KVO_API int KVO_CALL kvovWinBlackmanOpt(ComplexShort* vec, int N);

KVO_API int KVO_CALL kvosWinKaiser(float* vec, int N, float beta);
KVO_API int KVO_CALL kvocWinKaiser(ComplexFloat* vec, int N, float beta);
KVO_API int KVO_CALL kvodWinKaiser(double* vec, int N, double beta);
KVO_API int KVO_CALL kvozWinKaiser(ComplexDouble* vec, int N, double beta);
KVO_API int KVO_CALL kvowWinKaiser(short* vec, int N, float beta);
KVO_API int KVO_CALL kvovWinKaiser(ComplexShort* vec, int N, float beta);

#ifdef __cplusplus
}
#endif

#endif /* KVO_H */
