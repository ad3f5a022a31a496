// AcqDbAct: the database side of PO line activities, the pending items and
// counts of a line, and the save and approval of a line with its money.
//
// An activity runs as one transaction: the PO header, the line's notes, the
// items, one history row per item, the money rows with their budget moves,
// the statistics, and last the budget update with fund control. A write
// conflict runs the whole transaction again from the Buckets as they were
// before the first attempt; a fund-control finding asks the person and, on
// confirmation, runs it again. Every pass starts with empty budget moves, so
// nothing is ever moved twice.
#include "acq/po/AcqDbAct.h"

#include <functional>
#include <map>
#include <set>
#include <tuple>

#include "acq/AcqUnit.h"
#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbBase.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/db/AcqDbGen.h"
#include "acq/db/AcqDbNames.h"
#include "acq/frame/AcqBase.h"
#include "acq/po/AcqDbStat.h"
#include "acq/print/AcqWrkBatch.h"
#include "host/muc/MucTools.h"
#include "host/sys/LbStr.h"
#include "host/sys/RunTime.h"

namespace acq::AcqDbAct {
namespace {

using AcqDbBase::RunStatement;

namespace budget = AcqDbBudget;
using AcqDb::ClearChanges;
using AcqDbExcept::HandleDbError;
using budget::SplitEntry;

// Messages of the string table.
constexpr int kMsgNoItemsChosen = 1300;
constexpr int kMsgMixedLines = 1301;
constexpr int kMsgNoStatement = 1302;
constexpr int kMsgStatementVendor = 1303;
constexpr int kMsgAmountDigits = 1304;
constexpr int kMsgAmountTooLarge = 1305;
constexpr int kMsgBadSplit = 1306;
constexpr int kMsgItemHasActivity = 65;
constexpr int kMsgBothBudgets = 67;
constexpr int kMsgPercents = 75;
constexpr int kMsgSameBudget = 76;
constexpr int kMsgItemFromRenewal = 339;

// Conflicting passes retried before the one error is shown.
constexpr int kMaxRetries = 5;
// Notes of a line hold at most this many characters.
constexpr size_t kNoteChars = 255;
// The largest amount an activity takes (whole units), so that its products
// with exchange rates stay inside Dec64 (an overflow is still reported).
constexpr int64_t kMaxAmountUnits = 1'000'000'000;

constexpr const char* kHistoryColumns =
    "po#,line,item,po_activity_type,transaction_type,date,time,voucher#,statement#,"
    "extra_charge_type,amount,exchange_rate,next_claim_date,change_order_note,internal_note";
constexpr const char* kHeaderColumns =
    "po#,vendor#,vendor_contract,currency,spent_event,last_update_date,completion_date";
constexpr const char* kLineNoteColumns =
    "po#,line,change_order_note,internal_note,workslip_note";
constexpr const char* kMoneyRowColumns =
    "po#,line,item,budget,amount,exchange_rate,spent,extra_charge_type,statement#";
constexpr const char* kStatementLineColumns =
    "statement#,statement_line,statement_line_type,po#,line,item,location,quantity,amount";
// The price rows of an item: its on-order money at the line's price.
constexpr const char* kPriceRows = "statement# IS NULL and extra_charge_type IS NULL and spent=0";

// The history Bucket: made from the table's description on first use and
// reused by every history writer until Terminate. UI thread only.
BktHandle historyBkt = nullptr;

std::string Key(int32_t key) { return Lb_Int32ToStr(key); }
std::string Raw(Dec64 amount) { return std::to_string(amount.raw); }
int Col(BktHandle bkt, const char* name) { return _BktGetColNum(bkt, name); }
int16_t Int16(BktHandle bkt, int row, const char* col) {
  return static_cast<int16_t>(_ColGetInt(bkt, row, Col(bkt, col)));
}
bool IsSet(BktHandle bkt, int row, const char* col) { return !_ColIsNull(bkt, row, Col(bkt, col)); }
void SetDate(BktHandle bkt, int row, const char* col, DayNum date) {
  if (date == kNoDate)
    _ColSetNull(bkt, row, Col(bkt, col));
  else
    _ColSetInt(bkt, row, Col(bkt, col), date);
}
void SetTextOrNull(BktHandle bkt, int row, const char* col, std::string_view text) {
  if (text.empty())
    _ColSetNull(bkt, row, Col(bkt, col));
  else
    _ColSetTextW(bkt, row, Col(bkt, col), text);
}
void SetKeyOrNull(BktHandle bkt, int row, const char* col, int32_t key) {
  if (key == 0)
    _ColSetNull(bkt, row, Col(bkt, col));
  else
    _ColSetInt(bkt, row, Col(bkt, col), key);
}

void ShowMessage(int id, std::string_view a1 = {}, std::string_view a2 = {}) {
  MucTools_MsgBoxCap(PwMucBase_hwndClient, Lb_FormatMessage(AcqBase::LoadStr(id), a1, a2),
                     MB_OK | MB_ICONWARNING);
}

// A failure that is not the server's: reported like one, so that a pass
// fails and the rollback shows it once.
void ReportFailure(std::string_view text) {
  DbMsg msg;
  msg.Set(text);
  HandleDbError(msg, kDbError);
}

// ---- statements and loads that report their own failures ---------------------------------------

// The single number a statement selects (0 for no row or NULL).
bool QueryNumber(const std::string& sql, int32_t& value) {
  DbMsg msg;
  value = 0;
  const DbCode code = AcqDb::ExecSP(msg, &value, sizeof value, "", sql);
  if (code == kDbOk) return true;
  value = 0;
  HandleDbError(msg, code);
  return false;
}

// The one-byte answer of a stored procedure.
bool ProcedureFlag(std::string_view procedure, const std::string& params, bool& flag) {
  DbMsg msg;
  uint8_t value = 0;
  const DbCode code = AcqDb::ExecSP(msg, &value, sizeof value, params, procedure);
  flag = code == kDbOk && value != 0;
  if (code == kDbOk) return true;
  HandleDbError(msg, code);
  return false;
}

// The pending command into `bkt` (a new Bucket when null, else its rows
// replaced), change flags cleared.
bool LoadCommand(BktHandle& bkt) {
  DbMsg msg;
  const DbCode code = bkt == nullptr
                          ? AcqDb::LoadDbCmdCreate(msg, ClearChanges::Yes, bkt, 16, 16, 0)
                          : AcqDb::LoadDbCmdReplace(msg, ClearChanges::Yes, bkt);
  if (code == kDbOk) return true;
  HandleDbError(msg, code);
  return false;
}

bool LoadTable(std::string_view columns, std::string_view table, const std::string& where,
               std::string_view orderBy, BktHandle& bkt) {
  DbMsg msg;
  const DbCode code =
      bkt == nullptr
          ? AcqDb::LoadTable(msg, ClearChanges::Yes, orderBy, where, columns, table, bkt)
          : AcqDb::LoadTableReplace(msg, ClearChanges::Yes, orderBy, where, columns, table, bkt);
  if (code == kDbOk) return true;
  HandleDbError(msg, code);
  return false;
}

bool WriteRow(DbCode (*write)(DbMsg&, int, BktHandle, std::string_view), int row, BktHandle bkt,
              std::string_view table) {
  DbMsg msg;
  const DbCode code = write(msg, row, bkt, table);
  if (code == kDbOk) return true;
  HandleDbError(msg, code);
  return false;
}
bool InsertRow(int row, BktHandle bkt, std::string_view table) {
  return WriteRow(&AcqDb::InsertRow, row, bkt, table);
}
bool UpdateRow(int row, BktHandle bkt, std::string_view table) {
  return WriteRow(&AcqDb::UpdateRow, row, bkt, table);
}

std::string PoLineWhere(int32_t po, int16_t line) {
  return "po#=" + Key(po) + " and line=" + Key(line);
}

// ---- money arithmetic -----------------------------------------------------------------------

// amount x rate in base currency, not rounded to the money digits. An
// overflow is reported and fails the pass.
bool Base(Dec64 amount, Dec64 rate, Dec64& base) {
  if (LbDec64_Mul64(amount, rate, base) == DecStatus::Ok) return true;
  ReportFailure("The amount " + LbDec64_StrFrom64(amount) + " times the exchange rate " +
                LbDec64_StrFrom64(rate) + " is too large.");
  return false;
}

Dec64 Plus(Dec64 a, Dec64 b) {
  Dec64 sum = a;
  (void)LbDec64_Add64(a, b, sum);   // bounded amounts: cannot overflow
  return sum;
}
Dec64 Minus(Dec64 a, Dec64 b) {
  Dec64 difference = a;
  (void)LbDec64_Sub64(a, b, difference);
  return difference;
}

// `amount` in `count` equal shares rounded to the money digits, the last the
// remainder, so the shares add up to the amount exactly.
std::vector<Dec64> EqualShares(Dec64 amount, int count) {
  std::vector<Dec64> shares;
  if (count <= 0) return shares;
  Dec64 share = amount;
  (void)LbDec64_Div64C(share, Dec64::FromInt(count));
  (void)LbDec64_Round64(share, budget::MoneyDigits());
  Dec64 given{};
  for (int n = 1; n < count; ++n) {
    shares.push_back(share);
    given = Plus(given, share);
  }
  shares.push_back(Minus(amount, given));
  return shares;
}

// ---- splits -------------------------------------------------------------------------------

// What is wrong with an item's budgets: 0 nothing, else the message.
int CheckSplit(const std::vector<SplitEntry>& split) {
  int total = 0;
  std::set<std::string> budgets;
  for (const SplitEntry& e : split) {
    total += e.percentage;
    if (!budgets.insert(e.budget).second) return kMsgSameBudget;
  }
  return split.empty() || total == 100 ? 0 : kMsgPercents;
}

// The budgets of item row `row` as its row gives them: the split text
// (entries of 0 % dropped), else the single budget at 100 %, else none.
// Returns 0, or the message that refuses the row.
int SplitOfRow(BktHandle items, int row, std::vector<SplitEntry>& split) {
  split.clear();
  const int splitCol = Col(items, "budget_split");
  const int budgetCol = Col(items, "budget");
  const std::string text = splitCol ? _ColGetStringW(items, row, splitCol) : std::string();
  const std::string single = budgetCol ? _ColGetStringW(items, row, budgetCol) : std::string();
  if (!text.empty() && !single.empty()) return kMsgBothBudgets;
  if (!text.empty()) {
    std::vector<SplitEntry> parsed;
    if (!ParseBudgetSplit(text, parsed)) return kMsgBadSplit;
    for (SplitEntry& e : parsed)
      if (e.percentage > 0) split.push_back(std::move(e));
    return CheckSplit(split);
  }
  if (!single.empty()) split.push_back(SplitEntry{single, 100});
  return 0;
}

// The budgets an activity spreads an item's money over: those of its row,
// else (a text that cannot be read, a row without either) the stored split.
bool SplitForMoney(BktHandle items, int row, int32_t po, int16_t line,
                   std::vector<SplitEntry>& split) {
  if (SplitOfRow(items, row, split) == 0 && !split.empty()) return true;
  return budget::LoadItemSplit(po, line, Int16(items, row, "item"), split);
}

// po_line_item_budget rows of one item, from `split`.
bool InsertItemBudgetRows(int32_t po, int16_t line, int16_t item,
                          const std::vector<SplitEntry>& split) {
  BucketHold rows;
  if (!AcqDbBase::LoadBktFromCols(0, 0, rows.get(), "po#,line,item,budget,percentage",
                                  names::po_line_item_budget))
    return false;
  int row = 0;
  _BktInsert(*rows, 0, row);
  _ColSetInt(*rows, row, 1, po);
  _ColSetInt(*rows, row, 2, line);
  _ColSetInt(*rows, row, 3, item);
  for (const SplitEntry& e : split) {
    _ColSetTextW(*rows, row, 4, e.budget);
    _ColSetInt(*rows, row, 5, e.percentage);
    if (!InsertRow(row, *rows, names::po_line_item_budget)) return false;
  }
  return true;
}

bool DeleteItemBudgetRows(int32_t po, int16_t line, int16_t item) {
  return RunStatement("delete from po_line_item_budget where " + PoLineWhere(po, line) +
                      " and item=" + Key(item));
}

// Makes the item's price rows (its on-order money) equal to its split of
// `price` at `rate`: a row whose budget stays is updated and moves only
// the difference of its base; rows of budgets that left are removed, rows
// of new budgets added.
bool SyncPriceRows(int32_t po, int16_t line, int16_t item, const std::vector<SplitEntry>& split,
                   Dec64 price, Dec64 rate, budget::BudgetMoves& moves) {
  BucketHold rows;
  if (!LoadTable("budget_amount#,budget,amount,exchange_rate", names::po_line_item_budget_amount,
                 PoLineWhere(po, line) + " and item=" + Key(item) + " and " + kPriceRows,
                 "budget_amount#", rows.get()))
    return false;
  const std::vector<Dec64> shares = budget::SplitShares(price, split);
  std::vector<bool> kept(static_cast<size_t>(_BktCountAll(*rows)), false);
  BucketHold added;
  for (size_t n = 0; n < split.size(); ++n) {
    const std::string& b = split[n].budget;
    Dec64 newBase;
    if (!Base(shares[n], rate, newBase)) return false;
    int row = 0;
    if (_BktLocateKey(*rows, 2, BktKey::Text(b), 0, BktKey{}, row)) {
      kept[static_cast<size_t>(row - 1)] = true;
      const Dec64 amount = _ColGetDec64(*rows, row, 3);
      const Dec64 oldRate = _ColGetDec64(*rows, row, 4);
      if (amount == shares[n] && oldRate == rate) continue;
      Dec64 oldBase;
      if (!Base(amount, oldRate, oldBase)) return false;
      if (!RunStatement("update po_line_item_budget_amount set amount=" + Raw(shares[n]) +
                        ",exchange_rate=" + Raw(rate) +
                        " where budget_amount#=" + Key(_ColGetInt(*rows, row, 1))))
        return false;
      const Dec64 change = Minus(newBase, oldBase);
      if (change > Dec64{})
        budget::IncreaseOnOrder(item, change, b, moves.deltas(), moves.detail());
      else if (change < Dec64{})
        budget::DecreaseOnOrder(item, Minus(Dec64{}, change), b, moves.deltas(), moves.detail());
      continue;
    }
    if (*added == nullptr &&
        !AcqDbBase::LoadBktFromCols(0, 0, added.get(), kMoneyRowColumns,
                                    names::po_line_item_budget_amount))
      return false;
    int newRow = 0;
    _BktDeleteAll(*added);
    _BktInsert(*added, 0, newRow);
    _ColSetInt(*added, newRow, Col(*added, "po#"), po);
    _ColSetInt(*added, newRow, Col(*added, "line"), line);
    _ColSetInt(*added, newRow, Col(*added, "item"), item);
    _ColSetTextW(*added, newRow, Col(*added, "budget"), b);
    _ColSetDec64(*added, newRow, Col(*added, "amount"), shares[n]);
    _ColSetDec64(*added, newRow, Col(*added, "exchange_rate"), rate);
    _ColSetBoolean(*added, newRow, Col(*added, "spent"), false);
    if (!InsertRow(newRow, *added, names::po_line_item_budget_amount)) return false;
    budget::IncreaseOnOrder(item, newBase, b, moves.deltas(), moves.detail());
  }
  for (int row = 1; row <= _BktCountAll(*rows); ++row) {
    if (kept[static_cast<size_t>(row - 1)]) continue;
    Dec64 oldBase;
    if (!Base(_ColGetDec64(*rows, row, 3), _ColGetDec64(*rows, row, 4), oldBase)) return false;
    if (!RunStatement("delete from po_line_item_budget_amount where budget_amount#=" +
                      Key(_ColGetInt(*rows, row, 1))))
      return false;
    budget::DecreaseOnOrder(item, oldBase, _ColGetStringW(*rows, row, 2), moves.deltas(),
                            moves.detail());
  }
  return true;
}

// ---- history ------------------------------------------------------------------------------

BktHandle HistoryBkt() {
  if (historyBkt == nullptr)
    (void)AcqDbBase::LoadBktFromCols(0, 0, historyBkt, kHistoryColumns,
                                     names::po_line_item_history);
  return historyBkt;
}

// Fills the columns of one history row besides po#, line, item and the
// code: called once before the first item with `index` -1 (the entry's
// columns), then for each item with its index.
using HistoryFill = std::function<void(BktHandle history, int index)>;

// One history row per item of `itemNumbers`, type 0 unless given: the
// Bucket is emptied, one row made with the common columns, then for each
// item `item` is set and the row inserted.
bool WriteHistory(int32_t po, int16_t line, const std::vector<int16_t>& itemNumbers,
                  std::string_view code, const Now& now, const HistoryFill& fill,
                  int transactionType = 0) {
  BktHandle h = HistoryBkt();
  if (h == nullptr) return false;
  _BktDeleteAll(h);
  int row = 0;
  _BktInsert(h, 0, row);
  _ColSetInt(h, row, Col(h, "po#"), po);
  _ColSetInt(h, row, Col(h, "line"), line);
  _ColSetTextW(h, row, Col(h, "po_activity_type"), code);
  _ColSetInt(h, row, Col(h, "transaction_type"), transactionType);
  _ColSetInt(h, row, Col(h, "date"), now.date);
  _ColSetInt(h, row, Col(h, "time"), now.time);
  if (fill) fill(h, -1);
  for (size_t n = 0; n < itemNumbers.size(); ++n) {
    _ColSetInt(h, row, Col(h, "item"), itemNumbers[n]);
    if (fill) fill(h, static_cast<int>(n));
    if (!InsertRow(row, h, names::po_line_item_history)) return false;
  }
  return true;
}

// The entry's notes on a history row.
void FillNotes(BktHandle h, const ActivityEntry& entry, bool changeOrderNote) {
  if (changeOrderNote) SetTextOrNull(h, 1, "change_order_note", entry.changeOrderNote);
  SetTextOrNull(h, 1, "internal_note", entry.internalNote);
}

// ---- validation before an activity ------------------------------------------------------------

// What refuses an activity before anything is written: the message id and
// its arguments; id 0 when the activity may run.
struct Refusal {
  Refusal() = default;
  explicit Refusal(int message, std::string arg1 = {}, std::string arg2 = {})
      : id(message), a1(std::move(arg1)), a2(std::move(arg2)) {}
  int id = 0;
  std::string a1, a2;
};

bool EntersStatement(Activity activity) { return StatementLineType(activity) >= 0; }

Refusal CheckActivity(Activity activity, BktHandle items, const ActivityEntry& entry) {
  if (items == nullptr || _BktCountAll(items) == 0) return Refusal(kMsgNoItemsChosen);
  const int poCol = Col(items, "po#");
  const int lineCol = Col(items, "line");
  const int32_t po = _ColGetInt(items, 1, poCol);
  for (int row = 2; row <= _BktCountAll(items); ++row) {
    if (_ColGetInt(items, row, poCol) != po ||
        _ColGetInt(items, row, lineCol) != _ColGetInt(items, 1, lineCol))
      return Refusal(kMsgMixedLines);
  }
  if (!EntersStatement(activity)) return {};
  DbMsg msg;
  int32_t statementVendor = 0;
  int32_t poVendor = 0;
  if (entry.statement == 0 || !AcqDbGen::GetStatementVendor(msg, entry.statement, statementVendor) ||
      statementVendor == 0)
    return Refusal(kMsgNoStatement);
  (void)AcqDbGen::GetPoVendor(msg, po, poVendor);
  if (statementVendor != poVendor) {
    std::string statementNumber, poNumber;
    (void)AcqDbGen::GetStatementNumber(msg, entry.statement, statementNumber);
    (void)AcqDbGen::GetPoNumber(msg, po, poNumber);
    return Refusal(kMsgStatementVendor, statementNumber, poNumber);
  }
  const int digits = budget::MoneyDigits();
  Dec64 rounded = entry.amount;
  (void)LbDec64_Round64(rounded, digits);
  if (rounded != entry.amount)
    return Refusal(kMsgAmountDigits, LbDec64_StrFrom64(entry.amount), Lb_Int32ToStr(digits));
  if (entry.amount > Dec64::FromInt(kMaxAmountUnits) ||
      entry.amount < Dec64::FromInt(-kMaxAmountUnits))
    return Refusal(kMsgAmountTooLarge, LbDec64_StrFrom64(entry.amount));
  return {};
}

// ---- one pass of an activity --------------------------------------------------------------------

// The steps of one activity inside its transaction. Made afresh for every
// pass: nothing it learns survives a rollback.
class ActivityPass {
 public:
  ActivityPass(Activity activity, BktHandle items, const ActivityEntry& entry, const Now& now,
               std::string_view historyCode, AcqFundCtrl::BustList* list,
               budget::BudgetMoves& moves, BktHandle header, BktHandle line)
      : activity_(activity), items_(items), entry_(entry), now_(now),
        historyCode_(historyCode), list_(list), moves_(moves), header_(header), line_(line),
        po_(_ColGetInt(items, 1, Col(items, "po#"))),
        lineNo_(Int16(items, 1, "line")) {}

