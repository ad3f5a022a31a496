// The subset of the Win32 window system the module uses: window classes and
// procedures, handles, a message queue per thread, menus with context-help
// ids, brushes, paint calls and the wait cursor. Windows here are not drawn
// on a screen: the UI driver shows them to a person (or a script).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct WindowImpl;
using HWND = WindowImpl*;
struct MenuImpl;
using HMENU = MenuImpl*;
using HBRUSH = uintptr_t;
using HCURSOR = uintptr_t;
using HDC = uintptr_t;
using UINT = uint32_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using BOOL = int32_t;
using COLORREF = uint32_t;
using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

inline uint16_t LOWORD(uintptr_t v) { return static_cast<uint16_t>(v & 0xFFFF); }
inline uint16_t HIWORD(uintptr_t v) { return static_cast<uint16_t>((v >> 16) & 0xFFFF); }
inline uint8_t LOBYTE(uintptr_t v) { return static_cast<uint8_t>(v & 0xFF); }
inline WPARAM MAKEWPARAM(uint16_t lo, uint16_t hi) { return (WPARAM(hi) << 16) | lo; }

enum : UINT {
  WM_CREATE = 0x0001, WM_DESTROY = 0x0002, WM_SIZE = 0x0005, WM_PAINT = 0x000F,
  WM_CLOSE = 0x0010, WM_QUIT = 0x0012, WM_INITDIALOG = 0x0110, WM_COMMAND = 0x0111,
  WM_USER = 0x0400,
};
constexpr int GCL_HBRBACKGROUND = -10;
constexpr int COLOR_APPWORKSPACE = 12;

struct RECT { int32_t left = 0, top = 0, right = 0, bottom = 0; };
struct POINT { int32_t x = 0, y = 0; };
struct MSG { HWND hwnd = nullptr; UINT message = 0; WPARAM wParam = 0; LPARAM lParam = 0; };
struct PAINTSTRUCT { HDC hdc = 0; RECT rcPaint; };

// ---- classes and windows ---------------------------------------------------------
// Registers class `name` with its procedure; false when already registered.
bool RegisterClassW(std::string_view name, WNDPROC proc, HBRUSH background = 0);
// Creates a window of a registered class (WM_CREATE is sent before it
// returns); nullptr for an unknown class or a WM_CREATE result of -1.
HWND CreateWindowW(std::string_view className, std::string_view title, HWND parent,
                   HMENU menu = nullptr, LPARAM createParam = 0);
// Sends WM_DESTROY to the window and its children (children first), then
// frees them. The handles become invalid.
bool DestroyWindow(HWND hwnd);
bool IsWindow(HWND hwnd);
HWND GetParent(HWND hwnd);
// Children in Z order: a new child goes on top, so the first child is the
// newest.
HWND GetFirstChild(HWND hwnd);        // GetWindow(hwnd, GW_CHILD)
HWND GetNextSibling(HWND hwnd);       // GetWindow(hwnd, GW_HWNDNEXT)
std::string GetWindowTextW(HWND hwnd);
void SetWindowTextW(HWND hwnd, std::string_view text);
std::string GetClassNameW(HWND hwnd);
bool GetClientRect(HWND hwnd, RECT& rect);
void SetClientRect(HWND hwnd, const RECT& rect);   // the frame sizes its windows
uintptr_t SetClassLongW(HWND hwnd, int index, uintptr_t value);  // returns the old value
uintptr_t GetClassLongW(HWND hwnd, int index);
WNDPROC GetWindowProc(HWND hwnd);
void SetWindowProc(HWND hwnd, WNDPROC proc);

// ---- messages -----------------------------------------------------------------
// Calls the window's procedure now; 0 for an invalid window.
LRESULT SendMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Queues the message on the queue of the thread that created the window
// (so a worker thread can post to the user-interface thread's windows);
// false for an invalid window. nullptr posts a thread message to the
// calling thread's own queue.
bool PostMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// The sound of something finished or refused: the UI driver tells the
// person (a notice "beep"). `type` as Win32's (0 MB_OK, 0x10 MB_ICONHAND, ...).
bool MessageBeep(UINT type);
// Where MessageBeep goes: the user-interface library installs the sink
// (this library sits below the driver); nullptr removes it, and a beep with
// no sink is silent.
using BeepSink = void (*)(UINT type);
void _Win32_SetBeepSink(BeepSink sink);
void PostQuitMessage(int exitCode);
// Takes the next message; false when it is WM_QUIT. Blocks while the queue
// is empty unless `wait` is false, when it returns false with msg.message 0.
bool GetMessageW(MSG& msg, bool wait = true);
bool PeekMessageW(MSG& msg, bool remove);
LRESULT DispatchMessageW(const MSG& msg);
size_t QueuedMessageCount();
// Waits until the calling thread's queue holds a message (one already there
// counts) or `timeoutMs` pass (negative: for ever); true when one is there.
// Takes nothing off the queue.
bool WaitMessageTimeout(int timeoutMs);
// The default handling: WM_CLOSE destroys the window; everything else 0.
LRESULT DefWindowProcW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// ---- menus -------------------------------------------------------------------------
HMENU CreateMenu();
bool DestroyMenu(HMENU menu);
// Appends a command item (id) or, with `subMenu`, a popup.
bool AppendMenuW(HMENU menu, std::string_view text, UINT id, HMENU subMenu = nullptr);
HMENU GetMenu(HWND hwnd);
bool SetMenu(HWND hwnd, HMENU menu);
HMENU GetSubMenu(HMENU menu, int position);
int GetMenuItemCount(HMENU menu);
bool SetMenuContextHelpId(HMENU menu, uint32_t id);
uint32_t GetMenuContextHelpId(HMENU menu);
bool EnableMenuItem(HMENU menu, UINT id, bool enabled);
bool IsMenuItemEnabled(HMENU menu, UINT id);

// ---- drawing -----------------------------------------------------------------------
COLORREF GetSysColor(int index);
HBRUSH CreateSolidBrush(COLORREF color);
HBRUSH GetSysColorBrush(int index);
bool DeleteObject(uintptr_t object);
size_t LiveGdiObjects();   // brushes created and not deleted (leak checks)
COLORREF BrushColor(HBRUSH brush);
// Fills `rect` on `dc`; the window's DC remembers the last fill for a look.
int FillRect(HDC dc, const RECT& rect, HBRUSH brush);
HDC BeginPaint(HWND hwnd, PAINTSTRUCT& ps);
bool EndPaint(HWND hwnd, const PAINTSTRUCT& ps);
COLORREF LastFillColor(HWND hwnd);

// ---- cursor ------------------------------------------------------------------------
constexpr HCURSOR IDC_ARROW = 32512;
constexpr HCURSOR IDC_WAIT = 32514;
HCURSOR GetCursor();
HCURSOR SetCursor(HCURSOR cursor);   // returns the previous one
