// Editors: a dialog over one record of an editor definition's table. The
// template's edit and check controls whose names are columns of the record
// are its fields: what the person types reaches the record through
// EN_CHANGE (or BN_CLICKED for a check box) and is refused, with the
// control put back, when it does not fit the column.
//
// Changes are tracked by the record's change flags; a save writes only the
// changed columns, in one transaction, so another workstation's change to
// another column of the same row survives. A failed save puts the record
// back as it was before the attempt (edits kept, flags kept) and shows the
// error. `original` holds the record as last loaded or saved, for Cancel.
//
// A module may own the save (MrEditor_SetSaveHandler) and the rows under
// the record (child rows: its Bucket, shown as a list). The editor then only
// keeps the changed state: the child rows count as changed while one is
// new, deleted or changed (or the module said so), Cancel puts back the
// copy taken when they were set or last saved, and a save that saved takes
// them as saved.
#include <algorithm>
#include <cctype>
#include <map>
#include <memory>
#include <optional>

#include "host/mr/MrInternal.h"
#include "host/mr/PwMr.h"
#include "host/muc/MucTools.h"

namespace mr {
namespace {

constexpr int kMaxCommand = 4095;

std::map<HWND, HEDITOR>& EditorWindows() {
  static auto* m = new std::map<HWND, HEDITOR>;
  return *m;
}

std::string CaptionOf(HEDITOR editor) { return GetWindowTextW(editor->hwnd); }
HLISTER ListerOf(HEDITOR editor) { return MrLister_FromHwnd(editor->listerHwnd); }
HDb Session(HEDITOR editor) { return SessionOf(editor->envir); }

bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

bool IsKey(const ViewDef& def, std::string_view column) {
  for (const std::string& key : def.keys)
    if (EqualNoCase(key, column)) return true;
  return false;
}

// Loads the record `where` selects into `record` (its rows replaced).
// False with the code and text in `msg` when the load fails or does not
// find exactly one record.
DbCode LoadRecord(HDb db, const ViewDef& def, std::string_view where, BktHandle record,
                  DbMsg& msg) {
  std::string cmd;
  DbCode code = _DbAppend(cmd, kMaxCommand, "select " + def.SelectList() + " from " +
                                                def.source + " where (" + std::string(where) + ")");
  if (code == kDbOk && !def.where.empty())
    code = _DbAppend(cmd, kMaxCommand, " and (" + def.where + ")");
  if (code == kDbTooLong) msg.Set("The record's condition is too long.");
  if (code == kDbOk) code = _DbCmd(db, cmd, kMaxCommand);
  if (code == kDbOk) code = _DbLoadQuery(db, record, kLoadReplace, 0, 0, 0, "", "", "", "", msg);
  if (code != kDbOk) return code;
  const int count = _BktCountAll(record);
  if (count == 1) return kDbOk;
  msg.Set(count == 0 ? "The record no longer exists." : "The record is not unique.");
  return kDbNotFound;
}

// The column a control stands for; 0 when it is no field of the record.
int FieldColumn(HEDITOR editor, const DialogControl& c) {
  if ((c.kind != ControlKind::Edit && c.kind != ControlKind::Check) || c.name.empty()) return 0;
  return _BktGetColNum(editor->record, c.name);
}

bool FieldEditable(HEDITOR editor, std::string_view column) {
  const ViewColumn* c = editor->def.Column(column);
  return c && c->editable && (editor->isNew || !IsKey(editor->def, column));
}

std::string FormatField(HEDITOR editor, int col) {
  const ViewColumn* c = editor->def.Column(_BktGetColName(editor->record, col));
  return FormatCell(editor->record, 1, col, c ? c->format : "");
}

// Puts the record's values into the field controls.
void SyncControls(HEDITOR editor) {
  const DialogTemplate* tmpl = GetDialogTemplate(editor->hwnd);
  if (tmpl == nullptr) return;
  std::vector<DialogControl> controls = tmpl->controls;   // the calls below change it
  for (const DialogControl& c : controls) {
    const int col = FieldColumn(editor, c);
    if (col == 0) continue;
    if (c.kind == ControlKind::Check) {
      const bool on =
          !_ColIsNull(editor->record, 1, col) && FormatCell(editor->record, 1, col, "") != "0";
      CheckDlgButton(editor->hwnd, c.id, on);
    } else {
      SetDlgItemTextW(editor->hwnd, c.id, FormatField(editor, col));
    }
    EnableDlgItem(editor->hwnd, c.id, FieldEditable(editor, c.name));
  }
}

bool SameAsCell(BktHandle bkt, int row, int col, const ParsedValue& v) {
  if (_ColIsNull(bkt, row, col) || v.isNull) return _ColIsNull(bkt, row, col) && v.isNull;
  switch (_BktGetColType(bkt, col)) {
    case kColText: return _ColGetStringW(bkt, row, col) == v.text;
    case kColDec64: return _ColGetDec64(bkt, row, col).raw == v.number;
    default: {
      int64_t n = 0;
      const int type = _BktGetColType(bkt, col);
      _ColGetScalar(bkt, row, col, n, type == kColInt32 ? 3 : type == kColInt16 ? 1 : 0);
      return n == v.number;
    }
  }
}

// ---- child rows ------------------------------------------------------------------------------

bool ChildRowsEdited(HEDITOR editor) {
  BktHandle rows = editor->childRows;
  if (rows == nullptr) return false;
  if (editor->childChanged) return true;
  for (int row = 1; row <= _BktCountAll(rows); ++row)
    if (_BktGetState(rows, row) != kRowExisting || _BktRowIsChanged(rows, row)) return true;
  return false;
}

void KeepChildOriginal(HEDITOR editor) {
  _BktDestroy(&editor->childOriginal);
  if (editor->childRows) editor->childOriginal = _BktDupe(editor->childRows);
  editor->childChanged = false;
}

void DropChildSelectionPast(HEDITOR editor) {
  const int count = editor->childRows ? _BktCountAll(editor->childRows) : 0;
  std::erase_if(editor->childSelection, [count](int row) { return row > count; });
}

// The child rows as the database now holds them: deleted rows gone, new
// ones existing, no change flags.
void TakeChildRowsAsSaved(HEDITOR editor) {
  BktHandle rows = editor->childRows;
  if (rows == nullptr) return;
  for (int row = _BktCountAll(rows); row >= 1; --row) {
    if (_BktGetState(rows, row) == kRowDeleted) {
      _BktDelete(rows, row);
      continue;
    }
    _BktSetState(rows, row, kRowExisting);
    _BktClearChg(rows, row);
  }
  editor->childSelection.clear();
  KeepChildOriginal(editor);
}

void RevertChildRows(HEDITOR editor) {
  if (editor->childRows == nullptr || editor->childOriginal == nullptr) return;
  _BktCopyAll(editor->childRows, editor->childOriginal);
  editor->childChanged = false;
  DropChildSelectionPast(editor);
}

// Tells the editor's module of a person's doing in the child list.
void NotifyChildList(HEDITOR editor, uint16_t note) {
  SendMessageW(editor->hwnd, WM_COMMAND, MAKEWPARAM(static_cast<uint16_t>(kMrChildListId), note),
               0);
}

// Asks the module before the first change of an existing record.
bool BeginEditing(HEDITOR editor) {
  if (editor->editing || editor->isNew) return true;
  editor->editing = RecordChangeAllowed(editor->hwnd, kMsgRecordEdit);
  return editor->editing;
}

// Puts `original` back into the record, and the child rows as they were.
void Revert(HEDITOR editor) {
  _BktCopyAll(editor->record, editor->original);
  RevertChildRows(editor);
  if (!editor->isNew) editor->editing = false;
  SyncControls(editor);
}

void KeepAsOriginal(HEDITOR editor) {
  _BktDestroy(&editor->original);
  editor->original = _BktDupe(editor->record);
}

// A fresh, empty new record; false when the module refuses it.
bool StartNew(HEDITOR editor) {
  if (!RecordChangeAllowed(editor->hwnd, kMsgRecordNew)) return false;
  _BktDeleteAll(editor->record);
  int row = 0;
  _BktInsert(editor->record, 0, row);
  editor->isNew = true;
  editor->editing = true;
  KeepAsOriginal(editor);
  SyncControls(editor);
  return true;
}

// A new record holding the current values, its key left to be given.
bool StartCopy(HEDITOR editor) {
  if (!RecordChangeAllowed(editor->hwnd, kMsgRecordNew)) return false;
  BktHandle rec = editor->record;
  for (const std::string& key : editor->def.keys)
    if (int col = _BktGetColNum(rec, key)) _ColSetNull(rec, 1, col);
  _BktClearChg(rec, 1);
  _BktSetState(rec, 1, kRowNew);
  editor->isNew = true;
  editor->editing = true;
  KeepAsOriginal(editor);
  // Every copied value is unsaved: the new record is written with them.
  for (int col = 1; col <= _BktGetNCols(rec); ++col)
    if (!_ColIsNull(rec, 1, col)) _ColSetChg(rec, 1, col);
  SyncControls(editor);
  return true;
}

// Reloads the record by its keys (after a save, for Refresh, or another
// record of the lister). False with the error shown.
bool LoadWhere(HEDITOR editor, const std::string& where) {
  DbMsg msg;
  BucketHold before(_BktDupe(editor->record));
  DbCode code = LoadRecord(Session(editor), editor->def, where, editor->record, msg);
  if (code != kDbOk) {
    _BktCopyAll(editor->record, *before);
    ShowDbError(editor->hwnd, code, msg);
    return false;
  }
  editor->isNew = false;
  editor->editing = false;
  KeepAsOriginal(editor);
  SyncControls(editor);
  return true;
}

bool Reload(HEDITOR editor) {
  std::string where;
  return KeyWhere(editor->def.keys, editor->record, 1, where) && LoadWhere(editor, where);
}

// A save found the record changed by another workstation since it was
// read: nothing was written. The person either reloads (their edits are
// dropped) or keeps the edits to compare and redo them after a refresh.
void OfferReloadAfterConflict(HEDITOR editor) {
  const std::string caption = CaptionOf(editor);
  const int answer = MucTools_MsgBox(
      editor->hwnd, caption,
      "Another user changed this record after you opened it, so your changes were not saved "
      "(saving them would overwrite theirs unseen).\n\nShow the record as it is now? Your "
      "changes will be dropped; you can make them again.",
      MB_YESNO | MB_ICONWARNING);
  if (answer == IDYES) Reload(editor);
}

// Before the record is left (closed, refreshed, another one shown): Yes
// saves, No drops the changes, Cancel stays. True when it may be left.
bool MayLeaveRecord(HEDITOR editor) {
  if (!MrEditor_IsChanged(editor)) return true;
  const std::string caption = CaptionOf(editor);
  switch (MucTools_MsgBox(editor->hwnd, caption, "Save changes to " + caption + "?",
                          MB_YESNOCANCEL | MB_ICONQUESTION)) {
    case IDYES: return MrEditor_Save(editor);
    case IDNO: Revert(editor); return true;
    default: return false;
  }
}

// The editor's record among its lister's selection: the index there, or -1.
int PlaceInSelection(HEDITOR editor, const std::vector<int>& selection) {
  HLISTER lister = ListerOf(editor);
  if (editor->isNew || lister == nullptr) return -1;
  BktHandle rows = MrLister_Rows(lister);
  for (size_t n = 0; n < selection.size(); ++n)
    if (SameKeys(editor->def.keys, rows, selection[n], editor->record, 1))
      return static_cast<int>(n);
  return -1;
}

bool ShowSelected(HEDITOR editor, int code) {
  HLISTER lister = ListerOf(editor);
  const std::vector<int> selection = MrLister_Selection(lister);
  const int place = PlaceInSelection(editor, selection);
  const int last = static_cast<int>(selection.size()) - 1;
  const int target = code == kMrFirst ? 0 : code == kMrLast ? last
                     : code == kMrNext ? place + 1 : place - 1;
  if (place < 0 || target < 0 || target > last || target == place) return false;
  if (!MayLeaveRecord(editor)) return false;
  std::string where;
  if (!KeyWhere(editor->def.keys, MrLister_Rows(lister),
                selection[static_cast<size_t>(target)], where))
    return false;
  return LoadWhere(editor, where);
}

bool DeleteRecord(HEDITOR editor) {
  if (editor->isNew || !AskDelete(editor->hwnd, 1)) return false;
  HDb db = Session(editor);
  DbMsg msg;
  DbCode code = WriteInTransaction(
      db, [&](DbMsg& m) { return _DbxDeleteRowU(db, editor->def.source, editor->record, 1, 1, m); },
      [] {}, msg);
  if (code != kDbOk) {
    ShowDbError(editor->hwnd, code, msg);
    return false;
  }
  HLISTER lister = ListerOf(editor);
  DestroyWindow(editor->hwnd);   // nothing left to show; nothing unsaved to ask about
  if (lister) ReloadLister(lister);
  return true;
}

// A field control's text or check state into the record; the control is
// put back, and the person told, when it does not fit.
void ApplyControl(HEDITOR editor, const DialogControl& c) {
  const std::string text = c.kind == ControlKind::Check
                               ? (IsDlgButtonChecked(editor->hwnd, c.id) ? "1" : "0")
                               : GetDlgItemTextW(editor->hwnd, c.id);
  std::string error;
  if (!FieldEditable(editor, c.name)) {
    error = "'" + c.name + "' cannot be changed here.";
  } else if (MrEditor_SetField(editor, c.name, text, &error)) {
    return;
  }
  SyncControls(editor);
  ShowUserError(editor->hwnd, CaptionOf(editor), error);
}

LRESULT EditorDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INITDIALOG) {
    HEDITOR editor = reinterpret_cast<HEDITOR>(lParam);
    editor->hwnd = hwnd;
    EditorWindows()[hwnd] = editor;
    MrProc_RegisterContextWindow(hwnd);
    AttachWindow(editor->envir, hwnd);
    SyncControls(editor);
    if (editor->dlgProc == nullptr) return TRUE;
    return editor->dlgProc(hwnd, msg, wParam, reinterpret_cast<LPARAM>(editor));
  }
  auto it = EditorWindows().find(hwnd);
  if (it == EditorWindows().end()) return 0;
  HEDITOR editor = it->second;
  const UINT id = msg == WM_COMMAND ? LOWORD(wParam) : 0;
  const UINT note = msg == WM_COMMAND ? HIWORD(wParam) : 0;
  if (msg == kMrQueryClose) return MayLeaveRecord(editor) ? 1 : 0;
  if ((msg == WM_COMMAND && id == IDCANCEL) || msg == WM_CLOSE) {
    if (MayLeaveRecord(editor)) DestroyWindow(hwnd);
    return TRUE;
  }
  if (msg == WM_COMMAND && id == IDOK) {
    if (MrEditor_Save(editor)) DestroyWindow(hwnd);
    return TRUE;
  }
  if (msg == WM_COMMAND && (note == EN_CHANGE || note == BN_CLICKED)) {
    if (const DialogTemplate* tmpl = GetDialogTemplate(hwnd)) {
      for (const DialogControl& c : tmpl->controls) {
        if (c.id != static_cast<int>(id)) continue;
        const int col = FieldColumn(editor, c);
        const bool typed = note == EN_CHANGE ? c.kind == ControlKind::Edit
                                             : c.kind == ControlKind::Check;
        if (col != 0 && typed) {
          const DialogControl copy = c;
          editor->focus = copy.name;
          ApplyControl(editor, copy);
        }
        break;
      }
    }
  }
  LRESULT result = editor->dlgProc ? editor->dlgProc(hwnd, msg, wParam, lParam) : 0;
  if (msg == WM_DESTROY) {
    MrProc_UnregisterContextWindow(hwnd);
    EditorWindows().erase(hwnd);
    Unregister(editor);
    _BktDestroy(&editor->record);
    _BktDestroy(&editor->original);
    _BktDestroy(&editor->childOriginal);
    HENVIR envir = editor->envir;
    delete editor;
    DetachWindow(envir, hwnd);
    return TRUE;
  }
  if (result == 0 && msg == WM_COMMAND && IsWindow(hwnd) && RouteCommandToClient(hwnd, wParam))
    return TRUE;
  return result;
}

}  // namespace

