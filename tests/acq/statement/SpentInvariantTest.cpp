// The spent invariant under long random sequences of everything that moves
// statement money: invoices, supplemental invoices, credits and receipts of
// PO line items, extra charges with and without a budget, statement
// budgets, approval and its undo, vouchers and their voiding, proration
// and its undo. After every step each budget's on_order and spent are the
// sums of its money rows (amount x rate), its ledger moved as its totals
// did, and every money row is spent exactly when the money model says so.
// The sequences are seeded: a failure names the seed and the steps that
// led to it, and the same seed replays them.
#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "acq/db/AcqDbGen.h"
#include "acq/statement/AcqProrate.h"
#include "acq/statement/AcqStApp.h"
#include "acq/statement/ApprovalSupport.h"

namespace {

using acttest::ActModule;
namespace act = acq::AcqDbAct;
using act::Activity;

constexpr int kSteps = 90;

// Statements of vendor 1 (the vendor of POs 1 and 7): two invoices (one at
// a rate whose products need all six decimals), a supplemental invoice, an
// invoice by budget, a credit memo and a credit by budget.
const char* const kStatements =
    "insert into statement(\"statement#\", statement_number, statement_type, \"vendor#\", "
    "amount, currency, exchange_rate) values "
    "(50, 'R-50', 0, 1, 0, 'USD', 1000000), (51, 'R-51', 0, 1, 0, 'CAD', 1333333), "
    "(52, 'R-52', 1, 1, 0, 'USD', 1000000), (53, 'R-53', 2, 1, 0, 'USD', 1000000), "
    "(54, 'R-54', 3, 1, 0, 'USD', 1000000), (55, 'R-55', 4, 1, 0, 'USD', 1000000)";
const int32_t kAllStatements[] = {2, 50, 51, 52, 53, 54, 55};
const std::pair<int32_t, int16_t> kLines[] = {{1, 1}, {1, 2}, {1, 3}, {7, 1}, {7, 2}};
const char* const kBudgets[] = {"OPS.2026", "ADULT.2026", "REF.2026", "SERIAL.2026"};
const char* const kChargedTypes[] = {"SHIP", "HANDLE", "TAX"};

class Sequence {
 public:
  Sequence(ActModule& m, unsigned seed) : m_(m), random_(seed) {}

  template <typename T, size_t N>
  const T& Pick(const T (&from)[N]) {
    return from[std::uniform_int_distribution<size_t>(0, N - 1)(random_)];
  }
  int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
  Dec64 Cents(int low, int high) { return Dec64::FromRaw(int64_t{Between(low, high)} * 10000); }
  std::string S(int32_t n) { return std::to_string(n); }

  bool IsApproved(int32_t s) {
    bool approved = false;
    EXPECT_TRUE(acq::AcqStApp::IsApproved(s, approved));
    return approved;
  }

  // One random step; what it did goes to the log.
  void Step() {
    switch (Between(0, 13)) {
      case 0: case 1: LineActivity(Activity::Invoice, Pick(kAllStatements) == 51 ? 51 : 50); break;
      case 2: LineActivity(Activity::SupInvoice, 52); break;
      case 3: LineActivity(Activity::Credit, 54); break;
      case 4: LineActivity(Activity::Receive, 0); break;
      case 5: ChargedExtraCharge(); break;
      case 6: OpenExtraCharge(); break;
      case 7: StatementBudget(); break;
      case 8: case 9: BalanceHeader(Pick(kAllStatements)); break;
      case 10: Approve(); break;
      case 11: UndoApproval(); break;
      case 12: Voucher(); break;
      case 13: Proration(); break;
    }
  }

  void LineActivity(Activity activity, int32_t statement) {
    const auto [po, line] = Pick(kLines);
    BucketHold items;
    if (!act::LoadPendingItems(activity, po, line, statement, items.get())) return;
    if (_BktCountAll(*items) == 0) return;
    const int keep = Between(1, _BktCountAll(*items));
    for (int row = _BktCountAll(*items); row >= 1; --row)
      if (row != keep) _BktDelete(*items, row);
    act::ActivityEntry entry;
    entry.statement = statement;
    entry.amount = Cents(100, 6000);
    const bool done = act::RunActivity(activity, *items, entry);
    log_ << "activity " << static_cast<int>(activity) << " po " << po << " line " << line
         << " statement " << statement << " " << LbDec64_StrFrom64(entry.amount) << " -> "
         << done << "\n";
  }

  bool Exists(const std::string& sql) { return m_.Count(sql) > 0; }

