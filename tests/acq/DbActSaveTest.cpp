// Saving a PO line with its items and their on-order money, and a whole
// life of items leaving budgets, money rows, ledger and contract agreeing
// to the last digit, with the ledger kept and without.
#include <gtest/gtest.h>

#include "DbActFixture.h"
#include "acq/db/AcqDb.h"

namespace {

using acttest::ActModule;
using acttest::Money;
namespace act = acq::AcqDbAct;
using act::Activity;

int Col(BktHandle bkt, const char* name) { return _BktGetColNum(bkt, name); }

// The PO row, a line and its items as the line editor holds them: an
// existing line (Load) or a new one whose item rows carry a quantity (New).
struct LineEdit {
  BucketHold po, line, items;
  void Read(const std::string& table, const std::string& where, BucketHold& into,
            const char* columns = "*", const char* orderBy = "") {
    DbMsg msg;
    ASSERT_EQ(acq::AcqDb::LoadTable(msg, acq::AcqDb::ClearChanges::Yes, orderBy, where, columns,
                                    table, into.get()),
              kDbOk);
  }
  void Load(int po, int lineNumber) {
    const std::string where = "po#=" + std::to_string(po);
    Read("po", where, this->po, "po#,vendor#,vendor_contract,currency");
    Read("po_line", where + " and line=" + std::to_string(lineNumber), line);
    Read("po_line_item", where + " and line=" + std::to_string(lineNumber), items, "*", "item");
  }
  void New(int po, const char* price, const std::vector<std::pair<const char*, int>>& rows) {
    Read("po", "po#=" + std::to_string(po), this->po, "po#,vendor#,vendor_contract,currency");
    Read("po_line", "1=0", line);
    int row = 0;
    _BktInsert(*line, 0, row);
    _ColSetTextW(*line, row, Col(*line, "title"), "Field Guide to Prairie Grasses");
    _ColSetDec64(*line, row, Col(*line, "unit_price"), Money(price));
    _BktCreate(items.get(), 6, 8, 8);
    const char* names[] = {"po#", "line", "item", "budget", "budget_split", "quantity"};
    const int types[] = {kColInt32, kColInt16, kColInt16, kColText, kColText, kColInt16};
    for (int n = 0; n < 6; ++n) _BktSetColInfo(*items, n + 1, names[n], 0, types[n], 0);
    for (const auto& [budgets, quantity] : rows) {   // a split has a "%"
      _BktInsert(*items, 0, row);
      const bool split = std::string(budgets).find('%') != std::string::npos;
      _ColSetTextW(*items, row, Col(*items, split ? "budget_split" : "budget"), budgets);
      _ColSetInt(*items, row, Col(*items, "quantity"), quantity);
    }
  }
  bool Save() { return act::SavePoLine(*po, *line, *items); }
};

TEST(DbActSave, NewLineNumbersItsItemsAndPutsTheirSplitPriceOnOrder) {
  ActModule m;
  const auto before = m.Money();
  LineEdit edit;
  edit.New(1, "10.00", {{"ADULT.2026 60% + REF.2026 40% + CHILD.2026 0%", 2}, {"REF.2026", 1}});
  ASSERT_TRUE(edit.Save());
  EXPECT_EQ(m.Query("select line, last_item from po_line where title like 'Field%'"),
            (acttest::Rows{{"4", "3"}}));
  EXPECT_EQ(m.Query("select item, budget, percentage, (select amount from "
                    "po_line_item_budget_amount m where m.\"po#\"=b.\"po#\" and m.line=b.line and "
                    "m.item=b.item and m.budget=b.budget) from po_line_item_budget b where "
                    "\"po#\"=1 and line=4 order by item, budget"),
            (acttest::Rows{{"1", "ADULT.2026", "60", "6000000"}, {"1", "REF.2026", "40", "4000000"},
                           {"2", "ADULT.2026", "60", "6000000"}, {"2", "REF.2026", "40", "4000000"},
                           {"3", "REF.2026", "100", "10000000"}}));
  EXPECT_EQ(_BktCountAll(*edit.items), 3);   // the quantity became rows
  const auto after = m.Money();
  EXPECT_EQ(acttest::Sub(after.at("ADULT.2026").onOrder, before.at("ADULT.2026").onOrder), Money("12"));
  EXPECT_EQ(acttest::Sub(after.at("REF.2026").onOrder, before.at("REF.2026").onOrder), Money("18"));
  acttest::ExpectMoneyAgrees(before, after, true);
}

TEST(DbActSave, DeletedSplitAndRepricedItemsMoveTheirOnOrderMoney) {
  ActModule m;
  LineEdit edit;
  edit.Load(6, 1);   // two items of AV.2026 at 29.99, no activity
  struct Step {
    const char* what;
    const char* av;      // change of AV.2026 on order
    const char* adult;   // of ADULT.2026
  } const steps[] = {
      {"delete item 2", "-29.99", "0"},
      {"split item 1", "-14.99", "14.99"},   // 29.99 x 50 / 100 = 14.995: 15.00, the rest 14.99
      {"price 40.00", "5.00", "5.01"},       // the rows brought to 20.00 each
  };
  for (const Step& s : steps) {
    const auto before = m.Money();
    const std::string what = s.what;
    if (what == "delete item 2") _BktSetState(*edit.items, 2, kRowDeleted);
    if (what == "split item 1") {
      _ColSetNull(*edit.items, 1, Col(*edit.items, "budget"));
      _ColSetTextW(*edit.items, 1, Col(*edit.items, "budget_split"), "AV.2026 50% + ADULT.2026 50%");
    }
    if (what == "price 40.00") _ColSetDec64(*edit.line, 1, Col(*edit.line, "unit_price"), Money("40"));
    ASSERT_TRUE(edit.Save()) << s.what;
    const auto after = m.Money();
    EXPECT_EQ(acttest::Sub(after.at("AV.2026").onOrder, before.at("AV.2026").onOrder), Money(s.av))
        << s.what;
    EXPECT_EQ(acttest::Sub(after.at("ADULT.2026").onOrder, before.at("ADULT.2026").onOrder),
              Money(s.adult)) << s.what;
    acttest::ExpectMoneyAgrees(before, after, true);
  }
  EXPECT_EQ(_BktCountAll(*edit.items), 1);
  EXPECT_EQ(m.Count("select count(*) from po_line_item where \"po#\"=6 and line=1"), 1);
}

TEST(DbActSave, RefusedLinesWriteNothing) {
  struct Case {
    int po;
    const char* budget;   // the first item's new budget and split
    const char* split;
    std::string shown;
  } const cases[] = {
      {1, nullptr, nullptr, "PO Line Message|An item may not be deleted if it has any"},
      {6, nullptr, "AV.2026 sixty%", "PO Line Message|The budget split \"AV.2026 sixty%\""},
      {6, nullptr, "AV.2026 60% + REF.2026 30%", "Budget Message|Percents must add up"},
      {6, nullptr, "AV.2026 50% + AV.2026 50%", "Budget Message|One or more entries"},
      {6, "AV.2026", "AV.2026 100%", "PO Line Message|An item may not have both"},
  };
  for (const Case& c : cases) {
    ActModule m;
    acttest::RecordingPerson person;
    LineEdit edit;
    edit.Load(c.po, 1);
    if (!c.split) _BktSetState(*edit.items, 1, kRowDeleted);   // an item with activity
    if (c.split && !c.budget) _ColSetNull(*edit.items, 1, Col(*edit.items, "budget"));
    if (c.split) _ColSetTextW(*edit.items, 1, Col(*edit.items, "budget_split"), c.split);
    const auto before = m.Money();
    EXPECT_FALSE(edit.Save());
    ASSERT_EQ(person.shown.size(), 1u) << c.shown;
    EXPECT_EQ(person.shown[0].substr(0, c.shown.size()), c.shown);
    EXPECT_EQ(m.Count("select count(*) from po_line_item where budget_split is not null or "
                      "\"po#\"=1 and line=1"), 3 + 2 + 1);   // the demo's own
    acttest::ExpectMoneyAgrees(before, m.Money(), true);
  }
}

TEST(DbActSave, AWholeLifeOfItemsMovesBudgetsRowsLedgerAndContractAlike) {
  for (const bool ledger : {true, false}) {
    // Statement 2 approved; 20 an approved supplemental invoice, 21 a credit memo.
    ActModule m(std::string("update acq_parameter set track_budget_trans=") + (ledger ? "1" : "0") +
                ";update statement set approve_date=46060 where \"statement#\"=2;"
                "insert into statement(\"statement#\", statement_number, statement_type, "
                "\"vendor#\", currency, approve_date) values (20, 'NF-SUP', 1, 1, 'USD', 46061),"
                " (21, 'NF-CR', 3, 1, 'USD', NULL);");
    const auto before = m.Money();
    const char* contractSql =
        "select on_order, spent, (select count(*) from budget_transaction) from vendor_contract "
        "where vendor_contract='STAND26'";
    const auto contractBefore = m.Query(contractSql)[0];
    LineEdit edit;
    edit.New(1, "10.00", {{"ADULT.2026 60% + REF.2026 40%", 3}});
    ASSERT_TRUE(edit.Save());
    ASSERT_EQ(act::ApprovePoLine(1, 4), act::ApproveResult::Approved);
    struct Step {
      Activity activity;
      std::vector<int> items;
      int32_t statement;
      const char* amount;
    } const steps[] = {
        {Activity::Invoice, {1, 2}, 2, "25.01"},   // 12.51 and 12.50, on order: not received
        {Activity::Receive, {1}, 0, "0"},          // item 1's 12.51 spent
        {Activity::SupInvoice, {1}, 20, "1.00"},   // spent at once
        {Activity::Credit, {1}, 21, "2.50"},       // on order until its memo is approved
        {Activity::Cancel, {3}, 0, "0"},           // item 3's price off
    };
    for (const Step& s : steps) {
      BucketHold items(ActModule::Pending(s.activity, 1, 4, s.items, s.statement));
      ASSERT_TRUE(act::RunActivity(s.activity, *items, {.amount = Money(s.amount), .statement = s.statement}))
          << static_cast<int>(s.activity);
    }
    LineEdit again;   // a new price once nothing carries a price: no money moves
    again.Load(1, 4);
    _ColSetDec64(*again.line, 1, Col(*again.line, "unit_price"), Money("12.00"));
    ASSERT_TRUE(again.Save());

    const auto after = m.Money();
    acttest::ExpectMoneyAgrees(before, after, ledger);
    // Worked by hand from the 60/40 shares of each amount.
    EXPECT_EQ(acttest::Sub(after.at("ADULT.2026").onOrder, before.at("ADULT.2026").onOrder), Money("6.00"));
    EXPECT_EQ(acttest::Sub(after.at("ADULT.2026").spent, before.at("ADULT.2026").spent), Money("8.11"));
    EXPECT_EQ(acttest::Sub(after.at("REF.2026").onOrder, before.at("REF.2026").onOrder), Money("4.00"));
    EXPECT_EQ(acttest::Sub(after.at("REF.2026").spent, before.at("REF.2026").spent), Money("5.40"));
    const auto contractAfter = m.Query(contractSql)[0];
    EXPECT_EQ(acttest::Sub(acttest::Raw(contractAfter[0]), acttest::Raw(contractBefore[0])), Money("10.00"));
    EXPECT_EQ(acttest::Sub(acttest::Raw(contractAfter[1]), acttest::Raw(contractBefore[1])), Money("13.51"));
    EXPECT_EQ(contractAfter[2] == contractBefore[2], !ledger);   // no ledger written without it
  }
}

}  // namespace
