// The lister/editor framework of the host (PwMr75): record environments,
// listers (multi-row windows built from a lister definition) and editors
// (one-record forms built from an editor definition), the framework's
// commands on the top window, its set of enabled operations, and the vendor
// finder. Listers and editors are context windows (PwMr.h): children of the
// client window, asked before the module closes. They are dialogs (a
// template from the definition, or a generic one) whose module dialog
// procedure sees every message the framework does not consume; its
// WM_INITDIALOG carries the HLISTER or HEDITOR in lParam. A command (menu
// or accelerator) that neither handles goes on to the client window.
// A lister opens, creates and deletes records only through its linked
// editor (the definition's linked_view); without one it only lists.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "host/db/PwDb.h"
#include "host/sys/Bucket.h"
#include "host/win32/Dialog.h"

// ---- framework codes ---------------------------------------------------------------
// What MrProc_MrProcCmd does on the top context window. Bit k of the menu
// set (MrProc_MrProcMenuSet) is set exactly when code k is available there.
enum MrCode : int {
  kMrSaveWindow = 2,     // module windows that save as a whole (bit only)
  kMrDelete = 4,         // lister: delete the selected rows (asked first); editor: its record
  kMrNext = 5,           // next record (editor: of its lister's selection; lister: selection)
  kMrPrevious = 6,       // previous record
  kMrPrint = 7,          // module report lists (bit only)
  kMrEdit = 8,           // lister: open the linked editor on the selected row; editor: edit mode
  kMrSaveToFile = 9,     // module report lists (bit only)
  kMrFirst = 10,         // first record
  kMrLast = 11,          // last record
  kMrNew = 12,           // lister: linked editor on a new row; editor: a new record
  kMrCopy = 13,          // editor: a new record with the current values
  kMrSave = 14,          // editor: save the changed columns in one transaction
  kMrCancel = 15,        // editor: drop the unsaved changes
  kMrSearch = 17,        // lister: run the search criteria (asked when none are set)
  kMrRefresh = 24,       // reload the rows or the record
};

// ---- record environments --------------------------------------------------------------
// A named group of listers and editors sharing a session ("poline",
// "statmnt"). Freed with its last window or explicitly.
struct EnvirImpl;
using HENVIR = EnvirImpl*;
HENVIR MrProc_NewEnvir(HDb session, std::string_view name);
void MrProc_FreeEnvir(HENVIR* envir);
std::string MrProc_EnvirName(HENVIR envir);

// ---- listers ----------------------------------------------------------------------------
// A lister's rows come from the database as they are needed, so a list of a
// hundred thousand rows opens at once: opening and searching fetch the first
// 50 rows (a refresh as many as there were), and rows further down are
// fetched when they are selected or moved to (MrLister_SetSelection, next,
// last; last fetches the rest of the list). The list's order is the sort
// column, the definition's order, then the key columns, with NULLs first
// either way, so it is the same on every fetch; the next rows are those that
// come after the last one fetched. A definition whose order is not a list of
// its columns, or that has no key columns, loads every row at once. While
// rows are left to fetch, the lister's window tells "N rows, showing 1-M"
// (N counted when the load ran).
struct ListerImpl;
using HLISTER = ListerImpl*;
// Builds a lister from definition `viewName` in `envir`, as a child of
// `parent`, with the module's dialog procedure (nullptr: none) and a where
// clause added to the definition's ("" for none). Not loaded or shown yet.
// nullptr when the definition is unknown (the reason goes to the trace).
HLISTER MrLister_MrListerUserInst(HENVIR envir, std::string_view viewName, DLGPROC dlgProc,
                                  HWND parent, std::string_view extraWhere,
                                  std::string_view caption);
