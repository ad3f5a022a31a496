// Each activity on the demo library, one confirmed activity per case: the
// rows it leaves (item dates, header, line notes, history, money rows,
// statement lines, statistics) and the money it moves, with every budget's
// totals, money rows and ledger moving alike; then approval's outcomes and
// the refusals that write nothing.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "DbActFixture.h"
#include "acq/db/AcqDbBase.h"

namespace {

using acttest::ActModule;
using acttest::Money;
namespace act = acq::AcqDbAct;
using act::Activity;

// Rows as "cell,cell;cell,cell".
std::string Flat(const acttest::Rows& rows) {
  std::string out;
  for (size_t r = 0; r < rows.size(); ++r)
    for (size_t c = 0; c < rows[r].size(); ++c)
      out += (r && !c ? ";" : c ? "," : "") + rows[r][c];
  return out;
}

// {today} is today's day number; {days} the days since 2026-01-13 (when PO 1
// was ordered) as a statistics value.
std::string Fill(std::string text) {
  const std::pair<std::string, std::string> marks[] = {
      {"{today}", ActModule::Today()},
      {"{days}", std::to_string((DbDabs_GetDate() - 46033) * 1000000LL)}};
  for (const auto& [mark, value] : marks)
    for (size_t at; (at = text.find(mark)) != std::string::npos;) text.replace(at, mark.size(), value);
  return text;
}

constexpr const char* kStatistics =
    "select group_concat(stat_code || ' ' || value, ' ') from (select * from statistics_event "
    "where stat_class=300 order by \"event#\") s";
constexpr const char* kNorthfieldCredit =
    "insert into statement(\"statement#\", statement_number, statement_type, \"vendor#\", "
    "currency, exchange_rate) values (10, 'NF-CR-1', 3, 1, 'USD', 1000000);";
// Counts the updates of PO lines (a server counts them by a rule).
const std::string kLineTouched = testlib::ByEngine(
    "create table line_touched(n integer); create trigger line_touched_t after update on "
    "po_line begin insert into line_touched values(1); end;",
    "create table line_touched(n integer); create rule line_touched_r as on update to po_line "
    "do also insert into line_touched values(1);");

struct Case {
  const char* name;
  std::string setup;
  Activity activity;
  int po, line;
  std::vector<int> items;
  act::ActivityEntry entry;
  std::vector<std::pair<std::string, std::string>> checks;     // query, its rows flat
  std::vector<std::tuple<const char*, const char*, const char*>> moved;   // budget, on order, spent
};

TEST(DbActActivity, EachActivityWritesItsRowsAndMovesItsMoney) {
  const Case cases[] = {
      {"receive", "update po set completion_date=46000 where \"po#\"=1", Activity::Receive, 1, 3,
       {1, 2}, {.internalNote = "Box 3"},
       {{"select item, receive_date, next_claim_date, printed_date from po_line_item where "
         "\"po#\"=1 and line=3", "1,{today},,;2,{today},,"},
        {"select last_update_date, completion_date from po where \"po#\"=1", "{today},"},
        {"select internal_note from po_line where \"po#\"=1 and line=3", "Box 3"},
        {"select count(distinct time), count(*), min(internal_note) from po_line_item_history "
         "where \"po#\"=1 and line=3 and po_activity_type='receive' and date={today}", "1,2,Box 3"},
        {kStatistics, "acqlr 1000000 acqaft {days} acqaft {days} acqir 2000000 acqirb 600000 "
                      "acqirb 400000 acqirb 600000 acqirb 400000 acqapf 1000000"}},
       {}},
      {"receive after an earlier receipt",
       "update po_line_item set receive_date=46100 where \"po#\"=1 and line=3 and item=1",
       Activity::Receive, 1, 3, {2}, {},
       {{kStatistics, "acqaft {days} acqir 1000000 acqirb 600000 acqirb 400000 acqapf 1000000"}},
       {}},
      {"invoice", "", Activity::Invoice, 1, 2, {1, 2},
       {.internalNote = "NF-88123", .amount = Money("140.01"), .statement = 2},
       {{"select item, amount, spent, statement_line, statement_line_type from "
         "po_line_item_budget_amount where \"po#\"=1 and line=2", "1,70010000,0,2,0;2,70000000,0,2,0"},
        {"select statement_line_type, item, location, quantity, amount from statement_line "
         "where \"statement#\"=2 and statement_line=2", "0,,MAIN,2,140010000"},
        {"select item, \"statement#\", amount, exchange_rate, internal_note from "
         "po_line_item_history where po_activity_type='invoice' and \"po#\"=1 and line=2",
         "1,2,70010000,1000000,NF-88123;2,2,70000000,1000000,NF-88123"},
        {"select on_order from vendor_contract where vendor_contract='STAND26'", "496860000"},
        {kStatistics, "acqacup 65000000"}},
       {{"REF.2026", "10.01", "0"}}},   // two prices of 65.00 off, 140.01 on
      {"receive of an item invoiced on an approved statement",
       "update statement set approve_date=46060 where \"statement#\"=2;"
       "update po_line_item set invoice_date=46061 where \"po#\"=1 and line=3 and item=1;"
       "insert into po_line_item_budget_amount(\"po#\", line, item, budget, amount, spent,"
       " \"statement#\", statement_line, statement_line_type) values"
       " (1, 3, 1, 'ADULT.2026', 24000000, 0, 2, 2, 0), (1, 3, 1, 'REF.2026', 16000000, 0, 2, 2, 0)",
       Activity::Receive, 1, 3, {1}, {},
       {{"select count(*) from po_line_item_budget_amount where \"statement#\"=2 and \"po#\"=1 and "
         "line=3 and spent=1", "2"},
        {"select value from statistics_event where stat_code='acqeav'", "40000000"}},
       {{"ADULT.2026", "-24.00", "24.00"}, {"REF.2026", "-16.00", "16.00"}}},
      {"receive and invoice",
       "insert into statement(\"statement#\", statement_number, \"vendor#\", currency,"
       " exchange_rate, approve_date) values (3, 'OB-1', 2, 'USD', 1000000, 46070)",
       Activity::ReceiveInvoice, 8, 1, {1}, {.amount = Money("30.00"), .statement = 3},
       {{"select receive_date, invoice_date from po_line_item where \"po#\"=8 and line=1 and "
         "item=1", "{today},{today}"},
        {"select budget, amount, spent from po_line_item_budget_amount where \"po#\"=8 and "
         "line=1 and item=1", "ADULT.2026,30000000,1"},
        {"select po_activity_type, amount from po_line_item_history where \"po#\"=8 and line=1 "
         "and item=1 and date={today} order by \"history#\"", "receive,;invoice,30000000"},
        {"select value, key_value from statistics_event where stat_code='acqeav'", "30000000,2"}},
       {{"ADULT.2026", "-32.00", "30.00"}}},
      {"credit with prorated charges",
       std::string(kNorthfieldCredit) +
           "insert into po_line_item_budget_amount(\"po#\", line, item, budget, amount, spent,"
           " extra_charge_type, \"statement#\", statement_line, statement_line_type) values"
           " (1, 1, 1, 'ADULT.2026', 2000000, 0, 'SHIP', 2, 1, 0),"
           " (1, 1, 1, 'ADULT.2026', 1000000, 0, 'SHIP', 2, 1, 0)",
       Activity::Credit, 1, 1, {1},
       {.changeOrderNote = "Damaged", .internalNote = "CR-1", .amount = Money("5.00"), .statement = 10},
       {{"select cancel_date, po_activity_type from po_line_item where \"po#\"=1 and line=1 and "
         "item=1", "{today},credit"},
        {"select amount, extra_charge_type, \"statement#\", statement_line_type from "
         "po_line_item_budget_amount where amount<0", "-5000000,,10,3;-3000000,SHIP,2,"},
        {"select po_activity_type, amount, \"statement#\", extra_charge_type, change_order_note, "
         "internal_note from po_line_item_history where date={today} order by \"history#\"",
         "credit,-5000000,10,,Damaged,CR-1;extchrg,-3000000,2,SHIP,Damaged,CR-1"},
        {kStatistics, "acqecv -3000000"}},
       {{"ADULT.2026", "-8.00", "0"}}},
      {"cancel, spent event 0", "", Activity::Cancel, 8, 2, {1}, {},
       {{"select po_activity_type from po_line_item_history where date={today}", "cancel"}},
       {{"REF.2026", "-27.50", "0"}}},
      {"cancel, spent event 1", "update po set spent_event=1 where \"po#\"=8", Activity::Cancel, 8,
       2, {1}, {}, {{"select po_activity_type from po_line_item where \"po#\"=8 and line=2 and item=1",
                    "cancel"}},
       {{"REF.2026", "-27.50", "0"}}},
      {"cancel, prepaid", "update po set spent_event=2 where \"po#\"=8", Activity::Cancel, 8, 2,
       {1}, {}, {{"select po_activity_type from po_line_item_history where date={today}", "refund"}},
       {{"REF.2026", "-27.50", "0"}}},
      {"cancel of a received item", "", Activity::Cancel, 1, 2, {1}, {},
       {{"select po_activity_type from po_line_item_history where date={today}", "retrn"}},
       {{"REF.2026", "-65.00", "0"}}},
      {"back order", "", Activity::BackOrder, 1, 3, {1},
       {.nextClaimDate = 46200, .internalNote = "Reprint"},
       {{"select next_claim_date, printed_date from po_line_item where \"po#\"=1 and line=3 and "
         "item=1", "46200,"},
        {"select po_activity_type, next_claim_date, internal_note from po_line_item_history "
         "where date={today}", "backord,46200,Reprint"}},
       {}},
      {"back order without a date", "", Activity::BackOrder, 1, 3, {1}, {},
       {{"select next_claim_date, printed_date from po_line_item where \"po#\"=1 and line=3 and "
         "item=1", ","}},
       {}},
      {"discontinue", "", Activity::Discontinue, 4, 2, {1, 2}, {},
       {{"select renew_activity_date, renew_activity_type from po_line_item where \"po#\"=4 and "
         "line=2", "{today},discont;{today},discont"},
        {"select count(*) from po_line_item_history where po_activity_type='discont' and "
         "date={today}", "2"}},
       {}},
      {"distribute", "", Activity::Distribute, 3, 1, {1},
       {.location = "BRANCH", .collection = "ADULT"},
       {{"select location, collection, itype from po_line_item where \"po#\"=3 and line=1 and "
         "item=1", "BRANCH,ADULT,REFBK"},
        {"select count(*) from po_line_item_history where date={today}", "0"},
        {"select last_update_date from po where \"po#\"=3", "{today}"}},
       {}},
      {"notes entered", kLineTouched, Activity::Receive, 2, 2, {1},
       {.changeOrderNote = "Rush", .internalNote = "Arrived.", .workslipNoteEntered = true},
       {{"select change_order_note, internal_note, workslip_note from po_line where \"po#\"=2 "
         "and line=2", "Rush,Second copy cancelled: out of print. Arrived.,"},
        {"select count(*) from line_touched", "1"}},
       {}},
      {"no notes entered", kLineTouched, Activity::Receive, 2, 2, {1}, {},
       {{"select count(*) from line_touched", "0"}}, {}},
      {"approve at a new price", "update po_line set unit_price=31000000 where \"po#\"=6 and line=1",
       Activity::Approve, 6, 1, {1, 2}, {},
       {{"select amount from po_line_item_budget_amount where \"po#\"=6 and line=1",
         "31000000;31000000"},
        {"select item, trans_amount from budget_transaction_detail", "1,1010000;2,1010000"},
        {"select count(*) from po_line_item_history where po_activity_type='approve' and "
         "date={today}", "2"}},
       {{"AV.2026", "2.02", "0"}}},   // only the difference of 29.99 and 31.00 moves
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ActModule m(Fill(c.setup));
    const auto before = m.Money();
    BucketHold items(ActModule::Pending(c.activity, c.po, static_cast<int16_t>(c.line), c.items,
                                        c.entry.statement));
    ASSERT_EQ(_BktCountAll(*items), static_cast<int>(c.items.size()));
    ASSERT_TRUE(act::RunActivity(c.activity, *items, c.entry));
    for (const auto& [sql, rows] : c.checks) EXPECT_EQ(Flat(m.Query(Fill(sql))), Fill(rows)) << sql;
    const auto after = m.Money();
    acttest::ExpectMoneyAgrees(before, after, true);
    for (const auto& [budget, onOrder, spent] : c.moved) {
      EXPECT_EQ(acttest::Sub(after.at(budget).onOrder, before.at(budget).onOrder), Money(onOrder));
      EXPECT_EQ(acttest::Sub(after.at(budget).spent, before.at(budget).spent), Money(spent));
    }
  }
}

TEST(DbActActivity, ApprovalOfLinesReportsWhatStoodInTheWay) {
  ActModule m(
      "insert into po_line(\"po#\", line, title, last_item) values (6, 4, 'No items', 0);"
      "update po_line_item set budget=NULL where \"po#\"=6 and line=2");
  const std::pair<int16_t, act::ApproveResult> cases[] = {
      {1, act::ApproveResult::Approved}, {1, act::ApproveResult::NothingToApprove},
      {4, act::ApproveResult::NoItems},  {2, act::ApproveResult::MissingBudgets}};
  for (const auto& [line, result] : cases) EXPECT_EQ(act::ApprovePoLine(6, line), result) << line;
}

TEST(DbActActivity, StepsRunInTheCallersTransactionWithTheCallersHistoryCode) {
  ActModule m;
  for (const bool commit : {false, true}) {
    BucketHold items(ActModule::Pending(Activity::Cancel, 8, 2, {1}));
    acq::AcqFundCtrl::BustListHold list;
    acq::AcqDbBudget::BudgetMoves moves;
    acq::AcqDbBase::TransactionHold transaction;
    ASSERT_TRUE(act::ActivitySteps(Activity::Cancel, *items, {}, act::Now::Take(), "refund",
                                   list.get(), moves, true));
    if (commit) {
      ASSERT_TRUE(transaction.Commit());
    }
  }   // the first is rolled back by its holder
  EXPECT_EQ(m.Query("select h.po_activity_type, i.po_activity_type from po_line_item_history h "
                    "join po_line_item i using (\"po#\", line, item) where h.date=" +
                    ActModule::Today()),
            (acttest::Rows{{"refund", "refund"}}));
}

TEST(DbActActivity, BadInputIsRefusedWithItsMessageAndNothingWritten) {
  struct Case {
    int32_t statement;
    const char* amount;
    bool twoLines;
    std::string shown;
  } const cases[] = {
      {0, "10", false, "Activity Message|The statement chosen for the activity does not exist."},
      {99, "10", false, "Activity Message|The statement chosen for the activity does not exist."},
      {1, "10", false, "Activity Message|Statement TP-2025-118 is not from the vendor of PO PO-2026-0001."},
      {2, "10.005", false, "Activity Message|The amount 10.005 has more decimal places than money here has (2)."},
      {2, "10", true, "Activity Message|The items of one activity must all be of one PO line."},
  };
  for (const Case& c : cases) {
    ActModule m;
    acttest::RecordingPerson person;
    BucketHold items(ActModule::Pending(Activity::Invoice, 1, 2));
    if (c.twoLines) {
      BucketHold other(ActModule::Pending(Activity::Invoice, 1, 3));
      int row = 0;
      _BktInsert(*items, 0, row);
      _BktRowCopy(*items, row, *other, 1);
    }
    EXPECT_FALSE(act::RunActivity(Activity::Invoice, *items,
                                  {.amount = Money(c.amount), .statement = c.statement}));
    ASSERT_EQ(person.shown.size(), 1u) << c.shown;
    EXPECT_EQ(person.shown[0].substr(0, c.shown.size()), c.shown);
    EXPECT_EQ(m.Count("select count(*) from po_line_item_history where date=" + ActModule::Today()), 0);
  }
}

}  // namespace
