// Loading rows into Buckets and saving them back: typing, NULLs, exact
// money, quoting, load modes and the "changed columns only" update.
#include <gtest/gtest.h>

#include "host/sys/Bucket.h"
#include "TempDb.h"

using testdb::Session;
using testdb::TempDb;

namespace {

// A ledger of money entries (amount DEC64: millionths) with a day number.
const char* const kLedger =
    "CREATE TABLE ledger(\"entry#\" INTEGER PRIMARY KEY, account VARCHAR(8) NOT NULL, "
    "amount DEC64, note VARCHAR(40), posted DAYNUM)";

Dec64 Money(const char* text) { return *LbDec64_StrTo64(text); }

DbCode RunCommand(HDb db, BktHandle& bkt, const std::string& command, DbMsg& msg) {
  if (DbCode code = _DbCmd(db, command, 1023); code != kDbOk) return code;
  return _DbLoadQuery(db, bkt, kLoadCreate, 8, 8, 0, "", "", "", "", msg);
}

}  // namespace

TEST(DbRows, RoundTripKeepsNullsExactMoneyAndApostrophes) {
  TempDb tmp;
  ASSERT_TRUE(tmp.Exec(kLedger));
  Session s;
  ASSERT_EQ(s.code, kDbOk) << s.msg.text;
  DbMsg msg;
  BucketHold rows;
  ASSERT_EQ(_DbBktFromCols(s, "ledger", "entry#, account,amount , note,posted", rows.get(), 1, 1,
                           msg), kDbOk) << msg.text;
  BktHandle b = *rows;
  struct Col { int type; int length; bool key; };
  const Col expected[] = {{kColInt32, 0, true}, {kColText, 8, false}, {kColDec64, 0, false},
                          {kColText, 40, false}, {kColInt16, 0, false}};
  for (int c = 1; c <= 5; ++c) {
    EXPECT_EQ(_BktGetColType(b, c), expected[c - 1].type) << c;
    EXPECT_EQ(_BktGetColLength(b, c), expected[c - 1].length) << c;
    EXPECT_EQ(_BktIsKeyCol(b, c), expected[c - 1].key) << c;
  }

  // Ten entries of 0.10; one note with an apostrophe; one day number past
  // 32767 (2026-03-01 is day 46080); the rest NULL.
  for (int i = 0; i < 10; ++i) {
    int r = 0;
    _BktInsert(b, 0, r);
    _ColSetTextW(b, r, 2, "BOOKS");
    _ColSetDec64(b, r, 3, Money("0.10"));
    if (i == 3) _ColSetTextW(b, r, 4, "O'Brien's order");
    if (i == 0) _ColSetScalar(b, r, 5, 46080, 1);
    ASSERT_EQ(_DbxInsertRow(s, "ledger", b, r, 1, msg), kDbOk) << msg.text;
    EXPECT_EQ(_ColGetInt(b, r, 1), i + 1);   // key assigned by the database
    EXPECT_EQ(_BktGetState(b, r), kRowExisting);
    EXPECT_FALSE(_BktRowIsChanged(b, r));
  }

  // Sum through the module's T-SQL alias form, with a quoted literal.
  std::string cmd = "select account, amount=sum(amount), n=count(*) from ledger where account=";
  ASSERT_EQ(_DbQuoteAppend(cmd, 1023, "BOOKS"), kDbOk);
  cmd += " group by account";
  BucketHold sum;
  ASSERT_EQ(RunCommand(s, sum.get(), cmd, msg), kDbOk) << msg.text;
  ASSERT_EQ(_BktCountAll(*sum), 1);
  EXPECT_EQ(_BktGetColType(*sum, 2), kColDec64);
  EXPECT_EQ(_ColGetDec64(*sum, 1, 2), Money("1.00"));   // exact, not 0.9999999
  EXPECT_EQ(_ColGetInt(*sum, 1, 3), 10);
  Dec64 total;
  ASSERT_EQ(_DbExecSP(s, "select sum(amount) from ledger", "", &total, sizeof total, msg), kDbOk);
  EXPECT_EQ(total, Money("1.00"));

  // The apostrophe survives both the bound insert and a quoted literal.
  std::string find = "select note from ledger where note=";
  ASSERT_EQ(_DbQuoteAppend(find, 1023, "O'Brien's order"), kDbOk);
  BucketHold found;
  ASSERT_EQ(RunCommand(s, found.get(), find, msg), kDbOk) << msg.text;
  ASSERT_EQ(_BktCountAll(*found), 1);
  EXPECT_EQ(_ColGetStringW(*found, 1, 1), "O'Brien's order");

  BucketHold all;
  ASSERT_EQ(_DbLoadQuery(s, all.get(), kLoadCreate, 8, 8, 0, "ledger", "*", "", "entry#", msg),
            kDbOk) << msg.text;
  ASSERT_EQ(_BktCountAll(*all), 10);
  int posted = _BktGetColNum(*all, "posted"), note = _BktGetColNum(*all, "note");
  int64_t day = 0;
  _ColGetScalar(*all, 1, posted, day, 1);
  EXPECT_EQ(day, 46080);
  EXPECT_TRUE(_ColIsNull(*all, 2, posted));
  EXPECT_TRUE(_ColIsNull(*all, 1, note));
  EXPECT_EQ(_ColGetStringW(*all, 4, note), "O'Brien's order");
  EXPECT_EQ(_BktGetState(*all, 1), kRowExisting);
  EXPECT_FALSE(_BktRowIsChanged(*all, 1));

  // A text that is no amount is refused before anything is written.
  BucketHold odd;
  ASSERT_EQ(_DbBktFromCols(s, "ledger", "account, note", odd.get(), 1, 1, msg), kDbOk);
  _BktSetColInfo(*odd, 2, "amount", 10, kColText, 0);
  int r = 0;
  _BktInsert(*odd, 0, r);
  _ColSetTextW(*odd, r, 1, "BOOKS");
  _ColSetTextW(*odd, r, 2, "12,50 EUR");
  EXPECT_EQ(_DbxInsertRow(s, "ledger", *odd, r, 1, msg), kDbError);
  EXPECT_EQ(msg.text, "Column 'amount': '12,50 EUR' is not an amount.");
}