  void ChargedExtraCharge() {
    const int32_t s = Between(0, 3) == 0 ? 54 : 50 + Between(0, 2);
    const std::string type = Pick(kChargedTypes), budget = Pick(kBudgets);
    if (IsApproved(s) || Exists("select count(*) from statement_extra_charge where "
                                "\"statement#\"=" + S(s) + " and extra_charge_type='" + type + "'"))
      return;
    Dec64 amount = Cents(100, 3000);
    if (s == 54) amount = Dec64::FromRaw(-amount.raw);
    const Dec64 rate = Dec64::FromRaw(s == 51 ? 1333333 : 1000000);
    const bool done = apptest::AddOwnMoney(s, type, budget, amount, rate);
    log_ << "charge " << type << " " << budget << " " << LbDec64_StrFrom64(amount)
         << " on " << s << " -> " << done << "\n";
  }

  void OpenExtraCharge() {
    const int32_t s = 50 + Between(0, 1);
    if (IsApproved(s) || Exists("select count(*) from statement_extra_charge where "
                                "\"statement#\"=" + S(s) + " and extra_charge_type='SVC'"))
      return;
    const Dec64 amount = Cents(100, 2000);
    m_.db.Exec("insert into statement_extra_charge(\"statement#\", extra_charge_type, amount, "
               "exchange_rate) values (" + S(s) + ", 'SVC', " + std::to_string(amount.raw) +
               ", " + (s == 51 ? "1333333" : "1000000") + ")");
    log_ << "open charge " << LbDec64_StrFrom64(amount) << " on " << s << "\n";
  }

  void StatementBudget() {
    const int32_t s = Between(0, 1) ? 53 : 55;
    const std::string budget = Pick(kBudgets);
    if (IsApproved(s) || Exists("select count(*) from statement_budget where \"statement#\"=" +
                                S(s) + " and budget='" + budget + "'"))
      return;
    Dec64 amount = Cents(100, 5000);
    if (s == 55) amount = Dec64::FromRaw(-amount.raw);
    const bool done = apptest::AddOwnMoney(s, "", budget, amount, Dec64::FromInt(1));
    log_ << "statement budget " << budget << " " << LbDec64_StrFrom64(amount) << " on " << s
         << " -> " << done << "\n";
  }

  // The header total the statement's rows balance with (an open charge
  // still unprorated keeps it unbalanced all the same).
  void BalanceHeader(int32_t s) {
    if (IsApproved(s)) return;
    const std::string k = S(s);
    const std::string total =
        s == 53 || s == 55
            ? "(select coalesce(sum(amount),0) from statement_budget where \"statement#\"=" + k + ")"
            : "(select coalesce(sum(amount),0) from po_line_item_budget_amount where "
              "\"statement#\"=" + k + " and extra_charge_type is null) + (select "
              "coalesce(sum(amount),0) from statement_extra_charge where \"statement#\"=" + k + ")";
    m_.db.Exec("update statement set amount=" + total + " where \"statement#\"=" + k);
    log_ << "balance header of " << s << "\n";
  }

  // Half the time the header is made to balance first.
  void Approve() {
    const int32_t s = Pick(kAllStatements);
    if (Between(0, 1) == 0) BalanceHeader(s);
    const bool done = acq::AcqStApp::Approve(nullptr, s);
    approved += done;
    log_ << "approve " << s << " -> " << done << "\n";
  }

  void UndoApproval() {
    const int32_t s = Pick(kAllStatements);
    const bool done = acq::AcqStApp::UndoApproval(nullptr, s);
    undone += done;
    log_ << "undo approval " << s << " -> " << done << "\n";
  }

  void Voucher() {
    if (Between(0, 1) == 0) {
      const int32_t s = Pick(kAllStatements);
      int32_t voucher = 0;
      const bool done = acq::AcqDbGen::CreateStatementVoucher(s, voucher);
      log_ << "voucher for " << s << " -> " << done << " " << voucher << "\n";
      return;
    }
    const acttest::Rows open = m_.Query("select \"voucher#\" from voucher where void=0");
    if (open.empty()) return;
    const int32_t voucher = std::stoi(open[static_cast<size_t>(Between(0, static_cast<int>(open.size()) - 1))][0]);
    uint8_t result = 0;
    const bool done = acq::AcqDbGen::VoidVoucher(voucher, result);
    log_ << "void voucher " << voucher << " -> " << done << " " << int{result} << "\n";
  }