int ChildColumn(HEDITOR editor, std::string_view column) {
  const auto& columns = editor->childColumns;
  for (size_t n = 0; n < columns.size(); ++n)
    if (EqualNoCase(columns[n].name, column)) return static_cast<int>(n);
  for (size_t n = 0; n < columns.size(); ++n)
    if (EqualNoCase(columns[n].heading, column)) return static_cast<int>(n);
  return -1;
}

std::vector<std::string> ChildCells(HEDITOR editor, int row) {
  std::vector<std::string> cells;
  for (const ViewColumn& c : editor->childColumns) {
    const int col = _BktGetColNum(editor->childRows, c.name);
    cells.push_back(col ? FormatCell(editor->childRows, row, col, c.format) : std::string());
  }
  return cells;
}

bool ChildCellTakesTyping(HEDITOR editor, int row, int column, std::string& why) {
  BktHandle rows = editor->childRows;
  if (rows == nullptr || row < 1 || row > _BktCountAll(rows) || column < 0 ||
      column >= static_cast<int>(editor->childColumns.size())) {
    why = "there is no such row or column";
    return false;
  }
  const ViewColumn& c = editor->childColumns[static_cast<size_t>(column)];
  const int col = _BktGetColNum(rows, c.name);
  if (_BktGetState(rows, row) == kRowDeleted) {
    why = "row " + std::to_string(row) + " is deleted";
    return false;
  }
  if (col == 0 || !c.editable || (_BktIsKeyCol(rows, col) && _BktGetState(rows, row) != kRowNew)) {
    why = "the column \"" + c.heading + "\" is read-only";
    return false;
  }
  return true;
}

