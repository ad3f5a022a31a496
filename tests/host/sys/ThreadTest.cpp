#include "host/sys/Thread.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "PanicCatcher.h"

namespace {

// A gate a test opens for its thread; the thread's procedure waits at it.
struct Gate {
  std::atomic<bool> open{false};
  std::atomic<bool> reached{false};
  void Wait() {
    reached = true;
    while (!open) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
};

struct Flagger {   // sets its flag when its scope ends, however it ends
  std::atomic<bool>& flag;
  ~Flagger() { flag = true; }
};

struct Work {
  Gate gate;
  std::atomic<bool> released{false};
  bool exitEarly = false;
};

uint32_t RegisteredWorker(void* param) {
  auto* w = static_cast<Work*>(param);
  _RegisterThread("EDIFACT import");
  Flagger f{w->released};
  w->gate.Wait();
  if (w->exitEarly) ExitThread(7);   // leaves without _UnRegisterThread
  _UnRegisterThread();
  return 3;
}

class EnvHold {
 public:
  EnvHold(const char* name, const char* value) : name_(name) {
    if (const char* old = getenv(name)) old_ = old, had_ = true;
    if (value) setenv(name, value, 1); else unsetenv(name);
  }
  ~EnvHold() {
    if (had_) setenv(name_.c_str(), old_.c_str(), 1); else unsetenv(name_.c_str());
  }
 private:
  std::string name_, old_;
  bool had_ = false;
};

}  // namespace

// Both ways out of a thread: returning (after unregistering) and ExitThread
// (which must unwind the stack and still leave the registry).
TEST(Thread, EndsByReturnOrExitThreadWithItsCodeAndUnwinds) {
  for (bool exitEarly : {false, true}) {
    SCOPED_TRACE(exitEarly ? "ExitThread" : "return");
    Work w;
    w.exitEarly = exitEarly;
    HTHREAD t = CreateThread(RegisteredWorker, &w);
    ASSERT_NE(t, nullptr);
    while (!w.gate.reached) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(_RegisteredThreads(), std::vector<std::string>{"EDIFACT import"});
    uint32_t code = 99;
    EXPECT_FALSE(WaitForThread(t, 20, &code));
    EXPECT_EQ(code, 99u);
    EXPECT_FALSE(_WaitRegisteredThreads(20));
    w.gate.open = true;
    EXPECT_TRUE(WaitForThread(t, -1, &code));
    EXPECT_EQ(code, exitEarly ? 7u : 3u);
    EXPECT_TRUE(w.released);
    EXPECT_TRUE(_WaitRegisteredThreads(60000));
    EXPECT_TRUE(_RegisteredThreads().empty());
    CloseThreadHandle(t);
  }
}

TEST(Thread, ExitThreadOutsideAHostThreadPanics) {
  PanicCatcher catcher;
  EXPECT_THROW(ExitThread(1), PanicError);
}

TEST(Thread, ModuleCriticalSectionIsRecursiveAndExcludesOthers) {
  std::atomic<bool> entered{false};
  std::thread other;
  {
    KtCriticalSectionHold outer;
    {
      KtCriticalSectionHold inner;   // the same thread again: no deadlock
    }
    other = std::thread([&] {
      KtCriticalSectionHold hold;
      entered = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_FALSE(entered);
  }
  other.join();
  EXPECT_TRUE(entered);
}

TEST(Thread, SymbolFromEnvironmentBeforeProfile) {
  const std::filesystem::path ini =
      std::filesystem::temp_directory_path() / ("acq-symbols-" + std::to_string(getpid()) + ".ini");
  {
    std::ofstream out(ini);
    out << "[ACQ]\nKtTryEDI=nothere\n[Symbols]\nKtTryEDI=ORDERS\nOther=from profile\n";
  }
  EnvHold workstation("ACQ_WORKSTATION", ini.c_str());
  {
    EnvHold env("KtTryEDI", nullptr);
    EXPECT_EQ(KtRTL_GetSymbol("KtTryEDI"), "ORDERS");
    EXPECT_EQ(KtRTL_GetSymbol("kttryedi"), "ORDERS");   // profile keys: any case
  }
  {
    EnvHold env("KtTryEDI", "");
    EXPECT_EQ(KtRTL_GetSymbol("KtTryEDI"), "");   // set, though empty, wins
  }
  {
    EnvHold env("KtTryEDI", "NO");
    EXPECT_EQ(KtRTL_GetSymbol("KtTryEDI"), "NO");
  }
  EnvHold other("Other", nullptr);
  EXPECT_EQ(KtRTL_GetSymbol("Other"), "from profile");
  EXPECT_EQ(KtRTL_GetSymbol("Missing"), "");
  EXPECT_EQ(KtRTL_GetSymbol(""), "");
  std::filesystem::remove(ini);
}