TEST(DbRows, UpdateWritesOnlyChangedColumnsAndNoticesVanishedRows) {
  TempDb tmp;
  Session a, b;
  ASSERT_EQ(a.code, kDbOk);
  ASSERT_EQ(b.code, kDbOk);
  DbMsg msg;
  BucketHold ra, rb;
  ASSERT_EQ(_DbLoadQuery(a, ra.get(), kLoadCreate, 1, 1, 0, "location", "*", "location='MAIN'",
                         "", msg), kDbOk) << msg.text;
  ASSERT_EQ(_DbLoadQuery(b, rb.get(), kLoadCreate, 1, 1, 0, "location", "*", "location='MAIN'",
                         "", msg), kDbOk);
  const int name = _BktGetColNum(*ra, "name"), phone = _BktGetColNum(*rb, "phone");

  _ColSetTextW(*rb, 1, phone, "217-555-0999");
  ASSERT_EQ(_DbxUpdateRowU(b, "location", *rb, 1, 1, msg), kDbOk) << msg.text;
  EXPECT_FALSE(_BktRowIsChanged(*rb, 1));
  EXPECT_EQ(_DbxUpdateRowU(a, "location", *ra, 1, 1, msg), kDbOk);   // nothing changed
  _ColSetTextW(*ra, 1, name, "Central Library");
  ASSERT_EQ(_DbxUpdateRowU(a, "location", *ra, 1, 1, msg), kDbOk) << msg.text;

  BucketHold now;
  ASSERT_EQ(_DbLoadQuery(a, now.get(), kLoadCreate, 1, 1, 0, "location", "name, phone",
                         "location='MAIN'", "", msg), kDbOk);
  EXPECT_EQ(_ColGetStringW(*now, 1, 1), "Central Library");
  EXPECT_EQ(_ColGetStringW(*now, 1, 2), "217-555-0999");   // b's change survived

  ASSERT_EQ(_DbxDeleteRowU(b, "location", *rb, 1, 1, msg), kDbOk) << msg.text;
  _ColSetTextW(*ra, 1, name, "Gone Library");
  EXPECT_EQ(_DbxUpdateRowU(a, "location", *ra, 1, 1, msg), kDbNotFound);
  EXPECT_EQ(msg.text, "The row of 'location' is gone: another user deleted it.");
  EXPECT_TRUE(_BktRowIsChanged(*ra, 1));   // still to be saved
  EXPECT_EQ(_DbxDeleteRowU(a, "location", *ra, 1, 1, msg), kDbNotFound);

  // A duplicate key is a constraint failure with the server's text.
  _BktSetState(*rb, 1, kRowNew);
  ASSERT_EQ(_DbxInsertRow(b, "location", *rb, 1, 1, msg), kDbOk) << msg.text;
  EXPECT_EQ(_DbxInsertRow(b, "location", *rb, 1, 1, msg), kDbConstraint);
  EXPECT_NE(msg.text.find(testlib::ByEngine("UNIQUE constraint failed: location.location",
                                            "duplicate key value violates unique constraint")),
            std::string::npos)
      << msg.text;
}

