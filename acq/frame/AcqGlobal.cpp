// AcqGlobal: error display, frame window, workstation path, window
// registries and Bucket snapshots.
#include "acq/frame/AcqGlobal.h"

#include "acq/AcqUnit.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/frame/AcqBase.h"
#include "host/muc/MucTools.h"
#include "host/os2/PwOs.h"
#include "host/sys/LbStr.h"

namespace acq::AcqGlobal {
namespace {

constexpr const char* kProfileSection = "ACQ";
constexpr const char* kProfileKeyPath = "PTH";
constexpr int kMaxPathChars = 512;
constexpr int kColHwnd = 1;
constexpr int kColData = 2;
constexpr int kComingSoonMsg = 900;

HWND frameHwnd = nullptr;
std::string profilePath;

int FindRow(BktHandle list, HWND hwnd) {
  for (int row = 1; row <= _BktCountAll(list); ++row) {
    if (_ColGetNonScalar(list, row, kColHwnd) == hwnd) return row;
  }
  return 0;
}

// Carries every cell's change flag of `from` over to the same cell of `to`
// (whose rows match one for one).
void CopyChangeFlags(BktHandle to, BktHandle from) {
  const int cols = _BktGetNCols(from);
  for (int row = 1; row <= _BktCountAll(from); ++row) {
    _BktClearChg(to, row);
    for (int col = 1; col <= cols; ++col) {
      if (_ColIsChanged(from, row, col)) _ColSetChg(to, row, col);
    }
  }
}

}  // namespace

HWND FrameHwnd() { return frameHwnd; }
void SetFrameHwnd(HWND hwnd) { frameHwnd = hwnd; }

const std::string& ProfilePath() { return profilePath; }

bool SetProfilePath(std::string_view path) {
  const std::string cut = Lb_CutChars(path, kMaxPathChars);
  if (cut == profilePath) return true;
  HPROFILE profile = _Win32_OpenProfile();
  const bool written = _Win32_WriteProfileString(profile, kProfileSection, kProfileKeyPath, cut);
  _Win32_CloseProfile(&profile);
  if (written) profilePath = cut;
  return written;
}

void ShowDbError(std::string_view text) {
  if (GetCursor() == IDC_WAIT) {
    MucTools_HourGlass(false);
    MucTools_MsgBoxCap(frameHwnd, text, MB_OK | MB_ICONERROR);
    MucTools_HourGlass(true);
  } else {
    MucTools_MsgBoxCap(frameHwnd, text, MB_OK | MB_ICONERROR);
  }
}

void ShowComingSoon(std::string_view caption) {
  MucTools_MsgBox(PwMucBase_hwndClient, caption, AcqBase::LoadStrText(kComingSoonMsg),
                  MB_OK | MB_ICONINFORMATION);
}

BktHandle CreateWindowList() {
  BktHandle list = nullptr;
  _BktCreate(list, 2, 32, 32);
  _BktSetColInfo(list, kColHwnd, "HWND", 0, kColOpaque, 1);
  _BktSetColInfo(list, kColData, "DATA", 0, kColOpaque, 0);
  return list;
}

void DestroyWindowList(BktHandle* list) { _BktDestroy(list); }

void WindowListPut(BktHandle list, HWND hwnd, void* data) {
  int row = FindRow(list, hwnd);
  if (row == 0) {
    _BktInsert(list, 0, row);
    _ColSetNonScalar(list, row, kColHwnd, hwnd);
  }
  _ColSetNonScalar(list, row, kColData, data);
}

void WindowListRemove(BktHandle list, HWND hwnd) {
  if (int row = FindRow(list, hwnd); row != 0) _BktDelete(list, row);
}

void* WindowListFind(BktHandle list, HWND hwnd) {
  const int row = FindRow(list, hwnd);
  return row == 0 ? nullptr : _ColGetNonScalar(list, row, kColData);
}

bool WindowListHas(BktHandle list, HWND hwnd) { return FindRow(list, hwnd) != 0; }

BktHandle SnapshotBkt(BktHandle bkt) {
  BktHandle copy = _BktDupe(bkt);
  CopyChangeFlags(copy, bkt);
  return copy;
}

void RestoreBkt(BktHandle bkt, BktHandle snapshot) {
  _BktCopyAll(bkt, snapshot);
  CopyChangeFlags(bkt, snapshot);
}

void Initialize() {
  frameHwnd = nullptr;
  HPROFILE profile = _Win32_OpenProfile();
  profilePath = _Win32_QueryProfileString(profile, kProfileSection, kProfileKeyPath, "",
                                          kMaxPathChars);
  _Win32_CloseProfile(&profile);
  AcqDbExcept::SetDbErrorProc(&ShowDbError);
}

void Terminate() { profilePath.clear(); }

}  // namespace acq::AcqGlobal

ACQ_UNIT_BODY(AcqGlobal)
