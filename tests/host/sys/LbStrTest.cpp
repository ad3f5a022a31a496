#include "host/sys/LbStr.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

TEST(LbStr, CharactersAreCountedAndCutWhole) {
  const std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x93\x9A" "b";  // a é € 📚 b
  EXPECT_EQ(Lb_CharCount(text), 5u);
  EXPECT_EQ(Lb_CutChars(text, 0), "");
  EXPECT_EQ(Lb_CutChars(text, 2), "a\xC3\xA9");
  EXPECT_EQ(Lb_CutChars(text, 4), "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x93\x9A");
  EXPECT_EQ(Lb_CutChars(text, 9), text);
}

TEST(LbStr, MessagesAndPaths) {
  EXPECT_EQ(Lb_FormatMessage("PO %1 line %2: %3%4", "12", "%1", "x"), "PO 12 line %1: x");
  std::string caption, text;
  Lb_SplitCaption("Budget|Over the limit|really", caption, text);
  EXPECT_EQ(caption, "Budget");
  EXPECT_EQ(text, "Over the limit|really");
  Lb_SplitCaption("No caption", caption, text);
  EXPECT_EQ(caption, "");
  EXPECT_EQ(text, "No caption");

  setenv("ACQ_TEST_HELP", "/opt/help", 1);
  EXPECT_EQ(Lb_GetPathFromEnv("ACQ_TEST_HELP", "Acq.hlp"), "/opt/help/Acq.hlp");
  EXPECT_EQ(Lb_GetPathFromEnv("ACQ_TEST_HELP", "Acq.hlp", 8), "/opt/hel");
  unsetenv("ACQ_TEST_HELP");
  EXPECT_EQ(Lb_GetPathFromEnv("ACQ_TEST_HELP", "Acq.hlp"), "Acq.hlp");
}

class IniTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("acq_ini_" + std::to_string(::getpid()));
    path_ = (dir_ / "a" / "b" / "workstation.ini").string();
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string FileText() {
    std::ifstream in(path_);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  fs::path dir_;
  std::string path_;
};

TEST_F(IniTest, WritesReadBackAndKeepTheRestOfTheFile) {
  EXPECT_EQ(Lb_IniRead(path_, "ACQ", "PTH", "none"), "none");  // no file yet
  std::string error;
  ASSERT_TRUE(Lb_IniWrite(path_, "ACQ", "PTH", "/data/acq", &error)) << error;
  {
    std::ofstream(path_, std::ios::app) << "; printers\n[Workslip]\nport = lpt1\n";
  }
  ASSERT_TRUE(Lb_IniWrite(path_, "acq", "pth", "/data/other"));   // names ignore case
  ASSERT_TRUE(Lb_IniWrite(path_, "ACQ", "Batch", "3"));
  ASSERT_TRUE(Lb_IniWrite(path_, "New", "k", "v = w"));

  EXPECT_EQ(Lb_IniRead(path_, "Acq", "PTH"), "/data/other");
  EXPECT_EQ(Lb_IniRead(path_, "ACQ", "batch"), "3");
  EXPECT_EQ(Lb_IniRead(path_, "WORKSLIP", "Port"), "lpt1");
  EXPECT_EQ(Lb_IniRead(path_, "New", "k"), "v = w");
  EXPECT_EQ(Lb_IniRead(path_, "Workslip", "PTH", "-"), "-");  // keys belong to their section
  EXPECT_EQ(FileText(),
            "[ACQ]\npth=/data/other\nBatch=3\n; printers\n[Workslip]\nport = lpt1\n\n[New]\nk=v = w\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(path_).parent_path()), {}), 1);  // no temp left

  EXPECT_FALSE(Lb_IniWrite(path_, "ACQ", "PTH", "two\nlines", &error));
  EXPECT_FALSE(error.empty());
}

TEST_F(IniTest, TwoProcessesWritingAtOnceLoseNoEntry) {
  pid_t child = fork();
  ASSERT_GE(child, 0);
  const char* who = child == 0 ? "child" : "parent";
  bool ok = true;
  for (int i = 0; i < 40; ++i) ok &= Lb_IniWrite(path_, "ACQ", who + std::to_string(i), "x");
  if (child == 0) _exit(ok ? 0 : 1);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(ok);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  for (int i = 0; i < 40; ++i) {
    EXPECT_EQ(Lb_IniRead(path_, "ACQ", "child" + std::to_string(i)), "x") << i;
    EXPECT_EQ(Lb_IniRead(path_, "ACQ", "parent" + std::to_string(i)), "x") << i;
  }
}

}  // namespace
