// AcqDbUndo: taking activities back, the database side.
//
// A pass undoes one line inside its transaction. It starts by writing the
// PO header (last_update_date), so that the write lock is held before the
// line's rows are read: two workstations undoing the same line serialise,
// and the second reads the items as the first left them (nothing to undo).
// Every pass starts with empty budget moves, so a retried pass never moves
// money twice.
#include "acq/po/AcqDbUndo.h"

#include <functional>
#include <optional>

#include "acq/budget/AcqDbBudget.h"
#include "acq/budget/AcqFundCtrl.h"
#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbBase.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/db/AcqDbGen.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/po/AcqPoParts.h"
#include "acq/print/AcqWrkBatch.h"
#include "host/db/DbDabs.h"
#include "host/sys/Bucket.h"
#include "host/sys/Dec64.h"
#include "host/sys/RunTime.h"

namespace acq::AcqDbUndo {
namespace {

namespace budget = AcqDbBudget;
using AcqDbBase::RunStatement;
using AcqDbBase::SelectCount;
using AcqPo::parts::DecOf;
using AcqPo::parts::TextOf;
using AcqPo::parts::WholeOf;

constexpr int kMsgVoucher = 59;
constexpr int kMsgOrderLater = 211;
constexpr int kMsgCancelled = 243;
constexpr int kMsgOtherActivity = 260;
constexpr int kMsgRenewalApproved = 283;
constexpr int kMsgNotRenewal = 337;
constexpr int kMsgBeingPrinted = 489;

// Conflicting passes retried before the one error is shown.
constexpr int kMaxRetries = 5;

// The columns of an item a pass reads.
constexpr const char* kItemColumns =
    "po#,line,item,order_date,printed_date,approve_date,receive_date,invoice_date,cancel_date,"
    "next_claim_date,renew_activity_date,renew_activity_type,renew_item,po_activity_type,"
    "item#,copy#";
// The dates that give an item activity.
constexpr const char* kActivityDates =
    "(cancel_date IS NOT NULL or invoice_date IS NOT NULL or order_date IS NOT NULL or "
    "printed_date IS NOT NULL or receive_date IS NOT NULL or renew_activity_date IS NOT NULL)";
// The price rows of an item: its on-order money at the line's price.
constexpr const char* kPriceRows = "statement# IS NULL and extra_charge_type IS NULL";

std::string Key(int64_t n) { return std::to_string(n); }
std::string LineWhere(int32_t po, int16_t line) {
  return "po#=" + Key(po) + " and line=" + Key(line);
}
std::string DateOrNull(DayNum date) { return date == kNoDate ? "NULL" : Key(date); }

// The condition of the items an undo takes back.
std::string TakenCondition(UndoActivity activity) {
  switch (activity) {
    case UndoActivity::Approve: return "approve_date IS NOT NULL";
    case UndoActivity::Receive: return "receive_date IS NOT NULL";
    case UndoActivity::Cancel: return "cancel_date IS NOT NULL";
    case UndoActivity::Discontinue: return "renew_activity_type='discont'";
    case UndoActivity::Renew: return "1=1";   // every item of the new line
  }
  return "1=0";
}

std::function<bool()> ConfirmAgain(AcqFundCtrl::BustList* list) {
  return [list] {
    const AcqFundCtrl::BustHandler handler = AcqFundCtrl::GetBustHandler();
    return AcqFundCtrl::BustListPending(list) && handler != nullptr && handler(list);
  };
}

// An item as the pass read it.
struct Item {
  int16_t item = 0;
  DayNum orderDate = kNoDate;
  bool received = false, invoiced = false, cancelled = false;
  int16_t renewItem = 0;
  std::string activityType;
  DayNum nextClaimDate = kNoDate;
};

// The vendor's claim settings: the delay from ordering to the first claim,
// or none when the vendor is not claimed (max_claims 0, or neither delay).
struct ClaimSettings {
  bool claimed = false;
  int delay = 0;
};

// One pass of the undo of one line, inside its transaction. Made afresh for
// every pass: nothing it learns survives a rollback.
class UndoPass {
 public:
  UndoPass(UndoActivity activity, int32_t po, int16_t line, AcqFundCtrl::BustList* list,
           budget::BudgetMoves& moves)
      : activity_(activity), po_(po), line_(line), list_(list), moves_(moves) {
    DbDabs_GetDateTime(now_, time_);
  }

