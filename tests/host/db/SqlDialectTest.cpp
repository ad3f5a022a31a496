#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "host/db/DbEngine.h"
#include "host/db/SqlDialect.h"
#include "support/TestLibrary.h"

namespace {

TEST(SqlDialect, RefusesBrokenTextNamingWhere) {
  struct Case {
    const char* sql;
    const char* error_part;
  };
  const Case cases[] = {
      {"select po# from po where po_number = 'O''Brien", "unterminated string literal at position 38"},
      {"select \"po# from po", "unterminated quoted name at position 8"},
      {"select [po# from po", "unterminated quoted name at position 8"},
      {"select 1 /* note", "unterminated comment at position 10"},
      {"select count(po#)) from po", "\")\" without \"(\" at position 18"},
      {"select po# from po where po# in(1,2", "\"(\" is never closed at position 32 near \"(1,2\""},
      {"if @x = 1 select 1", "only \"if [not] exists"},
      {"if exists (select * from po) select 1", "needs \"else select"},
      {"select convert(datetime, due) from po", "convert() to this type is not supported: at position 16"},
      {"select top n po# from po", "\"top\" needs a number"},
  };
  for (const Case& c : cases) {
    std::string out = "stale", error;
    EXPECT_FALSE(SqlDialect_Translate(c.sql, SqlBackend::Sqlite, out, error)) << c.sql;
    EXPECT_NE(error.find(c.error_part), std::string::npos) << c.sql << "\n got: " << error;
    EXPECT_TRUE(out.empty()) << c.sql;
  }
}

TEST(SqlDialect, RewritesOnlyWhatSqliteLacks) {
  struct Case {
    const char* sql;
    const char* expected;
  };
  const Case cases[] = {
      {"select key_string_type from pw_column where table_name='item' and column_name='ibarcode'",
       "select key_string_type from pw_column where table_name='item' and column_name='ibarcode'"},
      {"if exists (select * from vendor where vendor#=12) select convert(bit,1) else select convert(bit,0)",
       "select case when exists (select * from vendor where \"vendor#\"=12) then CAST(1 AS INTEGER) else "
       "CAST(0 AS INTEGER) end"},
      {"select po#,line,budget_split=convert(varchar(255),null) from po_line_item_budget where po#=5",
       "select \"po#\",line,CAST(null AS TEXT) AS budget_split from po_line_item_budget where \"po#\"=5"},
      // Literals and comments are never rewritten, whatever they hold.
      {"select 'po# for browse', [po#] /* vendor#=1 */ from po -- isnull(a,b)",
       "select 'po# for browse', \"po#\" /* vendor#=1 */ from po -- isnull(a,b)"},
      // "=" is an alias only at the head of a select-list item.
      {"update po set vendor#=2 where po#=1", "update po set \"vendor#\"=2 where \"po#\"=1"},
      {"select x = case when a = b then 1 else 0 end, y from t where a = b",
       "select case when a = b then 1 else 0 end AS x, y from t where a = b"},
      {"select po# from po where vendor# in (select v=vendor# from vendor)",
       "select \"po#\" from po where \"vendor#\" in (select \"vendor#\" AS v from vendor)"},
      {"select total=convert(money,amount) from po", "select (amount) AS total from po"},
      // The limit goes to the end of its own select, after order by.
      {"select top 1 po# from po order by po# desc for browse",
       "select \"po#\" from po order by \"po#\" desc limit 1"},
      {"select a from t where b = (select top (3) c from u)",
       "select a from t where b = (select c from u limit 3)"},
      {"select top 1 a from t; select b=1", "select a from t limit 1; select 1 AS b"},
      {"select isnull(note,''), len(name), getdate() from vendor",
       "select coalesce(note,''), length(rtrim(name)), CURRENT_TIMESTAMP from vendor"},
      {"select 'a' + N'b', x + 1 from t", "select 'a' || 'b', x + 1 from t"},
      // Only an "if" that starts a statement is T-SQL's.
      {"create table if not exists t(a int)", "create table if not exists t(a int)"},
      // The branch's case has an else of its own.
      {"if not exists (select * from t) select case when 1 = 1 then 2 else 3 end else select 4",
       "select case when not exists (select * from t) then case when 1 = 1 then 2 else 3 end else 4 end"},
      {"if exists (select * from po) select max(po#) from po else select 0",
       "select case when exists (select * from po) then (select max(\"po#\") from po) else 0 end"},
  };
  for (const Case& c : cases) {
    std::string out, error;
    EXPECT_TRUE(SqlDialect_Translate(c.sql, SqlBackend::Sqlite, out, error)) << c.sql << ": " << error;
    EXPECT_EQ(out, c.expected) << c.sql;
  }
}

TEST(SqlDialect, PostgresKeepsSizesAndReadsItsCatalogue) {
  std::string out, error;
  ASSERT_TRUE(SqlDialect_Translate("select s=convert(varchar(255),null), b=convert(bit,1)",
                                   SqlBackend::Postgres, out, error));
  EXPECT_EQ(out, "select CAST(null AS VARCHAR(255)) AS s, CAST(1 AS INTEGER) AS b");
  ASSERT_TRUE(SqlDialect_Translate("select length from syscolumns where id=object_id('item')",
                                   SqlBackend::Postgres, out, error));
  EXPECT_NE(out.find("information_schema.columns"), std::string::npos) << out;
}

// A real, empty database of the test's own (SQLite, or the test server)
// that runs statements translated to its engine's dialect, as the session
// does.
class EngineDb {
 public:
  EngineDb() : lib_(false) {
    std::string error;
    EXPECT_EQ(pwdb::DbEngine_Open(lib_.Target(), true, conn_, error), kDbOk) << error;
    // What the library's SQL needs of the engine (a server's domains).
    if (conn_) {
      EXPECT_EQ(conn_->Begin(), kDbOk) << conn_->ErrorText();
      EXPECT_EQ(conn_->InstallSupport(), kDbOk) << conn_->ErrorText();
      EXPECT_EQ(conn_->Commit(), kDbOk) << conn_->ErrorText();
    }
  }
  void Exec(const char* sql) {
    ASSERT_TRUE(conn_);
    ASSERT_EQ(conn_->Exec(sql), kDbOk) << sql << "\n" << conn_->ErrorText();
  }
  // Header row of column names, then the rows as text ("NULL" for null).
  std::vector<std::vector<std::string>> Query(const char* moduleSql) {
    std::string sql, error;
    std::vector<std::vector<std::string>> rows;
    if (!conn_) return rows;
    EXPECT_TRUE(SqlDialect_Translate(moduleSql, conn_->Dialect(), sql, error)) << error;
    std::unique_ptr<pwdb::DbStatement> stmt;
    EXPECT_EQ(conn_->Prepare(sql, stmt), kDbOk) << sql << "\n" << conn_->ErrorText();
    if (!stmt) return rows;
    rows.emplace_back();
    for (int i = 0; i < stmt->ColumnCount(); ++i) rows.back().push_back(stmt->Column(i).name);
    pwdb::StepRc rc;
    while ((rc = stmt->Step()) == pwdb::StepRc::kRow) {
      rows.emplace_back();
      for (int i = 0; i < stmt->ColumnCount(); ++i)
        rows.back().push_back(stmt->IsNull(i) ? "NULL" : stmt->Text(i));
    }
    EXPECT_NE(rc, pwdb::StepRc::kFailed) << sql << "\n" << conn_->ErrorText();
    return rows;
  }