  void Proration() {
    const int32_t s = 50 + Between(0, 1);
    if (Between(0, 1) == 0) {
      log_ << "undo proration on " << s << " -> "
           << acq::AcqProrate::UndoProratedCharges(s, {"SVC"}) << "\n";
      return;
    }
    std::vector<acq::AcqProrateMath::StatementLine> lines;
    for (const auto& r : m_.Query("select \"po#\", line, amount from statement_line where "
                                  "\"statement#\"=" + S(s) + " order by statement_line")) {
      acq::AcqProrateMath::StatementLine l;
      l.po = std::stoi(r[0]);
      l.line = static_cast<int16_t>(std::stoi(r[1]));
      if (!r[2].empty()) l.itemAmount = acttest::Raw(r[2]);
      lines.push_back(l);
    }
    const auto method = Between(0, 1) ? acq::AcqProrateMath::Method::Amount
                                      : acq::AcqProrateMath::Method::Quantity;
    log_ << "prorate on " << s << " -> "
         << acq::AcqProrate::ProrateExtraCharges(s, lines, acq::AcqProrateMath::LineChoice::All,
                                                 method, {"SVC"})
         << "\n";
  }

  // What is wrong with the money now ("" nothing).
  std::string Broken(const apptest::Picture& start, bool ledger) {
    std::string wrong =
        apptest::InvariantBroken(start, apptest::TakePicture(m_.db.Path()), ledger);
    // Money rows are spent exactly when their statement is approved and the
    // item's money is spent by the model (received, or the PO spends on
    // invoice); a statement's own rows exactly when it is approved.
    const acttest::Rows counts = m_.Query(
        "select (select count(*) from po_line_item_budget_amount m join statement s on "
        "s.\"statement#\"=m.\"statement#\" join po_line_item i on i.\"po#\"=m.\"po#\" and "
        "i.line=m.line and i.item=m.item join po p on p.\"po#\"=m.\"po#\" where m.spent <> "
        "(case when s.approve_date is not null and (p.spent_event<>0 or i.receive_date is not "
        "null) then 1 else 0 end)), "
        "(select count(*) from statement_extra_charge e join statement s on "
        "s.\"statement#\"=e.\"statement#\" where e.budget is not null and e.spent <> (case when "
        "s.approve_date is not null then 1 else 0 end)) + (select count(*) from statement_budget "
        "b join statement s on s.\"statement#\"=b.\"statement#\" where b.spent <> (case when "
        "s.approve_date is not null then 1 else 0 end))");
    if (counts.size() != 1 || counts[0].size() != 2) return wrong + "cannot count the rows; ";
    if (counts[0][0] != "0") wrong += counts[0][0] + " line money rows spent wrongly; ";
    if (counts[0][1] != "0") wrong += counts[0][1] + " statement money rows spent wrongly; ";
    return wrong;
  }

  std::string Log() const { return log_.str(); }
  // Approvals and undos that went through: the sequences must make some.
  int approved = 0, undone = 0;

 private:
  ActModule& m_;
  std::mt19937 random_;
  std::ostringstream log_;
};

TEST(SpentInvariant, HoldsAfterEveryStepOfRandomSequences) {
  int approved = 0, undone = 0;
  // The last run keeps no ledger: the totals move by deltas alone.
  const std::pair<unsigned, bool> runs[] = {{20261206u, true}, {7u, true}, {1234567u, false}};
  for (const auto& [seed, ledger] : runs) {
    ActModule m(std::string(kStatements) +
                (ledger ? "" : "; update acq_parameter set track_budget_trans=0"));
    apptest::Person person;   // Yes to fund control, OK to every question
    const apptest::Picture start = apptest::TakePicture(m.db.Path());
    Sequence run(m, seed);
    ASSERT_EQ(run.Broken(start, ledger), "") << "seed " << seed << ": before the first step";
    for (int step = 1; step <= kSteps; ++step) {
      run.Step();
      const std::string wrong = run.Broken(start, ledger);
      if (!wrong.empty()) {
        ADD_FAILURE() << "seed " << seed << ", step " << step << ": " << wrong << "\nsteps:\n"
                      << run.Log();
        break;
      }
    }
    if (!ledger) {
      EXPECT_EQ(m.Count("select count(*) from budget_transaction_detail where \"statement#\" "
                        "is not null"),
                0) << "seed " << seed << ": a ledger kept with track_budget_trans off";
    }
    approved += run.approved;
    undone += run.undone;
    EXPECT_TRUE(acqtest::ShownErrors().empty())
        << "seed " << seed << ": " << acqtest::ShownErrors().front() << "\nsteps:\n" << run.Log();
  }
  EXPECT_GE(approved, 10);
  EXPECT_GE(undone, 3);
}

}  // namespace