  bool Run() {
    if (!TouchHeader() || !ReadItems()) return false;
    // A renewal line without items is still a renewal to take back.
    if (items_.empty() && activity_ != UndoActivity::Renew) return Refuse(kMsgNothingToUndo);
    if (!CheckRefusals() || refused_ != 0) return false;
    bool ok = false;
    switch (activity_) {
      case UndoActivity::Approve: ok = UndoApprove(); break;
      case UndoActivity::Receive: ok = UndoReceive(); break;
      case UndoActivity::Cancel: ok = UndoCancel(); break;
      case UndoActivity::Discontinue: ok = UndoDiscontinue(); break;
      case UndoActivity::Renew: ok = UndoRenew(); break;
    }
    return ok && budget::ApplyBudgetUpdate(list_, moves_, po_, line_, *header_);
  }

  int refused() const { return refused_; }
  int undone() const { return undone_; }
  int32_t oldPo() const { return oldPo_; }
  int16_t oldLine() const { return oldLine_; }

 private:
  // A refusal: Refuse ends the pass (false), Note lets a check go on
  // reporting that it read what it needed (true).
  bool Refuse(int message) {
    refused_ = message;
    return false;
  }
  bool Note(int message) {
    refused_ = message;
    return true;
  }
  std::string ItemWhere(int16_t item) const { return LineWhere(po_, line_) + " and item=" + Key(item); }
  std::string ItemList() const {
    std::vector<int32_t> keys;
    for (const Item& i : items_) keys.push_back(i.item);
    return AcqDbGen::KeyList(keys);
  }

  // The header row (for the budget update) and the write that takes the lock.
  bool TouchHeader() {
    if (!AcqDbBase::LoadRows("po#,vendor#,vendor_contract,currency,spent_event", "po",
                             "po#=" + Key(po_), "", header_))
      return false;
    if (_BktCountAll(*header_) != 1) return Refuse(kMsgNothingToUndo);
    vendor_ = static_cast<int32_t>(WholeOf(*header_, 1, "vendor#").value_or(0));
    spentEvent_ = static_cast<int>(WholeOf(*header_, 1, "spent_event").value_or(0));
    return RunStatement("update po set last_update_date=" + Key(now_) +
                        ",completion_date=NULL where po#=" + Key(po_));
  }

  bool ReadItems() {
    BucketHold rows;
    if (!AcqDbBase::LoadRows(kItemColumns, "po_line_item",
                             LineWhere(po_, line_) + " and " + TakenCondition(activity_), "item",
                             rows))
      return false;
    for (int row = 1; row <= _BktCountAll(*rows); ++row) {
      Item i;
      i.item = static_cast<int16_t>(WholeOf(*rows, row, "item").value_or(0));
      i.orderDate = static_cast<DayNum>(WholeOf(*rows, row, "order_date").value_or(kNoDate));
      i.received = WholeOf(*rows, row, "receive_date").has_value();
      i.invoiced = WholeOf(*rows, row, "invoice_date").has_value();
      i.cancelled = WholeOf(*rows, row, "cancel_date").has_value();
      i.renewItem = static_cast<int16_t>(WholeOf(*rows, row, "renew_item").value_or(0));
      i.activityType = TextOf(*rows, row, "po_activity_type");
      i.nextClaimDate =
          static_cast<DayNum>(WholeOf(*rows, row, "next_claim_date").value_or(kNoDate));
      items_.push_back(std::move(i));
    }
    return true;
  }

  // The refusals, read inside the transaction. False only on a database
  // failure; a refusal sets refused_.
  bool CheckRefusals() {
    int32_t n = 0;
    if (activity_ == UndoActivity::Renew && !CheckRenewal()) return false;
    if (refused_ != 0) return true;
    if (!SelectCount("select count(*) from po_line_item_budget_amount where " +
                         LineWhere(po_, line_) + " and voucher# IS NOT NULL",
                     n))
      return false;
    if (n > 0) return Note(kMsgVoucher);
    if (activity_ == UndoActivity::Approve) {
      if (!SelectCount("select count(*) from po_line_item where " + LineWhere(po_, line_) +
                           " and approve_date IS NOT NULL and " + kActivityDates,
                       n))
        return false;
      if (n > 0) return Note(kMsgOtherActivity);
    }
    if (activity_ == UndoActivity::Receive || activity_ == UndoActivity::Discontinue) {
      for (const Item& i : items_)
        if (i.cancelled) return Note(kMsgCancelled);
    }
    if (activity_ == UndoActivity::Receive &&
        AcqWrkBatch::LinesBeingPrinted(AcqDbGlobal::Session(), {{po_, line_}}))
      return Note(kMsgBeingPrinted);
    return true;
  }

