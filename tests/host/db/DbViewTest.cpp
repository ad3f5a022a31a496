// View definitions: read at log-in, found by kind, the editor a lister
// links to, the columns in position order, and how long the host keeps them.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "host/db/DbView.h"
#include "TempDb.h"

using testdb::Session;
using testdb::TempDb;

namespace {

std::string Cell(BktHandle bkt, int row, const char* column) {
  const int col = _BktGetColNum(bkt, column);
  if (_BktGetColType(bkt, col) == kColText) return _ColGetStringW(bkt, row, col);
  return std::to_string(_ColGetInt(bkt, row, col));
}

TEST(DbView, DefinitionsAreFoundByKindWithTheirColumnsInOrder) {
  TempDb tmp;
  // Columns stored out of order, to be read back by position.
  ASSERT_TRUE(tmp.Exec(
      "INSERT INTO pw_view(view_name, kind, source, key_columns, caption, dialog_template) "
      "VALUES ('t_list', 'L', 'location', 'location', 'Locations', 12);"
      "INSERT INTO pw_view_column(view_name, position, column_name, heading, searchable) "
      "VALUES ('t_list', 2, 'name', 'Name', 1), ('t_list', 1, 'location', 'Code', 0);"));
  Session s;
  ASSERT_EQ(s.code, kDbOk) << s.msg.text;
  BktHandle bkt = nullptr;
  int row = 0;
  ASSERT_TRUE(DbView_GetListViewBktRow("vendor_find", bkt, row));
  EXPECT_EQ(Cell(bkt, row, "source"), "vendor");
  EXPECT_EQ(Cell(bkt, row, "caption"), "Find Vendor");
  EXPECT_FALSE(DbView_GetEdViewBktRow("vendor_find", bkt, row));   // a lister, not an editor
  EXPECT_FALSE(DbView_GetListViewBktRow("vendor", bkt, row));
  ASSERT_TRUE(DbView_GetEdLinkBktRow("vendor_find", bkt, row));
  EXPECT_EQ(Cell(bkt, row, "view_name"), "vendor");
  EXPECT_FALSE(DbView_GetEdLinkBktRow("t_list", bkt, row));   // links to nothing
  EXPECT_FALSE(DbView_GetListViewBktRow("no_such_view", bkt, row));

  ASSERT_TRUE(DbView_GetListViewBktRow("t_list", bkt, row));
  EXPECT_EQ(Cell(bkt, row, "dialog_template"), "12");
  EXPECT_TRUE(_BktIsReadOnly(bkt));
  int first = 0, last = 0;
  ASSERT_TRUE(DbView_GetColumnRows("t_list", bkt, first, last));
  ASSERT_EQ(last - first, 1);
  EXPECT_EQ(Cell(bkt, first, "column_name"), "location");
  EXPECT_EQ(Cell(bkt, last, "heading"), "Name");
  EXPECT_EQ(Cell(bkt, last, "searchable"), "1");
  EXPECT_FALSE(DbView_GetColumnRows("no_such_view", bkt, first, last));
}

TEST(DbView, DefinitionsOfTheLastLogInAreKeptUntilTheLastLogOut) {
  TempDb tmp;
  auto first = std::make_unique<Session>();
  BktHandle before = nullptr;
  int row = 0;
  ASSERT_TRUE(DbView_GetListViewBktRow("vendor_find", before, row));
  ASSERT_TRUE(tmp.Exec("UPDATE pw_view SET caption='Vendors' WHERE view_name='vendor_find'"));
  auto second = std::make_unique<Session>();
  BktHandle after = nullptr;
  ASSERT_TRUE(DbView_GetListViewBktRow("vendor_find", after, row));
  EXPECT_EQ(Cell(after, row, "caption"), "Vendors");
  EXPECT_EQ(Cell(before, row, "caption"), "Find Vendor");   // still readable
  second.reset();
  EXPECT_TRUE(DbView_GetListViewBktRow("vendor_find", after, row));
  first.reset();
  EXPECT_FALSE(DbView_GetListViewBktRow("vendor_find", after, row));
}

}  // namespace
