#include "support/kvo_test.h"

#include <cstdlib>

namespace kvotest {

std::vector<Report>& reports() {
  thread_local std::vector<Report> captured;
  return captured;
}

void clearReports() { reports().clear(); }

bool emulated() { return std::getenv("KVO_TEST_EMULATED") != nullptr; }

int KVO_CALL captureReport(int status, const char* funcName, const char* message,
                           const char* fileName, int line) {
  reports().push_back({status, funcName ? funcName : "<null>", message ? message : "<null>",
                       fileName ? fileName : "<null>", line});
  return status;
}

void KvoTest::SetUp() {
  savedMode_ = kvoGetErrMode();
  kvoSetErrMode(KVO_ErrorModeParent);
  savedReporter_ = kvoRedirectError(captureReport);
  kvoSetErrStatus(KVO_StatusOk);
  clearReports();
}

void KvoTest::TearDown() {
  kvoRedirectError(savedReporter_);
  kvoSetErrMode(savedMode_);
  kvoSetErrStatus(KVO_StatusOk);
  clearReports();
}

void KvoTest::expectReport(int status, const char* func, const char* message, const char* module) {
  ASSERT_EQ(reports().size(), 1u) << "expected one report " << func << ": " << message;
  const Report& r = reports().front();
  EXPECT_EQ(r.status, status);
  EXPECT_EQ(r.func, func);
  EXPECT_EQ(r.message, message);
  EXPECT_EQ(r.module, module);
  clearReports();
}

void KvoTest::expectNoReport() {
  EXPECT_TRUE(reports().empty()) << reports().size()
                                 << " unexpected reports, first: " << reports().front().func << ": "
                                 << reports().front().message;
  clearReports();
}

}  // namespace kvotest