TEST(DbLoad, ModesTypingAndCommands) {
  TempDb tmp;
  Session s;
  ASSERT_EQ(s.code, kDbOk);
  DbMsg msg;
  BucketHold b;
  ASSERT_EQ(_DbLoadQuery(s, b.get(), kLoadCreate, 8, 8, 0, "location", "location, name", "",
                         "location", msg), kDbOk) << msg.text;
  ASSERT_EQ(_BktCountAll(*b), 2);
  EXPECT_EQ(_ColGetStringW(*b, 1, 1), "BRANCH");
  EXPECT_TRUE(_BktIsKeyCol(*b, 1));
  EXPECT_FALSE(_BktIsKeyCol(*b, 2));
  EXPECT_EQ(_BktGetColLength(*b, 2), 60);

  const std::string both = "select name, location from location order by location";
  ASSERT_EQ(_DbCmd(s, both, 1023), kDbOk);
  ASSERT_EQ(_DbLoadQuery(s, b.get(), kLoadAppend, 0, 0, 0, "", "", "", "", msg), kDbOk);
  EXPECT_EQ(_BktCountAll(*b), 4);
  EXPECT_EQ(_ColGetStringW(*b, 4, 1), "MAIN");   // matched by name, not position
  ASSERT_EQ(_DbCmd(s, both, 1023), kDbOk);
  ASSERT_EQ(_DbLoadQuery(s, b.get(), kLoadAppendMax, 0, 0, 1, "", "", "", "", msg), kDbOk);
  EXPECT_EQ(_BktCountAll(*b), 5);
  ASSERT_EQ(_DbCmd(s, "select location from location where location='MAIN'", 1023), kDbOk);
  ASSERT_EQ(_DbLoadQuery(s, b.get(), kLoadReplace, 0, 0, 0, "", "", "", "", msg), kDbOk);
  ASSERT_EQ(_BktCountAll(*b), 1);
  EXPECT_TRUE(_ColIsNull(*b, 1, 2));

  // The command was consumed.
  EXPECT_EQ(_DbLoadQuery(s, b.get(), kLoadReplace, 0, 0, 0, "", "", "", "", msg), kDbMisuse);
  EXPECT_EQ(msg.text, "No command to run.");
  EXPECT_EQ(_DbCmd(s, std::string(1025, 'x'), 1023), kDbTooLong);

  // Expressions: typed by a column name the schema declares, else by value.
  BucketHold e;
  ASSERT_EQ(RunCommand(s, e.get(),
                "select fiscal_year=max(fiscal_year)+1, n=count(*), label='x'||'y', blank=null "
                "from acq_parameter", msg), kDbOk) << msg.text;
  const int types[] = {kColInt16, kColInt32, kColText, kColText};
  for (int c = 1; c <= 4; ++c) EXPECT_EQ(_BktGetColType(*e, c), types[c - 1]) << c;
  EXPECT_EQ(_ColGetInt(*e, 1, 1), 2027);

  BucketHold none;
  EXPECT_EQ(_DbBktFromCols(s, "locations", "*", none.get(), 1, 1, msg), kDbError);
  EXPECT_EQ(msg.text, "Table or view 'locations' does not exist.");
  EXPECT_EQ(_DbBktFromCols(s, "location", "location, fax", none.get(), 1, 1, msg), kDbError);
  EXPECT_EQ(msg.text, "Column 'fax' is not in 'location'.");
  EXPECT_EQ(RunCommand(s, none.get(), "select nonsense from location", msg), kDbError);
  EXPECT_NE(msg.text.find(testlib::ByEngine("no such column: nonsense",
                                            "column \"nonsense\" does not exist")),
            std::string::npos)
      << msg.text;
}

TEST(DbLoad, SharedCodeTableIsReadOnceAndReadOnly) {
  TempDb tmp;
  Session s;
  ASSERT_EQ(s.code, kDbOk);
  DbMsg msg;
  BktHandle first = nullptr, second = nullptr;
  ASSERT_EQ(_DbGetShrCodeBkt(s, "location", first, msg), kDbOk) << msg.text;
  tmp.Exec("INSERT INTO location(location, name) VALUES('ANNEX', 'Annex')");
  ASSERT_EQ(_DbGetShrCodeBkt(s, "location", second, msg), kDbOk);
  EXPECT_EQ(first, second);
  EXPECT_EQ(_BktCountAll(first), 2);
  EXPECT_TRUE(_BktIsReadOnly(first));
  EXPECT_EQ(_DbGetShrCodeBkt(s, "no_table", first, msg), kDbError);
}
