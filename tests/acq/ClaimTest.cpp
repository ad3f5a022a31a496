// Claims on the demo library: which items are due (get_claims_review and
// po_claim_print agree), what a printed claim records
// (print_claim_update_db), the claim dates a reset gives from the vendor's
// settings, and receive and cancel taking items off the review.
//
// Demo vendors (first_claim_delay, claim_interval, max_claims): 1
// Northfield (30, 21, 3) with POs 1 and 7, 2 O'Brien (45, 30, 2) with POs
// 2 and 8, 4 Thames (30, 30, 4) with PO 4, 5 Cascade (NULL, 30, 0) with
// PO 6. Dates are set relative to today, so the tests hold any day.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DbActFixture.h"
#include "acq/db/AcqDbBase.h"
#include "acq/db/AcqDbGen.h"
#include "acq/renewal/AcqClaim.h"

namespace {

using acttest::ActModule;
namespace act = acq::AcqDbAct;

// {today}, {today-N} and {today+N} as day numbers.
std::string Fill(std::string text) {
  const long today = DbDabs_GetDate();
  for (size_t at; (at = text.find("{today")) != std::string::npos;) {
    const size_t end = text.find('}', at);
    const std::string offset = text.substr(at + 6, end - at - 6);
    const long value = today + (offset.empty() ? 0 : std::stol(offset));
    text.replace(at, end - at + 1, std::to_string(value));
  }
  return text;
}

std::string Flat(const acttest::Rows& rows, const char* cellSep = ",", const char* rowSep = ";") {
  std::string out;
  for (size_t r = 0; r < rows.size(); ++r)
    for (size_t c = 0; c < rows[r].size(); ++c)
      out += (r && !c ? rowSep : c ? cellSep : "") + rows[r][c];
  return out;
}

// "po/line/item ..." of the first result set of a procedure's Buckets.
std::string Keys(std::vector<BktHandle>& sets) {
  std::string out;
  if (!sets.empty()) {
    BktHandle b = sets[0];
    const int po = _BktGetColNum(b, "po#"), line = _BktGetColNum(b, "line"),
              item = _BktGetColNum(b, "item");
    for (int row = 1; row <= _BktCountAll(b); ++row)
      out += (row > 1 ? " " : "") + std::to_string(_ColGetInt(b, row, po)) + "/" +
             std::to_string(_ColGetInt(b, row, line)) + "/" +
             std::to_string(_ColGetInt(b, row, item));
  }
  for (BktHandle& set : sets) _BktDestroy(&set);
  sets.clear();
  return out;
}

// The errors the module showed, for a failure's message.
std::string Shown() {
  std::string out;
  for (const std::string& e : acqtest::ShownErrors()) out += e + "\n";
  return out;
}

std::string Review() {
  DbMsg msg;
  std::vector<BktHandle> sets;
  EXPECT_EQ(acq::AcqDbGen::GetClaimsReview(msg, sets), kDbOk) << msg.text;
  return Keys(sets);
}

std::string ClaimLetter(int32_t po) {
  DbMsg msg;
  std::vector<BktHandle> sets;
  EXPECT_EQ(acq::AcqDbGen::PoClaimPrint(msg, po, sets), kDbOk) << msg.text;
  return Keys(sets);
}

// Every item that carries a claim date falls due yesterday.
constexpr const char* kAllDue =
    "update po_line_item set next_claim_date={today-1} where next_claim_date is not null;";
// What the review lists then, by vendor name and PO number.
constexpr const char* kDemoDue = "1/3/1 1/3/2 7/1/1 7/2/1 8/1/1 8/1/2 2/2/1 4/2/1 4/2/2";

TEST(Claims, ReviewListsOrderedOpenItemsDueWhileTheVendorStillClaims) {
  const struct {
    const char* name;
    const char* setup;   // after kAllDue
    const char* listed;
  } cases[] = {
      {"every open ordered item with a date", "", kDemoDue},
      {"due today is due, tomorrow is not",
       "update po_line_item set next_claim_date={today} where \"po#\"=4 and item=1;"
       "update po_line_item set next_claim_date={today+1} where \"po#\"=4 and item=2;",
       "1/3/1 1/3/2 7/1/1 7/2/1 8/1/1 8/1/2 2/2/1 4/2/1"},
      {"a vendor with max_claims 0 is never claimed",
       "update vendor set max_claims=0 where \"vendor#\"=1;", "8/1/1 8/1/2 2/2/1 4/2/1 4/2/2"},
      {"claims up to max_claims",   // Thames claims four times
       "update po_line_item set claim_count=4 where \"po#\"=4 and item=1;"
       "update po_line_item set claim_count=3 where \"po#\"=4 and item=2;",
       "1/3/1 1/3/2 7/1/1 7/2/1 8/1/1 8/1/2 2/2/1 4/2/2"},
      {"received and cancelled items keep no claim",
       "update po_line_item set receive_date={today-3} where \"po#\"=8 and item=1;"
       "update po_line_item set cancel_date={today-3} where \"po#\"=8 and item=2;",
       "1/3/1 1/3/2 7/1/1 7/2/1 2/2/1 4/2/1 4/2/2"},
      {"items not ordered are not claimed",
       "update po_line_item set next_claim_date={today-9} where \"po#\" in (3, 6);"
       "update vendor set max_claims=2 where \"vendor#\"=5;", kDemoDue},
      {"a Cascade order once its vendor claims",
       "update po_line_item set order_date={today-40}, next_claim_date={today-10} "
       "where \"po#\"=6 and line=1;"
       "update vendor set max_claims=1 where \"vendor#\"=5;",
       "6/1/1 6/1/2 1/3/1 1/3/2 7/1/1 7/2/1 8/1/1 8/1/2 2/2/1 4/2/1 4/2/2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ActModule m(Fill(std::string(kAllDue) + c.setup));
    EXPECT_EQ(Review(), c.listed);
    // A claim letter lists the PO's part of the review.
    EXPECT_EQ(ClaimLetter(8), std::string(c.listed).find("8/1/1") != std::string::npos
                                  ? "8/1/1 8/1/2"
                                  : "");
  }
}

// Northfield claims three times, 21 days apart. Item 7/1/1 fell due 50
// days ago; 7/2/1 is due only in 5 days and is left alone, and so is
// every other PO.
TEST(Claims, EachPrintedClaimCountsAndMovesTheDateUntilMaxClaims) {
  ActModule m(Fill("update po_line_item set next_claim_date={today-50} where \"po#\"=7 and "
                   "line=1; update po_line_item set next_claim_date={today+5} where \"po#\"=7 "
                   "and line=2; update po_line_item set printed_date=NULL where \"po#\"=7;"));
  const std::string others = Flat(m.Query(
      "select \"po#\", line, item, next_claim_date, claim_count from po_line_item where "
      "\"po#\"<>7 order by 1, 2, 3"));
  const char* item = "select claim_count, next_claim_date, printed_date from po_line_item "
                     "where \"po#\"=7 order by line";
  const struct {
    const char* after;   // both items after the claim
    bool listed;         // 7/1/1 still in the review
  } claims[] = {
      {"1,{today-29},{today};0,{today+5},", true},
      {"2,{today-8},{today};0,{today+5},", true},
      {"3,{today+13},{today};0,{today+5},", false},   // max_claims reached
      {"3,{today+13},{today};0,{today+5},", false},   // nothing due: nothing changes
  };
  for (size_t n = 0; n < std::size(claims); ++n) {
    SCOPED_TRACE("claim " + std::to_string(n + 1));
    uint8_t result = 9;
    ASSERT_TRUE(acq::AcqDbGen::PrintClaimUpdateDb(7, result)) << Shown();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Flat(m.Query(item)), Fill(claims[n].after));
    EXPECT_EQ(Review().find("7/1/1") != std::string::npos, claims[n].listed);
  }
  EXPECT_EQ(Flat(m.Query(Fill("select item, next_claim_date from po_line_item_history where "
                              "po_activity_type='claim' and transaction_type=0 and "
                              "date={today} order by \"history#\""))),
            Fill("1,{today-29};1,{today-8};1,{today+13}"));
  // Back in the past, a fully claimed item stays off the review.
  m.db.Exec(Fill("update po_line_item set next_claim_date={today-100} where \"po#\"=7"));
  EXPECT_EQ(Review().find("7/1/1"), std::string::npos);
  EXPECT_NE(Review().find("7/2/1"), std::string::npos);
  EXPECT_EQ(Flat(m.Query("select \"po#\", line, item, next_claim_date, claim_count from "
                         "po_line_item where \"po#\"<>7 order by 1, 2, 3")),
            others);
}

TEST(Claims, AVendorWithoutClaimIntervalIsClaimedOnce) {
  ActModule m(Fill("update vendor set claim_interval=NULL where \"vendor#\"=4;"
                   "update po_line_item set next_claim_date={today-2} where \"po#\"=4 and "
                   "line=2;"));
  uint8_t result = 9;
  ASSERT_TRUE(acq::AcqDbGen::PrintClaimUpdateDb(4, result)) << Shown();
  EXPECT_EQ(Flat(m.Query("select claim_count, next_claim_date from po_line_item where "
                         "\"po#\"=4 and line=2 order by item")),
            "1,;1,");
  EXPECT_EQ(Review().find("4/2/"), std::string::npos);
}

// Every item of the PO first gets day 7 as its claim date, then the reset.
// PO 1 (Northfield, ordered day 46033): lines 1 and 2 received, line 3
// open. PO 2 (O'Brien, ordered 46041): line 1 received, 2/1 open, 2/2
// cancelled.
TEST(Claims, ResetGivesOpenOrderedItemsTheVendorsFirstClaimDate) {
  const struct {
    const char* name;
    const char* setup;
    int32_t po;
    std::vector<int16_t> lines;
    const char* dates;   // the PO's items' next_claim_date in key order
  } cases[] = {
      {"first claim delay", "", 1, {}, "7,7,7,7,7,46063,46063"},
      {"no first claim delay: the claim interval",
       "update vendor set first_claim_delay=NULL where \"vendor#\"=1", 1, {},
       "7,7,7,7,7,46054,46054"},
      {"neither: no claim date",
       "update vendor set first_claim_delay=NULL, claim_interval=NULL where \"vendor#\"=1", 1,
       {}, "7,7,7,7,7,,"},
      {"max_claims 0 leaves every date", "update vendor set max_claims=0 where \"vendor#\"=1",
       1, {}, "7,7,7,7,7,7,7"},
      {"only the lines given", "", 2, {2}, "7,7,46086,7"},
      {"a line with nothing open", "", 2, {1}, "7,7,7,7"},
      {"items not ordered", "update po_line_item set order_date=NULL where \"po#\"=1 and item=2",
       1, {3}, "7,7,7,7,7,46063,7"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ActModule m(std::string(c.setup) + (*c.setup ? ";" : "") +
                "update po_line_item set next_claim_date=7 where \"po#\"=" + std::to_string(c.po));
    {
      acq::AcqDbBase::TransactionHold hold;
      ASSERT_TRUE(acq::AcqClaim::ResetClaimDates(c.po, c.lines));
      ASSERT_TRUE(hold.Commit());
    }
    EXPECT_EQ(Flat(m.Query("select next_claim_date from po_line_item where \"po#\"=" +
                           std::to_string(c.po) + " order by line, item"),
                   ",", ","),
              c.dates);
  }
}

// The reset writes in the caller's transaction: a rollback takes it back.
TEST(Claims, ResetIsUndoneWithTheCallersTransaction) {
  ActModule m("update po_line_item set next_claim_date=7 where \"po#\"=1");
  {
    acq::AcqDbBase::TransactionHold hold;
    ASSERT_TRUE(acq::AcqClaim::ResetClaimDates(1));
    hold.Rollback();
  }
  EXPECT_EQ(Flat(m.Query("select count(*) from po_line_item where \"po#\"=1 and "
                         "next_claim_date=7")),
            "7");
}

// The activities themselves: receiving or cancelling an item clears its
// claim date, so it leaves the review; a back order's date puts it back.
TEST(Claims, ReceiveAndCancelTakeItemsOffTheReviewBackOrderSetsTheDate) {
  acttest::RecordingPerson person(true);
  ActModule m(Fill(kAllDue));
  {
    BucketHold items(ActModule::Pending(act::Activity::Receive, 8, 1, {1}));
    ASSERT_TRUE(act::RunActivity(act::Activity::Receive, *items, {}));
  }
  {
    BucketHold items(ActModule::Pending(act::Activity::Cancel, 8, 1, {2}));
    ASSERT_TRUE(act::RunActivity(act::Activity::Cancel, *items, {}));
  }
  {
    BucketHold items(ActModule::Pending(act::Activity::BackOrder, 7, 1, {1}));
    act::ActivityEntry entry;
    entry.nextClaimDate = static_cast<DayNum>(DbDabs_GetDate() + 30);
    ASSERT_TRUE(act::RunActivity(act::Activity::BackOrder, *items, entry));
  }
  EXPECT_EQ(Flat(m.Query("select item, next_claim_date from po_line_item where \"po#\"=8 and "
                         "line=1 order by item")),
            "1,;2,");
  EXPECT_EQ(Review(), "1/3/1 1/3/2 7/2/1 2/2/1 4/2/1 4/2/2");
}

}  // namespace
