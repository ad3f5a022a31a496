#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "host/win32/Win32.h"

namespace {

// What the logging procedure saw: "<window name>:<message>".
std::vector<std::string> seen;

LRESULT LoggingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg != WM_CREATE) seen.push_back(GetWindowTextW(hwnd) + ":" + std::to_string(msg));
  if (msg == WM_CREATE && lParam == -1) return -1;
  return msg == WM_USER ? static_cast<LRESULT>(wParam) * 2 : DefWindowProcW(hwnd, msg, wParam, lParam);
}

void DispatchAll() {
  MSG msg;
  while (GetMessageW(msg, false)) DispatchMessageW(msg);
}

class Win32 : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { RegisterClassW("Win32TestLog", LoggingProc); }
  void SetUp() override {
    DispatchAll();
    seen.clear();
  }
};

TEST_F(Win32, SendRunsAtOnceAndPostsRunInQueueOrder) {
  HWND w = CreateWindowW("Win32TestLog", "w", nullptr);
  ASSERT_TRUE(w);
  EXPECT_TRUE(PostMessageW(w, WM_USER + 1, 0, 0));
  EXPECT_EQ(SendMessageW(w, WM_USER, 21, 0), 42);
  EXPECT_TRUE(PostMessageW(w, WM_USER + 2, 0, 0));
  EXPECT_EQ(seen, (std::vector<std::string>{"w:1024"}));
  EXPECT_EQ(QueuedMessageCount(), 2u);
  DispatchAll();
  EXPECT_EQ(seen, (std::vector<std::string>{"w:1024", "w:1025", "w:1026"}));
  DestroyWindow(w);
}

TEST_F(Win32, DefaultCloseDestroysChildrenFirstAndHandlesStayInvalid) {
  HWND parent = CreateWindowW("Win32TestLog", "p", nullptr);
  HWND first = CreateWindowW("Win32TestLog", "a", parent);
  HWND second = CreateWindowW("Win32TestLog", "b", parent);
  EXPECT_EQ(GetFirstChild(parent), second);  // the newest child is on top
  EXPECT_EQ(GetNextSibling(second), first);
  EXPECT_TRUE(PostMessageW(first, WM_USER, 0, 0));

  EXPECT_EQ(SendMessageW(parent, WM_CLOSE, 0, 0), 0);
  EXPECT_EQ(seen, (std::vector<std::string>{"p:16", "b:2", "a:2", "p:2"}));
  for (HWND w : {parent, first, second}) {
    EXPECT_FALSE(IsWindow(w));
    EXPECT_FALSE(PostMessageW(w, WM_USER, 0, 0));
    EXPECT_EQ(SendMessageW(w, WM_USER, 1, 0), 0);
  }
  DispatchAll();  // the message posted before the close reaches nobody
  EXPECT_EQ(seen.size(), 4u);
  // A stale handle never comes back as a new window.
  std::vector<HWND> fresh;
  for (int i = 0; i < 50; ++i) fresh.push_back(CreateWindowW("Win32TestLog", "n", nullptr));
  for (HWND w : fresh) {
    EXPECT_NE(w, parent);
    EXPECT_NE(w, first);
    DestroyWindow(w);
  }
}

TEST_F(Win32, CreateFailsForUnknownClassDeadParentOrRefusedCreate) {
  EXPECT_EQ(CreateWindowW("NoSuchClass", "x", nullptr), nullptr);
  EXPECT_EQ(CreateWindowW("Win32TestLog", "x", nullptr, nullptr, -1), nullptr);
  HWND dead = CreateWindowW("Win32TestLog", "d", nullptr);
  DestroyWindow(dead);
  EXPECT_EQ(CreateWindowW("Win32TestLog", "x", dead), nullptr);
  EXPECT_FALSE(RegisterClassW("win32testlog", LoggingProc));  // class names ignore case
}

TEST_F(Win32, PostFromAWorkerReachesTheWindowsThread) {
  HWND w = CreateWindowW("Win32TestLog", "w", nullptr);
  std::thread worker([w] {
    PostMessageW(w, WM_USER + 7, 0, 0);
    PostMessageW(nullptr, WM_USER + 8, 0, 0);  // the worker's own queue
  });
  worker.join();
  EXPECT_EQ(QueuedMessageCount(), 1u);
  MSG msg;
  ASSERT_TRUE(GetMessageW(msg, false));
  EXPECT_EQ(msg.message, WM_USER + 7u);
  DestroyWindow(w);
}

TEST_F(Win32, MenusKeepHelpIdsAndFindCommandsInPopups) {
  HMENU bar = CreateMenu();
  std::vector<HMENU> popups;
  for (int i = 0; i < 3; ++i) {
    popups.push_back(CreateMenu());
    AppendMenuW(popups.back(), "Item", 100 + i);
    AppendMenuW(bar, "Popup", 0, popups.back());
  }
  EXPECT_EQ(GetSubMenu(bar, 2), popups[2]);
  EXPECT_EQ(GetSubMenu(bar, 3), nullptr);
  EXPECT_TRUE(SetMenuContextHelpId(GetSubMenu(bar, 1), 1));
  EXPECT_EQ(GetMenuContextHelpId(popups[1]), 1u);
  EXPECT_EQ(GetMenuContextHelpId(popups[0]), 0u);

  EXPECT_TRUE(EnableMenuItem(bar, 102, false));  // found inside popup 2
  EXPECT_FALSE(IsMenuItemEnabled(popups[2], 102));
  EXPECT_TRUE(IsMenuItemEnabled(bar, 101));
  EXPECT_FALSE(EnableMenuItem(bar, 999, true));

  HWND w = CreateWindowW("Win32TestLog", "w", nullptr, bar);
  EXPECT_EQ(GetMenu(w), bar);
  DestroyWindow(w);  // takes its menu bar and the popups with it
  EXPECT_EQ(GetMenuItemCount(bar), -1);
  EXPECT_EQ(GetMenuItemCount(popups[0]), -1);
}

TEST_F(Win32, BrushesAreCountedAndPaintRemembersTheFill) {
  const size_t before = LiveGdiObjects();
  HBRUSH grey = CreateSolidBrush(GetSysColor(COLOR_APPWORKSPACE));
  HBRUSH red = CreateSolidBrush(0x0000FF);
  EXPECT_EQ(LiveGdiObjects(), before + 2);
  EXPECT_TRUE(DeleteObject(red));
  EXPECT_FALSE(DeleteObject(red));
  EXPECT_TRUE(DeleteObject(GetSysColorBrush(COLOR_APPWORKSPACE)));  // stock: never counted
  EXPECT_EQ(LiveGdiObjects(), before + 1);

  HWND w = CreateWindowW("Win32TestLog", "w", nullptr);
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(w, ps);
  ASSERT_NE(dc, 0u);
  EXPECT_EQ(FillRect(dc, ps.rcPaint, red), 0);  // deleted
  EXPECT_EQ(FillRect(dc, ps.rcPaint, grey), 1);
  EXPECT_EQ(LastFillColor(w), 0x00ABABABu);
  EXPECT_EQ(FillRect(dc, ps.rcPaint, HBRUSH(COLOR_APPWORKSPACE + 1)), 1);  // colour index + 1
  EXPECT_TRUE(EndPaint(w, ps));
  EXPECT_EQ(FillRect(dc, ps.rcPaint, grey), 0);  // the paint session is over
  DeleteObject(grey);
  EXPECT_EQ(LiveGdiObjects(), before);
  DestroyWindow(w);
}

}  // namespace
