// AcqDbProrate: the database side of extra-charge proration: the batches
// that write a statement's prorated rows, their history and their budget
// money, and the undo that takes them back.
//
// Every pass of a batch re-reads the statement, its charges and its line
// rows inside its transaction, so a second workstation that approved the
// statement or prorated the same type meanwhile is noticed there and
// nothing is written twice.
#include "acq/statement/AcqDbProrate.h"

#include <algorithm>
#include <functional>
#include <map>

#include "acq/AcqUnit.h"
#include "acq/budget/AcqDbBudget.h"
#include "acq/budget/AcqFundCtrl.h"
#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbBase.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/db/AcqDbGen.h"
#include "acq/db/AcqDbNames.h"
#include "host/db/DbDabs.h"
#include "host/sys/LbStr.h"

namespace acq::AcqDbProrate {
namespace {

namespace math = AcqProrateMath;
using AcqDb::ClearChanges;
using AcqDbExcept::HandleDbError;

constexpr int kMaxRetries = 5;

// Messages that refuse a batch or an undo.
constexpr int kMsgNoLinesChosen = 248;
constexpr int kMsgNothingProrated = 250;
constexpr int kMsgVouchered = 251;
constexpr int kMsgApproved = 295;
constexpr int kMsgUndoApproved = 304;
constexpr int kMsgProratedMeanwhile = 1570;

constexpr const char* kActivity = "extchrg";   // po_activity_type of proration history
constexpr int kEntered = 0;                    // history transaction_type of a proration
constexpr int kUndone = 2;                     // ... and of its undo

constexpr const char* kPo = "po#";
constexpr const char* kLine = "line";
constexpr const char* kItem = "item";
constexpr const char* kBudget = "budget";
constexpr const char* kAmount = "amount";
constexpr const char* kRate = "exchange_rate";
constexpr const char* kChargeType = "extra_charge_type";
constexpr const char* kVoucher = "voucher#";
constexpr const char* kStatement = "statement#";
constexpr const char* kVendor = "vendor#";
constexpr const char* kContract = "vendor_contract";
constexpr const char* kOnOrder = "on_order";
constexpr const char* kSpent = "spent";

int Col(BktHandle bkt, const char* name) { return bkt ? _BktGetColNum(bkt, name) : 0; }

std::string Key(int32_t key) { return Lb_Int32ToStr(key); }

bool Report(DbCode code, const DbMsg& msg) {
  HandleDbError(msg, code);
  return false;
}

bool ReportText(const std::string& text) {
  DbMsg msg;
  msg.Set(text);
  return Report(kDbError, msg);
}

std::string Quoted(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out + "'";
}

std::string TextAt(BktHandle bkt, int row, int col) {
  return col == 0 || _ColIsNull(bkt, row, col) ? std::string() : _ColGetStringW(bkt, row, col);
}
Dec64 DecAt(BktHandle bkt, int row, int col) {
  return col == 0 || _ColIsNull(bkt, row, col) ? Dec64{} : _ColGetDec64(bkt, row, col);
}
int32_t IntAt(BktHandle bkt, int row, int col) {
  return col == 0 || _ColIsNull(bkt, row, col) ? 0 : _ColGetInt(bkt, row, col);
}

// The result sets of one procedure call, destroyed with the holder.
class ResultSets {
 public:
  ResultSets() = default;
  ~ResultSets() {
    for (BktHandle& bkt : sets_) _BktDestroy(&bkt);
  }
  ResultSets(const ResultSets&) = delete;
  ResultSets& operator=(const ResultSets&) = delete;
  bool Load(std::string_view procedure, int32_t statement) {
    DbMsg msg;
    if (DbCode code = AcqDb::MultLoad(msg, sets_, Key(statement), procedure); code != kDbOk)
      return Report(code, msg);
    return true;
  }
  BktHandle First() const { return sets_.empty() ? nullptr : sets_.front(); }
  int Rows() const { return First() ? _BktCountAll(First()) : 0; }

