// AcqDbYearEnd: transfer of unspent money and reassignment of attachments,
// database side.
#include "acq/budget/AcqDbYearEnd.h"

#include <map>
#include <utility>

#include "acq/budget/AcqDbBudget.h"
#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbBase.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/db/AcqDbGen.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/db/AcqDbNames.h"
#include "host/sys/Bucket.h"

namespace acq::AcqDbYearEnd {

using AcqDbExcept::HandleDbError;

namespace {

constexpr int kMaxRetries = 5;
constexpr int kClosed = 2;
constexpr int kAllocation = 0;   // amount_type of a change of the allocation

std::string Quote(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out + "'";
}

std::string YearSql(std::optional<int16_t> year) {
  return year ? std::to_string(*year) : std::string("NULL");
}

int Col(BktHandle bkt, const char* name) { return bkt ? _BktGetColNum(bkt, name) : 0; }
bool IsNull(BktHandle bkt, int row, int col) { return col == 0 || _ColIsNull(bkt, row, col); }
Dec64 DecAt(BktHandle bkt, int row, const char* name) {
  const int col = Col(bkt, name);
  return IsNull(bkt, row, col) ? Dec64{} : _ColGetDec64(bkt, row, col);
}
std::string TextAt(BktHandle bkt, int row, const char* name) {
  const int col = Col(bkt, name);
  return IsNull(bkt, row, col) ? std::string() : _ColGetStringW(bkt, row, col);
}
std::optional<int> IntAt(BktHandle bkt, int row, const char* name) {
  const int col = Col(bkt, name);
  if (IsNull(bkt, row, col)) return std::nullopt;
  return _ColGetInt(bkt, row, col);
}

// Runs procedure `name` with `args` (already SQL text) into `rows`.
bool LoadProcedure(const char* name, const std::string& args, BucketHold& rows) {
  AcqDb::AppendDbCmd(std::string(name) + " " + args);
  DbMsg msg;
  _BktDestroy(&rows.get());
  const DbCode code = AcqDb::LoadDbCmdCreate(msg, AcqDb::ClearChanges::Yes, rows.get(), 32, 32, 0);
  if (code != kDbOk) HandleDbError(msg, code);
  return code == kDbOk;
}

bool YearHasAllocations(std::optional<int16_t> year, bool& found) {
  int32_t count = 0;
  if (!AcqDbBase::SelectCount("select count(*) from account_year where year " +
                                  (year ? "= " + std::to_string(*year) : std::string("is null")),
                              count))
    return false;
  found = count > 0;
  return true;
}

// The budget's account_year row (all columns) into `row`; `found` false
// when it has none.
bool LoadBudgetRow(std::string_view budget, BucketHold& row, bool& found) {
  if (!AcqDbBase::LoadRows("*", names::account_year, BudgetWhere(budget), "", row)) return false;
  found = *row != nullptr && _BktCountAll(*row) > 0;
  return true;
}

bool Mul(Dec64 a, Dec64 b, Dec64& out) {
  if (LbDec64_Mul64(a, b, out) == DecStatus::Ok) return true;
  DbMsg msg;
  msg.text = "The amount " + LbDec64_StrFrom64(a) + " times " + LbDec64_StrFrom64(b) +
             " is out of range.";
  HandleDbError(msg, kDbError);
  return false;
}

}  // namespace

// ---- budget identifiers -------------------------------------------------------------------------

std::string BudgetOf(std::string_view account, std::optional<int16_t> year) {
  return std::string(account) + "." + (year ? std::to_string(*year) : std::string());
}

BudgetId SplitBudget(std::string_view budget) {
  BudgetId id;
  const size_t dot = budget.find('.');
  id.account = std::string(budget.substr(0, dot));
  if (dot == std::string_view::npos || dot + 1 == budget.size()) return id;
  try {
    id.year = static_cast<int16_t>(std::stoi(std::string(budget.substr(dot + 1))));
  } catch (...) {
    id.year = std::nullopt;
  }
  return id;
}

std::string BudgetWhere(std::string_view budget) {
  const BudgetId id = SplitBudget(budget);
  return "account=" + Quote(id.account) + " and year " +
         (id.year ? "= " + std::to_string(*id.year) : std::string("is null"));
}

// ---- transfer of unspent ----------------------------------------------------------------------

bool ValidTransferPercent(std::optional<int> percent) {
  return !percent || (*percent >= 0 && *percent <= 100);
}

Dec64 TransferFraction(std::optional<int> accountPercent, bool ignoreAccount,
                       std::optional<int> optionsPercent) {
  std::optional<int> percent = ignoreAccount ? std::nullopt : accountPercent;
  if (!percent) percent = optionsPercent;
  if (!percent) return Dec64{};
  // percent / 100 is exact in millionths.
  return Dec64::FromRaw(static_cast<int64_t>(*percent) * (Dec64::kOne / 100));
}

bool GetTransferPercent(std::string_view account, bool ignoreAccount,
                        std::optional<int> optionsPercent, Dec64& fraction) {
  BucketHold row;
  if (!AcqDbBase::LoadRows("transfer_unspent_percent", "account",
                           "account=" + Quote(account), "", row))
    return false;
  std::optional<int> own;
  if (*row != nullptr && _BktCountAll(*row) > 0) own = IntAt(*row, 1, "transfer_unspent_percent");
  fraction = TransferFraction(own, ignoreAccount, optionsPercent);
  return true;
}

Dec64 TransferAmount(Dec64 amount, Dec64 spent, Dec64 fraction) {
  Dec64 unspent, transfer;
  if (LbDec64_Sub64(amount, spent, unspent) != DecStatus::Ok || unspent <= Dec64{}) return {};
  if (LbDec64_Mul64(unspent, fraction, transfer) != DecStatus::Ok || transfer <= Dec64{})
    return {};
  return transfer;
}

Refusal CheckYears(Op op, std::optional<int16_t> sourceYear, std::optional<int16_t> targetYear) {
  const bool transfer = op == Op::Transfer;
  bool found = false;
  if (!YearHasAllocations(sourceYear, found)) return {-1};
  if (!found) return {transfer ? msg::kTransferNoSourceYear : msg::kReassignNoSourceYear};
  if (!YearHasAllocations(targetYear, found)) return {-1};
  if (!found) return {transfer ? msg::kTransferNoTargetYear : msg::kReassignNoTargetYear};
  return {};
}

bool LoadTransferRows(std::optional<int16_t> sourceYear, std::optional<int16_t> targetYear,
                      std::vector<TransferRow>& rows, Refusal& refusal) {
  rows.clear();
  refusal = {};
  BucketHold bkt;
  if (!LoadProcedure("load_transfer_unspent", YearSql(sourceYear) + "," + YearSql(targetYear),
                     bkt))
    return false;
  AcqFundCtrl::FilterBudgetsForUser(*bkt);
  for (int row = 1; row <= _BktCountAll(*bkt); ++row) {
    TransferRow r;
    r.source = TextAt(*bkt, row, "budget");
    r.account = TextAt(*bkt, row, "account");
    r.descr = TextAt(*bkt, row, "descr");
    r.target = TextAt(*bkt, row, "target_budget");
    r.amount = DecAt(*bkt, row, "amount");
    r.spent = DecAt(*bkt, row, "total_spent");
    r.accountPercent = IntAt(*bkt, row, "transfer_unspent_percent");
    r.status = IntAt(*bkt, row, "status").value_or(0);
    // A proposed target the user may not use is no proposal.
    if (!r.target.empty() && !AcqFundCtrl::UserMayUseBudget(r.target)) r.target.clear();
    rows.push_back(std::move(r));
  }
  if (rows.empty()) refusal = {msg::kTransferNothing};
  return true;
}

Refusal CheckPairs(Op op, const std::vector<Pair>& pairs, std::optional<int16_t> targetYear) {
  const bool transfer = op == Op::Transfer;
  if (pairs.empty()) return {transfer ? msg::kTransferNothing : msg::kReassignNothing};
  for (const Pair& p : pairs) {
    if (p.target.empty())
      return {transfer ? msg::kTransferNoTarget : msg::kReassignNoTarget, p.source};
  }
  for (const Pair& p : pairs) {
    const BudgetId id = SplitBudget(p.target);
    bool found = id.year == targetYear;
    BucketHold row;
    if (found && !LoadBudgetRow(p.target, row, found)) return {-1};
    if (!found)
      return {transfer ? msg::kTransferNoAllocation : msg::kReassignNoAllocation, p.target};
    if (p.target == p.source)
      return {transfer ? msg::kTransferSameBudget : msg::kReassignSameBudget, p.source};
  }
  return {};
}

bool AlreadyTransferred(std::string_view source, std::string_view target, Dec64& total) {
  BucketHold rows;
  total = Dec64{};
  if (!AcqDbBase::LoadRows("trans_amount", names::budget_transaction_detail,
                           "amount_type=0 and budget=" + Quote(target) +
                               " and source_budget=" + Quote(source),
                           "", rows))
    return false;
  for (int row = 1; *rows && row <= _BktCountAll(*rows); ++row)
    (void)LbDec64_Add64(total, DecAt(*rows, row, "trans_amount"), total);
  return true;
}

bool TransferUnspent(Dec64 fraction, std::optional<int> targetStatus, std::string_view target,
                     std::optional<int> sourceStatus, std::string_view source,
                     std::string_view note, Dec64& transferred, Refusal& refusal) {
  refusal = {};
  transferred = Dec64{};
  auto steps = [&]() -> bool {
    transferred = Dec64{};
    refusal = {};
    BucketHold sourceRow, targetRow;
    bool found = false;
    if (!LoadBudgetRow(source, sourceRow, found)) return false;
    if (!found) {
      refusal = {msg::kNoAllocation, std::string(source)};
      return false;
    }
    // The spent money of the source's rows, read on this session so the
    // pair sees its own transaction.
    int64_t raw = 0;
    DbMsg msg;
    if (DbCode code = AcqDb::ExecSP(msg, &raw, sizeof raw, Quote(source), "get_budget_total_spent");
        code != kDbOk) {
      HandleDbError(msg, code);
      return false;
    }
    const Dec64 transfer =
        TransferAmount(DecAt(*sourceRow, 1, "amount"), Dec64::FromRaw(raw), fraction);
    if (transfer <= Dec64{}) return true;   // nothing due: nothing written

    if (!LoadBudgetRow(target, targetRow, found)) return false;
    if (!found) {
      refusal = {msg::kTransferNoAllocation, std::string(target)};
      return false;
    }
    const int status = targetStatus.value_or(IntAt(*targetRow, 1, "status").value_or(0));
    if (status == kClosed) {
      refusal = {msg::kTransferClosedTarget, std::string(target)};
      return false;
    }
    const Dec64 prior = DecAt(*targetRow, 1, "amount");
    Dec64 after;
    if (LbDec64_Add64(prior, transfer, after) != DecStatus::Ok) {
      DbMsg overflow;
      overflow.text = "The allocation of " + std::string(target) + " would be out of range.";
      HandleDbError(overflow, kDbError);
      return false;
    }
    if (AcqDbGlobal::Globals().params.track_budget_trans) {
      BucketHold detail;
      if (!AcqDbBudget::CreateBudgetTransDetail(detail.get())) return false;
      int row = 0;
      _BktInsert(*detail, 0, row);
      _ColSetTextW(*detail, row, Col(*detail, "budget"), target);
      _ColSetInt(*detail, row, Col(*detail, "amount_type"), kAllocation);
      _ColSetDec64(*detail, row, Col(*detail, "trans_amount"), transfer);
      _ColSetDec64(*detail, row, Col(*detail, "prior_amount"), prior);
      _ColSetTextW(*detail, row, Col(*detail, "source_budget"), source);
      if (!AcqDbBudget::WriteBudgetTransactionNote(note, *detail)) return false;
    }
    if (!AcqDbBase::RunStatement("update account_year set amount=" +
                                 std::to_string(after.raw) + ", status=" +
                                 std::to_string(status) + " where " + BudgetWhere(target)))
      return false;
    if (sourceStatus &&
        !AcqDbBase::RunStatement("update account_year set status=" +
                                 std::to_string(*sourceStatus) + " where " + BudgetWhere(source)))
      return false;
    transferred = transfer;
    return true;
  };
  const bool ok = AcqDbBase::SaveWithReportedRetry(kMaxRetries, steps, {});
  if (!ok) transferred = Dec64{};
  if (!ok && !refusal) refusal = {-1};
  return ok;
}

// ---- reassignment -----------------------------------------------------------------------------

bool LoadAttachments(std::string_view budget, int rollType, std::vector<Attachment>& rows) {
  rows.clear();
  std::vector<const char*> procedures = {"load_reassign_on_order"};
  if (rollType != kRollOnOrder) {
    procedures.push_back("load_reassign_spent");
    procedures.push_back("load_reassign_spent_extra");
  }
  for (const char* procedure : procedures) {
    BucketHold bkt;
    if (!LoadProcedure(procedure, Quote(budget), bkt)) return false;
    for (int row = 1; row <= _BktCountAll(*bkt); ++row) {
      Attachment a;
      a.source = IntAt(*bkt, row, "source").value_or(0);
      a.rowKey = IntAt(*bkt, row, "row_key").value_or(0);
      a.po = IntAt(*bkt, row, "po#").value_or(0);
      a.line = static_cast<int16_t>(IntAt(*bkt, row, "line").value_or(0));
      a.item = static_cast<int16_t>(IntAt(*bkt, row, "item").value_or(0));
      a.statement = IntAt(*bkt, row, "statement#").value_or(0);
      a.chargeType = TextAt(*bkt, row, "extra_charge_type");
      a.amount = DecAt(*bkt, row, "amount");
      a.rate = DecAt(*bkt, row, "exchange_rate");
      a.spent = IntAt(*bkt, row, "spent").value_or(0) != 0;
      a.vouchered = IntAt(*bkt, row, "voucher#").has_value();
      a.partlySpent = IntAt(*bkt, row, "partly_spent").value_or(0) != 0;
      rows.push_back(std::move(a));
    }
  }
  return true;
}

bool Moves(const Attachment& row, int rollType) {
  if (row.vouchered) return false;
  if (row.spent) return rollType != kRollOnOrder;
  if (rollType == kRollSpent) return false;
  // On order only: an item partly spent keeps its money on one budget.
  return !(rollType == kRollOnOrder && row.partlySpent);
}

bool ScreenPairs(std::vector<Pair>& pairs, int rollType, Refusal& warning) {
  warning = {};
  const size_t selected = pairs.size();
  size_t vouchered = 0, partly = 0;
  std::vector<Pair> kept;
  for (const Pair& p : pairs) {
    std::vector<Attachment> rows;
    if (!LoadAttachments(p.source, rollType, rows)) return false;
    bool anyMoves = false, allVouchered = !rows.empty(), allPartly = !rows.empty();
    for (const Attachment& a : rows) {
      anyMoves = anyMoves || Moves(a, rollType);
      allVouchered = allVouchered && a.vouchered;
      allPartly = allPartly && (a.vouchered || (!a.spent && a.partlySpent) ||
                                (a.spent && rollType == kRollOnOrder));
    }
    if (anyMoves) {
      kept.push_back(p);
    } else if (allVouchered) {
      ++vouchered;
    } else if (rollType == kRollOnOrder && allPartly) {
      ++partly;
    }
  }
  pairs = std::move(kept);
  if (vouchered > 0)
    warning = {vouchered == selected ? msg::kAllVouchered : msg::kSomeVouchered};
  else if (partly > 0)
    warning = {partly == selected ? msg::kAllPartlySpent : msg::kSomePartlySpent};
  else if (pairs.empty())
    warning = {msg::kReassignNothing};
  return true;
}

namespace {

// Stamps the keys of the moved row on the detail rows from `first` on.
void StampDetail(BktHandle detail, int first, const Attachment& a) {
  if (detail == nullptr) return;
  for (int row = first; row <= _BktCountAll(detail); ++row) {
    if (a.source == 1) {
      _ColSetInt(detail, row, Col(detail, "po#"), a.po);
      _ColSetInt(detail, row, Col(detail, "line"), a.line);
    }
    if (a.statement != 0) _ColSetInt(detail, row, Col(detail, "statement#"), a.statement);
  }
}

// Moves `base` of the row's amount type from `source` to `target`: the
// target's increase first, then the source's decrease.
void MoveMoney(const Attachment& a, Dec64 base, const std::string& source,
               const std::string& target, AcqDbBudget::BudgetMoves& moves) {
  const BktHandle deltas = moves.deltas(), detail = moves.detail();
  if (a.source == 1 && a.chargeType.empty()) {
    if (a.spent) {
      AcqDbBudget::IncreaseSpent(a.item, base, target, deltas, detail);
      AcqDbBudget::DecreaseSpent(a.item, base, source, deltas, detail);
    } else {
      AcqDbBudget::IncreaseOnOrder(a.item, base, target, deltas, detail);
      AcqDbBudget::DecreaseOnOrder(a.item, base, source, deltas, detail);
    }
    return;
  }
  if (a.spent) {
    AcqDbBudget::IncreaseExtraSpent(a.chargeType, base, target, deltas, detail);
    AcqDbBudget::DecreaseExtraSpent(a.chargeType, base, source, deltas, detail);
  } else {
    AcqDbBudget::IncreaseExtraOnOrder(a.chargeType, base, target, deltas, detail);
    AcqDbBudget::DecreaseExtraOnOrder(a.chargeType, base, source, deltas, detail);
  }
  if (a.source == 1 && detail != nullptr) {
    // A charge on a line item: the item is the key the ledger row needs.
    const int itemCol = Col(detail, "item");
    for (int row = _BktCountAll(detail) - 1; row <= _BktCountAll(detail); ++row)
      _ColSetInt(detail, row, itemCol, a.item);
  }
}

// Points the row at `target`. A statement_budget row is keyed by
// (statement#, budget): when the statement already has a row on the
// target, the moved amount is merged into that row and the moved row
// deleted; that needs the same rate, spent flag and no voucher on the
// target row, else the move is refused (1933).
bool RepointRow(const Attachment& a, const std::string& source, const std::string& target,
                Refusal& refusal) {
  switch (a.source) {
    case 1:
      return AcqDbBase::RunStatement("update po_line_item_budget_amount set budget=" +
                                     Quote(target) + " where \"budget_amount#\"=" +
                                     std::to_string(a.rowKey));
    case 2:
      return AcqDbBase::RunStatement(
          "update statement_extra_charge set budget=" + Quote(target) +
          " where \"statement#\"=" + std::to_string(a.statement) +
          " and extra_charge_type=" + Quote(a.chargeType));
    default: break;
  }
  const std::string statement = "\"statement#\"=" + std::to_string(a.statement);
  BucketHold existing;
  if (!AcqDbBase::LoadRows("amount, exchange_rate, spent, \"voucher#\"", "statement_budget",
                           statement + " and budget=" + Quote(target), "", existing))
    return false;
  if (*existing == nullptr || _BktCountAll(*existing) == 0)
    return AcqDbBase::RunStatement("update statement_budget set budget=" + Quote(target) +
                                   " where " + statement + " and budget=" + Quote(source));
  Dec64 merged;
  const bool sameKind = DecAt(*existing, 1, "exchange_rate") == a.rate &&
                        (IntAt(*existing, 1, "spent").value_or(0) != 0) == a.spent &&
                        !IntAt(*existing, 1, "voucher#").has_value();
  if (!sameKind ||
      LbDec64_Add64(DecAt(*existing, 1, "amount"), a.amount, merged) != DecStatus::Ok) {
    refusal = {msg::kStatementRowsDiffer, std::to_string(a.statement), target};
    return false;
  }
  return AcqDbBase::RunStatement("update statement_budget set amount=" +
                                 std::to_string(merged.raw) + " where " + statement +
                                 " and budget=" + Quote(target)) &&
         AcqDbBase::RunStatement("delete from statement_budget where " + statement +
                                 " and budget=" + Quote(source));
}

// prior_amount in row order: each budget's total of the row's type before
// the row, starting from the totals before the whole move (after - delta).
void ChainPriorAmounts(BktHandle detail, BktHandle totals, BktHandle deltas) {
  std::map<std::string, int> deltaRow;
  for (int d = 1; d <= _BktCountAll(deltas); ++d) deltaRow[TextAt(deltas, d, "budget")] = d;
  std::map<std::pair<std::string, int>, Dec64> running;
  for (int row = 1; row <= _BktCountAll(totals); ++row) {
    const std::string budget = TextAt(totals, row, "budget");
    Dec64 onOrder = DecAt(totals, row, "on_order"), spent = DecAt(totals, row, "spent");
    if (const auto d = deltaRow.find(budget); d != deltaRow.end()) {
      (void)LbDec64_Sub64(onOrder, DecAt(deltas, d->second, "on_order"), onOrder);
      (void)LbDec64_Sub64(spent, DecAt(deltas, d->second, "spent"), spent);
    }
    running[{budget, AcqFundCtrl::kOnOrder}] = onOrder;
    running[{budget, AcqFundCtrl::kSpent}] = spent;
  }
  const int priorCol = Col(detail, "prior_amount");
  for (int row = 1; row <= _BktCountAll(detail); ++row) {
    const auto key = std::make_pair(TextAt(detail, row, "budget"),
                                    IntAt(detail, row, "amount_type").value_or(0));
    const auto found = running.find(key);
    if (found == running.end()) continue;
    _ColSetDec64(detail, row, priorCol, found->second);
    (void)LbDec64_Add64(found->second, DecAt(detail, row, "trans_amount"), found->second);
  }
}

bool ClosedTarget(const std::vector<Pair>& pairs, Refusal& refusal) {
  for (const Pair& p : pairs) {
    BucketHold row;
    bool found = false;
    if (!LoadBudgetRow(p.target, row, found)) return true;
    if (!found) {
      refusal = {msg::kReassignNoAllocation, p.target};
      return true;
    }
    if (IntAt(*row, 1, "status").value_or(0) == kClosed) {
      refusal = {msg::kReassignClosedTarget, p.target};
      return true;
    }
  }
  return false;
}

}  // namespace

bool ReassignPass(const std::vector<Pair>& pairs, int rollType, std::string_view note,
                  AcqFundCtrl::BustList* list, int& moved, Refusal& refusal) {
  moved = 0;
  refusal = {};
  if (ClosedTarget(pairs, refusal)) return false;
  AcqDbBudget::BudgetMoves moves;
  if (!moves.ok()) return false;
  for (const Pair& p : pairs) {
    std::vector<Attachment> rows;
    if (!LoadAttachments(p.source, rollType, rows)) return false;
    for (const Attachment& a : rows) {
      if (!Moves(a, rollType)) continue;
      Dec64 base;
      if (!Mul(a.amount, a.rate, base) || !RepointRow(a, p.source, p.target, refusal))
        return false;
      const int first = moves.detail() ? _BktCountAll(moves.detail()) + 1 : 0;
      MoveMoney(a, base, p.source, p.target, moves);
      StampDetail(moves.detail(), first, a);
      ++moved;
    }
  }
  BucketHold totals;
  if (!AcqDbBudget::ApplyBudgetDeltas(moves.deltas(), totals.get())) return false;
  if (*totals == nullptr || _BktCountAll(*totals) == 0) return true;
  if (AcqFundCtrl::CheckBudgetAuthorization(list, *totals) ||
      AcqFundCtrl::CheckBudgetBusts(list, moves.deltas(), *totals))
    return false;
  if (moves.detail() != nullptr && _BktCountAll(moves.detail()) > 0) {
    ChainPriorAmounts(moves.detail(), *totals, moves.deltas());
    if (!AcqDbBudget::WriteBudgetTransactionNote(note, moves.detail())) return false;
  }
  for (int row = 1; row <= _BktCountAll(*totals); ++row) {
    if (!_BktRowIsChanged(*totals, row)) continue;
    DbMsg msg;
    if (DbCode code = AcqDb::UpdateRow(msg, row, *totals, names::account_year); code != kDbOk) {
      HandleDbError(msg, code);
      return false;
    }
  }
  return true;
}

bool Reassign(const std::vector<Pair>& pairs, int rollType, std::string_view note, int& moved,
              Refusal& refusal) {
  moved = 0;
  refusal = {};
  AcqFundCtrl::BustListHold list;
  auto steps = [&] { return ReassignPass(pairs, rollType, note, list.get(), moved, refusal); };
  auto confirmAgain = [&] {
    if (refusal) return false;
    const AcqFundCtrl::BustHandler handler = AcqFundCtrl::GetBustHandler();
    return AcqFundCtrl::BustListPending(list.get()) && handler != nullptr && handler(list.get());
  };
  const bool ok = AcqDbBase::SaveWithReportedRetry(kMaxRetries, steps, {}, confirmAgain);
  if (!ok) moved = 0;
  return ok;
}

}  // namespace acq::AcqDbYearEnd
