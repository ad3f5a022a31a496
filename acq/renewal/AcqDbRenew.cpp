// AcqDbRenew: renewing one PO line, whole or not at all.
//
// Amounts written into statements are raw Dec64 millionths, as the columns
// hold them (DEC64); dates are day numbers.
#include "acq/renewal/AcqDbRenew.h"

#include <algorithm>
#include <set>

#include "acq/budget/AcqDbBudget.h"
#include "acq/budget/AcqFundCtrl.h"
#include "acq/db/AcqDbBase.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/db/AcqDbGen.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/po/AcqDbAct.h"
#include "acq/renewal/AcqRenewPeriod.h"
#include "host/db/PwDb.h"
#include "host/sys/Bucket.h"

namespace acq::AcqDbRenew {
namespace {

using AcqDbBudget::SplitEntry;
using AcqDbExcept::HandleDbError;

// Write conflicts retried before the save gives up (as every line save).
constexpr int kMaxRetries = 5;
constexpr int kClosed = 2;   // account_year.status

std::string Key(int64_t key) { return std::to_string(key); }
std::string Quoted(std::string_view text) {
  std::string out;
  (void)_DbQuoteAppend(out, static_cast<int>(2 * text.size() + 2), text);
  return out;
}
std::string QuotedOrNull(std::string_view text) { return text.empty() ? "null" : Quoted(text); }
std::string DateOrNull(DayNum date) { return date == kNoDate ? "null" : Key(date); }
std::string LineWhere(int32_t po, int16_t line) {
  return "po#=" + Key(po) + " and line=" + Key(line);
}
// Items that may be renewed: approved, not renewed (or discontinued), not
// cancelled.
constexpr const char* kRenewable =
    " and renew_activity_date IS NULL and cancel_date IS NULL AND approve_date IS NOT NULL";

int Col(BktHandle bkt, const char* name) { return _BktGetColNum(bkt, name); }
std::string Text(BktHandle bkt, int row, const char* name) {
  const int col = Col(bkt, name);
  return col == 0 || _ColIsNull(bkt, row, col) ? std::string() : _ColGetStringW(bkt, row, col);
}
DayNum Date(BktHandle bkt, int row, const char* name) {
  const int col = Col(bkt, name);
  return col == 0 || _ColIsNull(bkt, row, col) ? kNoDate
                                               : static_cast<DayNum>(_ColGetInt(bkt, row, col));
}
int32_t Int(BktHandle bkt, int row, const char* name) {
  const int col = Col(bkt, name);
  return col == 0 || _ColIsNull(bkt, row, col) ? 0 : _ColGetInt(bkt, row, col);
}

std::string PoNumber(int32_t po) {
  DbMsg msg;
  std::string number;
  if (!AcqDbGen::GetPoNumber(msg, po, number) || number.empty()) number = Key(po);
  return number;
}

// The renewal's view of a split: each budget replaced by its renew_to_account.
bool MapSplit(const std::vector<SplitEntry>& split, const RenewTo& to,
              std::vector<SplitEntry>& mapped) {
  mapped.clear();
  for (const SplitEntry& e : split) {
    const auto it = to.accounts.find(e.budget);
    if (it == to.accounts.end() || it->second.empty()) return false;
    mapped.push_back(SplitEntry{it->second, e.percentage});
  }
  return true;
}

std::string SplitText(const std::vector<SplitEntry>& split) {
  std::string text;
  for (const SplitEntry& e : split)
    text += (text.empty() ? "" : " + ") + e.budget + " " + Key(e.percentage) + "%";
  return text;
}

// One new item as planned before the transaction.
struct PlannedItem {
  int16_t oldItem = 0;
  DayNum begin = kNoDate, end = kNoDate;
  bool splitText = false;                // the old item paid by a split text
  std::vector<SplitEntry> split;         // already mapped to the new budgets
};

// Everything the transaction writes, worked out before it begins.
struct Plan {
  int32_t po = 0;
  int16_t line = 0;
  int renewalType = 0;
  std::string contract;       // the new PO's contract (renew_to_contract or kept)
  DayNum oldNext = kNoDate, newNext = kNoDate;
  Dec64 price{};
  std::vector<PlannedItem> items;
};

Refusal Refuse(int message, const std::string& a1 = {}, const std::string& a2 = {}) {
  Refusal r;
  r.message = message;
  r.a1 = a1;
  r.a2 = a2;
  return r;
}
Refusal Failed() { return Refuse(-1); }

bool PriceMethod(int& method) {
  int32_t value = 0;
  if (!AcqDbBase::SelectCount("select price_upd_method from acq_parameter", value)) return false;
  method = value;
  return true;
}

// Works out the new line of `c` (reads only).
Refusal MakePlan(const Candidate& c, const RenewTo& to, Plan& plan) {
  plan = Plan{};
  plan.po = c.po;
  plan.line = c.line;
  BucketHold head, line, items;
  if (!AcqDbBase::LoadRows("po#,po_number,vendor#,vendor_contract,renewal_type,"
                           "subscription_period",
                           "po", "po#=" + Key(c.po), "", head) ||
      !AcqDbBase::LoadRows("po#,line,next_renewal_date,unit_price", "po_line",
                           LineWhere(c.po, c.line), "", line))
    return Failed();
  if (_BktCountAll(*head) < 1 || _BktCountAll(*line) < 1)
    return Refuse(msg::kNothingToRenew, PoNumber(c.po), Key(c.line));
  const std::string poNumber = Text(*head, 1, "po_number");
  plan.renewalType = Int(*head, 1, "renewal_type");
  if (plan.renewalType != 1 && plan.renewalType != 2)
    return Refuse(msg::kBadRenewalType, poNumber.empty() ? Key(c.po) : poNumber);
  const std::string number = poNumber.empty() ? Key(c.po) : poNumber;
  const auto period = AcqRenewPeriod::LoadPeriod(Text(*head, 1, "subscription_period"));
  if (period.failed) return Failed();
  if (!period.found) return Refuse(msg::kNoPeriod, number, Key(c.line));

  plan.oldNext = Date(*line, 1, "next_renewal_date");
  const auto next = AcqRenewPeriod::AddPeriod(period.period, plan.oldNext);
  if (!next) return Refuse(msg::kBadNextDate, number, Key(c.line));
  plan.newNext = *next;

  plan.contract = Text(*head, 1, "vendor_contract");
  if (!plan.contract.empty()) {
    const auto it = to.contracts.find({Int(*head, 1, "vendor#"), plan.contract});
    if (it != to.contracts.end() && !it->second.empty()) plan.contract = it->second;
  }

  if (!AcqDbBase::LoadRows("item,budget,budget_split,begin_date,end_date", "po_line_item",
                           LineWhere(c.po, c.line) + kRenewable, "item", items))
    return Failed();
  const int count = _BktCountAll(*items);
  const int take = c.quantity < 0 ? count : std::min(count, c.quantity);
  if (take == 0) return Refuse(msg::kNothingToRenew, number, Key(c.line));
  for (int row = 1; row <= take; ++row) {
    PlannedItem item;
    item.oldItem = static_cast<int16_t>(Int(*items, row, "item"));
    for (auto [name, out] : {std::pair{"begin_date", &item.begin}, {"end_date", &item.end}}) {
      const DayNum old = Date(*items, row, name);
      if (old == kNoDate) continue;
      const auto moved = AcqRenewPeriod::AddPeriod(period.period, old);
      if (!moved) return Refuse(msg::kBadCopyDates, number, Key(c.line));
      *out = *moved;
    }
    std::vector<SplitEntry> split;
    if (!AcqDbBudget::LoadItemSplit(c.po, c.line, item.oldItem, split)) return Failed();
    if (!MapSplit(split, to, item.split)) return Refuse(msg::kRenewToMissing);
    item.splitText = !Text(*items, row, "budget_split").empty();
    plan.items.push_back(std::move(item));
  }

  int method = 0;
  if (!PriceMethod(method)) return Failed();
  DbMsg msg;
  Dec64 unitPrice{}, rate = Dec64::FromInt(1);
  if (const DbCode code = AcqDbGen::GetAmountXrateFromPoLine(msg, c.po, c.line, unitPrice, rate);
      code != kDbOk) {
    HandleDbError(msg, code);
    return Failed();
  }
  if (!RenewalPrice(method, c.po, c.line, unitPrice, rate, plan.price)) return Failed();
  return {};
}

// One pass of the renewal transaction.
class RenewPass {
 public:
  RenewPass(const Plan& plan, AcqFundCtrl::BustList* list, AcqDbBudget::BudgetMoves& moves)
      : plan_(plan), list_(list), moves_(moves) {}