  // ---- history ----

  bool WriteHistory(int32_t po, int16_t line, int16_t item, const std::string& code,
                    DayNum nextClaimDate) {
    return RunStatement(
        "insert into po_line_item_history(po#,line,item,po_activity_type,transaction_type,date,"
        "time,next_claim_date) values(" +
        Key(po) + "," + Key(line) + "," + Key(item) + "," + AcqPo::parts::Quote(code) + ",2," +
        Key(now_) + "," + Key(time_) + "," + DateOrNull(nextClaimDate) + ")");
  }

  // ---- claim dates ----

  bool LoadClaimSettings(ClaimSettings& settings) {
    BucketHold v;
    if (!AcqDbBase::LoadRows("max_claims,first_claim_delay,claim_interval", "vendor",
                             "vendor#=" + Key(vendor_), "", v))
      return false;
    settings = {};
    if (_BktCountAll(*v) == 0 || WholeOf(*v, 1, "max_claims").value_or(0) == 0) return true;
    std::optional<int64_t> delay = WholeOf(*v, 1, "first_claim_delay");
    if (!delay) delay = WholeOf(*v, 1, "claim_interval");
    if (!delay) return true;
    settings.claimed = true;
    settings.delay = static_cast<int>(*delay);
    return true;
  }

  // The claim date item `i` gets once it is neither received nor cancelled
  // again: order date + delay for an ordered item of a claimed vendor; else
  // the date it has (none after a receipt or cancellation).
  DayNum ResetClaimDate(const ClaimSettings& s, const Item& i) const {
    if (!s.claimed || i.orderDate == kNoDate) return i.nextClaimDate;
    return static_cast<DayNum>(i.orderDate + s.delay);
  }

  // ---- money ----

  bool PutPriceBackOnOrder(int16_t item) {
    int32_t rows = 0;
    if (!SelectCount("select count(*) from po_line_item_budget_amount where " + ItemWhere(item) +
                         " and " + kPriceRows,
                     rows))
      return false;
    if (rows > 0) return true;   // still on order: nothing was taken off
    if (!priceRead_) {
      DbMsg msg;
      if (const DbCode code = AcqDbGen::GetAmountXrateFromPoLine(msg, po_, line_, price_, rate_);
          code != kDbOk) {
        AcqDbExcept::HandleDbError(msg, code);
        return false;
      }
      priceRead_ = true;
    }
    std::vector<budget::SplitEntry> split;
    if (!budget::LoadItemSplit(po_, line_, item, split)) return false;
    return split.empty() ||
           budget::SplitLineItemBudgets(po_, line_, item, split, price_, rate_, false, false, {},
                                        moves_);
  }

  // ---- the activities ----

  bool UndoApprove() {
    for (const Item& i : items_)
      if (!RunStatement("update po_line_item set approve_date=NULL where " + ItemWhere(i.item)) ||
          !WriteHistory(po_, line_, i.item, "approve", kNoDate))
        return false;
    undone_ = static_cast<int>(items_.size());
    return true;
  }

  bool UndoReceive() {
    ClaimSettings claims;
    if (!LoadClaimSettings(claims) || !TurnSpentBack() || !LeaveBatches() ||
        !CatalogueBackOnOrder())
      return false;
    for (Item& i : items_) {
      i.received = false;
      i.nextClaimDate = ResetClaimDate(claims, i);
      if (!RunStatement("update po_line_item set receive_date=NULL,next_claim_date=" +
                        DateOrNull(i.nextClaimDate) + " where " + ItemWhere(i.item)) ||
          !WriteHistory(po_, line_, i.item, "receive", i.nextClaimDate))
        return false;
    }
    undone_ = static_cast<int>(items_.size());
    return true;
  }