bool TypeIntoChildCell(HEDITOR editor, int row, int column, std::string_view text,
                       std::string& error) {
  if (!ChildCellTakesTyping(editor, row, column, error)) return false;
  BktHandle rows = editor->childRows;
  const ViewColumn& c = editor->childColumns[static_cast<size_t>(column)];
  const int col = _BktGetColNum(rows, c.name);
  ParsedValue value;
  if (!ParseForColumn(rows, col, c.format, text, value, error)) return false;
  editor->focus = c.name;
  if (!SameAsCell(rows, row, col, value)) {
    if (!BeginEditing(editor)) {
      error = "The record may not be changed.";
      return false;
    }
    StoreParsed(rows, row, col, value);
  }
  NotifyChildList(editor, EN_CHANGE);
  return true;
}

void SelectChildRows(HEDITOR editor, const std::vector<int>& rows) {
  MrEditor_SetChildSelection(editor, rows);
  NotifyChildList(editor, LBN_SELCHANGE);
}

uint32_t EditorBits(HEDITOR editor) {
  uint32_t bits = 1u << kMrNew;
  const bool changed = MrEditor_IsChanged(editor);
  if (changed) bits |= (1u << kMrSave) | (1u << kMrCancel);
  if (!editor->isNew) bits |= (1u << kMrRefresh) | (1u << kMrDelete) | (1u << kMrCopy);
  if (!editor->isNew && !editor->editing) bits |= 1u << kMrEdit;
  const std::vector<int> selection =
      ListerOf(editor) ? MrLister_Selection(ListerOf(editor)) : std::vector<int>();
  const int place = PlaceInSelection(editor, selection);
  const int last = static_cast<int>(selection.size()) - 1;
  if (place >= 0 && place < last) bits |= (1u << kMrNext) | (1u << kMrLast);
  if (place > 0) bits |= (1u << kMrPrevious) | (1u << kMrFirst);
  return bits;
}

