// The reader's core on memory: segments are cut where the caller's chunk
// lies and only a segment split by a chunk's end (or by a line end) is
// carried over, so every way of cutting the same file into chunks must give
// the same rows, warnings and errors.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "acq/edi/AcqEdiReaderCore.h"
#include "acq/edi/AcqEdifact.h"

namespace {

namespace ae = acq::AcqEdifact;
namespace rd = acq::AcqEdiRead;

// Records every row and exception as text; every party is found.
class RecordingSink : public rd::ReaderSink {
 public:
  bool NewKey(int32_t& key) override { return key = 9, true; }
  ae::Lookup FindVendor(int, std::string_view, int32_t& vendor) override {
    vendor = 377;
    return Found();
  }
  ae::Lookup FindLocation(int, std::string_view, std::string& location) override {
    location = "MAIN";
    return Found();
  }
  bool MultipleLocationSans(bool& multiple) override { return multiple = false, true; }
  bool CurrencyExists(std::string_view code, bool& exists) override {
    return exists = code == "USD", true;
  }
  bool InterchangeExists(const rd::InterchangeRow&, bool& exists) override {
    return exists = false, true;
  }
  char WorkstationCharSet() override { return 'C'; }
  void Now(DayNum& date, MinuteOfDay& time) override { date = 46000, time = 0; }
  void Segment(int32_t segment, int32_t message, std::string_view text) override {
    rows.push_back(std::to_string(segment) + "/" + std::to_string(message) + " " +
                   std::string(text));
  }
  void Message(const rd::MessageRow& m) override {
    rows.push_back("message " + std::to_string(m.message) + " " + m.code + " " + m.number +
                   " lines " + std::to_string(m.lineCount) + " " + m.currency);
  }
  void Exception(int32_t, int32_t message, int32_t segment, std::string_view, int id,
                 bool error) override {
    rows.push_back((error ? "error " : "warning ") + std::to_string(id) + " at " +
                   std::to_string(message) + "/" + std::to_string(segment));
  }

  std::vector<std::string> rows;

 private:
  static ae::Lookup Found() {
    ae::Lookup l;
    l.result = ae::Lookup::Result::Found;
    return l;
  }
};

// The file fed in chunks of `size` characters (0: all at once), then what
// the core made of it.
std::vector<std::string> Read(const std::string& file, size_t size) {
  RecordingSink sink;
  rd::ReaderCore core(sink, "f.edi", static_cast<int64_t>(file.size()));
  const size_t step = size == 0 ? file.size() : size;
  for (size_t at = 0; at < file.size() && !core.done(); at += step) {
    // A copy that is overwritten after the call: nothing may keep pointing
    // into a chunk once it was fed.
    std::string chunk = file.substr(at, step);
    core.Feed(chunk, at + chunk.size() < file.size());
    chunk.assign(chunk.size(), '#');
  }
  sink.rows.push_back(std::string(core.succeeded() ? "saved" : "failed") + " consumed " +
                      std::to_string(core.consumed()));
  return sink.rows;
}

constexpr const char* kUnb = "UNB+UNOC:3+1556150:31B+8888888:31B+260105:0930+R1'";
constexpr const char* kMessage =
    "UNH+1+ORDRSP:D:96A:UN'BGM+231+R?'1+29'CUX+2:USD:9'"
    "LIN+1'FTX+AAA+++Putnam?'s ?+ co?:op?" "?'LIN+2'IMD+F+050+:::l?'Institut'"
    "CNT+2:2'UNT+9+1'";

TEST(EdiReaderCore, EveryChunkingCutsTheSameSegments) {
  const std::string plain = std::string("UNA:+.? '") + kUnb + kMessage + "UNZ+1+R1'";
  auto withLineEnds = [&](const std::string& end) {
    std::string out;
    for (size_t i = 0; i < plain.size(); ++i) {
      out += plain[i];
      // After each terminator, and between a release character and the
      // terminator it releases.
      if (plain[i] == '\'' && (i == 0 || plain[i - 1] != '?')) out += end;
      if (plain[i] == '?' && i + 1 < plain.size() && plain[i + 1] == '\'') out += end;
    }
    return out;
  };
  struct Case {
    const char* name;
    std::string file;
    bool saved;
  } cases[] = {
      {"one line", plain, true},
      {"LF", withLineEnds("\n"), true},
      {"CRLF", withLineEnds("\r\n"), true},
      {"CR", withLineEnds("\r"), true},
      {"no UNZ", std::string(kUnb) + kMessage, false},
      {"ends inside a segment", std::string(kUnb) + kMessage + "UNZ+1+R", false},
      {"UNT before UNH", std::string(kUnb) + "UNT+1+1'UNZ+0+R1'", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<std::string> whole = Read(c.file, 0);
    ASSERT_FALSE(whole.empty());
    EXPECT_EQ(whole.back().rfind(c.saved ? "saved" : "failed", 0), 0u) << whole.back();
    for (const size_t size : {size_t{1}, size_t{2}, size_t{3}, size_t{7}, size_t{64}}) {
      SCOPED_TRACE(size);
      EXPECT_EQ(Read(c.file, size), whole);
    }
  }
  // The released terminators stay inside their segments, line ends go.
  for (const std::string& file : {plain, withLineEnds("\r\n")}) {
    const std::vector<std::string> rows = Read(file, 5);
    ASSERT_GE(rows.size(), 14u);
    EXPECT_EQ(rows[3], "4/1 BGM+231+R?'1+29'");
    EXPECT_EQ(rows[6], "7/1 FTX+AAA+++Putnam?'s ?+ co?:op?" "?'");
    EXPECT_EQ(rows[8], "9/1 IMD+F+050+:::l?'Institut'");
    EXPECT_EQ(rows[10], "message 1 231 R?'1 lines 2 USD");
    EXPECT_EQ(rows.back(), "saved consumed " + std::to_string(file.size()));
  }
}

}  // namespace
