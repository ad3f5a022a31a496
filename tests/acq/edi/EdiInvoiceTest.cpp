// EDIFACT invoices on a real demo library: an invoice and a credit note made
// statements (their lines, charges, the items' money through the budgets),
// every refusal recorded with nothing made and the message left listed, a
// number processed twice, removal, and a real vendor file end to end.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "acq/DbActFixture.h"
#include "acq/edi/AcqDbEdiInv.h"
#include "acq/edi/AcqEdiRead.h"

namespace {

namespace inv = acq::AcqDbEdiInv;
using acttest::ActModule;
using acttest::Money;
using inv::Outcome;

std::string RawOf(const char* money) { return std::to_string(Money(money).raw); }

// The demo's POs used here: 8 of vendor 2 (USD), lines 1 and 2 with two
// approved items each, none invoiced, at BRANCH; 1 of vendor 1, line 1 with
// three items received and invoiced (creditable); 6 of vendor 5 with
// unapproved items; 3 of vendor 3 (CAD), line 2: two items at MAIN, one at
// BRANCH.
constexpr int kMessageDate = 46000;

// Stores one INVOIC message as the upload leaves it (an interchange of its
// own, the message row and its segments, default service characters).
// `segments` without terminators, UNH to UNT.
inv::MessageKey Store(ActModule& m, int32_t edifact, int32_t vendor, const std::string& number,
                      const char* total, const std::string& currency,
                      const std::vector<std::string>& segments) {
  std::string sql =
      "INSERT INTO edifact_interchange(\"edifact#\", \"vendor#\", una, location, file_name) "
      "VALUES (" + std::to_string(edifact) + ", " + std::to_string(vendor) +
      ", ':+.? ''', 'MAIN', 'inv" + std::to_string(edifact) + ".edi');"
      "INSERT INTO edifact_message(\"edifact#\", \"message#\", message_type, message_code, "
      "message_number, \"message_vendor#\", message_date, amount, currency) VALUES (" +
      std::to_string(edifact) + ", 1, 7, '380', '" + number + "', " + std::to_string(vendor) +
      ", " + std::to_string(kMessageDate) + ", " + RawOf(total) + ", '" + currency + "');";
  int n = 0;
  for (const std::string& s : segments) {
    std::string text = s + "'";
    std::string quoted;
    for (char c : text) quoted += c == '\'' ? std::string("''") : std::string(1, c);
    sql += "INSERT INTO edifact_segment(\"edifact#\", \"segment#\", \"message#\", short_segment) "
           "VALUES (" + std::to_string(edifact) + ", " + std::to_string(++n) + ", 1, '" + quoted +
           "');";
  }
  m.db.Exec(sql);
  return {edifact, 1};
}

std::vector<std::string> Message(const std::string& bgm, const std::vector<std::string>& header,
                                 const std::vector<std::string>& lines,
                                 const std::vector<std::string>& summary) {
  std::vector<std::string> s = {"UNH+1+INVOIC:D:96A:UN", bgm, "DTM+137:20251114:102",
                                "CUX+2:USD:4"};
  s.insert(s.end(), header.begin(), header.end());
  s.insert(s.end(), lines.begin(), lines.end());
  s.push_back("UNS+S");
  s.insert(s.end(), summary.begin(), summary.end());
  s.push_back("UNT+" + std::to_string(s.size() + 1) + "+1");
  return s;
}

int64_t Listed(ActModule& m, const inv::MessageKey& k) {
  return m.Count("select count(*) from edifact_invoic_message where \"edifact#\"=" +
                 std::to_string(k.edifact));
}

// Processing is checked only once element extraction has landed.
bool ReaderReady() {
  return acq::AcqEdifact::Element("BGM+380'", {}, 1, 1) == "380";
}

// Each budget's on order and its ledger moved by its money rows and the
// statement's budgeted extra charges (on order until approval), nothing else.
void ExpectMoneyFollowsRows(ActModule& m, const acttest::MoneyPicture& before,
                            const std::string& statement) {
  std::map<std::string, Dec64> charged;
  for (const auto& r : m.Query("select budget, amount, exchange_rate from statement_extra_charge "
                               "where budget IS NOT NULL and \"statement#\"=" + statement)) {
    Dec64 base;
    ASSERT_EQ(LbDec64_Mul64(acttest::Raw(r[1]), acttest::Raw(r[2]), base), DecStatus::Ok);
    charged[r[0]] = acttest::Add(charged[r[0]], base);
  }
  for (const auto& [budget, a] : m.Money()) {
    const acttest::BudgetMoney b = before.count(budget) ? before.at(budget) : acttest::BudgetMoney{};
    const Dec64 onOrder = acttest::Sub(a.onOrder, b.onOrder);
    const Dec64 expected = acttest::Add(acttest::Sub(a.unspentRows, b.unspentRows),
                                        charged.count(budget) ? charged[budget] : Dec64{});
    EXPECT_EQ(onOrder, expected) << budget;
    EXPECT_EQ(onOrder, acttest::Sub(a.ledgerOnOrder, b.ledgerOnOrder)) << budget << " ledger";
    EXPECT_EQ(acttest::Sub(a.spent, b.spent), acttest::Sub(a.spentRows, b.spentRows)) << budget;
  }
}

TEST(EdiInvoice, InvoiceAndCreditNoteBecomeStatementsWithTheirMoney) {
  struct Case {
    const char* name;
    int32_t vendor;
    const char* bgm;
    std::vector<std::string> lines;
    std::vector<std::string> header, summary;
    const char* total;                 // MOA+86
    int type;
    const char* amount;                // the statement's
    const char* lineAmount;            // the statement line's
    int quantity;
    std::vector<std::string> charges;  // "TYPE=amount=budget"
    int status = 0;                    // 1: made with the warning that the total differs
  };
  const Case cases[] = {
      // Header charge, line tax on top of the net line, summary taxes
      // repeating the line's (not booked twice), a total that balances.
      {"invoice", 2, "BGM+380+INV-1+9",
       {"LIN+1", "QTY+47:2", "MOA+203:40.00", "RFF+LI:8/1", "TAX+7+TAX", "MOA+124:3.20",
        "ALC+A++++SVC", "MOA+8:4"},
       {"ALC+C++++SHIP", "MOA+8:5.00"}, {"TAX+7+TAX", "MOA+124:3.20"}, "48.20", 0, "48.20",
       "40", 2, {"SHIP=5=OPS.2026", "TAX=3.2=OPS.2026"}},
      // A credit note written positive; an allowance by percentage of the
      // lines (10 % of 12.00, negated as every allowance); no total: the sum.
      {"credit", 1, "BGM+381+CR-1+9", {"LIN+1", "QTY+47:1", "MOA+203:12.00", "RFF+LI:1/1"},
       {"ALC+A++++HANDLE", "PCD+3:10"}, {}, "0", 3, "-13.20", "-12", 1,
       {"HANDLE=-1.2=OPS.2026"}},
      // A total that is not the lines and charges: made, with a warning.
      {"unbalanced", 2, "BGM+380+UNB-1+9", {"LIN+1", "QTY+47:1", "MOA+203:10", "RFF+LI:8/2"},
       {}, {}, "11", 0, "11", "10", 1, {}, 1},
  };
  if (!ReaderReady()) GTEST_SKIP() << "element extraction not built yet";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ActModule m;
    const auto before = m.Money();
    const auto key = Store(m, 900, c.vendor, c.name, c.total, "USD",
                           Message(c.bgm, c.header, c.lines, c.summary));
    const inv::Result r = inv::ProcessMessage(key);
    ASSERT_EQ(r.outcome, Outcome::Created);
    ASSERT_EQ(r.findings.size(), c.status == 0 ? 0u : 1u);
    if (c.status == 1) {
      EXPECT_EQ(r.findings[0].message, 1762);
    }
    const std::string s = std::to_string(r.statement);
    EXPECT_EQ(m.Query("select statement_type, amount, amount_remaining, note, statement_date, "
                      "currency from statement where \"statement#\"=" + s),
              (acttest::Rows{{std::to_string(c.type), RawOf(c.amount), RawOf(c.amount),
                              "EDIFACT transmission", std::to_string(kMessageDate), "USD"}}));
    EXPECT_EQ(m.Query("select statement_line_type, quantity, amount from statement_line where "
                      "\"statement#\"=" + s),
              (acttest::Rows{{std::to_string(c.type), std::to_string(c.quantity),
                              RawOf(c.lineAmount)}}));
    EXPECT_EQ(m.Count("select sum(amount) from po_line_item_budget_amount where \"statement#\"=" +
                      s),
              Money(c.lineAmount).raw);
    acttest::Rows charges;
    for (const std::string& t : c.charges) {
      const size_t a = t.find('='), b = t.rfind('=');
      charges.push_back({t.substr(0, a), RawOf(t.substr(a + 1, b - a - 1).c_str()),
                         t.substr(b + 1)});
    }
    EXPECT_EQ(m.Query("select extra_charge_type, amount, budget from statement_extra_charge "
                      "where \"statement#\"=" + s + " order by extra_charge_type"),
              charges);
    EXPECT_EQ(m.Query("select status from edifact_process_status where \"edifact#\"=900 and "
                      "process=1"),
              (acttest::Rows{{std::to_string(c.status)}}));
    EXPECT_EQ(m.Count("select count(*) from edifact_exception where process=1 and "
                      "warning_or_error=0"),
              c.status);
    EXPECT_EQ(Listed(m, key), 0);
    ExpectMoneyFollowsRows(m, before, s);
    // Done once: asked again, nothing more happens.
    EXPECT_EQ(inv::ProcessMessage(key).outcome, Outcome::AlreadyDone);
    EXPECT_EQ(m.Count("select count(*) from statement where note='EDIFACT transmission'"), 1);
  }
}

