// Renewing subscription lines on the demo library: PO 4 (Thames, GBP at
// 1.27, contract SUBS26, renewal type 1 "new PO", annual) has line 1 (one
// copy at 185.00, not approved in the demo) and line 2 (two approved
// copies at 95.00), both paid from SERIAL.2026 and renewing on 2027-01-01.
#include <gtest/gtest.h>

#include <string>

#include "../DbActFixture.h"
#include "acq/db/AcqDbGen.h"
#include "acq/po/AcqDbUndo.h"
#include "acq/renewal/AcqDbRenew.h"
#include "support/Processes.h"

namespace {

namespace renew = acq::AcqDbRenew;
using acttest::ActModule;
using acttest::Money;

std::string Day(int year, int month, int day) {
  DayNum d = 0;
  EXPECT_TRUE(DbDabs_MDYToDate(month, day, year, d));
  return std::to_string(d);
}

constexpr const char* kApproveLine1 =
    "UPDATE po_line_item SET approve_date = 46000 WHERE \"po#\" = 4 AND line = 1";

renew::RenewTo To2027() {
  renew::RenewTo to;
  to.year = 2027;
  to.accounts = {{"SERIAL.2026", "SERIAL.2027"}};
  to.contracts = {{{4, "SUBS26"}, "SUBS27"}};
  return to;
}

std::string OnOrder(ActModule& m, const std::string& budget) {
  const auto rows = m.Query("select on_order from budget where budget = '" + budget + "'");
  return rows.empty() ? "" : rows[0][0];
}

TEST(AcqDbRenew, RenewsLinesOntoNextYearsBudgetsAndContract) {
  ActModule m(kApproveLine1);
  const auto before = m.Money();
  const renew::RenewTo to = To2027();
  std::vector<std::string> budgets;
  ASSERT_TRUE(renew::LoadRenewableBudgets({{4, 1}, {4, 2}}, budgets));
  EXPECT_EQ(budgets, std::vector<std::string>{"SERIAL.2026"});
  EXPECT_FALSE(renew::CheckRenewTo(to, budgets));

  const auto first = renew::RenewLine({4, 1}, to, false);
  const auto second = renew::RenewLine({4, 2}, to, false);
  ASSERT_EQ(first.kind, renew::Outcome::Kind::Renewed);
  ASSERT_EQ(second.kind, renew::Outcome::Kind::Renewed);
  // Both land on one new renewal order, made by the first.
  EXPECT_NE(first.newPo, 4);
  EXPECT_EQ(second.newPo, first.newPo);
  EXPECT_EQ(first.newLine, 1);
  EXPECT_EQ(second.newLine, 2);
  EXPECT_EQ(first.items + second.items, 3);
  const std::string po = std::to_string(first.newPo);
  EXPECT_EQ(m.Query("select \"renew_po#\" from po where \"po#\" = 4")[0][0], po);
  EXPECT_EQ(m.Query("select po_number, vendor_contract, renewal_type, currency, "
                    "\"prepaid_statement#\", \"renew_po#\" from po where \"po#\" = " + po),
            (acttest::Rows{{po, "SUBS27", "1", "GBP", "", ""}}));

  // Money: (185.00 + 2 x 95.00) x 1.27 = 476.25 on next year's budget and
  // contract; this year's untouched.
  EXPECT_EQ(OnOrder(m, "SERIAL.2027"), std::to_string(Money("476.25").raw));
  EXPECT_EQ(OnOrder(m, "SERIAL.2026"), std::to_string(Money("476.25").raw));
  EXPECT_EQ(m.Query("select on_order from vendor_contract where vendor_contract = 'SUBS27'")[0][0],
            std::to_string(Money("476.25").raw));
  EXPECT_EQ(m.Query("select on_order from vendor_contract where vendor_contract = 'SUBS26'")[0][0],
            std::to_string(Money("476.25").raw));
  acttest::ExpectMoneyAgrees(before, m.Money(), false);

  // The lines and their links.
  const std::string next2028 = Day(2028, 1, 1), next2027 = Day(2027, 1, 1);
  EXPECT_EQ(m.Query("select line, renew_line, next_renewal_date from po_line where \"po#\" = 4 "
                    "order by line"),
            (acttest::Rows{{"1", "1", next2028}, {"2", "2", next2028}}));
  EXPECT_EQ(m.Query("select line, renew_id, prior_renewal_date, next_renewal_date, unit_price, "
                    "vendor_discount, last_item, renew_line from po_line where \"po#\" = " + po +
                    " order by line"),
            (acttest::Rows{
                {"1", "4", next2027, next2028, std::to_string(Money("185").raw), "0", "1", ""},
                {"2", "4", next2027, next2028, std::to_string(Money("95").raw), "0", "2", ""}}));
  EXPECT_EQ(m.Query("select line, item, renew_item, budget, begin_date, end_date, approve_date "
                    "from po_line_item where \"po#\" = " + po + " order by line, item"),
            (acttest::Rows{{"1", "1", "1", "SERIAL.2027", next2027, Day(2027, 12, 31), ""},
                           {"2", "1", "1", "SERIAL.2027", next2027, Day(2027, 12, 31), ""},
                           {"2", "2", "2", "SERIAL.2027", next2027, Day(2027, 12, 31), ""}}));
  // The old items are renewed, each with its history row.
  EXPECT_EQ(m.Count("select count(*) from po_line_item where \"po#\" = 4 and "
                    "renew_activity_type = 'renew' and renew_activity_date = " + m.Today()),
            3);
  EXPECT_EQ(m.Count("select count(*) from po_line_item_history where \"po#\" = 4 and "
                    "po_activity_type = 'renew' and transaction_type = 0"),
            3);
  // Nothing is left to renew: a second run refuses without writing.
  const auto again = renew::RenewLine({4, 2}, to, false);
  EXPECT_EQ(again.kind, renew::Outcome::Kind::Refused);
  EXPECT_EQ(again.refusal.message, renew::msg::kNothingToRenew);
  EXPECT_TRUE(acqtest::ShownErrors().empty());
}

TEST(AcqDbRenew, RenewQuantityAndApprovalAndNewLineType) {
  // Renewal type 2 renews into a new line of the same PO; a quantity of 1
  // renews only the first copy; with approval the new line is approved.
  ActModule m("UPDATE po SET renewal_type = 2 WHERE \"po#\" = 4");
  acttest::RecordingPerson person(true);
  const auto out = renew::RenewLine({4, 2, 1}, To2027(), true);
  ASSERT_EQ(out.kind, renew::Outcome::Kind::Renewed);
  EXPECT_EQ(out.newPo, 4);
  EXPECT_EQ(out.newLine, 3);
  EXPECT_EQ(out.items, 1);
  EXPECT_EQ(m.Count("select count(*) from po where \"renew_po#\" is not null and \"po#\" = 4"), 0);
  EXPECT_EQ(m.Query("select renew_activity_type from po_line_item where \"po#\" = 4 and line = 2 "
                    "order by item"),
            (acttest::Rows{{"renew"}, {""}}));
  EXPECT_EQ(m.Count("select count(*) from po_line_item where \"po#\" = 4 and line = 3 and "
                    "approve_date is not null"),
            1);
  EXPECT_EQ(OnOrder(m, "SERIAL.2027"), std::to_string(Money("120.65").raw));   // 95 x 1.27
}

TEST(AcqDbRenew, BadOptionsAndRenewToAreRefusedWithNothingChanged) {
  ActModule m(std::string(kApproveLine1) +
              "; UPDATE account_year SET status = 2 WHERE account = 'AV' AND year = 2027");
  std::string field;
  struct OptionCase {
    const char* note;
    renew::Options options;
    int message;
    const char* field;
  };
  const OptionCase optionCases[] = {
      {"no vendor", {0, "", kNoDate, kNoDate, 2027}, renew::msg::kNoVendor, "vendor#"},
      {"a year without allocations", {4, "", kNoDate, kNoDate, 2031}, renew::msg::kNoAllocations,
       "renew_to_year"},
      {"end before begin", {4, "", 46100, 46000, 2027}, renew::msg::kEndBeforeBegin, "end_date"},
      {"a one-day range is fine", {4, "MAIN", 46000, 46000, 2027}, 0, ""},
  };
  for (const OptionCase& c : optionCases) {
    EXPECT_EQ(renew::CheckOptions(c.options, field).message, c.message) << c.note;
    EXPECT_EQ(field, c.field) << c.note;
  }

  struct ToCase {
    const char* note;
    std::string target;
    std::string contract;
    int message;
  };
  const ToCase toCases[] = {
      {"no renew-to budget", "", "", renew::msg::kRenewToMissing},
      {"a budget that does not exist", "SERIAL.2030", "", renew::msg::kRenewToNoAllocation},
      {"a budget of another year", "SERIAL.2026", "", renew::msg::kRenewToNoAllocation},
      {"a closed budget", "AV.2027", "", renew::msg::kRenewToClosed},
      {"a contract the vendor does not have", "SERIAL.2027", "STAND26",
       renew::msg::kRenewToContract},
      {"all good", "SERIAL.2027", "SUBS27", 0},
  };
  for (const ToCase& c : toCases) {
    renew::RenewTo to;
    to.year = 2027;
    if (!c.target.empty()) to.accounts["SERIAL.2026"] = c.target;
    if (!c.contract.empty()) to.contracts[{4, "SUBS26"}] = c.contract;
    EXPECT_EQ(renew::CheckRenewTo(to, {"SERIAL.2026"}).message, c.message) << c.note;
  }

  // Refusals of the line itself write nothing.
  const auto lines = m.Count("select count(*) from po_line");
  const auto history = m.Count("select count(*) from po_line_item_history");
  renew::RenewTo unmapped;
  unmapped.year = 2027;
  EXPECT_EQ(renew::RenewLine({4, 2}, unmapped, false).refusal.message,
            renew::msg::kRenewToMissing);
  m.db.Exec("UPDATE po SET renewal_type = 0 WHERE \"po#\" = 4");
  EXPECT_EQ(renew::RenewLine({4, 2}, To2027(), false).refusal.message,
            renew::msg::kBadRenewalType);
  m.db.Exec("UPDATE po SET renewal_type = 1, subscription_period = NULL WHERE \"po#\" = 4");
  EXPECT_EQ(renew::RenewLine({4, 2}, To2027(), false).refusal.message, renew::msg::kNoPeriod);
  // A yearly period from 29 February: the next renewal date is no date.
  m.db.Exec("UPDATE po SET subscription_period = 'ANNUAL' WHERE \"po#\" = 4; "
            "UPDATE po_line SET next_renewal_date = " + Day(2028, 2, 29) +
            " WHERE \"po#\" = 4 AND line = 2");
  EXPECT_EQ(renew::RenewLine({4, 2}, To2027(), false).refusal.message, renew::msg::kBadNextDate);
  m.db.Exec("UPDATE po_line SET next_renewal_date = " + Day(2027, 1, 1) +
            " WHERE \"po#\" = 4 AND line = 2; UPDATE po_line_item SET end_date = " +
            Day(2028, 2, 29) + " WHERE \"po#\" = 4 AND line = 2 AND item = 2");
  EXPECT_EQ(renew::RenewLine({4, 2}, To2027(), false).refusal.message, renew::msg::kBadCopyDates);
  EXPECT_EQ(m.Count("select count(*) from po_line"), lines);
  EXPECT_EQ(m.Count("select count(*) from po_line_item_history"), history);
  EXPECT_EQ(OnOrder(m, "SERIAL.2027"), "0");
  EXPECT_TRUE(acqtest::ShownErrors().empty());
}

TEST(AcqDbRenew, AChainOfRenewalsKeepsItsLinks) {
  ActModule m(
      "INSERT INTO account_year(account, year, amount) VALUES ('SERIAL', 2028, 10000000000)");
  const auto first = renew::RenewLine({4, 2}, To2027(), false);
  ASSERT_EQ(first.kind, renew::Outcome::Kind::Renewed);
  ASSERT_EQ(acq::AcqDbAct::ApprovePoLine(first.newPo, first.newLine),
            acq::AcqDbAct::ApproveResult::Approved);
  renew::RenewTo to2028;
  to2028.year = 2028;
  to2028.accounts = {{"SERIAL.2027", "SERIAL.2028"}};
  const auto second = renew::RenewLine({first.newPo, first.newLine}, to2028, false);
  ASSERT_EQ(second.kind, renew::Outcome::Kind::Renewed);
  EXPECT_NE(second.newPo, first.newPo);
  const std::string a = "4", b = std::to_string(first.newPo), c = std::to_string(second.newPo);
  EXPECT_EQ(m.Query("select \"po#\", \"renew_po#\" from po where \"po#\" in (4, " + b + ", " + c +
                    ") order by \"po#\""),
            (acttest::Rows{{a, b}, {b, c}, {c, ""}}));
  // Each new line names its old PO, each old line its new line number.
  EXPECT_EQ(m.Query("select \"po#\", line, renew_id, renew_line, prior_renewal_date, "
                    "next_renewal_date from po_line where (\"po#\" = 4 and line = 2) or "
                    "\"po#\" in (" + b + ", " + c + ") order by \"po#\""),
            (acttest::Rows{{a, "2", "", "1", "", Day(2028, 1, 1)},
                           {b, "1", a, "1", Day(2027, 1, 1), Day(2029, 1, 1)},
                           {c, "1", b, "", Day(2028, 1, 1), Day(2029, 1, 1)}}));
  EXPECT_EQ(m.Query("select item, renew_item, budget, begin_date from po_line_item where "
                    "\"po#\" = " + c + " order by item"),
            (acttest::Rows{{"1", "1", "SERIAL.2028", Day(2028, 1, 1)},
                           {"2", "2", "SERIAL.2028", Day(2028, 1, 1)}}));
  EXPECT_EQ(OnOrder(m, "SERIAL.2028"), std::to_string(Money("241.30").raw));   // 2 x 95 x 1.27
  EXPECT_TRUE(acqtest::ShownErrors().empty());
}

// Renewals undone newest first, each taking back only its own marks: undoing
// C keeps B's items linked to A (their renew_item), and undoing B then
// gives A back its dates and its items their unrenewed state. Money of
// both new years comes off again, exactly.
TEST(AcqDbRenew, AChainOfRenewalsUndoesOneStepAtATime) {
  namespace undo = acq::AcqDbUndo;
  ActModule m(
      "INSERT INTO account_year(account, year, amount) VALUES ('SERIAL', 2028, 10000000000)");
  const std::string lineA =
      "select next_renewal_date, renew_line, renew_id from po_line where \"po#\" = 4 and "
      "line = 2";
  const std::string itemsA =
      "select item, renew_item, renew_activity_date, renew_activity_type from po_line_item "
      "where \"po#\" = 4 and line = 2 order by item";
  const auto lineBefore = m.Query(lineA), itemsBefore = m.Query(itemsA);
  const auto moneyBefore = m.Money();

  const auto first = renew::RenewLine({4, 2}, To2027(), false);
  ASSERT_EQ(first.kind, renew::Outcome::Kind::Renewed);
  ASSERT_EQ(acq::AcqDbAct::ApprovePoLine(first.newPo, first.newLine),
            acq::AcqDbAct::ApproveResult::Approved);
  renew::RenewTo to2028;
  to2028.year = 2028;
  to2028.accounts = {{"SERIAL.2027", "SERIAL.2028"}};
  const auto second = renew::RenewLine({first.newPo, first.newLine}, to2028, false);
  ASSERT_EQ(second.kind, renew::Outcome::Kind::Renewed);
  const std::string b = std::to_string(first.newPo);
  const std::string itemsB =
      "select item, renew_item, renew_activity_date, renew_activity_type from po_line_item "
      "where \"po#\" = " + b + " and line = " + std::to_string(first.newLine) + " order by item";
  const auto itemsBRenewed = m.Query(itemsB);

  // The older renewal cannot go first: its new line is approved.
  EXPECT_EQ(undo::UndoLine(undo::UndoActivity::Renew, first.newPo, first.newLine).message, 283);
  // C goes: B's items lose the renewal marks, keep their link to A.
  ASSERT_EQ(undo::UndoLine(undo::UndoActivity::Renew, second.newPo, second.newLine).outcome,
            undo::Outcome::Undone);
  const auto itemsBAfter = m.Query(itemsB);
  ASSERT_EQ(itemsBAfter.size(), itemsBRenewed.size());
  for (size_t i = 0; i < itemsBAfter.size(); ++i) {
    EXPECT_EQ(itemsBAfter[i][1], itemsBRenewed[i][1]) << "renew_item of B's item " << i + 1;
    EXPECT_EQ(itemsBAfter[i][2], "");
    EXPECT_EQ(itemsBAfter[i][3], "");
  }
  EXPECT_EQ(OnOrder(m, "SERIAL.2028"), "0");
  // B, unapproved again, goes too: A is as before the first renewal.
  ASSERT_EQ(undo::UndoLine(undo::UndoActivity::Approve, first.newPo, first.newLine).outcome,
            undo::Outcome::Undone);
  ASSERT_EQ(undo::UndoLine(undo::UndoActivity::Renew, first.newPo, first.newLine).outcome,
            undo::Outcome::Undone);
  EXPECT_EQ(m.Query(lineA), lineBefore);
  EXPECT_EQ(m.Query(itemsA), itemsBefore);
  const auto moneyAfter = m.Money();
  acttest::ExpectMoneyAgrees(moneyBefore, moneyAfter, true);
  for (const auto& [budget, after] : moneyAfter) {
    const auto was = moneyBefore.count(budget) ? moneyBefore.at(budget) : acttest::BudgetMoney{};
    EXPECT_EQ(after.onOrder, was.onOrder) << budget;
    EXPECT_EQ(after.spent, was.spent) << budget;
  }
  EXPECT_EQ(m.Query("select count(*) from po_line where \"po#\" in (" + b + ", " +
                    std::to_string(second.newPo) + ")"),
            (acttest::Rows{{"0"}}));
  EXPECT_TRUE(acqtest::ShownErrors().empty());
}

TEST(AcqDbRenew, RenewalPriceByMethod) {
  ActModule m;
  struct Case {
    const char* note;
    int method;
    int32_t po;
    int16_t line;
    const char* rate;
    const char* expected;
  };
  const Case cases[] = {
      {"method 0 keeps the price", 0, 4, 2, "1.27", "95"},
      // Never invoiced: 95.00 x 1.27 = 120.65 base, back at 1.27.
      {"method 1, never invoiced", 1, 4, 2, "1.27", "95"},
      // + SERIAL's 8 %: 130.302 base / 1.27 = 102.60.
      {"method 2 adds the inflation factor", 2, 4, 2, "1.27", "102.6"},
      // Invoiced on statement 1: 180.00 at 1.25 = 225.00 base; at today's 1.27: 177.17.
      {"method 1, last invoice", 1, 5, 1, "1.27", "177.17"},
      // 225.00 x 1.08 = 243.00 base / 1.27 = 191.338... -> 191.34.
      {"method 2, last invoice", 2, 5, 1, "1.27", "191.34"},
  };
  for (const Case& c : cases) {
    Dec64 price{};
    ASSERT_TRUE(renew::RenewalPrice(c.method, c.po, c.line, Money("95"), Money(c.rate), price))
        << c.note;
    EXPECT_EQ(price, Money(c.expected)) << c.note;
  }
  DbMsg msg;
  Dec64 base{};
  ASSERT_TRUE(acq::AcqDbGen::GetRenewalPrice(msg, 5, 1, 0, base));
  EXPECT_EQ(base, Money("225"));
  ASSERT_TRUE(acq::AcqDbGen::GetRenewalPrice(msg, 99, 1, 1, base));
  EXPECT_EQ(base, Money("0"));
}

// The line is renewed at another workstation while this one is asked to
// confirm a budget over its limit: the retry finds the items renewed inside
// its transaction and writes nothing.
TEST(AcqDbRenew, ARenewalElsewhereDuringTheConfirmationWins) {
  ActModule m("UPDATE account_year SET on_order_limit = 1000000 WHERE account = 'SERIAL' "
              "AND year = 2027");
  acttest::RecordingPerson person(true);
  person.onShow = [&] {
    m.db.Exec("UPDATE po_line_item SET renew_activity_date = 46000, renew_activity_type = "
              "'renew' WHERE \"po#\" = 4 AND line = 2");
  };
  const auto out = renew::RenewLine({4, 2}, To2027(), false);
  ASSERT_FALSE(person.shown.empty());   // the limit was asked about
  EXPECT_EQ(out.kind, renew::Outcome::Kind::Refused);
  EXPECT_EQ(out.refusal.message, renew::msg::kRenewedElsewhere);
  EXPECT_EQ(m.Count("select count(*) from po_line where renew_id is not null and "
                    "\"po#\" <> 4"),
            0);
  EXPECT_EQ(m.Count("select count(*) from po where \"renew_po#\" is not null and \"po#\" = 4"),
            0);
  EXPECT_EQ(OnOrder(m, "SERIAL.2027"), "0");
}

// Two workstations renew the same line at once: one renews it, the other
// finds it renewed inside its transaction and writes nothing.
TEST(AcqDbRenew, TwoWorkstationsRenewALineOnce) {
  ActModule m;
  testproc::Gate gate;
  std::vector<pid_t> children;
  for (int w = 0; w < 2; ++w)
    children.push_back(testproc::Spawn([&] {
      DbMsg msg;
      HDb own = nullptr;
      if (_DbCloneHDb(acq::AcqDbGlobal::Session(), own, msg) != kDbOk) return 10;
      acq::AcqDbGlobal::Globals().session = own;
      acttest::RecordingPerson person;
      gate.Wait();
      const auto out = renew::RenewLine({4, 2}, To2027(), false);
      _DbLogout(&own);
      if (out.kind == renew::Outcome::Kind::Renewed) return 0;
      if (out.kind == renew::Outcome::Kind::Refused &&
          (out.refusal.message == renew::msg::kRenewedElsewhere ||
           out.refusal.message == renew::msg::kNothingToRenew))
        return 1;
      return 2;
    }));
  gate.Open(2);
  int renewed = 0, refused = 0;
  for (pid_t child : children) {
    const int status = testproc::WaitFor(child, 120);
    renewed += status == 0;
    refused += status == 1;
  }
  EXPECT_EQ(renewed, 1);
  EXPECT_EQ(refused, 1);
  EXPECT_EQ(m.Count("select count(*) from po_line_item_history where \"po#\" = 4 and "
                    "po_activity_type = 'renew'"),
            2);
  EXPECT_EQ(m.Count("select count(*) from po_line_item where renew_item is not null and "
                    "\"po#\" <> 4"),
            2);
  EXPECT_EQ(OnOrder(m, "SERIAL.2027"), std::to_string(Money("241.30").raw));
}

}  // namespace