  bool Run(bool applyMoney) {
    return ReadHeader() && ReadBefore() && UpdateHeader() && UpdateLine() && UpdateItems() &&
           WriteHistoryRows() && MoveMoney() && LogStatistics() &&
           (!Receives() || (CatalogueReceived() && AcqWrkBatch::ReceiptInTransaction(items_))) &&
           (!applyMoney || !MovesMoney(activity_) ||
            budget::ApplyBudgetUpdate(list_, moves_, po_, lineNo_, header_));
  }

 private:
  int Count() const { return _BktCountAll(items_); }
  int16_t ItemAt(int row) const { return Int16(items_, row, "item"); }
  std::vector<int16_t> ItemNumbers() const {
    std::vector<int16_t> numbers;
    for (int row = 1; row <= Count(); ++row) numbers.push_back(ItemAt(row));
    return numbers;
  }
  std::string ItemList() const {
    std::vector<int32_t> keys;
    for (int row = 1; row <= Count(); ++row) keys.push_back(ItemAt(row));
    return AcqDbGen::KeyList(keys);
  }
  bool Cancels() const {
    return activity_ == Activity::Cancel || activity_ == Activity::Credit ||
           activity_ == Activity::Refund;
  }
  bool Receives() const {
    return activity_ == Activity::Receive || activity_ == Activity::ReceiveInvoice;
  }
  bool FirstInvoice() const {
    return activity_ == Activity::Invoice || activity_ == Activity::ReceiveInvoice;
  }

