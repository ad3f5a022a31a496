// AcqDbStmnt: the database side of the statement window. A save re-reads
// the statement inside its transaction and compares it with what the
// window read, so two workstations saving the same statement cannot
// overwrite each other: the second finds the first one's change and is
// told, with nothing written. Budgeted extra charges and statement budgets
// are on order until approval moves them to spent; a save takes the money
// of the rows as they were off the budgets and puts the new rows' money on.
#include "acq/statement/AcqDbStmnt.h"

#include <algorithm>
#include <set>

#include "acq/AcqUnit.h"
#include "acq/budget/AcqDbBudget.h"
#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbBase.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/po/AcqPoParts.h"
#include "host/db/PwDb.h"
#include "host/sys/Bucket.h"

namespace acq::AcqDbStmnt {

namespace {

using AcqDbBase::RunStatement;
constexpr auto& Load = AcqDbBase::LoadRows;
constexpr auto& Count = AcqDbBase::SelectCount;

using AcqDb::ClearChanges;
using AcqPo::parts::DecOf;
using AcqPo::parts::Quote;
using AcqPo::parts::TextOf;
using AcqPo::parts::WholeOf;

constexpr int kMaxRetries = 5;
constexpr const char* kHeaderColumns =
    "statement#,statement_number,statement_type,vendor#,amount,currency,exchange_rate,"
    "statement_date,approve_date,note,gst,pst,gst_amount,pst_amount";

// Messages of the header rules.
enum Message : int {
  kMsgTypeLocked = 106,
  kMsgCurrencyLocked = 107,
  kMsgChargeVouchered = 132,
  kMsgChargeDeleteVouchered = 133,
  kMsgChargeProrated = 134,
  kMsgVendorLocked = 136,
  kMsgBelowCredits = 137,
  kMsgLinesProrated = 244,
  kMsgApprovedOnlyNote = 302,
  kMsgApprovedNoChange = 296,
  kMsgUndoApproved = 303,
};

std::string Key(int64_t n) { return std::to_string(n); }
std::string Raw(Dec64 d) { return std::to_string(d.raw); }
std::string OrNull(const std::optional<Dec64>& d) { return d ? Raw(*d) : "NULL"; }
std::string OrNull(const std::optional<DayNum>& d) { return d ? Key(*d) : "NULL"; }
std::string TextOrNull(const std::string& s) { return s.empty() ? "NULL" : Quote(s); }


// The sum of money column `column` over the rows of `table` that `where`
// picks (zero over no rows). Named after its column, so it keeps the
// column's type.
bool Sum(const std::string& column, const std::string& table, const std::string& where,
         Dec64& sum) {
  BucketHold rows;
  if (!Load(column + "=sum(" + column + ")", table, where, "", rows)) return false;
  sum = _BktCountAll(*rows) > 0 ? DecOf(*rows, 1, column).value_or(Dec64{}) : Dec64{};
  return true;
}

std::optional<DayNum> DayOf(BktHandle rows, int row, const char* column) {
  const auto v = WholeOf(rows, row, column);
  if (!v || *v == kNoDate) return std::nullopt;
  return static_cast<DayNum>(*v);
}

bool ReadStatement(int32_t statement, Statement& out, bool& found) {
  found = false;
  const std::string where = "statement#=" + Key(statement);
  BucketHold head, charges, budgets;
  if (!Load(kHeaderColumns, "statement", where, "", head)) return false;
  if (_BktCountAll(*head) == 0) return true;
  found = true;
  Header& h = out.header;
  h.statement = statement;
  h.number = TextOf(*head, 1, "statement_number");
  h.type = static_cast<int>(WholeOf(*head, 1, "statement_type").value_or(0));
  h.vendor = static_cast<int32_t>(WholeOf(*head, 1, "vendor#").value_or(0));
  h.amount = DecOf(*head, 1, "amount").value_or(Dec64{});
  h.currency = TextOf(*head, 1, "currency");
  h.rate = DecOf(*head, 1, "exchange_rate").value_or(Dec64::FromInt(1));
  h.date = DayOf(*head, 1, "statement_date");
  h.approveDate = DayOf(*head, 1, "approve_date");
  h.note = TextOf(*head, 1, "note");
  h.gst = WholeOf(*head, 1, "gst").value_or(0) != 0;
  h.pst = WholeOf(*head, 1, "pst").value_or(0) != 0;
  h.gstAmount = DecOf(*head, 1, "gst_amount");
  h.pstAmount = DecOf(*head, 1, "pst_amount");
  if (!Load("extra_charge_type,amount,budget,spent,voucher#", "statement_extra_charge", where,
            "extra_charge_type", charges) ||
      !Load("budget,amount,spent,voucher#", "statement_budget", where, "budget", budgets))
    return false;
  out.charges.clear();
  for (int row = 1; row <= _BktCountAll(*charges); ++row) {
    out.charges.push_back({TextOf(*charges, row, "extra_charge_type"),
                           DecOf(*charges, row, "amount").value_or(Dec64{}),
                           TextOf(*charges, row, "budget"),
                           WholeOf(*charges, row, "spent").value_or(0) != 0,
                           WholeOf(*charges, row, "voucher#").has_value()});
  }
  out.budgets.clear();
  for (int row = 1; row <= _BktCountAll(*budgets); ++row) {
    out.budgets.push_back({TextOf(*budgets, row, "budget"),
                           DecOf(*budgets, row, "amount").value_or(Dec64{}),
                           WholeOf(*budgets, row, "spent").value_or(0) != 0,
                           WholeOf(*budgets, row, "voucher#").has_value()});
  }
  return true;
}

const Charge* FindCharge(const std::vector<Charge>& charges, const std::string& type) {
  for (const Charge& c : charges)
    if (c.type == type) return &c;
  return nullptr;
}

// The header rules against the statement as it is now (`now`), in their
// order; 0 when the save may go on.
bool CheckRules(const Statement& now, const Statement& edited, Refusal& refused) {
  const Header& was = now.header;
  const Header& to = edited.header;
  const std::string s = Key(was.statement);
  if (was.approveDate) {
    Header onlyNote = was;
    onlyNote.note = to.note;
    if (!(onlyNote == to)) {
      refused = {kMsgApprovedOnlyNote, ""};
      return true;
    }
    if (now.charges != edited.charges || now.budgets != edited.budgets) {
      refused = {kMsgApprovedNoChange, ""};
      return true;
    }
    return true;
  }
  int32_t lines = 0, chargeVouchers = 0, budgetVouchers = 0, credits = 0;
  if (!Count("select count(*) from po_line_item_budget_amount where statement#=" + s, lines) ||
      !Count("select count(*) from statement_extra_charge where statement#=" + s +
                 " and voucher# IS NOT NULL",
             chargeVouchers) ||
      !Count("select count(*) from statement_budget where statement#=" + s +
                 " and voucher# IS NOT NULL",
             budgetVouchers) ||
      !Count("select count(*) from statement_linker where invoice_statement#=" + s +
                 " or credit_statement#=" + s,
             credits))
    return false;
  if (to.type != was.type && (lines > 0 || chargeVouchers > 0)) {
    refused = {kMsgTypeLocked, ""};
    return true;
  }
  if (to.currency != was.currency &&
      (lines > 0 || chargeVouchers > 0 || budgetVouchers > 0 || credits > 0)) {
    refused = {kMsgCurrencyLocked, ""};
    return true;
  }
  for (const Charge& c : now.charges) {
    if (!c.vouchered) continue;
    const Charge* e = FindCharge(edited.charges, c.type);
    if (e == nullptr) {
      refused = {kMsgChargeDeleteVouchered, ""};
      return true;
    }
    if (e->amount != c.amount || e->budget != c.budget) {
      refused = {kMsgChargeVouchered, ""};
      return true;
    }
  }
  // Prorated types: their rows on the items depend on the charge as it is.
  BucketHold prorated;
  if (!Load("distinct extra_charge_type", "po_line_item_budget_amount",
            "statement#=" + s + " and extra_charge_type IS NOT NULL", "extra_charge_type",
            prorated))
    return false;
  std::string locked;
  for (int row = 1; row <= _BktCountAll(*prorated); ++row) {
    const std::string type = TextOf(*prorated, row, "extra_charge_type");
    const Charge* c = FindCharge(now.charges, type);
    const Charge* e = FindCharge(edited.charges, type);
    if (c != nullptr && (e == nullptr || !(*e == *c))) locked += (locked.empty() ? "" : ", ") + type;
  }
  if (!locked.empty()) {
    refused = {kMsgChargeProrated, locked};
    return true;
  }
  if (to.vendor != was.vendor && credits > 0) {
    refused = {kMsgVendorLocked, ""};
    return true;
  }
  if (credits > 0) {
    Dec64 applied;
    if (!Sum("amount_applied", "statement_linker",
             "invoice_statement#=" + s + " or credit_statement#=" + s, applied))
      return false;
    const Dec64 amount = Dec64::FromRaw(to.amount.raw < 0 ? -to.amount.raw : to.amount.raw);
    if (amount < applied) {
      refused = {kMsgBelowCredits, ""};
      return true;
    }
  }
  return true;
}

bool WriteHeader(const Header& h, bool isNew) {
  const DayNum today = DbDabs_GetDate();
  if (isNew) {
    return RunStatement(
        "insert into statement(statement#,statement_number,statement_type,vendor#,amount,"
        "amount_remaining,currency,exchange_rate,statement_date,note,gst,pst,gst_amount,"
        "pst_amount,creation_date,last_update_date) values(" +
        Key(h.statement) + "," + Quote(h.number) + "," + Key(h.type) + "," + Key(h.vendor) +
        "," + Raw(h.amount) + "," + Raw(h.amount) + "," + TextOrNull(h.currency) + "," +
        Raw(h.rate) + "," + OrNull(h.date) + "," + TextOrNull(h.note) + "," + Key(h.gst) + "," +
        Key(h.pst) + "," + OrNull(h.gstAmount) + "," + OrNull(h.pstAmount) + "," + Key(today) +
        "," + Key(today) + ")");
  }
  return RunStatement("update statement set statement_number=" + Quote(h.number) +
                      ",statement_type=" + Key(h.type) + ",vendor#=" + Key(h.vendor) +
                      ",amount=" + Raw(h.amount) + ",currency=" + TextOrNull(h.currency) +
                      ",exchange_rate=" + Raw(h.rate) + ",statement_date=" + OrNull(h.date) +
                      ",note=" + TextOrNull(h.note) + ",gst=" + Key(h.gst) + ",pst=" + Key(h.pst) +
                      ",gst_amount=" + OrNull(h.gstAmount) + ",pst_amount=" + OrNull(h.pstAmount) +
                      ",last_update_date=" + Key(today) + " where statement#=" + Key(h.statement));
}

// amount x rate, the base money of a row; false on an overflow (reported).
bool Base(Dec64 amount, Dec64 rate, Dec64& base) {
  if (LbDec64_Mul64(amount, rate, base) == DecStatus::Ok) return true;
  KtSystem_Error("AcqDbStmnt.Base: an amount times its exchange rate overflows");
  return false;
}

// Rewrites the charges and budgets: every unspent budgeted row of `was`
// leaves its budget's on order, every row of `to` comes on at the header's
// rate. Rows equal in both cancel in the ledger.
bool WriteMoneyRows(const Statement& was, const Statement& to, AcqDbBudget::BudgetMoves& moves) {
  const std::string s = Key(to.header.statement);
  const Dec64 oldRate = was.header.rate, rate = to.header.rate;
  for (const Charge& c : was.charges) {
    Dec64 base;
    if (c.budget.empty() || c.spent) continue;
    if (!Base(c.amount, oldRate, base)) return false;
    AcqDbBudget::DecreaseExtraOnOrder(c.type, base, c.budget, moves.deltas(), moves.detail());
  }
  for (const BudgetRow& b : was.budgets) {
    Dec64 base;
    if (b.spent) continue;
    if (!Base(b.amount, oldRate, base)) return false;
    AcqDbBudget::DecreaseExtraOnOrder("", base, b.budget, moves.deltas(), moves.detail());
  }
  // Vouchered rows stay as they are (the rules let no change of them through).
  if (!RunStatement("delete from statement_extra_charge where statement#=" + s +
                    " and voucher# IS NULL") ||
      !RunStatement("delete from statement_budget where statement#=" + s +
                    " and voucher# IS NULL"))
    return false;
  for (const Charge& c : to.charges) {
    Dec64 base;
    if (c.vouchered) continue;
    if (!Base(c.amount, rate, base)) return false;
    if (!RunStatement("insert into statement_extra_charge(statement#,extra_charge_type,amount,"
                      "exchange_rate,budget,spent) values(" + s + "," + Quote(c.type) + "," +
                      Raw(c.amount) + "," + Raw(rate) + "," + TextOrNull(c.budget) + "," +
                      Key(c.spent) + ")"))
      return false;
    if (!c.budget.empty() && !c.spent)
      AcqDbBudget::IncreaseExtraOnOrder(c.type, base, c.budget, moves.deltas(), moves.detail());
  }
  for (const BudgetRow& b : to.budgets) {
    Dec64 base;
    if (b.vouchered) continue;
    if (!Base(b.amount, rate, base)) return false;
    if (!RunStatement(
            "insert into statement_budget(statement#,budget,amount,exchange_rate,spent) values(" +
            s + "," + Quote(b.budget) + "," + Raw(b.amount) + "," + Raw(rate) + "," +
            Key(b.spent) + ")"))
      return false;
    if (!b.spent)
      AcqDbBudget::IncreaseExtraOnOrder("", base, b.budget, moves.deltas(), moves.detail());
  }
  // The vouchered (hence spent) rows keep their own rows, which the loop
  // above skipped; their money does not move.
  return true;
}

// An item left on no statement is ordered and not invoiced again: its
// invoice date goes and its price comes back on order, split over its
// budgets at the PO currency's rate, as ordering put it there.
bool RestoreOrder(int32_t po, int16_t line, int16_t item, AcqDbBudget::BudgetMoves& moves) {
  const std::string where =
      "po#=" + Key(po) + " and line=" + Key(line) + " and item=" + Key(item);
  int32_t invoiced = 0;
  if (!Count("select count(*) from po_line_item_budget_amount where " + where +
                 " and statement# IS NOT NULL",
             invoiced))
    return false;
  if (invoiced > 0) return true;
  BucketHold price, rate;
  if (!RunStatement("update po_line_item set invoice_date=NULL where " + where) ||
      !Load("unit_price", "po_line", "po#=" + Key(po) + " and line=" + Key(line), "", price) ||
      !Load("exchange_rate", "currency",
            "currency=(select currency from po where po#=" + Key(po) + ")", "", rate))
    return false;
  if (_BktCountAll(*price) == 0) return true;
  std::vector<AcqDbBudget::SplitEntry> split;
  if (!AcqDbBudget::LoadItemSplit(po, line, item, split)) return false;
  if (split.empty()) return true;
  const Dec64 unitPrice = DecOf(*price, 1, "unit_price").value_or(Dec64{});
  const Dec64 poRate = _BktCountAll(*rate) > 0
                           ? DecOf(*rate, 1, "exchange_rate").value_or(Dec64::FromInt(1))
                           : Dec64::FromInt(1);
  return AcqDbBudget::SplitLineItemBudgets(po, line, item, split, unitPrice, poRate, false,
                                           false, {}, moves);
}

bool NewStatementKey(int32_t& key) {
  DbMsg msg;
  if (DbCode code = _DbGetNewKeyValidate(AcqDbGlobal::Session(), "statement", "statement",
                                         "statement#", key, msg);
      code != kDbOk) {
    AcqDbExcept::HandleDbError(msg, code);
    return false;
  }
  return true;
}

// Credits and refunds take money back: their amounts are stored negative,
// as the PO side stores the money of credited and refunded items, so that
// a credit balances against its lines. An amount typed positive is turned.
bool IsCreditType(int type) { return type >= 3 && type <= 6; }
void Negate(Dec64& amount) {
  if (amount.raw > 0) amount = Dec64::FromRaw(-amount.raw);
}
void NormalizeSigns(Statement& s) {
  if (!IsCreditType(s.header.type)) return;
  Negate(s.header.amount);
  if (s.header.gstAmount) Negate(*s.header.gstAmount);
  if (s.header.pstAmount) Negate(*s.header.pstAmount);
  for (Charge& c : s.charges)
    if (!c.vouchered) Negate(c.amount);
  for (BudgetRow& b : s.budgets)
    if (!b.vouchered) Negate(b.amount);
}

std::function<bool()> ConfirmAgain(AcqFundCtrl::BustList* list) {
  return [list] {
    const AcqFundCtrl::BustHandler handler = AcqFundCtrl::GetBustHandler();
    return AcqFundCtrl::BustListPending(list) && handler != nullptr && handler(list);
  };
}

}  // namespace

bool LoadStatement(int32_t statement, Statement& out, bool& found) {
  return ReadStatement(statement, out, found);
}

bool LoadLines(int32_t statement, std::vector<Line>& out) {
  out.clear();
  const std::string s = Key(statement);
  BucketHold rows, money;
  if (!Load("statement_line,statement_line_type,po#,line,quantity,amount,"
            "(select po_number from po where po.po#=statement_line.po#) as po_number,"
            "(select title from po_line where po_line.po#=statement_line.po# and "
            "po_line.line=statement_line.line) as title",
            "statement_line", "statement#=" + s, "statement_line", rows) ||
      !Load("statement_line,amount=sum(amount)", "po_line_item_budget_amount",
            "statement#=" + s + " and extra_charge_type IS NULL group by statement_line", "",
            money))
    return false;
  for (int row = 1; row <= _BktCountAll(*rows); ++row) {
    Line l;
    l.statementLine = static_cast<int16_t>(WholeOf(*rows, row, "statement_line").value_or(0));
    l.lineType = static_cast<int>(WholeOf(*rows, row, "statement_line_type").value_or(0));
    l.po = static_cast<int32_t>(WholeOf(*rows, row, "po#").value_or(0));
    l.line = static_cast<int16_t>(WholeOf(*rows, row, "line").value_or(0));
    l.quantity = static_cast<int>(WholeOf(*rows, row, "quantity").value_or(0));
    l.amount = DecOf(*rows, row, "amount");
    l.poNumber = TextOf(*rows, row, "po_number");
    l.title = TextOf(*rows, row, "title");
    for (int m = 1; m <= _BktCountAll(*money); ++m) {
      if (WholeOf(*money, m, "statement_line").value_or(0) == l.statementLine)
        l.itemAmount = DecOf(*money, m, "amount");
    }
    out.push_back(std::move(l));
  }
  return true;
}

bool DefaultChargeBudget(const std::string& chargeType, std::string& budget) {
  budget.clear();
  BucketHold type;
  if (!Load("account", "extra_charge_type", "extra_charge_type=" + Quote(chargeType), "", type))
    return false;
  if (_BktCountAll(*type) == 0) return true;
  const std::string account = TextOf(*type, 1, "account");
  if (account.empty()) return true;
  int year = AcqDbGlobal::Globals().params.fiscal_year;
  if (year == AcqDbGlobal::kNoFiscalYear || year <= 0) {
    int month = 0, day = 0;
    DbDabs_DateToMDY(DbDabs_GetDate(), month, day, year);
  }
  const std::string yyyy = std::to_string(year);
  const std::string yy = yyyy.size() >= 2 ? yyyy.substr(yyyy.size() - 2) : yyyy;
  for (const std::string& candidate : {account + "." + yyyy, account + "." + yy, account + "."}) {
    BucketHold found;
    if (!Load("budget", "budget_code", "budget=" + Quote(candidate), "", found)) return false;
    if (_BktCountAll(*found) > 0) {
      budget = candidate;
      return true;
    }
  }
  return true;
}

bool SaveStatement(const Statement& shown, Statement& edited, Refusal& refused,
                   AcqFundCtrl::BustList* confirmed) {
  refused = {};
  const bool isNew = shown.header.statement == 0;
  AcqFundCtrl::BustListHold own;
  AcqFundCtrl::BustList* list = confirmed != nullptr ? confirmed : own.get();
  AcqDbBudget::BudgetMoves moves;
  if (!moves.ok()) return false;
  NormalizeSigns(edited);
  const Statement asEdited = edited;
  auto steps = [&]() -> bool {
    moves.Reset();
    refused = {};
    edited = asEdited;
    Statement now;
    if (isNew) {
      if (!NewStatementKey(edited.header.statement)) return false;
      now.header.statement = edited.header.statement;
      now.header.rate = edited.header.rate;
    } else {
      bool found = false;
      if (!ReadStatement(shown.header.statement, now, found)) return false;
      if (!found) {
        refused = {kMsgStatementGone, shown.header.number};
        return false;
      }
      if (!(now == shown)) {
        refused = {kMsgChangedElsewhere, shown.header.number};
        return false;
      }
      if (!CheckRules(now, edited, refused) || refused.message != 0) return false;
    }
    edited.header.approveDate = now.header.approveDate;
    if (!WriteHeader(edited.header, isNew)) return false;
    // An approved statement changes only its note: its rows stay.
    if (now.header.approveDate) return true;
    if (!WriteMoneyRows(now, edited, moves)) return false;
    return AcqDbBudget::ApplyStatementBudgetUpdate(list, moves, true, edited.header.statement,
                                                   nullptr);
  };
  const bool saved = AcqDbBase::SaveWithReportedRetry(kMaxRetries, steps, {}, ConfirmAgain(list));
  if (!saved && isNew) edited.header.statement = 0;
  return saved;
}

namespace {
// The history code the undo of a statement line repeats, by the line's
// type: invoice and supplemental invoice "invoice", credit "credit", refund
// "refund"; "" for a type that is none of those.
std::string UndoneHistoryCode(int64_t statementLineType) {
  switch (statementLineType) {
    case 0:
    case 1: return "invoice";
    case 3: return "credit";
    case 5: return "refund";
    default: return "";
  }
}
}  // namespace

bool UndoStatementLines(int32_t statement, const std::vector<int16_t>& statementLines,
                        Refusal& refused) {
  constexpr int kMsgLineVouchered = 59;
  constexpr int kMsgInvoiceHasLater = 60;
  refused = {};
  if (statementLines.empty()) return true;
  const std::string s = Key(statement);
  std::string inLines;
  for (int16_t l : statementLines) inLines += (inLines.empty() ? "" : ",") + Key(l);
  AcqDbBudget::BudgetMoves moves;
  if (!moves.ok()) return false;
  AcqFundCtrl::BustListHold list;
  auto steps = [&]() -> bool {
    moves.Reset();
    refused = {};
    bool found = false;
    Statement now;
    if (!ReadStatement(statement, now, found)) return false;
    if (!found) {
      refused = {kMsgStatementGone, ""};
      return false;
    }
    if (now.header.approveDate) {
      refused = {kMsgUndoApproved, ""};
      return false;
    }
    BucketHold lines;
    if (!Load("statement_line,statement_line_type,po#,line", "statement_line",
              "statement#=" + s + " and statement_line in(" + inLines + ")", "statement_line",
              lines))
      return false;
    for (int row = 1; row <= _BktCountAll(*lines); ++row) {
      const std::string po = Key(WholeOf(*lines, row, "po#").value_or(0));
      const std::string line = Key(WholeOf(*lines, row, "line").value_or(0));
      const std::string poLine = "po#=" + po + " and line=" + line;
      const std::string sl = Key(WholeOf(*lines, row, "statement_line").value_or(0));
      if (UndoneHistoryCode(WholeOf(*lines, row, "statement_line_type").value_or(-1)).empty()) {
        KtSystem_Error("AcqPoAct.UndoActivity: invalid StatementType");
        return false;
      }
      // A voucher anywhere on the PO line freezes its money.
      int32_t vouchered = 0;
      if (!Count("select count(*) from po_line_item_budget_amount where " + poLine +
                     " and voucher# IS NOT NULL",
                 vouchered))
        return false;
      if (vouchered > 0) {
        refused = {kMsgLineVouchered, ""};
        return false;
      }
      // An invoice goes back only after the supplemental invoices, credits
      // and refunds entered on its items since.
      if (WholeOf(*lines, row, "statement_line_type").value_or(-1) == 0) {
        int32_t later = 0;
        if (!Count("select count(*) from po_line_item_budget_amount where " + poLine +
                       " and statement_line_type in(1,3,5) and item in(select item from"
                       " po_line_item_budget_amount where " + poLine + " and statement#=" + s +
                       " and statement_line=" + sl + ")",
                   later))
          return false;
        if (later > 0) {
          refused = {kMsgInvoiceHasLater, ""};
          return false;
        }
      }
      int32_t prorated = 0;
      if (!Count("select count(*) from po_line_item_budget_amount where statement#=" + s +
                     " and po#=" + po + " and line=" + line +
                     " and extra_charge_type IS NOT NULL",
                 prorated))
        return false;
      if (prorated > 0) {
        refused = {kMsgLinesProrated, ""};
        return false;
      }
    }
    DayNum date = 0;
    MinuteOfDay time = 0;
    DbDabs_GetDateTime(date, time);
    for (int row = 1; row <= _BktCountAll(*lines); ++row) {
      const int32_t po = static_cast<int32_t>(WholeOf(*lines, row, "po#").value_or(0));
      const int16_t line = static_cast<int16_t>(WholeOf(*lines, row, "line").value_or(0));
      const std::string sl = Key(WholeOf(*lines, row, "statement_line").value_or(0));
      const std::string code =
          UndoneHistoryCode(WholeOf(*lines, row, "statement_line_type").value_or(-1));
      const std::string mine = "statement#=" + s + " and statement_line=" + sl +
                               " and extra_charge_type IS NULL";
      // Each PO line's money moves as a PO action of its own, so that the
      // PO's contract moves back with its budgets.
      moves.Reset();
      BucketHold items, poRow;
      if (!Load("po#,vendor#,vendor_contract", "po", "po#=" + Key(po), "", poRow) ||
          !Load("item,amount=sum(amount),exchange_rate=max(exchange_rate)",
                "po_line_item_budget_amount",
                "po#=" + Key(po) + " and line=" + Key(line) + " and " + mine + " group by item",
                "item", items))
        return false;
      for (int i = 1; i <= _BktCountAll(*items); ++i) {
        const int16_t item = static_cast<int16_t>(WholeOf(*items, i, "item").value_or(0));
        if (!RunStatement(
                "insert into po_line_item_history(po#,line,item,po_activity_type,"
                "transaction_type,date,time,statement#,amount,exchange_rate) values(" +
                Key(po) + "," + Key(line) + "," + Key(item) + "," + Quote(code) + ",2," +
                Key(date) + "," +
                Key(time) + "," + s + "," + Raw(DecOf(*items, i, "amount").value_or(Dec64{})) +
                "," + Raw(DecOf(*items, i, "exchange_rate").value_or(Dec64::FromInt(1))) + ")") ||
            !AcqDbBudget::RemoveItemBudgetAmounts(po, line, item, mine, moves) ||
            !RestoreOrder(po, line, item, moves))
          return false;
      }
      if (!RunStatement("delete from statement_line where statement#=" + s +
                        " and statement_line=" + sl) ||
          !AcqDbBudget::ApplyBudgetUpdate(list.get(), moves, po, line, *poRow))
        return false;
    }
    return true;
  };
  return AcqDbBase::SaveWithReportedRetry(kMaxRetries, steps, {}, ConfirmAgain(list.get()));
}

}  // namespace acq::AcqDbStmnt

ACQ_UNIT_EMPTY(AcqDbStmnt)
