#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "host/os2/PwOs.h"
#include "tests/host/ui/UiTestSupport.h"

namespace {

// The workstation profile of a test: a file in a temporary folder.
class PwOs : public ::testing::Test {
 protected:
  void SetUp() override {
    ini_ = dir_.File("sub/workstation.ini");
    setenv("ACQ_WORKSTATION", ini_.c_str(), 1);
  }
  void TearDown() override { unsetenv("ACQ_WORKSTATION"); }

  TempDir dir_;
  std::string ini_;
};

TEST_F(PwOs, ProfileStringsAreSharedThroughTheFile) {
  HPROFILE writer = _Win32_OpenProfile();
  HPROFILE reader = _Win32_OpenProfile();
  EXPECT_EQ(_Win32_QueryProfileString(reader, "ACQ", "PTH", "none", 512), "none");
  ASSERT_TRUE(_Win32_WriteProfileString(writer, "ACQ", "PTH", "/data/édition"));
  // Another handle (another process) sees it at once; the cut counts
  // characters, not bytes.
  EXPECT_EQ(_Win32_QueryProfileString(reader, "acq", "pth", "", 512), "/data/édition");
  EXPECT_EQ(_Win32_QueryProfileString(reader, "ACQ", "PTH", "", 8), "/data/éd");
  EXPECT_EQ(_Win32_QueryProfileString(nullptr, "ACQ", "PTH", "", 512), "/data/édition");
  _Win32_CloseProfile(&writer);
  _Win32_CloseProfile(&reader);
  EXPECT_EQ(reader, nullptr);
  EXPECT_NE(ReadWholeFile(ini_).find("PTH=/data/édition"), std::string::npos);
}

TEST_F(PwOs, ProfileDataRoundTripsAsHex) {
  HPROFILE profile = _Win32_OpenProfile();
  const std::string bytes("\x00\x7F\x80\xFF" "A", 5);
  ASSERT_TRUE(_Win32_WriteProfileData(profile, "ACQ", "WRK", bytes));
  EXPECT_NE(ReadWholeFile(ini_).find("WRK=007F80FF41"), std::string::npos);
  std::string back = "unchanged";
  ASSERT_TRUE(_Win32_QueryProfileData(profile, "ACQ", "WRK", back));
  EXPECT_EQ(back, bytes);
  for (const char* bad : {"ABC", "0G", ""}) {  // odd length, not hex; "" is empty data
    ASSERT_TRUE(_Win32_WriteProfileString(profile, "ACQ", "BAD", bad));
    back = "unchanged";
    EXPECT_EQ(_Win32_QueryProfileData(profile, "ACQ", "BAD", back), *bad == '\0') << bad;
  }
  EXPECT_FALSE(_Win32_QueryProfileData(profile, "ACQ", "ABSENT", back));
  _Win32_CloseProfile(&profile);
}

TEST_F(PwOs, HelpFileIsKeptPerWindowAndShownThroughTheDriver) {
  HWND a = reinterpret_cast<HWND>(0x10), b = reinterpret_cast<HWND>(0x20);
  _Win32_SetHelpFile(a, "/help/Acq.hlp");
  _Win32_SetHelpFile(b, "/help/Other.hlp");
  EXPECT_EQ(Lb_PathToHostForm("C:\\help\\Acq.hlp"), "C:/help/Acq.hlp");
  {
    ScriptedUi ui("");
    EXPECT_TRUE(KtRTL_WinHelp(a, "/help/Acq.hlp", 1, 152));
    EXPECT_EQ(ui.Transcript(), "notice help /help/Acq.hlp command 1 data 152\n");
  }
  EXPECT_TRUE(KtRTL_WinHelp(a, "/help/Other.hlp", 2, 0));  // not a's file: kept
  EXPECT_EQ(_Win32_GetHelpFile(a), "/help/Acq.hlp");
  EXPECT_TRUE(KtRTL_WinHelp(a, "/help/Acq.hlp", 2, 0));
  EXPECT_EQ(_Win32_GetHelpFile(a), "");
  EXPECT_EQ(_Win32_GetHelpFile(b), "/help/Other.hlp");
}

}  // namespace