bool EditorCommand(HEDITOR editor, int code) {
  switch (code) {
    case kMrSave: return MrEditor_Save(editor);
    case kMrCancel: Revert(editor); return true;
    case kMrRefresh: return MayLeaveRecord(editor) && Reload(editor);
    case kMrEdit: return BeginEditing(editor);
    case kMrNew: return MayLeaveRecord(editor) && StartNew(editor);
    case kMrCopy: return MayLeaveRecord(editor) && StartCopy(editor);
    case kMrDelete: return DeleteRecord(editor);
    case kMrNext:
    case kMrPrevious:
    case kMrFirst:
    case kMrLast: return ShowSelected(editor, code);
    default: return false;
  }
}

DialogTemplate GenericEditorTemplate(const ViewDef& def, std::string_view caption) {
  DialogTemplate t;
  t.caption = std::string(caption);
  int id = kFirstFieldId;
  for (const ViewColumn& c : def.columns) {
    DialogControl field = MakeControl(id++, ControlKind::Edit, c.name, "");
    field.enabled = c.editable;
    t.controls.push_back(field);
  }
  t.controls.push_back(MakeControl(IDOK, ControlKind::Button, "ok", "OK", true));
  t.controls.push_back(MakeControl(IDCANCEL, ControlKind::Button, "cancel", "Cancel"));
  return t;
}

}  // namespace mr

