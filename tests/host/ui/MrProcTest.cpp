#include <gtest/gtest.h>

#include <map>
#include <string>

#include "host/mr/PwMr.h"

namespace {

// Each context window answers kMrQueryClose with its entry (1: may close).
std::map<HWND, LRESULT> mayClose;
std::map<HWND, int> asked;

LRESULT ContextProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kMrQueryClose) {
    ++asked[hwnd];
    return mayClose[hwnd];
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

class MrProc : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { RegisterClassW("MrProcTestWindow", ContextProc); }
  void SetUp() override {
    mayClose.clear();
    asked.clear();
    frame_ = CreateWindowW("MrProcTestWindow", "frame", nullptr);
    client_ = CreateWindowW("MrProcTestWindow", "client", frame_);
  }
  void TearDown() override { DestroyWindow(frame_); }

  HWND Open(HWND parent, LRESULT answer) {
    HWND hwnd = CreateWindowW("MrProcTestWindow", "context", parent);
    mayClose[hwnd] = answer;
    MrProc_RegisterContextWindow(hwnd);
    return hwnd;
  }

  HWND frame_ = nullptr;
  HWND client_ = nullptr;
};

TEST_F(MrProc, CloseStopsAtTheFirstRefusal) {
  HWND first = Open(client_, 1);
  HWND refusing = Open(client_, 0);
  HWND last = Open(client_, 1);
  EXPECT_FALSE(MrProc_MrCloseContextOk(nullptr));
  EXPECT_EQ(asked[first], 1);
  EXPECT_EQ(asked[refusing], 1);
  EXPECT_EQ(asked[last], 0);

  DestroyWindow(refusing);  // gone without unregistering: no longer asked
  EXPECT_TRUE(MrProc_MrCloseContextOk(nullptr));
  MrProc_UnregisterContextWindow(first);
  MrProc_UnregisterContextWindow(last);
}

TEST_F(MrProc, CloseAllDestroysOnlyTheClientsContextWindows) {
  HWND child = Open(client_, 1);
  HWND grandchild = Open(child, 1);
  HWND elsewhere = Open(frame_, 0);
  HWND plain = CreateWindowW("MrProcTestWindow", "not registered", client_);
  MrProc_CloseAllContextWindows(client_);
  EXPECT_FALSE(IsWindow(child));
  EXPECT_FALSE(IsWindow(grandchild));
  EXPECT_TRUE(IsWindow(elsewhere));
  EXPECT_TRUE(IsWindow(plain));
  EXPECT_FALSE(MrProc_MrCloseContextOk(nullptr));  // the frame's own still refuses
  MrProc_UnregisterContextWindow(elsewhere);
}

TEST_F(MrProc, StayOpenMarkIsReadOnce) {
  EXPECT_FALSE(KtWin_CloseRefused());
  KtWin_WindowStayOpen(client_);
  EXPECT_TRUE(KtWin_CloseRefused());
  EXPECT_FALSE(KtWin_CloseRefused());
}

}  // namespace
