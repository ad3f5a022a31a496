// The upload of EDIFACT files through the real client: files chosen (each
// path once) and removed, read on the import thread while the progress window shows
// it, stored with their exceptions; a second upload refused while one is
// scheduled, and Abort ending the wait.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "FrameRun.h"
#include "QueryDb.h"
#include "acq/edi/EdiTestSupport.h"
#include "host/db/DbDabs.h"

namespace {

namespace fs = std::filesystem;
using e2e::CountOf;
using e2e::QueryRow;
using e2e::Workspace;

// The interchange that loads: one order response from vendor 378 to BRANCH.
constexpr const char* kGoodFile = "ingram_437.ordrsp.edi";

std::string CopyOfGoodFile(const Workspace& ws) {
  const fs::path to = ws.Dir() / kGoodFile;
  fs::copy_file(fs::path(ACQ_SOURCE_DIR) / "tests/data/edifact" / kGoodFile, to,
                fs::copy_options::overwrite_existing);
  return to.string();
}

// The text after the last `action show` of a transcript.
std::string LastShow(const std::string& transcript) {
  const size_t at = transcript.rfind("action show");
  return at == std::string::npos ? "" : transcript.substr(at);
}

TEST(EdiUpload, ReadsTheChosenFilesOnTheImportThreadAndStoresThem) {
  Workspace ws;
  ws.Exec(editest::kSeedPartiesSql);
  const std::string good = CopyOfGoodFile(ws);
  const std::string notEdifact = (ws.Dir() / "notes.txt").string();
  std::ofstream(notEdifact) << "Dear supplier, please send the invoices again.\n";
  const std::string extra = (ws.Dir() / "extra.edi").string();   // chosen, then removed
  std::ofstream(extra) << "UNB+UNOC:3'";

  const auto r = ws.Run({"--db", ws.Db()}, "login admin admin\n"
                                           "command 109\n"
                                           "press files\n"
                                           "answer files \"" + notEdifact + "\" \"" + good + "\"\n"
                                           "press files\n"
                                           "answer files \"" + good + "\" \"" + extra + "\"\n"
                                           "select \"extra.edi\"\n"
                                           "press remove\n"
                                           "show\n"
                                           "press upload\n"
                                           "wait until enabled close 120\n"
                                           "show\n"
                                           "press close\n");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  // The list holds each path once, and not the one removed.
  const size_t listed = r.transcript.find("action show");
  ASSERT_NE(listed, std::string::npos) << r.transcript;
  const std::string list = r.transcript.substr(listed, r.transcript.find("action press upload") - listed);
  EXPECT_EQ(CountOf(list, "\n  row "), 2u) << list;
  EXPECT_EQ(CountOf(list, good), 1u) << list;
  EXPECT_EQ(CountOf(list, extra), 0u) << list;

  const std::string done = LastShow(r.transcript);
  EXPECT_NE(done.find("Use Table Editor to review"), std::string::npos) << done;
  EXPECT_NE(done.find("\"Close\" default"), std::string::npos) << done;
  EXPECT_NE(done.find("(file 2 of 2)\"\n"), std::string::npos) << done;
  EXPECT_NE(done.find("field progress = 100%"), std::string::npos) << done;
  EXPECT_NE(done.find("\"Abort\" disabled"), std::string::npos) << done;

  // The good file whole, the other one as its single exception.
  EXPECT_EQ(QueryRow(ws.Db(), "select \"vendor#\", location, count(*) from edifact_interchange "
                              "where file_name='" + good + "' group by \"vendor#\", location"),
            "378|BRANCH|1");
  EXPECT_EQ(QueryRow(ws.Db(), "select count(*) from edifact_segment s join edifact_interchange i "
                              "on i.\"edifact#\"=s.\"edifact#\" where i.file_name='" + good + "'"),
            "39");
  EXPECT_EQ(QueryRow(ws.Db(), "select count(*), max(warning_or_error) from edifact_exception "
                              "where process=0 and descr like '%" + notEdifact +
                              " Not an EDIFACT File%'"),
            "1|1");
  EXPECT_EQ(QueryRow(ws.Db(), "select count(*) from edifact_interchange where file_name='" +
                                  notEdifact + "'"),
            "0");
}

TEST(EdiUpload, ScheduledUploadRefusesASecondAndEndsOnAbort) {
  Workspace ws;
  ws.Exec(editest::kSeedPartiesSql);
  const std::string good = CopyOfGoodFile(ws);
  // Ten minutes from now, date and time (no 12-hour question with a date).
  DayNum date = kNoDate;
  MinuteOfDay time = 0;
  DbDabs_GetDateTime(date, time);
  time = static_cast<MinuteOfDay>(time + 10);
  if (time >= 24 * 60) {
    time = static_cast<MinuteOfDay>(time - 24 * 60);
    ++date;
  }
  const auto r = ws.Run({"--db", ws.Db()},
                        "login admin admin\n"
                        "command 109\n"
                        "press files\n"
                        "answer files \"" + good + "\"\n"
                        "field start_time \"" + DbDabs_TimeToStr(time) + "\"\n"
                        "field start_date \"" + DbDabs_DateToStr(date) + "\"\n"
                        "press upload\n"
                        "show\n"
                        "command 109\n"
                        "answer msgbox ok \"Only one upload process may run at a time.\"\n"
                        "window \"in Process\"\n"
                        "press abort\n"
                        "wait until enabled close 60\n"
                        "show\n");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_NE(r.transcript.find("Upload process sleeping until " + DbDabs_TimeToStr(time)),
            std::string::npos)
      << r.transcript;
  const std::string done = LastShow(r.transcript);
  EXPECT_NE(done.find("Upload process aborted by user. Use Table Editor"), std::string::npos)
      << done;
  EXPECT_EQ(QueryRow(ws.Db(), "select count(*) from edifact_interchange"), "0");
  EXPECT_EQ(QueryRow(ws.Db(), "select count(*) from edifact_exception"), "0");
}

}  // namespace