// Loads the rows and shows the lister; `sizeKey` names its saved placement.
// False (error shown through the UI driver) when the load fails.
bool MrLister_MrListerBegin(HLISTER lister, std::string_view sizeKey);
HWND MrLister_Hwnd(HLISTER lister);
HLISTER MrLister_FromHwnd(HWND hwnd);            // nullptr when not a lister
std::string MrLister_ViewName(HLISTER lister);
// The rows fetched so far: rows 1..M of the list, in its order (every row of
// it once MrLister_RowCount equals M). Owned by the lister; do not change.
// Row numbers (the selection's, a script's "select N") are rows of it.
BktHandle MrLister_Rows(HLISTER lister);
// Selected rows, ascending; always rows of MrLister_Rows.
std::vector<int> MrLister_Selection(HLISTER lister);
// Selects rows by number, fetching through the highest first; numbers past
// the end of the list are left out.
void MrLister_SetSelection(HLISTER lister, const std::vector<int>& rows);
// Fetches rows until row `row` is there or the list ends (INT_MAX: every
// row); returns the rows fetched then, fewer than `row` only when the list
// has no more. A failed fetch is shown through the UI driver and returns
// the rows there were.
int MrLister_FetchRows(HLISTER lister, int row);
// Rows in the list, fetched or not (counted at the last load while rows are
// left to fetch; exact once all are fetched).
int MrLister_RowCount(HLISTER lister);
// A search criterion: rows whose `column` starts with `value` (text) or
// equals it (numbers, dates); an empty value drops the criterion. The search
// runs on kMrSearch. False when the column is not searchable or the value
// does not fit it.
bool MrLister_SetSearch(HLISTER lister, std::string_view column, std::string_view value);
// Sorts the list on a column (descending when `descending`; NULLs first
// either way). With every row fetched the rows are sorted in place, rows
// equal on the column keeping their order; otherwise the database sorts
// (rows equal on the column in the definition's order) and the list is
// fetched again as far as it was, the selected records staying selected
// wherever they now are.
bool MrLister_Sort(HLISTER lister, std::string_view column, bool descending);

// ---- editors ----------------------------------------------------------------------------
struct EditorImpl;
using HEDITOR = EditorImpl*;
// Opens an editor from definition `viewName` on the record that `where`
// selects ("" with `newRecord` for a new one), shows it, returns nullptr
// (error shown) when the record cannot be loaded.
// Before a record changes the editor asks the client window: 0x0E2C before
// the first change of a saved record, 0x0E2D before a new record or a copy,
// wParam the editor's window, lParam the window of the lister it was opened
// from (0 when none); 0 refuses (MrProc_MrWndProc allows both).
HEDITOR MrEditor_Open(HENVIR envir, std::string_view viewName, DLGPROC dlgProc, HWND parent,
                      std::string_view where, bool newRecord, std::string_view caption);
HWND MrEditor_Hwnd(HEDITOR editor);
HEDITOR MrEditor_FromHwnd(HWND hwnd);            // nullptr when not an editor
BktHandle MrEditor_Record(HEDITOR editor);       // one row; owned by the editor
// Sets a field from text, parsed for the column's type; false with the
// reason in `error` (and nothing changed) when the text does not fit.
bool MrEditor_SetField(HEDITOR editor, std::string_view column, std::string_view text,
                       std::string* error);
bool MrEditor_IsChanged(HEDITOR editor);
// Saves the changed columns in one transaction of the environment's session
// (insert for a new record). False, with the error shown, on failure; the
// record keeps its edits.
bool MrEditor_Save(HEDITOR editor);

// ---- the framework on the top window ------------------------------------------------------
// The top context window: the one made current last (KtWin: the active one).
HWND KtWin_GetTopKtWnd();
// Runs framework code `code` on the top context window, on the session of
// the window's environment (`session` is not used); false when the code is
// not available there, the window's module refused it (kMrQueryCode), or
// the window's action failed or was declined. Every script action and menu
// command that runs a code comes through here, so the module is asked each
// time a code runs, whoever asked for it.
bool MrProc_MrProcCmd(HDb session, int code, HWND client);
// Before a code runs on a window, the framework sends the window
// kMrQueryCode (wParam the code); its dialog procedure hands it to the
// module's. A non-zero answer stops the code: the module has told the
// person why (a refused privilege prompt has). Windows whose module does not
// answer (DefDlgProc gives 0) let every code run.
constexpr UINT kMrQueryCode = 0x0E32;
// After a code ran on a window that is still open, the framework sends it
// kMrCodeDone: wParam the code, lParam 1 when the code did what it should
// (a save that saved), 0 when it failed or was declined.
constexpr UINT kMrCodeDone = 0x0E33;
// Bit k set: code k available on `hwnd` (framework codes, plus the bits the
// module gave the window with MrProc_SetWindowMenuBits, less the codes it
// withholds there).
uint32_t MrProc_MrProcMenuSet(HWND hwnd);
void MrProc_SetWindowMenuBits(HWND hwnd, uint32_t bits);
// Codes (bit k: code k) the module withholds on `hwnd`: never offered in
// its menu set, never run there (the one record of a settings table is
// neither deleted nor joined by a second, say). Replaces the earlier set.
void MrProc_WithholdCodes(HWND hwnd, uint32_t bits);

// Lets the user pick a vendor from the vendor lister; false on cancel.
bool MrVendor_FindVendor(HDb session, HWND owner, int32_t& vendor, std::string& vendorName);
// The same over lister definition `definition` (its rows vendors, with the
// columns vendor# and name): "vendacq" is the finder of acquisitions.
// False on cancel, and (told) when the definition is not there.
bool MrVendor_FindVendorIn(HDb session, HWND owner, std::string_view definition,
                           int32_t& vendor, std::string& vendorName);
