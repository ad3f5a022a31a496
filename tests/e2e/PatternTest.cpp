// Distribution patterns through the real client: a person saves the
// distribution of one line under a name, picks it from the drop-down of
// the pattern dialog and applies it to another line of the PO.
#include <gtest/gtest.h>

#include <string>

#include "FrameRun.h"
#include "PoWindowScript.h"
#include "QueryDb.h"

namespace {

using e2e::LastShow;
using e2e::OpenPoWindow;
using e2e::QueryRow;
using e2e::Workspace;

// Line 3 of PO-2026-0006 has one item split AV 50 % / ADULT 50 %; line 1
// two unapproved AV items. Applying the pattern replaces line 1's two items
// by one like line 3's, numbered after its last item (2), and moves the
// money: two items come off AV, one goes on half AV, half ADULT.
TEST(Pattern, SavedFromOneLineAndAppliedToAnother) {
  Workspace ws;
  const std::string price =
      QueryRow(ws.Db(), "select unit_price from po_line where \"po#\" = 6 and line = 1");
  const auto r = ws.Run({"--db", ws.Db()}, "login admin admin\n" + OpenPoWindow("PO-2026-0006") +
                                               R"acqs(select 1 3
command 192
answer msgbox ok "This can only be applied to one line."
select 3
command 192
field pattern ""
press OK
answer msgbox ok "cannot be empty"
field pattern "AV half"
press OK
select 1
command 191
show
field pattern "(none)"
press OK
answer msgbox ok "No pattern selected!"
field pattern "av HALF"
press OK
answer msgbox yes "override any previous distribution"
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_EQ(QueryRow(ws.Db(), "select count(*) from po_line_pattern where pattern = 'AV half'"),
            "1");
  const std::string chooser = LastShow(r.transcript, "Select Distribution Pattern");
  // The pattern saved last is offered first; every pattern is there.
  EXPECT_NE(chooser.find("field pattern = AV half (choice: AV half | Main 2 + Branch 1)"),
            std::string::npos)
      << chooser;
  EXPECT_EQ(QueryRow(ws.Db(),
                     "select group_concat(item || ':' || coalesce(budget_split, ''), ',') "
                     "from po_line_item where \"po#\" = 6 and line = 1"),
            "3:AV.2026 50% + ADULT.2026 50%");
  EXPECT_EQ(QueryRow(ws.Db(),
                     "select sum(amount) from po_line_item_budget_amount "
                     "where \"po#\" = 6 and line = 1 and spent = 0"),
            price);
  EXPECT_EQ(QueryRow(ws.Db(),
                     "select count(*) from po_line_item_budget where \"po#\" = 6 and "
                     "line = 1"),
            "2");
}

// A PO from the demo's template: the header editor opens with the
// template's values over a new header's (its caption names the template),
// and the saved PO takes the default number; the template's own name,
// description and pattern stay the template's. Then a new template: the
// required fields are asked for, and it joins the list.
TEST(Pattern, TemplatesMakePosAndNewOnesAreKept) {
  Workspace ws;
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login admin admin
command 166
show
press "Create PO"
answer msgbox ok "Select a template first."
select 1
press "Create PO"
show
press OK
command 169
press OK
answer msgbox ok "Fill in the following field(s): Template, Vendor #."
field po_template "Quick"
field vendor# "99"
press OK
answer msgbox ok "There is no vendor 99."
field vendor# "1"
field pattern "Main 2 + Branch 1"
press OK
command 166
show
press Close
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  const std::string lister = LastShow(r.transcript, "PO Templates");
  EXPECT_NE(lister.find("NORTHFIELD-SO | Northfield standing orders | 1 |"), std::string::npos)
      << lister;
  EXPECT_NE(lister.find("row 2 | Quick |  | 1 |"), std::string::npos) << lister;
  const std::string header = LastShow(r.transcript, "Header: Template NORTHFIELD-SO");
  EXPECT_NE(header.find("field vendor_contract = STAND26"), std::string::npos) << header;
  EXPECT_NE(header.find("field bill_to_address = ACCTS"), std::string::npos) << header;
  const std::string made = QueryRow(ws.Db(), "select max(\"po#\") from po");
  EXPECT_EQ(QueryRow(ws.Db(),
                     "select po_number, \"vendor#\", vendor_contract, currency, "
                     "item_creation, location, bill_to_address, ship_to_address, "
                     "case when creation_date is null then 0 else 1 end from po where \"po#\" = " +
                         made),
            made + "|1|STAND26|USD|2|MAIN|ACCTS|RECV|1");
  EXPECT_EQ(QueryRow(ws.Db(),
                     "select \"vendor#\", \"po_line_pattern#\", user_assign_po_number "
                     "from po_template where po_template = 'Quick'"),
            "1|1|0");
}

// From a PO window: its header kept as a template (a taken name is asked
// before it is replaced), and as the session's defaults, which the next
// new PO starts from until they are cleared; a PO from a template that
// leaves the number to the person needs one typed.
TEST(Pattern, PoHeaderKeptAsTemplateAndSessionDefaults) {
  Workspace ws;
  const auto r = ws.Run({"--db", ws.Db()}, "login admin admin\n" + OpenPoWindow("PO-2026-0006") +
                                               R"acqs(press "Save Template"
press OK
answer msgbox ok "Template Field cannot be empty!"
field po_template "NORTHFIELD-SO"
field po_template_descr "From PO 6"
field user_assign_po_number yes
press OK
answer msgbox yes "Template NORTHFIELD-SO already exists."
press "Store Defaults"
field pattern "Main 2 + Branch 1"
press OK
command 165
show
press Cancel
answer msgbox no "Save changes"
command 166
press "Show Defaults"
answer msgbox ok "vendor#: "
press "Clear Defaults"
answer msgbox yes "Clear the session defaults?"
press "Show Defaults"
answer msgbox ok "No Defaults have been set up!"
select 1
press "Create PO"
press OK
answer msgbox ok "Fill in the following field(s): PO Number."
field po_number "MINE-1"
press OK
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  const std::string vendor = QueryRow(ws.Db(), "select \"vendor#\" from po where \"po#\" = 6");
  EXPECT_EQ(QueryRow(ws.Db(),
                     "select po_template_descr, \"vendor#\", user_assign_po_number, "
                     "coalesce(\"po_line_pattern#\", 0) from po_template"),
            "From PO 6|" + vendor + "|1|0")
      << "the one template, replaced";
  const std::string header = LastShow(r.transcript, "Header: PO PO-2026-0006");
  EXPECT_NE(header.find("field vendor# = " + vendor), std::string::npos) << header;
  // The template leaves the number to the person: asked for, not defaulted.
  EXPECT_EQ(QueryRow(ws.Db(), "select \"vendor#\" from po where po_number = 'MINE-1'"), vendor);
}

}  // namespace
