// The module's messages whose parameters carry windows, and how the frame
// fills them for a driver.
#include "host/frame/RawMessage.h"

#include <cstdio>
#include <optional>

namespace {

enum class Param {
  Number,          // passed as given
  Window,          // 0: the top module window
  WindowOrNone,    // 0: no window
  WindowPointer,   // the address of a slot holding a window; 0: the top one
};

struct Rule {
  UINT message;
  Param wParam;
  Param lParam;
};

// The module's messages that take a window or a pointer in a parameter.
constexpr Rule kRules[] = {
    {0x0E2C, Param::Window, Param::Number},         // record change of the window
    {0x0E2D, Param::Window, Param::Number},
    {0x0E30, Param::Window, Param::Number},         // notification for the window
    {0x0EF2, Param::Number, Param::Window},         // child notification of the window
    {0x0EF3, Param::Number, Param::Window},         // end of the window's modal loop
    {0x0EF4, Param::Number, Param::WindowPointer},  // command for *lParam
    {0x146B, Param::WindowOrNone, Param::Number},   // upload started by the dialog
};

const Rule* FindRule(UINT message) {
  for (const Rule& r : kRules)
    if (r.message == message) return &r;
  return nullptr;
}

std::string Hex(UINT message) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%04X", static_cast<unsigned>(message));
  return buf;
}

// The window a driver's `value` names for a parameter of kind `kind`;
// nullopt when it names none.
std::optional<HWND> WindowFor(Param kind, uintptr_t value, const RawMessageWindows& windows) {
  if (value != 0) {
    HWND named = reinterpret_cast<HWND>(value);
    return IsWindow(named) ? std::optional<HWND>(named) : std::nullopt;
  }
  switch (kind) {
    case Param::WindowOrNone: return nullptr;
    case Param::WindowPointer: return windows.top ? windows.top : windows.client;
    case Param::Window: return windows.top ? std::optional<HWND>(windows.top) : std::nullopt;
    case Param::Number: break;
  }
  return nullptr;
}

// One parameter of `message` filled in place; false with the reason.
bool Fill(UINT message, const char* name, Param kind, const RawMessageWindows& windows,
          std::deque<HWND>& held, uintptr_t& value, std::string& error) {
  if (kind == Param::Number) return true;
  std::optional<HWND> window = WindowFor(kind, value, windows);
  if (!window) {
    error = Hex(message) + " takes a window in " + name + ": ";
    if (value == 0)
      error += "0 means the top module window, and none is open";
    else
      error += std::string("give 0 for ") +
               (kind == Param::WindowOrNone ? "none" : "the top window") +
               " or the handle of an open window (" + std::to_string(value) + " is none)";
    return false;
  }
  if (kind == Param::WindowPointer) {
    held.push_back(*window);
    value = reinterpret_cast<uintptr_t>(&held.back());
  } else {
    value = reinterpret_cast<uintptr_t>(*window);
  }
  return true;
}

}  // namespace

bool PrepareRawMessage(const UiAction& action, const RawMessageWindows& windows,
                       std::deque<HWND>& held, WPARAM& wParam, LPARAM& lParam,
                       std::string& error) {
  wParam = action.wParam;
  lParam = action.lParam;
  const Rule* rule = FindRule(action.message);
  if (rule == nullptr) return true;
  uintptr_t w = wParam, l = static_cast<uintptr_t>(lParam);
  if (!Fill(action.message, "WPARAM", rule->wParam, windows, held, w, error) ||
      !Fill(action.message, "LPARAM", rule->lParam, windows, held, l, error))
    return false;
  wParam = w;
  lParam = static_cast<LPARAM>(l);
  return true;
}
