// Catalogue services of the session: the site's barcode shape, inventory
// numbers (free ones first, each prefix numbered apart, never one an item
// carries), bibliographic records that the duplicate search finds and that
// never take a number in use, and that every writing service shares the
// caller's transaction.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/db/PwDb.h"
#include "TempDb.h"

using testdb::Session;
using testdb::TempDb;

namespace {

TEST(DbCatalogue, BarcodeShapeOfTheSite) {
  struct Case {
    const char* type;
    int length;
    const char* barcode;
    bool valid;
  } const cases[] = {
      {"BARCODE", 14, "31234000012345", true},
      {"BARCODE", 14, "3123400001234", false},    // one digit short
      {"BARCODE", 14, "312340000123456", false},  // one too many
      {"BARCODE", 14, "3123400001234X", false},
      {"BARCODE", 14, "acq17", true},             // temporary
      {"BARCODE", 14, "ACQ00017", true},
      {"BARCODE", 14, "acq", false},              // temporary without a number
      {"BARCODE", 14, "acq12345678901", true},    // 14 characters in all
      {"BARCODE", 14, "acq123456789012", false},  // 15
      {"BARCODE", 14, "acq12x", false},
      {"barcode", 0, "31234000012345", true},     // type in any case; 0: 14
      {"BARCODE", 14, "", false},
      {"", 14, "B-17/a", true},                   // no key string type: no blanks
      {"", 14, "B 17", false},
      {"", 4, "ABCDE", false},
      {"", 14, "x\ty", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(DbCat_BarcodeHasSiteShape(c.type, c.length, c.barcode), c.valid)
        << c.type << " " << c.length << " '" << c.barcode << "'";
  EXPECT_EQ(DbCat_TemporaryBarcode(42), "acq42");
}

// Opens a transaction for the scope, rolled back unless committed.
class Txn {
 public:
  explicit Txn(HDb db) : db_(db) { _DbBeginTrans(db_); }
  ~Txn() {
    if (open_) {
      DbMsg msg;
      (void)_DbRollbackTrans(db_, "", msg);
    }
  }
  DbCode Commit(DbMsg& msg) {
    open_ = false;
    return _DbCommitTrans(db_, msg);
  }

 private:
  HDb db_;
  bool open_ = true;
};

std::string Generate(HDb db, const std::string& prefix) {
  DbMsg msg;
  std::string value;
  EXPECT_EQ(DbIndex_GenerateDataWithPrefix(db, prefix, "newinvkey", "freeinvkey", value, msg),
            kDbOk)
      << msg.text;
  return value;
}

TEST(DbCatalogue, InventoryNumbersReuseFreeOnesAndSkipNumbersInUse) {
  TempDb db;
  Session s;
  ASSERT_EQ(s.code, kDbOk) << s.msg.text;
  // Numbers 2 of prefix "B" and 3 of "" are carried by items made elsewhere.
  ASSERT_TRUE(db.Exec("INSERT INTO item(\"item#\", ibarcode, location, prefix_inventory_num, "
                      "inventory_num) VALUES (9001, '31234000090011', 'MAIN', 'B', '2'), "
                      "(9002, '31234000090029', 'MAIN', '', '3')"));
  DbMsg msg;
  {
    Txn t(s);
    EXPECT_EQ(Generate(s, "B"), "1");
    EXPECT_EQ(Generate(s, "B"), "3");    // 2 is in use
    EXPECT_EQ(Generate(s, ""), "1");     // each prefix numbered apart
    EXPECT_EQ(Generate(s, ""), "2");
    EXPECT_EQ(Generate(s, ""), "4");
    ASSERT_EQ(DbIndex_FreeDataWithPrefix(s, "B", "freeinvkey", "1", msg), kDbOk) << msg.text;
    ASSERT_EQ(DbIndex_FreeDataWithPrefix(s, "B", "freeinvkey", "1", msg), kDbOk) << msg.text;
    ASSERT_EQ(DbIndex_FreeDataWithPrefix(s, "B", "freeinvkey", "12", msg), kDbOk) << msg.text;
    EXPECT_EQ(Generate(s, "B"), "1");    // the lowest free one first
    EXPECT_EQ(Generate(s, "B"), "12");
    EXPECT_EQ(Generate(s, "B"), "4");    // then new ones again
    EXPECT_NE(DbIndex_FreeDataWithPrefix(s, "B", "freeinvkey", "x1", msg), kDbOk);
    ASSERT_EQ(t.Commit(msg), kDbOk) << msg.text;
  }
  {
    Txn t(s);   // rolled back: the numbers it took are free again
    EXPECT_EQ(Generate(s, "B"), "5");
  }
  Txn t(s);
  EXPECT_EQ(Generate(s, "B"), "5");
}

TEST(DbCatalogue, WritingServicesNeedTheCallersTransaction) {
  TempDb db;
  Session s;
  ASSERT_EQ(s.code, kDbOk) << s.msg.text;
  DbMsg msg;
  std::string value;
  int32_t bib = 0;
  EXPECT_EQ(DbIndex_GenerateDataWithPrefix(s, "", "newinvkey", "freeinvkey", value, msg),
            kDbMisuse);
  DbBibFields fields;
  fields.title = "A title";
  EXPECT_EQ(DbMarc_CreateBib(s, fields, bib, msg), kDbMisuse);
  EXPECT_EQ(DbCat_UpdateItemActivity(s, 1, "create", msg), kDbMisuse);
  EXPECT_EQ(DbSer_SetCopyNum(s, 1, 1, msg), kDbMisuse);
  EXPECT_EQ(DbSer_SetSerialNumber(s, 1, "x", msg), kDbMisuse);
  EXPECT_EQ(db.Column("SELECT count(*) FROM bib").at(0), "0");
  Txn t(s);
  EXPECT_EQ(DbSer_SetCopyNum(s, 424242, 1, msg), kDbNotFound);
  EXPECT_EQ(DbSer_SetSerialNumber(s, 424242, "x", msg), kDbNotFound);
}

TEST(DbCatalogue, NewBibIsFoundByTheDuplicateSearchAndTakesNoNumberInUse) {
  TempDb db;
  Session s;
  ASSERT_EQ(s.code, kDbOk) << s.msg.text;
  // The next key lands on 1101, a record only the duplicate index knows.
  ASSERT_TRUE(db.Exec("UPDATE pw_key SET next_key = 1101 WHERE key_table = 'bib_control'"));
  DbMsg msg;
  DbBibFields f;
  f.title = "Tide Tables of the Great Lakes";
  f.author = "Lund, Ada";
  f.isbn = "978-1-55500-999-4";
  f.issn = "";
  int32_t bib = 0;
  {
    Txn t(s);
    ASSERT_EQ(DbMarc_CreateBib(s, f, bib, msg), kDbOk) << msg.text;
    EXPECT_EQ(bib, 1102);
    ASSERT_EQ(t.Commit(msg), kDbOk) << msg.text;
  }
  std::vector<int32_t> found;
  ASSERT_EQ(DbSer_SearchDupIndex(s, "isbn", "9781555009994", found, msg), kDbOk) << msg.text;
  EXPECT_EQ(found, std::vector<int32_t>{1102});
  EXPECT_EQ(db.Column("SELECT count(*) FROM bib_index WHERE \"bib#\" = 1102").at(0), "1");
  const std::string marc = db.Column("SELECT marc_text FROM bib WHERE \"bib#\" = 1102").at(0);
  EXPECT_NE(marc.find("245 $aTide Tables of the Great Lakes"), std::string::npos) << marc;
  EXPECT_NE(marc.find("100 $aLund, Ada"), std::string::npos) << marc;
  EXPECT_NE(marc.find("020 $a978-1-55500-999-4"), std::string::npos) << marc;
}

}  // namespace