 private:
  std::vector<BktHandle> sets_;
};


// The statement's line money rows (the columns a share copies), ordered by
// po#, line and item (the order the arithmetic relies on), then by when
// they were made.
bool LoadLineRows(int32_t statement, BucketHold& rows) {
  DbMsg msg;
  if (DbCode code = AcqDb::LoadTableSized(
          msg, ClearChanges::Yes, "po#,line,item,budget_amount#",
          "statement#=" + Key(statement) + " and extra_charge_type IS NULL",
          "po#,line,item,budget,amount,spent,statement_line,statement_line_type",
          names::po_line_item_budget_amount, rows.get(), 1024, 4096);
      code != kDbOk)
    return Report(code, msg);
  return true;
}

std::vector<math::BudgetRow> BudgetRowsOf(BktHandle rows) {
  std::vector<math::BudgetRow> out;
  const int n = _BktCountAll(rows);
  out.reserve(static_cast<size_t>(n));
  const int po = Col(rows, kPo), line = Col(rows, kLine), item = Col(rows, kItem);
  const int budget = Col(rows, kBudget), amount = Col(rows, kAmount);
  for (int row = 1; row <= n; ++row)
    out.push_back(math::BudgetRow{IntAt(rows, row, po), static_cast<int16_t>(IntAt(rows, row, line)),
                                  static_cast<int16_t>(IntAt(rows, row, item)),
                                  TextAt(rows, row, budget), DecAt(rows, row, amount)});
  return out;
}

struct PoContract {
  int32_t vendor = 0;
  std::string contract;
};
using Contracts = std::map<int32_t, PoContract>;

bool LoadContracts(int32_t statement, Contracts& contracts) {
  contracts.clear();
  ResultSets sets;
  if (!sets.Load("get_statement_po_contracts", statement)) return false;
  BktHandle b = sets.First();
  for (int row = 1; row <= sets.Rows(); ++row)
    contracts[IntAt(b, row, Col(b, kPo))] =
        PoContract{IntAt(b, row, Col(b, kVendor)), TextAt(b, row, Col(b, kContract))};
  return true;
}

// The contract delta Bucket of a statement action: vendor#, vendor_contract,
// on_order, spent; one row per contract, made the first time it moves.
class ContractDeltas {
 public:
  ContractDeltas() {
    _BktCreate(bkt_, 4, 4, 4);
    _BktSetColInfo(bkt_, 1, kVendor, 0, kColInt32, 0);
    _BktSetColInfo(bkt_, 2, kContract, 8, kColText, 0);
    _BktSetColInfo(bkt_, 3, kOnOrder, 0, kColDec64, 0);
    _BktSetColInfo(bkt_, 4, kSpent, 0, kColDec64, 0);
  }
  ~ContractDeltas() { _BktDestroy(&bkt_); }
  ContractDeltas(const ContractDeltas&) = delete;
  ContractDeltas& operator=(const ContractDeltas&) = delete;
  void Reset() {
    _BktDeleteAll(bkt_);
    rows_.clear();
  }
  // Adds `base` to the on order of the contract of `po`, when it has one.
  bool AddOnOrder(const Contracts& contracts, int32_t po, Dec64 base) {
    const auto found = contracts.find(po);
    if (found == contracts.end()) return true;
    const auto key = std::make_pair(found->second.vendor, found->second.contract);
    int& row = rows_[key];
    if (row == 0) {
      _BktInsert(bkt_, 0, row);
      _ColSetInt(bkt_, row, 1, key.first);
      _ColSetTextW(bkt_, row, 2, key.second);
      _ColSetDec64(bkt_, row, 3, Dec64{});
      _ColSetDec64(bkt_, row, 4, Dec64{});
    }
    Dec64 sum;
    if (LbDec64_Add64(_ColGetDec64(bkt_, row, 3), base, sum) != DecStatus::Ok)
      return ReportText("The contract's change is out of range.");
    _ColSetDec64(bkt_, row, 3, sum);
    return true;
  }
  BktHandle get() const { return bkt_; }

 private:
  BktHandle bkt_ = nullptr;
  std::map<std::pair<int32_t, std::string>, int> rows_;
};

// Writes one pass's money rows, many to a statement (one round trip to a
// server for each kRowsPerInsert rows, not for each row), then its history
// rows in one statement: one row per (po#, line, item, type) of the pass's
// rows, with their summed amount, at the pass's one date and time. The rows
// of one item and type are written one after the other, so each group is a
// run of consecutive rows, and the types of a pass had no rows before it
// (checked inside the transaction), so the groups are exactly the pass's.
class RowWriter {
 public:
  RowWriter(int32_t statement, Dec64 rate) : statement_(statement), rate_(rate) {
    // One date and time for every history row of the pass.
    DbDabs_GetDateTime(date_, time_);
  }
  RowWriter(const RowWriter&) = delete;
  RowWriter& operator=(const RowWriter&) = delete;

