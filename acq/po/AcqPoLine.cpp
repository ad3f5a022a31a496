// AcqPo: the line editor (dialog 15, "Edit: PO %1 Line %2"). An editor of
// the framework over the `po_line` row with the line's items as its child
// rows (one row an item; a quantity above 1 on a row asks for that many
// items like it). Its save is the module's: the line rules and the rules of
// approved lines in order (the first failure is told, its field focused),
// the privileges they ask, then AcqDbAct::SavePoLine writes the line, its
// items and their money in one transaction, and with the site's
// approval-on-save the line is approved right after.
#include <algorithm>

#include "acq/budget/AcqBudget.h"
#include "acq/budget/AcqDbBudget.h"
#include "acq/budget/AcqFundCtrl.h"
#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbBase.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/db/AcqDbGen.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/db/AcqDbNames.h"
#include "acq/frame/AcqBase.h"
#include "acq/frame/AcqSecurity.h"
#include "acq/po/AcqDbAct.h"
#include "acq/po/AcqPoApp.h"
#include "acq/po/AcqPoParts.h"
#include "host/mr/MrFramework.h"
#include "host/muc/MucTools.h"
#include "host/sys/LbStr.h"

namespace acq::AcqPo::parts {
namespace {

using AcqDb::ClearChanges;
using AcqDbBudget::SplitEntry;

constexpr const char* kLineView = "po_line";
constexpr const char* kEnvir = "poline";
constexpr int kLineDialog = 15;
constexpr int kMaxQuantity = 999;
constexpr int kMaxItemNumber = 32767;
constexpr int kRetries = 3;

enum Button : int { kAddItems = 1501, kDeleteItem = 1502, kBorrower = 1503, kSplit = 1504,
                    kIsbnSearch = 1505 };

// The item columns the editor loads: what the rows show, what the save and
// the rules read; then a quantity, 1 for every stored item.
constexpr const char* kItemColumns =
    "po#,line,item,location,collection,itype,call_number,budget,budget_split,ship_to_address,"
    "borrower#,approve_date,order_date,receive_date,invoice_date,cancel_date";
constexpr const char* kQuantityColumn = "quantity=convert(smallint,1)";
struct ChildColumn {
  const char* name;
  const char* heading;
  const char* format;
  bool editable;
};
const ChildColumn kChildColumns[] = {
    {"item", "Item", "", false},
    {"quantity", "Qty", "", true},
    {"location", "Location", "", true},
    {"collection", "Collection", "", true},
    {"itype", "Item Type", "", true},
    // Not "Call Number": that is the line's field, and a heading a person
    // types a cell by must name the item's column alone.
    {"call_number", "Item Call Number", "", true},
    {"budget", "Budget", "", true},
    {"budget_split", "Budget Split", "", true},
    {"borrower#", "Borrower #", "", true},
    {"approve_date", "Approved", "date", false},
};
// The item columns a new row takes from the row it is copied from.
const char* const kCopiedColumns[] = {"location", "collection", "itype", "call_number",
                                      "budget", "budget_split", "ship_to_address"};
// The line's notes: changing only these on an approved line needs poChApp.
const char* const kNoteColumns[] = {"order_note", "change_order_note", "internal_note",
                                    "workslip_note"};

struct LineEditor : PoEditor {
  LineEditor() : PoEditor(Kind::Line) {}
  ~LineEditor() override {
    _BktDestroy(&items);
    _BktDestroy(&poRow);
    _BktDestroy(&goodRecord);
    _BktDestroy(&goodItems);
  }
  bool isNew = false;
  // The record-change privilege granted for the changes since the last
  // save (the framework asks before the first typed change; the module's
  // own buttons ask here).
  bool granted = false;
  BktHandle items = nullptr;   // the child rows
  BktHandle poRow = nullptr;   // the PO header: po#, vendor#, contract, currency, ...
  // Record and rows as they last passed the field checks: refused values
  // go back to these.
  BktHandle goodRecord = nullptr;
  BktHandle goodItems = nullptr;
  // Frozen or closed budgets the person accepted while editing: the save's
  // fund control does not ask about them again.
  AcqFundCtrl::BustListHold confirmed;
};

LineEditor* pending = nullptr;

LineEditor* Of(HWND hwnd) {
  PoEditor* e = FindEditor(hwnd);
  return e != nullptr && e->kind == PoEditor::Kind::Line ? static_cast<LineEditor*>(e) : nullptr;
}

BktHandle Record(const LineEditor& l) { return MrEditor_Record(l.editor); }
int Col(BktHandle bkt, std::string_view name) { return _BktGetColNum(bkt, name); }
bool Live(BktHandle items, int row) { return _BktGetState(items, row) != kRowDeleted; }
bool Stored(BktHandle items, int row) { return _BktGetState(items, row) != kRowNew; }

void SetWhole(BktHandle bkt, int row, int col, int64_t value) {
  const int type = _BktGetColType(bkt, col);
  if (type == kColDec64) {
    _ColSetDec64(bkt, row, col, Dec64::FromInt(value));
  } else if (type == kColText) {
    _ColSetTextW(bkt, row, col, std::to_string(value));
  } else {
    _ColSetScalar(bkt, row, col, value, type == kColInt32 ? 3 : type == kColInt16 ? 1 : 0);
  }
}

// The row as it was read; nullptr for a new row. The caller destroys it.
BktHandle AsRead(BktHandle items, int row) { return _BktRowAsRead(items, row); }

// Whether cell `column` of stored row `row` differs from what was read.
bool CellChanged(BktHandle items, int row, std::string_view column) {
  const int col = Col(items, column);
  if (col == 0) return false;
  BucketHold read(AsRead(items, row));
  return *read == nullptr || _ColCompare(items, row, col, *read, 1, col) != 0;
}

// Whether the item was approved when it was read.
bool StoredApproved(BktHandle items, int row) {
  if (!Stored(items, row)) return false;
  BucketHold read(AsRead(items, row));
  return *read != nullptr && !_ColIsNull(*read, 1, Col(*read, "approve_date"));
}

void KeepGood(LineEditor& l) {
  _BktDestroy(&l.goodRecord);
  _BktDestroy(&l.goodItems);
  l.goodRecord = _BktDupe(Record(l));
  l.goodItems = _BktDupe(l.items);
}

std::string Caption(const LineEditor& l) {
  const std::string line = l.line != 0 ? std::to_string(l.line) : std::string("(new)");
  return Lb_FormatMessage(TemplateCaption(kLineDialog), PoCaption(l.number), line);
}

// ---- loading ---------------------------------------------------------------------------------

// An empty Bucket of the item columns typed as in the table, and a
// quantity (a whole number: a computed column would be typed by its first
// value, and a new line has none).
DbCode CreateItemRows(DbMsg& msg, BktHandle& out) {
  BucketHold typed;
  if (DbCode code = AcqDb::BktFromCols(msg, 0, 0, typed.get(), kItemColumns, names::po_line_item);
      code != kDbOk)
    return code;
  const int n = _BktGetNCols(*typed);
  _BktCreate(out, n + 1, 8, 8);
  for (int col = 1; col <= n; ++col)
    _BktSetColInfo(out, col, _BktGetColName(*typed, col), _BktGetColLength(*typed, col),
                   _BktGetColType(*typed, col), _BktIsKeyCol(*typed, col) ? 1 : 0);
  _BktSetColInfo(out, n + 1, "quantity", 0, kColInt16, 0);
  return kDbOk;
}

bool LoadItems(LineEditor& l) {
  BucketHold fresh;
  DbMsg msg;
  const std::string where = "po#=" + std::to_string(l.po) + " and line=" + std::to_string(l.line);
  DbCode code = CreateItemRows(msg, fresh.get());
  if (code == kDbOk && l.line != 0)
    code = AcqDb::LoadTableReplace(msg, ClearChanges::Yes, "item", where,
                                   std::string(kItemColumns) + "," + kQuantityColumn,
                                   names::po_line_item, fresh.get());
  if (code != kDbOk) {
    AcqDbExcept::HandleDbError(msg, code);
    return false;
  }
  BktHandle old = l.items;
  l.items = fresh.release();
  std::vector<std::string> columns, headings;
  for (const ChildColumn& c : kChildColumns) {
    columns.emplace_back(c.name);
    headings.emplace_back(c.heading);
  }
  MrEditor_SetChildRows(l.editor, l.items, columns, headings);
  for (const ChildColumn& c : kChildColumns)
    MrEditor_SetChildColumn(l.editor, c.name, c.format, c.editable);
  _BktDestroy(&old);
  return true;
}

// The PO header as it is now (the rules read its contract, item creation
// and drop shipping).
bool LoadPoRow(LineEditor& l) {
  BucketHold fresh;
  DbMsg msg;
  if (DbCode code = AcqDb::LoadTable(
          msg, ClearChanges::Yes, "", "po#=" + std::to_string(l.po),
          "po#,po_number,vendor#,vendor_contract,currency,item_creation,drop_ship,location",
          names::po, fresh.get());
      code != kDbOk) {
    AcqDbExcept::HandleDbError(msg, code);
    return false;
  }
  if (_BktCountAll(*fresh) == 0) {
    Tell(PwMucBase_hwndClient, kMsgPoGone, MB_OK | MB_ICONWARNING, l.number);
    return false;
  }
  _BktDestroy(&l.poRow);
  l.poRow = fresh.release();
  return true;
}

// ---- checks of what was typed -------------------------------------------------------------------

// Why the price (or the discount) is refused: a message, or 0.
int RecordRefusal(BktHandle rec, std::string_view column) {
  const auto value = DecOf(rec, 1, column);
  if (!value) return 0;
  if (column == "unit_price")
    return *value < Dec64{} || !FitsMoneyDigits(*value) ? kMsgPrice : 0;
  if (column == "vendor_discount")
    return *value < Dec64{} || *value > Dec64::FromInt(100) ? kMsgDiscount : 0;
  return 0;
}

// A record field the person changed, checked; a refused value goes back.
void CheckRecordField(LineEditor& l, int controlId) {
  const DialogTemplate* t = GetDialogTemplate(l.hwnd);
  if (t == nullptr) return;
  std::string column;
  for (const DialogControl& c : t->controls)
    if (c.id == controlId && c.kind == ControlKind::Edit) column = c.name;
  BktHandle rec = Record(l);
  const int col = Col(rec, column);
  if (col == 0) return;
  const int refusal = RecordRefusal(rec, column);
  if (refusal == 0) {
    _ColCopy(l.goodRecord, 1, col, rec, 1, col);
    return;
  }
  const auto back = DecOf(l.goodRecord, 1, column);
  (void)MrEditor_SetField(l.editor, column, back ? LbDec64_StrFrom64(*back) : "", nullptr);
  Tell(l.hwnd, refusal, MB_OK | MB_ICONWARNING, std::to_string(MoneyDigits()));
}

bool CodeExists(std::string_view table, std::string_view column, const std::string& value,
                bool& exists) {
  return RowExists(table, column, std::string(column) + "=" + Quote(value), exists);
}

// Whether an item cell passes; a refusal is told here (a database failure
// reported). With `ask`, budgets are put to fund control's questions (as
// they are entered: the save's own fund control asks again about the money
// it moves).
bool ItemCellPasses(HWND owner, BktHandle items, int row, std::string_view column, bool ask,
                    AcqFundCtrl::BustList* confirmed) {
  const std::string text = TextOf(items, row, column);
  bool exists = true;
  if (column == "quantity") {
    const auto q = WholeOf(items, row, column);
    if (!q || *q < 1) return Tell(owner, kMsgQuantity, MB_OK | MB_ICONWARNING), false;
    if (*q > kMaxQuantity)
      return Tell(owner, kMsgQuantityTooMany, MB_OK | MB_ICONWARNING, std::to_string(kMaxQuantity)),
             false;
    return true;
  }
  if (column == "budget") {
    return text.empty() || (BudgetExists(owner, text) && (!ask || ConfirmBudgetEntered(text, confirmed)));
  }
  if (column == "budget_split") {
    if (text.empty()) return true;
    std::vector<SplitEntry> split;
    if (!AcqDbAct::ParseBudgetSplit(text, split))
      return Tell(owner, kMsgBadSplit, MB_OK | MB_ICONWARNING, text), false;
    // Typed, a split meets the rules of the Bdgt Split dialog: entries of
    // 0 % drop out, the rest add up to 100 with each budget once.
    std::erase_if(split, [](const SplitEntry& e) { return e.percentage == 0; });
    if (const int refusal = SplitRuleRefusal(split); refusal != 0)
      return Tell(owner, refusal, MB_OK | MB_ICONWARNING), false;
    for (const SplitEntry& e : split)
      if (!BudgetExists(owner, e.budget) || (ask && !ConfirmBudgetEntered(e.budget, confirmed))) return false;
    return true;
  }
  if (column == "location" && !text.empty()) {
    if (!CodeExists(names::location, "location", text, exists)) return false;
    if (!exists)
      return Tell(owner, kMsgUnknownCode, MB_OK | MB_ICONWARNING, text, "location"), false;
  }
  if (column == "collection" && !text.empty()) {
    if (!CodeExists("collection", "collection", text, exists)) return false;
    if (!exists)
      return Tell(owner, kMsgUnknownCode, MB_OK | MB_ICONWARNING, text, "collection"), false;
  }
  if (column == "borrower#") {
    const auto b = WholeOf(items, row, column);
    if (!b) return true;
    if (!RowExists("borrower", "borrower#", "borrower#=" + std::to_string(*b), exists))
      return false;
    if (!exists)
      return Tell(owner, kMsgBorrower, MB_OK | MB_ICONWARNING, std::to_string(*b)), false;
  }
  return true;
}

// A child cell the person typed into, checked; a refused value goes back.
void CheckItemCell(LineEditor& l) {
  const std::string column = MrEditor_FocusedField(l.editor);
  const std::vector<int> selection = MrEditor_ChildSelection(l.editor);
  const int col = Col(l.items, column);
  if (selection.size() != 1 || col == 0) return;
  const int row = selection.front();
  if (ItemCellPasses(l.hwnd, l.items, row, column, true, l.confirmed.get())) {
    if (row <= _BktCountAll(l.goodItems)) _ColCopy(l.goodItems, row, col, l.items, row, col);
    return;
  }
  if (row > _BktCountAll(l.goodItems)) return;
  _ColCopy(l.items, row, col, l.goodItems, row, col);
  if (Stored(l.items, row) && !CellChanged(l.items, row, column)) _ColClearChg(l.items, row, col);
  MrEditor_ChildRowsChanged(l.editor);
}

// ---- the buttons -------------------------------------------------------------------------------

// The record-change privilege before the module's own buttons change rows.
bool MayChange(LineEditor& l) {
  if (l.isNew || l.granted) return true;
  l.granted = AcqSecurity::CheckPrivilege(AcqSecurity::poEdit);
  return l.granted;
}

std::vector<int> LiveSelection(const LineEditor& l) {
  std::vector<int> rows;
  for (int row : MrEditor_ChildSelection(l.editor))
    if (Live(l.items, row)) rows.push_back(row);
  return rows;
}

void RowsChanged(LineEditor& l, const std::vector<int>& select) {
  MrEditor_ChildRowsChanged(l.editor);
  MrEditor_SetChildSelection(l.editor, select);
  _BktDestroy(&l.goodItems);
  l.goodItems = _BktDupe(l.items);
}

void AddItems(LineEditor& l) {
  const std::optional<int> quantity = AskItemQuantity(l.hwnd);
  if (!quantity || !MayChange(l)) return;
  const std::vector<int> selected = LiveSelection(l);
  int row = 0;
  _BktInsert(l.items, 0, row);
  _BktSetState(l.items, row, kRowNew);
  SetWhole(l.items, row, Col(l.items, "quantity"), *quantity);
  if (!selected.empty()) {
    const int from = selected.front();
    for (const char* name : kCopiedColumns)
      if (const int col = Col(l.items, name); col != 0 && !_ColIsNull(l.items, from, col))
        _ColCopy(l.items, row, col, l.items, from, col);
  } else if (const std::string location = TextOf(l.poRow, 1, "location"); !location.empty()) {
    _ColSetTextW(l.items, row, Col(l.items, "location"), location);
  }
  RowsChanged(l, {row});
}

void DeleteItems(LineEditor& l) {
  std::vector<int> selected = LiveSelection(l);
  if (selected.empty()) {
    Tell(l.hwnd, kMsgSelectItems, MB_OK | MB_ICONINFORMATION);
    return;
  }
  if (!MayChange(l)) return;
  // Rows never saved go at once (last first, so the numbers stay right);
  // stored items are marked and go with the save.
  std::sort(selected.rbegin(), selected.rend());
  for (int row : selected) {
    if (Stored(l.items, row)) {
      _BktSetState(l.items, row, kRowDeleted);
    } else {
      _BktDelete(l.items, row);
    }
  }
  RowsChanged(l, {});
}

void ChooseBorrower(LineEditor& l) {
  const std::vector<int> selected = LiveSelection(l);
  if (selected.size() != 1) {
    Tell(l.hwnd, kMsgSelectOneItem, MB_OK | MB_ICONINFORMATION);
    return;
  }
  int32_t borrower = 0;
  std::string name;
  if (!MrBorrower_FindBorrower(AcqDbGlobal::Session(), l.hwnd, borrower, name) || !MayChange(l))
    return;
  SetWhole(l.items, selected.front(), Col(l.items, "borrower#"), borrower);
  RowsChanged(l, selected);
}

// The budgets of row `row` as its cells give them.
std::vector<SplitEntry> SplitOfRow(BktHandle items, int row) {
  std::vector<SplitEntry> split;
  const std::string text = TextOf(items, row, "budget_split");
  const std::string single = TextOf(items, row, "budget");
  if (!text.empty()) {
    (void)AcqDbAct::ParseBudgetSplit(text, split);
  } else if (!single.empty()) {
    split.push_back(SplitEntry{single, 100});
  }
  return split;
}

void EditSplit(LineEditor& l) {
  const std::vector<int> selected = LiveSelection(l);
  if (selected.empty()) {
    Tell(l.hwnd, kMsgSelectItems, MB_OK | MB_ICONINFORMATION);
    return;
  }
  std::vector<SplitEntry> split = SplitOfRow(l.items, selected.front());
  if (!EditBudgetSplit(l.hwnd, split, l.confirmed.get()) || !MayChange(l)) return;
  std::vector<std::string> entries;
  for (const SplitEntry& e : split) entries.push_back(SplitEntryText(e));
  std::string text;
  (void)JoinSplitEntries(entries, text);   // EditBudgetSplit checked it fits
  for (int row : selected) {
    const int budget = Col(l.items, "budget");
    const int splitCol = Col(l.items, "budget_split");
    // One budget at 100 % is a single budget, not a split.
    if (split.size() == 1) {
      _ColSetTextW(l.items, row, budget, split.front().budget);
      _ColSetNull(l.items, row, splitCol);
    } else {
      _ColSetNull(l.items, row, budget);
      _ColSetTextW(l.items, row, splitCol, text);
    }
  }
  RowsChanged(l, selected);
}

void SearchIsbn(LineEditor& l) {
  const std::string index = AcqDbGlobal::Globals().params.isbn_duplication_index;
  const std::string isbn = TextOf(Record(l), 1, "isbn");
  if (index.empty()) {
    Tell(l.hwnd, kMsgNoIsbnIndex, MB_OK | MB_ICONINFORMATION);
    return;
  }
  std::vector<int32_t> bibs;
  DbMsg msg;
  if (DbCode code = DbSer_SearchDupIndex(AcqDbGlobal::Session(), index, isbn, bibs, msg);
      code != kDbOk) {
    AcqDbExcept::HandleDbError(msg, code);
    return;
  }
  if (bibs.empty()) {
    Tell(l.hwnd, kMsgIsbnNotFound, MB_OK | MB_ICONINFORMATION, isbn);
    return;
  }
  Tell(l.hwnd, kMsgIsbnFound, MB_OK | MB_ICONINFORMATION, isbn, AcqDbGen::KeyList(bibs));
}

// ---- the save ----------------------------------------------------------------------------------

bool Refuse(LineEditor& l, int message, std::string_view focus, int row = 0,
            std::string_view a1 = {}, std::string_view a2 = {}) {
  Tell(l.hwnd, message, MB_OK | MB_ICONWARNING, a1, a2);
  if (row != 0) MrEditor_SetChildSelection(l.editor, {row});
  MrEditor_FocusField(l.editor, focus);
  return false;
}

// The items the save adds: each new row's quantity, and what a stored row's
// quantity asks for beyond its own item.
int64_t ItemsAsked(const LineEditor& l) {
  int64_t n = 0;
  for (int row = 1; row <= _BktCountAll(l.items); ++row)
    if (Live(l.items, row) && !Stored(l.items, row))
      n += WholeOf(l.items, row, "quantity").value_or(1);
    else if (Live(l.items, row))
      n += std::max<int64_t>(WholeOf(l.items, row, "quantity").value_or(1) - 1, 0);
  return n;
}

// Rules 1 to 3: the price, the quantities, what item creation requires.
bool LineAndQuantitiesPass(LineEditor& l) {
  BktHandle rec = Record(l);
  DbMsg msg;
  for (const char* column : {"unit_price", "vendor_discount"})
    if (const int refusal = RecordRefusal(rec, column); refusal != 0)
      return Refuse(l, refusal, column, 0, std::to_string(MoneyDigits()));
  if (!l.isNew && ColumnChanged(rec, "unit_price") &&
      AcqDbGen::ExistsPoLineVoucher(msg, l.po, l.line))
    return Refuse(l, kMsgPriceVouchered, "unit_price");
  for (int row = 1; row <= _BktCountAll(l.items); ++row) {
    if (!Live(l.items, row)) continue;
    const auto q = WholeOf(l.items, row, "quantity");
    if (!q || *q < 1) return Refuse(l, kMsgQuantity, "quantity", row);
    if (*q > kMaxQuantity)
      return Refuse(l, kMsgQuantityTooMany, "quantity", row, std::to_string(kMaxQuantity));
  }
  if (WholeOf(rec, 1, "last_item").value_or(0) + ItemsAsked(l) > kMaxItemNumber)
    return Refuse(l, kMsgQuantityTooMany, "quantity", 0, std::to_string(kMaxQuantity));
  const ItemCreationNeeds needs = NeedsOf(WholeOf(l.poRow, 1, "item_creation").value_or(6));
  if (needs.mediaType && TextOf(rec, 1, "media_type").empty())
    return Refuse(l, kMsgMediaType, "media_type");
  for (int row = 1; row <= _BktCountAll(l.items); ++row) {
    if (!Live(l.items, row)) continue;
    if (needs.collection && TextOf(l.items, row, "collection").empty())
      return Refuse(l, kMsgCollection, "collection", row);
    if (needs.itemType && TextOf(l.items, row, "itype").empty())
      return Refuse(l, kMsgItemType, "itype", row);
  }
  return true;
}

// Rule 4: the budgets of each item, and the cells typed into it.
bool BudgetsPass(LineEditor& l) {
  const bool contract = !TextOf(l.poRow, 1, "vendor_contract").empty();
  DbMsg msg;
  for (int row = 1; row <= _BktCountAll(l.items); ++row) {
    if (!Live(l.items, row)) continue;
    const bool single = !TextOf(l.items, row, "budget").empty();
    const bool split = !TextOf(l.items, row, "budget_split").empty();
    if (single && split) return Refuse(l, kMsgBothBudgets, "budget", row);
    const bool changed = !Stored(l.items, row) || CellChanged(l.items, row, "budget") ||
                         CellChanged(l.items, row, "budget_split");
    if (changed && Stored(l.items, row) &&
        AcqDbGen::ExistsPoLineItemVoucher(
            msg, l.po, l.line, static_cast<int16_t>(WholeOf(l.items, row, "item").value_or(0))))
      return Refuse(l, kMsgBudgetVouchered, "budget", row);
    if (contract && !single && !split) return Refuse(l, kMsgContractNeedsBudgets, "budget", row);
    // What was typed since the rows were read is checked again: a value
    // may have come in without its check (a script, a failed earlier save).
    for (const char* column : {"budget", "budget_split", "location", "collection", "borrower#"}) {
      if (Stored(l.items, row) && !CellChanged(l.items, row, column)) continue;
      if (!ItemCellPasses(l.hwnd, l.items, row, column, false, l.confirmed.get())) {
        MrEditor_SetChildSelection(l.editor, {row});
        MrEditor_FocusField(l.editor, column);
        return false;
      }
    }
  }
  return true;
}

// Rule 5: deleted items.
bool DeletedItemsPass(LineEditor& l) {
  DbMsg msg;
  for (int row = 1; row <= _BktCountAll(l.items); ++row) {
    if (Live(l.items, row)) continue;
    const auto item = static_cast<int16_t>(WholeOf(l.items, row, "item").value_or(0));
    const AcqDbGen::ItemActivity activity = AcqDbGen::PoLineItemActivity(msg, l.po, l.line, item);
    if (activity == AcqDbGen::ItemActivity::Activity ||
        AcqDbGen::ExistsPoLineItemVoucher(msg, l.po, l.line, item))
      return Refuse(l, kMsgItemActivity, "item", row);
    if (activity == AcqDbGen::ItemActivity::Renewal)
      return Refuse(l, kMsgItemRenewal, "item", row);
  }
  return true;
}

// Rule 6: an ISBN or ISSN already in other records is saved only when the
// person says so, with the duplicate privilege.
bool DuplicatesAccepted(LineEditor& l) {
  BktHandle rec = Record(l);
  struct Index {
    const char* column;
    std::string name;
    int message;
    AcqSecurity::AcqPrivilege privilege;
  };
  const auto& params = AcqDbGlobal::Globals().params;
  const Index indexes[] = {
      {"isbn", params.isbn_duplication_index, kMsgIsbnDuplicate, AcqSecurity::isbDup},
      {"issn", params.issn_duplication_index, kMsgIssnDuplicate, AcqSecurity::issDup},
  };
  const auto ownBib = WholeOf(rec, 1, "bib#");
  for (const Index& x : indexes) {
    const std::string value = TextOf(rec, 1, x.column);
    if (x.name.empty() || value.empty() || !ColumnChanged(rec, x.column)) continue;
    std::vector<int32_t> bibs;
    DbMsg msg;
    if (DbCode code = DbSer_SearchDupIndex(AcqDbGlobal::Session(), x.name, value, bibs, msg);
        code != kDbOk) {
      AcqDbExcept::HandleDbError(msg, code);
      return false;
    }
    std::erase_if(bibs, [&](int32_t bib) { return ownBib && bib == *ownBib; });
    if (bibs.empty()) continue;
    if (!Ask(l.hwnd, x.message, AcqDbGen::KeyList(bibs)) ||
        !AcqSecurity::CheckPrivilege(x.privilege)) {
      MrEditor_FocusField(l.editor, x.column);
      return false;
    }
  }
  return true;
}

// The rules of a line with approved items, and the privileges its changes
// need: only the notes (poChApp), anything else of the line or an approved
// item (poChLin), more items (poChQty).
bool ApprovedLinePasses(LineEditor& l) {
  bool anyApproved = false;
  for (int row = 1; row <= _BktCountAll(l.items); ++row)
    anyApproved = anyApproved || StoredApproved(l.items, row);
  if (!anyApproved) return true;
  bool otherChanged = false;
  bool moreItems = false;
  for (int row = 1; row <= _BktCountAll(l.items); ++row) {
    if (!Stored(l.items, row)) {
      moreItems = moreItems || Live(l.items, row);
      continue;
    }
    if (!StoredApproved(l.items, row)) continue;
    if (!Live(l.items, row)) return Refuse(l, kMsgDeleteApproved, "item", row);
    if (TextOf(l.items, row, "budget").empty() && TextOf(l.items, row, "budget_split").empty())
      return Refuse(l, kMsgApprovedBudgetRemoved, "budget", row);
    if (WholeOf(l.items, row, "quantity").value_or(1) > 1) moreItems = true;
    for (const ChildColumn& c : kChildColumns)
      if (c.editable && std::string_view(c.name) != "quantity" && CellChanged(l.items, row, c.name))
        otherChanged = true;
  }
  BktHandle rec = Record(l);
  bool notesChanged = false;
  for (int col = 1; col <= _BktGetNCols(rec); ++col) {
    const std::string name = _BktGetColName(rec, col);
    if (!ColumnChanged(rec, name)) continue;
    const bool note = std::find(std::begin(kNoteColumns), std::end(kNoteColumns), name) !=
                      std::end(kNoteColumns);
    (note ? notesChanged : otherChanged) = true;
  }
  using AcqSecurity::CheckPrivilege;
  if (otherChanged && !CheckPrivilege(AcqSecurity::poChLin)) return false;
  if (!otherChanged && notesChanged && !CheckPrivilege(AcqSecurity::poChApp)) return false;
  return !moreItems || CheckPrivilege(AcqSecurity::poChQty);
}

// Rule 7: a changed location of an approved item on a drop-ship PO is to be
// told to the vendor again; the save goes on.
void WarnDropShip(LineEditor& l) {
  if (WholeOf(l.poRow, 1, "drop_ship").value_or(0) == 0) return;
  for (int row = 1; row <= _BktCountAll(l.items); ++row) {
    if (Live(l.items, row) && StoredApproved(l.items, row) &&
        CellChanged(l.items, row, "location")) {
      Tell(l.hwnd, kMsgDropShip, MB_OK | MB_ICONWARNING);
      return;
    }
  }
}

// With the site's approval on save: whether this save approves the line
// (a new line, a line not wholly approved, or new items).
bool ApprovesOnSave(LineEditor& l) {
  if (!AcqDbGlobal::Globals().params.save_po_line_approval) return false;
  if (l.isNew) return true;
  for (int row = 1; row <= _BktCountAll(l.items); ++row)
    if (Live(l.items, row) && !Stored(l.items, row)) return true;
  DbMsg msg;
  return !AcqDbGen::PolisApprovedForPoLine(msg, l.po, l.line);
}

bool SaveLine(LineEditor& l) {
  if (!LoadPoRow(l) || !LineAndQuantitiesPass(l) || !BudgetsPass(l) || !DeletedItemsPass(l) ||
      !DuplicatesAccepted(l) || !ApprovedLinePasses(l))
    return false;
  WarnDropShip(l);
  const bool approve = ApprovesOnSave(l);
  if (approve && !AcqSecurity::CheckPrivilege(AcqSecurity::poApprv)) return false;
  BktHandle rec = Record(l);
  if (l.isNew) _ColSetInt(rec, 1, Col(rec, "po#"), l.po);
  (void)MrEditor_SetField(l.editor, "last_update_date", DbDabs_DateToStr(Today()), nullptr);
  if (!AcqDbAct::SavePoLine(l.poRow, rec, l.items, l.confirmed.get())) return false;
  l.isNew = false;
  l.granted = false;
  l.line = static_cast<int16_t>(WholeOf(rec, 1, "line").value_or(0));
  SetWindowTextW(l.hwnd, Caption(l));
  if (approve) AcqPoApp::ApproveLine(l.po, l.line, [](int32_t po, int16_t line) {
      LineChanged(po, line);
    });
  LoadItems(l);
  KeepGood(l);
  LineChanged(l.po, l.line);
  return true;
}

constexpr uint32_t Bit(int code) { return 1u << code; }

LRESULT LineDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INITDIALOG) {
    LineEditor* l = pending;
    pending = nullptr;
    if (l == nullptr) return TRUE;
    l->editor = reinterpret_cast<HEDITOR>(lParam);
    RegisterEditor(hwnd, l);
    // Lines are added and deleted from the PO window.
    MrProc_WithholdCodes(hwnd, Bit(kMrDelete) | Bit(kMrNew) | Bit(kMrCopy));
    MrEditor_SetSaveHandler(l->editor, [hwnd](HEDITOR) {
      LineEditor* e = Of(hwnd);
      return e != nullptr && SaveLine(*e);
    });
    return TRUE;
  }
  LineEditor* l = Of(hwnd);
  if (l == nullptr) return _Win32_DefDlgProc(hwnd, msg, wParam, lParam);
  switch (msg) {
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      const uint16_t note = HIWORD(wParam);
      if (id == kMrChildListId && note == EN_CHANGE) {
        CheckItemCell(*l);
        return TRUE;
      }
      if (note == EN_CHANGE) {
        CheckRecordField(*l, id);
        break;
      }
      if (note != BN_CLICKED) break;
      switch (id) {
        case kAddItems: AddItems(*l); return TRUE;
        case kDeleteItem: DeleteItems(*l); return TRUE;
        case kBorrower: ChooseBorrower(*l); return TRUE;
        case kSplit: EditSplit(*l); return TRUE;
        case kIsbnSearch: SearchIsbn(*l); return TRUE;
        default: break;
      }
      break;
    }
    case kMrCodeDone:
      if (lParam == 0) break;
      if (wParam == kMrRefresh) LoadItems(*l);
      if (wParam == kMrRefresh || wParam == kMrCancel) {
        l->granted = false;
        KeepGood(*l);
      }
      break;
    case WM_DESTROY:
      UnregisterEditor(hwnd);
      break;
    default:
      break;
  }
  return _Win32_DefDlgProc(hwnd, msg, wParam, lParam);
}

