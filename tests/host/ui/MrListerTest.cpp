// Listers on lists longer than a page: they open on their first rows and
// say how many there are, fetch further rows as they are selected or moved
// to, sort in the database in the same order the framework sorts in, keep
// the selected record selected wherever it moves, and answer the find
// windows' starts-with searches from an index.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "host/db/DbAdmin.h"
#include "host/db/TempDb.h"
#include "host/mr/MrFramework.h"
#include "host/mr/MrUi.h"
#include "host/mr/PwMr.h"
#include "host/muc/MucTools.h"
#include "host/ui/UiTestSupport.h"

using testdb::Session;
using testdb::TempDb;

namespace {

// 130 items (more than two pages of 50), with many equal names, groups and
// prices and NULLs among them, so that page boundaries fall among equal
// values and NULLs. Lister "pg_items" is ordered by name, with editor
// "pg_item".
const char* const kItems = R"(
  CREATE TABLE pg_item(id INTEGER PRIMARY KEY, name VARCHAR(10), grp INTEGER, price DEC64);
  WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 130)
  INSERT INTO pg_item
    SELECT i,
           CASE WHEN i % 8 = 0 THEN NULL ELSE 'name ' || (i * 7 % 6) END,
           CASE WHEN i % 7 = 0 THEN NULL ELSE i % 5 END,
           CASE WHEN i % 9 = 0 THEN NULL ELSE (i * 37 % 11) * 1000000 END
    FROM n;
  INSERT INTO pw_view(view_name, kind, source, key_columns, order_by, caption, linked_view)
    VALUES ('pg_items', 'L', 'pg_item', 'id', 'name', 'Items', 'pg_item'),
           ('pg_item', 'E', 'pg_item', 'id', '', 'Item', '');
  INSERT INTO pw_view_column(view_name, position, column_name, heading, editable, format)
    VALUES ('pg_items', 1, 'name', 'Name', 0, ''), ('pg_items', 2, 'grp', 'Group', 0, ''),
           ('pg_items', 3, 'price', 'Price', 0, 'money'),
           ('pg_item', 1, 'id', 'Id', 0, ''), ('pg_item', 2, 'name', 'Name', 1, '');
)";

class Lister : public ::testing::Test {
 protected:
  void SetUp() override {
    DbMsg msg;
    ASSERT_EQ(DbAdmin_CreateDatabase(tmp_.path(), false, msg), kDbOk) << msg.text;
    ASSERT_EQ(DbAdmin_CreateUser(tmp_.path(), "tester", "secret", "", msg), kDbOk) << msg.text;
    ASSERT_TRUE(tmp_.Exec(kItems));
  }

  // The ids of the rows fetched, top to bottom.
  static std::vector<int> Ids(HLISTER lister) {
    BktHandle rows = MrLister_Rows(lister);
    std::vector<int> out;
    for (int r = 1; r <= _BktCountAll(rows); ++r)
      out.push_back(_ColGetInt(rows, r, _BktGetColNum(rows, "id")));
    return out;
  }

  std::vector<std::string> Query(const std::string& sql) const { return tmp_.Column(sql); }

  // What EXPLAIN QUERY PLAN says of `sql` (SQLite), a line per step.
  std::string Plan(const std::string& sql) const {
    std::string out;
    for (const std::string& row : tmp_.lib().Rows("explain query plan " + sql))
      out += row.substr(row.rfind('|') + 1) + "\n";
    return out;
  }

  std::vector<int> QueryIds(const std::string& sql) const {
    std::vector<int> out;
    for (const std::string& id : Query(sql)) out.push_back(std::stoi(id));
    return out;
  }

  TempDb tmp_{false};
};

