// The error entry point, the status and mode accessors and the three standard reporters.
#include <cstdio>
#include <cstdlib>

#include "frame/context.h"
#include "frame/platform.h"
#include "kvo.h"

namespace {

constexpr const char* kUnknownStatus = "Unknown error or status code";
constexpr const char* kTerminating = "KVO Library:\nterminating the application";

bool isReportKind(int status) {
  return status == KVO_StatusBacktrace || status == KVO_StatusAutotrace;
}

// Ends the application after a confirmed report in the message-box reporter.
[[noreturn]] void terminateApplication() {
  if (kvo::platform::platformId() == kvo::platform::kPlatformWin32s) {
    kvo::platform::messageBox(kTerminating, "Win32S: Application exit",
                              kvo::platform::kBoxOk | kvo::platform::kBoxSystemModal);
    std::exit(1);
  }
  kvo::platform::fatalAppExit(kTerminating);
}

}  // namespace

extern "C" {

KVO_API int KVO_CALL kvoError(int status, const char* funcName, const char* message,
                              const char* fileName, int line) {
  kvo::ThreadContext& ctx = kvo::context();
  if (!isReportKind(status)) ctx.status = status;
  if (status == KVO_StatusOk) return 0;
  return ctx.reportFn(status, funcName, message, fileName, line);
}

KVO_API int KVO_CALL kvoGetErrStatus(void) { return kvo::context().status; }

KVO_API void KVO_CALL kvoSetErrStatus(int status) { kvo::context().status = status; }

KVO_API int KVO_CALL kvoGetErrMode(void) { return kvo::context().errMode; }

KVO_API void KVO_CALL kvoSetErrMode(int mode) { kvo::context().errMode = mode; }

KVO_API ReportFunction KVO_CALL kvoRedirectError(ReportFunction fn) {
  kvo::ThreadContext& ctx = kvo::context();
  ReportFunction previous = ctx.reportFn;
  ctx.reportFn = fn ? fn : kvoGuiBoxReport;
  return previous;
}

KVO_API const char* KVO_CALL kvoErrorStr(int status) {
  static const char* const kTexts[9] = {
      "Autotrace call", "Iteration convergence failed", "Unsupported function", "Bad argument",
      "Out of memory",  "Internal error (bad state)",   kUnknownStatus,         "Backtrace",
      "No Error"};
  if (status < KVO_StatusAutotrace || status > KVO_StatusOk) return kUnknownStatus;
  return kTexts[status + 8];
}

KVO_API int KVO_CALL kvoGuiBoxReport(int status, const char* funcName, const char* message,
                                     const char* fileName, int line) {
  const kvo::ThreadContext& ctx = kvo::context();
  const int mode = ctx.errMode;
  if (mode == KVO_ErrorModeSilent) return status;
  if (funcName == nullptr) funcName = "<unknown>";
  if (message == nullptr) message = "";
  if (fileName == nullptr) fileName = "";
  if (line < 0) line = 0;

  const char* closing;
  if (mode == KVO_ErrorModeLeaf) {
    closing = "\n\nErrMode=KVO_ErrorModeLeaf\n\nTerminate the application?";
  } else if (mode == KVO_ErrorModeParent) {
    closing = "\n\nErrMode=KVO_ErrorModeParent\n\nContinue?";
  } else {
    return status;
  }

  char text[200];
  char caption[100];
  if (status == KVO_StatusBacktrace) {
    kvo::platform::formatText(text, sizeof text, "called from [%s:%d]:%s():\n %s%s", fileName, line,
                              funcName, message, closing);
  } else if (status == KVO_StatusAutotrace) {
    kvo::platform::formatText(text, sizeof text, "called from [%s:%d]:\n %s(%s)%s", fileName, line,
                              funcName, message, closing);
  } else {
    kvo::platform::formatText(text, sizeof text, "in function [%s:%d]:%s():\n %s%s", fileName, line,
                              funcName, message, closing);
  }
  // The caption names the stored status, so a back-trace box shows the error that caused it.
  kvo::platform::formatText(caption, sizeof caption, "KVO Library Error: %s",
                            kvoErrorStr(ctx.status));

  using namespace kvo::platform;
  if (mode == KVO_ErrorModeParent) {
    if (messageBox(text, caption, kBoxOkCancel | kBoxSystemModal) == kAnswerCancel) {
      terminateApplication();
    }
    return status;
  }
  if (messageBox(text, caption, kBoxYesNo | kBoxSystemModal) == kAnswerYes) terminateApplication();
  return status;
}

KVO_API int KVO_CALL kvoStdErrReport(int status, const char* funcName, const char* message,
                                     const char* fileName, int line) {
  const int mode = kvo::context().errMode;
  if (mode == KVO_ErrorModeSilent) return status;
  if (!isReportKind(status)) {
    std::fprintf(stderr, "\nKVO Library Error: %s \n\tin function", kvoErrorStr(status));
  } else {
    std::fputs("\tcalled from", stderr);
  }
  if (line > 0 || fileName != nullptr) {
    std::fprintf(stderr, " [%s:%d]", fileName ? fileName : "(null)", line);
  }
  std::fprintf(stderr, ":%s", funcName ? funcName : "<unknown>");
  if (message != nullptr) {
    std::fprintf(stderr, status == KVO_StatusAutotrace ? "(%s)" : "(): %s", message);
  }
  std::fputs("\n", stderr);
  std::fflush(stderr);
  if (mode != KVO_ErrorModeLeaf) return status;
  std::fputs("KVO Library Error\nErrMode=KVO_ErrModeLeaf\nterminating the application", stderr);
  std::fflush(stderr);
  std::exit(1);
}

KVO_API int KVO_CALL kvoNulDevReport(int status, const char*, const char*, const char*, int) {
  if (kvo::context().errMode == KVO_ErrorModeLeaf) std::exit(1);
  return status;
}

}  // extern "C"
