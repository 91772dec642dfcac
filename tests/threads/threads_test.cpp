// Eight threads through the parts of the library that keep state per thread or per record: the
// FFT, real FFT and 16-bit FFT table caches (built by Init, dropped by Free), the DCT tables of
// changing lengths, high-level FIR, IIR and LMS records, generators, and error reporting with a
// mode and a report function of each thread's own. Every result must match, bit for bit, the one
// computed on the main thread before the threads start. Built with -fsanitize=thread (KVO_TSAN)
// it shows data races; with LeakSanitizer, that a thread which frees its tables leaves nothing.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "kvo.h"

namespace {

constexpr int kThreads = 8;
constexpr int kRounds = 48;

// What one thread's reporter saw. Each thread owns one of these, so a report arriving in another
// thread's record shows a reporter or a context shared across threads.
struct Seen {
  int count = 0;
  int lastStatus = 0;
  std::string lastFunc;
  std::thread::id thread;
};
std::array<Seen, kThreads> g_seen;

template <int K>
int KVO_CALL reportTo(int status, const char* func, const char*, const char*, int) {
  Seen& s = g_seen[K];
  ++s.count;
  s.lastStatus = status;
  s.lastFunc = func ? func : "";
  s.thread = std::this_thread::get_id();
  return status;
}
constexpr ReportFunction kReporters[kThreads] = {reportTo<0>, reportTo<1>, reportTo<2>,
                                                 reportTo<3>, reportTo<4>, reportTo<5>,
                                                 reportTo<6>, reportTo<7>};

template <class T>
bool same(const std::vector<T>& a, const std::vector<T>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0;
}

std::vector<float> signal(int n, int seed) {
  std::vector<float> v(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) v[static_cast<std::size_t>(i)] = std::sin(0.37f * i + seed) * 50;
  return v;
}

// Everything one thread computes in one round, for thread `t` and round `r`: the lengths and
// orders depend on both so that neighbouring threads keep rebuilding different tables.
struct Results {
  std::vector<ComplexFloat> fft;
  std::vector<ComplexDouble> zfft;
  std::vector<float> realFft;
  std::vector<ComplexShort> fft16;
  int fft16Factor = 0;
  std::vector<float> dct;
  std::vector<double> ddct;
  std::vector<short> wdct;
  std::vector<float> fir, iir, lms, tone, gauss;

