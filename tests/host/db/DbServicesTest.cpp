// Services of the session: usage statistics share the caller's transaction,
// and the duplicate-search index matches values however they were typed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/db/PwDb.h"
#include "TempDb.h"

using testdb::Session;
using testdb::TempDb;

namespace {

std::string Count(const TempDb& db, const std::string& where) {
  return db.Column("SELECT count(*) FROM statistics_event WHERE " + where).at(0);
}

TEST(DbStat, RowFollowsTheCallersTransaction) {
  TempDb db;
  Session s("clerk", "clerk");
  ASSERT_EQ(s.code, kDbOk) << s.msg.text;
  DbMsg msg;
  const Dec64 amount = Dec64::FromRaw(24'950'000);   // 24.95

  struct Case {
    const char* name;
    const char* code;
    int depth;         // transaction levels open around the call
    const char* ends;  // how the levels end, innermost first: C commit, R roll back
    const char* rows;
  } const cases[] = {
      {"rolled back", "acqrb", 1, "R", "0"},
      {"committed", "acqok", 1, "C", "1"},
      {"inner level rolled back, outer committed", "acqin", 2, "RC", "0"},
      {"inner level released, outer rolled back", "acqout", 2, "CR", "0"},
      {"both levels committed", "acqboth", 2, "CC", "1"},
      {"outside any transaction", "acqnone", 0, "", "1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (int level = 0; level < c.depth; ++level) _DbBeginTrans(s);
    ASSERT_EQ(DbStat_LogStat(s, 300, c.code, amount, 4, msg), kDbOk) << msg.text;
    // The call neither opened nor closed a level of its own.
    EXPECT_EQ(_DbTransDepth(s), c.depth);
    for (const char* end = c.ends; *end; ++end) {
      const DbCode code = *end == 'C' ? _DbCommitTrans(s, msg) : _DbRollbackTrans(s, "", msg);
      ASSERT_EQ(code, kDbOk) << msg.text;
    }
    EXPECT_EQ(_DbTransDepth(s), 0);
    EXPECT_EQ(Count(db, std::string("stat_code='") + c.code + "'"), c.rows);
  }
  EXPECT_EQ(db.Column("SELECT stat_class||'/'||value||'/'||key_value||'/'||user_name "
                      "FROM statistics_event WHERE stat_code='acqok'"),
            std::vector<std::string>{"300/24950000/4/clerk"});

  // A key of 0 means none; the one-argument form still writes its row.
  ASSERT_EQ(DbStat_LogStat(s, 300, "acqnokey", Dec64::FromInt(2), 0, msg), kDbOk);
  ASSERT_EQ(DbStat_LogStat(s, "acqaft"), kDbOk);
  EXPECT_EQ(Count(db, "stat_code='acqnokey' AND key_value IS NULL"), "1");
  EXPECT_EQ(Count(db, "stat_code='acqaft' AND stat_class IS NULL"), "1");

  // Without a session it is refused, not a crash.
  EXPECT_EQ(DbStat_LogStat(nullptr, 300, "x", Dec64{}, 0, msg), kDbMisuse);
}

TEST(DbSer, NormalisesIndexValues) {
  struct Case { const char* in; const char* out; } const cases[] = {
      {"978-1-55500-002-8", "9781555000028"},
      {"0 19 853453 x", "019853453X"},
      {"\t1234-5679 ", "12345679"},
      {"--  -", ""},
      {"abc", "ABC"},
  };
  for (const Case& c : cases) EXPECT_EQ(DbSer_NormalizeIndexValue(c.in), c.out) << c.in;
}

TEST(DbSer, SearchesTheDuplicateIndex) {
  TempDb db;
  ASSERT_TRUE(db.Exec("INSERT INTO bib_index(index_name, index_value, \"bib#\") VALUES "
                      "('isbn', '0-306-4061x-2', 7001), ('ISBN', '030 640 61X2', 7002), "
                      "('issn', '0306-4061', 7003)"));
  Session s("viewer", "viewer");
  ASSERT_EQ(s.code, kDbOk) << s.msg.text;

  struct Case {
    const char* index;
    const char* value;
    std::vector<int32_t> bibs;
  } const cases[] = {
      // Catalogued in two spellings and case: both records, each once.
      {"isbn", "03064061X2", {7001, 7002}},
      {"isbn", "0-306-4061X-2", {7001, 7002}},
      {"ISBN", " 0 306 4061 x2 ", {7001, 7002}},
      // The demo: the coastal birds atlas is catalogued twice.
      {"isbn", "9781555000028", {1002, 1101}},
      {"isbn", "978-1-55500-001-1", {1001}},
      {"issn", "1234 5679", {880}},
      // Another index does not match, nor does a part of a value.
      {"issn", "03064061X2", {}},
      {"isbn", "030640612", {}},
      {"isbn", "", {}},
      {"isbn", " - ", {}},
      {"lccn", "03064061X2", {}},
      {"isbn", "0-19-853453-x", {900}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.index) + " '" + c.value + "'");
    std::vector<int32_t> bibs{99};
    DbMsg msg;
    ASSERT_EQ(DbSer_SearchDupIndex(s, c.index, c.value, bibs, msg), kDbOk) << msg.text;
    EXPECT_EQ(bibs, c.bibs);
  }
}

}  // namespace
