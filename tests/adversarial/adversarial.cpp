// Adversarial driver: every export of the table with valid, boundary and invalid arguments.
//
//   kvo_adversarial GOLDEN [--write] [--only NAME]
//
// Valid calls (also with NaN, infinities and denormals, and with the output aliasing an input
// where the library allows it) must not report. Invalid calls (each pointer null in turn, each
// integer through boundary values, bad flag words, scale modes and scale factors, records that are
// zero-filled, pattern-filled or of another family) must leave every caller byte as it was, return
// the error value and give the same reports as the golden file: status, function, message and
// module. They run in parent mode with a recording reporter, in silent mode with the standard-error
// reporter (which must print nothing), and a sample of them in leaf mode in a child process, which
// must print the report and end. Buffers sit against guard pages (redzones under AddressSanitizer).
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <limits>
#include <map>
#include <regex>
#include <sstream>
#include <type_traits>

#include "harness.h"
#include "kernels/isa.h"

using namespace adv;

namespace {

struct Variant {
  std::string name;
  std::function<bool(Call&)> apply;  // false: does not apply to this call (skipped)
  bool clean;                        // must not report
};

constexpr long kCap = 1 << 16;
const std::regex kTwoSignals(
    "^kvo[sd](Real|Ccs)2Fft(Nip)?$");  // largest array the driver allocates, in elements

int paramIndex(const Row& row, const char* name) {
  for (int i = 0; i < row.nparams; ++i) {
    if (std::strcmp(row.params[i].name, name) == 0) return i;
  }
  return -1;
}

bool isPointer(K k) {
  return k == K::In || k == K::Out || k == K::ScaleFactor || k == K::State || k == K::Str ||
         k == K::Fn || k == K::Block;
}

std::vector<int> intValues(K role) {
  std::vector<int> v = {0, 1, -1, INT_MIN, INT_MAX, 32, 33, 40,
                        // byte counts of 16, 8, 4 and 2-byte elements past INT_MAX
                        0x08000000, 0x10000000, 0x20000000, 0x40000000};
  if (role == K::Flags) {
    v.insert(v.end(), {2, 3, 4, 8, 1 | 64 | 128, 1 | 64 | 32, 1 | 32 | 128, 1 | 8192 | 16384,
                       0x80 | 0x100, 0x80 | 0x2000, 0x800 | 0x1000, 12, 9});
  }
  if (role == K::ScaleMode) v.insert(v.end(), {2, 3, 4, 5, 6, 7, 8, 16});
  return v;
}

// Another family's initialised record, for the records whose family has an init mark.
const char* foreignRecipe(St s) {
  switch (s) {
    case St::FirState:
      return "kvosIirInit";
    case St::IirState:
      return "kvosFirInit";
    case St::ToneState:
      return "kvosTrnglInit";
    default:
      return nullptr;
  }
}

std::vector<unsigned char> foreignRecord(St s) {
  std::vector<unsigned char> bytes(stateSize(s), 0);
  const Row* init = findRow(foreignRecipe(s));
  Call c(*init, false);
  if (!c.prepare()) return bytes;
  c.invoke();
  for (int i = 0; i < init->nparams; ++i) {
    if (init->params[i].kind == K::State) {
      std::memcpy(bytes.data(), c.buffer(i),
                  std::min(bytes.size(), stateSize(init->params[i].state)));
    }
  }
  return bytes;  // the record's arrays are released with `c`: the copy must be refused unread
}

std::vector<Variant> variants(const Row& row) {
  std::vector<Variant> out;
  out.push_back({"valid", [](Call&) { return true; }, true});
  bool hasData = false;
  for (int i = 0; i < row.nparams; ++i) {
    const Param& p = row.params[i];
    hasData |= (p.kind == K::In || p.kind == K::Out) && p.elem != E::I32 && p.elem != E::PTR;
  }
  if (hasData)
    out.push_back({"special-data",
                   [](Call& c) {
                     c.fillSpecial();
                     return true;
                   },
                   false});
  if (row.aliasIn) {
    const int in = paramIndex(row, row.aliasIn), o = paramIndex(row, row.aliasOut);
    out.push_back({std::string("alias:") + row.aliasIn + "=" + row.aliasOut,
                   [in, o](Call& c) {
                     c.arg(in).p = c.arg(o).p;
                     return true;
                   },
                   true});
  }
  int scaleMode = -1, scaleFactor = -1;
  for (int i = 0; i < row.nparams; ++i) {
    const Param& p = row.params[i];
    const std::string n = p.name;
    if (p.kind == K::ScaleMode) scaleMode = i;
    if (p.kind == K::ScaleFactor) scaleFactor = i;
    if (isPointer(p.kind)) {
      out.push_back({"null:" + n,
                     [i](Call& c) {
                       c.arg(i).p = nullptr;
                       return true;
                     },
                     false});
    }
    if (p.kind == K::Len || p.kind == K::Order || p.kind == K::Flags || p.kind == K::ScaleMode ||
        p.kind == K::Int) {
      for (int v : intValues(p.kind)) {
        if (v == p.valid.i) continue;
        const bool invalidOrder = p.kind == K::Order && (v < 0 || v > 31);
        // Lengths past the driver's arrays go only to the allocators, and there only where the
        // byte count cannot be held (32-bit targets, which must refuse them); elsewhere a huge
        // valid length would just make a huge table or block.
        const bool isUnsigned = std::strcmp(p.ctype, "unsigned int") == 0;
        const bool allocator = std::strstr(row.name, "Malloc") && sizeof(void*) == 4;
        if ((v > kCap || (isUnsigned && v < 0)) && p.kind != K::Order && !allocator) continue;
        out.push_back({n + "=" + std::to_string(v),
                       [i, v, invalidOrder](Call& c) {
                         const int old = c.arg(i).i;
                         c.arg(i).i = v;
                         if (c.resize(kCap) || invalidOrder) return true;
                         c.arg(i).i = old;
                         return false;
                       },
                       false});
      }
    }
    if (p.kind == K::Val && std::strcmp(p.ctype, "unsigned int") != 0) {
      const float kF[] = {std::numeric_limits<float>::quiet_NaN(),
                          std::numeric_limits<float>::infinity(),
                          -std::numeric_limits<float>::infinity(),
                          std::numeric_limits<float>::denorm_min(),
                          -1.0f,
                          0.0f,
                          1e30f};
      const short kW[] = {-32768, 32767, 0, -1};
      const bool isShort = std::strstr(p.ctype, "short") || std::strstr(p.ctype, "Short");
      const int count = isShort ? 4 : 7;
      for (int k = 0; k < count; ++k) {
        const double d = isShort ? kW[k] : kF[k];
        std::string ctype = p.ctype;
        char text[32];
        std::snprintf(text, sizeof text, "%g", d);
        out.push_back({n + "=" + text,
                       [i, d, ctype](Call& c) {
                         Slot& s = c.arg(i);
                         if (ctype == "float")
                           s.f = static_cast<float>(d);
                         else if (ctype == "double")
                           s.d = d;
                         else if (ctype == "short")
                           s.w = static_cast<short>(d);
                         else if (ctype == "ComplexFloat")
                           s.c.re = static_cast<float>(d);
                         else if (ctype == "ComplexDouble")
                           s.z.re = d;
                         else if (ctype == "ComplexShort")
                           s.v.re = static_cast<short>(d);
                         return true;
                       },
                       false});
      }
    }
    if (p.kind == K::State) {
      const St s = p.state;
      // The record's bytes all set to one value: zero (never initialised) or a pattern.
      auto filled = [i, s](unsigned char byte) {
        return [i, s, byte](Call& c) {
          std::vector<unsigned char> z(stateSize(s), byte);
          c.setRecord(i, z.data(), z.size());
          return true;
        };
      };
      out.push_back({"zero:" + n, filled(0), false});
      if (stateHasMark(s)) {
        out.push_back({"pattern:" + n, filled(0xA5), false});
        if (foreignRecipe(s)) {
          out.push_back({"foreign:" + n,
                         [i, s](Call& c) {
                           auto bytes = foreignRecord(s);
                           c.setRecord(i, bytes.data(), bytes.size());
                           return true;
                         },
                         false});
        }
      }
    }
  }
  // Several bad arguments at once show which check comes first (or, where every check runs,
  // the order of all the reports): every pointer null, then also every count, flag word and
  // scale mode at -1.
  std::vector<int> pointers, words;
  for (int i = 0; i < row.nparams; ++i) {
    const K k = row.params[i].kind;
    if (isPointer(k)) pointers.push_back(i);
    if (k == K::Len || k == K::Order || k == K::Flags || k == K::ScaleMode) words.push_back(i);
  }
  auto nullAll = [pointers](Call& c) {
    for (int i : pointers) c.arg(i).p = nullptr;
    return true;
  };
  if (pointers.size() > 1) out.push_back({"null:all", nullAll, false});
  if (!words.empty() && pointers.size() + words.size() > 1) {
    out.push_back({"all-bad",
                   [nullAll, words](Call& c) {
                     for (int i : words) c.arg(i).i = -1;
                     return nullAll(c);
                   },
                   false});
  }
  if (scaleMode >= 0 && scaleFactor >= 0) {
    out.push_back({"auto-scale:null-factor",
                   [=](Call& c) {
                     c.arg(scaleMode).i = KVO_AUTO_SCALE;
                     c.arg(scaleFactor).p = nullptr;
                     return true;
                   },
                   false});
    for (int mode : {2, 3}) {  // fixed scaling, wrapping and saturating
      for (int f : {-1, 15, 16, 31, 32, 40, -40, INT_MIN, INT_MAX}) {
        out.push_back({"scaleMode=" + std::to_string(mode) + ",factor=" + std::to_string(f),
                       [=](Call& c) {
                         c.arg(scaleMode).i = mode;
                         *static_cast<int*>(c.arg(scaleFactor).p) = f;
                         return true;
                       },
                       false});
      }
    }
  }
  return out;
}

// ---- running one variant
// -------------------------------------------------------------------------

struct Outcome {
  bool ran = false;
  Slot ret{};
  std::vector<Report> reps;
  int status = 0;
  bool changed = false;
};

const char* gRow = "";  // for the fault handler
std::string gVariant;
int gQuietFd = -1;  // silent-mode calls write stderr here, which must stay empty

void onFault(int sig) {
  char text[512];
  const int n =
      std::snprintf(text, sizeof text, "\nFAULT %d in %s [%s]\n", sig, gRow, gVariant.c_str());
  (void)!write(2, text, static_cast<std::size_t>(n));
  signal(sig, SIG_DFL);
  raise(sig);
}

Outcome run(const Row& row, const Variant& v, int mode, bool atStart) {
  Outcome o;
  Call c(row, atStart);
  if (!c.prepare()) {
    o.reps.push_back({0, row.name, "driver: preparation failed", ""});
    o.ran = true;
    return o;
  }
  if (!v.apply(c)) return o;
  o.ran = true;
  const auto before = c.snapshot();
  const int savedOut = mode == KVO_ErrorModeSilent ? dup(2) : -1;
  if (mode == KVO_ErrorModeSilent) {
    std::fflush(stderr);
    dup2(gQuietFd, 2);
    kvoRedirectError(kvoStdErrReport);
  }
  reports().clear();
  kvoSetErrMode(mode);
  kvoSetErrStatus(0);
  o.ret = c.invoke();
  o.status = kvoGetErrStatus();
  kvoSetErrMode(KVO_ErrorModeParent);
  kvoRedirectError(recordReport);
  if (savedOut >= 0) {
    std::fflush(stderr);
    dup2(savedOut, 2);
    close(savedOut);
  }
  o.reps = reports();
  reports().clear();
  o.changed = c.snapshot() != before;
  return o;
}

// Leaf mode in a child: the report must reach the standard error stream and end the process.
std::string runLeaf(const Row& row, const Variant& v, const Report& first) {
  int fds[2];
  if (pipe(fds) != 0) return "pipe failed";
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    Call c(row, false);
    if (!c.prepare() || !v.apply(c)) _exit(98);
    dup2(fds[1], 2);
    // The library ends the process with exit(): leave at once with its code, before the leak
    // check of a sanitizer build scans the whole inherited heap.
    on_exit([](int code, void*) { _exit(code); }, nullptr);
    kvoRedirectError(kvoStdErrReport);
    kvoSetErrStatus(0);
    kvoSetErrMode(KVO_ErrorModeLeaf);
    c.invoke();
    _exit(99);
  }
  close(fds[1]);
  std::string text;
  char buf[512];
  for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;)
    text.append(buf, static_cast<std::size_t>(n));
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  const bool noModule = first.module == "(null)";
  const std::string where =
      (first.status == KVO_StatusBacktrace ? "\tcalled from" : "\tin function") +
      (noModule ? std::string(":") : " [" + first.module + ":");
  const std::string what = (noModule ? ":" : "]:") + first.func + "(): " + first.message + "\n";
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 1)
    return "leaf mode did not end the process with 1";
  if (text.find(where) == std::string::npos || text.find(what) == std::string::npos ||
      text.find("terminating the application") == std::string::npos) {
    return "leaf-mode output lacks the report: " + text;
  }
  return "";
}