  bool Run() {
    return StillRenewable() && TargetPo() && WriteLine() && WriteItems() &&
           AcqDbBudget::ApplyBudgetUpdate(list_, moves_, newPo_, newLine_, *poRow_) &&
           MarkOldItems() && MoveOldLine();
  }
  bool raced() const { return raced_; }
  int32_t newPo() const { return newPo_; }
  int16_t newLine() const { return newLine_; }

 private:
  std::string OldItemList() const {
    std::string list;
    for (const PlannedItem& i : plan_.items) list += (list.empty() ? "" : ",") + Key(i.oldItem);
    return list;
  }

  // Another workstation may have renewed (or discontinued) these items
  // since they were planned: read again inside the transaction.
  bool StillRenewable() {
    int32_t open = 0;
    if (!AcqDbBase::SelectCount("select count(*) from po_line_item where " +
                                    LineWhere(plan_.po, plan_.line) + kRenewable +
                                    " and item in(" + OldItemList() + ")",
                                open))
      return false;
    if (open == static_cast<int32_t>(plan_.items.size())) return true;
    raced_ = true;
    return false;
  }

  // Renewal type 2 keeps the PO; 1 takes the old PO's renewal order, made
  // now when it has none (read inside the transaction: another line of the
  // same PO may just have made it).
  bool TargetPo() {
    newPo_ = plan_.po;
    if (plan_.renewalType == 1) {
      int32_t existing = 0;
      if (!AcqDbBase::SelectCount("select renew_po# from po where po#=" + Key(plan_.po),
                                  existing))
        return false;
      newPo_ = existing;
      if (newPo_ == 0 && !CreatePo()) return false;
    }
    return AcqDbBase::LoadRows("po#,vendor#,vendor_contract,currency", "po",
                               "po#=" + Key(newPo_), "", poRow_);
  }

