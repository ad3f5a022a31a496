// Window tools of the lister/editor windows: the current view, the frame's
// menu items, the clipboard commands on a dialog's focused control, and the
// notices a person would have seen as dialogs open and close, and the
// dialogs' pop-up menus.
//
// The current view is kept as a history of windows in the order they were
// made current (the last is current); destroyed windows drop out, so the
// window current before a closed one is current again. User-interface
// thread only.
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "host/muc/MucTools.h"
#include "host/muc/UiWords.h"
#include "host/win32/Dialog.h"
#include "host/win32/DialogTree.h"

namespace {

constexpr UINT kCmdClear = 57632;
constexpr UINT kCmdCopy = 57634;
constexpr UINT kCmdCut = 57635;
constexpr UINT kCmdPaste = 57637;

std::vector<HWND>& Views() {
  static std::vector<HWND>* views = new std::vector<HWND>;
  return *views;
}

void Forget(HWND hwnd) {
  std::vector<HWND>& views = Views();
  views.erase(std::remove(views.begin(), views.end(), hwnd), views.end());
}

// Puts `hwnd` on top of the views; a window brought back to the top is
// told to the person (a new one is told as opened instead).
void MakeCurrent(HWND hwnd, bool tell) {
  if (!IsWindow(hwnd)) return;
  const bool changed = MucTools_GetCurrKtView() != hwnd;
  Forget(hwnd);
  Views().push_back(hwnd);
  if (tell && changed && IsDialog(hwnd)) {
    if (UiDriver* driver = Ui_Driver())
      driver->Notice("window", "current " + Ui_Quote(GetWindowTextW(hwnd)));
  }
}

void OnDialogEvent(HWND dialog, DialogEvent event) {
  const bool opened = event == DialogEvent::Created;
  if (opened)
    MakeCurrent(dialog, false);
  else
    Forget(dialog);
  if (UiDriver* driver = Ui_Driver())
    driver->Notice("window", std::string(opened ? "open " : "close ") +
                                 Ui_Quote(GetWindowTextW(dialog)));
}

// PwWin32 sits below this library and cannot call the driver itself.
[[maybe_unused]] const bool dialogObserverInstalled =
    (_Win32_SetDialogObserver(OnDialogEvent), true);

// A pop-up menu through the driver: the item texts as a person reads them.
UINT ShowPopupMenu(HWND, const std::vector<PopupMenuItem>& items) {
  UiDriver* driver = Ui_Driver();
  if (driver == nullptr) return 0;
  std::vector<std::string> texts;
  for (const PopupMenuItem& item : items) {
    std::string text;
    for (char ch : item.text)
      if (ch != '&') text.push_back(ch);
    texts.push_back(std::move(text));
  }
  const std::optional<size_t> picked = driver->AskMenu(texts);
  return picked && *picked < items.size() ? items[*picked].command : 0;
}

[[maybe_unused]] const bool popupMenuHandlerInstalled =
    (_Win32_SetPopupMenuHandler(ShowPopupMenu), true);

// The focused control of `hwnd` when it is an enabled edit control.
const DialogControl* FocusedEdit(HWND hwnd) {
  const DialogTemplate* tmpl = hwnd ? GetDialogTemplate(hwnd) : nullptr;
  if (tmpl == nullptr) return nullptr;
  const int focus = GetDlgFocus(hwnd);
  for (const DialogControl& c : tmpl->controls)
    if (c.id == focus) return c.kind == ControlKind::Edit && c.enabled ? &c : nullptr;
  return nullptr;
}

HMENU FrameMenu() { return PwMucBase_hwndFrame ? GetMenu(PwMucBase_hwndFrame) : nullptr; }

}  // namespace

void MucTools_SetCurrKtView(HWND hwnd) { MakeCurrent(hwnd, true); }

HWND MucTools_GetCurrKtView() {
  std::vector<HWND>& views = Views();
  while (!views.empty() && !IsWindow(views.back())) views.pop_back();
  return views.empty() ? nullptr : views.back();
}

void MucTools_EnableMenuItem(UINT command, bool enabled) {
  if (HMENU menu = FrameMenu()) EnableMenuItem(menu, command, enabled);
}

bool MucTools_IsMenuItemEnabled(UINT command) {
  HMENU menu = FrameMenu();
  return menu && IsMenuItemEnabled(menu, command);
}

void MucTools_EnableEditMenu(HWND hwnd) {
  const DialogControl* edit = FocusedEdit(hwnd);
  const bool hasText = edit && !edit->text.empty();
  MucTools_EnableMenuItem(kCmdCut, hasText);
  MucTools_EnableMenuItem(kCmdCopy, hasText);
  MucTools_EnableMenuItem(kCmdClear, hasText);
  MucTools_EnableMenuItem(kCmdPaste, edit && !GetClipboardText().empty());
}

void MucTools_HandleEditCmd(UINT command, HWND hwnd) {
  const DialogControl* edit = FocusedEdit(hwnd);
  if (edit == nullptr) return;
  const int id = edit->id;
  const std::string text = edit->text;
  std::string changed;
  switch (command) {
    case kCmdCopy:
      SetClipboardText(text);
      return;
    case kCmdCut:
      SetClipboardText(text);
      break;
    case kCmdClear:
      break;
    case kCmdPaste:
      changed = GetClipboardText();
      break;
    default:
      return;
  }
  // The dialog hears of the change as if the person had typed it.
  SetDlgItemTextW(hwnd, id, changed);
  SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(static_cast<uint16_t>(id), EN_CHANGE), 0);
}

// Windows here have no system menu to replace.
void MucTools_ReplaceSysMenu(HWND) {}

void MucTools_SetDefaultButton(HWND hwnd, int id) { SetDefaultDlgButton(hwnd, id); }

std::string MucTools_BuildSizeKey(std::string_view name) {
  RECT frame;
  if (!PwMucBase_hwndFrame || !GetClientRect(PwMucBase_hwndFrame, frame)) return std::string(name);
  return std::string(name) + "." + std::to_string(frame.right - frame.left) + "x" +
         std::to_string(frame.bottom - frame.top);
}

void MucTools_About(HWND owner) {
  MucTools_MsgBox(owner, "About Acquisitions",
                  "Acquisitions: purchase orders, receiving, invoicing, budgets, statements "
                  "and electronic trading with vendors.",
                  MB_OK | MB_ICONINFORMATION);
}
