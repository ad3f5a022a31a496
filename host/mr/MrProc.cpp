// The framework's context windows and their close protocol, its message
// handler, and the window helpers the module frame uses.
//
// Context windows are kept in registration order; a window destroyed
// without being unregistered is dropped the next time the list is walked.
#include <algorithm>
#include <atomic>
#include <vector>

#include "host/mr/PwMr.h"

namespace {

// Touched only on the user-interface thread.
std::vector<HWND>& ContextWindows() {
  static std::vector<HWND>* windows = new std::vector<HWND>;
  return *windows;
}

void DropDestroyed() {
  std::vector<HWND>& windows = ContextWindows();
  windows.erase(std::remove_if(windows.begin(), windows.end(),
                               [](HWND hwnd) { return !IsWindow(hwnd); }),
                windows.end());
}

bool IsDescendant(HWND hwnd, HWND ancestor) {
  for (HWND parent = GetParent(hwnd); parent; parent = GetParent(parent))
    if (parent == ancestor) return true;
  return false;
}

std::atomic<bool> closeRefused{false};

}  // namespace

void MrProc_RegisterContextWindow(HWND hwnd) {
  std::vector<HWND>& windows = ContextWindows();
  if (IsWindow(hwnd) && std::find(windows.begin(), windows.end(), hwnd) == windows.end())
    windows.push_back(hwnd);
}

void MrProc_UnregisterContextWindow(HWND hwnd) {
  std::vector<HWND>& windows = ContextWindows();
  windows.erase(std::remove(windows.begin(), windows.end(), hwnd), windows.end());
}

bool MrProc_MrCloseContextOk(HDb) {
  DropDestroyed();
  // A copy: a window asked may open or close others while it answers.
  const std::vector<HWND> asked = ContextWindows();
  for (HWND hwnd : asked)
    if (IsWindow(hwnd) && SendMessageW(hwnd, kMrQueryClose, 0, 0) == 0) return false;
  return true;
}

void MrProc_CloseAllContextWindows(HWND client) {
  DropDestroyed();
  const std::vector<HWND> windows = ContextWindows();
  for (HWND hwnd : windows) {
    if (!IsDescendant(hwnd, client)) continue;
    MrProc_UnregisterContextWindow(hwnd);
    DestroyWindow(hwnd);
  }
}

// Record-change requests (0x0E2C edit, 0x0E2D new or copy) reach the
// framework once the module's own checks passed: the framework allows them.
// FIXME: notifications and modal ends (0x0E2B, 0x0E2F, 0x0E30, 0x0EF2,
// 0x0EF3) are not sent by this framework and take the default handling.
LRESULT MrProc_MrWndProc(HDb, LPARAM lParam, WPARAM wParam, UINT msg, HWND hwnd) {
  constexpr UINT kRecordEdit = 0x0E2C, kRecordNew = 0x0E2D;
  if (msg == kRecordEdit || msg == kRecordNew) return 1;
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void KtWin_WindowStayOpen(HWND) { closeRefused.store(true); }

bool KtWin_CloseRefused() { return closeRefused.exchange(false); }

bool KtWin_PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return PostMessageW(hwnd, msg, wParam, lParam);
}
