// AcqDbBudget: the movement of on-order and spent money and the budget
// ledger. Movers collect an action's changes; the apply steps, inside the
// action's transaction, re-read the budgets and contracts "for browse", add
// the changes, let fund control look at the result, and write the totals
// (and, with the site's track_budget_trans, the ledger rows).
//
// Money: Dec64 millionths throughout. Totals are base currency; a money
// row's base amount is amount x exchange_rate, never rounded. Only the
// shares of a split are rounded, to the site's money digits.
#include "acq/budget/AcqDbBudget.h"

#include <algorithm>
#include <functional>

#include "acq/AcqUnit.h"
#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbBase.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/db/AcqDbNames.h"
#include "host/db/DbDabs.h"
#include "host/sys/LbStr.h"
#include "host/sys/RunTime.h"

namespace acq::AcqDbBudget {
namespace {

using AcqDb::ClearChanges;
using AcqDbExcept::HandleDbError;

// Columns, as the tables and views spell them.
constexpr const char* kBudget = "budget";
constexpr const char* kOnOrder = "on_order";
constexpr const char* kSpent = "spent";
constexpr const char* kAmount = "amount";
constexpr const char* kAmountType = "amount_type";
constexpr const char* kTransAmount = "trans_amount";
constexpr const char* kPriorAmount = "prior_amount";
constexpr const char* kItem = "item";
constexpr const char* kLine = "line";
constexpr const char* kPo = "po#";
constexpr const char* kStatement = "statement#";
constexpr const char* kExtraChargeType = "extra_charge_type";
constexpr const char* kTransKey = "budget_transaction#";
constexpr const char* kDetailKey = "budget_transaction_detail#";
constexpr const char* kTransactionSource = "transaction_source";
constexpr const char* kDate = "date";
constexpr const char* kTime = "time";
constexpr const char* kUserId = "user_id";
constexpr const char* kNote = "note";
constexpr const char* kVendor = "vendor#";
constexpr const char* kVendorContract = "vendor_contract";
constexpr const char* kExchangeRate = "exchange_rate";
constexpr const char* kPercentage = "percentage";
constexpr const char* kStatementLine = "statement_line";
constexpr const char* kStatementLineType = "statement_line_type";

constexpr int kBudgetChars = 13;
constexpr int kContractChars = 8;

// Amount types of the ledger.
constexpr int kTypeAllocation = 0;
constexpr int kTypeOnOrder = 1;

// transaction_source of a ledger header.
constexpr int kSourceManual = 0;
constexpr int kSourcePoLine = 1;
constexpr int kSourceStatement = 2;
constexpr int kSourceExtraCharge = 3;

// Budgets quoted into one "in(...)" list: the worst case (13 apostrophes,
// each doubled) keeps the command within its 1024 characters.
constexpr size_t kBudgetsPerCommand = 30;

// The ledger header being written; module-wide, emptied after every write.
BktHandle headerBkt = nullptr;

int Col(BktHandle bkt, const char* name) { return bkt ? _BktGetColNum(bkt, name) : 0; }

bool IsNullAt(BktHandle bkt, int row, int col) { return col == 0 || _ColIsNull(bkt, row, col); }

Dec64 DecOf(BktHandle bkt, int row, const char* name) {
  const int col = Col(bkt, name);
  return IsNullAt(bkt, row, col) ? Dec64{} : _ColGetDec64(bkt, row, col);
}

std::string TextOf(BktHandle bkt, int row, const char* name) {
  const int col = Col(bkt, name);
  return IsNullAt(bkt, row, col) ? std::string() : _ColGetStringW(bkt, row, col);
}

int32_t IntOf(BktHandle bkt, int row, const char* name) {
  const int col = Col(bkt, name);
  return IsNullAt(bkt, row, col) ? 0 : _ColGetInt(bkt, row, col);
}

bool Report(DbCode code, const DbMsg& msg) {
  HandleDbError(msg, code);
  return false;
}

// A failure that is not the server's (an amount out of range), reported the
// same way so that it is held back and shown with the rollback.
bool ReportText(const std::string& text) {
  DbMsg msg;
  msg.Set(text);
  return Report(kDbError, msg);
}

std::string Key(int32_t key) { return Lb_Int32ToStr(key); }

bool Negated(Dec64 amount, Dec64& out) {
  return LbDec64_Sub64(Dec64{}, amount, out) == DecStatus::Ok;
}

// cell += amount; false (reported) when the total leaves Dec64's range.
bool AddToCell(BktHandle bkt, int row, const char* name, Dec64 amount, std::string_view what) {
  const int col = Col(bkt, name);
  const Dec64 current = IsNullAt(bkt, row, col) ? Dec64{} : _ColGetDec64(bkt, row, col);
  Dec64 sum;
  if (LbDec64_Add64(current, amount, sum) != DecStatus::Ok)
    return ReportText("The " + std::string(name) + " total of " + std::string(what) +
                      " would be out of range.");
  _ColSetDec64(bkt, row, col, sum);
  return true;
}

// ---- movers ----------------------------------------------------------------------------------

// What a detail row records besides the budget and the amount.
struct MoveKey {
  bool extra = false;
  int16_t item = 0;
  std::string_view chargeType;
};

int DeltaRow(BktHandle deltas, std::string_view budget) {
  int row = 0;
  if (_BktLocateKey(deltas, Col(deltas, kBudget), BktKey::Text(budget), 0, BktKey{}, row))
    return row;
  _BktInsert(deltas, 0, row);
  _ColSetTextW(deltas, row, Col(deltas, kBudget), budget);
  _ColSetDec64(deltas, row, Col(deltas, kOnOrder), Dec64{});
  _ColSetDec64(deltas, row, Col(deltas, kSpent), Dec64{});
  return row;
}

void Move(const char* mover, int type, bool decrease, const MoveKey& key, Dec64 amount,
          std::string_view budget, BktHandle deltas, BktHandle detail) {
  Dec64 change = amount;
  if (decrease && !Negated(amount, change)) {
    KtSystem_Error1("AcqDbBudget.%s: amount out of range.", mover);
    return;
  }
  if (deltas != nullptr) {
    const int row = DeltaRow(deltas, budget);
    const int col = Col(deltas, type == kTypeOnOrder ? kOnOrder : kSpent);
    Dec64 sum;
    if (LbDec64_Add64(_ColGetDec64(deltas, row, col), change, sum) != DecStatus::Ok) {
      KtSystem_Error1("AcqDbBudget.%s: the budget's change is out of range.", mover);
      return;
    }
    _ColSetDec64(deltas, row, col, sum);
  }
  if (detail == nullptr) return;
  int row = 0;
  _BktInsert(detail, 0, row);
  _ColSetTextW(detail, row, Col(detail, kBudget), budget);
  _ColSetInt(detail, row, Col(detail, kAmountType), type);
  _ColSetDec64(detail, row, Col(detail, kTransAmount), change);
  if (!key.extra) {
    _ColSetInt(detail, row, Col(detail, kItem), key.item);
  } else if (!key.chargeType.empty()) {
    _ColSetTextW(detail, row, Col(detail, kExtraChargeType), key.chargeType);
  }
}

MoveKey ItemKey(int16_t item) { return MoveKey{false, item, {}}; }
MoveKey ChargeKey(std::string_view chargeType) { return MoveKey{true, 0, chargeType}; }

// ---- reading the rows to update ----------------------------------------------------------------

std::vector<std::string> DistinctBudgets(BktHandle bkt) {
  std::vector<std::string> budgets;
  const int col = Col(bkt, kBudget);
  if (col == 0) return budgets;
  for (int row = 1; row <= _BktCountAll(bkt); ++row) {
    if (_ColIsNull(bkt, row, col)) continue;
    std::string budget = _ColGetStringW(bkt, row, col);
    if (std::find(budgets.begin(), budgets.end(), budget) == budgets.end())
      budgets.push_back(std::move(budget));
  }
  return budgets;
}

// An empty Bucket of `table`'s columns in `bkt`: made when null, else emptied.
bool EmptyRowsOf(BktHandle& bkt, const char* table) {
  if (bkt != nullptr) {
    _BktDeleteAll(bkt);
    return true;
  }
  return AcqDbBase::LoadBktFromCols(0, 0, bkt, "*", table);
}

// The vendor_contract_extra row of one contract, read for browse after the
// rows `result` already holds.
bool AppendContract(int32_t vendor, std::string_view contract, BktHandle result) {
  AcqDb::AppendDbCmd(std::string("select * from ") + names::vendor_contract_extra +
                     " where vendor#=" + Key(vendor) + " and vendor_contract=");
  AcqDb::QuoteAppendDbCmd(contract);
  AcqDb::AppendDbCmd(" for browse");
  DbMsg msg;
  if (DbCode code = AcqDb::LoadDbCmd(msg, ClearChanges::Yes, result); code != kDbOk)
    return Report(code, msg);
  return true;
}

void DropZeroDeltas(BktHandle deltas) {
  if (deltas == nullptr) return;
  for (int row = _BktCountAll(deltas); row >= 1; --row) {
    if (DecOf(deltas, row, kOnOrder).IsZero() && DecOf(deltas, row, kSpent).IsZero())
      _BktDelete(deltas, row);
  }
}

struct Sums {
  Dec64 onOrder;
  Dec64 spent;
};

bool SumDeltas(BktHandle deltas, Sums& sums) {
  sums = Sums{};
  for (int row = 1; deltas && row <= _BktCountAll(deltas); ++row) {
    if (LbDec64_Add64(sums.onOrder, DecOf(deltas, row, kOnOrder), sums.onOrder) != DecStatus::Ok ||
        LbDec64_Add64(sums.spent, DecOf(deltas, row, kSpent), sums.spent) != DecStatus::Ok)
      return ReportText("The contract's change would be out of range.");
  }
  return true;
}

// Adds the non-zero amounts to row `row` of a budget or contract Bucket.
bool AddAmounts(BktHandle rows, int row, Dec64 onOrder, Dec64 spent, std::string_view what) {
  if (!onOrder.IsZero() && !AddToCell(rows, row, kOnOrder, onOrder, what)) return false;
  if (!spent.IsZero() && !AddToCell(rows, row, kSpent, spent, what)) return false;
  return true;
}

std::string ContractLabel(int32_t vendor, std::string_view contract) {
  return "contract " + std::string(contract) + " of vendor " + Key(vendor);
}

// ---- the ledger ------------------------------------------------------------------------------

int BudgetRow(BktHandle totals, std::string_view budget) {
  int row = 0;
  const int col = Col(totals, kBudget);
  if (col == 0 || !_BktLocateKey(totals, col, BktKey::Text(budget), 0, BktKey{}, row)) return 0;
  return row;
}

const char* TotalOfType(int type) {
  if (type == kTypeOnOrder) return kOnOrder;
  if (type == kTypeAllocation) return kAmount;
  return kSpent;
}

// prior_amount := the budget's total of the row's type; total += trans_amount.
bool ApplyDetailRow(BktHandle totals, BktHandle detail, int row) {
  const std::string budget = TextOf(detail, row, kBudget);
  const int budgetRow = BudgetRow(totals, budget);
  const int priorCol = Col(detail, kPriorAmount);
  if (budgetRow == 0) {
    _ColSetNull(detail, row, priorCol);
    return true;
  }
  const char* total = TotalOfType(IntOf(detail, row, kAmountType));
  _ColSetDec64(detail, row, priorCol, DecOf(totals, budgetRow, total));
  return AddToCell(totals, budgetRow, total, DecOf(detail, row, kTransAmount), budget);
}

bool ApplyDetailRows(BktHandle& result, BktHandle detail,
                     const std::function<void(int row)>& stamp) {
  if (!AcqDbBudget::LoadBudgetsForUpdate(detail, result)) return false;
  for (int row = 1; detail && row <= _BktCountAll(detail); ++row) {
    stamp(row);
    if (!ApplyDetailRow(result, detail, row)) return false;
  }
  return true;
}

// Neighbours (after sorting) on the same budget, charge type and amount
// type whose amounts cancel exactly are dropped: an edit moved that charge
// up and back down, and the ledger need not show it.
void DropCancellingPairs(BktHandle detail) {
  const int budgetCol = Col(detail, kBudget);
  const int chargeCol = Col(detail, kExtraChargeType);
  const int typeCol = Col(detail, kAmountType);
  _BktSort(detail, {budgetCol, chargeCol, typeCol});
  auto samePlace = [&](int a, int b) {
    return _ColCompare(detail, a, budgetCol, detail, b, budgetCol) == 0 &&
           _ColCompare(detail, a, chargeCol, detail, b, chargeCol) == 0 &&
           _ColCompare(detail, a, typeCol, detail, b, typeCol) == 0;
  };
  for (int row = _BktCountAll(detail); row >= 2;) {
    Dec64 sum;
    if (samePlace(row - 1, row) &&
        LbDec64_Add64(DecOf(detail, row - 1, kTransAmount), DecOf(detail, row, kTransAmount),
                      sum) == DecStatus::Ok &&
        sum.IsZero()) {
      _BktDelete(detail, row);
      _BktDelete(detail, row - 1);
      row -= 2;
    } else {
      row -= 1;
    }
  }
}

int SourceOf(BktHandle detail) {
  if (!IsNullAt(detail, 1, Col(detail, kPo))) return kSourcePoLine;
  if (IsNullAt(detail, 1, Col(detail, kStatement))) return kSourceManual;
  return IsNullAt(detail, 1, Col(detail, kExtraChargeType)) ? kSourceStatement
                                                            : kSourceExtraCharge;
}

bool InsertHeader(std::string_view note, BktHandle detail, int32_t& key) {
  DbMsg msg;
  if (DbCode code = _DbGetNewKeyValidate(AcqDbGlobal::Session(), names::budget_transaction,
                                         names::budget_transaction, kTransKey, key, msg);
      code != kDbOk)
    return Report(code, msg);
  DayNum date = 0;
  MinuteOfDay time = 0;
  DbDabs_GetDateTime(date, time);
  int row = 0;
  _BktInsert(headerBkt, 0, row);
  _ColSetInt(headerBkt, row, Col(headerBkt, kTransKey), key);
  _ColSetInt(headerBkt, row, Col(headerBkt, kTransactionSource), SourceOf(detail));
  _ColSetInt(headerBkt, row, Col(headerBkt, kDate), date);
  _ColSetInt(headerBkt, row, Col(headerBkt, kTime), time);
  _ColSetTextW(headerBkt, row, Col(headerBkt, kUserId), DbUser_GetUser());
  if (!note.empty()) _ColSetTextW(headerBkt, row, Col(headerBkt, kNote), note);
  if (DbCode code = AcqDb::InsertRow(msg, row, headerBkt, names::budget_transaction);
      code != kDbOk)
    return Report(code, msg);
  return true;
}

bool WriteLedger(std::string_view note, BktHandle detail) {
  if (headerBkt == nullptr &&
      !AcqDbBase::LoadBktFromCols(0, 0, headerBkt, "*", names::budget_transaction))
    return false;
  struct Emptied {
    ~Emptied() { _BktDeleteAll(headerBkt); }
  } emptied;
  int32_t key = 0;
  if (!InsertHeader(note, detail, key)) return false;
  const int keyCol = Col(detail, kTransKey);
  const int detailKeyCol = Col(detail, kDetailKey);
  for (int row = 1; row <= _BktCountAll(detail); ++row) {
    _ColSetInt(detail, row, keyCol, key);
    // The database numbers each detail row; a number left from an
    // earlier, rolled-back pass must not be written again.
    if (detailKeyCol != 0) _ColSetNull(detail, row, detailKeyCol);
    DbMsg msg;
    if (DbCode code = AcqDb::InsertRow(msg, row, detail, names::budget_transaction_detail);
        code != kDbOk)
      return Report(code, msg);
  }
  return true;
}

// Writes the changed rows of `rows` to `table`.
bool WriteChangedRows(BktHandle rows, const char* table) {
  for (int row = 1; rows && row <= _BktCountAll(rows); ++row) {
    if (!_BktRowIsChanged(rows, row)) continue;
    DbMsg msg;
    if (DbCode code = AcqDb::UpdateRow(msg, row, rows, table); code != kDbOk)
      return Report(code, msg);
  }
  return true;
}

// Fund control on the budgets as they would be after the action: false
// when it noted a finding.
bool BudgetsPass(AcqFundCtrl::BustList* list, BudgetMoves& moves, BktHandle totals) {
  return !AcqFundCtrl::CheckBudgetAuthorization(list, totals) &&
         !AcqFundCtrl::CheckBudgetBusts(list, moves.deltas(), totals);
}

// The contract check, then the writes: ledger, budget totals, contracts.
// Nothing is written while fund control has a finding.
bool CheckContractsAndWrite(AcqFundCtrl::BustList* list, BudgetMoves& moves, BktHandle totals,
                            BktHandle contractDeltas, BktHandle contracts) {
  if (AcqFundCtrl::CheckContractBusts(list, contractDeltas, contracts)) return false;
  if (moves.detail() != nullptr && _BktCountAll(moves.detail()) > 0 &&
      !WriteBudgetTransaction("", moves.detail()))
    return false;
  return WriteChangedRows(totals, names::account_year) &&
         WriteChangedRows(contracts, names::vendor_contract);
}

bool AmountTimesRate(Dec64 amount, Dec64 rate, Dec64& base) {
  if (LbDec64_Mul64(amount, rate, base) == DecStatus::Ok) return true;
  return ReportText("The amount " + LbDec64_StrFrom64(amount) + " at the rate " +
                    LbDec64_StrFrom64(rate) + " is out of range.");
}

std::string ItemWhere(int32_t po, int16_t line, int16_t item) {
  return "po#=" + Key(po) + " and line=" + Lb_Int16ToStr(line) + " and item=" +
         Lb_Int16ToStr(item);
}

}  // namespace

// ---- the action's Buckets --------------------------------------------------------------------

bool CreateBudgetDeltas(BktHandle& deltas) {
  _BktCreate(deltas, 3, 8, 8);
  _BktSetColInfo(deltas, 1, kBudget, kBudgetChars, kColText, 0);
  _BktSetColInfo(deltas, 2, kOnOrder, 0, kColDec64, 0);
  _BktSetColInfo(deltas, 3, kSpent, 0, kColDec64, 0);
  return true;
}

bool CreateBudgetTransDetail(BktHandle& detail) {
  return AcqDbBase::LoadBktFromCols(0, 0, detail, "*", names::budget_transaction_detail);
}

BudgetMoves::BudgetMoves() {
  CreateBudgetDeltas(deltas_);
  if (AcqDbGlobal::Globals().params.track_budget_trans && !CreateBudgetTransDetail(detail_)) {
    _BktDestroy(&detail_);
    _BktDestroy(&deltas_);
  }
}

BudgetMoves::~BudgetMoves() {
  _BktDestroy(&deltas_);
  _BktDestroy(&detail_);
}

void BudgetMoves::Reset() {
  if (deltas_ != nullptr) _BktDeleteAll(deltas_);
  if (detail_ != nullptr) _BktDeleteAll(detail_);
}

// ---- movers ----------------------------------------------------------------------------------

void IncreaseOnOrder(int16_t item, Dec64 amount, std::string_view budget, BktHandle deltas,
                     BktHandle detail) {
  Move("IncreaseOnOrder", kTypeOnOrder, false, ItemKey(item), amount, budget, deltas, detail);
}
void DecreaseOnOrder(int16_t item, Dec64 amount, std::string_view budget, BktHandle deltas,
                     BktHandle detail) {
  Move("DecreaseOnOrder", kTypeOnOrder, true, ItemKey(item), amount, budget, deltas, detail);
}
void IncreaseSpent(int16_t item, Dec64 amount, std::string_view budget, BktHandle deltas,
                   BktHandle detail) {
  Move("IncreaseSpent", AcqFundCtrl::kSpent, false, ItemKey(item), amount, budget, deltas,
       detail);
}
void DecreaseSpent(int16_t item, Dec64 amount, std::string_view budget, BktHandle deltas,
                   BktHandle detail) {
  Move("DecreaseSpent", AcqFundCtrl::kSpent, true, ItemKey(item), amount, budget, deltas, detail);
}
void IncreaseExtraOnOrder(std::string_view chargeType, Dec64 amount, std::string_view budget,
                          BktHandle deltas, BktHandle detail) {
  Move("IncreaseExtraOnOrder", kTypeOnOrder, false, ChargeKey(chargeType), amount, budget, deltas,
       detail);
}
void DecreaseExtraOnOrder(std::string_view chargeType, Dec64 amount, std::string_view budget,
                          BktHandle deltas, BktHandle detail) {
  Move("DecreaseExtraOnOrder", kTypeOnOrder, true, ChargeKey(chargeType), amount, budget, deltas,
       detail);
}
void IncreaseExtraSpent(std::string_view chargeType, Dec64 amount, std::string_view budget,
                        BktHandle deltas, BktHandle detail) {
  Move("IncreaseExtraSpent", AcqFundCtrl::kSpent, false, ChargeKey(chargeType), amount, budget,
       deltas, detail);
}
void DecreaseExtraSpent(std::string_view chargeType, Dec64 amount, std::string_view budget,
                        BktHandle deltas, BktHandle detail) {
  Move("DecreaseExtraSpent", AcqFundCtrl::kSpent, true, ChargeKey(chargeType), amount, budget,
       deltas, detail);
}

// ---- apply steps -----------------------------------------------------------------------------

bool LoadBudgetsForUpdate(BktHandle budgets, BktHandle& result) {
  const std::vector<std::string> wanted = DistinctBudgets(budgets);
  if (!EmptyRowsOf(result, names::budget)) return false;
  for (size_t first = 0; first < wanted.size(); first += kBudgetsPerCommand) {
    const size_t last = std::min(wanted.size(), first + kBudgetsPerCommand);
    AcqDb::AppendDbCmd(std::string("select * from ") + names::budget + " where budget in(");
    for (size_t n = first; n < last; ++n) {
      if (n > first) AcqDb::AppendDbCmd(",");
      AcqDb::QuoteAppendDbCmd(wanted[n]);
    }
    AcqDb::AppendDbCmd(")");
    AcqDb::AppendDbCmd(" for browse");
    DbMsg msg;
    if (DbCode code = AcqDb::LoadDbCmd(msg, ClearChanges::Yes, result); code != kDbOk)
      return Report(code, msg);
  }
  _BktSort(result, {Col(result, kBudget)});
  return true;
}

bool ApplyBudgetDeltas(BktHandle deltas, BktHandle& result) {
  DropZeroDeltas(deltas);
  if (!LoadBudgetsForUpdate(deltas, result)) return false;
  for (int row = 1; deltas && row <= _BktCountAll(deltas); ++row) {
    const std::string budget = TextOf(deltas, row, kBudget);
    const int budgetRow = BudgetRow(result, budget);
    if (budgetRow == 0) continue;   // gone: nothing to write back
    if (!AddAmounts(result, budgetRow, DecOf(deltas, row, kOnOrder), DecOf(deltas, row, kSpent),
                    budget))
      return false;
  }
  return true;
}

bool ApplyBudgetTransactions(int32_t po, int16_t line, BktHandle& result, BktHandle detail) {
  const int poCol = Col(detail, kPo);
  const int lineCol = Col(detail, kLine);
  return ApplyDetailRows(result, detail, [&](int row) {
    _ColSetInt(detail, row, poCol, po);
    _ColSetInt(detail, row, lineCol, line);
  });
}

bool ApplyStatementTransactions(bool cancel, int32_t statement, BktHandle& result,
                                BktHandle detail) {
  if (cancel && detail != nullptr) DropCancellingPairs(detail);
  const int statementCol = Col(detail, kStatement);
  return ApplyDetailRows(result, detail,
                         [&](int row) { _ColSetInt(detail, row, statementCol, statement); });
}

bool ApplyContractDeltas(BktHandle poRow, BktHandle deltas, BktHandle& result) {
  if (result != nullptr) _BktDeleteAll(result);
  if (poRow == nullptr || _BktCountAll(poRow) == 0) return true;
  const std::string contract = TextOf(poRow, 1, kVendorContract);
  if (contract.empty()) return true;
  const int32_t vendor = IntOf(poRow, 1, kVendor);
  DropZeroDeltas(deltas);
  Sums sums;
  if (!SumDeltas(deltas, sums)) return false;
  if (sums.onOrder.IsZero() && sums.spent.IsZero()) return true;
  if (!EmptyRowsOf(result, names::vendor_contract_extra) ||
      !AppendContract(vendor, contract, result))
    return false;
  for (int row = 1; row <= _BktCountAll(result); ++row) {
    if (!AddAmounts(result, row, sums.onOrder, sums.spent, ContractLabel(vendor, contract)))
      return false;
  }
  return true;
}

bool MakeContractDeltas(BktHandle& contractDeltas, BktHandle poRow, BktHandle deltas) {
  if (contractDeltas == nullptr) {
    _BktCreate(contractDeltas, 4, 1, 1);
    _BktSetColInfo(contractDeltas, 1, kVendor, 0, kColInt32, 0);
    _BktSetColInfo(contractDeltas, 2, kVendorContract, kContractChars, kColText, 0);
    _BktSetColInfo(contractDeltas, 3, kOnOrder, 0, kColDec64, 0);
    _BktSetColInfo(contractDeltas, 4, kSpent, 0, kColDec64, 0);
  } else {
    _BktDeleteAll(contractDeltas);
  }
  if (poRow == nullptr || _BktCountAll(poRow) == 0) return true;
  const std::string contract = TextOf(poRow, 1, kVendorContract);
  if (contract.empty()) return true;
  Sums sums;
  if (!SumDeltas(deltas, sums)) return false;
  int row = 0;
  _BktInsert(contractDeltas, 0, row);
  _ColSetInt(contractDeltas, row, Col(contractDeltas, kVendor), IntOf(poRow, 1, kVendor));
  _ColSetTextW(contractDeltas, row, Col(contractDeltas, kVendorContract), contract);
  _ColSetDec64(contractDeltas, row, Col(contractDeltas, kOnOrder), sums.onOrder);
  _ColSetDec64(contractDeltas, row, Col(contractDeltas, kSpent), sums.spent);
  return true;
}

bool WriteBudgetTransaction(std::string_view note, BktHandle detail) {
  if (detail == nullptr || _BktCountAll(detail) == 0) return true;
  if (AcqDbExcept::TransCount() > 0) return WriteLedger(note, detail);
  // Header and detail rows stand or fall together.
  AcqDbBase::TransactionHold hold;
  if (!WriteLedger(note, detail)) return false;
  return hold.Commit();
}

bool WriteBudgetTransactionNote(std::string_view note, BktHandle detail) {
  for (int row = detail ? _BktCountAll(detail) : 0; row >= 1; --row) {
    if (DecOf(detail, row, kTransAmount).IsZero()) _BktDelete(detail, row);
  }
  return WriteBudgetTransaction(note, detail);
}

bool ApplyBudgetUpdate(AcqFundCtrl::BustList* list, BudgetMoves& moves, int32_t po,
                       int16_t line, BktHandle poRow) {
  BucketHold totals, contracts, contractDeltas;
  const bool applied = moves.detail() != nullptr
                           ? ApplyBudgetTransactions(po, line, totals.get(), moves.detail())
                           : ApplyBudgetDeltas(moves.deltas(), totals.get());
  if (!applied || !BudgetsPass(list, moves, *totals)) return false;
  if (!ApplyContractDeltas(poRow, moves.deltas(), contracts.get()) ||
      !MakeContractDeltas(contractDeltas.get(), poRow, moves.deltas()))
    return false;
  return CheckContractsAndWrite(list, moves, *totals, *contractDeltas, *contracts);
}

bool ApplyStatementBudgetUpdate(AcqFundCtrl::BustList* list, BudgetMoves& moves, bool cancel,
                                int32_t statement, BktHandle contractDeltas) {
  BucketHold totals, contracts;
  const bool applied =
      moves.detail() != nullptr
          ? ApplyStatementTransactions(cancel, statement, totals.get(), moves.detail())
          : ApplyBudgetDeltas(moves.deltas(), totals.get());
  if (!applied || !BudgetsPass(list, moves, *totals)) return false;
  DropZeroDeltas(contractDeltas);
  if (contractDeltas != nullptr && _BktCountAll(contractDeltas) > 0) {
    if (!EmptyRowsOf(contracts.get(), names::vendor_contract_extra)) return false;
    for (int row = 1; row <= _BktCountAll(contractDeltas); ++row) {
      const int32_t vendor = IntOf(contractDeltas, row, kVendor);
      const std::string contract = TextOf(contractDeltas, row, kVendorContract);
      const int before = _BktCountAll(*contracts);
      if (!AppendContract(vendor, contract, *contracts)) return false;
      for (int read = before + 1; read <= _BktCountAll(*contracts); ++read) {
        if (!AddAmounts(*contracts, read, DecOf(contractDeltas, row, kOnOrder),
                        DecOf(contractDeltas, row, kSpent), ContractLabel(vendor, contract)))
          return false;
      }
    }
  }
  return CheckContractsAndWrite(list, moves, *totals, contractDeltas, *contracts);
}

// ---- splitting an item's money ---------------------------------------------------------------

int MoneyDigits() {
  return std::clamp<int>(AcqDbGlobal::Globals().params.decimal_digits, 0, Dec64::kScale);
}

std::vector<Dec64> SplitShares(Dec64 amount, const std::vector<SplitEntry>& split) {
  std::vector<Dec64> shares;
  shares.reserve(split.size());
  Dec64 remaining = amount;
  int remainingPercent = 100;
  for (size_t n = 0; n < split.size(); ++n) {
    const int percent = split[n].percentage;
    Dec64 share;
    if (amount.IsZero()) {
      share = Dec64{};
    } else if (n + 1 == split.size()) {
      share = remaining;
    } else if (percent == 100) {
      share = amount;
    } else if (remainingPercent <= 0) {
      share = Dec64{};   // the percentages were spent already: only the last takes the rest
    } else {
      // remaining x percent / remaining percent, multiplied first; an
      // amount too large for that takes the division first.
      share = remaining;
      if (LbDec64_Mul64C(share, Dec64::FromInt(percent)) == DecStatus::Ok) {
        (void)LbDec64_Div64C(share, Dec64::FromInt(remainingPercent));
      } else {
        share = remaining;
        (void)LbDec64_Div64C(share, Dec64::FromInt(remainingPercent));
        (void)LbDec64_Mul64C(share, Dec64::FromInt(percent));
      }
      (void)LbDec64_Round64(share, MoneyDigits());
    }
    remainingPercent -= percent;
    // share never exceeds what remains by more than rounding, so this stays in range.
    (void)LbDec64_Sub64(remaining, share, remaining);
    shares.push_back(share);
  }
  return shares;
}

bool SplitLineItemBudgets(int32_t po, int16_t line, int16_t item,
                          const std::vector<SplitEntry>& split, Dec64 amount, Dec64 rate,
                          bool spent, bool insertItemBudgets, const MoneySource& source,
                          BudgetMoves& moves) {
  BucketHold itemBudgets, money;
  if (insertItemBudgets &&
      !AcqDbBase::LoadBktFromCols(0, 0, itemBudgets.get(), "po#,line,item,budget,percentage",
                                  names::po_line_item_budget))
    return false;
  if (!AcqDbBase::LoadBktFromCols(0, 0, money.get(), "*", names::po_line_item_budget_amount))
    return false;
  const std::vector<Dec64> shares = SplitShares(amount, split);
  for (size_t n = 0; n < split.size(); ++n) {
    const std::string& budget = split[n].budget;
    DbMsg msg;
    int row = 0;
    if (insertItemBudgets) {
      BktHandle b = *itemBudgets;
      _BktInsert(b, 0, row);
      _ColSetInt(b, row, Col(b, kPo), po);
      _ColSetInt(b, row, Col(b, kLine), line);
      _ColSetInt(b, row, Col(b, kItem), item);
      _ColSetTextW(b, row, Col(b, kBudget), budget);
      _ColSetInt(b, row, Col(b, kPercentage), split[n].percentage);
      if (DbCode code = AcqDb::InsertRow(msg, row, b, names::po_line_item_budget); code != kDbOk)
        return Report(code, msg);
    }
    BktHandle m = *money;
    _BktInsert(m, 0, row);
    _ColSetInt(m, row, Col(m, kPo), po);
    _ColSetInt(m, row, Col(m, kLine), line);
    _ColSetInt(m, row, Col(m, kItem), item);
    _ColSetTextW(m, row, Col(m, kBudget), budget);
    _ColSetDec64(m, row, Col(m, kAmount), shares[n]);
    _ColSetDec64(m, row, Col(m, kExchangeRate), rate);
    _ColSetBoolean(m, row, Col(m, kSpent), spent);
    if (source.statement != 0) {
      _ColSetInt(m, row, Col(m, kStatement), source.statement);
      _ColSetInt(m, row, Col(m, kStatementLine), source.statementLine);
      _ColSetInt(m, row, Col(m, kStatementLineType), source.statementLineType);
    }
    if (DbCode code = AcqDb::InsertRow(msg, row, m, names::po_line_item_budget_amount);
        code != kDbOk)
      return Report(code, msg);
    Dec64 base;
    if (!AmountTimesRate(shares[n], rate, base)) return false;
    if (spent) {
      IncreaseSpent(item, base, budget, moves.deltas(), moves.detail());
    } else {
      IncreaseOnOrder(item, base, budget, moves.deltas(), moves.detail());
    }
  }
  return true;
}

bool LoadItemSplit(int32_t po, int16_t line, int16_t item, std::vector<SplitEntry>& split) {
  split.clear();
  const std::string where = ItemWhere(po, line, item);
  DbMsg msg;
  BucketHold rows;
  if (DbCode code = AcqDb::LoadTable(msg, ClearChanges::Yes, kBudget, where, "budget,percentage",
                                     names::po_line_item_budget, rows.get());
      code != kDbOk)
    return Report(code, msg);
  for (int row = 1; row <= _BktCountAll(*rows); ++row)
    split.push_back(SplitEntry{TextOf(*rows, row, kBudget), IntOf(*rows, row, kPercentage)});
  if (!split.empty()) return true;
  BucketHold itemRow;
  if (DbCode code = AcqDb::LoadTable(msg, ClearChanges::Yes, "", where, kBudget,
                                     names::po_line_item, itemRow.get());
      code != kDbOk)
    return Report(code, msg);
  if (_BktCountAll(*itemRow) > 0) {
    std::string budget = TextOf(*itemRow, 1, kBudget);
    if (!budget.empty()) split.push_back(SplitEntry{std::move(budget), 100});
  }
  return true;
}

bool RemoveItemBudgetAmounts(int32_t po, int16_t line, int16_t item, std::string_view where,
                             BudgetMoves& moves) {
  std::string condition = ItemWhere(po, line, item);
  if (where.find_first_not_of(" \t\r\n") != std::string_view::npos)
    condition += " and (" + std::string(where) + ")";
  DbMsg msg;
  BucketHold rows;
  if (DbCode code = AcqDb::LoadTable(msg, ClearChanges::Yes, "", condition, "*",
                                     names::po_line_item_budget_amount, rows.get());
      code != kDbOk)
    return Report(code, msg);
  BktHandle m = *rows;
  const int spentCol = Col(m, kSpent);
  for (int row = 1; row <= _BktCountAll(m); ++row) {
    if (DbCode code = AcqDb::DeleteRow(msg, row, m, names::po_line_item_budget_amount);
        code != kDbOk)
      return Report(code, msg);
    Dec64 base;
    if (!AmountTimesRate(DecOf(m, row, kAmount), DecOf(m, row, kExchangeRate), base))
      return false;
    const std::string budget = TextOf(m, row, kBudget);
    const bool spent = !IsNullAt(m, row, spentCol) && _ColGetBoolean(m, row, spentCol);
    if (!IsNullAt(m, row, Col(m, kExtraChargeType))) {
      const std::string charge = TextOf(m, row, kExtraChargeType);
      if (spent) {
        DecreaseExtraSpent(charge, base, budget, moves.deltas(), moves.detail());
      } else {
        DecreaseExtraOnOrder(charge, base, budget, moves.deltas(), moves.detail());
      }
    } else if (spent) {
      DecreaseSpent(item, base, budget, moves.deltas(), moves.detail());
    } else {
      DecreaseOnOrder(item, base, budget, moves.deltas(), moves.detail());
    }
  }
  return true;
}

void Initialize() { headerBkt = nullptr; }

void Terminate() { _BktDestroy(&headerBkt); }

}  // namespace acq::AcqDbBudget

ACQ_UNIT_BODY(AcqDbBudget)
