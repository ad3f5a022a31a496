// Drawing objects and the cursor. Nothing reaches a screen: a brush is an
// entry in a table with its colour, a device context is a window's paint
// session, and a fill only remembers its colour for the window so a test or
// a driver can look at what would have been painted.
//
// Brush values: 1 .. 31 are the Win32 idiom "system colour index + 1";
// 0x10000 + index are the stock system-colour brushes (never deleted, never
// counted); created brushes count up from 0x20000 and are never reused.
#include <map>
#include <mutex>
#include <utility>

#include "host/win32/Win32.h"

namespace {

constexpr COLORREF kInvalidColor = 0xFFFFFFFF;
constexpr HBRUSH kSysColorIdiomLast = 31;
constexpr HBRUSH kStockBrushBase = 0x10000;
constexpr HBRUSH kCreatedBrushBase = 0x20000;

// COLORREF is 0x00BBGGRR.
COLORREF SysColor(int index) {
  switch (index) {
    case 0: return 0x00C8C8C8;   // scroll bar
    case 1: return 0x00000000;   // desktop
    case 4: return 0x00F0F0F0;   // menu
    case 5: return 0x00FFFFFF;   // window
    case 6: return 0x00646464;   // window frame
    case 7: return 0x00000000;   // menu text
    case 8: return 0x00000000;   // window text
    case COLOR_APPWORKSPACE: return 0x00ABABAB;
    case 13: return 0x00FF9933;  // highlight
    case 14: return 0x00FFFFFF;  // highlight text
    case 15: return 0x00F0F0F0;  // button face
    case 16: return 0x00A0A0A0;  // button shadow
    case 17: return 0x006D6D6D;  // grey text
    case 18: return 0x00000000;  // button text
    default: return 0x00000000;
  }
}

struct Gdi {
  std::mutex mutex;
  std::map<HBRUSH, COLORREF> brushes;  // created, not yet deleted
  HBRUSH nextBrush = kCreatedBrushBase;
  std::map<HDC, HWND> paintSessions;   // BeginPaint .. EndPaint
  HDC nextDc = 1;
  std::map<HWND, COLORREF> lastFill;   // handles are never reused, so no cleanup
};

Gdi& State() {
  static Gdi* gdi = new Gdi;
  return *gdi;
}

COLORREF ColorOf(Gdi& gdi, HBRUSH brush) {
  if (brush >= 1 && brush <= kSysColorIdiomLast) return SysColor(static_cast<int>(brush) - 1);
  if (brush >= kStockBrushBase && brush < kCreatedBrushBase)
    return SysColor(static_cast<int>(brush - kStockBrushBase));
  auto it = gdi.brushes.find(brush);
  return it == gdi.brushes.end() ? kInvalidColor : it->second;
}

}  // namespace

COLORREF GetSysColor(int index) { return SysColor(index); }

HBRUSH CreateSolidBrush(COLORREF color) {
  Gdi& gdi = State();
  std::lock_guard<std::mutex> lock(gdi.mutex);
  HBRUSH brush = gdi.nextBrush++;
  gdi.brushes.emplace(brush, color & 0x00FFFFFF);
  return brush;
}

HBRUSH GetSysColorBrush(int index) {
  return kStockBrushBase + static_cast<HBRUSH>(index & 0xFF);
}

bool DeleteObject(uintptr_t object) {
  Gdi& gdi = State();
  std::lock_guard<std::mutex> lock(gdi.mutex);
  if (object >= kStockBrushBase && object < kCreatedBrushBase) return true;
  return gdi.brushes.erase(object) == 1;
}

size_t LiveGdiObjects() {
  Gdi& gdi = State();
  std::lock_guard<std::mutex> lock(gdi.mutex);
  return gdi.brushes.size();
}

COLORREF BrushColor(HBRUSH brush) {
  Gdi& gdi = State();
  std::lock_guard<std::mutex> lock(gdi.mutex);
  return ColorOf(gdi, brush);
}

int FillRect(HDC dc, const RECT&, HBRUSH brush) {
  Gdi& gdi = State();
  std::lock_guard<std::mutex> lock(gdi.mutex);
  auto session = gdi.paintSessions.find(dc);
  COLORREF color = ColorOf(gdi, brush);
  if (session == gdi.paintSessions.end() || color == kInvalidColor) return 0;
  gdi.lastFill[session->second] = color;
  return 1;
}

HDC BeginPaint(HWND hwnd, PAINTSTRUCT& ps) {
  RECT client;
  if (!GetClientRect(hwnd, client)) return 0;
  Gdi& gdi = State();
  std::lock_guard<std::mutex> lock(gdi.mutex);
  HDC dc = gdi.nextDc++;
  gdi.paintSessions.emplace(dc, hwnd);
  ps.hdc = dc;
  ps.rcPaint = client;
  return dc;
}

bool EndPaint(HWND, const PAINTSTRUCT& ps) {
  Gdi& gdi = State();
  std::lock_guard<std::mutex> lock(gdi.mutex);
  return gdi.paintSessions.erase(ps.hdc) == 1;
}

COLORREF LastFillColor(HWND hwnd) {
  Gdi& gdi = State();
  std::lock_guard<std::mutex> lock(gdi.mutex);
  auto it = gdi.lastFill.find(hwnd);
  return it == gdi.lastFill.end() ? kInvalidColor : it->second;
}

namespace {
thread_local HCURSOR currentCursor = IDC_ARROW;
}

HCURSOR GetCursor() { return currentCursor; }

HCURSOR SetCursor(HCURSOR cursor) { return std::exchange(currentCursor, cursor); }
