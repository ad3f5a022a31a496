// A driver cannot crash the frame or lose its record: raw messages get
// real windows where the module reads them, bad script and transcript
// files are told, and long input is quoted only in part.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "FrameRun.h"

namespace {

using e2e::Workspace;

TEST(FrameSafety, RawMessagesNeverHandTheModuleANumberAsAPointer) {
  const struct {
    const char* actions;   // after the log-in
    int exitCode;
    const char* shown;
  } cases[] = {
      // 0x0EF4 carries a pointer to a window handle: this used to crash.
      {"send 0x0EF4 161 1234\n", 1,
       "0x0EF4 takes a window in LPARAM: give 0 for the top window or the handle of an open "
       "window (1234 is none)"},
      {"post 0x0EF4 161 1234\n", 1, "0x0EF4 takes a window in LPARAM"},
      {"send 0x0EF4 161 0\n", 0, "msgbox \"Cancel PO\" \"Coming soon to a screen near you!\""},
      {"post 0x0EF4 161 0\n", 0, "msgbox \"Cancel PO\" \"Coming soon to a screen near you!\""},
      {"command 152\nsend 0x0EF4 154 0\n", 0, "result 0x0EF4 -> 0"},
      // Window handles in parameters.
      {"send 0x0E2C 99 0\n", 1, "0x0E2C takes a window in WPARAM: give 0 for the top window"},
      {"send 0x0E2D 0 0\n", 1, "0 means the top module window, and none is open"},
      {"command 152\nsend 0x0E2C 0 0\n", 0, "result 0x0E2C -> 1"},
      {"send 0x0EF3 0 77\n", 1, "0x0EF3 takes a window in LPARAM"},
      {"post 0x146B 5 0\n", 1, "0x146B takes a window in WPARAM: give 0 for none"},
      {"send 0x146B 0 0\n", 0, "result 0x146B -> 0"},
  };
  Workspace ws;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.actions);
    const auto r = ws.Run({"--db", ws.Db()}, std::string("login admin admin\n") + c.actions);
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err << r.transcript;
    EXPECT_NE(r.transcript.find(c.shown), std::string::npos) << r.transcript;
  }
}

TEST(FrameSafety, ScriptAndTranscriptFaultsAreToldAndFail) {
  Workspace ws;
  const std::string script = (ws.Dir() / "ok.acqs").string();
  std::ofstream(script) << "login admin admin\ncommand 57664\n";

  auto r = ws.Run({"--db", ws.Db(), "--script", ws.Dir().string()});
  EXPECT_EQ(r.exitCode, 64);
  EXPECT_NE(r.err.find("is a directory, not a script file"), std::string::npos) << r.err;

  if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full here";
  r = ws.Run({"--db", ws.Db(), "--script", script, "--transcript", "/dev/full"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("the transcript '/dev/full' could not be written (No space left on "
                       "device)"),
            std::string::npos)
      << r.err;
}

// Input of any length is quoted in a message only as far as its start.
TEST(FrameSafety, ErrorMessagesQuoteOnlyTheStartOfLongInput) {
  Workspace ws;
  const std::string huge(100000, 'x');
  const struct {
    const char* note;
    std::vector<std::string> args;
    std::string script;
    std::string shown;
  } cases[] = {
      {"script line", {"--db", ws.Db()}, "login admin admin\n" + huge + "\n",
       "unknown statement 'xxx"},
      {"log-in name", {"--db", ws.Db()}, "login " + huge + " pw\n", "Login failed for user 'xxx"},
      {"admin user name", {"user", "grant", huge, "poFind", "--db", ws.Db()}, "",
       "acq: Unknown user 'xxx"},
      {"command word", {huge}, "", "unknown command 'xxx"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.note);
    const auto r = ws.Run(c.args, c.script);
    EXPECT_NE(r.exitCode, 0);
    EXPECT_LT(r.err.size(), 1000u);
    EXPECT_LT(r.transcript.size(), 5000u);
    EXPECT_NE((r.err + r.transcript).find(c.shown), std::string::npos) << r.err << r.transcript;
  }
}

}  // namespace