  // With spent_event 0 an item's money is spent only while it is received
  // and invoiced: the rows that are spent go back on order.
  bool TurnSpentBack() {
    if (spentEvent_ != 0) return true;
    BucketHold rows;
    if (!AcqDbBase::LoadRows("budget_amount#,item,budget,amount,exchange_rate,extra_charge_type",
                             "po_line_item_budget_amount",
                             LineWhere(po_, line_) + " and item in(" + ItemList() +
                                 ") and spent=1",
                             "budget_amount#", rows))
      return false;
    std::vector<int32_t> turned;
    for (int row = 1; row <= _BktCountAll(*rows); ++row) {
      Dec64 base;
      if (LbDec64_Mul64(DecOf(*rows, row, "amount").value_or(Dec64{}),
                        DecOf(*rows, row, "exchange_rate").value_or(Dec64::FromInt(1)),
                        base) != DecStatus::Ok) {
        DbMsg msg;
        msg.Set("An amount of PO line " + Key(line_) + " times its exchange rate is too large.");
        AcqDbExcept::HandleDbError(msg, kDbError);
        return false;
      }
      const std::string b = TextOf(*rows, row, "budget");
      const std::string charge = TextOf(*rows, row, "extra_charge_type");
      const auto item = static_cast<int16_t>(WholeOf(*rows, row, "item").value_or(0));
      if (charge.empty()) {
        budget::DecreaseSpent(item, base, b, moves_.deltas(), moves_.detail());
        budget::IncreaseOnOrder(item, base, b, moves_.deltas(), moves_.detail());
      } else {
        budget::DecreaseExtraSpent(charge, base, b, moves_.deltas(), moves_.detail());
        budget::IncreaseExtraOnOrder(charge, base, b, moves_.deltas(), moves_.detail());
      }
      turned.push_back(static_cast<int32_t>(WholeOf(*rows, row, "budget_amount#").value_or(0)));
    }
    return turned.empty() ||
           RunStatement("update po_line_item_budget_amount set spent=0 where budget_amount# in(" +
                        AcqDbGen::KeyList(turned) + ")");
  }

  // Received items leave the batches still waiting to print (a printed
  // batch is a record of what went out).
  bool LeaveBatches() {
    return RunStatement(
        "delete from workslip_batch_po_line_item where " + LineWhere(po_, line_) +
        " and item in(" + ItemList() +
        ") and workslip_batch# in(select workslip_batch# from workslip_batch where date_printed "
        "IS NULL)");
  }

  // The attached catalogue item and copy are on order again.
  bool CatalogueBackOnOrder() {
    const std::string attached = "(select item# from po_line_item where " + LineWhere(po_, line_) +
                                 " and item in(" + ItemList() + ") and item# IS NOT NULL)";
    const std::string copies = "(select copy# from po_line_item where " + LineWhere(po_, line_) +
                               " and item in(" + ItemList() + ") and copy# IS NOT NULL)";
    const bool inventory = AcqDbGlobal::Globals().params.inventory_prefix;
    return RunStatement(std::string("update item set item_status='r'") +
                        (inventory ? ",inventory_num=NULL,prefix_inventory_num=NULL" : "") +
                        " where item_status='n' and item# in" + attached) &&
           RunStatement("update copy set acq_status=3 where acq_status=4 and copy# in" + copies);
  }

  bool UndoCancel() {
    ClaimSettings claims;
    if (!LoadClaimSettings(claims)) return false;
    for (Item& i : items_) {
      std::vector<std::string> history;
      if (i.activityType.empty() && !LoadCancelHistory(i.item, history)) return false;
      const std::string code = CancelCodeOf(i.activityType, history);
      i.cancelled = false;
      if (!i.invoiced && !PutPriceBackOnOrder(i.item)) return false;
      if (!ReverseExtraChargeReversals(i.item)) return false;
      if (!i.received) i.nextClaimDate = ResetClaimDate(claims, i);
      if (!RunStatement("update po_line_item set cancel_date=NULL,printed_date=NULL,"
                        "po_activity_type=NULL,next_claim_date=" +
                        DateOrNull(i.nextClaimDate) + " where " + ItemWhere(i.item)) ||
          !WriteHistory(po_, line_, i.item, code, kNoDate))
        return false;
    }
    undone_ = static_cast<int>(items_.size());
    return RunStatement("update po_line set change_order_note=NULL where " +
                        LineWhere(po_, line_));
  }

  bool LoadCancelHistory(int16_t item, std::vector<std::string>& codes) {
    BucketHold rows;
    if (!AcqDbBase::LoadRows("po_activity_type", "po_line_item_history",
                             ItemWhere(item) + " and transaction_type=0 and po_activity_type in("
                                               "'cancel','retrn','credit','refund')",
                             "history#", rows))
      return false;
    for (int row = 1; row <= _BktCountAll(*rows); ++row)
      codes.push_back(TextOf(*rows, row, "po_activity_type"));
    return true;
  }

