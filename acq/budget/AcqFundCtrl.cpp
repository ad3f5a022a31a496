// AcqFundCtrl: fund control — who may use a budget, frozen and closed
// budgets, and the on-order and spent limits of budgets and vendor
// contracts. It owns the budget-restriction rows (which budgets which users
// may use) and the procedure that asks the person about its findings.
#include "acq/budget/AcqFundCtrl.h"

#include <cstdint>
#include <limits>

#include "acq/AcqUnit.h"
#include "acq/db/AcqDbGlobal.h"
#include "host/db/PwDb.h"

namespace acq::AcqFundCtrl {
namespace {

// Column names of the BustList Buckets and of the rows checked.
constexpr const char* kBudget = "budget";
constexpr const char* kAccount = "account";
constexpr const char* kUserId = "user_id";
constexpr const char* kStatus = "status";
constexpr const char* kAuthorized = "authorized";
constexpr const char* kAmountType = "amountType";
constexpr const char* kBustLimitAmt = "bustLimitAmt";
constexpr const char* kBustAmountAmt = "bustAmountAmt";
constexpr const char* kVendor = "vendor#";
constexpr const char* kContract = "contract";
constexpr const char* kVendorContract = "vendor_contract";
constexpr const char* kOnOrderCol = "on_order";
constexpr const char* kSpentCol = "spent";
constexpr const char* kAmount = "amount";

constexpr int kBudgetChars = 13;
constexpr int kAccountChars = 8;
constexpr int kContractChars = 8;

constexpr int16_t kStatusFrozen = 1;
constexpr int16_t kStatusClosed = 2;

// account_user_restricted, from the start-up load until DestroyRestrictionBkt.
BktHandle restrictionBkt = nullptr;
// The confirmation procedure; AcqBudget installs it for the module's life.
BustHandler bustHandler = nullptr;

struct ColSpec {
  const char* name;
  int length;
  int type;
};

BktHandle MakeBucket(std::initializer_list<ColSpec> cols) {
  BktHandle bkt = nullptr;
  _BktCreate(bkt, static_cast<int>(cols.size()), 4, 4);
  int col = 0;
  for (const ColSpec& c : cols) _BktSetColInfo(bkt, ++col, c.name, c.length, c.type, 0);
  return bkt;
}

int Col(BktHandle bkt, const char* name) { return bkt ? _BktGetColNum(bkt, name) : 0; }

// The cell as a Dec64; zero when the column is missing or the cell null.
Dec64 DecOf(BktHandle bkt, int row, const char* name) {
  const int col = Col(bkt, name);
  if (col == 0 || _ColIsNull(bkt, row, col)) return Dec64{};
  return _ColGetDec64(bkt, row, col);
}

int32_t IntOf(BktHandle bkt, int row, const char* name) {
  const int col = Col(bkt, name);
  if (col == 0 || _ColIsNull(bkt, row, col)) return 0;
  return _ColGetInt(bkt, row, col);
}

std::string TextOf(BktHandle bkt, int row, const char* name) {
  const int col = Col(bkt, name);
  if (col == 0 || _ColIsNull(bkt, row, col)) return {};
  return _ColGetStringW(bkt, row, col);
}

bool FlagOf(BktHandle bkt, int row, const char* name) {
  const int col = Col(bkt, name);
  return col != 0 && !_ColIsNull(bkt, row, col) && _ColGetBoolean(bkt, row, col);
}

// A total past the range of Dec64 counts as the largest amount, so that it
// is flagged rather than wrapped.
Dec64 SumOrMax(Dec64 a, Dec64 b) {
  Dec64 sum;
  if (LbDec64_Add64(a, b, sum) != DecStatus::Ok)
    return Dec64::FromRaw(b.raw > 0 ? std::numeric_limits<int64_t>::max()
                                    : std::numeric_limits<int64_t>::min());
  return sum;
}

Dec64 DifferenceOrMax(Dec64 a, Dec64 b) {
  Dec64 diff;
  if (LbDec64_Sub64(a, b, diff) != DecStatus::Ok)
    return Dec64::FromRaw(std::numeric_limits<int64_t>::max());
  return diff;
}

std::string AccountOf(std::string_view budget) {
  std::string_view account = budget.substr(0, budget.find('.'));
  return std::string(account.substr(0, kAccountChars));
}

bool AccountMayBeUsedBy(std::string_view account, std::string_view user) {
  if (restrictionBkt == nullptr) return true;
  const int accountCol = Col(restrictionBkt, kAccount);
  const int userCol = Col(restrictionBkt, kUserId);
  if (accountCol == 0 || userCol == 0) return true;
  int row = 0;
  if (!_BktLocateKey(restrictionBkt, accountCol, BktKey::Text(account), 0, BktKey{}, row))
    return true;
  return _BktLocateKey(restrictionBkt, accountCol, BktKey::Text(account), userCol,
                       BktKey::Text(user), row);
}

// Which totals the action raises: from the deltas row of the same key.
struct Rises {
  bool onOrder = false;
  bool spent = false;
};

Rises RisesOfRow(BktHandle deltas, int row) {
  if (row == 0) return {};
  return Rises{DecOf(deltas, row, kOnOrderCol) > Dec64{}, DecOf(deltas, row, kSpentCol) > Dec64{}};
}

Rises BudgetRises(BktHandle deltas, std::string_view budget) {
  const int col = Col(deltas, kBudget);
  int row = 0;
  if (col == 0 || !_BktLocateKey(deltas, col, BktKey::Text(budget), 0, BktKey{}, row)) return {};
  return RisesOfRow(deltas, row);
}

Rises ContractRises(BktHandle deltas, int32_t vendor, std::string_view contract) {
  const int vendorCol = Col(deltas, kVendor);
  const int contractCol = Col(deltas, kVendorContract);
  int row = 0;
  if (vendorCol == 0 || contractCol == 0 ||
      !_BktLocateKey(deltas, vendorCol, BktKey::Int(vendor), contractCol, BktKey::Text(contract),
                     row))
    return {};
  return RisesOfRow(deltas, row);
}

// Status finding for (budget, status): none when a confirmed entry exists;
// else the unconfirmed entry is kept or added, and it is a finding.
bool NoteStatus(BktHandle list, std::string_view budget, int16_t status) {
  const int budgetCol = Col(list, kBudget);
  const int statusCol = Col(list, kStatus);
  const int authCol = Col(list, kAuthorized);
  for (int row = 1; row <= _BktCountAll(list); ++row) {
    if (_ColGetStringW(list, row, budgetCol) == budget && _ColGetInt(list, row, statusCol) == status &&
        _ColGetBoolean(list, row, authCol))
      return false;
  }
  int row = 0;
  if (_BktLocateKey(list, budgetCol, BktKey::Text(budget), statusCol, BktKey::Int(status), row))
    return true;   // asked about already, still unconfirmed
  _BktInsert(list, 0, row);
  _ColSetTextW(list, row, budgetCol, budget);
  _ColSetInt(list, row, statusCol, status);
  _ColSetBoolean(list, row, authCol, false);
  return true;
}

// The key of a limit finding: (budget) or (vendor#, contract), and the type.
struct BustKey {
  std::string budget;      // budget findings
  int32_t vendor = 0;      // contract findings
  std::string contract;
  int amountType = 0;
};

bool SameKey(BktHandle list, int row, const BustKey& key, bool contract) {
  if (IntOf(list, row, kAmountType) != key.amountType) return false;
  if (contract)
    return IntOf(list, row, kVendor) == key.vendor && TextOf(list, row, kContract) == key.contract;
  return TextOf(list, row, kBudget) == key.budget;
}

// Limit finding: none when an entry confirmed with exactly these two
// amounts exists (a confirmation holds only for the busts the person saw);
// else the unconfirmed entry of the key takes the amounts (or is added).
bool NoteBust(BktHandle list, const BustKey& key, bool contract, Dec64 limitBust,
              Dec64 amountBust) {
  int unconfirmed = 0;
  for (int row = 1; row <= _BktCountAll(list); ++row) {
    if (!SameKey(list, row, key, contract)) continue;
    if (FlagOf(list, row, kAuthorized)) {
      if (DecOf(list, row, kBustLimitAmt) == limitBust &&
          DecOf(list, row, kBustAmountAmt) == amountBust)
        return false;
    } else if (unconfirmed == 0) {
      unconfirmed = row;
    }
  }
  int row = unconfirmed;
  if (row == 0) {
    _BktInsert(list, 0, row);
    if (contract) {
      _ColSetInt(list, row, Col(list, kVendor), key.vendor);
      _ColSetTextW(list, row, Col(list, kContract), key.contract);
    } else {
      _ColSetTextW(list, row, Col(list, kBudget), key.budget);
    }
    _ColSetInt(list, row, Col(list, kAmountType), key.amountType);
    _ColSetBoolean(list, row, Col(list, kAuthorized), false);
  }
  _ColSetDec64(list, row, Col(list, kBustLimitAmt), limitBust);
  _ColSetDec64(list, row, Col(list, kBustAmountAmt), amountBust);
  return true;
}

// The limit checks of one budget or contract row for the totals it raises.
bool CheckLimits(BktHandle list, BustKey key, bool contract, Rises rises, int row,
                 BktHandle totals) {
  bool found = false;
  for (int type : {kOnOrder, kSpent}) {
    if (!(type == kOnOrder ? rises.onOrder : rises.spent)) continue;
    Dec64 amountBust, limitBust;
    ComputeBusts(amountBust, limitBust, type, row, totals);
    if (limitBust <= Dec64{}) continue;
    key.amountType = type;
    if (NoteBust(list, key, contract, limitBust, amountBust)) found = true;
  }
  return found;
}

bool LimitChecksOn() { return AcqDbGlobal::Globals().params.budget_contract_checks; }

void DeleteUnconfirmed(BktHandle bkt) {
  if (bkt == nullptr) return;
  const int col = Col(bkt, kAuthorized);
  for (int row = _BktCountAll(bkt); row >= 1; --row) {
    if (!_ColGetBoolean(bkt, row, col)) _BktDelete(bkt, row);
  }
}

bool AnyUnconfirmed(BktHandle bkt) {
  if (bkt == nullptr) return false;
  const int col = Col(bkt, kAuthorized);
  for (int row = 1; row <= _BktCountAll(bkt); ++row) {
    if (!_ColGetBoolean(bkt, row, col)) return true;
  }
  return false;
}

}  // namespace

BustList* CreateBustList() {
  auto* list = new BustList;
  list->unauthorized = MakeBucket({{kBudget, kBudgetChars, kColText}});
  list->status = MakeBucket(
      {{kBudget, kBudgetChars, kColText}, {kStatus, 0, kColInt16}, {kAuthorized, 0, kColByte}});
  list->budgetBusts = MakeBucket({{kBudget, kBudgetChars, kColText},
                                  {kAmountType, 0, kColInt16},
                                  {kBustLimitAmt, 0, kColDec64},
                                  {kBustAmountAmt, 0, kColDec64},
                                  {kAuthorized, 0, kColByte}});
  list->contractBusts = MakeBucket({{kVendor, 0, kColInt32},
                                    {kContract, kContractChars, kColText},
                                    {kAmountType, 0, kColInt16},
                                    {kBustLimitAmt, 0, kColDec64},
                                    {kBustAmountAmt, 0, kColDec64},
                                    {kAuthorized, 0, kColByte}});
  return list;
}

void DestroyBustList(BustList** list) {
  if (list == nullptr || *list == nullptr) return;
  _BktDestroy(&(*list)->unauthorized);
  _BktDestroy(&(*list)->status);
  _BktDestroy(&(*list)->budgetBusts);
  _BktDestroy(&(*list)->contractBusts);
  delete *list;
  *list = nullptr;
}

bool BustListPending(const BustList* list) {
  if (list == nullptr) return false;
  return _BktCountAll(list->unauthorized) > 0 || AnyUnconfirmed(list->status) ||
         AnyUnconfirmed(list->budgetBusts) || AnyUnconfirmed(list->contractBusts);
}

void NoteConfirmedStatus(BustList* list, std::string_view budget, int status) {
  if (list == nullptr || status == 0) return;
  BktHandle entries = list->status;
  const int budgetCol = Col(entries, kBudget);
  const int statusCol = Col(entries, kStatus);
  const int authCol = Col(entries, kAuthorized);
  int row = 0;
  if (!_BktLocateKey(entries, budgetCol, BktKey::Text(budget), statusCol, BktKey::Int(status), row)) {
    _BktInsert(entries, 0, row);
    _ColSetTextW(entries, row, budgetCol, budget);
    _ColSetInt(entries, row, statusCol, status);
  }
  _ColSetBoolean(entries, row, authCol, true);
}

void ClearUnauthorizedBudgets(BustList* list) {
  if (list != nullptr) _BktDeleteAll(list->unauthorized);
}

void PurgeUnconfirmedBusts(BustList* list) {
  if (list == nullptr) return;
  DeleteUnconfirmed(list->status);
  DeleteUnconfirmed(list->budgetBusts);
}

void PurgeUnconfirmedContractBusts(BustList* list) {
  if (list != nullptr) DeleteUnconfirmed(list->contractBusts);
}

BktHandle& RestrictionBkt() { return restrictionBkt; }
void DestroyRestrictionBkt() { _BktDestroy(&restrictionBkt); }

bool UserMayUseBudget(std::string_view budget, std::string_view user) {
  return AccountMayBeUsedBy(AccountOf(budget), user);
}

bool UserMayUseBudget(std::string_view budget) {
  return UserMayUseBudget(budget, DbUser_GetUser());
}

void FilterBudgetsForUser(BktHandle bkt) {
  if (bkt == nullptr) return;
  const std::string user = DbUser_GetUser();
  const int accountCol = Col(bkt, kAccount);
  const int budgetCol = accountCol ? 0 : Col(bkt, kBudget);
  if (accountCol == 0 && budgetCol == 0) return;
  for (int row = _BktCountAll(bkt); row >= 1; --row) {
    const std::string account = accountCol ? _ColGetStringW(bkt, row, accountCol)
                                           : AccountOf(_ColGetStringW(bkt, row, budgetCol));
    if (!AccountMayBeUsedBy(account, user)) _BktDelete(bkt, row);
  }
}

bool GetLimit(Dec64& limit, int amountType, int row, BktHandle bkt) {
  const char* limitName = nullptr;
  const char* percentName = nullptr;
  if (amountType == kOnOrder) {
    limitName = "on_order_limit";
    percentName = "on_order_limit_percent";
  } else if (amountType == kSpent) {
    limitName = "spent_limit";
    percentName = "spent_limit_percent";
  } else {
    return false;
  }
  const int limitCol = Col(bkt, limitName);
  const int percentCol = Col(bkt, percentName);
  const int amountCol = Col(bkt, kAmount);
  if (limitCol == 0 || percentCol == 0 || amountCol == 0 || _ColIsNull(bkt, row, limitCol))
    return false;
  Dec64 value = _ColGetDec64(bkt, row, limitCol);
  if (FlagOf(bkt, row, percentName)) {
    // Divided first, multiplied second: (percent / 100) x amount.
    Dec64 product;
    if (LbDec64_Div64C(value, Dec64::FromInt(100)) != DecStatus::Ok ||
        LbDec64_Mul64(value, DecOf(bkt, row, kAmount), product) != DecStatus::Ok)
      return false;   // beyond any total the row can reach
    value = product;
  }
  limit = value;
  return true;
}

void ComputeBusts(Dec64& amountBust, Dec64& limitBust, int amountType, int row, BktHandle bkt) {
  amountBust = Dec64{};
  limitBust = Dec64{};
  if (amountType == 0) return;
  const Dec64 spent = DecOf(bkt, row, kSpentCol);
  const Dec64 total = amountType == kSpent ? spent : SumOrMax(DecOf(bkt, row, kOnOrderCol), spent);
  Dec64 limit;
  if (!GetLimit(limit, amountType, row, bkt)) return;
  if (total > limit) limitBust = DifferenceOrMax(total, limit);
  const Dec64 amount = DecOf(bkt, row, kAmount);
  if (total > amount) amountBust = DifferenceOrMax(total, amount);
}

bool CheckBudgetAuthorization(BustList* list, BktHandle budgetTotals) {
  const int col = Col(budgetTotals, kBudget);
  if (col == 0) return false;
  const std::string user = DbUser_GetUser();
  bool found = false;
  for (int row = 1; row <= _BktCountAll(budgetTotals); ++row) {
    const std::string budget = _ColGetStringW(budgetTotals, row, col);
    if (UserMayUseBudget(budget, user)) continue;
    found = true;
    if (list == nullptr || _ValueInCol(list->unauthorized, 1, BktKey::Text(budget))) continue;
    int added = 0;
    _BktInsert(list->unauthorized, 0, added);
    _ColSetTextW(list->unauthorized, added, 1, budget);
  }
  return found;
}

bool CheckBudgetBusts(BustList* list, BktHandle budgetDeltas, BktHandle budgetTotals) {
  if (list == nullptr || Col(budgetTotals, kBudget) == 0) return false;
  bool found = false;
  for (int row = 1; row <= _BktCountAll(budgetTotals); ++row) {
    const std::string budget = TextOf(budgetTotals, row, kBudget);
    const auto status = static_cast<int16_t>(IntOf(budgetTotals, row, kStatus));
    const Rises rises = BudgetRises(budgetDeltas, budget);
    // A frozen budget may still be spent against (and relieved) silently.
    if (status == kStatusClosed || (status == kStatusFrozen && rises.onOrder)) {
      if (NoteStatus(list->status, budget, status)) found = true;
    }
    if (LimitChecksOn()) {
      BustKey key;
      key.budget = budget;
      if (CheckLimits(list->budgetBusts, key, false, rises, row, budgetTotals)) found = true;
    }
  }
  return found;
}

bool CheckContractBusts(BustList* list, BktHandle contractDeltas, BktHandle contractTotals) {
  if (list == nullptr || !LimitChecksOn() || contractDeltas == nullptr ||
      contractTotals == nullptr || _BktCountAll(contractDeltas) == 0 ||
      _BktCountAll(contractTotals) == 0)
    return false;
  bool found = false;
  for (int row = 1; row <= _BktCountAll(contractTotals); ++row) {
    BustKey key;
    key.vendor = IntOf(contractTotals, row, kVendor);
    key.contract = TextOf(contractTotals, row, kVendorContract);
    const Rises rises = ContractRises(contractDeltas, key.vendor, key.contract);
    if (CheckLimits(list->contractBusts, key, true, rises, row, contractTotals)) found = true;
  }
  return found;
}

void SetBustHandler(BustHandler handler) { bustHandler = handler; }
BustHandler GetBustHandler() { return bustHandler; }

void Initialize() {
  restrictionBkt = nullptr;
  bustHandler = nullptr;
}

void Terminate() {
  DestroyRestrictionBkt();
  bustHandler = nullptr;
}

}  // namespace acq::AcqFundCtrl

ACQ_UNIT_BODY(AcqFundCtrl)
