// Inside PwMr75: the records behind environments, listers and editors, and
// the helpers the framework's source files share. Not part of the
// library's contract. Everything here runs on the user-interface thread.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "host/mr/MrFramework.h"

namespace mr {

// One column of a view definition.
struct ViewColumn {
  std::string name;
  std::string heading;
  std::string format;   // "", "date", "money", "bool"
  int width = 10;
  bool editable = false;
  bool searchable = false;
};

// A view definition, copied out of the host's definition Buckets.
struct ViewDef {
  std::string name;
  char kind = 'L';
  std::string source;
  std::vector<std::string> keys;
  std::string where;
  std::string orderBy;
  std::string caption;
  int dialogTemplate = 0;
  std::string linkedView;
  bool searchFirst = false;   // opens empty; lists only what a search finds
  std::vector<ViewColumn> columns;

  // The column named `column` or, failing that, headed so (either
  // case-insensitively); nullptr when none.
  const ViewColumn* Column(std::string_view column) const;
  // The columns to select: the shown ones, then key columns not shown.
  std::string SelectList() const;
};
// Definition `name` of `kind` ('L' or 'E'); false with the reason.
bool ReadViewDef(std::string_view name, char kind, ViewDef& out, std::string& why);

// ---- values ---------------------------------------------------------------------------
// Cell (row, col) as a person reads it, by the column's type and `format`.
std::string FormatCell(BktHandle bkt, int row, int col, std::string_view format);
// Parses `text` as a person types it for (row, col) into `out` (an int64
// for integer types, raw millionths for Dec64, the text for text); false
// with the reason. Empty text is NULL (`isNull`).
struct ParsedValue {
  bool isNull = false;
  int64_t number = 0;
  std::string text;
};
bool ParseForColumn(BktHandle bkt, int col, std::string_view format, std::string_view text,
                    ParsedValue& out, std::string& error);
void StoreParsed(BktHandle bkt, int row, int col, const ParsedValue& value);
// The cell as an SQL literal of the module's dialect ("null" for NULL).
std::string SqlLiteral(BktHandle bkt, int row, int col);
// "k1=v1 and k2=v2" for the key columns of row `row`; false when a key
// column is not in the Bucket.
bool KeyWhere(const std::vector<std::string>& keys, BktHandle bkt, int row, std::string& out);
// Whether rows `a` of `ba` and `b` of `bb` have equal keys.
bool SameKeys(const std::vector<std::string>& keys, BktHandle ba, int a, BktHandle bb, int b);

// ---- writes ----------------------------------------------------------------------------
// Runs `write` in one transaction of `db` and commits. On failure: rolls
// back, calls `undo` (which puts the Buckets back as they were before the
// write) and returns the code with the text in `msg`. When another
// workstation kept the database locked (code 10), an outermost transaction
// is tried again from the start after a growing pause, six tries in all.
// A row changed since it was read (code 11) is returned at once: writing the
// same values again could only overwrite that change.
DbCode WriteInTransaction(HDb db, const std::function<DbCode(DbMsg&)>& write,
                          const std::function<void()>& undo, DbMsg& msg);

// ---- messages --------------------------------------------------------------------------
void ShowDbError(HWND owner, DbCode code, const DbMsg& msg);
void ShowUserError(HWND owner, std::string_view caption, std::string_view text);
// "Delete N record(s)?" (Yes/No); true for Yes.
bool AskDelete(HWND owner, int count);
// Asks the client window whether the editor's record may change (0x0E2C
// edit, 0x0E2D new, copy or delete); true when allowed.
bool RecordChangeAllowed(HWND editor, UINT request);
constexpr UINT kMsgRecordEdit = 0x0E2C;
constexpr UINT kMsgRecordNew = 0x0E2D;

// ---- registry --------------------------------------------------------------------------
bool IsLive(HENVIR envir);
bool IsLive(HLISTER lister);
bool IsLive(HEDITOR editor);
void Register(HLISTER lister);
void Register(HEDITOR editor);
void Unregister(HLISTER lister);
void Unregister(HEDITOR editor);
// Adds or removes a window of the environment; the environment is freed
// with its last window.
void AttachWindow(HENVIR envir, HWND hwnd);
void DetachWindow(HENVIR envir, HWND hwnd);
HDb SessionOf(HENVIR envir);

// ---- framework codes on one window --------------------------------------------------------
uint32_t ListerBits(HLISTER lister);
bool ListerCommand(HLISTER lister, int code);
uint32_t EditorBits(HEDITOR editor);
bool EditorCommand(HEDITOR editor, int code);
// Reloads the lister's rows keeping the selected records selected; false
// (error shown) when the load fails.
bool ReloadLister(HLISTER lister);
// Sets (or, for an empty value, drops) the search criterion of a
// searchable column; false with the reason when the column is not
// searchable or the value does not fit it.
bool SetSearchCriterion(HLISTER lister, std::string_view column, std::string_view value,
                        std::string& error);
// Picker listers (the vendor finder): IDOK picks the selection, IDCANCEL
// gives up; either ends the modal loop.
void MakePicker(HLISTER lister);
bool PickerEnded(HLISTER lister, bool& picked);

inline DialogControl MakeControl(int id, ControlKind kind, std::string_view name,
                                 std::string_view text, bool isDefault = false) {
  DialogControl c;
  c.id = id;
  c.kind = kind;
  c.name = std::string(name);
  c.text = std::string(text);
  c.isDefault = isDefault;
  return c;
}
// A command (menu or accelerator) the window and its module procedure left
// unhandled goes on to the client window, as commands of a view go on to
// its frame. Control notifications stay with the dialog. True when sent.
bool RouteCommandToClient(HWND dialog, WPARAM wParam);

// Waits for `dialog` as a modal window: the driver's window actions go to
// it (other actions are refused: the window waits for its answer) and
// posted messages are dispatched, until `ended` says so, the window is
// gone, or the driver has no more actions.
void RunModal(HWND dialog, const std::function<bool()>& ended);

// ---- child rows of an editor ----------------------------------------------------------------
// The index in editor->childColumns of the column named or headed `column`
// (case-insensitively); -1 when none.
int ChildColumn(HEDITOR editor, std::string_view column);
// Child row `row` as shown, one cell per child column.
std::vector<std::string> ChildCells(HEDITOR editor, int row);
// Whether a person may type into the child cell (row, column index):
// false with the reason when the row is deleted or the column read-only
// there.
bool ChildCellTakesTyping(HEDITOR editor, int row, int column, std::string& why);
// Types `text` into the child cell as a person does: refused (false, the
// reason in `error`, nothing changed) when the cell takes no typing, the
// text does not fit or the module refuses the change; else stored, the
// focus on the column, and the editor's procedure told EN_CHANGE from
// kMrChildListId.
bool TypeIntoChildCell(HEDITOR editor, int row, int column, std::string_view text,
                       std::string& error);
// Selects child rows (out-of-range rows left out) and tells the editor's
// procedure LBN_SELCHANGE from kMrChildListId.
void SelectChildRows(HEDITOR editor, const std::vector<int>& rows);

// The generic templates.
DialogTemplate GenericListerTemplate(const ViewDef& def, std::string_view caption);
DialogTemplate GenericEditorTemplate(const ViewDef& def, std::string_view caption);
constexpr int kListControlId = 1000;
constexpr int kFirstFieldId = 1001;
// A label the framework adds to every lister: "1,000 rows, showing 1-50"
// while rows are left to fetch, empty (not shown) when all are there.
constexpr int kRowCountControlId = 999;

}  // namespace mr