TEST(EdiInvoice, RefusalsRecordTheirReasonAndMakeNothing) {
  struct Case {
    const char* name;
    int32_t vendor;
    std::string bgm;
    std::vector<std::string> header, lines;
    int message;
    std::string arg;
  };
  const std::vector<std::string> line81 = {"LIN+1", "QTY+47:1", "MOA+203:20", "RFF+LI:8/1"};
  const Case cases[] = {
      {"not an invoice", 2, "BGM+220+X1+9", {}, line81, 429, ""},
      {"unknown charge type", 2, "BGM+380+X2+9", {"ALC+C++++FREIGHT", "MOA+8:3"}, line81, 323,
       "FREIGHT"},
      {"line not approved", 5, "BGM+380+X3+9", {},
       {"LIN+1", "QTY+47:1", "MOA+203:20", "RFF+LI:6/1"}, 325, "6/1"},
      {"more than pending", 2, "BGM+380+X4+9", {},
       {"LIN+1", "QTY+47:3", "MOA+203:20", "RFF+LI:8/1"}, 326, "8/1"},
      // Two lines of one message cannot take the same two items twice.
      {"pending shared by two lines", 2, "BGM+380+X5+9", {},
       {"LIN+1", "QTY+47:2", "MOA+203:20", "RFF+LI:8/1", "LIN+2", "QTY+47:1", "MOA+203:10",
        "RFF+LI:8/1"},
       326, "8/1"},
      {"location short of pending", 3, "BGM+380+X6+9", {},
       {"LIN+1", "QTY+47:2", "MOA+203:20", "RFF+LI:3/2", "LOC+7+BRANCH", "QTY+11:2"}, 326,
       "3/2/BRANCH"},
      {"no reference", 2, "BGM+380+X7+9", {}, {"LIN+1", "QTY+47:1", "MOA+203:20"}, 324,
       "segment RFF"},
      // A line number beyond any of ours (as in BLSINV337023.CEI).
      {"foreign reference", 2, "BGM+380+X8+9", {},
       {"LIN+1", "QTY+47:1", "MOA+203:20", "RFF+LI:2818/74593"}, 324, "2818/74593"},
      {"another vendor's PO", 1, "BGM+380+X9+9", {}, line81, 1760, "8/1"},
      {"amount finer than money", 2, "BGM+380+X10+9", {},
       {"LIN+1", "QTY+47:1", "MOA+203:20.005", "RFF+LI:8/1"}, 1761, "8/1"},
  };
  if (!ReaderReady()) GTEST_SKIP() << "element extraction not built yet";
  ActModule m;
  int32_t edifact = 900;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto before = m.Money();
    const int64_t statements = m.Count("select count(*) from statement");
    ++edifact;
    const auto key = Store(m, edifact, c.vendor, "X" + std::to_string(edifact), "0", "USD",
                           Message(c.bgm, c.header, c.lines, {}));
    const inv::Result r = inv::ProcessMessage(key);
    ASSERT_EQ(r.outcome, Outcome::Refused);
    ASSERT_FALSE(r.findings.empty());
    EXPECT_EQ(r.findings[0].message, c.message);
    EXPECT_EQ(r.findings[0].arg, c.arg);
    const std::string e = std::to_string(edifact);
    EXPECT_EQ(m.Count("select count(*) from edifact_exception where process=1 and "
                      "warning_or_error=1 and \"edifact#\"=" + e + " and \"message#\"=1"),
              static_cast<int64_t>(r.findings.size()));
    EXPECT_EQ(m.Query("select status from edifact_process_status where \"edifact#\"=" + e),
              (acttest::Rows{{"2"}}));
    EXPECT_EQ(m.Count("select count(*) from statement"), statements);
    EXPECT_EQ(m.Count("select count(*) from po_line_item where invoice_date IS NOT NULL and "
                      "\"po#\" in (3, 6, 8)"),
              0);
    EXPECT_EQ(Listed(m, key), 1);
    for (const auto& [budget, after] : m.Money()) {
      EXPECT_EQ(after.onOrder, before.at(budget).onOrder) << budget;
      EXPECT_EQ(after.spent, before.at(budget).spent) << budget;
    }
  }
}