  // The line money rows the shares are copies of.
  void Open(BktHandle source) {
    source_ = source;
    spentCol_ = Col(source, kSpent);
    lineCol_ = Col(source, "statement_line");
    lineTypeCol_ = Col(source, "statement_line_type");
  }

  // A new money row: a copy of row `sourceRow` of the source (`row` its
  // key and budget) with the type, `amount`, the statement's rate and no
  // voucher. Written when kRowsPerInsert are waiting, or by FlushShares.
  bool InsertShare(int sourceRow, const math::BudgetRow& row, const std::string& type,
                   Dec64 amount) {
    sql_ += pending_ == 0 ? "insert into po_line_item_budget_amount(po#,line,item,budget,"
                            "amount,exchange_rate,spent,extra_charge_type,statement#,"
                            "statement_line,statement_line_type) values"
                          : ",";
    sql_ += "(" + Key(row.po) + "," + Lb_Int16ToStr(row.line) + "," + Lb_Int16ToStr(row.item) +
            "," + Quoted(row.budget) + "," + std::to_string(amount.raw) + "," +
            std::to_string(rate_.raw) + "," + (IntAt(source_, sourceRow, spentCol_) ? "1" : "0") +
            "," + Quoted(type) + "," + Key(statement_) + "," + IntOrNull(sourceRow, lineCol_) +
            "," + IntOrNull(sourceRow, lineTypeCol_) + ")";
    return ++pending_ < kRowsPerInsert || FlushShares();
  }

  bool FlushShares() {
    if (pending_ == 0) return true;
    pending_ = 0;
    DbMsg msg;
    int32_t none = 0;
    const DbCode code = AcqDb::ExecSP(msg, &none, sizeof none, "", sql_);
    sql_.clear();
    if (code != kDbOk) return Report(code, msg);
    return true;
  }

  // The history of the rows of `where` (a condition on the money rows),
  // with `transactionType`; run before the rows are deleted for an undo.
  bool WriteHistory(const std::string& where, int transactionType) {
    const std::string sql =
        "insert into po_line_item_history(po#,line,item,po_activity_type,transaction_type,"
        "date,time,statement#,extra_charge_type,amount,exchange_rate) "
        "select po#,line,item,'" + std::string(kActivity) + "'," +
        Lb_Int32ToStr(transactionType) + "," + Lb_Int32ToStr(date_) + "," +
        Lb_Int32ToStr(time_) + "," + Key(statement_) +
        ",extra_charge_type,sum(amount),exchange_rate from po_line_item_budget_amount where " +
        where + " group by po#,line,item,extra_charge_type,exchange_rate";
    DbMsg msg;
    int32_t none = 0;
    if (DbCode code = AcqDb::ExecSP(msg, &none, sizeof none, "", sql); code != kDbOk)
      return Report(code, msg);
    return true;
  }

 private:
  std::string IntOrNull(int row, int col) const {
    return col == 0 || _ColIsNull(source_, row, col) ? "NULL"
                                                     : Lb_Int32ToStr(_ColGetInt(source_, row, col));
  }

  // Rows of one multi-row insert: about 70 characters each.
  static constexpr int kRowsPerInsert = 500;

