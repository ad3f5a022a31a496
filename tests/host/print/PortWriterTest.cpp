// Port jobs written to real files opened as ports through the workstation's
// port map.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "host/print/PortPrint.h"
#include "host/sys/LbStr.h"

namespace fs = std::filesystem;

namespace {

// A workstation configuration in a temporary folder whose LPT2 is the file
// `slips` (created empty) and whose COM3 names a path that does not exist.
class PortWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("port-writer-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    slips_ = (dir_ / "slips").string();
    missing_ = (dir_ / "no-such-printer").string();
    std::ofstream(slips_).close();
    std::string ini = (dir_ / "workstation.ini").string();
    const char* old = std::getenv("ACQ_WORKSTATION");
    if (old != nullptr) oldIni_ = old;
    hadIni_ = old != nullptr;
    ::setenv("ACQ_WORKSTATION", ini.c_str(), 1);
    ASSERT_TRUE(Lb_IniWrite(ini, "Ports", "LPT2", slips_));
    ASSERT_TRUE(Lb_IniWrite(ini, "Ports", "COM3", missing_));
  }
  void TearDown() override {
    if (hadIni_) {
      ::setenv("ACQ_WORKSTATION", oldIni_.c_str(), 1);
    } else {
      ::unsetenv("ACQ_WORKSTATION");
    }
    fs::remove_all(dir_);
  }
  std::string Printed() const {
    std::ifstream in(slips_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static PortSettings Receipt(std::string port) {
    PortSettings s;
    s.port = std::move(port);
    s.prefix = {27, 64};
    s.lineFeed = {13, 10};
    s.formFeed = {12};
    s.cutPaper = {29, 86, 0};
    s.suffix = {7};
    s.replacement = '*';
    return s;
  }

  fs::path dir_;
  std::string slips_, missing_, oldIni_;
  bool hadIni_ = false;
};

}  // namespace

TEST_F(PortWriterTest, SendsPrefixLinesAndClosingSequencesByteForByte) {
  PortWriter writer(Receipt("lpt2"));
  ASSERT_TRUE(writer.Open()) << writer.error();
  ASSERT_TRUE(writer.AddLine("Title: Caf\u00e9 \u6f22"));
  ASSERT_TRUE(writer.AddLine(""));
  ASSERT_TRUE(writer.AddLine("====="));
  ASSERT_TRUE(writer.Finish()) << writer.error();
  static constexpr char kExpected[] =
      "\x1b@"
      "Title: Caf\xe9 *\r\n"
      "\r\n"
      "=====\r\n"
      "\x0c" "\x1dV\x00" "\x07";
  EXPECT_EQ(Printed(), std::string(kExpected, sizeof kExpected - 1));
  EXPECT_EQ(writer.WriteCount(), 3u);  // prefix, the lines, the closing codes
}

TEST_F(PortWriterTest, BufferIsSentBeforeALineThatWouldPass8000Characters) {
  // Lines of 98 characters plus CR LF are 100 characters each.
  struct Case {
    const char* note;
    std::vector<size_t> lengths;  // characters of each line, before CR LF
    size_t writes;
  };
  const Case cases[] = {
      {"exactly 8000 fits", std::vector<size_t>(80, 98), 1},
      {"8001 takes two", [] { std::vector<size_t> v(79, 98); v.push_back(99); return v; }(), 2},
      {"a long line goes alone, unsplit", {1, 9000, 1}, 3},
      {"two long lines", {9000, 9000}, 2},
  };
  for (const Case& c : cases) {
    std::ofstream(slips_, std::ios::trunc).close();
    PortSettings s;
    s.port = "LPT2";
    s.lineFeed = {13, 10};
    PortWriter writer(s);
    ASSERT_TRUE(writer.Open()) << c.note;
    std::string expected;
    for (size_t i = 0; i < c.lengths.size(); ++i) {
      std::string line(c.lengths[i], static_cast<char>('a' + i % 26));
      ASSERT_TRUE(writer.AddLine(line)) << c.note;
      expected += line + "\r\n";
    }
    ASSERT_TRUE(writer.Finish()) << c.note;
    EXPECT_EQ(writer.WriteCount(), c.writes) << c.note;  // no prefix, no closing codes
    EXPECT_EQ(Printed(), expected) << c.note;
  }
}

TEST_F(PortWriterTest, PortThatCannotBeOpenedIsRefusedAndNothingIsCreated) {
  const char* ports[] = {"COM3", "LPT9-not-a-port"};
  for (const char* port : ports) {
    PortWriter writer(Receipt(port));
    EXPECT_FALSE(writer.Open()) << port;
    EXPECT_FALSE(writer.error().empty()) << port;
    EXPECT_FALSE(writer.AddLine("x")) << port;
    EXPECT_FALSE(writer.Finish()) << port;
    EXPECT_EQ(writer.WriteCount(), 0u) << port;
  }
  EXPECT_FALSE(fs::exists(missing_));
  EXPECT_FALSE(fs::exists("LPT9-not-a-port"));

  std::string why;
  EXPECT_EQ(KtRTL_CreateFile("COM3", kKtGenericWrite, kKtOpenExisting, &why), nullptr);
  EXPECT_EQ(KtRTL_CreateFile(missing_, kKtGenericWrite, 2 /* create always */, &why), nullptr);
  EXPECT_FALSE(fs::exists(missing_));
}

TEST_F(PortWriterTest, FifoWithoutReaderIsRefusedAtOnce) {
  std::string fifo = (dir_ / "spool").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  ASSERT_TRUE(Lb_IniWrite(std::getenv("ACQ_WORKSTATION"), "Ports", "LPT3", fifo));
  PortWriter writer(Receipt("LPT3"));
  EXPECT_FALSE(writer.Open());
}

TEST_F(PortWriterTest, HandleCallsWriteThroughThePortMap) {
  std::string why;
  KtFile* port = KtRTL_CreateFile("LPT2", kKtGenericWrite, kKtOpenExisting, &why);
  ASSERT_NE(port, nullptr) << why;
  uint32_t written = 0;
  EXPECT_TRUE(WriteFile(port, "\x1bi", 2, &written));
  EXPECT_EQ(written, 2u);
  EXPECT_TRUE(CloseHandle(port));
  EXPECT_EQ(Printed(), "\x1bi");
}

TEST_F(PortWriterTest, FailedWriteIsReportedAndNothingMoreIsWritten) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  ASSERT_TRUE(Lb_IniWrite(std::getenv("ACQ_WORKSTATION"), "Ports", "LPT1", "/dev/full"));
  PortSettings s = Receipt("LPT1");
  s.prefix.clear();
  PortWriter writer(s);
  ASSERT_TRUE(writer.Open()) << writer.error();
  ASSERT_TRUE(writer.AddLine("buffered, not yet written"));
  EXPECT_FALSE(writer.Finish());
  EXPECT_NE(writer.error().find("LPT1"), std::string::npos) << writer.error();
  EXPECT_EQ(writer.WriteCount(), 1u);  // the closing codes were never tried
  EXPECT_FALSE(writer.AddLine("x"));
}
