// Dialogs of the host's Win32 subset: windows built from a dialog template
// (a caption and controls with ids), a dialog procedure that handles the
// module's part, accelerator tables, and the clipboard. Templates and
// accelerator tables are data: the resource files of the module's language
// library ("<module>.<lang>.dlg", see RunTime.h), rendered by the UI driver.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/sys/RunTime.h"
#include "host/win32/Win32.h"

// A dialog procedure returns TRUE when it handled the message (for
// WM_INITDIALOG: TRUE to let the system set the focus).
using DLGPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

enum class ControlKind { Button, Edit, Static, Check, List };
struct DialogControl {
  int id = 0;
  ControlKind kind = ControlKind::Static;
  std::string name;          // the column an edit or list shows, if any
  std::string text;          // label, button text or the edit's value
  bool isDefault = false;    // the default button
  bool enabled = true;
  bool checked = false;      // Check
};
struct DialogTemplate {
  int id = 0;
  std::string caption;
  std::vector<DialogControl> controls;
};

// Template `id` of the resource instance; nullopt when it has none.
std::optional<DialogTemplate> LoadDialogTemplate(HINSTANCE res, int id);
// Creates a modeless dialog (child of `parent`) from the template with the
// procedure; sends WM_INITDIALOG (lParam = `param`) before returning.
// nullptr when the template is missing.
HWND CreateDialogParamW(HINSTANCE res, int templateId, HWND parent, DLGPROC proc, LPARAM param);
HWND CreateDialogIndirectParamW(const DialogTemplate& tmpl, HWND parent, DLGPROC proc,
                                LPARAM param);
bool IsDialog(HWND hwnd);
// The default handling of a dialog message: IDCANCEL and WM_CLOSE destroy
// the dialog; everything else 0.
LRESULT _Win32_DefDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
const DialogTemplate* GetDialogTemplate(HWND dialog);  // controls with current values
std::string GetDlgItemTextW(HWND dialog, int id);
bool SetDlgItemTextW(HWND dialog, int id, std::string_view text);
bool EnableDlgItem(HWND dialog, int id, bool enabled);
bool SetDefaultDlgButton(HWND dialog, int id);
int GetDefaultDlgButton(HWND dialog);
// Focus within a dialog (the control edit commands apply to).
void SetDlgFocus(HWND dialog, int id);
int GetDlgFocus(HWND dialog);
// Check boxes.
bool CheckDlgButton(HWND dialog, int id, bool checked);
bool IsDlgButtonChecked(HWND dialog, int id);

// Notification codes in the high word of WM_COMMAND's wParam: a button
// clicked (also a menu command), a command from an accelerator, an edit
// control whose text the user changed (the text is already in place).
constexpr uint16_t BN_CLICKED = 0;
constexpr uint16_t ACCEL_COMMAND = 1;
constexpr uint16_t EN_CHANGE = 0x0300;

// What the window system tells the user interface about dialogs: created
// (after WM_INITDIALOG) and destroyed (before WM_DESTROY reaches the
// procedure). The user-interface library installs the observer; nullptr
// removes it.
enum class DialogEvent { Created, Destroyed };
using DialogObserver = void (*)(HWND dialog, DialogEvent event);
void _Win32_SetDialogObserver(DialogObserver observer);

// Accelerator tables: key names ("Ctrl+F", "F3", "Enter") to commands.
struct AcceleratorImpl;
using HACCEL = AcceleratorImpl*;
HACCEL LoadAcceleratorsW(HINSTANCE res, int tableId);   // nullptr when absent
bool _Win32_SetAccelTable(HWND hwnd, HACCEL table);
// The command `key` stands for on `hwnd` (its table); 0 when none.
UINT TranslateAcceleratorKey(HWND hwnd, std::string_view key);

// The clipboard: one text.
void SetClipboardText(std::string_view text);
std::string GetClipboardText();