TEST(EdiInvoice, SecondInvoiceWithTheSameNumberIsADuplicateAndRemoveTakesItOff) {
  if (!ReaderReady()) GTEST_SKIP() << "element extraction not built yet";
  ActModule m;
  const auto lines = [](const char* ref) {
    return std::vector<std::string>{"LIN+1", "QTY+47:1", "MOA+203:20", ref};
  };
  const auto first = Store(m, 901, 2, "DUP-1", "20", "USD",
                           Message("BGM+380+DUP-1+9", {}, lines("RFF+LI:8/1"), {}));
  const auto second = Store(m, 902, 2, "DUP-1", "20", "USD",
                            Message("BGM+380+DUP-1+9", {}, lines("RFF+LI:8/2"), {}));
  ASSERT_EQ(inv::ProcessMessage(first).outcome, Outcome::Created);
  const inv::Result again = inv::ProcessMessage(second);
  ASSERT_EQ(again.outcome, Outcome::Refused);
  EXPECT_EQ(again.findings[0].message, 322);
  EXPECT_EQ(again.findings[0].arg, "DUP-1");
  EXPECT_EQ(m.Count("select count(*) from po_line_item where \"po#\"=8 and line=2 and "
                    "invoice_date IS NOT NULL"),
            0);

  int removed = 0;
  ASSERT_TRUE(inv::RemoveMessages({second, first}, removed));
  EXPECT_EQ(removed, 1);   // the first left the list when it was processed
  EXPECT_EQ(m.Query("select status from edifact_process_status where \"edifact#\"=902 "
                    "order by \"process_status#\""),
            (acttest::Rows{{"2"}, {"3"}}));
  EXPECT_EQ(Listed(m, second), 0);
  EXPECT_EQ(inv::ProcessMessage(second).outcome, Outcome::AlreadyDone);
}

