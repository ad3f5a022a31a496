// Drop-down choices of dialogs: the program's options, one chosen or none.
#include <algorithm>

#include "host/win32/Dialog.h"
#include "host/win32/DialogInternal.h"

bool SetDlgChoices(HWND dialog, int id, const std::vector<std::string>& options) {
  return _Win32_WithDlgControl(dialog, id, [&options](DialogControl& c) {
    if (c.kind != ControlKind::Choice) return false;
    c.options.clear();
    for (const std::string& o : options)
      if (!o.empty() && std::find(c.options.begin(), c.options.end(), o) == c.options.end())
        c.options.push_back(o);
    if (std::find(c.options.begin(), c.options.end(), c.text) == c.options.end()) c.text.clear();
    return true;
  });
}

std::vector<std::string> GetDlgChoices(HWND dialog, int id) {
  std::vector<std::string> options;
  _Win32_WithDlgControl(dialog, id, [&options](DialogControl& c) {
    if (c.kind == ControlKind::Choice) options = c.options;
    return true;
  });
  return options;
}

bool SetDlgChoice(HWND dialog, int id, std::string_view option) {
  return _Win32_WithDlgControl(dialog, id, [option](DialogControl& c) {
    if (c.kind != ControlKind::Choice) return false;
    if (!option.empty() && std::find(c.options.begin(), c.options.end(), option) == c.options.end())
      return false;
    c.text = std::string(option);
    return true;
  });
}

int GetDlgChoice(HWND dialog, int id) {
  int chosen = -1;
  _Win32_WithDlgControl(dialog, id, [&chosen](DialogControl& c) {
    if (c.kind != ControlKind::Choice || c.text.empty()) return true;
    const auto at = std::find(c.options.begin(), c.options.end(), c.text);
    if (at != c.options.end()) chosen = static_cast<int>(at - c.options.begin());
    return true;
  });
  return chosen;
}
