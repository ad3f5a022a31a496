// Distribution patterns and templates on a real demo library: saving a
// line's distribution under a name (taken names, two workstations at
// once), applying it over lines with approved items (money both ways), and
// the header values a template gives a new PO.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "acq/DbActFixture.h"
#include "acq/db/AcqDb.h"
#include "acq/po/AcqDbTempPea.h"
#include "support/Processes.h"

namespace {

using namespace acttest;
namespace pat = acq::AcqDbTempPea;
using acq::AcqDb::ClearChanges;

// A line of PO 1 at 10.00 a copy with one item per budget field given
// ("ADULT.2026" or a split text), through the line save; its number.
int16_t MakeLine(const std::vector<std::string>& budgets) {
  BucketHold po, line, rows;
  DbMsg msg;
  EXPECT_EQ(acq::AcqDb::LoadTable(msg, ClearChanges::Yes, "", "po#=1",
                                  "po#,vendor#,vendor_contract,currency", "po", po.get()),
            kDbOk);
  EXPECT_EQ(acq::AcqDb::BktFromCols(msg, 0, 0, line.get(), "*", "po_line"), kDbOk);
  EXPECT_EQ(acq::AcqDb::BktFromCols(msg, 0, 0, rows.get(),
                                    "po#,line,item,location,budget,budget_split", "po_line_item"),
            kDbOk);
  int row = 0;
  _BktInsert(*line, 0, row);
  _ColSetDec64(*line, row, _BktGetColNum(*line, "unit_price"), Money("10.00"));
  for (const std::string& b : budgets) {
    _BktInsert(*rows, 0, row);
    const bool split = b.find('%') != std::string::npos;
    _ColSetTextW(*rows, row, _BktGetColNum(*rows, split ? "budget_split" : "budget"), b);
    _ColSetTextW(*rows, row, _BktGetColNum(*rows, "location"), "MAIN");
  }
  EXPECT_TRUE(act::SavePoLine(*po, *line, *rows));
  return static_cast<int16_t>(_ColGetInt(*line, 1, _BktGetColNum(*line, "line")));
}

void Approve(int16_t line, std::vector<int> items) {
  BktHandle pending = ActModule::Pending(act::Activity::Approve, 1, line, std::move(items));
  EXPECT_TRUE(act::RunActivity(act::Activity::Approve, pending, act::ActivityEntry{}));
  _BktDestroy(&pending);
}

class Patterns : public ::testing::Test {
 protected:
  ActModule m;
  int64_t Count(const std::string& sql) { return m.Count(sql); }
  int32_t KeyOf(const std::string& name) {
    return static_cast<int32_t>(
        Count("select \"po_line_pattern#\" from po_line_pattern where pattern='" + name + "'"));
  }
};

TEST_F(Patterns, TakenNameWritesNothingUntilReplaceIsChosen) {
  const int16_t model = MakeLine({"ADULT.2026 60% + REF.2026 40%", "REF.2026"});
  const int16_t other = MakeLine({"ADULT.2026", "ADULT.2026", "REF.2026"});
  int32_t key = 0;
  ASSERT_EQ(pat::SavePattern(1, model, "Branches", false, key), pat::SaveResult::Saved);
  EXPECT_EQ(key, KeyOf("Branches"));
  const std::string mine = " where \"po_line_pattern#\"=" + std::to_string(key);
  EXPECT_EQ(Count("select count(*) from po_line_item_pattern" + mine), 2);
  // Every split row of the line: item 1's two, item 2's single budget (100 %).
  EXPECT_EQ(m.Query("select item, budget, percentage from po_line_item_budget_pattern" + mine +
                    " order by budget"),
            (Rows{{"1", "ADULT.2026", "60"}, {"1", "REF.2026", "40"}, {"2", "REF.2026", "100"}}));
  EXPECT_EQ(m.Query("select location, budget from po_line_item_pattern" + mine + " order by item"),
            (Rows{{"MAIN", ""}, {"MAIN", "REF.2026"}}));
  const int64_t patterns = Count("select count(*) from po_line_pattern");

  int32_t again = 0;
  EXPECT_EQ(pat::SavePattern(1, other, "  Branches ", false, again), pat::SaveResult::NameExists);
  EXPECT_EQ(again, 0);
  EXPECT_EQ(Count("select count(*) from po_line_pattern"), patterns);
  EXPECT_EQ(Count("select count(*) from po_line_item_pattern" + mine), 2);

  ASSERT_EQ(pat::SavePattern(1, other, "Branches", true, again), pat::SaveResult::Saved);
  EXPECT_EQ(again, key) << "a replaced pattern keeps its key (templates name it)";
  EXPECT_EQ(Count("select count(*) from po_line_item_pattern" + mine), 3);
  EXPECT_EQ(
      m.Query("select item, budget, percentage from po_line_item_budget_pattern" + mine +
              " order by item"),
      (Rows{{"1", "ADULT.2026", "100"}, {"2", "ADULT.2026", "100"}, {"3", "REF.2026", "100"}}));

  const int16_t empty = MakeLine({});
  EXPECT_EQ(pat::SavePattern(1, empty, "Nothing", false, again), pat::SaveResult::NoItems);
  EXPECT_EQ(Count("select count(*) from po_line_pattern"), patterns);
  EXPECT_TRUE(acqtest::ShownErrors().empty());
}

// Two workstations (processes with sessions of their own) save the same
// name at the same moment: one saves, the other is told the name is taken;
// neither meets a constraint error.
TEST_F(Patterns, SameNameFromTwoWorkstationsSavesOnce) {
  const int16_t a = MakeLine({"ADULT.2026"});
  const int16_t b = MakeLine({"REF.2026", "REF.2026"});
  testproc::Gate gate;
  const std::string dir = m.db.Dir().string();
  auto workstation = [&](int16_t line, const std::string& report) {
    return testproc::Spawn([&gate, line, report] {
      DbMsg msg;
      HDb own = nullptr;
      if (_DbCloneHDb(acq::AcqDbGlobal::Session(), own, msg) != kDbOk) return 10;
      acq::AcqDbGlobal::Globals().session = own;
      acqtest::ShownErrors().clear();
      gate.Wait();
      int32_t key = 0;
      const pat::SaveResult r = pat::SavePattern(1, line, "Shared", false, key);
      _DbLogout(&own);
      std::ofstream(report) << static_cast<int>(r) << " " << acqtest::ShownErrors().size() << "\n";
      return 0;
    });
  };
  const pid_t first = workstation(a, dir + "/ws1.txt");
  const pid_t second = workstation(b, dir + "/ws2.txt");
  gate.Open(2);
  ASSERT_EQ(testproc::WaitFor(first, 60), 0);
  ASSERT_EQ(testproc::WaitFor(second, 60), 0);
  std::multiset<int> results;
  for (const char* f : {"/ws1.txt", "/ws2.txt"}) {
    int result = -1;
    size_t errors = 99;
    std::ifstream(dir + f) >> result >> errors;
    results.insert(result);
    EXPECT_EQ(errors, 0u) << f;
  }
  EXPECT_EQ(results, (std::multiset<int>{static_cast<int>(pat::SaveResult::Saved),
                                         static_cast<int>(pat::SaveResult::NameExists)}));
  EXPECT_EQ(Count("select count(*) from po_line_pattern where pattern='Shared'"), 1);
  const int64_t items = Count(
      "select count(*) from po_line_item_pattern where "
      "\"po_line_pattern#\"=" +
      std::to_string(KeyOf("Shared")));
  EXPECT_TRUE(items == 1 || items == 2) << items;
}

TEST_F(Patterns, ApplyKeepsApprovedItemsAndMovesMoneyBothWays) {
  const int16_t model = MakeLine({"ADULT.2026 60% + REF.2026 40%", "REF.2026"});
  int32_t key = 0;
  ASSERT_EQ(pat::SavePattern(1, model, "Split", false, key), pat::SaveResult::Saved);
  const int16_t mixed = MakeLine({"ADULT.2026", "ADULT.2026", "ADULT.2026"});
  Approve(mixed, {1});
  const int16_t approved = MakeLine({"REF.2026"});
  Approve(approved, {1});
  const MoneyPicture before = m.Money();

  pat::Refusal refusal;
  EXPECT_EQ(pat::ApplyPattern(key, 1, approved, refusal), pat::ApplyResult::Refused);
  EXPECT_EQ(refusal.id, 440);
  EXPECT_EQ(refusal.a2, std::to_string(approved));
  EXPECT_FALSE(refusal.a1.empty()) << "the PO's number";

  ASSERT_EQ(pat::ApplyPattern(key, 1, mixed, refusal), pat::ApplyResult::Applied);
  const std::string where = " where \"po#\"=1 and line=" + std::to_string(mixed);
  // Item 1 stays (approved); 2 and 3 go; the pattern's two come after the
  // last item ever numbered (3), not after the highest left.
  EXPECT_EQ(
      m.Query("select item, budget, budget_split from po_line_item" + where + " order by item"),
      (Rows{{"1", "ADULT.2026", ""},
            {"4", "", "ADULT.2026 60% + REF.2026 40%"},
            {"5", "REF.2026", ""}}));
  EXPECT_EQ(Count("select last_item from po_line" + where), 5);
  // Money: two items of 10.00 came off ADULT; 6.00 + 0 went on ADULT and
  // 4.00 + 10.00 on REF. The approved line did not move.
  const MoneyPicture after = m.Money();
  EXPECT_EQ(Sub(after.at("ADULT.2026").onOrder, before.at("ADULT.2026").onOrder), Money("-14.00"));
  EXPECT_EQ(Sub(after.at("REF.2026").onOrder, before.at("REF.2026").onOrder), Money("14.00"));
  ExpectMoneyAgrees(before, after, true);
  EXPECT_EQ(Count("select count(*) from po_line_item where \"po#\"=1 and line=" +
                  std::to_string(approved)),
            1);
}

TEST_F(Patterns, ApplyRefusesBadPatternBudgetsAndChangesNothing) {
  struct Case {
    const char* rows;  // (budget, percentage) of item 1 of the pattern
    int refusal;
  };
  const Case cases[] = {
      {"('ADULT.2026',50),('REF.2026',40)", 449},   // 90 %
      {"('ADULT.2026',50),('adult.2026',50)", 76},  // one budget, two spellings
      {"('NOSUCH.2026',100)", 454},                 // not a budget of the library
  };
  const int16_t line = MakeLine({"ADULT.2026"});
  const MoneyPicture before = m.Money();
  int n = 100;
  for (const Case& c : cases) {
    ++n;
    m.db.Exec("insert into po_line_pattern(\"po_line_pattern#\",pattern) values(" +
              std::to_string(n) + ",'bad" + std::to_string(n) +
              "');"
              "insert into po_line_item_pattern(\"po_line_pattern#\",item,location) values(" +
              std::to_string(n) + ",1,'MAIN');");
    std::string rows = c.rows, sql;
    for (size_t at = 0; (at = rows.find('(', at)) != std::string::npos; ++at)
      rows.insert(at + 1, std::to_string(n) + ",1,");
    m.db.Exec(
        "insert into po_line_item_budget_pattern(\"po_line_pattern#\",item,budget,"
        "percentage) values" +
        rows);
    pat::Refusal refusal;
    EXPECT_EQ(pat::ApplyPattern(n, 1, line, refusal), pat::ApplyResult::Refused) << c.rows;
    EXPECT_EQ(refusal.id, c.refusal) << c.rows;
  }
  pat::Refusal refusal;
  EXPECT_EQ(pat::ApplyPattern(999, 1, line, refusal), pat::ApplyResult::Refused);
  EXPECT_EQ(refusal.id, 1842) << "a pattern another workstation deleted";
  EXPECT_EQ(m.Query("select item, budget from po_line_item where \"po#\"=1 and line=" +
                    std::to_string(line)),
            (Rows{{"1", "ADULT.2026"}}));
  EXPECT_EQ(m.Money().at("ADULT.2026").onOrder, before.at("ADULT.2026").onOrder);
  EXPECT_TRUE(acqtest::ShownErrors().empty());
}

TEST_F(Patterns, DeleteRemovesEveryRowAndFreesTheTemplate) {
  const int16_t model = MakeLine({"ADULT.2026 60% + REF.2026 40%"});
  int32_t key = 0;
  ASSERT_EQ(pat::SavePattern(1, model, "Gone", false, key), pat::SaveResult::Saved);
  m.db.Exec("insert into po_template(po_template,\"vendor#\",\"po_line_pattern#\") values('T',1," +
            std::to_string(key) + ")");
  ASSERT_TRUE(pat::DeletePattern(key));
  for (const char* table :
       {"po_line_pattern", "po_line_item_pattern", "po_line_item_budget_pattern"})
    EXPECT_EQ(Count(std::string("select count(*) from ") + table +
                    " where \"po_line_pattern#\"=" + std::to_string(key)),
              0)
        << table;
  EXPECT_EQ(m.Query("select \"po_line_pattern#\" from po_template where po_template='T'"),
            (Rows{{""}}));
  EXPECT_EQ(Count("select count(*) from po_line_item_pattern"), 3) << "other patterns stay";
}

TEST_F(Patterns, TemplateGivesOnlyItsOwnHeaderColumns) {
  m.db.Exec(
      "insert into po_template(po_template,po_template_descr,\"vendor#\",currency,"
      "location,spent_event,user_assign_po_number) values('Std','Standing',1,'USD','MAIN',"
      "1,1)");
  pat::TemplateValues v;
  pat::Refusal refusal;
  ASSERT_TRUE(pat::LoadTemplate("Std", v, refusal));
  EXPECT_EQ(v.header.at("vendor#"), "1");
  EXPECT_EQ(v.header.at("currency"), "USD");
  EXPECT_EQ(v.header.at("spent_event"), "1");
  EXPECT_TRUE(v.userAssigns);
  EXPECT_EQ(v.pattern, 0);
  for (const char* never : {"po_template", "po_template_descr", "po#", "po_number", "creation_date",
                            "completion_date", "renew_po#", "user_assign_po_number"})
    EXPECT_EQ(v.header.count(never), 0u) << never;
  EXPECT_EQ(v.header.count("vendor_contract"), 0u) << "NULL columns are left out";

  EXPECT_FALSE(pat::LoadTemplate("None", v, refusal));
  EXPECT_EQ(refusal.id, 1843);
}

TEST_F(Patterns, TemplateOfVanishedVendorMakesNothing) {
  ACQ_SQLITE_ONLY("the server keeps the vendor a template names");
  m.db.Exec(
      "PRAGMA foreign_keys=OFF;"
      "insert into po_template(po_template,\"vendor#\") values('Old',4242)");
  pat::TemplateValues v;
  pat::Refusal refusal;
  EXPECT_FALSE(pat::LoadTemplate("Old", v, refusal));
  EXPECT_EQ(refusal.id, 1844);
  EXPECT_EQ(refusal.a2, "4242");
}

}  // namespace