// Messages may hold line feeds and bytes of the Windows code page: escaped, one line per call.
std::string escaped(const std::string& text) {
  std::string s;
  for (unsigned char ch : text) {
    char hex[8];
    if (ch == '\\')
      s += "\\\\";
    else if (ch == '\n')
      s += "\\n";
    else if (ch < 0x20 || ch >= 0x7f)
      s += (std::snprintf(hex, sizeof hex, "\\x%02x", ch), hex);
    else
      s += static_cast<char>(ch);
  }
  return s;
}

std::string formatReports(const std::vector<Report>& reps) {
  std::string s;
  for (const Report& r : reps) {
    if (!s.empty()) s += " | ";
    s += std::to_string(r.status) + "," + escaped(r.func) + "," + escaped(r.message) + "," +
         r.module;
  }
  return s;
}

bool zeroResult(const Row& row, const Slot& r) {
  switch (row.rk) {
    case R::f:
      return r.f == 0;
    case R::d:
      return r.d == 0;
    case R::w:
      return r.w == 0;
    case R::c:
      return r.c.re == 0 && r.c.im == 0;
    case R::z:
      return r.z.re == 0 && r.z.im == 0;
    case R::v:
      return r.v.re == 0 && r.v.im == 0;
    case R::cp:
      return r.cp == nullptr;
    // The failed check's status; kvoBitRev gives a value, 0 after a failed check.
    case R::i:
      return std::strcmp(row.name, "kvoBitRev") == 0 ? r.i == 0 : r.i < 0;
    default:
      return true;
  }
}