 private:
  testlib::TestLibrary lib_;
  std::unique_ptr<pwdb::DbConnection> conn_;
};

TEST(SqlDialect, TranslatedStatementsRunOnTheEngine) {
  EngineDb db;
  db.Exec(R"(
    create table po ("po#" integer primary key, po_number varchar(20), "vendor#" integer, note text);
    insert into po values (1, 'O''Brien 1', 12, null), (2, 'A-2', 12, 'x'), (3, 'B-3', 13, null);
    create table vendor ("vendor#" integer primary key, name varchar(40));
    insert into vendor values (12, 'Acme  '), (13, 'Books');
    create table item ("item#" integer primary key, ibarcode VARCHAR(20), prefix_inventory_num varchar (8));
    create table po_line_item_budget_amount ("po#" integer, extra_charge_type integer, amount integer);
    insert into po_line_item_budget_amount values (1, 1, 250), (1, 1, 100), (1, 2, 40), (2, 1, 5);
    create table poliba_bandaid ("statement#" integer, statement_line integer, amount integer, spent_tinyint integer);
    insert into poliba_bandaid values (3, 1, 100, 1), (3, 1, 50, 1), (3, 2, 70, 0), (4, 1, 9, 0);
  )");
  using Rows = std::vector<std::vector<std::string>>;
  struct Case {
    const char* sql;
    Rows expected;
  };
  const Case cases[] = {
      {"select length from syscolumns where id=object_id('item') and name='ibarcode'", {{"length"}, {"20"}}},
      {"select c.length from syscolumns c where c.id=object_id('item') and c.name='prefix_inventory_num'",
       {{"length"}, {"8"}}},
      {"select length from syscolumns where id=object_id('item') and name='item#'", {{"length"}, {"0"}}},
      {"if exists (select * from vendor where vendor#=12) select convert(bit,1) else select convert(bit,0)",
       {{}, {"1"}}},
      {"if exists (select * from vendor where vendor#=99) select found=convert(bit,1) else select "
       "convert(bit,0)",
       {{"found"}, {"0"}}},
      {"select po# from po where po_number = 'O''Brien 1'", {{"po#"}, {"1"}}},
      {"select extra_charge_type,amount=sum(amount) from po_line_item_budget_amount where po#=1 "
       "group by extra_charge_type",
       {{"extra_charge_type", "amount"}, {"1", "350"}, {"2", "40"}}},
      {"select po#,budget_split=convert(varchar(255),null) from po where po#=2",
       {{"po#", "budget_split"}, {"2", "NULL"}}},
      {"select statement#,statement_line,amount=sum(amount),spent=convert(bit,spent_tinyint) from "
       "poliba_bandaid "
       "where statement#=3 group by statement#,statement_line,spent_tinyint for browse",
       {{"statement#", "statement_line", "amount", "spent"}, {"3", "1", "150", "1"}, {"3", "2", "70", "0"}}},
      {"select count(distinct vendor#) from po where po# in(1,2,3)", {{}, {"2"}}},
      {"select top 2 po# from po order by po# desc for browse", {{"po#"}, {"3"}, {"2"}}},
      // len() ignores the trailing blanks of 'Acme  '.
      {"select n=isnull(note,'none'), l=len(name) from po join vendor on po.vendor# = vendor.vendor# where "
       "po#=1",
       {{"n", "l"}, {"none", "4"}}},
  };
  for (const Case& c : cases) {
    Rows rows = db.Query(c.sql);
    if (c.expected.front().empty() && !rows.empty()) rows.front().clear();  // unnamed: header not checked
    EXPECT_EQ(rows, c.expected) << c.sql;
  }
}

TEST(SqlDialect, SplitsProcedureCallsFromStatements) {
  struct Case {
    const char* text;
    bool call;
    const char* name;
    const char* params;
  };
  const Case cases[] = {
      {"load_reassign_spent 2025,NULL", true, "load_reassign_spent", "2025,NULL"},
      {"  polis_all_approved \n", true, "polis_all_approved", ""},
      {"get_cust_number 12,'O''Brien '", true, "get_cust_number", "12,'O''Brien '"},
      {"exec get_vendor_name 12", true, "get_vendor_name", "12"},
      {"EXECUTE dbo.undo_order  5 ", true, "dbo.undo_order", "5"},
      {"SELECT po# from po", false, "", ""},
      {"if exists (select * from po) select 1 else select 0", false, "", ""},
      {"delete from budget_hierarchy", false, "", ""},
      {"commit", false, "", ""},
      {"pragma table_info(po)", false, "", ""},
      {"exec", false, "", ""},
      {"exec select 1", false, "", ""},
      {"get_vendor_name(12)", false, "", ""},  // a name glued to "(" is no call here
      {"(select 1)", false, "", ""},
      {"", false, "", ""},
  };
  for (const Case& c : cases) {
    std::string name, params;
    ASSERT_EQ(SqlDialect_SplitProcedureCall(c.text, name, params), c.call) << c.text;
    if (!c.call) continue;
    EXPECT_EQ(name, c.name) << c.text;
    EXPECT_EQ(params, c.params) << c.text;
  }
}

// A starts-with search as a range: what a person types is data (an
// apostrophe, % and _ match themselves), ASCII letters match in either case
// and other letters as typed, and the upper bound is right at the edges of
// the code space (U+10FFFF carries, surrogates are skipped) and at '@',
// whose successor 'A' never occurs in folded text.
TEST(SqlDialect, StartsWithMatchesExactlyTheTextsWithThePrefix) {
  EngineDb db;
  db.Exec("create table t (n integer, v text);"
          "insert into t values (1, '100% Proof'), (2, '1000 Cranes'), (3, 'a_b'), (4, 'axb'),"
          "  (5, 'O''Brien'), (6, 'o''brien books'), (7, 'Obrien'), (8, '\u00C9mile'),"
          "  (9, '\u00E9mile'), (10, 'Zola'), (11, 'zoo'), (12, '[x'), (13, '@home'), (14, 'abc'),"
          "  (15, NULL), (16, ''), (17, 'Ab\U0010FFFF'), (18, '\U0010FFFF\U0010FFFFx'),"
          "  (19, '\uD7FFx'), (20, '\uE000y'), (21, 'y'), (22, 'C:\\tmp'), (23, 'C:/tmp')");
  struct Case {
    const char* prefix;
    std::vector<std::string> found;   // in insertion order
  };
  const Case cases[] = {
      {"100%", {"100% Proof"}},
      {"a_", {"a_b"}},
      {"O'B", {"O'Brien", "o'brien books"}},
      {"\u00C9", {"\u00C9mile"}},
      {"z", {"Zola", "zoo"}},
      {"@", {"@home"}},
      {"[", {"[x"}},
      {"c:\\", {"C:\\tmp"}},   // a backslash is a character, never an escape
      {"ab\U0010FFFF", {"Ab\U0010FFFF"}},                    // high bound "ac"
      {"\U0010FFFF\U0010FFFF", {"\U0010FFFF\U0010FFFFx"}},   // no high bound
      {"\uD7FF", {"\uD7FFx"}},                                // high bound U+E000
  };
  for (const Case& c : cases) {
    std::string condition;
    ASSERT_TRUE(SqlDialect_StartsWith("v", c.prefix, condition)) << c.prefix;
    std::vector<std::vector<std::string>> rows =
        db.Query(("select v from t where " + condition + " order by n").c_str());
    std::vector<std::string> found;
    for (size_t r = 1; r < rows.size(); ++r) found.push_back(rows[r][0]);
    EXPECT_EQ(found, c.found) << c.prefix << ": " << condition;
  }
  std::string condition;
  ASSERT_TRUE(SqlDialect_StartsWith("title", "O'Br", condition));
  EXPECT_EQ(condition, "lower(title)>='o''br' and lower(title)<'o''bs'");
  ASSERT_TRUE(SqlDialect_StartsWith("v", "A\U0010FFFF", condition));
  EXPECT_EQ(condition, "lower(v)>='a\U0010FFFF' and lower(v)<'b'");
  ASSERT_TRUE(SqlDialect_StartsWith("v", "\U0010FFFF", condition));
  EXPECT_EQ(condition, "lower(v)>='\U0010FFFF'");
  condition = "kept";
  for (const char* refused : {"", "\xC3(", "\xED\xA0\x80", "\xC0\xAF", "a\xF4\x90\x80\x80"})
    EXPECT_FALSE(SqlDialect_StartsWith("v", refused, condition)) << refused;
  EXPECT_EQ(condition, "kept");
}

}  // namespace
