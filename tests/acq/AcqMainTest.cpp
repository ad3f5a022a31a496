// The start-up handshake on a real database: a repeated start-up message
// keeps the one session the first one made (open windows hold it), and a
// start-up that failed after its log-in lets its session go before the next
// try. A session is counted by the files it holds open (the database and
// its write-ahead log), which a leaked session keeps.
#include <gtest/gtest.h>

#include <filesystem>

#include "ModuleFixture.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/frame/AcqGlobal.h"
#include "acq/frame/AcqMain.h"
#include "acq/frame/AcqSecurity.h"

namespace {

using acqtest::ModuleDb;

size_t OpenFiles() {
  size_t n = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    ++n;
  }
  return n;
}

LRESULT SendStartup() { return MainWndProc(nullptr, acq::AcqMain::kMsgStartup, 0, 0); }

class AcqMainStartup : public ::testing::Test {
 protected:
  void SetUp() override {
    acq::AcqGlobal::Initialize();
    db.StartUnits();  // after AcqGlobal: the test's error procedure records
    acq::AcqMain::Initialize();
    DbGlobal_globRec = DbGlobalRec{db.Path(), "admin", "admin", "acq", "MAIN"};
  }
  void TearDown() override {
    acq::AcqMain::Terminate();  // logs out and frees what start-up loaded
    acq::AcqGlobal::Terminate();
  }
  ModuleDb db;
};

TEST_F(AcqMainStartup, RepeatedStartupKeepsTheOneSession) {
  const size_t before = OpenFiles();
  ASSERT_EQ(SendStartup(), 0);
  const size_t oneSession = OpenFiles();
  ASSERT_GT(oneSession, before);
  for (int n = 0; n < 20; ++n) EXPECT_EQ(SendStartup(), 0) << "repeat " << n;
  EXPECT_EQ(OpenFiles(), oneSession);
  EXPECT_TRUE(acq::AcqMain::StartedUp());
  EXPECT_TRUE(acqtest::ShownErrors().empty());
}

TEST_F(AcqMainStartup, StartupThatFailedAfterLoginReleasesItsSessionBeforeTheNextTry) {
  const char* rename = "update program_feature set program_feature='poDelX' "
                       "where program_name='acq' and program_feature='poDel'";
  const char* renameBack = "update program_feature set program_feature='poDel' "
                           "where program_name='acq' and program_feature='poDelX'";
  db.Exec(rename);
  const size_t before = OpenFiles();
  ASSERT_EQ(SendStartup(), -1);
  const size_t oneSession = OpenFiles();
  ASSERT_GT(oneSession, before);  // logged in, then the load failed
  ASSERT_EQ(acqtest::ShownErrors().size(), 1u);

  ASSERT_EQ(SendStartup(), -1);  // still failing: still one session
  EXPECT_EQ(OpenFiles(), oneSession);

  db.Exec(renameBack);
  ASSERT_EQ(SendStartup(), 0);
  EXPECT_EQ(OpenFiles(), oneSession);
  EXPECT_NE(acq::AcqDbGlobal::Globals().acqPrivileges[acq::AcqSecurity::poDel],
            acq::AcqDbGlobal::kPrivilegeNotLoaded);
}

}  // namespace
