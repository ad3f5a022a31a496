// Hidden controls and progress bars of dialogs.
#include <algorithm>

#include "host/win32/Dialog.h"
#include "host/win32/DialogInternal.h"

int DlgProgressPercent(int64_t done, int64_t total) {
  if (total <= 0 || done <= 0) return 0;
  if (done >= total) return 100;
  // Wide enough for done * 100 whatever the sizes.
  return static_cast<int>(static_cast<__int128>(done) * 100 / total);
}

bool ShowDlgItem(HWND dialog, int id, bool visible) {
  return _Win32_WithDlgControl(dialog, id, [visible](DialogControl& c) {
    c.visible = visible;
    return true;
  });
}

bool IsDlgItemVisible(HWND dialog, int id) {
  return _Win32_WithDlgControl(dialog, id, [](DialogControl& c) { return c.visible; });
}

bool SetDlgProgress(HWND dialog, int id, int64_t done, int64_t total, uint32_t fill,
                    uint32_t background) {
  return _Win32_WithDlgControl(dialog, id, [=](DialogControl& c) {
    if (c.kind != ControlKind::Progress) return false;
    c.total = std::max<int64_t>(total, 0);
    c.done = std::clamp<int64_t>(done, 0, c.total);
    c.fill = fill & 0xFFFFFF;
    c.background = background & 0xFFFFFF;
    return true;
  });
}

int64_t GetDlgProgressDone(HWND dialog, int id) {
  int64_t done = 0;
  _Win32_WithDlgControl(dialog, id, [&done](DialogControl& c) {
    if (c.kind == ControlKind::Progress) done = c.done;
    return true;
  });
  return done;
}
