#include "host/muc/MucFilet.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "host/muc/MucTools.h"
#include "host/sys/FileIo.h"
#include "tests/host/ui/UiTestSupport.h"

namespace {

// A browser session's folder of its own for the files written.
class MucFilet : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = dir_.File("session");
    std::filesystem::create_directory(folder_);
    setenv("ACQ_SESSION_DIR", folder_.c_str(), 1);
  }
  void TearDown() override { unsetenv("ACQ_SESSION_DIR"); }

  TempDir dir_;
  std::string folder_;
};

TEST_F(MucFilet, SaveAsBoxTakesABareNameIntoTheOutputFolder) {
  std::ofstream(folder_ + "/old.txt") << "before";
  std::filesystem::create_directory(folder_ + "/sub");
  struct Case {
    const char* script;
    const char* name;         // nullptr: the box returns false
    const char* transcript;   // "" or a part of it
  };
  const Case cases[] = {
      {"answer text cancel\n", nullptr, "-> cancel"},
      {"answer text \"  JAN052026.txt \"\n", "JAN052026.txt", ""},
      // Folders are refused, said so, and the question asked again.
      {"answer text \"../escape.txt\"\nanswer text \"order.edi\"\n", "order.edi",
       "without a folder"},
      {"answer text \"/tmp/x.txt\"\nanswer text cancel\n", nullptr, "without a folder"},
      {"answer text \"a\\\\b.txt\"\nanswer text cancel\n", nullptr, "without a folder"},
      {"answer text \"\"\nanswer text cancel\n", nullptr, "Enter a file name."},
      {"answer text \"sub\"\nanswer text cancel\n", nullptr, "is a folder"},
      // An existing file is replaced only when the person says so.
      {"answer text \"old.txt\"\nanswer msgbox yes \"Replace\"\n", "old.txt", ""},
      {"answer text \"old.txt\"\nanswer msgbox no\nanswer text \"new.txt\"\n", "new.txt",
       "already exists"},
  };
  for (const Case& c : cases) {
    ScriptedUi ui(c.script);
    std::string path = "unchanged";
    bool chosen = MucFilet_FileSaveAsBox("Select or enter a file name", "JAN052026.txt", path);
    ui.driver().Finish();   // every answer was used
    EXPECT_EQ(ui.FailReason(), "") << c.script;
    EXPECT_EQ(chosen, c.name != nullptr) << c.script;
    EXPECT_EQ(path, c.name ? folder_ + "/" + c.name : "unchanged") << c.script;
    EXPECT_NE(ui.Transcript().find(c.transcript), std::string::npos)
        << c.script << ui.Transcript();
  }
  EXPECT_EQ(ReadWholeFile(folder_ + "/old.txt"), "before");   // the box writes nothing
}

TEST_F(MucFilet, ChosenFileIsWrittenAndAnnouncedAfterItsClose) {
  ScriptedUi ui("answer text \"cheques.txt\"\n");
  std::string path, error;
  ASSERT_TRUE(MucFilet_FileSaveAsBox("Cheques", "DEC062026.txt", path));
  FioaFileHold file;
  ASSERT_TRUE(file.Create(path, &error, "CP1252")) << error;
  ASSERT_TRUE(FIOA_WrStr(file.get(), "Ren\xC3\xA9", &error));
  ASSERT_TRUE(FIOA_WrLn(file.get(), &error));
  ASSERT_TRUE(file.Close(&error)) << error;
  MucFilet_FileWritten(path);
  EXPECT_EQ(ReadWholeFile(folder_ + "/cheques.txt"), "Ren\xE9\r\n");
  EXPECT_NE(ui.Transcript().find("notice file cheques.txt: " + folder_ + "/cheques.txt"), std::string::npos)
      << ui.Transcript();
}

}  // namespace
