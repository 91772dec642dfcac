// Argument checks of the exported functions.
//
// Every entry checks its arguments in argument order and reports each failure through kvoError
// with its own name, the message, its module and the line. Most entries stop at the first failure:
//
//   if (!KVO_CHECKS.positive(n).notNull(src, "src==0").notNull(dst, "dst==0")) return;
//
// Families that run a whole round of checks use KVO_ALL_CHECKS instead: every failed check is
// reported, and ok() is false if any failed.
#pragma once

#include "kvo.h"

namespace kvo {

// Where a report comes from: the exported function, its module and the line of the check.
struct Site {
  const char* func;
  const char* module;
  int line;

  int report(int status, const char* message) const {
    return kvoError(status, func, message, module, line);
  }
};

class Checks {
 public:
  explicit Checks(const Site& site, bool stopAtFirst = true)
      : site_(site), stopAtFirst_(stopAtFirst) {}

  // Reports `message` with `status` unless `ok`.
  Checks& require(bool ok, const char* message, int status = KVO_StatusBadArgument) {
    if (!ok && !(failed_ && stopAtFirst_)) {
      site_.report(status, message);
      failed_ = true;
    }
    return *this;
  }
  Checks& positive(int n, const char* message = "n<=0") { return require(n >= 1, message); }
  Checks& notNull(const void* p, const char* message) { return require(p != nullptr, message); }

  bool ok() const { return !failed_; }
  explicit operator bool() const { return ok(); }

 private:
  Site site_;
  bool stopAtFirst_;
  bool failed_ = false;
};

}  // namespace kvo

// Each module defines `constexpr const char* kModule = "<module>";` before using these.
#define KVO_SITE (::kvo::Site{__func__, kModule, __LINE__})
#define KVO_CHECKS (::kvo::Checks(KVO_SITE))
#define KVO_ALL_CHECKS (::kvo::Checks(KVO_SITE, false))