// Frame functions report and set statuses as their job; their results are not error values.
bool isFrame(const Row& row) { return std::strcmp(row.family, "errors") == 0; }

// ---- the same results at every instruction-set level ----------------------------------------

// One valid call on data of a plan, at the level in use: the result, the reports and every byte
// of the caller's arrays and of the records that hold only values. Empty if the plan does not
// fit the row.
struct Plan {
  const char* name;
  int len, order;  // 0: the row's valid value
  Call::Fill fill;
  int scaleMode, scaleFactor;  // scaleMode -1: the row's valid mode
};
std::vector<Plan> plans(const Row& row) {
  using F = Call::Fill;
  std::vector<Plan> p = {{"valid", 0, 0, F::Pattern, -1, 0},
                         {"long", 67, 7, F::Pattern, -1, 0},
                         {"long special", 67, 7, F::Special, -1, 0},
                         {"long random", 67, 7, F::Random, -1, 0},
                         {"longer random", 1031, 11, F::Random, -1, 0}};
  for (int i = 0; i < row.nparams; ++i) {
    if (row.params[i].kind != K::ScaleMode) continue;
    // Every scale mode on random and on extreme data, the fixed ones shifting both ways.
    const int modes[][2] = {{0, 0}, {1, 0}, {2, 3}, {3, -2}, {4, 0}};
    for (const auto& m : modes) {
      p.push_back({"long random, a scale mode", 67, 7, F::Random, m[0], m[1]});
      p.push_back({"long special, a scale mode", 67, 7, F::Special, m[0], m[1]});
    }
  }
  return p;
}