  // The PO header as it is now: the write lock was taken when the
  // transaction began, so nobody changes it under us.
  bool ReadHeader() {
    if (!LoadTable(kHeaderColumns, names::po, "po#=" + Key(po_), "", header_)) return false;
    if (_BktCountAll(header_) != 1) {
      DbMsg msg;
      msg.Set("PO " + Key(po_) + " is not in the database.");
      HandleDbError(msg, kDbNotFound);
      return false;
    }
    vendor_ = _ColGetInt(header_, 1, Col(header_, "vendor#"));
    spentEvent_ = _ColGetInt(header_, 1, Col(header_, "spent_event"));
    return true;
  }

  // What the statistics compare with the line as it was before the activity.
  bool ReadBefore() {
    if (Receives()) {
      int32_t received = 0;
      if (!QueryNumber("select count(*) from po_line_item where " + PoLineWhere(po_, lineNo_) +
                           " and receive_date IS NOT NULL",
                       received))
        return false;
      firstReceipt_ = received == 0;
    }
    if (Receives() || Cancels()) return LoadLineCounts(po_, lineNo_, before_);
    return true;
  }

  bool UpdateHeader() {
    _ColSetInt(header_, 1, Col(header_, "last_update_date"), now_.date);
    _ColSetNull(header_, 1, Col(header_, "completion_date"));
    return UpdateRow(1, header_, names::po);
  }

  // Step 6: the notes merged into the line, read inside the transaction.
  bool UpdateLine() {
    const bool workslip = entry_.workslipNoteEntered || !entry_.workslipNote.empty();
    if (entry_.changeOrderNote.empty() && entry_.internalNote.empty() && !workslip) return true;
    if (!LoadTable(kLineNoteColumns, names::po_line, PoLineWhere(po_, lineNo_), "", line_))
      return false;
    if (_BktCountAll(line_) != 1) return true;   // the header's read would have failed first
    if (!entry_.changeOrderNote.empty()) {
      const int col = Col(line_, "change_order_note");
      _ColSetTextW(line_, 1, col,
                   MergeChangeOrderNote(entry_.changeOrderNote, _ColGetStringW(line_, 1, col)));
    }
    if (!entry_.internalNote.empty()) {
      const int col = Col(line_, "internal_note");
      _ColSetTextW(line_, 1, col,
                   MergeInternalNote(_ColGetStringW(line_, 1, col), entry_.internalNote));
    }
    if (workslip)
      SetTextOrNull(line_, 1, "workslip_note", Lb_CutChars(entry_.workslipNote, kNoteChars));
    return UpdateRow(1, line_, names::po_line);
  }

