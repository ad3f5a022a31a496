// A script can send the start-up message again: once started up, the
// module keeps its session (open windows hold it) and answers 0.
#include <gtest/gtest.h>

#include "FrameRun.h"

namespace {

using e2e::CountOf;
using e2e::Workspace;

TEST(RepeatedStartup, ChangesNothingAndKeepsTheWindowsWorking) {
  Workspace ws;
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login clerk clerk
command 152
send 0x0BD0 0 0
send 0x0BD0 0 0
search po_number "PO-2026-0001"
show
expect "| PO-2026-0001 |"
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_EQ(CountOf(r.transcript, "result 0x0BD0 -> 0"), 3u) << r.transcript;
  EXPECT_EQ(CountOf(r.transcript, "notice startup ok"), 1u) << r.transcript;  // one log-in
  EXPECT_EQ(CountOf(r.trace, "AcqMain.Startup: started up already"), 2u) << r.trace;
}

}  // namespace