bool valuesOnly(St s) {
  return s == St::ToneState || s == St::TrnglState || s == St::RandUniState ||
         s == St::RandGausState || s == St::WRandUniState || s == St::WRandGausState ||
         s == St::GoertzState || s == St::GoertzStateDouble;
}

std::vector<std::string> resultsAtThisLevel(const Row& row, const Plan& plan) {
  Call c(row, false);
  if (!c.prepare()) return {};
  for (int i = 0; i < row.nparams; ++i) {
    const K k = row.params[i].kind;
    if (k == K::Len && plan.len) c.arg(i).i = plan.len;
    if (k == K::Order && plan.order) c.arg(i).i = plan.order;
  }
  if (!c.resize(kCap)) return {};
  if (plan.fill != Call::Fill::Pattern) c.fillRandom(static_cast<unsigned>(plan.len), plan.fill);
  for (int i = 0; i < row.nparams && plan.scaleMode >= 0; ++i) {
    if (row.params[i].kind == K::ScaleMode) c.arg(i).i = plan.scaleMode;
    if (row.params[i].kind == K::ScaleFactor && c.buffer(i))
      *static_cast<int*>(c.buffer(i)) = plan.scaleFactor;
  }
  reports().clear();
  kvoSetErrStatus(0);
  std::vector<std::string> r = {formatResult(row, c.invoke()), formatReports(reports())};
  reports().clear();
  for (int i = 0; i < row.nparams; ++i) {
    const Param& p = row.params[i];
    std::size_t bytes = 0;
    if (p.kind == K::In || p.kind == K::Out || p.kind == K::ScaleFactor)
      bytes = p.elem == E::PTR ? 0 : static_cast<std::size_t>(c.count(i)) * elemSize(p.elem);
    if (p.kind == K::State && valuesOnly(p.state)) bytes = stateSize(p.state);
    const auto* b = static_cast<const char*>(c.buffer(i));
    r.push_back(b ? std::string(b, bytes) : std::string());
  }
  return r;
}