struct EnvirImpl {
  HDb session = nullptr;
  std::string name;
  std::vector<HWND> windows;   // its listers and editors, oldest first
};

struct ListerImpl {
  HENVIR envir = nullptr;
  mr::ViewDef def;
  DLGPROC dlgProc = nullptr;    // the module's; nullptr for none
  HWND hwnd = nullptr;
  std::string extraWhere;
  // Typed at creation; reloads replace its rows. Holds the first rows of the
  // list in the list's order, as far as they are fetched (MrLister.cpp).
  BktHandle rows = nullptr;
  std::vector<int> selection;   // rows, ascending, unique
  // Search criteria by column: the SQL condition of each (built when set).
  std::map<std::string, std::string> search;
  std::string sortColumn;       // "" keeps the definition's order
  bool sortDescending = false;
  // Whether `rows` holds every row of the list; while not, its order is the
  // order the database gave, and the next rows are fetched after its last.
  bool complete = true;
  // Rows in the list, fetched or not: counted when a load leaves rows
  // unfetched, exact once every row is fetched.
  int total = 0;
  bool picker = false;
  bool ended = false;           // picker: IDOK or IDCANCEL seen
  bool picked = false;
  std::vector<int> marks;       // rows shown marked, ascending, unique
};

struct EditorImpl {
  HENVIR envir = nullptr;
  mr::ViewDef def;
  DLGPROC dlgProc = nullptr;
  HWND hwnd = nullptr;
  BktHandle record = nullptr;    // one row: the record as edited
  BktHandle original = nullptr;  // the record as loaded or last saved
  bool isNew = false;
  bool editing = false;          // the record-change request was granted
  // The window of the lister it was opened from, if any (a window handle
  // never comes back, so a closed lister is never mistaken for a new one).
  HWND listerHwnd = nullptr;
  MrSaveHandler saveHandler;     // the module's save; empty: the framework writes
  std::string focus;             // the field (or child column) with the focus
  // Child rows: the module's Bucket (never destroyed here), the columns
  // shown (name, heading, format, editable), the selected rows.
  BktHandle childRows = nullptr;
  std::vector<mr::ViewColumn> childColumns;
  std::vector<int> childSelection;   // ascending, unique, rows of childRows
  // Set when the module added or removed rows (MrEditor_ChildRowsChanged)
  // since the rows were last taken as saved.
  bool childChanged = false;
  BktHandle childOriginal = nullptr;   // ours: the child rows as last saved, for Cancel
};
