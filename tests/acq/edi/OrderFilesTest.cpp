// Order files sent to vendors: the EDIFACT ORDERS interchange and the BISAC
// order file of fixed POs, compared with files laid out by hand, what they
// refuse, and the marking of the POs they carry.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../DbActFixture.h"
#include "acq/edi/AcqBisac.h"
#include "acq/edi/AcqEdiOrd.h"
#include "acq/edi/AcqEdiRead.h"
#include "host/db/DbDabs.h"

namespace {

namespace fs = std::filesystem;
using acttest::ActModule;
using acttest::RecordingPerson;

// Vendor 900 and the library both have EANs. PO 900 (drop ship) orders
// three titles: line 1 two copies (one going to TECH, one with a temporary
// barcode), a title with an apostrophe and a plus sign; line 2 a 10-digit
// ISBN and an EAN, a title of two IMD components; line 3 only cancelled
// copies (not sent); line 4 no price, one of its two copies cancelled.
// PO 901 (same vendor) has one line with a title longer than 57
// characters. The control reference is pinned at 4711.
const char* const kFixedPos =
    "INSERT INTO vendor(\"vendor#\", vendor_code, name, currency, san, san_suffix, ean_gln) "
    "VALUES (900, 'ORDTEST', 'Test Books', 'USD', '800-9000', '42', '5012345000017');"
    "INSERT INTO po(\"po#\", po_number, \"vendor#\", currency, location, bill_to_address, "
    "ship_to_address, drop_ship) VALUES (900, 'ORD-900', 900, 'USD', 'MAIN', 'ACCTS', 'RECV', 1),"
    "(901, 'ORD-901', 900, 'USD', 'MAIN', 'ACCTS', 'RECV', 0);"
    "INSERT INTO po_line(\"po#\", line, \"bib#\", title, author, publisher, publication_date, "
    "isbn, unit_price, order_note) VALUES (900, 1, 77, 'Finnegan''s Wake + notes', "
    "'Joyce, James', 'Oxford: OUP', '2012', '978-0-19-853453-2', 24950000, "
    "'Please send 2 copies?');"
    "INSERT INTO po_line(\"po#\", line, title, isbn, ean_gtin, vendor_product_id, unit_price) "
    "VALUES (900, 2, 'A very long title that certainly needs two components', '0-19-853453-1', "
    "'4006381333931', 'VP-2', 10500000);"
    "INSERT INTO po_line(\"po#\", line, title, ismn) VALUES (900, 3, 'Cancelled', NULL),"
    "(900, 4, 'Plain', 'M-2306-7118-7');"
    "INSERT INTO po_line(\"po#\", line, title, publisher, isbn, lccn, unit_price) VALUES "
    "(901, 1, 'aaaaaaaaaaaaaaaaaaaa*aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaabcdefghij', "
    "'Ωmega Press', '9780804429573', 'n 79-21164', 5000000);"
    "INSERT INTO item(\"item#\", ibarcode, call_reconst, location) VALUES "
    "(9901, '31234000012345', 'PR6019.O9 F5 2012', 'MAIN'), (9902, 'acq00017', NULL, 'MAIN');"
    "INSERT INTO po_line_item(\"po#\", line, item, location, collection, itype, call_number, "
    "ship_to_address, approve_date, cancel_date, \"item#\") VALUES "
    "(900, 1, 1, 'MAIN', 'ADULT', 'BOOK', 'PR6019 .O9', NULL, 20000, NULL, 9901),"
    "(900, 1, 2, 'MAIN', 'ADULT', 'BOOK', NULL, 'TECH', 20000, NULL, 9902),"
    "(900, 2, 1, 'MAIN', NULL, NULL, NULL, NULL, 20000, NULL, NULL),"
    "(900, 3, 1, 'MAIN', NULL, NULL, NULL, NULL, 20000, 20001, NULL),"
    "(900, 4, 1, 'MAIN', NULL, NULL, NULL, NULL, NULL, 20001, NULL),"
    "(900, 4, 2, 'MAIN', NULL, NULL, NULL, NULL, 20000, NULL, NULL),"
    "(901, 1, 1, 'MAIN', NULL, NULL, NULL, NULL, 20000, NULL, NULL),"
    "(901, 1, 2, 'MAIN', NULL, NULL, NULL, NULL, 20000, NULL, NULL),"
    "(901, 1, 3, 'MAIN', NULL, NULL, NULL, NULL, 20000, NULL, NULL);"
    "DELETE FROM pw_key WHERE key_table='edifact_interchange_cntrl_ref';"
    "INSERT INTO pw_key(key_table, next_key) VALUES ('edifact_interchange_cntrl_ref', 4711);";

DayNum Dec4th2026() {
  DayNum d = kNoDate;
  EXPECT_TRUE(DbDabs_MDYToDate(12, 4, 2026, d));
  return d;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// The demo library with the fixed POs, a folder for the files, and a
// person who answers every box.
struct OrderFiles {
  explicit OrderFiles(const std::string& extraSql = "") : module(kFixedPos + extraSql) {}
  ActModule module;
  RecordingPerson person;
  fs::path File(const char* name) const { return module.db.Dir() / name; }
  std::function<bool(std::string&)> AskFor(const fs::path& file) {
    return [this, file](std::string& path) {
      ++asked;
      path = file.string();
      return true;
    };
  }
  acq::AcqEdiOrd::RunOptions Fixed(bool test = false) {
    acq::AcqEdiOrd::RunOptions o;
    o.date = Dec4th2026();
    o.time = 9 * 60 + 30;
    o.test = test;
    o.codePage = "CP1252";
    return o;
  }
  // What went wrong, for a failed send: the boxes and the database errors.
  std::string Told() const {
    std::string out;
    for (const std::string& s : person.shown) out += s + "\n";
    for (const std::string& s : acqtest::ShownErrors()) out += s + "\n";
    return out;
  }
  int asked = 0;
};

}  // namespace

// Every segment of the interchange as written by hand; the POs are marked
// as sent and the control reference is used up.
TEST(OrderFiles, OrdersOfAFixedPoMatchTheHandWrittenFile) {
  OrderFiles t;
  const fs::path file = t.File("orders.edi");
  ASSERT_TRUE(acq::AcqEdiOrd::SendOrders(nullptr, {900}, t.AskFor(file), t.Fixed()))
      << t.Told();
  const std::string expected =
      ReadFile(std::string(ACQ_SOURCE_DIR) + "/tests/acq/data/OrdersFixedPo.edi");
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(ReadFile(file), expected);
  EXPECT_TRUE(t.person.shown.empty());
  // The live, approved copies are ordered now; cancelled ones are not.
  EXPECT_EQ(t.module.Count("select count(*) from po_line_item where \"po#\"=900 and "
                           "order_date IS NOT NULL and printed_date IS NOT NULL"),
            4);
  EXPECT_EQ(t.module.Count("select next_key from pw_key where "
                           "key_table='edifact_interchange_cntrl_ref'"),
            4712);
}

// The symbol read at start-up marks every interchange as a test one.
TEST(OrderFiles, TestSymbolEndsUnbWithTheTestIndicator) {
  OrderFiles t;
  setenv("KtTryEDI", "ORDERS", 1);
  acq::AcqEdiOrd::Initialize();
  unsetenv("KtTryEDI");
  ASSERT_TRUE(acq::AcqEdiOrd::TestInterchanges());
  const fs::path file = t.File("test.edi");
  ASSERT_TRUE(acq::AcqEdiOrd::SendOrders(nullptr, {900, 901}, t.AskFor(file),
                                         t.Fixed(acq::AcqEdiOrd::TestInterchanges())))
      << t.Told();
  const std::string text = ReadFile(file);
  EXPECT_NE(text.find("+261204:0930+4711++++++1'UNH+1+"), std::string::npos) << text;
  EXPECT_NE(text.find("'UNH+2+ORDERS:D:96A:UN:EAN008'BGM+220+ORD-901+9'"), std::string::npos);
  EXPECT_NE(text.find("UNT+21+2'UNZ+2+4711'"), std::string::npos) << text;
  acq::AcqEdiOrd::Initialize();
  EXPECT_FALSE(acq::AcqEdiOrd::TestInterchanges());
}

// What the reader makes of the file when a vendor's system would receive
// it: the reader takes the sender for a vendor and the recipient for a
// location, so each side is given the other's EAN here.
TEST(OrderFiles, OrdersReadBackWithoutExceptions) {
  OrderFiles t(
      "INSERT INTO vendor(\"vendor#\", name, ean_gln) VALUES (901, 'Mirror', '0614141100014');"
      "INSERT INTO address(location, address_code, name, ean_gln) VALUES "
      "('BRANCH', 'MIRROR', 'Mirror', '5012345000017');");
  const fs::path file = t.File("readback.edi");
  ASSERT_TRUE(acq::AcqEdiOrd::SendOrders(nullptr, {900}, t.AskFor(file), t.Fixed())) << t.Told();
  acq::AcqEdiRead::Hooks hooks;
  hooks.firstFileDelayMs = 0;
  const acq::AcqEdiRead::RunResult run = acq::AcqEdiRead::UploadFiles({file.string()}, hooks);
  ASSERT_EQ(run.files.size(), 1u);
  EXPECT_TRUE(run.files[0].saved);
  EXPECT_FALSE(run.files[0].failed);
  EXPECT_EQ(run.files[0].warnings + run.files[0].errors, 0);
  EXPECT_EQ(t.module.Count("select count(*) from edifact_exception"), 0);
  const acttest::Rows message = t.module.Query(
      "select message_type, message_number, line_count, \"message_vendor#\", message_location "
      "from edifact_message");
  ASSERT_EQ(message.size(), 1u);
  EXPECT_EQ(message[0], (std::vector<std::string>{"2", "ORD-900", "3", "900", "MAIN"}));
}

// Each refusal is told before a file is asked for, and nothing is written
// or marked.
TEST(OrderFiles, RefusalsAskForNoFileAndMarkNothing) {
  struct Case {
    const char* what;
    std::string sql;
    std::vector<int32_t> pos;
    const char* codePage;
    std::string told;
  };
  const Case cases[] = {
      {"two vendors", "", {900, 1}, "CP1252",
       "EDIFACT Order Message|Please select POs for only one Vendor for each EDIFACT Order."},
      {"an unapproved copy", "UPDATE po_line_item SET approve_date=NULL WHERE \"po#\"=901 AND item=2;",
       {900, 901}, "CP1252",
       "PO Not Approved Message|PO ORD-901 has titles with items that are not approved.  "
       "Approve titles, then continue with activity."},
      {"a code page outside EDIFACT", "", {900}, "CP850",
       "EDIFACT Message|EDIFACT doesn't handle the current workstation code page: 850."},
      {"a default bill-to that may not bill",
       "UPDATE address SET bill_to=0 WHERE location='MAIN' AND address_code='ACCTS';", {900},
       "CP1252",
       "Address Message|Missing a default billing address for location MAIN or the default "
       "billing address is the wrong type."},
  };
  for (const Case& c : cases) {
    OrderFiles t(c.sql);
    acq::AcqEdiOrd::RunOptions options = t.Fixed();
    options.codePage = c.codePage;
    const fs::path file = t.File("refused.edi");
    EXPECT_FALSE(acq::AcqEdiOrd::SendOrders(nullptr, c.pos, t.AskFor(file), options)) << c.what;
    EXPECT_EQ(t.asked, 0) << c.what;
    EXPECT_FALSE(fs::exists(file)) << c.what;
    EXPECT_EQ(t.person.shown, std::vector<std::string>{c.told}) << c.what;
    EXPECT_EQ(t.module.Count("select count(*) from po_line_item where \"po#\" in (900, 901) and "
                             "order_date IS NOT NULL"),
              0)
        << c.what;
  }
  // BISAC's own words for the vendor check.
  OrderFiles t;
  EXPECT_FALSE(acq::AcqBisac::SendBisac(nullptr, {900, 1}, t.AskFor(t.File("x.bis")), {}));
  EXPECT_EQ(t.person.shown, std::vector<std::string>{
                                "BISAC Order Message|Please select POs for only one Vendor for "
                                "each BISAC Order."});
}

// A file that cannot be created is told with 213; the POs stay unmarked.
TEST(OrderFiles, UncreatableFileIsToldAndMarksNothing) {
  OrderFiles t;
  const fs::path file = t.File("no-such-folder") / "orders.edi";
  EXPECT_FALSE(acq::AcqEdiOrd::SendOrders(nullptr, {900}, t.AskFor(file), t.Fixed()));
  EXPECT_EQ(t.person.shown, std::vector<std::string>{
                                "File Message|Can't open file. Check drive, directory and spelling."});
  EXPECT_EQ(t.module.Count("select count(*) from po_line_item where order_date IS NOT NULL and "
                           "\"po#\"=900"),
            0);
}

// The records of two POs laid out by hand: 80 characters each, numbered
// across the file, "42" only after a line with an author or a title past
// 57 characters, the trailers counting what was written.
TEST(OrderFiles, BisacRecordsOfTwoPosMatchTheHandLaidRecords) {
  OrderFiles t;
  const fs::path file = t.File("orders.bis");
  acq::AcqBisac::RunOptions options;
  options.date = Dec4th2026();
  options.codePage = "CP1252";
  ASSERT_TRUE(acq::AcqBisac::SendBisac(nullptr, {900, 901}, t.AskFor(file), options))
      << t.Told();
  auto rec = [](std::string text) {
    EXPECT_LE(text.size(), 80u) << text;
    return text + std::string(80 - std::min<size_t>(80, text.size()), ' ');
  };
  const std::string k900 = "0000000000900", k901 = "0000000000901", blank12(12, ' ');
  const std::vector<std::string> expected = {
      rec("0000001" "8001100" " 0000" "Main Library " "261204" "ORDERS.BIS            " "F03"
          "8009000" " 0042"),
      rec("1000002" + k900 + "8001100" " 0042" + blank12 + "261204"),
      rec("4000003" + k900 + "Y" "0000000001" "0198534531" "00002" " " "002495" "     "
          "        " + blank12),
      rec("4100004" + k900 + "  " " " "FINNEGAN'S WAKE + NOTES"),
      rec("4200005" + k900 + std::string(10, ' ') + "       " "JOYCE, JAMES           "
          "OXFORD: OUP"),
      rec("4000006" + k900 + "N" "0000000002" "0198534531" "00001" " " "001050" "     "
          "        " + blank12),
      rec("4100007" + k900 + "  " " " "A VERY LONG TITLE THAT CERTAINLY NEEDS TWO COMPONENTS"),
      rec("4000008" + k900 + "N" "0000000004" "          " "00001" " " "000000" "     "
          "        " + blank12),
      rec("4100009" + k900 + "  " " " "PLAIN"),
      rec("5000010" + k900 + "00009" "0000000003" "0000000004"),
      rec("1000011" + k901 + "8001100" " 0042" + blank12 + "261204"),
      rec("4000012" + k901 + "Y" "0000000001" "080442957X" "00003" " " "000500" "     "
          "n7902116" + blank12),
      rec("4100013" + k901 + "  " " " + std::string(57, 'A')),
      rec("4200014" + k901 + std::string(10, ' ') + "BCDEFGH" + std::string(23, ' ') +
          "*MEGA PRESS"),
      rec("5000015" + k901 + "00005" "0000000001" "0000000003"),
      rec("9000016" "0000000000004" "00002" "0000000007" "00000" "00002" "00000" "00000" "00010"
          "00002" "00000" "00000" "00000"),
  };
  const std::string text = ReadFile(file);
  ASSERT_EQ(text.size(), 80 * expected.size()) << text;
  for (size_t i = 0; i < expected.size(); ++i)
    EXPECT_EQ(text.substr(80 * i, 80), expected[i]) << "record " << i + 1;
  EXPECT_EQ(t.module.Count("select count(*) from po_line_item where \"po#\" in (900, 901) and "
                           "order_date IS NOT NULL"),
            7);
}