  bool CreatePo() {
    DbMsg msg;
    int32_t key = 0;
    if (const DbCode code =
            _DbGetNewKeyValidate(AcqDbGlobal::Session(), "po", "po", "po#", key, msg);
        code != kDbOk) {
      HandleDbError(msg, code);
      return false;
    }
    const std::string today = Key(DbDabs_GetDate());
    newPo_ = key;
    return AcqDbBase::RunStatement(
               "insert into po(po#,po_number,vendor#,vendor_contract,currency,spent_event,"
               "prepaid_statement#,item_creation,attach_barcode,renewal_type,renew_po#,"
               "subscription_period,location,bill_to_address,ship_to_address,drop_ship,"
               "creation_date,last_update_date,completion_date) select " +
               Key(key) + "," + Quoted(Key(key)) + ",vendor#," + QuotedOrNull(plan_.contract) +
               ",currency,spent_event,null,item_creation,attach_barcode,renewal_type,null,"
               "subscription_period,location,bill_to_address,ship_to_address,drop_ship," +
               today + "," + today + ",null from po where po#=" + Key(plan_.po)) &&
           AcqDbBase::RunStatement("update po set renew_po#=" + Key(key) +
                                   " where po#=" + Key(plan_.po));
  }

  bool WriteLine() {
    DbMsg msg;
    if (!AcqDbGen::GetNewPoLine(msg, newPo_, newLine_)) return false;
    const std::string n = Key(static_cast<int64_t>(plan_.items.size()));
    if (!AcqDbBase::RunStatement(
            "insert into po_line(po#,line,bib#,media_type,title,author,edition,publisher,"
            "publication_place,publication_date,isbn,issn,ismn,ean_gtin,lccn,vendor_product_id,"
            "vendor_title_number,unit_price,vendor_discount,last_item,call_number,"
            "next_renewal_date,renew_line,renew_id,order_note,change_order_note,internal_note,"
            "workslip_note,last_update_date,completion_date,prior_renewal_date) select " +
            Key(newPo_) + "," + Key(newLine_) +
            ",bib#,media_type,title,author,edition,publisher,publication_place,"
            "publication_date,isbn,issn,ismn,ean_gtin,lccn,vendor_product_id,"
            "vendor_title_number," +
            Key(plan_.price.raw) + ",0," + n + ",call_number," + DateOrNull(plan_.newNext) +
            ",null," + Key(plan_.po) +
            ",order_note,change_order_note,internal_note,workslip_note," +
            Key(DbDabs_GetDate()) + ",null," + DateOrNull(plan_.oldNext) + " from po_line where " +
            LineWhere(plan_.po, plan_.line)))
      return false;
    const DbCode code = AcqDbGen::GetAmountXrateFromPoLine(msg, newPo_, newLine_, price_, rate_);
    if (code == kDbOk) return true;
    HandleDbError(msg, code);
    return false;
  }