namespace {

TEST(AcqDbRenew, SetsRenewalOnOrdersThatDoNotRenewYet) {
  ActModule m;
  bool changed = false;
  EXPECT_TRUE(renew::SetRenewal(1, 2, "MONTHLY", 46500, changed));
  EXPECT_TRUE(changed);
  EXPECT_EQ(m.Query("select renewal_type, subscription_period from po where \"po#\" = 1"),
            (acttest::Rows{{"2", "MONTHLY"}}));
  EXPECT_EQ(m.Count("select count(*) from po_line where \"po#\" = 1 and next_renewal_date = 46500"),
            3);
  // An order that renews already is left alone; no date keeps the lines'.
  EXPECT_FALSE(renew::SetRenewal(1, 1, "ANNUAL", kNoDate, changed));
  EXPECT_FALSE(changed);
  EXPECT_TRUE(renew::SetRenewal(2, 1, "ANNUAL", kNoDate, changed));
  EXPECT_EQ(m.Count("select count(*) from po_line where \"po#\" = 2 and "
                    "next_renewal_date is not null"),
            0);
  EXPECT_EQ(m.Query("select renewal_type from po where \"po#\" = 1"), (acttest::Rows{{"2"}}));
  EXPECT_TRUE(acqtest::ShownErrors().empty());
}

}  // namespace