// Kernels of different levels may add in another order, so infinities meet at other places and
// NaNs carry other payloads: floating-point values agree when neither is finite or when they lie
// within a few units in the last place of the array's largest finite magnitude. The 16-bit
// transforms and the large 16-bit 2-D convolutions go through float sums whose order shows in
// the rounding to 16 bits, so they may differ by one; other integers must agree exactly.
template <class T>
bool closeValues(const std::string& a, const std::string& b, T slack) {
  if (a.size() != b.size()) return false;
  std::vector<T> x(a.size() / sizeof(T)), y(x.size());
  std::memcpy(x.data(), a.data(), x.size() * sizeof(T));
  std::memcpy(y.data(), b.data(), y.size() * sizeof(T));
  T scale = 0;
  for (T v : x) {
    if (std::isfinite(static_cast<double>(v))) scale = std::max<T>(scale, std::abs(v));
  }
  const T tol = std::is_integral_v<T> ? slack : slack * std::numeric_limits<T>::epsilon() * scale;
  for (std::size_t i = 0; i < x.size(); ++i) {
    const double u = static_cast<double>(x[i]), v = static_cast<double>(y[i]);
    if (std::isnan(u) && std::isnan(v)) continue;
    if (u == v) continue;
    if (!std::isfinite(u) && !std::isfinite(v)) continue;
    if (!std::isfinite(u) || !std::isfinite(v) || std::abs(u - v) > static_cast<double>(tol))
      return false;
  }
  return true;
}

bool sameAtEveryLevel(const Row& row, E elem, const std::string& a, const std::string& b) {
  const bool viaFloat =
      std::strcmp(row.family, "fft16") == 0 || std::strcmp(row.family, "conv2d") == 0;
  switch (elem) {
    case E::F32:
    case E::C32:
      return closeValues<float>(a, b, 64);
    case E::F64:
    case E::C64:
      return closeValues<double>(a, b, 64);
    case E::I16:
    case E::C16:
      return closeValues<short>(a, b, viaFloat ? 1 : 0);
    default:
      return a == b;
  }
}

// The text of a result with every NaN written alike.
std::string canonicalNan(std::string s) {
  for (std::size_t at; (at = s.find("-nan")) != std::string::npos;) s.erase(at, 1);
  return s;
}