  // The names of the results that differ from `o`, empty when all agree.
  std::string differences(const Results& o) const {
    std::string d;
    auto note = [&d](bool equal, const char* name) {
      if (!equal) d += std::string(d.empty() ? "" : " ") + name;
    };
    note(same(fft, o.fft), "fft");
    note(same(zfft, o.zfft), "zfft");
    note(same(realFft, o.realFft), "realFft");
    note(same(fft16, o.fft16) && fft16Factor == o.fft16Factor, "fft16");
    note(same(dct, o.dct), "dct");
    note(same(ddct, o.ddct), "ddct");
    note(same(wdct, o.wdct), "wdct");
    note(same(fir, o.fir), "fir");
    note(same(iir, o.iir), "iir");
    note(same(lms, o.lms), "lms");
    note(same(tone, o.tone), "tone");
    note(same(gauss, o.gauss), "gauss");
    return d;
  }
};

Results compute(int t, int r) {
  Results out;
  const int order = 3 + (t + r) % 8;  // 8 .. 1024 points
  const int n = 1 << order;
  const auto x = signal(2 * n + 128, t);  // also the 64-sample filter and 16-bit DCT inputs

  out.fft.resize(static_cast<std::size_t>(n));
  std::memcpy(out.fft.data(), x.data(), sizeof(ComplexFloat) * out.fft.size());
  kvocFft(nullptr, order, KVO_Init);
  kvocFft(out.fft.data(), order, KVO_Forw);
  kvocFft(out.fft.data(), order, KVO_Inv | KVO_NoScale);
  if ((t + r) % 3 == 0) kvocFft(nullptr, order, KVO_Free);

  out.zfft.resize(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) out.zfft[static_cast<std::size_t>(i)] = {x[std::size_t(i)], 1.0};
  kvozFft(out.zfft.data(), order, KVO_Forw);

  out.realFft.assign(x.begin(), x.begin() + n);
  kvosRealFftl(out.realFft.data(), order, KVO_Forw | KVO_OutRCPack);
  if ((t + r) % 2 == 0) kvosRealFftl(nullptr, order, KVO_Free);

  out.fft16.resize(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    out.fft16[std::size_t(i)] = {short(x[std::size_t(i)] * 100), short(x[std::size_t(n + i)])};
  }
  kvovFft(out.fft16.data(), order, KVO_Forw, KVO_AUTO_SCALE, &out.fft16Factor);

  // The DCT: a power of two (fast method), an odd length (direct method) and a 16-bit one, with
  // lengths that change every round so each call may rebuild the thread's tables.
  const int dctLength = (t + r) % 2 ? n : n + 3 + t;
  out.dct.resize(static_cast<std::size_t>(dctLength));
  kvosDct(x.data(), out.dct.data(), dctLength, KVO_Forw);
  std::vector<double> dx(x.begin(), x.begin() + 24 + t);
  out.ddct.resize(dx.size());
  kvodDct(dx.data(), out.ddct.data(), int(dx.size()), KVO_Inv);
  std::vector<short> wx(std::size_t{1} << (2 + (t + r) % 5));
  for (std::size_t i = 0; i < wx.size(); ++i) wx[i] = short(x[i] * 40);
  out.wdct.resize(wx.size());
  kvowDct(wx.data(), out.wdct.data(), int(wx.size()), KVO_Forw);

  const int len = 64;
  const float taps[] = {0.25f, 0.5f - 0.01f * t, 0.25f, 0.125f};
  FirState fir{};
  kvosFirInit(taps, 4, nullptr, &fir);
  out.fir.resize(len);
  kvosbFir(&fir, x.data(), out.fir.data(), len);
  kvoFirFree(&fir);

  float iirTaps[] = {0.2f, 0.3f, 0.2f, 1.0f, -0.5f + 0.02f * t, 0.2f};
  IirState iir{};
  kvosIirInit(0, iirTaps, 2, &iir);
  out.iir.resize(len);
  kvosbIir(&iir, x.data(), out.iir.data(), len);
  kvoIirFree(&iir);

  LmsState lms{};
  kvosLmsInit(0, taps, 4, nullptr, 0.001f * (t + 1), 0, 0, &lms);
  out.lms.resize(len);
  for (int i = 0; i < len; ++i) {
    out.lms[std::size_t(i)] = kvosLms(&lms, x[std::size_t(i)], i ? out.lms[std::size_t(i - 1)] : 0);
  }
  kvoLmsFree(&lms);

  ToneState tone{};
  kvosToneInit(0.01f * (t + 1), 0.5f, 100, &tone);
  out.tone.resize(len);
  kvosbTone(&tone, out.tone.data(), len);

  RandGausState gauss{};
  kvosRandGausInit(float(1000 + t + r), 0, 10, &gauss);
  out.gauss.resize(len);
  kvosbRandGaus(&gauss, out.gauss.data(), len);
  return out;
}

// Releases every table of the calling thread's caches: what a thread must do before it ends.
void freeThreadTables() {
  kvocFreeTwdTbls();
  kvozFreeTwdTbls();
  kvovFreeTwdTbls();
  kvoFreeBitRevTbls();
  kvosDct(nullptr, nullptr, 0, KVO_Free);
}

// Each thread: its own error mode and reporter, checked after every round alongside a bad call
// whose report must reach this thread's reporter alone.
struct Outcome {
  std::vector<std::string> mismatches;
  int wrongStatus = 0;
  int wrongSetup = 0;
};

void worker(int t, const std::vector<std::vector<Results>>& want, Outcome& out) {
  const bool silent = t % 2 != 0;
  const int mode = silent ? KVO_ErrorModeSilent : KVO_ErrorModeParent;
  const ReportFunction mine = silent ? kvoStdErrReport : kReporters[t];
  if (kvoGetErrMode() != KVO_ErrorModeLeaf || kvoGetErrStatus() != KVO_StatusOk) ++out.wrongSetup;
  kvoSetErrMode(mode);
  if (kvoRedirectError(mine) != kvoGuiBoxReport) ++out.wrongSetup;
  for (int r = 0; r < kRounds; ++r) {
    const std::string d = compute(t, r).differences(want[std::size_t(t)][std::size_t(r)]);
    if (!d.empty()) out.mismatches.push_back("round " + std::to_string(r) + ": " + d);
    if (kvoGetErrStatus() != KVO_StatusOk) ++out.wrongStatus;
    // A bad argument: the status of this thread only, the report to this thread's reporter.
    float v = 0;
    kvosbAdd1(1.0f, &v, -t - 1);
    if (kvoGetErrStatus() != KVO_StatusBadArgument) ++out.wrongStatus;
    if (kvoGetErrMode() != mode) ++out.wrongSetup;
    kvoSetErrStatus(KVO_StatusOk);
  }
  if (kvoRedirectError(nullptr) != mine) ++out.wrongSetup;
  freeThreadTables();
}

TEST(Threads, EightThreadsKeepTheirOwnTablesStatusModeAndReporter) {
  kvoSetErrMode(KVO_ErrorModeParent);
  kvoRedirectError(kReporters[0]);
  std::vector<std::vector<Results>> want(kThreads);
  for (int t = 0; t < kThreads; ++t) {
    for (int r = 0; r < kRounds; ++r) want[std::size_t(t)].push_back(compute(t, r));
  }
  ASSERT_EQ(kvoGetErrStatus(), KVO_StatusOk);
  ASSERT_EQ(g_seen[0].count, 0);
  freeThreadTables();
  kvoRedirectError(nullptr);
  kvoSetErrMode(KVO_ErrorModeLeaf);

  std::array<Outcome, kThreads> outcome{};
  std::array<std::thread::id, kThreads> ids{};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      ids[std::size_t(t)] = std::this_thread::get_id();
      worker(t, want, outcome[std::size_t(t)]);
    });
  }
  for (auto& th : threads) th.join();

  for (int t = 0; t < kThreads; ++t) {
    SCOPED_TRACE("thread " + std::to_string(t));
    const Outcome& o = outcome[std::size_t(t)];
    for (const auto& m : o.mismatches) ADD_FAILURE() << m;
    EXPECT_EQ(o.wrongStatus, 0);
    EXPECT_EQ(o.wrongSetup, 0);
    const Seen& s = g_seen[std::size_t(t)];
    if (t % 2 != 0) {
      EXPECT_EQ(s.count, 0);  // silent threads report through kvoStdErrReport, which is quiet
    } else {
      EXPECT_EQ(s.count, kRounds);
      EXPECT_EQ(s.lastStatus, KVO_StatusBadArgument);
      EXPECT_EQ(s.lastFunc, "kvosbAdd1");
      EXPECT_EQ(s.thread, ids[std::size_t(t)]);
    }
  }
  // The main thread's setting survived the threads.
  EXPECT_EQ(kvoGetErrMode(), KVO_ErrorModeLeaf);
  EXPECT_EQ(kvoGetErrStatus(), KVO_StatusOk);
}

// A thread's tables are not released when it ends (only its context record is): the table is
// still readable afterwards, under the sanitizers too, and it is the caller's to release.
TEST(Threads, TablesOutliveTheirThreadUntilFreed) {
  ComplexFloat* table = nullptr;
  std::thread([&table] { table = kvocGetFftTwdTbl(4); }).join();
  ASSERT_NE(table, nullptr);
  EXPECT_NEAR(table[4].re, 0.0f, 1e-7f);  // exp(-2 pi i 4/16) = -i
  EXPECT_EQ(table[4].im, -1.0f);
  kvoFree(table);
}

}  // namespace