  // Step 2 and 7: the items changed in memory, then written (browse mode:
  // an item another workstation changed meanwhile is a write conflict).
  void ChangeItem(int row) {
    const DayNum today = now_.date;
    switch (activity_) {
      case Activity::Approve:
        SetDate(items_, row, "approve_date", today);
        break;
      case Activity::ReceiveInvoice:
        SetDate(items_, row, "invoice_date", today);
        [[fallthrough]];
      case Activity::Receive:
        SetDate(items_, row, "receive_date", today);
        SetDate(items_, row, "next_claim_date", kNoDate);
        SetDate(items_, row, "printed_date", kNoDate);
        break;
      case Activity::Invoice:
        SetDate(items_, row, "invoice_date", today);
        break;
      case Activity::Cancel:
      case Activity::Credit:
      case Activity::Refund:
        SetDate(items_, row, "cancel_date", today);
        SetDate(items_, row, "next_claim_date", kNoDate);
        SetDate(items_, row, "printed_date", kNoDate);
        _ColSetTextW(items_, row, Col(items_, "po_activity_type"), CodeFor(row));
        break;
      case Activity::BackOrder:
        SetDate(items_, row, "next_claim_date", entry_.nextClaimDate);
        SetDate(items_, row, "printed_date", kNoDate);
        break;
      case Activity::Discontinue:
        SetDate(items_, row, "renew_activity_date", today);
        _ColSetTextW(items_, row, Col(items_, "renew_activity_type"), "discont");
        break;
      case Activity::Distribute:
        if (!entry_.location.empty())
          _ColSetTextW(items_, row, Col(items_, "location"), entry_.location);
        if (!entry_.collection.empty())
          _ColSetTextW(items_, row, Col(items_, "collection"), entry_.collection);
        if (!entry_.itype.empty()) _ColSetTextW(items_, row, Col(items_, "itype"), entry_.itype);
        break;
      case Activity::SupInvoice:
      case Activity::None:
        break;
    }
  }

  bool UpdateItems() {
    for (int row = 1; row <= Count(); ++row) {
      // The history code of a cancel depends on the item as it was.
      if (Cancels())
        codes_.push_back(historyCode_.empty()
                             ? HistoryCodeFor(activity_, spentEvent_,
                                              IsSet(items_, row, "invoice_date"),
                                              IsSet(items_, row, "receive_date"))
                             : historyCode_);
      ChangeItem(row);
      if (_BktRowIsChanged(items_, row) && !UpdateRow(row, items_, names::po_line_item))
        return false;
    }
    return true;
  }

  std::string CodeFor(int row) const {
    return codes_.empty() ? std::string() : codes_[static_cast<size_t>(row - 1)];
  }
  std::string Code(std::string_view own) const {
    return historyCode_.empty() ? std::string(own) : historyCode_;
  }

  // Step 8. A statement activity's rows carry each item's share of the
  // amount: the statement's rate is read and the shares made here, for
  // the money of step 9 too.
  bool WriteHistoryRows() {
    const std::vector<int16_t> numbers = ItemNumbers();
    const ActivityEntry& e = entry_;
    if (EntersStatement(activity_) && !ShareTheAmount()) return false;
    switch (activity_) {
      case Activity::Approve:
        return WriteHistory(po_, lineNo_, numbers, Code("approve"), now_, nullptr);
      case Activity::Receive:
        return WriteHistory(po_, lineNo_, numbers, Code("receive"), now_,
                            [&](BktHandle h, int index) {
                              if (index < 0) FillNotes(h, e, false);
                            });
      case Activity::ReceiveInvoice:   // the receipt's rows, then the invoice's
        return WriteHistory(po_, lineNo_, numbers, Code("receive"), now_,
                            [&](BktHandle h, int index) {
                              if (index < 0) FillNotes(h, e, false);
                            }) &&
               WriteStatementHistory();
      case Activity::Invoice:
      case Activity::SupInvoice:
      case Activity::Credit:
      case Activity::Refund:
        return WriteStatementHistory();
      case Activity::BackOrder:
        return WriteHistory(po_, lineNo_, numbers, Code("backord"), now_,
                            [&](BktHandle h, int index) {
                              if (index >= 0) return;
                              SetDate(h, 1, "next_claim_date", e.nextClaimDate);
                              FillNotes(h, e, false);
                            });
      case Activity::Discontinue:
        return WriteHistory(po_, lineNo_, numbers, Code("discont"), now_,
                            [&](BktHandle h, int index) {
                              if (index < 0) FillNotes(h, e, false);
                            });
      case Activity::Cancel:
        return WriteHistory(po_, lineNo_, numbers, "cancel", now_, [&](BktHandle h, int index) {
          if (index < 0)
            FillNotes(h, e, true);
          else
            _ColSetTextW(h, 1, Col(h, "po_activity_type"), CodeFor(index + 1));
        });
      default:
        return true;
    }
  }

  // ---- step 9: money ----

  bool MoveMoney() {
    switch (activity_) {
      case Activity::Approve:
        return BringPricesUpToDate();
      case Activity::Receive:
        return TurnInvoicedRowsSpent();
      case Activity::Invoice:
      case Activity::ReceiveInvoice:
      case Activity::SupInvoice:
      case Activity::Credit:
      case Activity::Refund:
        return EnterStatementLine() && (!Cancels() || RemovePriceRows()) &&
               (!Cancels() || ReverseExtraCharges());
      case Activity::Cancel:
        return RemovePriceRows() && ReverseExtraCharges();
      default:
        return true;
    }
  }

  bool CarriesPriceMoney(int row) const {
    return !IsSet(items_, row, "invoice_date") && !IsSet(items_, row, "cancel_date");
  }

  bool BringPricesUpToDate() {
    DbMsg msg;
    Dec64 price, rate;
    if (const DbCode code = AcqDbGen::GetAmountXrateFromPoLine(msg, po_, lineNo_, price, rate);
        code != kDbOk) {
      HandleDbError(msg, code);
      return false;
    }
    for (int row = 1; row <= Count(); ++row) {
      if (!CarriesPriceMoney(row)) continue;
      std::vector<SplitEntry> split;
      if (!SplitForMoney(items_, row, po_, lineNo_, split) ||
          !SyncPriceRows(po_, lineNo_, ItemAt(row), split, price, rate, moves_))
        return false;
    }
    return true;
  }

  bool RemovePriceRows() {
    for (int row = 1; row <= Count(); ++row)
      if (!budget::RemoveItemBudgetAmounts(po_, lineNo_, ItemAt(row), kPriceRows, moves_))
        return false;
    return true;
  }

  // Whether statement `statement` is approved, asked once per pass.
  bool StatementApproved(int32_t statement, bool& approved) {
    if (auto it = approved_.find(statement); it != approved_.end()) {
      approved = it->second;
      return true;
    }
    if (!ProcedureFlag("statement_approved", Key(statement), approved)) return false;
    approved_[statement] = approved;
    return true;
  }

  // Receive: the unspent rows of approved statements become spent now that
  // the items are received.
  bool TurnInvoicedRowsSpent() {
    BucketHold rows;
    AcqDb::AppendDbCmd("select budget_amount#,item,budget,amount,exchange_rate,"
                       "extra_charge_type,statement# from po_line_item_budget_amount where ");
    AcqDb::AppendDbCmd(PoLineWhere(po_, lineNo_));
    AcqDb::AppendDbCmd(" and item in(" + ItemList() + ")");
    AcqDb::AppendDbCmd(" and statement# IS NOT NULL and spent=0 order by budget_amount#");
    if (!LoadCommand(rows.get())) return false;
    std::vector<int32_t> turned;
    for (int row = 1; row <= _BktCountAll(*rows); ++row) {
      bool approved = false;
      if (!StatementApproved(_ColGetInt(*rows, row, 7), approved)) return false;
      if (!approved) continue;
      Dec64 base;
      if (!Base(_ColGetDec64(*rows, row, 4), _ColGetDec64(*rows, row, 5), base)) return false;
      const std::string b = _ColGetStringW(*rows, row, 3);
      const std::string charge = _ColGetStringW(*rows, row, 6);
      const auto item = static_cast<int16_t>(_ColGetInt(*rows, row, 2));
      if (_ColIsNull(*rows, row, 6)) {
        budget::DecreaseOnOrder(item, base, b, moves_.deltas(), moves_.detail());
        budget::IncreaseSpent(item, base, b, moves_.deltas(), moves_.detail());
      } else {
        budget::DecreaseExtraOnOrder(charge, base, b, moves_.deltas(), moves_.detail());
        budget::IncreaseExtraSpent(charge, base, b, moves_.deltas(), moves_.detail());
      }
      spentBase_ = Plus(spentBase_, base);
      spentRows_ = true;
      turned.push_back(_ColGetInt(*rows, row, 1));
    }
    return turned.empty() ||
           RunStatement("update po_line_item_budget_amount set spent=1 where budget_amount# in(" +
                        AcqDbGen::KeyList(turned) + ")");
  }

