// Waiting for a worker thread's posted news, and choosing files to read.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "host/muc/MucFilet.h"
#include "host/ui/TestResources.h"
#include "host/ui/UiTestSupport.h"
#include "host/win32/Dialog.h"

namespace {

constexpr UINT kDoneMessage = WM_USER + 7;

// Enables Close when the worker's news arrives, as a progress window does.
LRESULT ProgressProc(HWND hwnd, UINT msg, WPARAM, LPARAM) {
  if (msg != kDoneMessage) return 0;
  EnableDlgItem(hwnd, 2, true);
  return 1;
}

void DrainQueue() {
  MSG msg;
  while (PeekMessageW(msg, true)) DispatchMessageW(msg);
}

TEST(UiWait, ActionsParseAndNormalize) {
  struct Case { const char* text; const char* normalized; };   // nullptr: refused
  const Case cases[] = {
      {"wait", "wait 60"},
      {"wait 0", "wait 0"},
      {"wait 3600", "wait 3600"},
      {"wait until enabled Close", "wait until enabled Close 60"},
      {"wait until enabled \"Close it\" 5", "wait until enabled \"Close it\" 5"},
      {"wait 3601", nullptr},
      {"wait -1", nullptr},
      {"wait \"5\"", nullptr},
      {"wait 1 2", nullptr},
      {"wait until Close", nullptr},
      {"wait until enabled", nullptr},
      {"wait until enabled Close 5 6", nullptr},
  };
  for (const Case& c : cases) {
    UiAction a;
    std::string error;
    const bool ok = Ui_ParseAction(c.text, a, &error);
    EXPECT_EQ(ok, c.normalized != nullptr) << c.text << ": " << error;
    if (!ok || !c.normalized) continue;
    EXPECT_TRUE(a.IsWindowAction()) << c.text;   // a window waiting for an answer allows it
    EXPECT_EQ(Ui_ActionText(a), c.normalized);
    UiAction again;
    ASSERT_TRUE(Ui_ParseAction(Ui_ActionText(a), again, &error));
    EXPECT_EQ(Ui_ActionText(again), c.normalized);
  }
}

TEST(UiWait, UntilEnabledHandlesPostedNewsAndFailsWhenNoneComes) {
  TestResources resources("Waiting", "dialog 55 \"Upload\"\n"
                                     "  control 1 button abort \"Abort\"\n"
                                     "  control 2 button close \"Close\" disabled\n");
  std::optional<DialogTemplate> t = LoadDialogTemplate(resources.res(), 55);
  ASSERT_TRUE(t);
  HWND d = CreateDialogIndirectParamW(*t, nullptr, ProgressProc, 0);
  ASSERT_TRUE(d);
  // Nothing comes: the wait ends unsuccessfully once its time is up.
  EXPECT_EQ(Act("wait until enabled close 0"),
            "the button \"close\" of \"Upload\" is still not enabled after 0 seconds");
  EXPECT_EQ(Act("wait until enabled nosuch 0"), "\"Upload\" has no button \"nosuch\"");

  std::thread worker([d] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    PostMessageW(d, WM_USER + 1, 0, 0);   // news the window ignores
    PostMessageW(d, kDoneMessage, 0, 0);
  });
  EXPECT_EQ(Act("wait until enabled close 600"), "");
  worker.join();
  EXPECT_TRUE(GetDialogTemplate(d)->controls[1].enabled);

  // A plain wait returns on the first news and leaves it for the loop.
  std::thread poster([d] { PostMessageW(d, WM_USER + 2, 0, 0); });
  EXPECT_EQ(Act("wait 600"), "");
  poster.join();
  EXPECT_EQ(QueuedMessageCount(), 1u);
  DrainQueue();
  DestroyWindow(d);
}

TEST(MultiFileOpenBox, ScriptPathsFromItsFolderAndBadOnesAskedAgain) {
  TempDir dir;
  std::ofstream(dir.File("a.edi")) << "UNA";
  std::ofstream(dir.File("b.edi")) << "UNB";
  std::filesystem::create_directories(dir.File("sub"));
  const std::string script = "command 1\n"
                             "answer files \"a.edi\" \"" + dir.File("b.edi") + "\"\n"
                             "command 2\n"
                             "answer files \"a.edi\" \"sub\"\n"
                             "answer files cancel\n";
  const std::string transcript = dir.File("t.log");
  std::string error;
  std::unique_ptr<UiDriver> driver =
      Ui_MakeScriptDriver(script, dir.File("upload.acq"), transcript, &error);
  ASSERT_TRUE(driver) << error;
  Ui_SetDriver(driver.get());

  ASSERT_TRUE(driver->NextAction());
  std::string folder = "/somewhere";
  std::vector<std::string> paths;
  ASSERT_TRUE(MucFilet_MultiFileOpenBox("Upload EDIFACT Files", "*.*", folder, paths));
  EXPECT_EQ(paths, (std::vector<std::string>{dir.File("a.edi"), dir.File("b.edi")}));
  EXPECT_EQ(folder, std::filesystem::path(dir.File("a.edi")).parent_path().string());

  // A folder among the answers: refused whole, asked again, then cancelled.
  ASSERT_TRUE(driver->NextAction());
  std::vector<std::string> unchanged = paths;
  EXPECT_FALSE(MucFilet_MultiFileOpenBox("Upload EDIFACT Files", "*.*", folder, paths));
  EXPECT_EQ(paths, unchanged);
  driver->Finish();
  std::string reason;
  EXPECT_FALSE(driver->Failed(&reason)) << reason;
  const std::string log = ReadWholeFile(transcript);
  EXPECT_NE(log.find("files \"Upload EDIFACT Files\" -> \"a.edi\" \"" + dir.File("b.edi") + "\"\n"),
            std::string::npos) << log;
  EXPECT_NE(log.find("sub\\\" is a folder, not a file.\" -> OK (auto)"), std::string::npos) << log;
  EXPECT_NE(log.find("files \"Upload EDIFACT Files\" -> cancel\n"), std::string::npos) << log;
  Ui_SetDriver(nullptr);
}

}  // namespace
