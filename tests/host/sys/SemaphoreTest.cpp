#include "host/sys/Semaphore.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "PanicCatcher.h"

namespace {

class SemHold {  // destroys the test's semaphore however the test ends
 public:
  explicit SemHold(const char* name) : sem(_Create(name)) {}
  ~SemHold() { _Destroy(&sem); }
  HSem sem;
};

TEST(Semaphore, SecondRequesterWaitsForTheRelease) {
  SemHold s("AcqDb.cachedDbTableBktSem");
  _Request(s.sem, "AcqDb.Initialize");
  std::atomic<bool> got{false};
  std::thread other([&] {
    _Request(s.sem, "AcqEdiUpld.ImportThread");
    got = true;
    _Release(s.sem, "AcqEdiUpld.ImportThread");
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(got);
  EXPECT_EQ(_HolderName(s.sem), "AcqDb.Initialize");
  _Release(s.sem, "AcqDb.Initialize");
  other.join();
  EXPECT_TRUE(got);
  EXPECT_EQ(_HolderName(s.sem), "");
}

TEST(Semaphore, MisusePanicsWithBothNames) {
  PanicCatcher catcher;
  SemHold s("AcqDbExcept.dbErrorMsgBktSem");

  EXPECT_EQ(PanicText([&] { _Release(s.sem, "AcqDb.Free"); }),
            "Semaphore._Release: AcqDb.Free releases \"AcqDbExcept.dbErrorMsgBktSem\" held by nobody");

  _Request(s.sem, "AcqDbExcept.AddError");
  EXPECT_EQ(PanicText([&] { _Request(s.sem, "AcqDbExcept.ShowErrors"); }),
            "Semaphore._Request: AcqDbExcept.ShowErrors requests "
            "\"AcqDbExcept.dbErrorMsgBktSem\" already held by AcqDbExcept.AddError");

  std::string fromOtherThread;
  std::thread([&] {
    fromOtherThread = PanicText([&] { _Release(s.sem, "AcqEdiUpld.ImportThread"); });
  }).join();
  EXPECT_NE(fromOtherThread.find("AcqEdiUpld.ImportThread"), std::string::npos);
  EXPECT_NE(fromOtherThread.find("held by AcqDbExcept.AddError"), std::string::npos);

  // The failed calls changed nothing: the holder can still release.
  EXPECT_EQ(_HolderName(s.sem), "AcqDbExcept.AddError");
  _Release(s.sem, "AcqDbExcept.AddError");
}

}  // namespace
