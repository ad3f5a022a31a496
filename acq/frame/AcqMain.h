// AcqMain: the module's main (client) window procedure, the start-up
// handshake with log-in, help set-up, the close protocol and command
// dispatch.
#pragma once

#include "host/win32/Win32.h"

// The two entry points the host calls (besides the library entry).
extern "C" {
void SetHwnd(HWND frame, HWND client);
LRESULT MainWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
}

namespace acq::AcqMain {

// Custom messages of the main window.
enum : UINT {
  kMsgPrDistribution = 0x0793,
  kMsgMenuState = 0x0798,
  kMsgStartup = 0x0BD0,
  kMsgFramework1 = 0x0E2B,
  kMsgRecordChange1 = 0x0E2C,
  kMsgRecordChange2 = 0x0E2D,
  kMsgFramework2 = 0x0E2F,
  kMsgNotify = 0x0E30,
  kMsgChildNotify = 0x0EF2,
  kMsgEndModal = 0x0EF3,
  kMsgCommandFor = 0x0EF4,
  kMsgFrameHandle = 0x0EF8,
  kMsgExtraChargeApply = 0x0F03,
  kMsgPoEditor = 0x0F05,
  kMsgExtraCharge = 0x0F0E,
  kMsgEdiUpload = 0x146B,
};

// Runs menu command `command` for window `hwnd`. Returns 0.
LRESULT DispatchCommand(unsigned command, HWND hwnd);
// Whether `command` is one of the module's (menu-state query).
bool IsModuleCommand(unsigned command, HWND hwnd);

bool Closing();          // a close request is being honoured
bool StartedUp();        // log-in succeeded

void Initialize();
void Terminate();

}  // namespace acq::AcqMain