  // A cancellation reversed the item's prorated extra charges with rows of
  // the opposite amount, each with an "extchrg" history row stamped like
  // the cancellation's own row. Those reversal rows go, and their money
  // comes back.
  bool ReverseExtraChargeReversals(int16_t item) {
    BucketHold stamp;
    if (!AcqDbBase::LoadRows("date,time", "po_line_item_history",
                             ItemWhere(item) + " and transaction_type=0 and po_activity_type in("
                                               "'cancel','retrn','credit','refund')",
                             "history# desc", stamp))
      return false;
    if (_BktCountAll(*stamp) == 0) return true;
    const std::string when = " and date=" + Key(WholeOf(*stamp, 1, "date").value_or(0)) +
                             " and time=" + Key(WholeOf(*stamp, 1, "time").value_or(0));
    BucketHold charges;
    if (!AcqDbBase::LoadRows("statement#,extra_charge_type,amount,exchange_rate",
                             "po_line_item_history",
                             ItemWhere(item) + " and transaction_type=0 and "
                                               "po_activity_type='extchrg'" + when,
                             "history#", charges))
      return false;
    for (int row = 1; row <= _BktCountAll(*charges); ++row) {
      const auto statement = WholeOf(*charges, row, "statement#");
      const std::string match =
          "extra_charge_type=" + AcqPo::parts::Quote(TextOf(*charges, row, "extra_charge_type")) +
          " and amount=" + Key(DecOf(*charges, row, "amount").value_or(Dec64{}).raw) +
          " and exchange_rate=" +
          Key(DecOf(*charges, row, "exchange_rate").value_or(Dec64::FromInt(1)).raw) +
          (statement ? " and statement#=" + Key(*statement) : " and statement# IS NULL");
      int32_t one = 0;
      if (!SelectCount("select min(budget_amount#) from po_line_item_budget_amount where " +
                           ItemWhere(item) + " and " + match,
                       one))
        return false;
      if (one != 0 && !budget::RemoveItemBudgetAmounts(po_, line_, item,
                                                       "budget_amount#=" + Key(one), moves_))
        return false;
    }
    return true;
  }

  bool UndoDiscontinue() {
    for (const Item& i : items_)
      if (!RunStatement("update po_line_item set renew_activity_date=NULL,"
                        "renew_activity_type=NULL where " + ItemWhere(i.item)) ||
          !WriteHistory(po_, line_, i.item, "discont", kNoDate))
        return false;
    undone_ = static_cast<int>(items_.size());
    return true;
  }

  // ---- renewal: this line is the new one ----

  bool CheckRenewal() {
    BucketHold row;
    if (!AcqDbBase::LoadRows("*", "po_line", LineWhere(po_, line_), "", row)) return false;
    if (_BktCountAll(*row) != 1) return Note(kMsgNothingToUndo);
    const auto oldPo = WholeOf(*row, 1, "renew_id");
    if (!oldPo) return Note(kMsgNotRenewal);
    oldPo_ = static_cast<int32_t>(*oldPo);
    hasPriorDate_ = _BktGetColNum(*row, "prior_renewal_date") != 0;
    priorDate_ = static_cast<DayNum>(WholeOf(*row, 1, "prior_renewal_date").value_or(kNoDate));
    BucketHold old;
    if (!AcqDbBase::LoadRows("line", "po_line",
                             "po#=" + Key(oldPo_) + " and renew_line=" + Key(line_), "line", old))
      return false;
    if (_BktCountAll(*old) == 0) return Note(kMsgNotRenewal);
    oldLine_ = static_cast<int16_t>(WholeOf(*old, 1, "line").value_or(0));
    int32_t n = 0;
    if (!SelectCount("select count(*) from po_line_item where " + LineWhere(po_, line_) +
                         " and approve_date IS NOT NULL",
                     n))
      return false;
    if (n > 0) return Note(kMsgRenewalApproved);
    if (!SelectCount("select count(*) from po_line_item where " + LineWhere(po_, line_) +
                         " and " + kActivityDates,
                     n))
      return false;
    if (n > 0) return Note(kMsgOtherActivity);
    return true;
  }