using namespace mr;

HEDITOR MrEditor_Open(HENVIR envir, std::string_view viewName, DLGPROC dlgProc, HWND parent,
                      std::string_view where, bool newRecord, std::string_view caption) {
  auto editor = std::make_unique<EditorImpl>();
  std::string why;
  if (!IsLive(envir)) why = "no environment";
  if (why.empty()) ReadViewDef(viewName, 'E', editor->def, why);
  if (!why.empty()) {
    Lib_Trace("MrEditor_Open: " + std::string(viewName) + ": " + why);
    return nullptr;
  }
  std::string title(caption);
  if (title.empty()) title = editor->def.caption.empty() ? editor->def.name : editor->def.caption;
  HDb db = SessionOf(envir);
  DbMsg msg;
  DbCode code = _DbBktFromCols(db, editor->def.source, editor->def.SelectList(), editor->record,
                               1, 1, msg);
  if (code == kDbOk && newRecord) {
    int row = 0;
    _BktInsert(editor->record, 0, row);
  } else if (code == kDbOk) {
    code = LoadRecord(db, editor->def, where, editor->record, msg);
  }
  if (code != kDbOk) {
    _BktDestroy(&editor->record);
    ShowDbError(parent, code, msg);
    return nullptr;
  }
  editor->original = _BktDupe(editor->record);
  editor->envir = envir;
  editor->dlgProc = dlgProc;
  editor->isNew = newRecord;
  editor->editing = newRecord;
  std::optional<DialogTemplate> tmpl;
  if (editor->def.dialogTemplate != 0)
    tmpl = LoadDialogTemplate(LbUtil_LanguageInstance(), editor->def.dialogTemplate);
  if (!tmpl) tmpl = GenericEditorTemplate(editor->def, title);
  tmpl->caption = title;
  HEDITOR handle = editor.release();
  Register(handle);
  HWND hwnd =
      CreateDialogIndirectParamW(*tmpl, parent, EditorDlgProc, reinterpret_cast<LPARAM>(handle));
  if (hwnd == nullptr) {
    if (IsLive(handle)) {
      Unregister(handle);
      _BktDestroy(&handle->record);
      _BktDestroy(&handle->original);
      delete handle;
    }
    return nullptr;
  }
  if (newRecord && !RecordChangeAllowed(hwnd, kMsgRecordNew)) {
    DestroyWindow(hwnd);
    return nullptr;
  }
  return handle;
}