  // The statement's rate, and the amount in equal shares over the items.
  bool ShareTheAmount() {
    DbMsg msg;
    uint8_t statementType = 0;
    if (const DbCode code =
            AcqDbGen::GetTypeXrateFromStatement(msg, entry_.statement, statementType, rate_);
        code != kDbOk) {
      HandleDbError(msg, code);
      return false;
    }
    shares_ = EqualShares(entry_.amount, Count());
    return true;
  }

  // A new line on the entry's statement for the activity, then each item's
  // share of the amount spread over its budgets at the statement's rate.
  bool EnterStatementLine() {
    int32_t last = 0;
    if (!QueryNumber("select isnull(max(statement_line),0) from statement_line where statement#=" +
                         Key(entry_.statement),
                     last))
      return false;
    const auto statementLine = static_cast<int16_t>(last + 1);
    if (!InsertStatementLine(statementLine)) return false;
    bool approved = false;
    if (!StatementApproved(entry_.statement, approved)) return false;

    const budget::MoneySource source{entry_.statement, statementLine,
                                     StatementLineType(activity_)};
    for (int row = 1; row <= Count(); ++row) {
      const int16_t item = ItemAt(row);
      if (FirstInvoice() &&
          !budget::RemoveItemBudgetAmounts(po_, lineNo_, item, kPriceRows, moves_))
        return false;
      std::vector<SplitEntry> split;
      if (!SplitForMoney(items_, row, po_, lineNo_, split)) return false;
      const Dec64 share = shares_[static_cast<size_t>(row - 1)];
      const bool spent =
          approved && (spentEvent_ != 0 || IsSet(items_, row, "receive_date"));
      if (!budget::SplitLineItemBudgets(po_, lineNo_, item, split, share, rate_, spent, false,
                                        source, moves_))
        return false;
      if (spent) {
        for (const Dec64& part : budget::SplitShares(share, split)) {
          Dec64 base;
          if (!Base(part, rate_, base)) return false;
          spentBase_ = Plus(spentBase_, base);
        }
        spentRows_ = spentRows_ || !split.empty();
      }
    }
    return true;
  }

  bool InsertStatementLine(int16_t statementLine) {
    BucketHold bkt;
    if (!AcqDbBase::LoadBktFromCols(0, 0, bkt.get(), kStatementLineColumns,
                                    names::statement_line))
      return false;
    BktHandle s = *bkt;
    int row = 0;
    _BktInsert(s, 0, row);
    _ColSetInt(s, row, Col(s, "statement#"), entry_.statement);
    _ColSetInt(s, row, Col(s, "statement_line"), statementLine);
    _ColSetInt(s, row, Col(s, "statement_line_type"), StatementLineType(activity_));
    _ColSetInt(s, row, Col(s, "po#"), po_);
    _ColSetInt(s, row, Col(s, "line"), lineNo_);
    if (Count() == 1) _ColSetInt(s, row, Col(s, "item"), ItemAt(1));
    const std::string location = _ColGetStringW(items_, 1, Col(items_, "location"));
    if (!location.empty()) _ColSetTextW(s, row, Col(s, "location"), location);
    _ColSetInt(s, row, Col(s, "quantity"), Count());
    _ColSetDec64(s, row, Col(s, "amount"), entry_.amount);
    return InsertRow(row, s, names::statement_line);
  }

  // The statement-line history: "invoice" rows with each item's share, or
  // the credit and refund rows (the code chosen per item) with both notes.
  bool WriteStatementHistory() {
    const ActivityEntry& e = entry_;
    const bool credit = Cancels();
    auto fill = [&](BktHandle h, int index) {
      if (index >= 0) {
        _ColSetDec64(h, 1, Col(h, "amount"), shares_[static_cast<size_t>(index)]);
        if (credit) _ColSetTextW(h, 1, Col(h, "po_activity_type"), CodeFor(index + 1));
        return;
      }
      _ColSetInt(h, 1, Col(h, "statement#"), e.statement);
      _ColSetDec64(h, 1, Col(h, "exchange_rate"), rate_);
      FillNotes(h, e, credit);
    };
    return WriteHistory(po_, lineNo_, ItemNumbers(), credit ? CodeFor(1) : Code("invoice"), now_,
                        fill);
  }

  // The prorated extra charges of the cancelled items, totalled per item,
  // charge, budget, statement and rate, each reversed by a row of the
  // opposite amount with an "extchrg" history row. A total already
  // reversed is zero and left alone.
  bool ReverseExtraCharges() {
    BucketHold rows;
    AcqDb::AppendDbCmd("select item,statement#,extra_charge_type,budget,exchange_rate,spent,amount"
                       " from po_line_item_budget_amount where ");
    AcqDb::AppendDbCmd(PoLineWhere(po_, lineNo_));
    AcqDb::AppendDbCmd(" and item in(" + ItemList() + ")");
    AcqDb::AppendDbCmd(" and extra_charge_type IS NOT NULL order by budget_amount#");
    if (!LoadCommand(rows.get())) return false;
    using GroupKey = std::tuple<int16_t, int32_t, std::string, std::string, int64_t, bool>;
    std::map<GroupKey, Dec64> totals;
    for (int row = 1; row <= _BktCountAll(*rows); ++row) {
      const GroupKey key{static_cast<int16_t>(_ColGetInt(*rows, row, 1)),
                         _ColGetInt(*rows, row, 2), _ColGetStringW(*rows, row, 3),
                         _ColGetStringW(*rows, row, 4), _ColGetDec64(*rows, row, 5).raw,
                         _ColGetBoolean(*rows, row, 6)};
      totals[key] = Plus(totals[key], _ColGetDec64(*rows, row, 7));
    }
    BucketHold money;
    for (const auto& [key, total] : totals) {
      if (total.IsZero()) continue;
      const auto& [item, statement, charge, b, rateRaw, spent] = key;
      const Dec64 rate = Dec64::FromRaw(rateRaw);
      const Dec64 reversal = Minus(Dec64{}, total);
      Dec64 base;
      if (!Base(total, rate, base)) return false;
      if (*money == nullptr && !AcqDbBase::LoadBktFromCols(0, 0, money.get(), kMoneyRowColumns,
                                                           names::po_line_item_budget_amount))
        return false;
      BktHandle m = *money;
      _BktDeleteAll(m);
      int row = 0;
      _BktInsert(m, 0, row);
      _ColSetInt(m, row, Col(m, "po#"), po_);
      _ColSetInt(m, row, Col(m, "line"), lineNo_);
      _ColSetInt(m, row, Col(m, "item"), item);
      _ColSetTextW(m, row, Col(m, "budget"), b);
      _ColSetDec64(m, row, Col(m, "amount"), reversal);
      _ColSetDec64(m, row, Col(m, "exchange_rate"), rate);
      _ColSetBoolean(m, row, Col(m, "spent"), spent);
      _ColSetTextW(m, row, Col(m, "extra_charge_type"), charge);
      SetKeyOrNull(m, row, "statement#", statement);
      if (!InsertRow(row, m, names::po_line_item_budget_amount)) return false;
      if (spent)
        budget::DecreaseExtraSpent(charge, base, b, moves_.deltas(), moves_.detail());
      else
        budget::DecreaseExtraOnOrder(charge, base, b, moves_.deltas(), moves_.detail());
      extraValues_.push_back(Minus(Dec64{}, base));
      const ActivityEntry& e = entry_;
      if (!WriteHistory(po_, lineNo_, {item}, "extchrg", now_, [&](BktHandle h, int index) {
            if (index >= 0) return;
            _ColSetDec64(h, 1, Col(h, "amount"), reversal);
            _ColSetDec64(h, 1, Col(h, "exchange_rate"), rate);
            SetKeyOrNull(h, 1, "statement#", statement);
            _ColSetTextW(h, 1, Col(h, "extra_charge_type"), charge);
            FillNotes(h, e, true);
          }))
        return false;
    }
    return true;
  }

