// The interchange reader on a real library database: the interchanges of
// tests/data/edifact, release characters across read buffers, duplicates,
// bad files among good ones, and what a failed file leaves behind.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../ModuleFixture.h"
#include "EdiTestSupport.h"
#include "acq/edi/AcqEdiRead.h"
#include "acq/edi/AcqEdiReaderCore.h"
#include "acq/edi/AcqEdifact.h"
#include "support/TestLibrary.h"

namespace {

namespace fs = std::filesystem;
using acq::AcqEdiRead::FileResult;
using acq::AcqEdiRead::RunResult;

// Which upload message a status text is.
int MessageIdOf(const std::string& text) {
  for (const int id : {1700, 307, 308, 309, 310, 311, 318, 320, 321, 341, 342, 343, 344, 345,
                       359, 352}) {
    const std::string form = acq::AcqEdifact::MessageText(id, "\x01");
    const size_t at = form.find('\x01');
    const std::string pre = form.substr(0, at), post = form.substr(at + 1);
    if (text.size() >= pre.size() + post.size() && text.compare(0, pre.size(), pre) == 0 &&
        text.compare(text.size() - post.size(), post.size(), post) == 0)
      return id;
  }
  return 0;
}

class EdiRead : public ::testing::Test {
 protected:
  void SetUp() override {
    db_.StartUnits();
    ASSERT_EQ(db_.Login(), kDbOk);
    editest::SeedParties(db_);
  }

  RunResult Upload(const std::vector<std::string>& paths, size_t bufferSize = 10240) {
    acq::AcqEdiRead::Hooks hooks;
    hooks.firstFileDelayMs = 0;
    hooks.fileBufferSize = bufferSize;
    hooks.status = [this](std::string_view text) { ids_.push_back(MessageIdOf(std::string(text))); };
    ids_.clear();
    return acq::AcqEdiRead::UploadFiles(paths, hooks);
  }
  FileResult UploadOne(const std::string& name, const std::string& text, size_t bufferSize = 10240) {
    const RunResult run = Upload({editest::WriteFile(name, text).string()}, bufferSize);
    EXPECT_FALSE(run.ended) << run.msg.text;
    return run.files.empty() ? FileResult{} : run.files.front();
  }
  std::vector<std::string> Rows(const std::string& sql) {
    return testlib::detail::Rows(db_.Path(), sql, "~");
  }
  std::string Count(const std::string& table, const std::string& where = "1=1") {
    const auto rows = Rows("SELECT count(*) FROM " + table + " WHERE " + where);
    return rows.empty() ? "" : rows[0];
  }
  // Every stored row of one interchange, for comparing two readings.
  std::vector<std::string> Stored(int32_t edifact) {
    const std::string key = std::to_string(edifact);
    std::vector<std::string> all =
        Rows("SELECT \"segment#\", \"message#\", short_segment, long_segment FROM edifact_segment "
             "WHERE \"edifact#\" = " + key + " ORDER BY \"segment#\"");
    for (const std::string& r :
         Rows("SELECT \"message#\", message_type, message_code, message_number, message_location, "
              "\"message_vendor#\", message_date, line_count, amount, currency FROM "
              "edifact_message WHERE \"edifact#\" = " + key + " ORDER BY \"message#\""))
      all.push_back(r);
    for (const std::string& r :
         Rows("SELECT location, \"vendor#\", una, character_set, control_reference, "
              "message_count, prep_date, prep_time FROM edifact_interchange WHERE "
              "\"edifact#\" = " + key))
      all.push_back(r);
    return all;
  }