HWND MrEditor_Hwnd(HEDITOR editor) { return IsLive(editor) ? editor->hwnd : nullptr; }

HEDITOR MrEditor_FromHwnd(HWND hwnd) {
  auto it = EditorWindows().find(hwnd);
  return it == EditorWindows().end() ? nullptr : it->second;
}

BktHandle MrEditor_Record(HEDITOR editor) { return IsLive(editor) ? editor->record : nullptr; }

bool MrEditor_SetField(HEDITOR editor, std::string_view column, std::string_view text,
                       std::string* error) {
  std::string why;
  auto refuse = [&](std::string reason) {
    if (error) *error = std::move(reason);
    return false;
  };
  if (!IsLive(editor)) return refuse("No editor.");
  if (const ViewColumn* shown = editor->def.Column(column)) column = shown->name;
  const int col = _BktGetColNum(editor->record, column);
  if (col == 0) return refuse("'" + std::string(column) + "' is not a field of this record.");
  if (!editor->isNew && IsKey(editor->def, column))
    return refuse("The key '" + std::string(column) + "' of a saved record cannot change.");
  const ViewColumn* c = editor->def.Column(column);
  ParsedValue value;
  if (!ParseForColumn(editor->record, col, c ? c->format : "", text, value, why))
    return refuse(why);
  if (SameAsCell(editor->record, 1, col, value)) return true;
  if (!BeginEditing(editor)) return refuse("The record may not be changed.");
  StoreParsed(editor->record, 1, col, value);
  // The control shows the value as stored ("1,000" typed shows "1000").
  if (const DialogTemplate* tmpl = GetDialogTemplate(editor->hwnd)) {
    for (const DialogControl& ctl : tmpl->controls) {
      if (FieldColumn(editor, ctl) != col) continue;
      if (ctl.kind == ControlKind::Edit)
        SetDlgItemTextW(editor->hwnd, ctl.id, FormatField(editor, col));
      break;
    }
  }
  return true;
}

