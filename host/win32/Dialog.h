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
// A modal dialog's result (EndDialog's value).
using INT_PTR = intptr_t;

// Radio buttons come in groups: a radio flagged `group` (or the first radio
// after another kind of control) starts one, and it runs over the radios
// that follow it; checking one unchecks the others of its group.
// A progress bar (Progress) shows `done` of `total` and takes no input.
// A drop-down choice (Choice) offers the program's `options`; its `text` is
// the option chosen, "" for none, and its template text is its label.
// A tree (Tree) holds the program's items in a hierarchy (DialogTree.h);
// its template text is its label.
enum class ControlKind { Button, Edit, Static, Check, Radio, List, Progress, Choice, Tree };
// One item of a tree control. A tree keeps its items in display order
// (each item before its descendants, siblings in their order), so a
// subtree is a run of items and depth follows from the parents.
struct DialogTreeNode {
  int32_t item = 0;      // handle, never reused within the control
  int32_t parent = 0;    // 0: a top item
  int depth = 0;         // 0 for a top item
  std::string label;
  int image = 0;
  intptr_t value = 0;
  bool expanded = true;
};
struct DialogControl {
  int id = 0;
  ControlKind kind = ControlKind::Static;
  std::string name;          // the column an edit or list shows, if any
  std::string text;          // label, button text or the edit's value
  bool isDefault = false;    // the default button
  bool enabled = true;
  bool checked = false;      // Check, Radio
  bool groupStart = false;   // Radio: starts a group
  bool visible = true;       // false: hidden (ShowDlgItem)
  int64_t done = 0;          // Progress: filled part of `total`
  int64_t total = 0;
  uint32_t fill = 0x00FF00;          // Progress: colours, 0xRRGGBB
  uint32_t background = 0xC0C0C0;
  std::vector<std::string> options;  // Choice: what the person may pick from
  std::string label;                 // Choice, Tree: the template's text
  std::vector<DialogTreeNode> tree;  // Tree: items in display order
  int32_t treeLastHandle = 0;        // Tree: the last handle given
  int32_t treeSelected = 0;          // Tree: the selected item, 0 none
  int32_t treeEditItem = 0;          // Tree: during a label edit, its item
  std::string treeEditText;          //   and the text typed
  int32_t treeDragged = 0;           // Tree: during a drop, what was dragged
  int32_t treeTarget = 0;            //   and where it was dropped
};
// The filled part of a progress bar in whole percent, 0 to 100 (rounded
// down; 0 when `total` is 0 or less).
int DlgProgressPercent(int64_t done, int64_t total);
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
// Check boxes and radio buttons. Checking a radio button unchecks the others
// of its group; a radio button cannot be unchecked on its own (false).
bool CheckDlgButton(HWND dialog, int id, bool checked);
bool IsDlgButtonChecked(HWND dialog, int id);
// Checks `id` and unchecks the other radios of its group; `first` and `last`
// are the ids of the group's ends, as in the template (false when `id` is
// not a radio between them).
bool CheckRadioButton(HWND dialog, int first, int last, int id);
// Hides (false) or shows again a control: a hidden control is not shown
// to the person and takes no action.
bool ShowDlgItem(HWND dialog, int id, bool visible);
bool IsDlgItemVisible(HWND dialog, int id);
// A progress bar (control kind "progress"): `done` of `total` filled in
// colour `fill` (0xRRGGBB) over `background`; the person sees the percentage.
// total 0 shows an empty bar.
bool SetDlgProgress(HWND dialog, int id, int64_t done, int64_t total, uint32_t fill = 0x00FF00,
                    uint32_t background = 0xC0C0C0);
int64_t GetDlgProgressDone(HWND dialog, int id);
// A drop-down choice (control kind "choice"): the person picks one of the
// program's options or none; the dialog hears CBN_SELCHANGE from its id.
// GetDlgItemTextW gives the option chosen ("" for none). Options are
// distinct and never empty; SetDlgChoices drops empty and repeated ones.
// Replaces the options: the choice stays when it is still one of them,
// else it becomes none. False when `id` is not a choice of the dialog.
bool SetDlgChoices(HWND dialog, int id, const std::vector<std::string>& options);
std::vector<std::string> GetDlgChoices(HWND dialog, int id);
// Chooses `option` ("" for none): false, choice unchanged, when it is not
// one of the options (compared exactly) or `id` is not a choice.
bool SetDlgChoice(HWND dialog, int id, std::string_view option);
// The chosen option's index in the options, from 0; -1 for none.
int GetDlgChoice(HWND dialog, int id);
// The ids of the radio group `id` belongs to, in template order; empty
// when `id` is not a radio.
std::vector<int> RadioGroupOf(const DialogTemplate& tmpl, int id);

// List controls: a grid of rows under column headings. Rows and columns
// are the program's; a person selects rows (the dialog hears LBN_SELCHANGE
// from the list's id) and, in an editable column, types into the cell of
// the one selected row (EN_CHANGE from the list's id, the text already in
// place, GetDlgListFocusColumn naming the column). Rows are numbered from 1.
// Calls on a control that is not a list of the dialog do nothing (getters
// give nothing).
struct DlgListColumn {
  std::string name;      // what a script names it by (as well as the heading)
  std::string heading;   // what a person sees
  bool editable = false;
};
void SetDlgListColumns(HWND dialog, int id, const std::vector<DlgListColumn>& columns);
std::vector<DlgListColumn> GetDlgListColumns(HWND dialog, int id);
// Replaces the rows (each as many cells as there are columns; missing
// cells are empty); the selection and marks keep only rows still there.
void SetDlgListRows(HWND dialog, int id, const std::vector<std::vector<std::string>>& rows);
std::vector<std::vector<std::string>> GetDlgListRows(HWND dialog, int id);
std::vector<int> GetDlgListSelection(HWND dialog, int id);   // ascending, from 1
// Rows out of range are left out.
void SetDlgListSelection(HWND dialog, int id, const std::vector<int>& rows);
// Rows shown marked (a refused row, say); replaces the earlier marks.
void SetDlgListMarks(HWND dialog, int id, const std::vector<int>& rows);
std::vector<int> GetDlgListMarks(HWND dialog, int id);
// Sets one cell (column: index in the columns, from 0); false when the
// list, row or column is not there.
bool SetDlgListCell(HWND dialog, int id, int row, int column, std::string_view text);
// The column (its name) of the cell the person typed into last, or the
// program set with SetDlgListFocusColumn; "" when none.
std::string GetDlgListFocusColumn(HWND dialog, int id);
void SetDlgListFocusColumn(HWND dialog, int id, std::string_view column);

// Notification codes in the high word of WM_COMMAND's wParam: a button
// clicked (also a menu command), a command from an accelerator, an edit
// control whose text the user changed (the text is already in place).
constexpr uint16_t BN_CLICKED = 0;
constexpr uint16_t ACCEL_COMMAND = 1;
constexpr uint16_t EN_CHANGE = 0x0300;
// A list control whose selection the person changed (the rows already selected).
constexpr uint16_t LBN_SELCHANGE = 0x0401;
// A drop-down choice whose option the person changed (already chosen).
constexpr uint16_t CBN_SELCHANGE = 0x0402;

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
// The key of `table` that sends `command` ("Ctrl+S"); "" when none.
std::string GetAcceleratorKey(HACCEL table, UINT command);

// The clipboard: one text.
void SetClipboardText(std::string_view text);
std::string GetClipboardText();
