// Items and copies made for ordered lines, on the demo library: what an
// item and a copy carry, refusals, a failure that leaves nothing half made,
// two workstations creating for the same line at once, and the removal of
// what a line created.
//
// Demo lines used: PO 1 (Northfield, item_creation 2) line 1 received,
// line 3 approved and not received; PO 4 (Thames: claims 30/30/4) line 2
// item 1 on copy 2, item 2 without a copy; PO 6 line 1 (Cascade) has no
// bib# and is not approved.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "acq/DbActFixture.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/po/AcqDbCopy.h"

namespace {

using acttest::ActModule;
namespace cp = acq::AcqDbCopy;
using cp::CreateResult;

std::string One(ActModule& m, const std::string& sql) {
  const acttest::Rows rows = m.Query(sql);
  if (rows.empty()) return "(none)";
  std::string out;
  for (size_t c = 0; c < rows[0].size(); ++c) out += (c ? "|" : "") + rows[0][c];
  return out;
}

std::string ItemNumOf(ActModule& m, int po, int line, int item) {
  return One(m, "select \"item#\" from po_line_item where \"po#\"=" + std::to_string(po) +
                    " and line=" + std::to_string(line) + " and item=" + std::to_string(item));
}

TEST(AcqDbCopy, ItemCarriesTheLineItemsPlaceAndStatusByReceipt) {
  ActModule m;
  const std::string today = std::to_string(DbDabs_GetDate());
  struct Case {
    const char* name;
    int line, item;
    const char* barcode;
    const char* row;   // ibarcode|bib#|location|collection|itype|item_status|price|source|call
  } const cases[] = {
      {"received: n, typed barcode", 1, 1, "31234000012345",
       "31234000012345|1001|MAIN|ADULT|BOOK|n|24950000|Northfield Book Distributors|"},
      {"not received: r, temporary barcode", 3, 2, "",
       "acq{item}|1003|MAIN|NONFIC|BOOK|r|38500000|Northfield Book Distributors|"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int32_t made = 0;
    ASSERT_EQ(cp::CreateItem(1, static_cast<int16_t>(c.line), static_cast<int16_t>(c.item),
                             {c.barcode, ""}, made),
              CreateResult::Created);
    ASSERT_GT(made, 0);
    std::string want = c.row;
    if (const size_t at = want.find("{item}"); at != std::string::npos)
      want.replace(at, 6, std::to_string(made));
    const std::string key = std::to_string(made);
    EXPECT_EQ(One(m, "select ibarcode, \"bib#\", location, collection, itype, item_status, "
                     "price, source, call from item where \"item#\"=" + key),
              want);
    EXPECT_EQ(One(m, "select creation_date from item where \"item#\"=" + key), today);
    EXPECT_EQ(ItemNumOf(m, 1, c.line, c.item), key);
    EXPECT_EQ(One(m, "select activity, user_name from item_activity where \"item#\"=" + key),
              "create|admin");
    // Once made, a second attempt (another workstation's) makes nothing.
    int32_t again = 0;
    EXPECT_EQ(cp::CreateItem(1, static_cast<int16_t>(c.line), static_cast<int16_t>(c.item),
                             {"", ""}, again),
              CreateResult::AlreadyCreated);
    EXPECT_EQ(again, 0);
  }
  EXPECT_EQ(One(m, "select count(*) from item"), "2");
}

TEST(AcqDbCopy, RefusedOrFailedCreationLeavesNothingAndNoKeyUsed) {
  struct Case {
    const char* name;
    const char* setup;   // on the test's own connection, after the first item
    const char* barcode;
    CreateResult result;
  } const cases[] = {
      {"wrong shape", "", "12345", CreateResult::BadBarcode},
      {"barcode of another item", "", "31234000077777", CreateResult::BarcodeInUse},
      // The activity log fails after the item row has been written.
      {"failure after the item row", "DROP TABLE item_activity", "31234000088888",
       CreateResult::Failed},
      // The line's new bib is made first; the failure takes it back too.
      {"failure after the new bib", "DROP TABLE item_activity", "", CreateResult::Failed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ActModule m;
    int32_t first = 0;
    ASSERT_EQ(cp::CreateItem(1, 3, 1, {"31234000077777", ""}, first), CreateResult::Created);
    if (*c.setup) m.db.Exec(c.setup);
    const std::string keys = One(m, "select key_table, next_key from pw_key where key_table in "
                                    "('item','bib_control') order by key_table");
    const bool newBib = std::string(c.name).find("bib") != std::string::npos;
    int32_t made = 0;
    EXPECT_EQ(cp::CreateItem(newBib ? 6 : 1, newBib ? 1 : 3, newBib ? 1 : 2, {c.barcode, ""},
                             made),
              c.result);
    EXPECT_EQ(made, 0);
    EXPECT_EQ(One(m, "select count(*) from item"), "1");
    EXPECT_EQ(ItemNumOf(m, 1, 3, 2), "");
    EXPECT_EQ(ItemNumOf(m, 6, 1, 1), "");
    EXPECT_EQ(One(m, "select \"bib#\" from po_line where \"po#\"=6 and line=1"), "");
    EXPECT_EQ(One(m, "select count(*) from bib"), "0");   // the first item's line had one
    EXPECT_EQ(One(m, "select key_table, next_key from pw_key where key_table in "
                     "('item','bib_control') order by key_table"),
              keys);
    acqtest::ShownErrors().clear();
  }
}

TEST(AcqDbCopy, LineWithoutBibGetsAnAcquisitionsRecordWithItsFirstItem) {
  ActModule m;
  int32_t made = 0;
  ASSERT_EQ(cp::CreateItem(6, 1, 1, {"", ""}, made), CreateResult::Created);
  const std::string bib = One(m, "select \"bib#\" from po_line where \"po#\"=6 and line=1");
  ASSERT_NE(bib, "");
  EXPECT_EQ(One(m, "select \"bib#\" from item where \"item#\"=" + std::to_string(made)), bib);
  EXPECT_EQ(One(m, "select acq_controlled from bib_control where \"bib#\"=" + bib), "1");
  EXPECT_EQ(One(m, "select title from bib where \"bib#\"=" + bib),
            "Wild Places: Nature Documentary Collection");
  EXPECT_EQ(One(m, "select count(*) from bib_index where \"bib#\"=" + bib), "1");   // its ISBN
  // The second item finds the record made.
  ASSERT_EQ(cp::CreateItem(6, 1, 2, {"", ""}, made), CreateResult::Created);
  EXPECT_EQ(One(m, "select count(*) from bib"), "1");
}

TEST(AcqDbCopy, RefusalsOfLines) {
  struct Case {
    const char* name;
    const char* setup;
    int po, line;
    int items, copies;   // messages (0: none)
    int item;            // the item the message names
  } const cases[] = {
      {"approved line with everything", "", 1, 3, 0, 0, 0},
      {"a line not approved", "", 6, 1, 17, 0, 1},
      {"one unapproved item", "update po_line_item set approve_date=NULL where \"po#\"=1 and "
                              "line=3 and item=2", 1, 3, 17, 0, 2},
      {"no item type", "update po_line_item set itype=NULL where \"po#\"=1 and line=3 and "
                       "item=2", 1, 3, 212, 0, 2},
      {"no collection", "update po_line_item set collection=NULL where \"po#\"=4 and line=2 "
                        "and item=2", 4, 2, 212, 257, 2},
      {"a cancelled item needs nothing", "update po_line_item set collection=NULL, "
                                         "cancel_date=approve_date where \"po#\"=4 and line=2 "
                                         "and item=2", 4, 2, 0, 0, 0},
      {"no media type", "update po_line set media_type=NULL where \"po#\"=4 and line=2", 4, 2, 0,
       428, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ActModule m(c.setup);
    cp::Line l;
    ASSERT_TRUE(cp::LoadLine(c.po, static_cast<int16_t>(c.line), l));
    const cp::Refusal items = cp::CheckForItems(l), copies = cp::CheckForCopies(l);
    EXPECT_EQ(items.message, c.items);
    EXPECT_EQ(copies.message, c.copies);
    if (c.items) {
      EXPECT_EQ(items.item, c.item);
    }
    if (c.copies && c.copies != 428) {
      EXPECT_EQ(copies.item, c.item);
    }
  }
}

TEST(AcqDbCopy, CopiesCarryTheVendorsClaimValuesAndTakeTheBibsFreeItems) {
  // A catalogue item of the same bib at the item's place, and one elsewhere.
  ActModule m(R"(INSERT INTO item("item#", "bib#", ibarcode, location, collection, delete_flag)
                 VALUES (7001, 1008, '31234000070019', 'MAIN', 'SERIAL', 0),
                        (7002, 1008, '31234000070027', 'BRANCH', 'SERIAL', 0),
                        (7003, 1008, '31234000070035', 'MAIN', 'SERIAL', 1))");
  int made = 0;
  ASSERT_TRUE(cp::CreateCopies(4, 2, made));
  EXPECT_EQ(made, 1);   // item 1 has copy 2 already
  const std::string copy =
      One(m, "select \"copy#\" from po_line_item where \"po#\"=4 and line=2 and item=2");
  ASSERT_NE(copy, "");
  EXPECT_NE(copy, "2");
  EXPECT_EQ(One(m, "select \"bib#\", media_type, acq_status, acq_controlled, \"vendor#\", "
                   "item_creation, location, collection, first_claim_delay, claim_interval, "
                   "max_claims, serial_number from copy where \"copy#\"=" + copy),
            "1008|SERIAL|3|1|4|0|MAIN|SERIAL|30|30|4|4/2/2");
  EXPECT_EQ(One(m, "select begin_date from po_line_item where \"po#\"=4 and line=2 and item=2"),
            std::to_string(DbDabs_GetDate()));
  EXPECT_EQ(One(m, "select group_concat(coalesce(\"copy#\", 0), ',') from "
                   "(select \"copy#\" from item where \"item#\" in (7001,7002,7003) "
                   "order by \"item#\") x"),
            copy + ",0,0");
  ASSERT_TRUE(cp::CreateCopies(4, 2, made));
  EXPECT_EQ(made, 0);
}

TEST(AcqDbCopy, AttachAndDetachMoveTheLineItemAndItsCatalogueItemTogether) {
  // A copy of the title no line item holds, and line item 4/2/2's own item.
  ActModule m(R"(INSERT INTO copy("copy#", "bib#", media_type, acq_status, acq_controlled,
                                 location, collection) VALUES (9, 1008, 'SERIAL', 3, 1, 'MAIN',
                                 'SERIAL');
                 INSERT INTO item("item#", "bib#", ibarcode, location, delete_flag)
                 VALUES (7001, 1008, '31234000070019', 'MAIN', 0);
                 UPDATE po_line_item SET "item#"=7001 WHERE "po#"=4 AND line=2 AND item=2;)");
  std::vector<std::vector<std::string>> candidates;
  ASSERT_TRUE(cp::LoadCopyCandidates(1008, candidates));
  ASSERT_EQ(candidates.size(), 1u);   // copy 2 is held by item 1
  EXPECT_EQ(candidates[0][0], "9");
  const std::string state =
      "select coalesce(i.\"copy#\", 0), coalesce(t.\"copy#\", 0), case when i.begin_date is "
      "null then 0 else 1 end from po_line_item i join item t on t.\"item#\"=i.\"item#\" "
      "where i.\"po#\"=4 and i.line=2 and i.item=2";
  struct Step {
    const char* name;
    int32_t copy;   // 0 detaches
    bool changed;   // refused: the line item was not as the window saw it
    const char* state;
  } const steps[] = {
      {"attach", 9, false, "9|9|1"},
      {"attach again", 9, true, "9|9|1"},
      {"detach", 0, false, "0|0|0"},
      {"detach again", 0, true, "0|0|0"},
      {"a copy another item holds", 2, true, "0|0|0"},
  };
  for (const Step& st : steps) {
    SCOPED_TRACE(st.name);
    bool changed = !st.changed;
    ASSERT_TRUE(cp::SetItemCopy(4, 2, 2, st.copy, changed));
    EXPECT_EQ(changed, st.changed);
    EXPECT_EQ(One(m, state), st.state);
  }
}

// Runs `work` on two workstations at once, each its own session on its own
// thread; false when a session could not be opened.
bool OnTwoWorkstations(const std::function<void()>& work) {
  std::atomic<bool> ok{true};
  auto workstation = [&] {
    DbMsg msg;
    HDb own = nullptr;
    if (_DbCloneHDb(acq::AcqDbGlobal::Globals().session, own, msg) != kDbOk) {
      ok = false;
      return;
    }
    {
      acq::AcqDbGlobal::ThreadSessionHold hold(own);
      work();
    }
    _DbLogout(&own);
  };
  std::thread a(workstation), b(workstation);
  a.join();
  b.join();
  return ok;
}

// Two workstations create the items of one line at once: each line item
// gets exactly one item, and barcodes and inventory numbers are never
// shared.
TEST(AcqDbCopy, TwoWorkstationsCreatingItemsForOneLineNeverBothCreate) {
  ActModule m;
  auto& params = acq::AcqDbGlobal::Globals().params;
  params.inventory_prefix = true;
  params.inventory_prefix_length = 6;
  constexpr int kRounds = 3;
  std::atomic<int> created{0}, already{0}, other{0};
  ASSERT_TRUE(OnTwoWorkstations([&] {
    for (int round = 0; round < kRounds; ++round)
      for (int16_t item = 1; item <= 3; ++item) {
        int32_t made = 0;
        switch (cp::CreateItem(1, 1, item, {"", "INV"}, made)) {
          case CreateResult::Created: ++created; break;
          case CreateResult::AlreadyCreated: ++already; break;
          default: ++other; break;
        }
      }
  }));
  EXPECT_EQ(created.load(), 3);
  EXPECT_EQ(already.load(), 2 * kRounds * 3 - 3);
  EXPECT_EQ(other.load(), 0);
  EXPECT_EQ(One(m, "select count(*), count(distinct ibarcode), count(distinct inventory_num), "
                   "min(prefix_inventory_num) from item"),
            "3|3|3|INV");
  EXPECT_EQ(One(m, "select count(*) from po_line_item i join item t on t.\"item#\"=i.\"item#\" "
                   "where i.\"po#\"=1 and i.line=1"),
            "3");
  EXPECT_EQ(One(m, "select group_concat(inventory_num, ',') from (select inventory_num from "
                   "item order by inventory_num) x"),
            "1,2,3");
}

TEST(AcqDbCopy, TwoWorkstationsCreatingCopiesForOneLineMakeOneEach) {
  ActModule m;
  std::atomic<int> made{0}, failed{0};
  ASSERT_TRUE(OnTwoWorkstations([&] {
    for (int round = 0; round < 3; ++round) {
      int n = 0;
      if (!cp::CreateCopies(3, 2, n)) ++failed;
      made += n;
    }
  }));
  EXPECT_EQ(failed.load(), 0);
  EXPECT_EQ(made.load(), 3);   // PO 3 line 2 has three items
  EXPECT_EQ(One(m, "select count(*), count(distinct \"copy#\") from po_line_item where "
                   "\"po#\"=3 and line=2"),
            "3|3");
  EXPECT_EQ(One(m, "select count(*) from copy where \"bib#\"=1007"), "3");
}

TEST(AcqDbCopy, RemovingWhatALineCreated) {
  struct Case {
    const char* name;
    const char* setup;   // after the items of PO 6 line 1 were made
    bool deletable;
  } const cases[] = {
      {"items still on order", "", true},
      {"an item the catalogue took over",
       "update item set item_status='a' where \"item#\" in (select \"item#\" from po_line_item "
       "where \"po#\"=6 and line=1 and item=2)", false},
      {"another open line on the same record",
       "update po_line set \"bib#\"=(select \"bib#\" from po_line where \"po#\"=6 and line=1) "
       "where \"po#\"=6 and line=2", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ActModule m;
    int32_t made = 0;
    ASSERT_EQ(cp::CreateItem(6, 1, 1, {"", ""}, made), CreateResult::Created);
    ASSERT_EQ(cp::CreateItem(6, 1, 2, {"", ""}, made), CreateResult::Created);
    const std::string bib = One(m, "select \"bib#\" from po_line where \"po#\"=6 and line=1");
    if (*c.setup) m.db.Exec(c.setup);
    bool deletable = !c.deletable;
    ASSERT_TRUE(cp::LineBibDeletable(6, 1, deletable));
    EXPECT_EQ(deletable, c.deletable);
    bool removed = !c.deletable;
    ASSERT_TRUE(cp::RemoveLineBib(6, 1, removed));
    EXPECT_EQ(removed, c.deletable);
    const std::string gone = c.deletable ? "0" : "1";
    EXPECT_EQ(One(m, "select count(*) from bib where \"bib#\"=" + bib), gone);
    EXPECT_EQ(One(m, "select count(*) from bib_control where \"bib#\"=" + bib), gone);
    EXPECT_EQ(One(m, "select count(*) from bib_index where \"bib#\"=" + bib), gone);
    EXPECT_EQ(One(m, "select count(*) from item"), c.deletable ? "0" : "2");
    EXPECT_EQ(One(m, "select count(\"item#\") from po_line_item where \"po#\"=6 and line=1"),
              c.deletable ? "0" : "2");
  }
}

}  // namespace
