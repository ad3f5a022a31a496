// AcqMain: the module's main window procedure, start-up, help and close.
#include "acq/frame/AcqMain.h"

#include <string>

#include "acq/AcqUnit.h"
#include "acq/budget/AcqBHMan.h"
#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbBase.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/db/AcqDbNames.h"
#include "acq/frame/AcqDbPrereq.h"
#include "acq/frame/AcqGlobal.h"
#include "host/mr/PwMr.h"
#include "host/muc/MucTools.h"
#include "host/os2/PwOs.h"
#include "host/sys/LbStr.h"

namespace acq::AcqMain {
namespace {

constexpr int kHelpPathChars = 255;
constexpr unsigned kHelpQuit = 2;
constexpr int kLocationChars = 61;
// Sub-menus of the frame that get a context-help id equal to their position
// (6 twice, as the frame's menu has always been set up).
constexpr int kHelpSubMenus[] = {0, 1, 2, 3, 6, 4, 5, 6, 7, 9, 11, 12};

bool closing = false;
bool startedUp = false;
std::string helpPath;
std::string helpPathHost;

bool StartupProc() {
  DbMsg msg;
  if (DbCode code = AcqDb::Login(msg); code != kDbOk) {
    AcqDbExcept::HandleDbError(msg, code);
    return false;
  }
  return true;
}

// The workstation location's address_position: false unless its row says so.
void ReadAddressPosition() {
  bool& flag = AcqDbGlobal::Globals().addressPosition;
  flag = false;
  BktHandle locations = nullptr;  // the session's shared rows: not ours to free
  if (!AcqDbBase::LoadShrCodeBkt(names::location, locations)) return;
  const int colLocation = _BktGetColNum(locations, "location");
  const int colPosition = _BktGetColNum(locations, "address_position");
  if (colLocation == 0 || colPosition == 0) return;
  const std::string here = Lb_CutChars(DbGlobal_globRec.location, kLocationChars);
  int row = 0;
  if (_BktLocateKey(locations, colLocation, BktKey::Text(here), 0, {}, row)) {
    flag = _ColGetBoolean(locations, row, colPosition);
  }
}

void SetUpHelp() {
  helpPath = Lb_GetPathFromEnv("PWHELP", "Acq.hlp", kHelpPathChars);
  helpPathHost = Lb_PathToHostForm(helpPath);
  _Win32_SetHelpFile(PwMucBase_hwndFrame, helpPathHost);
  AcqGlobal::SetFrameHwnd(PwMucBase_hwndFrame);
  HMENU menu = GetMenu(PwMucBase_hwndFrame);
  if (menu == nullptr) return;
  for (int position : kHelpSubMenus) {
    if (HMENU sub = GetSubMenu(menu, position); sub != nullptr) {
      SetMenuContextHelpId(sub, static_cast<uint32_t>(position));
    }
  }
}

LRESULT Startup() {
  startedUp = MucTools_StartupDLL(&StartupProc);
  if (!startedUp) return -1;
  MucTools_HourGlass(true);
  ReadAddressPosition();
  if (AcqDbPrereq::LoadPrerequisites(AcqDbPrereq::kFeatureMismatchMsg)) {
    MucTools_HourGlass(false);
    SetUpHelp();
    return 0;
  }
  MucTools_HourGlass(false);
  KtWin_PostMessage(PwMucBase_hwndClient, WM_CLOSE, 0, 0);
  return -1;
}

LRESULT CloseRequest(HWND hwnd) {
  closing = true;
  if (MrProc_MrCloseContextOk(AcqDbGlobal::Session()) && AcqBHMan::MayClose()) {
    MrProc_CloseAllContextWindows(PwMucBase_hwndClient);
    return 0;
  }
  closing = false;
  KtWin_WindowStayOpen(hwnd);
  return 1;
}

void PaintClient(HWND hwnd) {
  PAINTSTRUCT ps;
  RECT rect;
  HDC dc = _Win32_BeginPaint(hwnd, ps, rect);
  FillRect(dc, rect, GetSysColorBrush(COLOR_APPWORKSPACE));
  _Win32_EndPaint(hwnd, ps);
}

void SetClassBackground(HWND hwnd) {
  HBRUSH brush = CreateSolidBrush(GetSysColor(COLOR_APPWORKSPACE));
  SetClassLongW(hwnd, GCL_HBRBACKGROUND, brush);
  DeleteObject(brush);
}

LRESULT Framework(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return MrProc_MrWndProc(AcqDbGlobal::Session(), lParam, wParam, msg, hwnd);
}

// A record-change request for the window in wParam: windows that guard
// their records (PO editors, the distribution editor, the account editor)
// check first; none of them is open in this build, so the framework decides.
LRESULT RecordChange(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return Framework(hwnd, msg, wParam, lParam);
}

}  // namespace

LRESULT DispatchCommand(unsigned /*command*/, HWND /*hwnd*/) { return 0; }

bool IsModuleCommand(unsigned /*command*/, HWND /*hwnd*/) { return false; }

bool Closing() { return closing; }
bool StartedUp() { return startedUp; }

void Initialize() {
  closing = false;
  startedUp = false;
  helpPath.clear();
  helpPathHost.clear();
}

void Terminate() {
  AcqDbPrereq::FreePrerequisites();
  if (!helpPathHost.empty()) KtRTL_WinHelp(PwMucBase_hwndFrame, helpPathHost, kHelpQuit, 0);
}

}  // namespace acq::AcqMain