// Each plan at the highest level, then at every lower one: the kernels of every level must give
// the same results. Empty if they do, else what differs.
std::string levelsDiffer(const Row& row) {
  using kvo::kern::Isa;
  const Isa top = kvo::kern::isa();
  std::string why;
  const bool conv2d = std::strcmp(row.family, "conv2d") == 0;
  for (const Plan& plan : plans(row)) {
    // Products of full-range 16-bit values summed in float cancel down to their rounding
    // errors, which depend on the order of the sums: only small values are exact there.
    if (conv2d && plan.fill != Call::Fill::Pattern) continue;
    kvo::kern::setIsa(top);
    const auto want = resultsAtThisLevel(row, plan);
    for (Isa level : {Isa::Avx2, Isa::Sse2}) {
      if (want.empty() || static_cast<int>(level) >= static_cast<int>(top)) continue;
      kvo::kern::setIsa(level);
      const auto got = resultsAtThisLevel(row, plan);
      for (std::size_t i = 0; i < want.size() && why.empty(); ++i) {
        const bool same =
            got.size() == want.size() &&
            (i == 0   ? canonicalNan(got[i]) == canonicalNan(want[i])
             : i == 1 ? got[i] == want[i]
                      : sameAtEveryLevel(row, row.params[i - 2].elem, want[i], got[i]));
        if (!same) {
          why = std::string(plan.name) + " data: " + kvo::kern::isaName(level) + " differs in " +
                (i == 0   ? "the result"
                 : i == 1 ? "the reports"
                          : row.params[i - 2].name);
        }
      }
    }
    releaseThreadTables();
  }
  kvo::kern::setIsa(top);
  return why;
}

