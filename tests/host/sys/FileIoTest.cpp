#include "host/sys/FileIo.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "host/sys/LbStr.h"

namespace fs = std::filesystem;

namespace {

// A temporary folder with a workstation profile of its own.
class FileIo : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "acq-fioa-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    setenv("ACQ_WORKSTATION", (dir_ + "/workstation.ini").c_str(), 1);
  }
  void TearDown() override {
    unsetenv("ACQ_WORKSTATION");
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  std::string File(const std::string& name) const { return dir_ + "/" + name; }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }
  // The bytes that writing `text` (then closing) puts in a file.
  std::string Written(std::string_view text, std::string_view codePage,
                      std::string_view replacement = "*") {
    std::string path = File("out.txt"), error;
    HFIOA file = nullptr;
    EXPECT_TRUE(FIOA_Create(path, &file, &error, codePage)) << error;
    EXPECT_TRUE(FIOA_WrStr(file, text, &error, replacement)) << error;
    EXPECT_TRUE(FIOA_Close(&file, &error)) << error;
    EXPECT_EQ(file, nullptr);
    return Read(path);
  }

  std::string dir_;
};

TEST_F(FileIo, TextIsConvertedToTheCodePageCharacterByCharacter) {
  struct Case { const char* text; const char* codePage; const char* replacement; std::string bytes; };
  const Case cases[] = {
      {"Caf\xC3\xA9 d\xC3\xA9j\xC3\xA0", "CP1252", "*", "Caf\xE9 d\xE9j\xE0"},
      {"Caf\xC3\xA9 d\xC3\xA9j\xC3\xA0", "ISO-8859-1", "*", "Caf\xE9 d\xE9j\xE0"},
      // The euro sign, low quote and OE are in CP1252's 0x80-0x9F only.
      {"\xE2\x82\xAC" "5 \xE2\x80\x9EZo\xC3\xAB \xC5\x92uvre", "CP1252", "*", "\x80" "5 \x84Zo\xEB \x8Cuvre"},
      {"\xE2\x82\xAC" "5 \xE2\x80\x9EZo\xC3\xAB \xC5\x92uvre", "ISO-8859-1", "*", "*5 *Zo\xEB *uvre"},
      // One replacement per character, whatever its length in UTF-8.
      {"a\xE6\x97\xA5\xE6\x9C\xAC" "b\xF0\x9F\x93\x9A" "c", "CP1252", "*", "a**b*c"},
      {"\xE6\x97\xA5", "CP1252", "\xC3\xA9", "\xE9"},   // a replacement converted too
      {"\xE6\x97\xA5", "CP1252", "", ""},               // or dropped
      // Bytes that are not UTF-8 are replaced one by one: a stray byte, an
      // overlong slash, a surrogate, a character cut off at the end.
      {"x\xFFy", "CP1252", "*", "x*y"},
      {"\xC0\xAF", "CP1252", "*", "**"},
      {"\xED\xA0\x80", "CP1252", "*", "***"},
      {"ab\xC3", "CP1252", "*", "ab*"},
      {"\xC3\xA9", "CP850", "*", "\x82"},
      {"\xC3\xA9", "850", "*", "\x82"},                 // a bare number is a CP
      {"\xC3\xA9\xE6\x97\xA5", "UTF-8", "*", "\xC3\xA9\xE6\x97\xA5"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Written(c.text, c.codePage, c.replacement), c.bytes)
        << c.codePage << " " << Lb_CutForMessage(c.text);
}

TEST_F(FileIo, CodePageComesFromTheWorkstationProfile) {
  EXPECT_EQ(FIOA_WorkstationCodePage(), "CP1252");
  EXPECT_EQ(Written("\xE2\x82\xAC", ""), "\x80");
  ASSERT_TRUE(Lb_IniWrite(File("workstation.ini"), "ACQ", "CodePage", "ISO-8859-1"));
  EXPECT_EQ(Written("\xE2\x82\xAC\xC3\xA9", ""), "*\xE9");

  // An unknown code page is found before the file is created.
  ASSERT_TRUE(Lb_IniWrite(File("workstation.ini"), "ACQ", "CodePage", "NO-SUCH-CP"));
  HFIOA file = nullptr;
  std::string error;
  EXPECT_FALSE(FIOA_Create(File("never.txt"), &file, &error));
  EXPECT_EQ(file, nullptr);
  EXPECT_NE(error.find("NO-SUCH-CP"), std::string::npos) << error;
  EXPECT_NE(error.find("CodePage in [ACQ]"), std::string::npos) << error;
  EXPECT_FALSE(fs::exists(File("never.txt")));
}

TEST_F(FileIo, LinesEndInCarriageReturnAndLineFeed) {
  std::string error;
  {
    FioaFileHold hold;   // closes at the end of the scope
    ASSERT_TRUE(hold.Create(File("cheques.txt"), &error, "CP1252")) << error;
    // Two line ends in a row leave an empty line; text holds no line end.
    ASSERT_TRUE(FIOA_WrStr(hold.get(), "PAY", &error));
    ASSERT_TRUE(FIOA_WrStr(hold.get(), " 10.00", &error));
    ASSERT_TRUE(FIOA_WrLn(hold.get(), &error));
    ASSERT_TRUE(FIOA_WrLn(hold.get(), &error));
    ASSERT_TRUE(FIOA_WrStr(hold.get(), "END", &error));
  }
  EXPECT_EQ(Read(File("cheques.txt")), "PAY 10.00\r\n\r\nEND");

  // Far more than is buffered at once arrives whole and in order.
  FioaFileHold hold;
  ASSERT_TRUE(hold.Create(File("big.txt"), &error, "CP1252")) << error;
  std::string expected;
  for (int i = 0; i < 300; ++i) {
    std::string line = std::to_string(i) + std::string(999, 'a');
    ASSERT_TRUE(FIOA_WrStr(hold.get(), line + "\xC3\xA9", &error)) << error;
    ASSERT_TRUE(FIOA_WrLn(hold.get(), &error)) << error;
    expected += line + "\xE9\r\n";
  }
  ASSERT_TRUE(hold.Close(&error)) << error;
  EXPECT_FALSE(hold.is_open());
  EXPECT_EQ(Read(File("big.txt")), expected);
}

TEST_F(FileIo, FailuresAreResultsWithTheReason) {
  HFIOA file = nullptr;
  std::string error;
  // A missing folder: nothing is created, not even the folder.
  EXPECT_FALSE(FIOA_Create(File("missing/order.txt"), &file, &error));
  EXPECT_EQ(file, nullptr);
  EXPECT_EQ(error, "Can't create " + File("missing/order.txt") + ": No such file or directory");
  EXPECT_FALSE(fs::exists(File("missing")));

  EXPECT_FALSE(FIOA_WrStr(nullptr, "x", &error));
  EXPECT_FALSE(FIOA_WrLn(nullptr, &error));
  EXPECT_TRUE(FIOA_Close(&file, &error));   // nothing open: nothing to do

  // A replacement the code page lacks is refused, not written as '?'.
  ASSERT_TRUE(FIOA_Create(File("r.txt"), &file, &error, "ISO-8859-1")) << error;
  EXPECT_FALSE(FIOA_WrStr(file, "\xE6\x97\xA5", &error, "\xE2\x82\xAC"));
  EXPECT_NE(error.find("ISO-8859-1"), std::string::npos) << error;
  EXPECT_TRUE(FIOA_Close(&file, &error)) << error;
}

TEST_F(FileIo, AFailedWriteFailsTheCloseAndEveryLaterWrite) {
  // /dev/full takes the open and refuses every write (ENOSPC).
  HFIOA file = nullptr;
  std::string error;
  ASSERT_TRUE(FIOA_Create("/dev/full", &file, &error, "CP1252")) << error;
  ASSERT_TRUE(FIOA_WrStr(file, "small", &error));   // buffered so far
  EXPECT_FALSE(FIOA_Close(&file, &error));
  EXPECT_EQ(error, "Can't write /dev/full: No space left on device");
  EXPECT_EQ(file, nullptr);

  ASSERT_TRUE(FIOA_Create("/dev/full", &file, &error, "CP1252")) << error;
  const std::string block(100 * 1024, 'x');   // more than is ever buffered
  EXPECT_FALSE(FIOA_WrStr(file, block, &error));
  error.clear();
  EXPECT_FALSE(FIOA_WrLn(file, &error));
  EXPECT_EQ(error, "Can't write /dev/full: No space left on device");
  EXPECT_FALSE(FIOA_Close(&file, &error));
}

TEST_F(FileIo, EraseRemovesTheFileAndToleratesNone) {
  std::string error;
  std::ofstream(File("partial.txt")) << "half";
  EXPECT_TRUE(FIOA_Erase(File("partial.txt"), &error)) << error;
  EXPECT_FALSE(fs::exists(File("partial.txt")));
  EXPECT_TRUE(FIOA_Erase(File("partial.txt"), &error)) << error;   // already gone

  fs::create_directory(File("folder"));
  EXPECT_FALSE(FIOA_Erase(File("folder"), &error));
  EXPECT_EQ(error.rfind("Can't erase " + File("folder") + ": ", 0), 0u) << error;
  EXPECT_TRUE(fs::is_directory(File("folder")));
}

}  // namespace