  acqtest::ModuleDb db_;
  std::vector<int> ids_;   // the message of each exception, in order
};

// An interchange from vendor 377 to MAIN with control reference `ref`.
std::string Interchange(const std::string& ref, const std::string& body, int messages = 1) {
  return "UNA:+.? 'UNB+UNOC:3+1556150:31B+8888888:31B+070618:1556+" + ref + "'" + body +
         "UNZ+" + std::to_string(messages) + "+" + ref + "'";
}
std::string Message(const std::string& number, const std::string& body) {
  return "UNH+" + number + "+ORDRSP:D:96A:UN'BGM+231+" + number + "+29'DTM+137:20260105:102'" +
         body + "UNT+9+" + number + "'";
}

TEST_F(EdiRead, EveryInterchangeOfOtherSystemsGetsWhatItDeserves) {
  // Files whose UNB names its parties with no code-list agency (or a
  // mutually agreed one) cannot say who sent them: 308, and nothing else
  // of theirs is stored.
  struct Expect {
    const char* file;
    bool failed;
    int64_t segments;
    int32_t messages;
    std::vector<int> exceptions;
  };
  const Expect files[] = {
      {"1130B766274.inv", false, 206, 6, {}},
      {"565751us20210122.edi", true, 2, 0, {308}},
      {"BLSINV337023.CEI", true, 2, 0, {308}},
      {"CornHein1604419006.edi", true, 2, 0, {308}},
      {"DukeHRSW20200620072009.edi", true, 2, 0, {308}},
      {"HOGJ-037.ack", false, 552, 1, {}},
      {"INVOICE.CEI", true, 2, 0, {308}},
      {"edifact_orders_result.edi", true, 2, 0, {308}},
      {"edifact_sample.orders.edi", false, 503, 1, {}},
      {"edifact_sample.ordrsp.edi", false, 502, 3, {}},
      {"evergreen_edi_brodart.tst", false, 51, 1, {}},
      {"ingram_437.ordrsp.edi", false, 39, 1, {}},
      {"ordrsp1.CEA", true, 2, 0, {308}},
      {"ordrsp2.CEA", true, 2, 0, {308}},
      {"ordrsp3.CEA", true, 2, 0, {308}},
      {"ordrsp4.CEA", true, 2, 0, {308}},
  };
  for (const Expect& e : files) {
    SCOPED_TRACE(e.file);
    const FileResult r = UploadOne(e.file, editest::DataFile(e.file));
    EXPECT_EQ(r.failed, e.failed);
    EXPECT_TRUE(r.saved);
    EXPECT_EQ(r.segments, e.segments);
    EXPECT_EQ(r.messages, e.messages);
    EXPECT_EQ(ids_, e.exceptions);
    if (e.failed) {
      EXPECT_EQ(Count("edifact_interchange", "file_name LIKE '%" + std::string(e.file) + "'"), "0");
    } else {
      EXPECT_EQ(Count("edifact_segment", "\"edifact#\" = " + std::to_string(r.edifact)),
                std::to_string(e.segments));
      EXPECT_EQ(Count("edifact_message", "\"edifact#\" = " + std::to_string(r.edifact)),
                std::to_string(e.messages));
    }
  }
  // What the rows say, for one invoice and one grouped order response.
  EXPECT_EQ(Rows("SELECT m.\"message#\", message_type, message_code, message_number, "
                 "message_location, \"message_vendor#\", line_count, amount, currency FROM "
                 "edifact_message m JOIN edifact_interchange i ON i.\"edifact#\" = m.\"edifact#\" "
                 "WHERE i.control_reference IN ('1261', '2045') ORDER BY i.control_reference, 1"),
            (std::vector<std::string>{
                "1|7|380|B766274|MAIN|376|1|42660000|USD", "2|7|380|B766275|MAIN|376|1|23790000|USD",
                "3|7|380|B766276|MAIN|376|1|18020000|USD", "4|7|380|B766277|MAIN|376|2|53260000|USD",
                "5|7|380|B766278|MAIN|376|1|13220000|USD",
                "6|7|380|B766279|MAIN|376|6|104170000|USD", "1|3|231|582822|MAIN|377|18|0|USD",
                "2|3|231|582828|MAIN|377|20|0|USD", "3|3|231|582830|MAIN|377|20|0|USD"}));
  EXPECT_EQ(Rows("SELECT location, \"vendor#\", una, character_set, message_count FROM "
                 "edifact_interchange WHERE control_reference IN ('1292', '00000000000006') "
                 "ORDER BY 1"),
            (std::vector<std::string>{"BRANCH|378|:+.? '|A|1", "MAIN|376|:+.?*'|A|1"}));
}

TEST_F(EdiRead, ReleaseCharactersHoldTheSameAcrossEveryReadBuffer) {
  // "?'" is data, "??'" ends a segment; a release character may be the
  // last byte of one read and its character the first of the next.
  const std::string body = Message("M1", "FTX+AAA+++Putnam?'s ?+ co?:op?" "?'IMD+F+050+:::l?'Institut'"
                                         "LIN+1'CNT+2:1'");
  std::vector<std::vector<std::string>> readings;
  for (const size_t buffer : {size_t{1}, size_t{2}, size_t{3}, size_t{7}, size_t{10240}}) {
    SCOPED_TRACE(buffer);
    const FileResult r =
        UploadOne("release.edi", Interchange("REL" + std::to_string(buffer), body), buffer);
    ASSERT_FALSE(r.failed);
    EXPECT_EQ(ids_, std::vector<int>{});
    // Only the control reference differs by reading.
    std::vector<std::string> stored = Stored(r.edifact);
    const std::string ref = "REL" + std::to_string(buffer);
    for (std::string& row : stored)
      if (const size_t at = row.find(ref); at != std::string::npos) row.replace(at, ref.size(), "REF");
    readings.push_back(stored);
  }
  for (size_t i = 1; i < readings.size(); ++i) EXPECT_EQ(readings[i], readings[0]);
  ASSERT_GE(readings[0].size(), 6u);
  EXPECT_EQ(readings[0][5], "6|1|FTX+AAA+++Putnam?'s ?+ co?:op?" "?'|~");
  EXPECT_EQ(readings[0][6], "7|1|IMD+F+050+:::l?'Institut'|~");
}

TEST_F(EdiRead, ServiceCharactersOfTheUnaSplitTheFile) {
  // Line ends go, unless the file made one its terminator.
  const std::string crlf =
      "UNA^<.? >\r\nUNB<UNOC^3<1556150^31B<8888888^31B<070618^1556<CRLF1>\r\n"
      "UNH<1<INVOIC^D^96A^UN>\r\nBGM<380<INV 1>\r\nMOA<86^1234.5>\r\nCUX<2^GBX^4>\r\n"
      "UNT<5<1>\r\nUNZ<1<CRLF1>\r\n";
  FileResult r = UploadOne("crlf.edi", crlf);
  ASSERT_FALSE(r.failed);
  EXPECT_EQ(ids_, std::vector<int>{321});
  EXPECT_EQ(r.segments, 8);
  EXPECT_EQ(Rows("SELECT una, short_segment FROM edifact_interchange i JOIN edifact_segment s "
                 "ON s.\"edifact#\" = i.\"edifact#\" WHERE i.control_reference = 'CRLF1' AND "
                 "\"segment#\" IN (1, 5) ORDER BY \"segment#\""),
            (std::vector<std::string>{"^<.? >|UNA^<.? >", "^<.? >|MOA<86^1234.5>"}));
  EXPECT_EQ(Rows("SELECT amount, currency, message_number FROM edifact_message WHERE "
                 "\"edifact#\" = " + std::to_string(r.edifact)),
            std::vector<std::string>{"1234500000|GBX|INV 1"});

  const std::string lf = "UNA:+.? \nUNB+UNOC:3+1556150:31B+8888888:31B+070618:1556+LF1\n"
                         "UNH+1+ORDRSP:D:96A:UN\nUNT+2+1\nUNZ+1+LF1\n";
  r = UploadOne("lf.edi", lf);
  ASSERT_FALSE(r.failed);
  EXPECT_EQ(r.segments, 5);
  EXPECT_EQ(Count("edifact_segment", "\"edifact#\" = " + std::to_string(r.edifact) +
                                         " AND short_segment LIKE 'UNT+2+1%'"),
            "1");
}

TEST_F(EdiRead, FileProblemsAreExceptionsAndTheRunGoesOn) {
  const std::string good = Interchange("OK1", Message("M1", "LIN+1'LIN+2'CNT+2:2'"));
  const std::string longText(300, 'x');
  struct Case {
    const char* name;
    std::string text;
    std::vector<int> exceptions;
  };
  const Case cases[] = {
      {"empty.edi", "", {307}},
      {"short.edi", "UNB+UNOC", {307}},
      {"text.edi", "Dear vendor, please send the books.\n", {307}},
      {"binary.edi", std::string("\x7f" "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0", 16), {307}},
      {"midsegment.edi", Interchange("MID", Message("M1", "")).substr(0, 90), {311}},
      {"nounz.edi", "UNB+UNOC:3+1556150:31B+8888888:31B+070618:1556+NOUNZ'UNH+1+ORDRSP'UNT+2+1'",
       {311}},
      {"emptysegment.edi", Interchange("EMPTY", "''"), {311}},
      {"unt.edi", Interchange("UNT", "UNT+2+1'"), {311}},
      {"nested.edi", Interchange("NEST", "UNH+1+ORDRSP'UNH+2+ORDRSP'"), {311}},
      {"bgm.edi", Interchange("BGM", "UNH+1+ORDRSP'BGM++X'UNT+2+1'"), {311}},
      {"dtm.edi", Interchange("DTM", "UNH+1+ORDRSP'DTM+137:20261341:102'UNT+2+1'"), {311}},
      {"rff.edi", Interchange("RFF", "UNH+1+ORDRSP'RFF+IA:1'UNT+2+1'"), {311}},
      {"vendor.edi", "UNB+UNOC:3+0000000:31B+8888888:31B+070618:1556+V'UNZ+0+V'", {308}},
      {"location.edi", "UNB+UNOC:3+1556150:31B+0000000:31B+070618:1556+L'UNZ+0+L'", {309}},
      {"party.edi",
       Interchange("PARTY", "UNH+1+ORDRSP'BGM+231+P1'NAD+SU+424242::92'UNT+3+1'"), {308}},
      {"partyloc.edi",
       Interchange("PLOC", "UNH+1+ORDRSP'BGM+231+P1'NAD+BY+NOWHERE::92'UNT+3+1'"), {309}},
      // Warnings keep the file.
      {"counts.edi", Interchange("CNT", Message("M1", "LIN+1'LIN+2'CNT+2:3'"), 2), {352, 320}},
      {"amount.edi", Interchange("AMT", Message("M1", "MOA+86:12,50'")), {1700}},
      {"long.edi", Interchange("LONG", Message("M1", "FTX+AAA+++" + longText + "'")), {}},
  };
  std::vector<std::string> paths;
  for (const Case& c : cases) paths.push_back(editest::WriteFile(c.name, c.text).string());
  paths.push_back((editest::UploadDir() / "missing.edi").string());
  paths.push_back(editest::UploadDir().string());   // a folder is not a file
  paths.push_back(editest::WriteFile("good.edi", good).string());
  const RunResult run = Upload(paths);
  ASSERT_FALSE(run.ended) << run.msg.text;
  ASSERT_EQ(run.files.size(), paths.size());
  std::vector<int> expected;
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].name);
    const FileResult& r = run.files[i];
    EXPECT_TRUE(r.saved);
    EXPECT_EQ(r.failed, r.errors > 0);
    EXPECT_EQ(r.errors + r.warnings, static_cast<int>(cases[i].exceptions.size()));
    expected.insert(expected.end(), cases[i].exceptions.begin(), cases[i].exceptions.end());
    if (r.failed) {
      EXPECT_EQ(Count("edifact_segment", "\"edifact#\" = " + std::to_string(r.edifact)), "0");
    }
  }
  expected.insert(expected.end(), {318, 318});
  EXPECT_TRUE(run.files[std::size(cases)].failed);
  EXPECT_TRUE(run.files[std::size(cases) + 1].failed);
  EXPECT_FALSE(run.files.back().failed);
  EXPECT_EQ(ids_, expected);
  // A failed file keeps one exception row with no keys; warnings keep theirs.
  EXPECT_EQ(Count("edifact_exception", "warning_or_error = 1 AND \"edifact#\" IS NULL AND "
                                       "\"segment#\" IS NULL AND \"message#\" IS NULL AND "
                                       "process = 0"),
            "18");
  EXPECT_EQ(Count("edifact_exception", "warning_or_error = 0 AND \"edifact#\" IS NOT NULL"), "3");
  EXPECT_EQ(Rows("SELECT descr FROM edifact_exception WHERE descr LIKE '%lines expected%'"),
            std::vector<std::string>{
                "File Upload Warning: Message M1 actual lines received 2; lines expected 3"});
  EXPECT_EQ(Count("edifact_interchange"), "4");
  const int32_t longFile = run.files[std::size(cases) - 1].edifact;
  EXPECT_EQ(Rows("SELECT short_segment, length(long_segment) FROM edifact_segment WHERE "
                 "\"edifact#\" = " + std::to_string(longFile) + " AND \"segment#\" = 6"),
            std::vector<std::string>{"~|311"});
}