  const int32_t statement_;
  const Dec64 rate_;
  BktHandle source_ = nullptr;
  int spentCol_ = 0, lineCol_ = 0, lineTypeCol_ = 0;
  std::string sql_;    // the insert being gathered
  int pending_ = 0;    // its rows
  DayNum date_ = 0;
  MinuteOfDay time_ = 0;
};

// Moves `base` of one prorated row on or off the budget's on order, with
// its ledger row naming the item, and onto the PO's contract.
bool MoveShare(bool increase, const std::string& type, Dec64 base, const std::string& budget,
               int32_t po, int16_t line, int16_t item, AcqDbBudget::BudgetMoves& moves,
               const Contracts& contracts, ContractDeltas& contractDeltas) {
  BktHandle detail = moves.detail();
  if (increase) {
    AcqDbBudget::IncreaseExtraOnOrder(type, base, budget, moves.deltas(), detail);
  } else {
    AcqDbBudget::DecreaseExtraOnOrder(type, base, budget, moves.deltas(), detail);
  }
  if (detail != nullptr) {
    const int row = _BktCountAll(detail);
    _ColSetInt(detail, row, Col(detail, kPo), po);
    _ColSetInt(detail, row, Col(detail, kLine), line);
    _ColSetInt(detail, row, Col(detail, kItem), item);
  }
  Dec64 signedBase = base;
  if (!increase) signedBase = Dec64::FromRaw(-base.raw);
  return contractDeltas.AddOnOrder(contracts, po, signedBase);
}

bool BaseOf(Dec64 amount, Dec64 rate, Dec64& base) {
  if (LbDec64_Mul64(amount, rate, base) == DecStatus::Ok) return true;
  return ReportText("The amount " + LbDec64_StrFrom64(amount) + " at the rate " +
                    LbDec64_StrFrom64(rate) + " is out of range.");
}

bool StatementRate(int32_t statement, Dec64& rate) {
  DbMsg msg;
  uint8_t type = 0;
  if (DbCode code = AcqDbGen::GetTypeXrateFromStatement(msg, statement, type, rate);
      code != kDbOk)
    return Report(code, msg);
  return true;
}

std::function<bool()> ConfirmAgain(AcqFundCtrl::BustList* list) {
  return [list] {
    const AcqFundCtrl::BustHandler handler = AcqFundCtrl::GetBustHandler();
    return AcqFundCtrl::BustListPending(list) && handler != nullptr && handler(list);
  };
}

// "statement#=S and extra_charge_type ..." for the prorated rows of
// `types` (every prorated row when empty).
std::string ProratedWhere(int32_t statement, const std::vector<std::string>& types) {
  std::string where = "statement#=" + Key(statement) + " and extra_charge_type IS NOT NULL";
  if (types.empty()) return where;
  std::string list;
  for (const std::string& type : types) list += (list.empty() ? "" : ",") + Quoted(type);
  return where + " and extra_charge_type in(" + list + ")";
}

// ---- one batch of proration ----------------------------------------------------------------

struct ProrateInput {
  int32_t statement = 0;
  std::span<const math::StatementLine> lines;
  math::LineChoice choice = math::LineChoice::All;
  math::Method method = math::Method::Amount;
};

// One pass of a batch, inside its transaction: takes the first types of
// `remaining` that fit in one transaction (`taken` of them) and writes
// every share of those with an open charge and moves their money, or
// refuses (setting `refusal`). The batch size is decided here, from the
// rows as this pass reads them.
bool ProrateBatchPass(const ProrateInput& in, std::span<const std::string> remaining,
                      AcqFundCtrl::BustList* list, AcqDbBudget::BudgetMoves& moves,
                      ContractDeltas& contractDeltas, int& refusal, size_t& taken,
                      size_t& written) {
  moves.Reset();
  contractDeltas.Reset();
  taken = 0;
  written = 0;
  bool approved = false;
  if (!StatementApproved(in.statement, approved)) return false;
  if (approved) {
    refusal = kMsgApproved;
    return false;
  }
  Dec64 rate;
  BucketHold rows;
  if (!StatementRate(in.statement, rate) || !LoadLineRows(in.statement, rows)) return false;
  const std::vector<math::BudgetRow> budgetRows = BudgetRowsOf(*rows);
  math::ProrationPlan plan;
  if (math::BuildProrationLines(in.lines, in.choice, budgetRows, in.method, plan) !=
      math::ProrateResult::Ok)
    return ReportText("The proration lines could not be built.");
  if (plan.lines.empty()) {
    refusal = kMsgNoLinesChosen;
    return false;
  }
  taken = math::ChargeTypesPerBatch(remaining.size(), math::BudgetRowCount(plan));
  taken = std::min(taken, remaining.size());
  std::vector<OpenCharge> charges;
  if (!LoadOpenCharges(in.statement, charges)) return false;
  std::vector<std::pair<std::string, Dec64>> batch;   // type, amount, in the caller's order
  for (const std::string& type : remaining.first(taken)) {
    const auto found = std::find_if(charges.begin(), charges.end(),
                                    [&](const OpenCharge& c) { return c.type == type; });
    if (found == charges.end()) continue;
    if (found->prorated) {
      refusal = kMsgProratedMeanwhile;
      return false;
    }
    batch.emplace_back(type, found->amount);
  }
  if (batch.empty()) return true;
  Contracts contracts;
  if (!LoadContracts(in.statement, contracts)) return false;
  RowWriter writer(in.statement, rate);
  writer.Open(*rows);
  std::vector<math::ChargePart> parts;
  std::vector<std::string> types;
  for (const auto& [type, amount] : batch) {
    types.push_back(type);
    parts.clear();
    switch (math::ProrateOneCharge(plan, budgetRows, amount, AcqDbBudget::MoneyDigits(),
                                   AcqDbBudget::LoadItemSplit, parts)) {
      case math::ProrateResult::Ok: break;
      case math::ProrateResult::SplitNotRead: return false;   // reported by the reader
      case math::ProrateResult::Overflow:
        return ReportText("The extra charge " + type + " of " + LbDec64_StrFrom64(amount) +
                          " cannot be shared: an amount is out of range.");
    }
    for (const math::ChargePart& part : parts) {
      const math::BudgetRow& source = budgetRows[part.row];
      Dec64 base;
      if (!writer.InsertShare(static_cast<int>(part.row) + 1, source, type, part.amount) ||
          !BaseOf(part.amount, rate, base) ||
          !MoveShare(true, type, base, source.budget, source.po, source.line, source.item,
                     moves, contracts, contractDeltas))
        return false;
      ++written;
    }
  }
  return writer.FlushShares() &&
         writer.WriteHistory(ProratedWhere(in.statement, types), kEntered) &&
         AcqDbBudget::ApplyStatementBudgetUpdate(list, moves, false, in.statement,
                                                 contractDeltas.get());
}

// The undo pass, inside its transaction.
bool UndoPass(int32_t statement, const std::vector<std::string>& types,
              AcqFundCtrl::BustList* list, AcqDbBudget::BudgetMoves& moves,
              ContractDeltas& contractDeltas, int& refusal) {
  moves.Reset();
  contractDeltas.Reset();
  const std::string where = ProratedWhere(statement, types);
  DbMsg msg;
  BucketHold rows;
  if (DbCode code = AcqDb::LoadTableSized(msg, ClearChanges::Yes, "budget_amount#", where,
                                          "po#,line,item,budget,amount,exchange_rate,"
                                          "extra_charge_type,voucher#",
                                          names::po_line_item_budget_amount, rows.get(), 1024,
                                          4096);
      code != kDbOk)
    return Report(code, msg);
  BktHandle r = *rows;
  const int n = _BktCountAll(r);
  if (n == 0) {
    refusal = kMsgNothingProrated;
    return false;
  }
  const int voucherCol = Col(r, kVoucher);
  for (int row = 1; row <= n; ++row) {
    if (!_ColIsNull(r, row, voucherCol)) {
      refusal = kMsgVouchered;
      return false;
    }
  }
  bool approved = false;
  if (!StatementApproved(statement, approved)) return false;
  if (approved) {
    refusal = kMsgUndoApproved;
    return false;
  }
  Dec64 rate;
  Contracts contracts;
  if (!StatementRate(statement, rate) || !LoadContracts(statement, contracts)) return false;
  const int poCol = Col(r, kPo), lineCol = Col(r, kLine), itemCol = Col(r, kItem);
  const int typeCol = Col(r, kChargeType), budgetCol = Col(r, kBudget);
  const int amountCol = Col(r, kAmount), rateCol = Col(r, kRate);
  for (int row = 1; row <= n; ++row) {
    Dec64 base;
    if (!BaseOf(DecAt(r, row, amountCol), DecAt(r, row, rateCol), base) ||
        !MoveShare(false, TextAt(r, row, typeCol), base, TextAt(r, row, budgetCol),
                   IntAt(r, row, poCol), static_cast<int16_t>(IntAt(r, row, lineCol)),
                   static_cast<int16_t>(IntAt(r, row, itemCol)), moves, contracts,
                   contractDeltas))
      return false;
  }
  // The history first, while the rows are there; then one statement deletes
  // them all: they were read inside this transaction, so it deletes exactly
  // the rows moved above.
  RowWriter writer(statement, rate);
  int32_t none = 0;
  if (!writer.WriteHistory(where, kUndone)) return false;
  if (DbCode code = AcqDb::ExecSP(msg, &none, sizeof none, "",
                                  "delete from po_line_item_budget_amount where " + where);
      code != kDbOk)
    return Report(code, msg);
  return AcqDbBudget::ApplyStatementBudgetUpdate(list, moves, false, statement,
                                                 contractDeltas.get());
}

}  // namespace

bool LoadOpenCharges(int32_t statement, std::vector<OpenCharge>& charges) {
  charges.clear();
  ResultSets sets;
  if (!sets.Load("get_statement_open_charges", statement)) return false;
  BktHandle b = sets.First();
  for (int row = 1; row <= sets.Rows(); ++row)
    charges.push_back(OpenCharge{TextAt(b, row, Col(b, kChargeType)),
                                 TextAt(b, row, Col(b, "descr")),
                                 DecAt(b, row, Col(b, kAmount)),
                                 IntAt(b, row, Col(b, "prorated")) != 0});
  return true;
}

bool LoadProratedTypes(int32_t statement, std::vector<std::string>& types) {
  types.clear();
  ResultSets sets;
  if (!sets.Load("get_statement_prorated_types", statement)) return false;
  BktHandle b = sets.First();
  for (int row = 1; row <= sets.Rows(); ++row)
    types.push_back(TextAt(b, row, Col(b, kChargeType)));
  return true;
}

bool StatementApproved(int32_t statement, bool& approved) {
  DbMsg msg;
  BucketHold row;
  if (DbCode code = AcqDb::LoadTable(msg, ClearChanges::Yes, "", "statement#=" + Key(statement),
                                     "approve_date", names::statement, row.get());
      code != kDbOk)
    return Report(code, msg);
  approved = _BktCountAll(*row) > 0 && !_ColIsNull(*row, 1, 1);
  return true;
}

bool StatementHasLines(int32_t statement, bool& has) {
  DbMsg msg;
  BucketHold rows;
  // The first row is enough: an empty Bucket of the column to append it to.
  if (!AcqDbBase::LoadBktFromCols(0, 0, rows.get(), "budget_amount#",
                                  names::po_line_item_budget_amount))
    return false;
  if (DbCode code = AcqDb::LoadTableAppendMax(
          msg, ClearChanges::Yes, "", "statement#=" + Key(statement) + " and extra_charge_type IS NULL",
          "budget_amount#", names::po_line_item_budget_amount, rows.get(), 1);
      code != kDbOk)
    return Report(code, msg);
  has = _BktCountAll(*rows) > 0;
  return true;
}

bool ProrateCharges(int32_t statement, std::span<const math::StatementLine> lines,
                    math::LineChoice choice, math::Method method,
                    const std::vector<std::string>& types, ProrateReport& report) {
  report = ProrateReport{};
  const ProrateInput in{statement, lines, choice, method};
  AcqFundCtrl::BustListHold list;
  AcqDbBudget::BudgetMoves moves;
  ContractDeltas contractDeltas;
  if (!moves.ok()) return false;
  std::span<const std::string> remaining(types);
  while (!remaining.empty()) {
    int refusal = 0;
    size_t taken = 0;
    size_t written = 0;
    auto steps = [&] {
      refusal = 0;
      return ProrateBatchPass(in, remaining, list.get(), moves, contractDeltas, refusal, taken,
                              written);
    };
    ++report.batches;
    if (!AcqDbBase::SaveWithReportedRetry(kMaxRetries, steps, {}, ConfirmAgain(list.get())) ||
        taken == 0) {
      report.refusal = refusal;
      break;
    }
    ++report.committed;
    report.rows += written;
    remaining = remaining.subspan(taken);
  }
  return report.committed > 0;
}

bool UndoCharges(int32_t statement, const std::vector<std::string>& types, int& refusal) {
  refusal = 0;
  AcqFundCtrl::BustListHold list;
  AcqDbBudget::BudgetMoves moves;
  ContractDeltas contractDeltas;
  if (!moves.ok()) return false;
  auto steps = [&] {
    refusal = 0;
    return UndoPass(statement, types, list.get(), moves, contractDeltas, refusal);
  };
  return AcqDbBase::SaveWithReportedRetry(kMaxRetries, steps, {}, ConfirmAgain(list.get()));
}

void Initialize() {}
void Terminate() {}

}  // namespace acq::AcqDbProrate

ACQ_UNIT_BODY(AcqDbProrate)