bool MrEditor_IsChanged(HEDITOR editor) {
  return IsLive(editor) && (_BktRowIsChanged(editor->record, 1) || ChildRowsEdited(editor));
}

bool MrEditor_Save(HEDITOR editor) {
  if (!IsLive(editor)) return false;
  if (!MrEditor_IsChanged(editor) && !editor->isNew) return true;
  if (editor->saveHandler) {
    // The module checks, tells and writes; the editor only learns the outcome.
    const MrSaveHandler handler = editor->saveHandler;   // it may set another
    if (!handler(editor) || !IsLive(editor)) return false;
    BktHandle record = editor->record;
    _BktSetState(record, 1, kRowExisting);
    _BktClearChg(record, 1);
    _BktMarkRead(record, 1);
    editor->isNew = false;
    editor->editing = false;
    KeepAsOriginal(editor);
    TakeChildRowsAsSaved(editor);
    SyncControls(editor);
    if (HLISTER lister = ListerOf(editor)) ReloadLister(lister);
    return true;
  }
  HDb db = Session(editor);
  BucketHold before(_BktDupe(editor->record));
  DbMsg msg;
  DbCode code = WriteInTransaction(
      db,
      [&](DbMsg& m) {
        return editor->isNew ? _DbxInsertRow(db, editor->def.source, editor->record, 1, 1, m)
                             : _DbxUpdateRowU(db, editor->def.source, editor->record, 1, 1, m);
      },
      [&] { _BktRowCopy(editor->record, 1, *before, 1); }, msg);
  if (code == kDbLocked && !editor->isNew) {
    OfferReloadAfterConflict(editor);
    return false;
  }
  if (code != kDbOk) {
    ShowDbError(editor->hwnd, code, msg);
    return false;
  }
  editor->isNew = false;
  editor->editing = false;
  // Read back what the database holds now: defaults, a generated key, and
  // other workstations' changes to the columns this save left alone.
  std::string where;
  if (!KeyWhere(editor->def.keys, editor->record, 1, where) || !LoadWhere(editor, where)) {
    KeepAsOriginal(editor);
    SyncControls(editor);
  }
  if (HLISTER lister = ListerOf(editor)) ReloadLister(lister);
  return true;
}