ACQ_UNIT_BODY(AcqMain)

using namespace acq::AcqMain;

extern "C" __attribute__((visibility("default"))) void SetHwnd(HWND frame, HWND client) {
  PwMucBase_hwndFrame = frame;
  PwMucBase_hwndClient = client;
}

extern "C" __attribute__((visibility("default"))) LRESULT MainWndProc(HWND hwnd, UINT msg,
                                                                     WPARAM wParam,
                                                                     LPARAM lParam) {
  switch (msg) {
    case WM_CREATE:
      SetClassBackground(hwnd);
      return 0;
    case WM_SIZE:
      MucTools_SizeYoink(lParam, wParam, hwnd);
      if (hwnd == PwMucBase_hwndClient) MucTools_ReposMinimizedDlg(hwnd);
      return 0;
    case WM_PAINT:
      PaintClient(hwnd);
      return 0;
    case WM_CLOSE:
      return CloseRequest(hwnd);
    case WM_COMMAND:
      DispatchCommand(LOWORD(wParam), hwnd);
      return 0;
    case kMsgPrDistribution:
      // The purchase-request distribution editor answers when it is open.
      return 0;
    case kMsgMenuState:
      return IsModuleCommand(HIWORD(wParam), hwnd) ? TRUE : FALSE;
    case kMsgStartup:
      return Startup();
    case kMsgFramework1:
    case kMsgFramework2:
      return Framework(hwnd, msg, wParam, lParam);
    case kMsgRecordChange1:
    case kMsgRecordChange2:
      return RecordChange(hwnd, msg, wParam, lParam);
    case kMsgNotify:
      // Offered to the PO and statement editors; none owns it in this build.
      return 0;
    case kMsgChildNotify:
    case kMsgEndModal:
      // The owners (statement extra charges, renewals, PO editors and the
      // activity editor) come first; with none open the framework handles it.
      return Framework(hwnd, msg, wParam, lParam);
    case kMsgCommandFor: {
      const auto* target = reinterpret_cast<const HWND*>(lParam);
      return DispatchCommand(LOWORD(wParam), target != nullptr ? *target : nullptr);
    }
    case kMsgFrameHandle:
      return reinterpret_cast<LRESULT>(acq::AcqGlobal::FrameHwnd());
    case kMsgExtraChargeApply:
    case kMsgPoEditor:
    case kMsgExtraCharge:
    case kMsgEdiUpload:
      // Their windows (extra charges, PO editor, EDIFACT upload) are not part
      // of this build; nothing to do.
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}
