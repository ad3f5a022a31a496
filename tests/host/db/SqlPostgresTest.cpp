#include "host/db/SqlPostgres.h"

#include <gtest/gtest.h>

namespace {

std::string Pg(std::string_view sql) {
  PgStatement out;
  size_t used = 0;
  std::string error;
  EXPECT_TRUE(SqlPostgres_Translate(sql, true, out, used, error)) << error;
  return out.sql;
}

TEST(SqlPostgres, RewritesWhatPostgresSpellsDifferently) {
  struct Case {
    const char* sql;
    const char* pg;
  } cases[] = {
      {"SELECT a FROM t WHERE b=?1 AND c=?2", "SELECT a FROM t WHERE b=$1 AND c=$2"},
      {"UPDATE t SET v=? WHERE k=?", "UPDATE t SET v=$1 WHERE k=$2"},
      // Literals and quoted names are never looked into.
      {"SELECT '?1 is max(a,b)', \"x?\" FROM t", "SELECT '?1 is max(a,b)', \"x?\" FROM t"},
      {"SELECT max(a, b), min(a, 0), max(a) FROM t",
       "SELECT greatest(a, b), least(a, 0), max(a) FROM t"},
      {"SELECT 1 WHERE a IS ?1 OR b IS NOT c OR d IS NULL OR e IS NOT NULL",
       "SELECT 1 WHERE a IS NOT DISTINCT FROM $1 OR b IS DISTINCT FROM c OR d IS NULL OR e IS NOT "
       "NULL"},
      {"SELECT instr(b, '.'), char(9) FROM t", "SELECT strpos(b, '.'), chr(9) FROM t"},
      {"SELECT group_concat(a), group_concat(b, ';') FROM t",
       "SELECT string_agg(CAST(a AS TEXT), ','), string_agg(CAST(b AS TEXT), ';') FROM t"},
      {"SELECT a FROM t WHERE n LIKE 'x%' AND m NOT LIKE ?1",
       "SELECT a FROM t WHERE n ILIKE 'x%' ESCAPE '' AND m NOT ILIKE $1 ESCAPE ''"},
      {"SELECT 1 WHERE a LIKE lower(?1) || '%' ESCAPE '!' OR b LIKE 'c\\'",
       "SELECT 1 WHERE a ILIKE lower($1) || '%' ESCAPE '!' OR b ILIKE 'c\\' ESCAPE ''"},
      {"SELECT a FROM t ORDER BY a, b DESC, c NULLS LAST LIMIT 3",
       "SELECT a FROM t ORDER BY a NULLS FIRST, b DESC NULLS LAST, c NULLS LAST LIMIT 3"},
      {"SELECT CAST(a AS INTEGER), CAST(b AS DEC64) FROM t",
       "SELECT CAST(a AS INT64), CAST(b AS DEC64) FROM t"},
      {"INSERT OR IGNORE INTO t(a) VALUES(?1)", "INSERT INTO t(a) VALUES($1) ON CONFLICT DO NOTHING"},
      {"ALTER TABLE t ADD COLUMN f BIT NOT NULL DEFAULT 0",
       "ALTER TABLE t ADD COLUMN f BITFLAG NOT NULL DEFAULT 0"},
      {"PRAGMA foreign_keys=ON", "SELECT 1 WHERE false"},
      {"SELECT n FROM (SELECT 1 AS n) WHERE n IN (SELECT 2) UNION SELECT n FROM (SELECT 3 AS n) x",
       "SELECT n FROM (SELECT 1 AS n) AS acq_sub1 WHERE n IN (SELECT 2) UNION SELECT n FROM "
       "(SELECT 3 AS n) x"},
  };
  for (const Case& c : cases) EXPECT_EQ(Pg(c.sql), c.pg) << c.sql;
}

TEST(SqlPostgres, TablesGetTheLibraryTypesAndSqliteKeys) {
  PgStatement out;
  size_t used = 0;
  std::string error;
  const std::string text =
      "CREATE TABLE e(\"e#\" INTEGER PRIMARY KEY AUTOINCREMENT, amount DEC64 NOT NULL DEFAULT 0, "
      "d DAYNUM, name VARCHAR(10) COLLATE NOCASE, on_ BIT, PRIMARY KEY(x)) WITHOUT ROWID; SELECT 1";
  ASSERT_TRUE(SqlPostgres_Translate(text, true, out, used, error)) << error;
  EXPECT_EQ(out.sql,
            "CREATE TABLE e(\"e#\" INT64 PRIMARY KEY, amount DEC64 NOT NULL DEFAULT 0, d DAYNUM, "
            "name VARCHAR(10) COLLATE nocase, on_ BITFLAG, PRIMARY KEY(x))");
  EXPECT_EQ(out.after,
            "CREATE TRIGGER \"e_key\" BEFORE INSERT ON \"e\" FOR EACH ROW EXECUTE FUNCTION "
            "acq_assign_key('e#')");
  EXPECT_EQ(used, text.find(';') + 1);
}

TEST(SqlPostgres, ADatabaseWithoutTheLibrarysTypesGetsPlainOnes) {
  PgStatement out;
  size_t used = 0;
  std::string error;
  ASSERT_TRUE(SqlPostgres_Translate("CREATE TABLE c(id INTEGER, n TEXT)", false, out, used, error));
  EXPECT_EQ(out.sql, "CREATE TABLE c(id BIGINT, n TEXT COLLATE \"C\")");
}

TEST(SqlPostgres, CutsTextIntoStatements) {
  PgStatement out;
  size_t used = 0;
  std::string error;
  const std::string text = "  -- only a comment\n";
  ASSERT_TRUE(SqlPostgres_Translate(text, true, out, used, error));
  EXPECT_TRUE(out.sql.empty());
  EXPECT_EQ(used, text.size());
  ASSERT_TRUE(SqlPostgres_Translate("SELECT ';'; DELETE FROM t", true, out, used, error));
  EXPECT_EQ(out.sql, "SELECT ';'");
  EXPECT_TRUE(out.readOnly);
  EXPECT_EQ(used, 11u);
  // Cut-off statements are passed on for the server to refuse.
  for (const char* cut : {"CREATE TABLE", "CREATE TEMP TABLE IF", "ALTER TABLE t ADD",
                          "ALTER TABLE t ADD COLUMN", "INSERT OR", "SELECT a IS", "SELECT ?"})
    EXPECT_TRUE(SqlPostgres_Translate(cut, true, out, used, error)) << cut;
  EXPECT_FALSE(SqlPostgres_Translate("SELECT 'open", true, out, used, error));
  EXPECT_FALSE(SqlPostgres_Translate("SELECT (1", true, out, used, error));
}

}  // namespace