TEST_F(Lister, OpensOnAPageAndFetchesAsRowsAreReached) {
  ScriptedUi ui("answer msgbox yes \"Delete 2 record(s)?\"\n");
  Session s("tester", "secret");
  ASSERT_EQ(s.code, kDbOk) << s.msg.text;
  HENVIR envir = MrProc_NewEnvir(s, "items");
  HLISTER lister = MrLister_MrListerUserInst(envir, "pg_items", nullptr, nullptr, "", "");
  ASSERT_TRUE(lister && MrLister_MrListerBegin(lister, "pg_items"));
  const std::vector<int> all =
      QueryIds("select id from pg_item order by name nulls first, id");
  ASSERT_EQ(all.size(), 130u);
  EXPECT_EQ(Ids(lister), std::vector<int>(all.begin(), all.begin() + 50));
  EXPECT_EQ(MrLister_RowCount(lister), 130);
  EXPECT_EQ(Act("show"), "");
  EXPECT_NE(ui.Transcript().find("  label \"130 rows, showing 1-50\"\n"), std::string::npos)
      << ui.Transcript();

  // Next from the last fetched row fetches the next page.
  MrLister_SetSelection(lister, {50});
  ASSERT_TRUE(MrProc_MrProcCmd(nullptr, kMrNext, nullptr));
  EXPECT_EQ(MrLister_Selection(lister), std::vector<int>{51});
  EXPECT_EQ(Ids(lister), std::vector<int>(all.begin(), all.begin() + 100));
  MrLister_SetSelection(lister, {120});
  EXPECT_EQ(MrLister_Selection(lister), std::vector<int>{120});
  EXPECT_EQ(Ids(lister), std::vector<int>(all.begin(), all.begin() + 120));

  // Deleting fetched rows keeps the count honest and the next fetch exact.
  MrLister_SetSelection(lister, {1, 2});
  ASSERT_TRUE(MrProc_MrProcCmd(nullptr, kMrDelete, nullptr));
  EXPECT_EQ(MrLister_RowCount(lister), 128);
  EXPECT_EQ(Act("show"), "");
  EXPECT_NE(ui.Transcript().find("  label \"128 rows, showing 1-118\"\n"), std::string::npos);
  MrLister_SetSelection(lister, {200});   // past the end: every row fetched, none selected
  EXPECT_TRUE(MrLister_Selection(lister).empty());
  EXPECT_EQ(Ids(lister), std::vector<int>(all.begin() + 2, all.end()));
  ASSERT_TRUE(MrProc_MrProcCmd(nullptr, kMrLast, nullptr));
  EXPECT_EQ(MrLister_Selection(lister), std::vector<int>{128});
  EXPECT_EQ(MrLister_RowCount(lister), 128);
  // With every row there the window no longer speaks of the count.
  const size_t before = ui.Transcript().size();
  EXPECT_EQ(Act("show"), "");
  EXPECT_EQ(ui.Transcript().find("label", before), std::string::npos);
  ui.driver().Finish();
  EXPECT_EQ(ui.FailReason(), "");
  MrProc_FreeEnvir(&envir);
}

// The database's order of a partly fetched list, continued one row at a
// time (a page boundary after every row), is the order the framework gives
// by sorting every row itself: NULLs first either way, equal values in the
// definition's order, then by key.
TEST_F(Lister, DatabaseSortAgreesWithTheFrameworkSortAtEveryBoundary) {
  ScriptedUi ui("");
  Session s("tester", "secret");
  struct Case {
    const char* column;
    bool descending;
  };
  const Case cases[] = {{"grp", false}, {"grp", true}, {"price", true},
                        {"name", true}, {"id", true}};
  for (const Case& c : cases) {
    HENVIR envir = MrProc_NewEnvir(s, "items");
    HLISTER partial = MrLister_MrListerUserInst(envir, "pg_items", nullptr, nullptr, "", "");
    HLISTER whole = MrLister_MrListerUserInst(envir, "pg_items", nullptr, nullptr, "", "");
    ASSERT_TRUE(MrLister_MrListerBegin(partial, "p") && MrLister_MrListerBegin(whole, "w"));
    ASSERT_TRUE(MrLister_Sort(partial, c.column, c.descending));   // by the database
    EXPECT_EQ(_BktCountAll(MrLister_Rows(partial)), 50) << c.column;
    for (int n = 51; n <= 130; ++n) ASSERT_EQ(MrLister_FetchRows(partial, n), n) << c.column;
    EXPECT_EQ(MrLister_FetchRows(partial, 131), 130);
    ASSERT_EQ(MrLister_FetchRows(whole, INT_MAX), 130);
    ASSERT_TRUE(MrLister_Sort(whole, c.column, c.descending));     // by the framework
    EXPECT_EQ(Ids(partial), Ids(whole)) << c.column << (c.descending ? " desc" : "");
    MrProc_FreeEnvir(&envir);
  }
  EXPECT_EQ(ui.FailReason(), "");
}

