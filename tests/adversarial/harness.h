// The export table and the machinery that calls any export from it: guarded buffers, state
// records prepared through the family's own Init calls, argument slots, and a report recorder.
// Shared by the adversarial driver and the fuzz target.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "kvo.h"

namespace adv {

union Slot {
  void* p;
  const void* cp;
  int i;
  unsigned u;
  float f;
  double d;
  short w;
  ComplexFloat c;
  ComplexDouble z;
  ComplexShort v;
  ReportFunction fn;
};

// Argument kinds: arrays the function reads (In) or may write (Out), the scale factor, a state
// record, integers by role, scalars by value, and the frame's own odd ones.
enum class K {
  In,
  Out,
  ScaleFactor,
  State,
  Len,
  Order,
  Flags,
  ScaleMode,
  Int,
  Val,
  Str,
  Fn,
  Block
};
enum class E { None, F32, F64, C32, C64, I16, C16, I32, U8, S8, PTR };
enum class St {
  None,
  FirTapState,
  FirDlyState,
  FirState,
  IirTapState,
  IirDlyState,
  IirState,
  LmsTapState,
  LmsDlyState,
  LmsState,
  WtState,
  GoertzState,
  GoertzStateDouble,
  ToneState,
  TrnglState,
  RandUniState,
  RandGausState,
  WRandUniState,
  WRandGausState
};
// Which member of Slot holds the result.
enum class R { none, i, u, f, d, w, c, z, v, cp, fn };

struct Param {
  const char* name;
  const char* ctype;
  K kind;
  E elem;
  St state;
  Slot valid;
  const char* recipe;  // Init calls that prepare the record, blank-separated
};

struct Row {
  const char* name;
  const char* family;
  const char* ret;
  R rk;
  int nparams;
  const Param* params;
  void (*call)(Slot* args, Slot* result);
  long (*size)(int param, const Slot* args);  // element count of an array argument
  const char* aliasIn;                        // an input that may be the output array
  const char* aliasOut;
  bool validOnly;
};

extern const Row* const kTable;
extern const int kTableSize;
const Row* findRow(const std::string& name);

std::size_t elemSize(E e);
std::size_t stateSize(St s);
// Records whose family marks an initialised record, so that any other content must be refused.
bool stateHasMark(St s);
bool isModule(const std::string& name);
// Frees the tables the transforms cached on the calling thread: they stay until the caller frees
// them, so a leak check at exit would otherwise list them.
void releaseThreadTables();

// ---- reports -----------------------------------------------------------------------------------
struct Report {
  int status;
  std::string func, message, module;
};
std::vector<Report>& reports();
int KVO_CALL recordReport(int status, const char* funcName, const char* message,
                          const char* fileName, int line);

// ---- guarded memory ----------------------------------------------------------------------------
// Blocks whose first byte follows an inaccessible page and whose last byte precedes one; a block
// sits against the trailing guard or, with atStart, against the leading one. Under AddressSanitizer
// plain heap blocks with their redzones do the same job.
void* guardedAlloc(std::size_t bytes, bool atStart);
void guardedFree(void* p);
bool usingRedzones();

// ---- one call ----------------------------------------------------------------------------------
// The arguments of one call of a row with every buffer and record it owns. Records that hold
// library allocations are released when the call is destroyed.
class Call {
 public:
  Call(const Row& row, bool atStart) : row_(&row), atStart_(atStart) {}
  ~Call();
  Call(const Call&) = delete;
  Call& operator=(const Call&) = delete;

  // Valid arguments; records of the listed types are taken from `bound` instead of being
  // prepared. False if a preparation step failed.
  bool prepare(const std::vector<std::pair<St, void*>>& bound = {});
  // Re-sizes the arrays after integer arguments changed; false if some array would exceed `cap`
  // elements (then nothing was changed).
  bool resize(long cap);
  // Fills every float array with NaN, infinities, denormals and signed zeros, 16-bit arrays with
  // their extremes.
  void fillSpecial();
  // Fills every data array: pseudo-random values (floats in [-2, 2), 16-bit over their range)
  // or, with Special, the values of fillSpecial.
  enum class Fill { Pattern, Special, Random };
  void fillRandom(unsigned seed, Fill how = Fill::Random);

  Slot& arg(int i) { return a_[i]; }
  const Row& row() const { return *row_; }
  long count(int i) const { return count_[i]; }
  void* buffer(int i) const { return buf_[i]; }
  void setRecord(int i, const void* bytes, std::size_t n);

  // Copies of every byte the caller owns, to compare after a call.
  std::vector<unsigned char> snapshot() const;
  Slot invoke();

 private:
  void* own(std::size_t bytes);
  bool prepareState(int i, const std::vector<std::pair<St, void*>>& bound);
  void allocArray(int i, long n);
  void fill(int i, Fill how, unsigned seed = 0);

  const Row* row_;
  bool atStart_;
  Slot a_[16] = {};
  long count_[16] = {};
  void* buf_[16] = {};
  std::vector<void*> owned_;
  void* block_ = nullptr;                      // a block for kvoFree that was not handed over
  std::vector<std::pair<St, void*>> records_;  // records this call prepared, for release
  std::vector<std::unique_ptr<Call>> steps_;   // the Init calls that prepared them
  struct Overwrite {
    int param;
    std::vector<unsigned char> valid, written;
  };
  std::vector<Overwrite> overwritten_;  // records a variant replaced, with their valid bytes
};

std::string formatResult(const Row& row, const Slot& r);

}  // namespace adv
