// The real client, driven by scripts: loading, unit order, log-in and the
// start-up load, and what a person is shown when something is wrong.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "FrameRun.h"

namespace {

using e2e::CountOf;
using e2e::LinesWithPrefix;
using e2e::Workspace;

const char* const kUnits[] = {
    "AcqBase",      "AcqDbExcept", "AcqDbGlobal",   "AcqDb",       "AcqDbBase",  "AcqFundCtrl",
    "AcqDbErrCom",  "AcqGlobal",   "AcqDbCom",      "AcqDbStat",   "AcqDbView",  "AcqDbGen",
    "AcqDbMr",      "AcqDbSearch", "AcqSecurity",   "AcqAccount",  "AcqManPrint", "AcqBHRpt",
    "AcqBHMan",     "AcqEdiPrn",   "AcqBudget",     "AcqDbBudget", "AcqDbStmnt", "AcqBibDelete",
    "AcqWrkOptions", "AcqWrkslip", "AcqWrkBatch",   "AcqDbAct",    "AcqPoAct",   "AcqDbProrate",
    "AcqProrate",   "AcqStatmnt",  "AcqFind",       "AcqPrint",    "AcqVoucher", "AcqPo",
    "AcqBisac",     "AcqNumWords", "AcqPayables",   "AcqClaim",    "AcqCopy",    "AcqCredits",
    "AcqDbPrereq",  "AcqEdiOrd",   "AcqEdifact",    "AcqEdiInv",   "AcqTempPea", "AcqEdiRsp",
    "AcqEdiUpld",   "AcqList",     "AcqParam",      "AcqPoApp",    "AcqPPrint",  "AcqPr",
    "AcqRenew",     "AcqReport",   "AcqSent",       "AcqStApp",    "AcqMain",
};

const char* kLoginAdmin = "login admin admin\n";

TEST(Startup, UnitsStartInOrderAndEndInExactlyTheReverseOrder) {
  Workspace ws;
  const auto r = ws.Run({"--db", ws.Db()}, kLoginAdmin);
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;

  const std::vector<std::string> expected(std::begin(kUnits), std::end(kUnits));
  EXPECT_EQ(LinesWithPrefix(r.trace, "trace: body "), expected);
  std::vector<std::string> reversed(expected.rbegin(), expected.rend());
  EXPECT_EQ(LinesWithPrefix(r.trace, "trace: termination "), reversed);

  // The registered pairs: every unit but the two without one, Terminate in
  // the reverse order of Initialize.
  std::vector<std::string> paired;
  for (const auto& u : expected) {
    if (u != "AcqBase" && u != "AcqNumWords") paired.push_back(u);
  }
  EXPECT_EQ(LinesWithPrefix(r.trace, "trace: Initialize "), paired);
  std::reverse(paired.begin(), paired.end());
  EXPECT_EQ(LinesWithPrefix(r.trace, "trace: Terminate "), paired);
  EXPECT_NE(r.transcript.find("0x0BD0 -> 0"), std::string::npos) << r.transcript;
}

TEST(Startup, WrongPasswordShowsTheServerTextOnceAndLoadsNothing) {
  Workspace ws;
  const auto r = ws.Run({"--db", ws.Db()}, "login admin not-the-password\n");
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(CountOf(r.transcript, "Login failed for user 'admin'."), 1u) << r.transcript;
  EXPECT_NE(r.transcript.find("0x0BD0 -> -1"), std::string::npos);
  EXPECT_EQ(r.trace.find("program_feature"), std::string::npos) << "privileges were loaded";
}

TEST(Startup, UnknownUserIsRefusedLikeAWrongPassword) {
  Workspace ws;
  const auto r = ws.Run({"--db", ws.Db()}, "login nobody admin\n");
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(CountOf(r.transcript, "Login failed for user 'nobody'."), 1u) << r.transcript;
}

TEST(Startup, FeatureMismatchShowsString214AndClosesTheModule) {
  const char* mismatches[] = {
      "delete from program_feature where program_name='acq' and program_feature='poDel'",
      "update program_feature set program_feature='poDelX' where program_name='acq' and "
      "program_feature='poDel'",
  };
  for (const char* sql : mismatches) {
    SCOPED_TRACE(sql);
    Workspace ws;
    ws.Exec(sql);
    const auto r = ws.Run({"--db", ws.Db()}, kLoginAdmin);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(CountOf(r.transcript, "The secured program features in the database do not match "
                                    "the secured program features expected by this program."),
              1u)
        << r.transcript;
    EXPECT_NE(r.transcript.find("0x0BD0 -> -1"), std::string::npos);
    // The module closed itself: its posted WM_CLOSE reached the client.
    EXPECT_NE(r.trace.find("post 0x0010"), std::string::npos) << r.trace;
    EXPECT_EQ(LinesWithPrefix(r.trace, "trace: termination ").size(), 59u);
  }
}

TEST(Startup, TwoParameterRowsStillStart) {
  Workspace ws;
  ws.Exec("insert into acq_parameter(fiscal_year) select fiscal_year from acq_parameter");
  const auto r = ws.Run({"--db", ws.Db()}, kLoginAdmin);
  EXPECT_EQ(r.exitCode, 0) << r.err << r.transcript;
}

TEST(Startup, BadDatabasesGetAClearMessageAndLoseNothing) {
  Workspace ws;
  const std::string garbage = (ws.Dir() / "garbage.db").string();
  std::ofstream(garbage) << "this is not a database, just some text that someone saved here\n";
  const auto garbageSize = std::filesystem::file_size(garbage);
  const struct {
    const char* note;
    std::vector<std::string> args;
    const char* shown;
  } cases[] = {
      {"missing file", {"--db", (ws.Dir() / "missing.db").string()}, "no such file"},
      {"not a database", {"--db", garbage}, "garbage.db"},
      {"unknown server name", {"--server", "nowhere"}, "Unknown server name 'nowhere'."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.note);
    const auto r = ws.Run(c.args, kLoginAdmin);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.transcript.find(c.shown), std::string::npos) << r.transcript;
  }
  EXPECT_FALSE(std::filesystem::exists(ws.Dir() / "missing.db"));
  EXPECT_EQ(std::filesystem::file_size(garbage), garbageSize);
}