// An editor saves a name that moves its record far past the fetched rows:
// the list reloads and the record is still selected, where it now is, so
// the editor still walks the selection. A sort in the database carries the
// selection along as well.
TEST_F(Lister, SelectedRecordStaysSelectedWhereverItMoves) {
  ScriptedUi ui("");
  Session s("tester", "secret");
  HENVIR envir = MrProc_NewEnvir(s, "items");
  HLISTER lister = MrLister_MrListerUserInst(envir, "pg_items", nullptr, nullptr, "", "");
  ASSERT_TRUE(MrLister_MrListerBegin(lister, "pg_items"));
  const int moved = Ids(lister)[20], next = Ids(lister)[21];
  MrLister_SetSelection(lister, {21, 22});
  ASSERT_TRUE(MrProc_MrProcCmd(nullptr, kMrEdit, nullptr));   // on the first selected
  HEDITOR editor = MrEditor_FromHwnd(KtWin_GetTopKtWnd());
  ASSERT_TRUE(editor);
  ASSERT_TRUE(MrEditor_SetField(editor, "name", "zz last", nullptr));
  ASSERT_TRUE(MrEditor_Save(editor));
  ASSERT_EQ(MrLister_Selection(lister), (std::vector<int>{21, 130}));
  EXPECT_EQ(Ids(lister)[20], next);
  EXPECT_EQ(Ids(lister)[129], moved);
  // The editor's record is now the last of the selection: previous leads on.
  EXPECT_NE(MrProc_MrProcMenuSet(MrEditor_Hwnd(editor)) & (1u << kMrPrevious), 0u);
  EXPECT_EQ(MrProc_MrProcMenuSet(MrEditor_Hwnd(editor)) & (1u << kMrNext), 0u);
  ASSERT_TRUE(MrProc_MrProcCmd(nullptr, kMrPrevious, nullptr));
  BktHandle record = MrEditor_Record(editor);
  EXPECT_EQ(_ColGetInt(record, 1, _BktGetColNum(record, "id")), next);
  MrProc_FreeEnvir(&envir);

  // Sorted by group, descending, the first item of group 0 goes from the
  // first page to the last rows.
  envir = MrProc_NewEnvir(s, "items");
  lister = MrLister_MrListerUserInst(envir, "pg_items", nullptr, nullptr, "", "");
  ASSERT_TRUE(MrLister_MrListerBegin(lister, "pg_items"));
  const std::vector<int> firstPage = Ids(lister);
  const int item = QueryIds("select id from pg_item where grp = 0 "
                            "order by name nulls first, id limit 1")[0];
  const auto at = std::find(firstPage.begin(), firstPage.end(), item);
  ASSERT_NE(at, firstPage.end());
  MrLister_SetSelection(lister, {static_cast<int>(at - firstPage.begin()) + 1});
  ASSERT_TRUE(MrLister_Sort(lister, "grp", true));
  const std::vector<int> byGroup =
      QueryIds("select id from pg_item order by grp desc nulls first, name nulls first, id");
  const int row = static_cast<int>(std::find(byGroup.begin(), byGroup.end(), item) -
                                   byGroup.begin()) + 1;
  ASSERT_GT(row, 50);
  EXPECT_EQ(MrLister_Selection(lister), std::vector<int>{row});
  const std::vector<int> ids = Ids(lister);
  ASSERT_LE(ids.size(), byGroup.size());
  EXPECT_TRUE(std::equal(ids.begin(), ids.end(), byGroup.begin()));
  MrProc_FreeEnvir(&envir);
}