  // A received item's catalogue item is no longer on order ("r" -> "n")
  // and its serial copy is received (acq_status 3 -> 4); records in any
  // other state are left as they are.
  bool CatalogueReceived() {
    const std::string mine = "(select %1 from po_line_item where " + PoLineWhere(po_, lineNo_) +
                             " and item in(" + ItemList() + ") and %1 IS NOT NULL)";
    return RunStatement("update item set item_status='n' where item_status='r' and item# in" +
                        Lb_FormatMessage(mine, "item#")) &&
           RunStatement("update copy set acq_status=4 where acq_status=3 and copy# in" +
                        Lb_FormatMessage(mine, "copy#"));
  }

  // ---- step 10: statistics, keyed by the PO's vendor ----

  bool LogStatistics() {
    using namespace AcqDbStat::code;
    auto log = [&](std::string_view code, Dec64 value) {
      return AcqDbStat::LogStat(code, value, vendor_);
    };
    if (Receives()) {
      if (firstReceipt_ && !log(kLineReceived, Dec64::FromInt(1))) return false;
      if (!LogReceiptStatistics()) return false;
    }
    if (Receives() || Cancels()) {
      LineCounts after;
      if (!LoadLineCounts(po_, lineNo_, after)) return false;
      if (FullyProcessed(after) && !FullyProcessed(before_) &&
          !log(kLineProcessed, Dec64::FromInt(1)))
        return false;
    }
    if (FirstInvoice()) {
      DbMsg msg;
      Dec64 price, rate;
      if (const DbCode code = AcqDbGen::GetAmountXrateFromPoLine(msg, po_, lineNo_, price, rate);
          code != kDbOk) {
        HandleDbError(msg, code);
        return false;
      }
      if (!log(kUnitPrice, price)) return false;
    }
    for (const Dec64& value : extraValues_)
      if (!log(kExtraChargeValue, value)) return false;
    return !spentRows_ || log(kSpentValue, spentBase_);
  }

  // Days from order to receipt per ordered item, the count of items
  // received, and each item's share (its percentage as a fraction) per budget.
  bool LogReceiptStatistics() {
    using namespace AcqDbStat::code;
    BucketHold ordered;
    AcqDb::AppendDbCmd("select item,order_date from po_line_item where ");
    AcqDb::AppendDbCmd(PoLineWhere(po_, lineNo_));
    AcqDb::AppendDbCmd(" and item in(" + ItemList() + ") and order_date IS NOT NULL order by item");
    if (!LoadCommand(ordered.get())) return false;
    for (int row = 1; row <= _BktCountAll(*ordered); ++row) {
      const int days = static_cast<int>(now_.date) - _ColGetInt(*ordered, row, 2);
      if (!AcqDbStat::LogStat(kDaysToReceive, Dec64::FromInt(days), vendor_)) return false;
    }
    if (!AcqDbStat::LogStat(kItemsReceived, Dec64::FromInt(Count()), vendor_)) return false;
    for (int row = 1; row <= Count(); ++row) {
      std::vector<SplitEntry> split;
      if (SplitOfRow(items_, row, split) != 0) continue;   // no readable budgets: no share
      for (const SplitEntry& e : split)
        if (!AcqDbStat::LogStat(kReceivedByBudget,
                                Dec64::FromRaw(int64_t{e.percentage} * (Dec64::kOne / 100)),
                                vendor_))
          return false;
    }
    return true;
  }

  const Activity activity_;
  const BktHandle items_;
  const ActivityEntry& entry_;
  const Now now_;
  const std::string historyCode_;
  AcqFundCtrl::BustList* const list_;
  budget::BudgetMoves& moves_;
  BktHandle header_;   // the caller's Buckets, reloaded in every pass
  BktHandle line_;
  const int32_t po_;
  const int16_t lineNo_;

  int32_t vendor_ = 0;
  int spentEvent_ = 0;
  bool firstReceipt_ = false;
  LineCounts before_;
  std::vector<std::string> codes_;        // cancel, credit, refund: per item row
  Dec64 rate_ = Dec64::FromInt(1);        // the statement's
  std::vector<Dec64> shares_;             // each item's share of the amount
  std::map<int32_t, bool> approved_;      // statements asked in this pass
  Dec64 spentBase_{};                     // spent money written or turned spent, base
  bool spentRows_ = false;
  std::vector<Dec64> extraValues_;        // base of each extra-charge reversal
};

// The empty header and line Buckets an activity reads into.
bool MakeActivityBuckets(BucketHold& header, BucketHold& line) {
  return AcqDbBase::LoadBktFromCols(0, 0, header.get(), kHeaderColumns, names::po) &&
         AcqDbBase::LoadBktFromCols(0, 0, line.get(), kLineNoteColumns, names::po_line);
}

std::function<bool()> ConfirmAgain(AcqFundCtrl::BustList* list) {
  return [list] {
    const AcqFundCtrl::BustHandler handler = AcqFundCtrl::GetBustHandler();
    return AcqFundCtrl::BustListPending(list) && handler != nullptr && handler(list);
  };
}

// ---- saving a line ----------------------------------------------------------------------------

// What refuses a line save before anything is written (the message, or 0).
Refusal CheckLineSave(int32_t po, int16_t line, BktHandle items) {
  DbMsg msg;
  for (int row = 1; row <= _BktCountAll(items); ++row) {
    if (_BktGetState(items, row) == kRowDeleted) {
      if (_ColIsNull(items, row, Col(items, "item"))) continue;
      const int16_t item = Int16(items, row, "item");
      const AcqDbGen::ItemActivity activity = AcqDbGen::PoLineItemActivity(msg, po, line, item);
      if (activity == AcqDbGen::ItemActivity::Activity ||
          AcqDbGen::ExistsPoLineItemVoucher(msg, po, line, item))
        return Refusal(kMsgItemHasActivity);
      if (activity == AcqDbGen::ItemActivity::Renewal) return Refusal(kMsgItemFromRenewal);
      continue;
    }
    std::vector<SplitEntry> split;
    if (const int refusal = SplitOfRow(items, row, split); refusal != 0) {
      const int splitCol = Col(items, "budget_split");
      return Refusal(refusal, splitCol ? _ColGetStringW(items, row, splitCol) : std::string());
    }
  }
  return {};
}

// One pass of a line save, inside its transaction.
class LineSavePass {
 public:
  LineSavePass(BktHandle poRow, BktHandle line, BktHandle items, AcqFundCtrl::BustList* list,
               budget::BudgetMoves& moves)
      : poRow_(poRow), line_(line), items_(items), list_(list), moves_(moves),
        po_(_ColGetInt(poRow, 1, Col(poRow, "po#"))) {}

  bool Run() {
    ExpandQuantities();
    return NumberLineAndItems() && WriteLine() && ReadPrice() && RemoveDeletedItems() &&
           WriteItems() && budget::ApplyBudgetUpdate(list_, moves_, po_, lineNo_, poRow_);
  }

 private:
  bool Live(int row) const { return _BktGetState(items_, row) != kRowDeleted; }

  // A row with a quantity above 1 stands for that many items: it keeps one,
  // and new rows like it take the rest.
  void ExpandQuantities() {
    const int quantityCol = Col(items_, "quantity");
    if (quantityCol == 0) return;
    const char* const copied[] = {"location", "collection", "itype", "call_number",
                                  "budget", "budget_split", "ship_to_address"};
    // The new rows follow their row, so the items are numbered in the order shown.
    for (int row = 1; row <= _BktCountAll(items_); ++row) {
      const int32_t quantity = _ColGetInt(items_, row, quantityCol);
      if (!Live(row) || quantity <= 1) continue;
      _ColSetInt(items_, row, quantityCol, 1);
      for (int32_t n = 1; n < quantity; ++n) {
        const int added = row + n;
        _BktInsertAt(items_, 0, added);
        for (const char* name : copied)
          if (const int col = Col(items_, name); col != 0 && !_ColIsNull(items_, row, col))
            _ColCopy(items_, added, col, items_, row, col);
        _ColSetInt(items_, added, quantityCol, 1);
      }
      row += quantity - 1;
    }
  }

