// Purchase requests on a demo library: a request's save with its
// distribution rows and the address rule, and the PO line made from a
// request: its items, their money to the last digit, the price in the PO's
// currency, the refusals, and one line only however often (or from however
// many workstations at once) it is asked for.
//
// Demo request 1: "The Gardener's Almanac 2026", 19.95 USD from vendor 1,
// requested by borrower 1; rows 2 x MAIN and 1 x BRANCH, NONFIC, BOOK,
// ADULT.2026. PO 1 is vendor 1's (USD, contract STAND26) with lines 1-3.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "acq/DbActFixture.h"
#include "acq/db/AcqDbBase.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/po/AcqDbPr.h"
#include "host/db/DbDabs.h"
#include "support/Processes.h"

namespace {

namespace pr = acq::AcqDbPr;
using acttest::ActModule;
using acttest::Money;
using acttest::RecordingPerson;
using acttest::Rows;

int Col(BktHandle bkt, const char* name) { return _BktGetColNum(bkt, name); }

// A request as the editor holds it: its record and its distribution rows.
struct RequestEdit {
  BucketHold request, rows;
  void New(const char* title) {
    ASSERT_TRUE(acq::AcqDbBase::LoadRows("*", "pr", "1=0", "", request));
    int row = 0;
    _BktInsert(*request, 0, row);
    _ColSetTextW(*request, row, Col(*request, "title"), title);
    ASSERT_TRUE(pr::LoadDistribution(0, rows.get()));
  }
  void Load(int32_t number) {
    ASSERT_TRUE(acq::AcqDbBase::LoadRows("*", "pr", "pr#=" + std::to_string(number), "", request));
    ASSERT_TRUE(pr::LoadDistribution(number, rows.get()));
  }
  // A new row: quantity, location, budget and, when not empty, ship_to.
  int Add(int quantity, const char* location, const char* budget, const char* shipTo = "") {
    int row = 0;
    _BktInsert(*rows, 0, row);
    _ColSetInt(*rows, row, Col(*rows, "quantity"), quantity);
    if (*location) _ColSetTextW(*rows, row, Col(*rows, "location"), location);
    if (*budget) _ColSetTextW(*rows, row, Col(*rows, "budget"), budget);
    if (*shipTo) _ColSetTextW(*rows, row, Col(*rows, "ship_to"), shipTo);
    return row;
  }
  bool Save(pr::Refusal& refusal) { return pr::SaveRequest(*request, *rows, refusal); }
};

// ANNEX has no address; STORE has a default shipping address that may not
// be shipped to (the wrong type).
constexpr const char* kLocations =
    "INSERT INTO location(location, name) VALUES ('ANNEX', 'Annex'), ('STORE', 'Store');"
    "INSERT INTO address(location, address_code, name, bill_to, ship_to, default_bill_to, "
    "default_ship_to) VALUES ('STORE', 'DOCK', 'Store dock', 1, 0, 1, 1)";

TEST(PurchaseRequest, SaveChecksEachRowsLocationAndKeepsTheEditsWhenRefused) {
  ActModule m(kLocations);
  RecordingPerson person;
  struct Case {
    int quantity;
    const char* location;
    const char* budget;
    const char* shipTo;
    int message;
    const char* column;
  };
  const Case cases[] = {
      {1, "ANNEX", "ADULT.2026", "", 3, "location"},     // no address at all
      {1, "STORE", "ADULT.2026", "", 3, "location"},     // default, but not for shipping
      {1, "MAIN", "ADULT.2026", "ACCTS", 357, "ship_to"},  // a billing address typed
      {1, "", "ADULT.2026", "", 1871, "location"},
      {0, "MAIN", "ADULT.2026", "", 1873, "quantity"},
      {1000, "MAIN", "ADULT.2026", "", 1873, "quantity"},
      {1, "MAIN", "NOSUCH.2026", "", 1874, "budget"},
  };
  const int64_t requests = m.Count("select count(*) from pr");
  for (const Case& c : cases) {
    RequestEdit edit;
    edit.New("Orchard Pruning");
    edit.Add(2, "BRANCH", "ADULT.2026");   // a good row first: the refusal names the second
    edit.Add(c.quantity, c.location, c.budget, c.shipTo);
    pr::Refusal refusal;
    person.shown.clear();
    EXPECT_FALSE(edit.Save(refusal)) << c.location << " " << c.quantity;
    EXPECT_EQ(refusal.id, c.message) << c.location;
    EXPECT_EQ(refusal.row, 2) << c.location;
    EXPECT_EQ(refusal.column, c.column) << c.location;
    EXPECT_EQ(person.shown.size(), 1u) << c.location;
    // Nothing written, and the edits are still there to correct.
    EXPECT_EQ(m.Count("select count(*) from pr"), requests) << c.location;
    EXPECT_EQ(_BktGetState(*edit.request, 1), kRowNew);
    EXPECT_TRUE(_ColIsNull(*edit.request, 1, Col(*edit.request, "pr#")));
    ASSERT_EQ(_BktCountAll(*edit.rows), 2);
    EXPECT_EQ(_BktGetState(*edit.rows, 2), kRowNew);
    EXPECT_TRUE(_ColIsNull(*edit.rows, 1, Col(*edit.rows, "ship_to"))) << "filled, not restored";
  }
  EXPECT_EQ(person.shown.size(), 1u);
  RequestEdit untitled;
  untitled.New("");
  pr::Refusal refusal;
  EXPECT_FALSE(untitled.Save(refusal));
  EXPECT_EQ(refusal.id, 1872);
  RequestEdit unknownVendor;
  unknownVendor.New("Orchard Pruning");
  _ColSetInt(*unknownVendor.request, 1, Col(*unknownVendor.request, "vendor#"), 999);
  EXPECT_FALSE(unknownVendor.Save(refusal));
  EXPECT_EQ(refusal.id, 1876);
  EXPECT_EQ(refusal.column, "vendor#");
}

TEST(PurchaseRequest, SavedRowsTakeTheDefaultShippingAddressAndNumbersAfterTheStoredOnes) {
  ActModule m;
  RecordingPerson person;
  RequestEdit edit;
  edit.New("Orchard Pruning");
  edit.Add(2, "MAIN", "ADULT.2026");
  edit.Add(1, "BRANCH", "REF.2026", "RIVER");
  pr::Refusal refusal;
  ASSERT_TRUE(edit.Save(refusal)) << (person.shown.empty() ? "" : person.shown[0]);
  const int32_t number = _ColGetInt(*edit.request, 1, Col(*edit.request, "pr#"));
  EXPECT_GT(number, 1);
  EXPECT_EQ(m.Query("select line, quantity, location, budget, ship_to from pr_distribution "
                    "where \"pr#\"=" + std::to_string(number) + " order by line"),
            (Rows{{"1", "2", "MAIN", "ADULT.2026", "RECV"},
                  {"2", "1", "BRANCH", "REF.2026", "RIVER"}}));

  // Again: the first row deleted, the second changed, one added.
  RequestEdit again;
  again.Load(number);
  _BktSetState(*again.rows, 1, kRowDeleted);
  _ColSetInt(*again.rows, 2, Col(*again.rows, "quantity"), 3);
  again.Add(4, "MAIN", "CHILD.2026");
  ASSERT_TRUE(again.Save(refusal));
  EXPECT_EQ(_BktCountAll(*again.rows), 2);
  EXPECT_EQ(m.Query("select line, quantity, location, ship_to from pr_distribution where \"pr#\"=" +
                    std::to_string(number) + " order by line"),
            (Rows{{"2", "3", "BRANCH", "RIVER"}, {"3", "4", "MAIN", "RECV"}}));
  EXPECT_TRUE(person.shown.empty());
}

TEST(PurchaseRequest, LineGetsAnItemPerCopyOfEachRowAndTheirPriceOnOrderExactly) {
  ActModule m("UPDATE pr_distribution SET call_number='635 GAR' WHERE \"pr#\"=1 AND line=2");
  RecordingPerson person;
  const auto before = m.Money();
  pr::MadeLine made;
  ASSERT_EQ(pr::MakePoLine(1, 1, made), pr::MakeResult::Made)
      << (person.shown.empty() ? "" : person.shown[0]);
  EXPECT_EQ(made.po, 1);
  EXPECT_EQ(made.line, 4);
  EXPECT_EQ(made.poNumber, "PO-2026-0001");
  EXPECT_EQ(m.Query("select title, author, isbn, unit_price, \"pr#\", last_item from po_line "
                    "where \"po#\"=1 and line=4"),
            (Rows{{"The Gardener's Almanac 2026", "Price, Helen", "9781555000158",
                   std::to_string(Money("19.95").raw), "1", "3"}}));
  EXPECT_EQ(m.Query("select item, location, collection, itype, budget, call_number, "
                    "ship_to_address, \"borrower#\" from po_line_item where \"po#\"=1 and line=4 "
                    "order by item"),
            (Rows{{"1", "MAIN", "NONFIC", "BOOK", "ADULT.2026", "", "RECV", "1"},
                  {"2", "MAIN", "NONFIC", "BOOK", "ADULT.2026", "", "RECV", ""},
                  {"3", "BRANCH", "NONFIC", "BOOK", "ADULT.2026", "635 GAR", "RIVER", ""}}));
  EXPECT_EQ(m.Query("select item, amount from po_line_item_budget_amount where \"po#\"=1 and "
                    "line=4 order by item"),
            (Rows{{"1", std::to_string(Money("19.95").raw)},
                  {"2", std::to_string(Money("19.95").raw)},
                  {"3", std::to_string(Money("19.95").raw)}}));
  const auto after = m.Money();
  EXPECT_EQ(acttest::Sub(after.at("ADULT.2026").onOrder, before.at("ADULT.2026").onOrder),
            Money("59.85"));
  acttest::ExpectMoneyAgrees(before, after, true);
  EXPECT_TRUE(person.shown.empty());
}

TEST(PurchaseRequest, PriceIsConvertedThroughTheBaseCurrencyToThePosCurrency) {
  struct Case {
    const char *price, *from, *to, *expected;
  };
  const Case cases[] = {
      {"19.95", "1", "1", "19.95"},
      {"10.00", "0.73", "1", "7.30"},    // CAD to USD
      {"10.00", "1", "1.27", "7.87"},    // USD to GBP: 7.874015...
      {"10.00", "1", "0.73", "13.70"},   // 13.698630... rounds up
      {"0.01", "1", "2", "0.01"},        // 0.005: half away from zero
  };
  for (const Case& c : cases) {
    Dec64 converted;
    ASSERT_TRUE(pr::ConvertPrice(Money(c.price), Money(c.from), Money(c.to), 2, converted))
        << c.price << " " << c.to;
    EXPECT_EQ(converted, Money(c.expected)) << c.price << " " << c.from << " " << c.to;
  }
  Dec64 unused;
  EXPECT_FALSE(pr::ConvertPrice(Money("1"), Money("1"), Dec64{}, 2, unused));

  // A request priced in pounds ordered on a USD PO: 10.00 x 1.27.
  ActModule m("UPDATE pr SET currency='GBP', unit_price=10000000 WHERE \"pr#\"=1");
  RecordingPerson person;
  pr::MadeLine made;
  ASSERT_EQ(pr::MakePoLine(1, 1, made), pr::MakeResult::Made);
  EXPECT_EQ(m.Query("select unit_price from po_line where \"pr#\"=1"),
            (Rows{{std::to_string(Money("12.70").raw)}}));
}

TEST(PurchaseRequest, RefusedRequestsMakeNoLineAndSaySo) {
  // 2: no rows; 3: priced in a currency without a rate; 4: no vendor named.
  ActModule m(
      "INSERT INTO pr(\"pr#\", title, unit_price, currency, \"vendor#\") VALUES "
      "(2, 'No Rows', 1000000, 'USD', 1), (3, 'Odd Money', 1000000, 'XTS', NULL),"
      "(4, 'Any Vendor', 1000000, 'USD', NULL);"
      "INSERT INTO pr_distribution(\"pr#\", line, quantity, location, budget) VALUES "
      "(3, 1, 1, 'MAIN', 'ADULT.2026'), (4, 1, 1, 'MAIN', 'ADULT.2026');"
      "UPDATE po SET completion_date=" + std::to_string(DbDabs_GetDate() - 5) + " WHERE \"po#\"=7");
  RecordingPerson person;
  struct Case {
    int32_t request, po;
    pr::MakeResult result;
    const char* said;
  };
  const Case cases[] = {
      {1, 2, pr::MakeResult::OtherVendor, "another vendor"},
      {1, 7, pr::MakeResult::PoNotOpen, "no open PO PO-2026-0007"},
      {1, 999, pr::MakeResult::PoNotOpen, "no open PO 999"},
      {2, 1, pr::MakeResult::NoRows, "nothing to order"},
      {3, 1, pr::MakeResult::NoRate, "currency XTS"},
      {99, 1, pr::MakeResult::Gone, "Request 99 no longer exists"},
  };
  for (const Case& c : cases) {
    person.shown.clear();
    pr::MadeLine made;
    EXPECT_EQ(pr::MakePoLine(c.request, c.po, made), c.result) << c.said;
    ASSERT_EQ(person.shown.size(), 1u) << c.said;
    EXPECT_NE(person.shown[0].find(c.said), std::string::npos) << person.shown[0];
  }
  EXPECT_EQ(m.Count("select count(*) from po_line where \"pr#\" is not null"), 0);
  // A request that names no vendor goes on any vendor's PO.
  pr::MadeLine made;
  EXPECT_EQ(pr::MakePoLine(4, 2, made), pr::MakeResult::Made);
}

TEST(PurchaseRequest, RequestTurnedTwiceStaysOneLine) {
  ActModule m;
  RecordingPerson person;
  pr::MadeLine first, second;
  ASSERT_EQ(pr::MakePoLine(1, 1, first), pr::MakeResult::Made);
  const auto before = m.Money();
  EXPECT_EQ(pr::MakePoLine(1, 8, second), pr::MakeResult::OnLine);   // even on another PO
  EXPECT_EQ(second.po, 1);
  EXPECT_EQ(second.line, first.line);
  ASSERT_EQ(person.shown.size(), 1u);
  EXPECT_NE(person.shown[0].find("already on PO PO-2026-0001, line 4"), std::string::npos)
      << person.shown[0];
  EXPECT_EQ(m.Count("select count(*) from po_line where \"pr#\"=1"), 1);
  acttest::ExpectMoneyAgrees(before, m.Money(), true);
  EXPECT_EQ(m.Money().at("ADULT.2026").onOrder, before.at("ADULT.2026").onOrder);
}

// The look for a line of the request is made again inside the transaction
// that saves: here another workstation makes one while this one is asked
// about the frozen budget (no transaction open), and the run after Yes
// finds it and writes nothing.
TEST(PurchaseRequest, LineMadeElsewhereWhileTheBudgetIsAskedAboutIsFoundOnTheRetry) {
  ActModule m("UPDATE account_year SET status=1 WHERE account='ADULT' AND year=2026");
  RecordingPerson person(true);
  bool madeElsewhere = false;
  person.onShow = [&] {
    if (madeElsewhere) return;
    madeElsewhere = true;
    m.db.Exec("INSERT INTO po_line(\"po#\", line, title, \"pr#\", last_item) "
              "VALUES (8, 9, 'Made elsewhere', 1, 0)");
  };
  const auto before = m.Money();
  pr::MadeLine made;
  EXPECT_EQ(pr::MakePoLine(1, 1, made), pr::MakeResult::OnLine);
  EXPECT_TRUE(madeElsewhere);
  EXPECT_EQ(made.po, 8);
  EXPECT_EQ(made.line, 9);
  EXPECT_EQ(m.Count("select count(*) from po_line where \"pr#\"=1"), 1);
  EXPECT_EQ(m.Count("select count(*) from po_line where \"po#\"=1 and line=4"), 0);
  EXPECT_EQ(m.Money().at("ADULT.2026").onOrder, before.at("ADULT.2026").onOrder);
  ASSERT_EQ(person.shown.size(), 2u);
  EXPECT_NE(person.shown[1].find("already on PO PO-2026-0008, line 9"), std::string::npos)
      << person.shown[1];
}

// Workstation `n` makes a line of request 1 on PO 1 (n 0) or PO 7 (n 1);
// writes its result (MakeResult as a number) into `report`.
int Workstation(int n, const testproc::Gate& gate, const std::string& report) {
  DbMsg msg;
  HDb own = nullptr;
  if (_DbCloneHDb(acq::AcqDbGlobal::Session(), own, msg) != kDbOk) return 10;
  acq::AcqDbGlobal::Globals().session = own;
  RecordingPerson person;
  gate.Wait();
  pr::MadeLine made;
  const pr::MakeResult result = pr::MakePoLine(1, n == 0 ? 1 : 7, made);
  _DbLogout(&own);
  std::ofstream(report) << static_cast<int>(result) << "\n";
  return 0;
}

TEST(PurchaseRequest, TwoWorkstationsTurningOneRequestAtOnceMakeOneLine) {
  ActModule m;
  testproc::Gate gate;
  std::vector<pid_t> children;
  std::vector<std::string> reports;
  for (int n = 0; n < 2; ++n) {
    reports.push_back((m.db.Dir() / ("workstation" + std::to_string(n))).string());
    const std::string& report = reports.back();
    children.push_back(testproc::Spawn([&, n] { return Workstation(n, gate, report); }));
  }
  gate.Open(static_cast<int>(children.size()));
  std::vector<int> results;
  for (size_t n = 0; n < children.size(); ++n) {
    EXPECT_EQ(testproc::WaitFor(children[n], 300), 0);
    int result = -1;
    std::ifstream(reports[n]) >> result;
    results.push_back(result);
  }
  std::sort(results.begin(), results.end());
  EXPECT_EQ(results, (std::vector<int>{static_cast<int>(pr::MakeResult::Made),
                                       static_cast<int>(pr::MakeResult::OnLine)}));
  EXPECT_EQ(m.Count("select count(*) from po_line where \"pr#\"=1"), 1);
  EXPECT_EQ(m.Count("select count(*) from po_line_item i join po_line l on l.\"po#\"=i.\"po#\" "
                    "and l.line=i.line where l.\"pr#\"=1"),
            3);
}

}  // namespace