// Lets the user pick a borrower from the "borrower_find" lister (columns
// borrower#, name, bbarcode); false on cancel.
bool MrBorrower_FindBorrower(HDb session, HWND owner, int32_t& borrower, std::string& name);

// ---- modal dialogs -------------------------------------------------------------------------
// Creates the dialog and waits for it as the vendor finder waits for its
// lister: the driver's window actions go to it until EndDialog. Returns
// EndDialog's result; IDCANCEL (2) when it was closed or the driver ran out
// of actions; -1 when the template is missing (or `proc` is none). A
// dialog opened from a modal dialog's procedure is modal over it.
INT_PTR DialogBoxParamW(HINSTANCE res, int templateId, HWND parent, DLGPROC proc, LPARAM param);
INT_PTR DialogBoxIndirectParamW(const DialogTemplate& tmpl, HWND parent, DLGPROC proc,
                                LPARAM param);
// Ends a modal dialog with `result` (the dialog is destroyed once its
// procedure returns); false when `dialog` is not a modal dialog waiting.
bool EndDialog(HWND dialog, INT_PTR result);

// ---- editors: module-owned saves, focus, child rows --------------------------------------
// With a handler set, kMrSave calls it instead of the framework's write: it
// checks (and may refuse, telling the person and focusing a field), writes
// in the module's own transaction and returns true when saved; the editor
// then takes its record (and child rows) as saved. False keeps the editor
// open with every change.
using MrSaveHandler = std::function<bool(HEDITOR editor)>;
void MrEditor_SetSaveHandler(HEDITOR editor, MrSaveHandler handler);
// Puts the focus on a field (a column of the record, or a child column);
// the driver is told (a script's transcript: "notice focus COLUMN"). A
// person typing into a field or child cell moves the focus there too.
void MrEditor_FocusField(HEDITOR editor, std::string_view column);
std::string MrEditor_FocusedField(HEDITOR editor);
// The record again from the database (a new record stays as it is); the
// edits are dropped. False (error shown) when it cannot be read.
bool MrEditor_Reload(HEDITOR editor);
// An editor over a row and its child rows (a line and its items): rows
// owned by the module, shown as a list under the fields with `columns`
// (names) and `headings`. `select N` selects child rows; `field NAME "v"`
// where NAME is not a field of the record but a child column (name or
// heading) edits that cell of the one selected child row (marked changed;
// the editor counts as changed). Deleted rows (state kRowDeleted) show
// marked "(deleted)" and take no typing. The module adds rows (state new)
// and deletes them itself and then calls MrEditor_ChildRowsChanged so the
// view and the changed state follow. The editor is changed while the rows
// hold a new, deleted or changed row, or the module told of a change since
// the rows were last taken as saved. Cancel (and No to "Save changes?")
// puts the rows back as they were set or last saved; a save that saved
// drops the deleted rows, makes the new ones existing and clears the change
// flags. `rows` stays the module's (never destroyed here) and must live
// until the editor closes or another is set; nullptr drops the child list.
// Missing headings are the column names. Setting rows clears the selection.
// When the editor shows another record (next, new, refresh: the module
// hears kMrCodeDone) the module sets that record's rows.
void MrEditor_SetChildRows(HEDITOR editor, BktHandle rows, const std::vector<std::string>& columns,
                           const std::vector<std::string>& headings);
// How a child column is shown and typed ("", "date", "money", "bool" as in
// view definitions) and whether a person may type into it. By default every
// child column is shown plain and takes typing, except key columns of rows
// that are not new. Kept when the rows are set again with that column.
void MrEditor_SetChildColumn(HEDITOR editor, std::string_view column, std::string_view format,
                             bool editable);
std::vector<int> MrEditor_ChildSelection(HEDITOR editor);   // rows from 1, ascending
void MrEditor_SetChildSelection(HEDITOR editor, const std::vector<int>& rows);
void MrEditor_ChildRowsChanged(HEDITOR editor);
// The id the child list has in the notifications the editor's dialog
// procedure gets: WM_COMMAND(MAKEWPARAM(kMrChildListId, EN_CHANGE)) after a
// person typed into a child cell (MrEditor_FocusedField names its column,
// MrEditor_ChildSelection its row), LBN_SELCHANGE after they selected rows.
constexpr int kMrChildListId = 998;

// ---- lister marks --------------------------------------------------------------------------
// Rows shown marked (refused approvals). Marks stay with their records
// through sorts, refreshes and deletes of other rows; a search (a fresh
// list) clears them. Rows not fetched cannot be marked.
void MrLister_SetMark(HLISTER lister, int row, bool marked);
bool MrLister_IsMarked(HLISTER lister, int row);