TEST_F(EdiRead, AnInterchangeUploadedTwiceIsRefusedTheSecondTime) {
  const std::string text = Interchange("TWICE", Message("M1", "LIN+1'CNT+2:1'"));
  const FileResult first = UploadOne("twice.edi", text);
  ASSERT_FALSE(first.failed);
  const std::string before = Count("edifact_segment");
  // Renamed, it is still the same interchange.
  const FileResult again = UploadOne("twice-renamed.edi", text);
  EXPECT_TRUE(again.failed);
  EXPECT_EQ(ids_, std::vector<int>{310});
  EXPECT_EQ(Count("edifact_segment"), before);
  EXPECT_EQ(Count("edifact_interchange"), "1");
  EXPECT_EQ(Count("edifact_exception"), "1");
}

TEST_F(EdiRead, MessagesAreNumberedAcrossGroups) {
  const std::string text =
      "UNB+UNOC:3+1556150:31B+8888888:31B+070618:1556+GRP'"
      "UNG+ORDRSP+1556150:31B+8888888:31B+070618:1556+1+UN+D:96A'" + Message("A", "") +
      Message("B", "") + "UNE+2+1'UNG+ORDRSP+1556150:31B+8888888:31B+070618:1556+2+UN+D:96A'" +
      Message("C", "") + "UNE+1+2'UNZ+7+GRP'";
  const FileResult r = UploadOne("groups.edi", text);
  ASSERT_FALSE(r.failed);
  EXPECT_EQ(ids_, std::vector<int>{});   // UNZ is not compared once a group was seen
  EXPECT_EQ(Rows("SELECT \"message#\", message_number FROM edifact_message WHERE \"edifact#\" = " +
                 std::to_string(r.edifact) + " ORDER BY 1"),
            (std::vector<std::string>{"1|A", "2|B", "3|C"}));
}