  // The line's number (a new line takes the next), and item numbers from
  // last_item + 1 as it is now in the database.
  bool NumberLineAndItems() {
    const int lineCol = Col(line_, "line");
    const bool newLine = _BktGetState(line_, 1) == kRowNew;
    if (newLine && _ColGetInt(line_, 1, lineCol) <= 0) {
      DbMsg msg;
      int16_t next = 0;
      if (!AcqDbGen::GetNewPoLine(msg, po_, next)) return false;
      _ColSetInt(line_, 1, lineCol, next);
    }
    _ColSetInt(line_, 1, Col(line_, "po#"), po_);
    lineNo_ = Int16(line_, 1, "line");
    int32_t last = 0;
    if (!newLine && !QueryNumber("select last_item from po_line where " +
                                     PoLineWhere(po_, lineNo_),
                                 last))
      return false;
    const int32_t first = last;
    for (int row = 1; row <= _BktCountAll(items_); ++row) {
      if (_BktGetState(items_, row) != kRowNew) continue;
      _ColSetInt(items_, row, Col(items_, "po#"), po_);
      _ColSetInt(items_, row, Col(items_, "line"), lineNo_);
      _ColSetInt(items_, row, Col(items_, "item"), ++last);
    }
    if (newLine || last != first) _ColSetInt(line_, 1, Col(line_, "last_item"), last);
    return true;
  }

  bool WriteLine() {
    if (_BktGetState(line_, 1) == kRowNew) return InsertRow(1, line_, names::po_line);
    const int priceCol = Col(line_, "unit_price");
    priceChanged_ = priceCol != 0 && _ColIsChanged(line_, 1, priceCol);
    return !_BktRowIsChanged(line_, 1) || UpdateRow(1, line_, names::po_line);
  }

  // The line's price as just written and the PO currency's rate.
  bool ReadPrice() {
    DbMsg msg;
    const DbCode code = AcqDbGen::GetAmountXrateFromPoLine(msg, po_, lineNo_, price_, rate_);
    if (code == kDbOk) return true;
    HandleDbError(msg, code);
    return false;
  }

  // Deleted items take all their money with them (only items without
  // activity or vouchers get here).
  bool RemoveDeletedItems() {
    for (int row = 1; row <= _BktCountAll(items_); ++row) {
      if (Live(row) || _ColIsNull(items_, row, Col(items_, "item"))) continue;
      const int16_t item = Int16(items_, row, "item");
      DbMsg msg;
      if (!budget::RemoveItemBudgetAmounts(po_, lineNo_, item, "", moves_) ||
          !DeleteItemBudgetRows(po_, lineNo_, item))
        return false;
      if (const DbCode code = AcqDb::DeleteRow(msg, row, items_, names::po_line_item);
          code != kDbOk) {
        HandleDbError(msg, code);
        return false;
      }
    }
    return true;
  }

  bool WriteItems() {
    const int budgetCol = Col(items_, "budget");
    const int splitCol = Col(items_, "budget_split");
    for (int row = 1; row <= _BktCountAll(items_); ++row) {
      if (!Live(row)) continue;
      const int16_t item = Int16(items_, row, "item");
      std::vector<SplitEntry> split;
      (void)SplitOfRow(items_, row, split);   // checked before the transaction
      if (_BktGetState(items_, row) == kRowNew) {
        if (!InsertRow(row, items_, names::po_line_item) ||
            (!split.empty() && !budget::SplitLineItemBudgets(po_, lineNo_, item, split, price_,
                                                             rate_, false, true, {}, moves_)))
          return false;
        continue;
      }
      const bool budgetChanged = (budgetCol && _ColIsChanged(items_, row, budgetCol)) ||
                                 (splitCol && _ColIsChanged(items_, row, splitCol));
      const bool carriesPrice =
          !IsSet(items_, row, "invoice_date") && !IsSet(items_, row, "cancel_date");
      if (_BktRowIsChanged(items_, row) && !UpdateRow(row, items_, names::po_line_item))
        return false;
      if (budgetChanged) {
        if (!DeleteItemBudgetRows(po_, lineNo_, item) ||
            !budget::RemoveItemBudgetAmounts(po_, lineNo_, item, kPriceRows, moves_))
          return false;
        const bool ok = carriesPrice
                            ? split.empty() || budget::SplitLineItemBudgets(
                                                   po_, lineNo_, item, split, price_, rate_,
                                                   false, true, {}, moves_)
                            : InsertItemBudgetRows(po_, lineNo_, item, split);
        if (!ok) return false;
      } else if (priceChanged_ && carriesPrice &&
                 !SyncPriceRows(po_, lineNo_, item, split, price_, rate_, moves_)) {
        return false;
      }
    }
    return true;
  }

