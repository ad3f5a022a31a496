// AcqGlobal: the procedure that shows database errors to the user, the frame
// window used for help and message boxes, the workstation's directory path
// (profile "ACQ"/"PTH"), the window registries of the window families, and
// the snapshot/restore of Buckets that a retried save relies on.
#pragma once

#include <string>
#include <string_view>

#include "host/sys/Bucket.h"
#include "host/win32/Win32.h"

namespace acq::AcqGlobal {

// The frame window for help and message boxes (set after start-up).
HWND FrameHwnd();
void SetFrameHwnd(HWND hwnd);

// The workstation's directory path (at most 512 characters), read from the
// profile at Initialize. Setting a different path writes it to the profile
// first; false (path unchanged) when the profile cannot be written.
const std::string& ProfilePath();
bool SetProfilePath(std::string_view path);

// Shows a database error's display text ("Caption|Text") in a message box,
// taking the hourglass down while it is shown.
void ShowDbError(std::string_view text);

// The message of a command or window that is not part of this build yet:
// `caption` over "Coming soon to a screen near you!".
void ShowComingSoon(std::string_view caption);

// A window registry: one per family of windows, a Bucket of "HWND" and
// "DATA" (the window's state record), 32 rows, growth 32.
BktHandle CreateWindowList();
void DestroyWindowList(BktHandle* list);
// Adds the window, or replaces its state record when present.
void WindowListPut(BktHandle list, HWND hwnd, void* data);
void WindowListRemove(BktHandle list, HWND hwnd);
// The window's state record; nullptr when the window is not in the list.
void* WindowListFind(BktHandle list, HWND hwnd);
bool WindowListHas(BktHandle list, HWND hwnd);

// A copy of `bkt` with all rows, states and every cell's change flag.
BktHandle SnapshotBkt(BktHandle bkt);
// Puts the rows of `snapshot` back into `bkt`, change flags included.
void RestoreBkt(BktHandle bkt, BktHandle snapshot);

void Initialize();
void Terminate();

}  // namespace acq::AcqGlobal