// ---- deleting a line ---------------------------------------------------------------------------

bool DeleteLineRows(int32_t po, int16_t line, BktHandle items, BktHandle poRow,
                    AcqFundCtrl::BustList* list, AcqDbBudget::BudgetMoves& moves) {
  moves.Reset();
  for (int row = 1; row <= _BktCountAll(items); ++row) {
    const auto item = static_cast<int16_t>(WholeOf(items, row, "item").value_or(0));
    if (!AcqDbBudget::RemoveItemBudgetAmounts(po, line, item, "", moves)) return false;
  }
  if (!AcqDbBudget::ApplyBudgetUpdate(list, moves, po, line, poRow)) return false;
  const std::string where = "po#=" + std::to_string(po) + " and line=" + std::to_string(line);
  for (const char* table : {names::po_line_item_budget, names::po_line_item, names::po_line}) {
    DbMsg msg;
    if (DbCode code = _DbRawDelete(AcqDbGlobal::Session(), table, where, msg); code != kDbOk) {
      AcqDbExcept::HandleDbError(msg, code);
      return false;
    }
  }
  return true;
}

}  // namespace

void OpenLine(int32_t po, const std::string& number, int16_t line) {
  if (line == 0 && !AcqSecurity::CheckPrivilege(AcqSecurity::poEdit)) return;
  auto* l = new LineEditor;
  l->po = po;
  l->line = line;
  l->number = number;
  l->isNew = line == 0;
  l->opening = l->isNew;
  if (!LoadPoRow(*l)) {
    delete l;
    return;
  }
  MucTools_HourGlass(true);
  HENVIR envir = MrProc_NewEnvir(AcqDbGlobal::Session(), kEnvir);
  pending = l;
  const std::string where =
      line == 0 ? "" : "po#=" + std::to_string(po) + " and line=" + std::to_string(line);
  HEDITOR editor = MrEditor_Open(envir, kLineView, &LineDlgProc, PwMucBase_hwndClient, where,
                                 l->isNew, Caption(*l));
  if (pending != nullptr) {   // no window took the record
    pending = nullptr;
    delete l;
    l = nullptr;
  }
  if (editor == nullptr) {
    MrProc_FreeEnvir(&envir);   // nothing when its window took it along
  } else if (l != nullptr) {
    l->opening = false;
    if (l->isNew) {
      (void)MrEditor_SetField(editor, "po#", std::to_string(po), nullptr);
      (void)MrEditor_SetField(editor, "last_item", "0", nullptr);
    }
    if (LoadItems(*l)) KeepGood(*l);
  }
  MucTools_HourGlass(false);
}