  bool WriteItems() {
    int16_t item = 0;
    for (const PlannedItem& p : plan_.items) {
      ++item;
      const bool single = !p.splitText && p.split.size() == 1;
      const std::string budget = single ? QuotedOrNull(p.split[0].budget) : "null";
      const std::string split = single ? "null" : QuotedOrNull(SplitText(p.split));
      if (!AcqDbBase::RunStatement(
              "insert into po_line_item(po#,line,item,location,collection,itype,call_number,"
              "budget,budget_split,ship_to_address,borrower#,renew_item,begin_date,end_date) "
              "select " +
              Key(newPo_) + "," + Key(newLine_) + "," + Key(item) +
              ",location,collection,itype,call_number," + budget + "," + split +
              ",ship_to_address,borrower#,item," + DateOrNull(p.begin) + "," +
              DateOrNull(p.end) + " from po_line_item where " +
              LineWhere(plan_.po, plan_.line) + " and item=" + Key(p.oldItem)))
        return false;
      if (!p.split.empty() &&
          !AcqDbBudget::SplitLineItemBudgets(newPo_, newLine_, item, p.split, price_, rate_,
                                             false, !single, {}, moves_))
        return false;
    }
    return true;
  }

  bool MarkOldItems() {
    const AcqDbAct::Now now = AcqDbAct::Now::Take();
    const std::string where =
        LineWhere(plan_.po, plan_.line) + " and item in(" + OldItemList() + ")";
    return AcqDbBase::RunStatement(
               "insert into po_line_item_history(po#,line,item,po_activity_type,"
               "transaction_type,date,time) select po#,line,item,'renew',0," +
               Key(now.date) + "," + Key(now.time) + " from po_line_item where " + where) &&
           AcqDbBase::RunStatement("update po_line_item set renew_activity_date=" +
                                   Key(now.date) + ",renew_activity_type='renew' where " + where);
  }

  bool MoveOldLine() {
    return AcqDbBase::RunStatement("update po_line set renew_line=" + Key(newLine_) +
                                   ",next_renewal_date=" + DateOrNull(plan_.newNext) +
                                   " where " + LineWhere(plan_.po, plan_.line));
  }