TEST_F(EdiRead, ALargeFileIsStoredInBatchesOfOneTransaction) {
  // A release character as the last character of the first chunk, its
  // terminator first of the next; more rows than one batch; the UNZ
  // count arrives after the interchange row was written.
  std::string head = "UNB+UNOC:3+1556150:31B+8888888:31B+070618:1556+BIG'UNH+1+ORDRSP'BGM+231+B'FTX+AAA+++";
  head += std::string(acq::AcqEdiRead::kChunkChars - 1 - head.size(), 'p') + "?'tail'";
  std::string body;
  for (int i = 0; i < 6000; ++i) body += "LIN+" + std::to_string(i + 1) + "'";
  const std::string text = head + body + "CNT+2:6000'UNT+6004+1'UNZ+2+BIG'";
  const FileResult r = UploadOne("big.edi", text, 4096);
  ASSERT_FALSE(r.failed);
  EXPECT_EQ(ids_, std::vector<int>{320});
  EXPECT_EQ(r.segments, 6007);
  const std::string key = std::to_string(r.edifact);
  EXPECT_EQ(Count("edifact_segment", "\"edifact#\" = " + key), "6007");
  EXPECT_EQ(Rows("SELECT length(long_segment) FROM edifact_segment WHERE \"segment#\" = 4 AND "
                 "\"edifact#\" = " + key),
            std::vector<std::string>{std::to_string(head.size() - head.find("FTX"))});
  EXPECT_EQ(Rows("SELECT message_count, \"vendor#\", location FROM edifact_interchange WHERE "
                 "\"edifact#\" = " + key),
            std::vector<std::string>{"2|377|MAIN"});
  EXPECT_EQ(Rows("SELECT line_count FROM edifact_message WHERE \"edifact#\" = " + key),
            std::vector<std::string>{"6000"});
}