TEST(Startup, ServerNameResolvesThroughTheWorkstationConfiguration) {
  Workspace ws;
  std::ofstream(ws.Dir() / "workstation.ini") << "[Servers]\nbranch = sqlite:" << ws.Db() << "\n";
  const auto r = ws.Run({"--server", "branch"}, kLoginAdmin);
  EXPECT_EQ(r.exitCode, 0) << r.err << r.transcript;
}

// `--db` names a file of any name: the one `acq init` made opens.
TEST(Startup, DatabaseFileOfAnyNameThatInitMadeOpens) {
  Workspace ws;
  const std::string path = (ws.Dir() / "libdata").string();
  auto r = ws.Run({"init", "--demo", "--db", path});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  r = ws.Run({"--db", path}, kLoginAdmin);
  EXPECT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_NE(r.transcript.find("0x0BD0 -> 0"), std::string::npos) << r.transcript;
}

TEST(Startup, HostRefusingTheModuleVersionEndsTheProcess) {
  Workspace ws;
  const auto r = ws.Run({"--db", ws.Db(), "--host-version", "7.4"}, kLoginAdmin);
  EXPECT_EQ(r.exitCode, 3);
  EXPECT_NE(r.err.find("does not accept"), std::string::npos) << r.err;
}

TEST(Library, ExportsOnlyItsThreeEntryPoints) {
  FILE* nm = popen("nm -D --defined-only " ACQ_BIN_DIR "/libPwAcq75.so", "r");
  ASSERT_NE(nm, nullptr);
  std::vector<std::string> names;
  char line[512];
  while (fgets(line, sizeof line, nm) != nullptr) {
    std::string s(line);
    s.erase(s.find_last_not_of("\r\n") + 1);
    names.push_back(s.substr(s.rfind(' ') + 1));
  }
  ASSERT_EQ(pclose(nm), 0);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"DllEntryPoint", "MainWndProc", "SetHwnd"}));
}

}  // namespace
