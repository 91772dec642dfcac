// Error entry point, status and mode accessors, the three reporters and per-thread contexts.
#include <thread>

#include "support/kvo_test.h"

using namespace kvotest;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

namespace {

TEST(ErrorStr, TextsOfAllCodes) {
  EXPECT_STREQ(kvoErrorStr(0), "No Error");
  EXPECT_STREQ(kvoErrorStr(-1), "Backtrace");
  EXPECT_STREQ(kvoErrorStr(-3), "Internal error (bad state)");
  EXPECT_STREQ(kvoErrorStr(-4), "Out of memory");
  EXPECT_STREQ(kvoErrorStr(-5), "Bad argument");
  EXPECT_STREQ(kvoErrorStr(-6), "Unsupported function");
  EXPECT_STREQ(kvoErrorStr(-7), "Iteration convergence failed");
  EXPECT_STREQ(kvoErrorStr(-8), "Autotrace call");
  for (int status : {-2, 1, -9, 1000, -1000}) {
    EXPECT_STREQ(kvoErrorStr(status), "Unknown error or status code") << status;
  }
}

class ErrorEntry : public KvoTest {};
// The reports that end the process, checked in a child process (a suite of their own, so that
// runs without a usable fork, such as user-mode emulation, can leave them out).
using ErrorEntryDeathTest = ErrorEntry;

// Status 0 clears without a report; errors and positive statuses are stored, reported and
// returned; back-traces (-1) and traces (-8) are reported but not stored.
TEST_F(ErrorEntry, WhatIsStoredAndReported) {
  kvoSetErrStatus(-5);
  EXPECT_EQ(kvoError(0, "f", "m", "mod", 1), 0);
  EXPECT_EQ(kvoGetErrStatus(), 0);
  expectNoReport();
  EXPECT_EQ(kvoError(3, "f", "m", "mod", 1), 3);
  EXPECT_EQ(kvoGetErrStatus(), 3);
  expectReport(3, "f", "m", "mod");
  kvoError(-5, "kvoInner", "n<=0", "kvoa", 1);
  EXPECT_EQ(kvoError(-1, "kvoOuter", nullptr, "kvob", 2), -1);
  kvoError(-8, "kvoTrace", "note", "kvoc", 3);
  EXPECT_EQ(kvoGetErrStatus(), -5);
  ASSERT_EQ(kvotest::reports().size(), 3u);
  EXPECT_EQ(kvotest::reports()[1].message, "<null>");
  EXPECT_EQ(kvotest::reports()[2].line, 3);
}

TEST_F(ErrorEntry, AccessorsStoreUnchecked) {
  kvoSetErrStatus(12345);
  EXPECT_EQ(kvoGetErrStatus(), 12345);
  kvoSetErrMode(77);
  EXPECT_EQ(kvoGetErrMode(), 77);
}

TEST_F(ErrorEntry, RedirectReturnsPreviousAndNullRestoresMessageBox) {
  EXPECT_EQ(kvoRedirectError(kvoStdErrReport), &kvotest::captureReport);
  EXPECT_EQ(kvoRedirectError(nullptr), &kvoStdErrReport);
  EXPECT_EQ(kvoRedirectError(kvotest::captureReport), &kvoGuiBoxReport);
}

// ---- standard-error reporter ----

std::string stdErrReport(int mode, int status, const char* func, const char* msg, const char* file,
                         int line) {
  kvoSetErrMode(mode);
  CaptureStderr();
  EXPECT_EQ(kvoStdErrReport(status, func, msg, file, line), status);
  return GetCapturedStderr();
}

TEST_F(ErrorEntry, StdErrWorkedExamples) {
  EXPECT_EQ(stdErrReport(1, -5, "kvowbAdd1", "n<=0", "kvoaritw", 12),
            "\nKVO Library Error: Bad argument \n\tin function [kvoaritw:12]:kvowbAdd1(): n<=0\n");
  EXPECT_EQ(stdErrReport(1, -1, "kvocConv", nullptr, "kvoconvs", 40),
            "\tcalled from [kvoconvs:40]:kvocConv\n");
}

TEST_F(ErrorEntry, StdErrVariants) {
  // No location part without file and line; trace reports put the note in parentheses.
  EXPECT_EQ(stdErrReport(1, -4, "f", "m", nullptr, 0),
            "\nKVO Library Error: Out of memory \n\tin function:f(): m\n");
  EXPECT_EQ(stdErrReport(1, -4, nullptr, nullptr, nullptr, 5),
            "\nKVO Library Error: Out of memory \n\tin function [(null):5]:<unknown>\n");
  EXPECT_EQ(stdErrReport(1, -8, "kvoT", "x=1", "kvot", 9), "\tcalled from [kvot:9]:kvoT(x=1)\n");
  EXPECT_EQ(stdErrReport(1, -2, "f", "m", "mod", 1),
            "\nKVO Library Error: Unknown error or status code \n\tin function [mod:1]:f(): m\n");
  EXPECT_EQ(stdErrReport(2, -5, "f", "m", "mod", 1), "");
}

TEST_F(ErrorEntryDeathTest, StdErrLeafModeExitsWithCodeOne) {
  EXPECT_EXIT(
      {
        kvoSetErrMode(KVO_ErrorModeLeaf);
        kvoStdErrReport(-5, "kvoF", "n<=0", "kvom", 1);
      },
      testing::ExitedWithCode(1),
      "kvoF\\(\\): n<=0\nKVO Library Error\nErrMode=KVO_ErrModeLeaf\nterminating the application");
}

TEST_F(ErrorEntry, NulDevReportsNothing) {
  for (int mode : {1, 2}) {
    kvoSetErrMode(mode);
    CaptureStderr();
    EXPECT_EQ(kvoNulDevReport(-5, "f", "m", "mod", 1), -5);
    EXPECT_EQ(GetCapturedStderr(), "");
  }
}

TEST_F(ErrorEntryDeathTest, NulDevInLeafModeExitsSilently) {
  EXPECT_EXIT(
      {
        kvoSetErrMode(KVO_ErrorModeLeaf);
        kvoNulDevReport(-5, "f", "m", "mod", 1);
      },
      testing::ExitedWithCode(1), "");
}

// ---- message-box reporter (the console substitute writes the box to standard error) ----
// On Windows the box is real; platform_test.cpp checks its caption, text and style there.
#ifndef _WIN32

TEST_F(ErrorEntry, BoxCaptionNamesStoredStatusAndTextFollowsStatusKind) {
  kvoSetErrMode(KVO_ErrorModeParent);
  kvoSetErrStatus(-5);
  CaptureStderr();
  EXPECT_EQ(kvoGuiBoxReport(-1, "kvocConv", "out kvosRealFft", "kvoconvs", 40), -1);
  EXPECT_EQ(GetCapturedStderr(),
            "[KVO Library Error: Bad argument]\ncalled from [kvoconvs:40]:kvocConv():\n out "
            "kvosRealFft\n\nErrMode=KVO_ErrorModeParent\n\nContinue?\n");
  CaptureStderr();
  kvoGuiBoxReport(-8, "kvoT", "x", nullptr, -3);
  EXPECT_EQ(GetCapturedStderr(),
            "[KVO Library Error: Bad argument]\ncalled from [:0]:\n "
            "kvoT(x)\n\nErrMode=KVO_ErrorModeParent\n\nContinue?\n");
  kvoSetErrStatus(-4);
  CaptureStderr();
  kvoGuiBoxReport(-4, nullptr, nullptr, "kvomem", 3);
  EXPECT_EQ(GetCapturedStderr(),
            "[KVO Library Error: Out of memory]\nin function [kvomem:3]:<unknown>():\n "
            "\n\nErrMode=KVO_ErrorModeParent\n\nContinue?\n");
}

TEST_F(ErrorEntry, BoxTextIsCutToItsBuffer) {
  const std::string longMessage(500, 'x');
  kvoSetErrMode(KVO_ErrorModeParent);
  CaptureStderr();
  kvoGuiBoxReport(-5, "f", longMessage.c_str(), "mod", 1);
  const std::string out = GetCapturedStderr();
  const std::string text = out.substr(out.find('\n') + 1);
  EXPECT_EQ(text.size(), 199u + 1u);  // 199 characters and the line feed of the console box
}

#endif  // _WIN32

TEST_F(ErrorEntry, BoxSilentAndUnknownModesShowNothing) {
  for (int mode : {2, 3, -1}) {
    kvoSetErrMode(mode);
    CaptureStderr();
    EXPECT_EQ(kvoGuiBoxReport(-5, "f", "m", "mod", 1), -5);
    EXPECT_EQ(GetCapturedStderr(), "") << mode;
  }
}

#ifndef _WIN32
TEST_F(ErrorEntryDeathTest, BoxInLeafModeEndsTheApplication) {
  // The console box answers with its default button, Yes, which ends the application.
  EXPECT_DEATH(
      {
        kvoSetErrMode(KVO_ErrorModeLeaf);
        kvoRedirectError(nullptr);
        kvoError(-5, "kvoF", "n<=0", "kvom", 1);
      },
      "Terminate the application\\?\nKVO Library:\nterminating the application");
}
#endif  // _WIN32

// ---- per-thread contexts ----

TEST_F(ErrorEntry, EachThreadHasItsOwnStatusModeAndReporter) {
  kvoSetErrStatus(-5);
  std::thread([] {
    EXPECT_EQ(kvoGetErrStatus(), 0);
    EXPECT_EQ(kvoGetErrMode(), KVO_ErrorModeLeaf);
    EXPECT_EQ(kvoRedirectError(kvoNulDevReport), &kvoGuiBoxReport);
    kvoSetErrMode(KVO_ErrorModeSilent);
    kvoSetErrStatus(-4);
    kvoError(-6, "f", "m", "mod", 1);  // silent: nothing happens but the status
    EXPECT_EQ(kvoGetErrStatus(), -6);
  }).join();
  EXPECT_EQ(kvoGetErrStatus(), -5);
  EXPECT_EQ(kvoGetErrMode(), KVO_ErrorModeParent);
  EXPECT_EQ(kvoRedirectError(kvotest::captureReport), &kvotest::captureReport);
}

TEST_F(ErrorEntry, ManyShortLivedThreadsReleaseTheirContexts) {
  // Each thread creates a context on first use; the leak checker of the sanitizer build (and
  // valgrind) fails the run if the thread-exit release does not happen.
  for (int round = 0; round < 50; ++round) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
      threads.emplace_back([t] {
        kvoSetErrMode(KVO_ErrorModeParent);
        kvoSetErrStatus(-t);
        EXPECT_EQ(kvoGetErrStatus(), -t);
      });
    }
    for (auto& th : threads) th.join();
  }
}

}  // namespace