bool LineMayChange(PoEditor& editor, bool /*newRecord*/) {
  auto& l = static_cast<LineEditor&>(editor);
  l.granted = AcqSecurity::CheckPrivilege(AcqSecurity::poEdit);
  return l.granted;
}

bool DeleteLine(HWND owner, int32_t po, const std::string& number, int16_t line) {
  DbMsg msg;
  const AcqDbGen::ItemActivity activity = AcqDbGen::PoLineItemActivity(msg, po, line, std::nullopt);
  if (activity == AcqDbGen::ItemActivity::Activity || AcqDbGen::ExistsPoLineVoucher(msg, po, line))
    return Tell(owner, kMsgLineActivity, MB_OK | MB_ICONWARNING), false;
  if (activity == AcqDbGen::ItemActivity::Renewal)
    return Tell(owner, kMsgLineRenewal, MB_OK | MB_ICONWARNING), false;
  BucketHold items, poRow;
  const std::string where = "po#=" + std::to_string(po) + " and line=" + std::to_string(line);
  DbCode code = AcqDb::LoadTable(msg, ClearChanges::Yes, "item", where, "item,approve_date",
                                 names::po_line_item, items.get());
  if (code == kDbOk)
    code = AcqDb::LoadTable(msg, ClearChanges::Yes, "", "po#=" + std::to_string(po),
                            "po#,vendor#,vendor_contract,currency", names::po, poRow.get());
  if (code != kDbOk) {
    AcqDbExcept::HandleDbError(msg, code);
    return false;
  }
  if (_BktCountAll(*poRow) == 0)
    return Tell(owner, kMsgPoGone, MB_OK | MB_ICONWARNING, number), false;
  for (int row = 1; row <= _BktCountAll(*items); ++row)
    if (WholeOf(*items, row, "approve_date"))
      return Tell(owner, kMsgDeleteApproved, MB_OK | MB_ICONWARNING), false;
  AcqFundCtrl::BustListHold list;
  AcqDbBudget::BudgetMoves moves;
  if (!moves.ok()) return false;
  return AcqDbBase::SaveWithReportedRetry(
      kRetries, [&] { return DeleteLineRows(po, line, *items, *poRow, list.get(), moves); }, {},
      [&] {
        return AcqFundCtrl::BustListPending(list.get()) && AcqFundCtrl::GetBustHandler() &&
               AcqFundCtrl::GetBustHandler()(list.get());
      });
}

}  // namespace acq::AcqPo::parts
