// Four workstations (real processes) run money activities at once on one
// PO, its contract and two shared budgets: every activity goes through,
// nobody is shown a busy or locked error, and the budgets, the contract,
// the money rows and the ledger end exactly where the activities take
// them, worked out by hand.
//
// Each workstation takes its own line through invoice, receive,
// supplemental invoice and credit, item by item, and cancels what is left.
// ACQ_ACTIVITIES_PER_WORKSTATION sets how many activities each runs
// (250 by default).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "DbActFixture.h"
#include "acq/db/AcqDb.h"
#include "support/Processes.h"

namespace {

using acttest::ActModule;
using acttest::Money;
namespace act = acq::AcqDbAct;
using act::Activity;

constexpr int kWorkstations = 4;
constexpr int16_t kFirstLine = 4;   // the lines made for the workstations: 4 .. 7 of PO 1

int ActivitiesPerWorkstation() {
  const char* text = std::getenv("ACQ_ACTIVITIES_PER_WORKSTATION");
  const int n = text ? std::atoi(text) : 0;
  return n > 0 ? n : 250;
}

// A line of `count` items split 60/40 between ADULT.2026 and REF.2026 at
// 10.00 each, saved and approved.
void MakeLine(int count) {
  BucketHold po, line, items;
  DbMsg msg;
  ASSERT_EQ(acq::AcqDb::LoadTable(msg, acq::AcqDb::ClearChanges::Yes, "", "po#=1",
                                  "po#,vendor#,vendor_contract,currency", "po", po.get()),
            kDbOk);
  ASSERT_EQ(acq::AcqDb::BktFromCols(msg, 0, 0, line.get(), "*", "po_line"), kDbOk);
  ASSERT_EQ(acq::AcqDb::BktFromCols(msg, 0, 0, items.get(), "po#,line,item,budget_split", "po_line_item"),
            kDbOk);
  int row = 0;
  _BktInsert(*line, 0, row);
  _ColSetDec64(*line, row, _BktGetColNum(*line, "unit_price"), Money("10.00"));
  for (int n = 0; n < count; ++n) {
    _BktInsert(*items, 0, row);
    _ColSetTextW(*items, row, 4, "ADULT.2026 60% + REF.2026 40%");
  }
  ASSERT_TRUE(act::SavePoLine(*po, *line, *items));
  ASSERT_EQ(act::ApprovePoLine(1, static_cast<int16_t>(_ColGetInt(*line, 1, _BktGetColNum(*line, "line")))),
            act::ApproveResult::Approved);
}

// One activity on the first pending item of the workstation's line.
bool RunFirst(Activity activity, int16_t line, int32_t statement, const char* amount) {
  BucketHold items;
  if (!act::LoadPendingItems(activity, 1, line, statement, items.get())) return false;
  while (_BktCountAll(*items) > 1) _BktDelete(*items, _BktCountAll(*items));
  if (_BktCountAll(*items) != 1) return false;
  act::ActivityEntry entry;
  entry.statement = statement;
  if (amount) entry.amount = Money(amount);
  return act::RunActivity(activity, *items, entry);
}

// A workstation: a connection of its own; `lifecycles` items taken from
// invoice to credit, then `cancels` cancelled. Exit status 0 when every
// activity committed and nothing was shown.
int Workstation(int16_t line, int lifecycles, int cancels, const testproc::Gate& gate) {
  DbMsg msg;
  HDb own = nullptr;
  if (_DbCloneHDb(acq::AcqDbGlobal::Session(), own, msg) != kDbOk) return 10;
  acq::AcqDbGlobal::Globals().session = own;
  acqtest::ShownErrors().clear();
  gate.Wait();
  for (int n = 0; n < lifecycles; ++n) {
    if (!RunFirst(Activity::Invoice, line, 20, "12.50") ||
        !RunFirst(Activity::Receive, line, 0, nullptr) ||
        !RunFirst(Activity::SupInvoice, line, 21, "1.00") ||
        !RunFirst(Activity::Credit, line, 22, "2.50"))
      return 11;
  }
  for (int n = 0; n < cancels; ++n)
    if (!RunFirst(Activity::Cancel, line, 0, nullptr)) return 12;
  for (const std::string& shown : acqtest::ShownErrors())
    std::fprintf(stderr, "workstation %d was shown: %s\n", line, shown.c_str());
  const DbConflictStats stats = _DbGetConflictStats();
  std::printf("[ workstation %d ] %llu retries, %llu lock waits (%llu ms)\n", line,
              static_cast<unsigned long long>(stats.retries),
              static_cast<unsigned long long>(stats.lockWaits),
              static_cast<unsigned long long>(stats.lockWaitMs));
  std::fflush(stdout);
  return acqtest::ShownErrors().empty() ? 0 : 13;
}

// Cents as money.
Dec64 Cents(int64_t cents) { return Dec64::FromRaw(cents * (Dec64::kOne / 100)); }

TEST(ActivityWorkstations, MoneyActivitiesAtOnceLandExactlyOnSharedBudgets) {
  const int activities = ActivitiesPerWorkstation();
  const int lifecycles = activities / 4;
  const int cancels = activities % 4;
  // Statements of Northfield: 20 an approved invoice, 21 an approved
  // supplemental invoice, 22 a credit memo not yet approved.
  ActModule m(
      "insert into statement(\"statement#\", statement_number, statement_type, \"vendor#\","
      " amount, currency, exchange_rate, approve_date) values"
      " (20, 'NF-INV', 0, 1, 0, 'USD', 1000000, 46060),"
      " (21, 'NF-SUP', 1, 1, 0, 'USD', 1000000, 46060),"
      " (22, 'NF-CR', 3, 1, 0, 'USD', 1000000, NULL);");
  for (int w = 0; w < kWorkstations; ++w) MakeLine(lifecycles + cancels);
  const auto before = m.Money();
  const auto contract = [&m] {
    return m.Query("select on_order, spent from vendor_contract where \"vendor#\"=1 and "
                  "vendor_contract='STAND26'")[0];
  };
  const auto contractBefore = contract();

  testproc::Gate gate;
  std::vector<pid_t> children;
  for (int w = 0; w < kWorkstations; ++w) {
    const auto line = static_cast<int16_t>(kFirstLine + w);
    children.push_back(testproc::Spawn(
        [&, line] { return Workstation(line, lifecycles, cancels, gate); }));
  }
  gate.Open(kWorkstations);
  for (pid_t child : children) EXPECT_EQ(testproc::WaitFor(child, 600), 0);

  // Per item, worked by hand from its 10.00 on order (6.00 + 4.00): the
  // invoice of 12.50 puts 7.50 + 5.00 on order instead; the receipt spends
  // it; the supplemental 1.00 spends 0.60 + 0.40 more; the credit of 2.50
  // takes 1.50 + 1.00 off on order. A cancelled item takes its 10.00 off.
  const int64_t items = int64_t{kWorkstations} * lifecycles;
  const int64_t cancelled = int64_t{kWorkstations} * cancels;
  const Dec64 adultOnOrder = Cents(items * (750 - 600 - 750 - 150) - cancelled * 600);
  const Dec64 adultSpent = Cents(items * (750 + 60));
  const Dec64 refOnOrder = Cents(items * (500 - 400 - 500 - 100) - cancelled * 400);
  const Dec64 refSpent = Cents(items * (500 + 40));
  const auto after = m.Money();
  acttest::ExpectMoneyAgrees(before, after, true);
  EXPECT_EQ(acttest::Sub(after.at("ADULT.2026").onOrder, before.at("ADULT.2026").onOrder),
            adultOnOrder);
  EXPECT_EQ(acttest::Sub(after.at("ADULT.2026").spent, before.at("ADULT.2026").spent), adultSpent);
  EXPECT_EQ(acttest::Sub(after.at("REF.2026").onOrder, before.at("REF.2026").onOrder), refOnOrder);
  EXPECT_EQ(acttest::Sub(after.at("REF.2026").spent, before.at("REF.2026").spent), refSpent);
  const auto contractAfter = contract();
  EXPECT_EQ(acttest::Sub(acttest::Raw(contractAfter[0]), acttest::Raw(contractBefore[0])),
            acttest::Add(adultOnOrder, refOnOrder));
  EXPECT_EQ(acttest::Sub(acttest::Raw(contractAfter[1]), acttest::Raw(contractBefore[1])),
            acttest::Add(adultSpent, refSpent));
  EXPECT_EQ(m.Count("select count(*) from po_line_item_history where \"po#\"=1 and line>=4 and "
                    "po_activity_type<>'approve'"),
            items * 4 + cancelled);
  EXPECT_EQ(m.Count("select count(*) from statement_line where \"statement#\"=20"), items);
}

}  // namespace