// 1130B766274.inv, uploaded by the reader: its first message names PO
// 16600 line 29 (made here for the file's vendor, two approved items) and
// ends with a postage charge after UNS; the others name POs this library
// does not have.
TEST(EdiInvoice, VendorFileProcessedEndToEnd) {
  if (!ReaderReady()) GTEST_SKIP() << "element extraction not built yet";
  ActModule m(
      "UPDATE vendor SET san='1697684', cust_number='824016' WHERE \"vendor#\"=2;"
      "UPDATE address SET san='3618129' WHERE location='MAIN' AND default_bill_to=1;"
      "INSERT INTO extra_charge_type(extra_charge_type, descr) VALUES ('C&P', 'Postage');"
      "CREATE TEMP TABLE p AS SELECT * FROM po WHERE \"po#\"=8;"
      "UPDATE p SET \"po#\"=16600, po_number='PO-16600';"
      "INSERT INTO po SELECT * FROM p;"
      "CREATE TEMP TABLE l AS SELECT * FROM po_line WHERE \"po#\"=8 AND line=1;"
      "UPDATE l SET \"po#\"=16600, line=29;"
      "INSERT INTO po_line SELECT * FROM l;"
      "CREATE TEMP TABLE i AS SELECT * FROM po_line_item WHERE \"po#\"=8 AND line=1;"
      "UPDATE i SET \"po#\"=16600, line=29;"
      "INSERT INTO po_line_item SELECT * FROM i;");
  acq::AcqEdiRead::Hooks hooks;
  hooks.firstFileDelayMs = 0;
  const std::string path = std::string(ACQ_SOURCE_DIR) + "/tests/data/edifact/1130B766274.inv";
  const acq::AcqEdiRead::RunResult run = acq::AcqEdiRead::UploadFiles({path}, hooks);
  ASSERT_EQ(run.files.size(), 1u);
  if (!run.files[0].saved || run.files[0].failed)
    GTEST_SKIP() << "the reader does not store this file yet";
  const int32_t edifact = run.files[0].edifact;
  const inv::Result r = inv::ProcessMessage({edifact, 1});
  ASSERT_EQ(r.outcome, Outcome::Created);
  const std::string s = std::to_string(r.statement);
  EXPECT_EQ(m.Query("select statement_number, amount, \"vendor#\" from statement where "
                    "\"statement#\"=" + s),
            (acttest::Rows{{"B766274", RawOf("42.66"), "2"}}));
  EXPECT_EQ(m.Query("select extra_charge_type, amount from statement_extra_charge where "
                    "\"statement#\"=" + s),
            (acttest::Rows{{"C&P", RawOf("6.6")}}));
  EXPECT_EQ(m.Count("select sum(amount) from po_line_item_budget_amount where \"statement#\"=" +
                    s),
            Money("36.06").raw);
  const inv::Result other = inv::ProcessMessage({edifact, 2});
  ASSERT_EQ(other.outcome, Outcome::Refused);
  EXPECT_EQ(other.findings[0].message, 324);
  EXPECT_EQ(other.findings[0].arg, "16687/4");
}

}  // namespace