  bool UndoRenew() {
    std::vector<int32_t> renewed;
    for (const Item& i : items_)
      if (i.renewItem != 0) renewed.push_back(i.renewItem);
    BucketHold old;
    if (!renewed.empty() &&
        !AcqDbBase::LoadRows("item", "po_line_item",
                             LineWhere(oldPo_, oldLine_) + " and item in(" +
                                 AcqDbGen::KeyList(renewed) + ") and renew_activity_type='renew'",
                             "item", old))
      return false;
    for (int row = 1; *old != nullptr && row <= _BktCountAll(*old); ++row) {
      const auto item = static_cast<int16_t>(WholeOf(*old, row, "item").value_or(0));
      if (!RunStatement("update po_line_item set renew_activity_date=NULL,"
                        "renew_activity_type=NULL where " +
                        LineWhere(oldPo_, oldLine_) + " and item=" + Key(item)) ||
          !WriteHistory(oldPo_, oldLine_, item, "renew", kNoDate))
        return false;
      ++undone_;
    }
    std::string restore = "update po_line set renew_line=NULL";
    if (hasPriorDate_) restore += ",next_renewal_date=" + DateOrNull(priorDate_);
    if (!RunStatement(restore + " where " + LineWhere(oldPo_, oldLine_))) return false;
    // The new line goes with its items and their money; its history stays.
    for (const Item& i : items_)
      if (!budget::RemoveItemBudgetAmounts(po_, line_, i.item, "", moves_)) return false;
    const std::string mine = " where " + LineWhere(po_, line_);
    return RunStatement("delete from po_line_item_budget" + mine) &&
           RunStatement("delete from po_line_item" + mine) &&
           RunStatement("delete from po_line" + mine);
  }

  const UndoActivity activity_;
  const int32_t po_;
  const int16_t line_;
  AcqFundCtrl::BustList* const list_;
  budget::BudgetMoves& moves_;
  DayNum now_ = kNoDate;
  MinuteOfDay time_ = 0;

  BucketHold header_;
  int32_t vendor_ = 0;
  int spentEvent_ = 0;
  std::vector<Item> items_;
  int refused_ = 0;
  int undone_ = 0;
  bool priceRead_ = false;
  Dec64 price_{};
  Dec64 rate_ = Dec64::FromInt(1);
  // Renewal: the old line and what its next_renewal_date was before.
  int32_t oldPo_ = 0;
  int16_t oldLine_ = 0;
  bool hasPriorDate_ = false;
  DayNum priorDate_ = kNoDate;
};

}  // namespace

std::string CancelCodeOf(const std::string& poActivityType,
                         const std::vector<std::string>& history) {
  if (!poActivityType.empty()) return poActivityType;
  for (auto it = history.rbegin(); it != history.rend(); ++it)
    if (*it == "cancel" || *it == "retrn" || *it == "credit" || *it == "refund") return *it;
  return "cancel";
}

Result UndoLine(UndoActivity activity, int32_t po, int16_t line) {
  AcqFundCtrl::BustListHold list;
  budget::BudgetMoves moves;
  if (!moves.ok()) return {};
  int refused = 0;
  Result done{Outcome::Undone, 0, 0};
  auto steps = [&] {
    moves.Reset();
    UndoPass pass(activity, po, line, list.get(), moves);
    const bool ok = pass.Run();
    refused = pass.refused();
    done.items = pass.undone();
    done.oldPo = pass.oldPo();
    done.oldLine = pass.oldLine();
    return ok;
  };
  if (AcqDbBase::SaveWithReportedRetry(kMaxRetries, steps, {}, ConfirmAgain(list.get())))
    return done;
  if (refused != 0) return {Outcome::Refused, refused, 0};
  return {};
}

bool DiscontinueOrRenew(int32_t po, int16_t line, UndoActivity& activity) {
  int32_t n = 0;
  if (!SelectCount("select count(*) from po_line_item where " + LineWhere(po, line) +
                       " and renew_activity_type='discont'",
                   n))
    return false;
  activity = n > 0 ? UndoActivity::Discontinue : UndoActivity::Renew;
  return true;
}

Result UndoOrder(int32_t po) {
  uint8_t refusedFlag = 0;
  const DbCode code = AcqDbBase::SaveWithCodeRetry(
      kMaxRetries,
      [&](DbMsg& msg) {
        refusedFlag = 0;
        return AcqDb::ExecSP(msg, &refusedFlag, sizeof refusedFlag, Key(po), "undo_order");
      },
      [] { return true; });
  if (code != kDbOk) return {};
  if (refusedFlag != 0) return {Outcome::Refused, kMsgOrderLater, 0};
  return {Outcome::Undone, 0, 0};
}

}  // namespace acq::AcqDbUndo
