// The PO model's rules: history codes by spent event, note merges, split
// texts, each activity's pending items and a line's counts on the demo
// library, and the pending cancellation credits.
#include <gtest/gtest.h>

#include "DbActFixture.h"
#include "acq/db/AcqDb.h"

namespace {

using acttest::ActModule;
namespace act = acq::AcqDbAct;
using act::Activity;

TEST(DbActRules, HistoryCodeFollowsTheSpentEventRulesInOrder) {
  struct Case {
    Activity activity;
    int spentEvent;
    bool invoiced, received;
    const char* code;
  } const cases[] = {
      {Activity::Cancel, 2, false, true, "refund"},   // prepaid, not invoiced: refunded
      {Activity::Credit, 2, true, false, "credit"},
      {Activity::Refund, 1, true, false, "refund"},
      {Activity::Cancel, 1, false, true, "retrn"},
      {Activity::Credit, 0, true, true, "credit"},
      {Activity::Credit, 0, true, false, "cancel"},   // invoiced alone is not spent
      {Activity::Cancel, 0, false, false, "cancel"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(act::HistoryCodeFor(c.activity, c.spentEvent, c.invoiced, c.received), c.code)
        << c.spentEvent << c.invoiced << c.received;
}

TEST(DbActRules, NotesMergeNewestFirstOrLastCutAt255Characters) {
  const std::string e252(252, 'e');
  std::string accents;   // two bytes a character: the cut counts characters
  for (int n = 0; n < 254; ++n) accents += "\xC3\xA9";
  struct Case {
    std::string entered, existing, changeOrder, internal;
  } const cases[] = {
      {"new", "", "new", "new"},
      {"new", "old", "new old", "old new"},
      {"new", e252, "new " + e252.substr(0, 251), e252 + " ne"},
      {accents, "x", accents + " ", "x " + accents.substr(0, 253 * 2)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(act::MergeChangeOrderNote(c.entered, c.existing), c.changeOrder);
    EXPECT_EQ(act::MergeInternalNote(c.existing, c.entered), c.internal);
  }
}

TEST(DbActRules, BudgetSplitTextsAreReadOrRefused) {
  struct Case {
    const char* text;
    const char* read;   // "budget percent;..." or nullptr: refused
  } const cases[] = {
      {"ADULT.2026 60% + REF.2026 40%", "ADULT.2026 60;REF.2026 40;"},
      {"  AV.2026   50 %+ADULT.2026 50%  ", "AV.2026 50;ADULT.2026 50;"},
      {"A.2026 60% + B.2026 0% + C.2026 40%", "A.2026 60;B.2026 0;C.2026 40;"},
      {"", nullptr},           {"ADULT.2026 60", nullptr}, {"ADULT.2026 60% +", nullptr},
      {"ADULT.2026 101%", nullptr}, {"ADULT.2026 6.5%", nullptr},
      {"AVERYLONGACCOUNT.2026 100%", nullptr}, {"ADULT 2026 100%", nullptr},
  };
  for (const Case& c : cases) {
    std::vector<acq::AcqDbBudget::SplitEntry> split;
    EXPECT_EQ(act::ParseBudgetSplit(c.text, split), c.read != nullptr) << c.text;
    std::string read;
    for (const auto& e : split) read += e.budget + " " + std::to_string(e.percentage) + ";";
    EXPECT_EQ(read, c.read ? c.read : "") << c.text;
  }
}

TEST(DbActModel, PendingItemsOfEachActivity) {
  // PO 1 line 3 item 1 invoiced, not received; PO 8 line 2 item 2 without budgets.
  ActModule m(
      "update po_line_item set invoice_date=46000 where \"po#\"=1 and line=3 and item=1;"
      "update po_line_item set budget=NULL where \"po#\"=8 and line=2 and item=2;");
  struct Case {
    Activity activity;
    int32_t po;
    int16_t line;
    int32_t statement;
    const char* items;
  } const cases[] = {
      {Activity::Approve, 6, 1, 0, "1,2"},       {Activity::Approve, 1, 1, 0, ""},
      {Activity::Receive, 2, 2, 0, "1"},         {Activity::BackOrder, 1, 1, 0, ""},
      {Activity::Cancel, 2, 2, 0, "1"},          {Activity::Distribute, 2, 2, 0, "1"},
      {Activity::Invoice, 1, 2, 0, "1,2"},       // a single budget counts as budgets
      {Activity::Invoice, 1, 3, 0, "2"},         {Activity::Invoice, 8, 2, 0, "1"},
      {Activity::ReceiveInvoice, 1, 3, 0, "2"},  {Activity::SupInvoice, 1, 1, 2, ""},
      {Activity::SupInvoice, 1, 1, 1, "1,2,3"},  {Activity::SupInvoice, 1, 3, 1, "1"},
      {Activity::Credit, 1, 1, 1, "1,2,3"},
      {Activity::Credit, 1, 3, 1, ""},           // spent event 0: not received, no credit
      {Activity::Refund, 5, 1, 2, "1"},          {Activity::Discontinue, 4, 2, 0, "1,2"},
      {Activity::Discontinue, 5, 2, 0, ""},      {Activity::Discontinue, 1, 1, 0, ""},
  };
  for (const Case& c : cases) {
    BucketHold items(ActModule::Pending(c.activity, c.po, c.line, {}, c.statement));
    std::string found;
    for (int row = 1; row <= _BktCountAll(*items); ++row)
      found += (row > 1 ? "," : "") + std::to_string(_ColGetInt(*items, row, _BktGetColNum(*items, "item")));
    EXPECT_EQ(found, c.items) << static_cast<int>(c.activity) << " PO " << c.po << "/" << c.line;
  }
}

TEST(DbActModel, LineCountsAndFullyProcessed) {
  ActModule m("update po_line_item set order_date=46000, cancel_date=46001 where \"po#\"=6");
  struct Case {
    int32_t po;
    int16_t line;
    act::LineCounts counts;
    bool fully;
  } const cases[] = {
      {1, 1, {3, 3, 0}, true}, {1, 3, {2, 0, 0}, false}, {2, 2, {2, 0, 1}, false},
      {3, 1, {0, 0, 0}, false},   // nothing ordered
      {6, 1, {2, 0, 2}, true},    // all cancelled, none received
  };
  for (const Case& c : cases) {
    act::LineCounts counts;
    ASSERT_TRUE(act::LoadLineCounts(c.po, c.line, counts));
    EXPECT_EQ(std::vector<int>({counts.ordered, counts.received, counts.cancelled}),
              std::vector<int>({c.counts.ordered, c.counts.received, c.counts.cancelled}));
    EXPECT_EQ(act::FullyProcessed(counts), c.fully) << c.po << "/" << c.line;
  }
}

TEST(DbActModel, PendingCancelCreditsAreTheUncreditedInvoicesOfCancelledItems) {
  // Items 1 and 2 of PO 1 line 1 cancelled after their invoice; 2 credited.
  ActModule m(
      "update po_line_item set cancel_date=46100 where \"po#\"=1 and line=1 and item<3;"
      "insert into po_line_item_budget_amount(\"po#\", line, item, budget, amount, spent,"
      " \"statement#\", statement_line, statement_line_type)"
      " values (1, 1, 2, 'ADULT.2026', -24950000, 0, 2, 2, 3);");
  std::vector<BktHandle> sets;
  DbMsg msg;
  ASSERT_EQ(acq::AcqDb::MultLoad(msg, sets, "1", "get_pending_cancel_credits"), kDbOk) << msg.text;
  BucketHold set(sets.at(0));
  ASSERT_EQ(_BktCountAll(*set), 1);
  EXPECT_EQ(_ColGetInt(*set, 1, _BktGetColNum(*set, "item")), 1);
  EXPECT_EQ(_ColGetDec64(*set, 1, _BktGetColNum(*set, "amount")), acttest::Money("24.95"));
}

}  // namespace