TEST_F(EdiRead, InputsTheFuzzerFoundUploadWithoutHarm) {
  std::vector<std::string> paths;
  for (const auto& entry : fs::directory_iterator(fs::path(ACQ_SOURCE_DIR) / "fuzz" / "regressions"))
    if (entry.path().filename() != "README.md") paths.push_back(entry.path().string());
  const RunResult run = Upload(paths);
  EXPECT_FALSE(run.ended) << run.msg.text;
  ASSERT_EQ(run.files.size(), paths.size());
  for (const FileResult& r : run.files) EXPECT_TRUE(r.saved) << r.path;
}

TEST_F(EdiRead, AHugeFileThatIsNotEdifactEndsAtOnce) {
  // Sparse: two gigabytes of zero bytes take no disk, and the reader stops
  // after its first chunk.
  const fs::path path = editest::UploadDir() / "huge.edi";
  { std::ofstream touch(path, std::ios::binary); }
  fs::resize_file(path, (int64_t{2} << 30) + 5);
  int64_t seen = 0, size = 0;
  acq::AcqEdiRead::Hooks hooks;
  hooks.firstFileDelayMs = 0;
  hooks.progress = [&](int64_t consumed, int64_t total) { seen = consumed, size = total; };
  const RunResult run = acq::AcqEdiRead::UploadFiles({path.string()}, hooks);
  fs::remove(path);
  ASSERT_EQ(run.files.size(), 1u);
  EXPECT_TRUE(run.files[0].failed);
  EXPECT_EQ(size, (int64_t{2} << 30) + 5);
  EXPECT_EQ(seen, 0);
  EXPECT_EQ(Rows("SELECT count(*) FROM edifact_exception WHERE descr LIKE '%Not an EDIFACT%'"),
            std::vector<std::string>{"1"});
}

TEST_F(EdiRead, AnEndlessSegmentIsAFormatErrorNotAnOutOfMemory) {
  std::string text = "UNB+UNOC:3+1556150:31B+8888888:31B+070618:1556+ENDLESS'FTX+";
  text += std::string(acq::AcqEdiRead::kMaxSegmentChars + 10, 'a');
  const FileResult r = UploadOne("endless.edi", text);
  EXPECT_TRUE(r.failed);
  EXPECT_EQ(ids_, std::vector<int>{311});
}

}  // namespace