  const BktHandle poRow_;
  const BktHandle line_;
  const BktHandle items_;
  AcqFundCtrl::BustList* const list_;
  budget::BudgetMoves& moves_;
  const int32_t po_;
  int16_t lineNo_ = 0;
  bool priceChanged_ = false;
  Dec64 price_{};
  Dec64 rate_ = Dec64::FromInt(1);
};

}  // namespace

// ---- small rules ------------------------------------------------------------------------------

bool MovesMoney(Activity activity) {
  switch (activity) {
    case Activity::Approve:
    case Activity::Receive:
    case Activity::ReceiveInvoice:
    case Activity::Invoice:
    case Activity::SupInvoice:
    case Activity::Credit:
    case Activity::Refund:
    case Activity::Cancel:
      return true;
    default:
      return false;
  }
}

int StatementLineType(Activity activity) {
  switch (activity) {
    case Activity::Invoice:
    case Activity::ReceiveInvoice:
      return 0;
    case Activity::SupInvoice:
      return 1;
    case Activity::Credit:
      return 3;
    case Activity::Refund:
      return 5;
    default:
      return -1;
  }
}

Now Now::Take() {
  Now now;
  DbDabs_GetDateTime(now.date, now.time);
  return now;
}

Dec64 NormalizeSign(Activity activity, Dec64 amount) {
  const bool negative = activity == Activity::Credit || activity == Activity::Refund;
  if (negative == (amount < Dec64{}) || amount.IsZero()) return amount;
  return Dec64::FromRaw(-amount.raw);
}

std::string HistoryCodeFor(Activity activity, int spentEvent, bool invoiced, bool received) {
  std::string own;
  switch (activity) {
    case Activity::Credit:
      own = "credit";
      break;
    case Activity::Refund:
      own = "refund";
      break;
    default:
      own = "cancel";
      break;
  }
  if (spentEvent == 2) return invoiced ? own : "refund";
  if (spentEvent == 1 && invoiced) return own;
  if (spentEvent == 0 && received && invoiced) return own;
  return received ? "retrn" : "cancel";
}

std::string MergeChangeOrderNote(std::string_view entered, std::string_view existing) {
  if (entered.empty()) return Lb_CutChars(existing, kNoteChars);
  if (existing.empty()) return Lb_CutChars(entered, kNoteChars);
  return Lb_CutChars(std::string(entered) + " " + std::string(existing), kNoteChars);
}

std::string MergeInternalNote(std::string_view existing, std::string_view entered) {
  if (entered.empty()) return Lb_CutChars(existing, kNoteChars);
  if (existing.empty()) return Lb_CutChars(entered, kNoteChars);
  return Lb_CutChars(std::string(existing) + " " + std::string(entered), kNoteChars);
}

// ---- the PO model -----------------------------------------------------------------------------

bool LoadPendingItems(Activity activity, int32_t po, int16_t line, int32_t statement,
                      BktHandle& items) {
  const std::string p = Key(po);
  const std::string l = Key(line);
  // An item has budgets when it has split rows; one with a single budget
  // and no rows counts as having that one.
  const std::string hasBudget =
      " and (budget IS NOT NULL or exists (select * from po_line_item_budget b where b.po#=" + p +
      " and b.line=" + l + " and b.item=po_line_item.item))";
  const std::string notOnStatement =
      " and not exists (select * from po_line_item_budget_amount m where m.po#=" + p +
      " and m.line=" + l + " and m.item=po_line_item.item and m.statement#=" + Key(statement) +
      ")";
  AcqDb::AppendDbCmd("select * from po_line_item where po#=");
  AcqDb::AppendDbCmd(p);
  AcqDb::AppendDbCmd(" and line=");
  AcqDb::AppendDbCmd(l);
  switch (activity) {
    case Activity::Approve:
      AcqDb::AppendDbCmd(" and approve_date IS NULL");
      break;
    case Activity::Receive:
    case Activity::BackOrder:   // what is still to come can be back-ordered
      AcqDb::AppendDbCmd(" and receive_date IS NULL and cancel_date IS NULL");
      break;
    case Activity::ReceiveInvoice:
      AcqDb::AppendDbCmd(" and receive_date IS NULL and invoice_date IS NULL"
                         " and cancel_date IS NULL");
      AcqDb::AppendDbCmd(hasBudget);
      break;
    case Activity::Cancel:
    case Activity::Distribute:   // a cancelled item goes nowhere
      AcqDb::AppendDbCmd(" and cancel_date IS NULL");
      break;
    case Activity::Invoice:
      AcqDb::AppendDbCmd(" and invoice_date IS NULL and cancel_date IS NULL");
      AcqDb::AppendDbCmd(hasBudget);
      break;
    case Activity::SupInvoice:
    case Activity::Credit:
    case Activity::Refund:
      AcqDb::AppendDbCmd(" and invoice_date IS NOT NULL and cancel_date IS NULL");
      AcqDb::AppendDbCmd(notOnStatement);
      if (activity != Activity::SupInvoice)
        AcqDb::AppendDbCmd(" and not (receive_date IS NULL and exists (select * from po where"
                           " po#=" + p + " and spent_event=0))");
      break;
    case Activity::Discontinue:
      AcqDb::AppendDbCmd(" and renew_activity_date IS NULL and cancel_date IS NULL"
                         " and exists (select * from po_line where po#=" + p + " and line=" + l +
                         " and next_renewal_date IS NOT NULL)");
      break;
    case Activity::None:
      break;
  }
  AcqDb::AppendDbCmd(" order by item for browse");
  return LoadCommand(items);
}

bool LoadLineCounts(int32_t po, int16_t line, LineCounts& counts) {
  const std::string head = "select count(*) from po_line_item where po#=" + Key(po) +
                           " and line=" + Key(line);
  return QueryNumber(head + " and order_date IS NOT NULL", counts.ordered) &&
         QueryNumber(head + " and order_date IS NOT NULL AND receive_date IS NOT NULL",
                     counts.received) &&
         QueryNumber(head + " and order_date IS NOT NULL AND cancel_date IS NOT NULL",
                     counts.cancelled);
}

// ---- activities -------------------------------------------------------------------------------

bool RunActivity(Activity activity, BktHandle items, const ActivityEntry& entered) {
  if (const Refusal r = CheckActivity(activity, items, entered); r.id != 0) {
    ShowMessage(r.id, r.a1, r.a2);
    return false;
  }
  ActivityEntry entry = entered;
  entry.amount = NormalizeSign(activity, entry.amount);
  const Now now = Now::Take();
  AcqFundCtrl::BustListHold list;
  budget::BudgetMoves moves;
  BucketHold header, line;
  if (!moves.ok() || !MakeActivityBuckets(header, line)) return false;
  auto steps = [&] {
    moves.Reset();
    return ActivityPass(activity, items, entry, now, {}, list.get(), moves, *header, *line)
        .Run(true);
  };
  const bool committed = AcqDbBase::SaveWithReportedRetry(
      kMaxRetries, steps, {items, *header, *line}, ConfirmAgain(list.get()));
  if (committed && (activity == Activity::Receive || activity == Activity::ReceiveInvoice))
    AcqWrkBatch::ReceiptCommitted(items);
  return committed;
}

bool ActivitySteps(Activity activity, BktHandle items, const ActivityEntry& entered,
                   const Now& now, std::string_view historyCode, AcqFundCtrl::BustList* list,
                   AcqDbBudget::BudgetMoves& moves, bool applyMoney) {
  if (const Refusal r = CheckActivity(activity, items, entered); r.id != 0) {
    ReportFailure(Lb_FormatMessage(AcqBase::LoadStrText(r.id), r.a1, r.a2));
    return false;
  }
  ActivityEntry entry = entered;
  entry.amount = NormalizeSign(activity, entry.amount);
  BucketHold header, line;
  return MakeActivityBuckets(header, line) &&
         ActivityPass(activity, items, entry, now, historyCode, list, moves, *header, *line)
             .Run(applyMoney);
}

// ---- saving a line and approving lines --------------------------------------------------------

bool SavePoLine(BktHandle poRow, BktHandle line, BktHandle items,
                AcqFundCtrl::BustList* confirmed) {
  if (poRow == nullptr || line == nullptr || items == nullptr || _BktCountAll(poRow) < 1 ||
      _BktCountAll(line) < 1) {
    KtSystem_Error("AcqDbAct.SavePoLine: the PO, line and item Buckets are required");
    return false;
  }
  const int32_t po = _ColGetInt(poRow, 1, Col(poRow, "po#"));
  const auto lineNo = Int16(line, 1, "line");
  if (const Refusal r = CheckLineSave(po, lineNo, items); r.id != 0) {
    ShowMessage(r.id, r.a1, r.a2);
    return false;
  }
  AcqFundCtrl::BustListHold own;
  AcqFundCtrl::BustList* list = confirmed != nullptr ? confirmed : own.get();
  budget::BudgetMoves moves;
  if (!moves.ok()) return false;
  auto steps = [&] {
    moves.Reset();
    return LineSavePass(poRow, line, items, list, moves).Run();
  };
  if (!AcqDbBase::SaveWithReportedRetry(kMaxRetries, steps, {line, items}, ConfirmAgain(list)))
    return false;
  // Deleted rows are gone from the database now: from the Bucket too.
  for (int row = _BktCountAll(items); row >= 1; --row)
    if (_BktGetState(items, row) == kRowDeleted) _BktDelete(items, row);
  return true;
}

bool ParseBudgetSplit(std::string_view text, std::vector<SplitEntry>& split) {
  split.clear();
  auto trim = [](std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
  };
  constexpr size_t kBudgetChars = 13;
  size_t start = 0;
  while (start <= text.size()) {
    size_t plus = text.find('+', start);
    if (plus == std::string_view::npos) plus = text.size();
    std::string_view entry = trim(text.substr(start, plus - start));
    // "BUDGET N%": the budget, blanks, a whole percentage and the sign.
    if (entry.empty() || entry.back() != '%') return split.clear(), false;
    entry = trim(entry.substr(0, entry.size() - 1));
    const size_t blank = entry.find_last_of(" \t");
    if (blank == std::string_view::npos) return split.clear(), false;
    const std::string_view budgetText = trim(entry.substr(0, blank));
    const std::string_view digits = entry.substr(blank + 1);
    if (budgetText.empty() || budgetText.find_first_of(" \t") != std::string_view::npos ||
        Lb_CharCount(budgetText) > kBudgetChars || digits.empty() || digits.size() > 3)
      return split.clear(), false;
    int percentage = 0;
    for (char c : digits) {
      if (c < '0' || c > '9') return split.clear(), false;
      percentage = percentage * 10 + (c - '0');
    }
    if (percentage > 100) return split.clear(), false;
    split.push_back(SplitEntry{std::string(budgetText), percentage});
    start = plus + 1;
  }
  return !split.empty();
}

ApproveResult ApprovePoLine(int32_t po, int16_t line) {
  const std::string params = Key(po) + "," + Key(line);
  bool found = false;
  if (!ProcedureFlag("exist_po_line_items", params, found)) return ApproveResult::Failed;
  if (!found) return ApproveResult::NoItems;
  bool verified = false;
  if (!ProcedureFlag("verify_budgets_for_po_line", params, verified)) return ApproveResult::Failed;
  if (!verified) return ApproveResult::MissingBudgets;
  BucketHold items;
  if (!LoadPendingItems(Activity::Approve, po, line, 0, items.get())) return ApproveResult::Failed;
  if (_BktCountAll(*items) == 0) return ApproveResult::NothingToApprove;
  return RunActivity(Activity::Approve, *items, ActivityEntry{}) ? ApproveResult::Approved
                                                                  : ApproveResult::Failed;
}

void Initialize() { historyBkt = nullptr; }
void Terminate() { _BktDestroy(&historyBkt); }

}  // namespace acq::AcqDbAct

ACQ_UNIT_BODY(AcqDbAct)
