// The budget hierarchy manager through the real client: a budget's label is
// kept, a drop onto a descendant or onto a budget is refused, a budget moved
// by drag and drop, a new hierarchy with a group and a budget, saved; then
// the hierarchy report with its totals.
#include <gtest/gtest.h>

#include <string>

#include "FrameRun.h"
#include "QueryDb.h"

namespace {

using e2e::QueryRow;
using e2e::Workspace;

TEST(Hierarchy, EditsTheTreeByItsRulesAndSavesIt) {
  Workspace ws;
  // The demo tree: 1 Collections 2026, 2 Print (3 ADULT, 4 REF, 5 CHILD),
  // 6 Non-print (7 AV, 8 SERIAL).
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login admin admin
command 264
show
rename 3 "Books"
answer msgbox ok "label of a budget"
rename 2 "Printed"
drag 2 5
answer msgbox ok "sub-item of the drag item"
drag 6 3
answer msgbox ok "child of a budget"
drag 7 2
answer text "Move Item"
press 1962
node "New Hierarchy 1"
press 1963
node "New Group 1"
press 1964
select 1
press OK
show
command 57603
show
press 1967
show
press 2
press 2
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  const std::string& t = r.transcript;
  EXPECT_NE(t.find("Cannot edit the label of a budget."), std::string::npos) << t;
  EXPECT_NE(t.find("Printed\""), std::string::npos) << t;
  EXPECT_NE(t.find("Total Percent Unspent"), std::string::npos) << t;
  EXPECT_EQ(QueryRow(ws.Db(), "select p.label from budget_hierarchy h join budget_hierarchy p "
                              "on p.item_key = h.parent_item_key where h.budget = 'AV.2026'"),
            "Printed");
  EXPECT_EQ(QueryRow(ws.Db(), "select count(*) from budget_hierarchy where label = 'Books'"), "0");
  EXPECT_EQ(QueryRow(ws.Db(), "select count(*) from budget_hierarchy h join budget_hierarchy g "
                              "on g.item_key = h.parent_item_key where g.label = 'New Group 1' "
                              "and h.item_kind = 2"),
            "1");
}

}  // namespace