  const Plan& plan_;
  AcqFundCtrl::BustList* const list_;
  AcqDbBudget::BudgetMoves& moves_;
  BucketHold poRow_;
  int32_t newPo_ = 0;
  int16_t newLine_ = 0;
  Dec64 price_{};
  Dec64 rate_ = Dec64::FromInt(1);
  bool raced_ = false;
};

}  // namespace

Refusal CheckOptions(const Options& options, std::string& field) {
  field.clear();
  if (options.vendor == 0) {
    field = "vendor#";
    return Refuse(msg::kNoVendor);
  }
  DbMsg msg;   // a failed test is reported and answers false: refused as well
  if (!AcqDbGen::ExistsAccountYearYear(msg, options.year)) {
    field = "renew_to_year";
    return Refuse(msg::kNoAllocations);
  }
  if (options.begin != kNoDate && options.end != kNoDate && options.end < options.begin) {
    field = "end_date";
    return Refuse(msg::kEndBeforeBegin);
  }
  return {};
}

std::string CandidateWhere(const Options& options) {
  std::string where = "vendor#=" + Key(options.vendor);
  if (!options.location.empty()) where += " and location=" + Quoted(options.location);
  if (options.begin != kNoDate) where += " and next_renewal_date>=" + Key(options.begin);
  if (options.end != kNoDate) where += " and next_renewal_date<=" + Key(options.end);
  return where;
}

bool LoadRenewableBudgets(const std::vector<Candidate>& lines, std::vector<std::string>& budgets) {
  std::set<std::string> found;
  for (const Candidate& c : lines) {
    BucketHold items;
    if (!AcqDbBase::LoadRows("item", "po_line_item", LineWhere(c.po, c.line) + kRenewable,
                             "item", items))
      return false;
    for (int row = 1; row <= _BktCountAll(*items); ++row) {
      std::vector<SplitEntry> split;
      if (!AcqDbBudget::LoadItemSplit(c.po, c.line, static_cast<int16_t>(Int(*items, row, "item")),
                                      split))
        return false;
      for (const SplitEntry& e : split) found.insert(e.budget);
    }
  }
  budgets.assign(found.begin(), found.end());
  return true;
}

bool AllApproved(const std::vector<Candidate>& lines, bool& approved) {
  approved = true;
  for (const Candidate& c : lines) {
    // A failed test is reported and answers false: refused as not approved.
    DbMsg msg;
    if (!AcqDbGen::PolisApprovedForPoLine(msg, c.po, c.line)) {
      approved = false;
      return true;
    }
  }
  return true;
}

Refusal CheckRenewTo(const RenewTo& renewTo, const std::vector<std::string>& budgets) {
  for (const std::string& budget : budgets) {
    const auto it = renewTo.accounts.find(budget);
    if (it == renewTo.accounts.end() || it->second.empty()) return Refuse(msg::kRenewToMissing);
    BucketHold row;
    if (!AcqDbBase::LoadRows("status", "account_year",
                             "account||'.'||year=" + Quoted(it->second) +
                                 " and year=" + Key(renewTo.year),
                             "", row))
      return Failed();
    if (_BktCountAll(*row) < 1) return Refuse(msg::kRenewToNoAllocation, it->second);
    if (Int(*row, 1, "status") == kClosed) return Refuse(msg::kRenewToClosed, it->second);
  }
  for (const auto& [from, to] : renewTo.contracts) {
    if (to.empty()) continue;
    int32_t found = 0;
    if (!AcqDbBase::SelectCount("select count(*) from vendor_contract where vendor#=" +
                                    Key(from.first) + " and vendor_contract=" + Quoted(to),
                                found))
      return Failed();
    if (found == 0) return Refuse(msg::kRenewToContract, to, Key(from.first));
  }
  return {};
}

bool RenewalPrice(int method, int32_t po, int16_t line, Dec64 unitPrice, Dec64 rate,
                  Dec64& price) {
  price = unitPrice;
  if (method == 0) return true;
  DbMsg msg;
  Dec64 base{};
  if (!AcqDbGen::GetRenewalPrice(msg, po, line, method == 2 ? 1 : 0, base)) return false;
  Dec64 quotient{};
  if (LbDec64_Div64(base, rate, quotient) != DecStatus::Ok) {
    msg.Set("The renewal price " + LbDec64_StrFrom64(base) +
            " cannot be converted at the exchange rate " + LbDec64_StrFrom64(rate) + ".");
    HandleDbError(msg, kDbError);
    return false;
  }
  (void)LbDec64_Round64(quotient, AcqDbBudget::MoneyDigits());   // a quotient of a bounded price
  price = quotient;
  return true;
}

Outcome RenewLine(const Candidate& candidate, const RenewTo& renewTo, bool approve) {
  Outcome outcome;
  Plan plan;
  if (Refusal r = MakePlan(candidate, renewTo, plan); r) {
    outcome.kind = r.message < 0 ? Outcome::Kind::Failed : Outcome::Kind::Refused;
    outcome.refusal = r;
    return outcome;
  }
  AcqFundCtrl::BustListHold list;
  AcqDbBudget::BudgetMoves moves;
  if (!moves.ok()) return outcome;
  bool raced = false;
  int32_t newPo = 0;
  int16_t newLine = 0;
  auto steps = [&] {
    moves.Reset();
    RenewPass pass(plan, list.get(), moves);
    const bool ok = pass.Run();
    raced = pass.raced();
    newPo = pass.newPo();
    newLine = pass.newLine();
    return ok;
  };
  auto confirmAgain = [&] {
    if (raced) return false;
    const AcqFundCtrl::BustHandler handler = AcqFundCtrl::GetBustHandler();
    return AcqFundCtrl::BustListPending(list.get()) && handler != nullptr && handler(list.get());
  };
  if (!AcqDbBase::SaveWithReportedRetry(kMaxRetries, steps, {}, confirmAgain)) {
    if (raced) {
      outcome.kind = Outcome::Kind::Refused;
      outcome.refusal = Refuse(msg::kRenewedElsewhere, PoNumber(plan.po), Key(plan.line));
    }
    return outcome;
  }
  outcome.kind = Outcome::Kind::Renewed;
  outcome.newPo = newPo;
  outcome.newLine = newLine;
  outcome.items = static_cast<int>(plan.items.size());
  if (approve) (void)AcqDbAct::ApprovePoLine(newPo, newLine);
  return outcome;
}

bool SetRenewal(int32_t po, int type, const std::string& period, DayNum nextDate, bool& changed) {
  changed = false;
  bool stillNone = false;
  auto steps = [&] {
    int32_t current = 0;
    if (!AcqDbBase::SelectCount("select renewal_type from po where po#=" + Key(po), current))
      return false;
    stillNone = current == 0;
    if (!stillNone) return false;
    return AcqDbBase::RunStatement("update po set renewal_type=" + Key(type) +
                                   ",subscription_period=" + QuotedOrNull(period) +
                                   ",last_update_date=" + Key(DbDabs_GetDate()) +
                                   " where po#=" + Key(po)) &&
           (nextDate == kNoDate ||
            AcqDbBase::RunStatement("update po_line set next_renewal_date=" + Key(nextDate) +
                                    " where po#=" + Key(po)));
  };
  changed = AcqDbBase::SaveWithReportedRetry(kMaxRetries, steps, {}) && stillNone;
  return changed;
}

}  // namespace acq::AcqDbRenew