void MrEditor_SetSaveHandler(HEDITOR editor, MrSaveHandler handler) {
  if (IsLive(editor)) editor->saveHandler = std::move(handler);
}

void MrEditor_FocusField(HEDITOR editor, std::string_view column) {
  if (!IsLive(editor)) return;
  std::string name(column);
  if (const ViewColumn* shown = editor->def.Column(column)) {
    name = shown->name;
  } else if (int child = ChildColumn(editor, column); child >= 0) {
    name = editor->childColumns[static_cast<size_t>(child)].name;
  }
  editor->focus = name;
  if (const DialogTemplate* tmpl = GetDialogTemplate(editor->hwnd))
    for (const DialogControl& c : tmpl->controls)
      if (!c.name.empty() && EqualNoCase(c.name, name)) {
        SetDlgFocus(editor->hwnd, c.id);
        break;
      }
  if (UiDriver* driver = Ui_Driver()) driver->Notice("focus", name);
}

std::string MrEditor_FocusedField(HEDITOR editor) {
  return IsLive(editor) ? editor->focus : std::string();
}

bool MrEditor_Reload(HEDITOR editor) { return IsLive(editor) && !editor->isNew && Reload(editor); }

void MrEditor_SetChildRows(HEDITOR editor, BktHandle rows, const std::vector<std::string>& columns,
                           const std::vector<std::string>& headings) {
  if (!IsLive(editor)) return;
  std::vector<ViewColumn> shown;
  for (size_t n = 0; rows && n < columns.size(); ++n) {
    ViewColumn c;
    c.name = columns[n];
    c.heading = n < headings.size() && !headings[n].empty() ? headings[n] : columns[n];
    c.editable = true;
    for (const ViewColumn& before : editor->childColumns)
      if (EqualNoCase(before.name, c.name)) {
        c.format = before.format;
        c.editable = before.editable;
      }
    shown.push_back(std::move(c));
  }
  editor->childRows = rows;
  editor->childColumns = std::move(shown);
  editor->childSelection.clear();
  KeepChildOriginal(editor);
}

void MrEditor_SetChildColumn(HEDITOR editor, std::string_view column, std::string_view format,
                             bool editable) {
  if (!IsLive(editor)) return;
  const int n = ChildColumn(editor, column);
  if (n < 0) return;
  ViewColumn& c = editor->childColumns[static_cast<size_t>(n)];
  c.format = std::string(format);
  c.editable = editable;
}

std::vector<int> MrEditor_ChildSelection(HEDITOR editor) {
  return IsLive(editor) ? editor->childSelection : std::vector<int>();
}

void MrEditor_SetChildSelection(HEDITOR editor, const std::vector<int>& rows) {
  if (!IsLive(editor)) return;
  const int count = editor->childRows ? _BktCountAll(editor->childRows) : 0;
  std::vector<int> sel;
  for (int row : rows)
    if (row >= 1 && row <= count) sel.push_back(row);
  std::sort(sel.begin(), sel.end());
  sel.erase(std::unique(sel.begin(), sel.end()), sel.end());
  editor->childSelection = std::move(sel);
}

void MrEditor_ChildRowsChanged(HEDITOR editor) {
  if (!IsLive(editor) || editor->childRows == nullptr) return;
  editor->childChanged = true;
  DropChildSelectionPast(editor);
}
