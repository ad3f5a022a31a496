// Turns KtSystem_Panic into an exception for the scope, so a test can check
// that misuse panics and with which text; errors shown meanwhile are kept.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "host/sys/RunTime.h"

struct PanicError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class PanicCatcher {
 public:
  PanicCatcher()
      : oldHook_(Lib_SetPanicHook([](std::string_view t) { throw PanicError(std::string(t)); })),
        oldSink_(Lib_SetErrorSink([](std::string_view t, bool) { Shown().emplace_back(t); })) {
    Shown().clear();
  }
  ~PanicCatcher() {
    Lib_SetPanicHook(oldHook_);
    Lib_SetErrorSink(oldSink_);
  }
  PanicCatcher(const PanicCatcher&) = delete;
  PanicCatcher& operator=(const PanicCatcher&) = delete;

  static std::vector<std::string>& Shown() {
    static std::vector<std::string> shown;
    return shown;
  }

 private:
  PanicHook oldHook_;
  ErrorSink oldSink_;
};

// The panic text of `f`, or "" when it did not panic.
template <typename F>
std::string PanicText(F&& f) {
  try {
    f();
  } catch (const PanicError& e) {
    return e.what();
  }
  return {};
}