// The statements run on the session's connection while `run` runs.
template <typename Run>
std::vector<std::string> StatementsOf(HDb session, Run run) {
  std::vector<std::string> statements;
  DbSession_SetStatementObserver(
      session, [&statements](std::string_view sql) { statements.emplace_back(sql); });
  run();
  DbSession_SetStatementObserver(session, {});
  return statements;
}

// The first statement that searches (its condition folds the column).
std::string SearchStatement(const std::vector<std::string>& statements) {
  for (const std::string& sql : statements)
    if (sql.find("lower(") != std::string::npos) return sql;
  return "(no search ran)";
}

// Every searchable text column of every list and find window: its
// starts-with search, as the lister runs it, is answered by an index on
// the column (EXPLAIN QUERY PLAN shows a range on an index's expression),
// not by reading every row of the table under the window.
TEST_F(Lister, PrefixSearchesOfTheWindowsUseAnIndex) {
  ACQ_SQLITE_ONLY("reads SQLite's query plans");
  ScriptedUi ui("");
  Session s("tester", "secret");
  const std::vector<std::string> searched = Query(
      "select c.view_name || ' ' || c.column_name from pw_view_column c "
      "join pw_view v on v.view_name = c.view_name "
      "where v.kind = 'L' and c.searchable = 1 and c.format = '' "
      "order by c.view_name, c.position");
  int textColumns = 0;
  for (const std::string& pair : searched) {
    const std::string view = pair.substr(0, pair.find(' '));
    const std::string column = pair.substr(pair.find(' ') + 1);
    HENVIR envir = MrProc_NewEnvir(s, "search");
    HLISTER lister = MrLister_MrListerUserInst(envir, view, nullptr, nullptr, "", "");
    ASSERT_TRUE(lister) << view;
    BktHandle rows = MrLister_Rows(lister);
    if (_BktGetColType(rows, _BktGetColNum(rows, column)) == kColText) {   // not a number
      ++textColumns;
      ASSERT_TRUE(MrLister_SetSearch(lister, column, "O'B")) << pair;
      const std::string sql = SearchStatement(
          StatementsOf(s, [&] { EXPECT_TRUE(MrLister_MrListerBegin(lister, view)) << pair; }));
      const std::string plan = Plan(sql);
      EXPECT_NE(plan.find("USING INDEX"), std::string::npos);
      EXPECT_NE(plan.find("(<expr>>? AND <expr><?)"), std::string::npos)
          << pair << "\n" << sql << "\n" << plan;
    }
    MrProc_FreeEnvir(&envir);
  }
  EXPECT_GE(textColumns, 10);   // the find windows' and the vendor finder's

  // The PO line find window's title search, by name: the index on titles.
  HENVIR envir = MrProc_NewEnvir(s, "poline");
  HLISTER lines = MrLister_MrListerUserInst(envir, "po_find_line", nullptr, nullptr, "", "");
  ASSERT_TRUE(lines && MrLister_SetSearch(lines, "title", "The "));
  const std::string plan = Plan(SearchStatement(
      StatementsOf(s, [&] { EXPECT_TRUE(MrLister_MrListerBegin(lines, "po_find_line")); })));
  EXPECT_NE(plan.find("SEARCH pl USING INDEX po_line_title_search"), std::string::npos) << plan;
  MrProc_FreeEnvir(&envir);
}

}  // namespace