struct Totals {
  long functions = 0, valid = 0, invalid = 0, reports = 0, skipped = 0, leaf = 0, failures = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s GOLDEN [--write] [--only NAME]\n", argv[0]);
    return 2;
  }
  const std::string goldenPath = argv[1];
  bool write = false;
  std::string only;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--write") == 0) write = true;
    if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) only = argv[++i];
  }
  signal(SIGSEGV, onFault);
  signal(SIGBUS, onFault);
  char quietName[] = "/tmp/kvo-adv-XXXXXX";
  gQuietFd = mkstemp(quietName);
  unlink(quietName);
  kvoSetErrMode(KVO_ErrorModeParent);
  kvoRedirectError(recordReport);

  std::map<std::string, std::string> golden, seen;
  if (!write) {
    std::ifstream in(goldenPath);
    for (std::string line; std::getline(in, line);) {
      if (line.empty() || line[0] == '#') continue;
      const auto t1 = line.find('\t'), t2 = line.find('\t', t1 + 1);
      golden[line.substr(0, t2)] = line.substr(t2 + 1);
    }
  }
  const auto start = std::chrono::steady_clock::now();
  Totals t;
  auto fail = [&t](const Row& row, const std::string& var, const std::string& why) {
    ++t.failures;
    std::fprintf(stderr, "FAIL %s [%s]: %s\n", row.name, var.c_str(), why.c_str());
  };
  const bool twoPlacements = !usingRedzones();
  for (int r = 0; r < kTableSize; ++r) {
    const Row& row = kTable[r];
    if (!only.empty() && only != row.name) continue;
    ++t.functions;
    gRow = row.name;
    bool leafDone = false;
    const auto rowStart = std::chrono::steady_clock::now();
    for (const Variant& v : variants(row)) {
      gVariant = v.name;
      Outcome o = run(row, v, KVO_ErrorModeParent, false);
      if (!o.ran) {
        ++t.skipped;
        continue;
      }
      const bool failing = !o.reps.empty();
      (v.clean ? t.valid : t.invalid) += 1;
      t.reports += static_cast<long>(o.reps.size());
      if (v.clean && failing && !isFrame(row))
        fail(row, v.name, "valid call reported " + formatReports(o.reps));
      if (failing) {
        const std::string key = std::string(row.name) + "\t" + v.name;
        const std::string got = formatResult(row, o.ret) + "\t" + formatReports(o.reps);
        seen[key] = got;
        if (!write) {
          auto it = golden.find(key);
          if (it == golden.end())
            fail(row, v.name, "not in the golden file: " + got);
          else if (it->second != got)
            fail(row, v.name, "golden " + it->second + "\n     got " + got);
        }
        bool error = false;
        for (const Report& rep : o.reps) {
          error |= rep.status < 0 && rep.status != KVO_StatusBacktrace &&
                   rep.status != KVO_StatusAutotrace;
          // The 16-bit complex conversions report without a module.
          const bool noModule =
              rep.module == "(null)" && std::strcmp(row.family, "conversion") == 0;
          if (!isModule(rep.module) && !noModule && !isFrame(row)) {
            fail(row, v.name, "unknown module " + rep.module);
          }
        }
        if (!isFrame(row)) {
          // The non-adapting LMS blocks hand their records to the FIR block filter, whose
          // checks report under its own name.
          std::string owner = row.name;
          if (const auto at = owner.find("bLmslNa"); at != std::string::npos)
            owner = owner.substr(0, at) + "bFirl";
          if (o.reps.back().func != row.name && o.reps.back().func != owner &&
              std::string(row.name) != "kvoFirFree") {
            fail(row, v.name, "the last report names " + o.reps.back().func);
          }
          // Value reports of special data come after the work, and the two-signal real FFTs
          // transform the second signal whether or not the first one failed.
          const bool afterWork =
              v.name == "special-data" || std::regex_search(row.name, kTwoSignals);
          if (error && o.changed && !afterWork)
            fail(row, v.name, "a failed call changed the caller's memory");
          if (error && !zeroResult(row, o.ret))
            fail(row, v.name, "result " + formatResult(row, o.ret));
        }
      }
      if (twoPlacements) {
        Outcome p = run(row, v, KVO_ErrorModeParent, true);
        if (formatReports(p.reps) != formatReports(o.reps) || p.changed != o.changed) {
          fail(row, v.name, "buffers at the leading guard: " + formatReports(p.reps));
        }
      }
      if (failing && !isFrame(row)) {
        Outcome s = run(row, v, KVO_ErrorModeSilent, false);
        if (s.status != o.status || formatResult(row, s.ret) != formatResult(row, o.ret) ||
            s.changed != o.changed) {
          fail(row, v.name,
               "silent mode differs: status " + std::to_string(s.status) + " result " +
                   formatResult(row, s.ret));
        }
        if (lseek(gQuietFd, 0, SEEK_END) != 0) {
          fail(row, v.name, "silent mode printed a report");
          (void)!ftruncate(gQuietFd, 0);
        }
        if (!leafDone) {
          leafDone = true;
          ++t.leaf;
          const std::string why = runLeaf(row, v, o.reps.front());
          if (!why.empty()) fail(row, v.name, why);
        }
      }
    }
    const double rowSecs =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - rowStart).count();
    if (getenv("KVO_ADV_SLOW") && rowSecs > 0.05)
      std::fprintf(stderr, "SLOW %s %.2f\n", row.name, rowSecs);
  }
  releaseThreadTables();
  // After the reports, whose golden lines may depend on the tables the calls before them cached.
  for (int r = 0; r < kTableSize; ++r) {
    const Row& row = kTable[r];
    if ((!only.empty() && only != row.name) || isFrame(row)) continue;
    gRow = row.name;
    gVariant = "levels";
    const std::string why = levelsDiffer(row);
    if (!why.empty()) fail(row, "levels", why);
  }

  if (write) {
    std::ofstream out(goldenPath);
    out << "# Reports of the adversarial driver's calls that report: function, argument variant,\n"
           "# result, then status,function,message,module of each report. Written by\n"
           "# kvo_adversarial GOLDEN --write and checked against the documented failure tables.\n";
    for (auto& [k, v] : seen) out << k << '\t' << v << '\n';
  } else if (only.empty()) {
    for (auto& [k, v] : golden) {
      if (!seen.count(k)) {
        ++t.failures;
        std::fprintf(stderr, "FAIL %s: in the golden file but no report now\n", k.c_str());
      }
    }
  }
  const double secs =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf(
      "adversarial: %ld functions, %ld valid and %ld invalid calls (%ld skipped), %ld reports "
      "checked, %ld leaf-mode children, %.1f s\n",
      t.functions, t.valid, t.invalid, t.skipped, t.reports, t.leaf, secs);
  std::printf("%ld passed, %ld failed\n", t.valid + t.invalid - t.failures, t.failures);
  return t.failures ? 1 : 0;
}
