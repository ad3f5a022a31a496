// Element extraction, decimals, party-code forms and the vendor and
// location lookups on a real library database.
#include <gtest/gtest.h>

#include <string>

#include "../ModuleFixture.h"
#include "EdiTestSupport.h"
#include "acq/edi/AcqEdifact.h"
#include "host/sys/Bucket.h"

namespace {

namespace ae = acq::AcqEdifact;

struct ElementCase {
  const char* segment;
  int element, component;
  size_t capacity;
  bool found;
  const char* value;
};

TEST(AcqEdifactElement, ExtractsAsWrittenCountingEverySeparator) {
  const ae::ServiceChars sc;
  const ElementCase cases[] = {
      {"UNH+1+ORDRSP:D:96A:UN'", 0, 1, 30, true, "UNH"},
      {"UNH+1+ORDRSP:D:96A:UN'", 2, 1, 30, true, "ORDRSP"},
      {"UNH+1+ORDRSP:D:96A:UN'", 2, 4, 30, true, "UN"},
      {"UNH+1+ORDRSP:D:96A:UN'", 2, 5, 30, false, ""},
      {"UNH+1+ORDRSP:D:96A:UN'", 3, 1, 30, false, ""},
      // A component skip never crosses into the next element.
      {"NAD+BY+123+X:Y'", 2, 2, 30, false, ""},
      {"NAD+BY+123::91'", 2, 3, 30, true, "91"},
      {"NAD+BY+123::91'", 2, 2, 30, true, ""},
      // Release characters stay in the value; a released separator does not
      // end it, but it is counted when skipping.
      {"IMD+F+81+:::ART ?+ QUILT'", 3, 4, 30, true, "ART ?+ QUILT"},
      {"FTX+A?+B+C'", 2, 1, 30, true, "B"},
      {"FTX+A?+B+C'", 1, 1, 30, true, "A?+B"},
      {"FTX+A??+B'", 1, 1, 30, true, "A??"},
      {"RFF+LI:4639/1'", 1, 2, 30, true, "4639/1"},
      // Cut to the caller's capacity.
      {"BGM+2310+R1'", 1, 1, 3, true, "231"},
      // No terminator: the value runs to the end of the text.
      {"CNT+2:18", 1, 2, 30, true, "18"},
      {"", 0, 1, 30, true, ""},
      {"UNZ+1'", 1, 0, 30, false, ""},
  };
  for (const ElementCase& c : cases) {
    std::string value = "stale";
    EXPECT_EQ(ae::GetElement(c.segment, sc, c.element, c.component, c.capacity, value), c.found)
        << c.segment << " " << c.element << ":" << c.component;
    EXPECT_EQ(value, c.value) << c.segment << " " << c.element << ":" << c.component;
  }
}

TEST(AcqEdifactElement, FollowsTheFilesServiceCharacters) {
  const ae::ServiceChars sc = ae::ServiceChars::FromUna("^<.? >");
  EXPECT_EQ(sc.Una(), "^<.? >");
  EXPECT_EQ(ae::Element("MOA<8^34.40>", sc, 1, 2), "34.40");
  EXPECT_EQ(ae::Element("IMD<F<JTI<^^^AMERICAN SOCIE^TY>", sc, 3, 4), "AMERICAN SOCIE");
  EXPECT_EQ(ae::ServiceChars::FromUna(":+.").Una(), ae::kDefaultUna);
}

TEST(AcqEdifactText, UnescapesAndParsesDecimalsInTheFilesNotation) {
  const ae::ServiceChars sc;
  EXPECT_EQ(ae::Unescape("Putnam?'s ???: ?+", sc), "Putnam's ?: +");
  EXPECT_EQ(ae::Unescape("end?", sc), "end?");

  const ae::ServiceChars comma = ae::ServiceChars::FromUna(":+,? '");
  struct {
    const char* text;
    const ae::ServiceChars* sc;
    bool ok;
    int64_t raw;
  } cases[] = {
      {"12.50", &sc, true, 12500000},     {"7", &sc, true, 7000000},
      {"-3.5", &sc, true, -3500000},      {"12,50", &comma, true, 12500000},
      {"12.50", &comma, false, 0},        {"1,250", &sc, false, 0},
      {"12.5.0", &sc, false, 0},          {"", &sc, false, 0},
      {"abc", &sc, false, 0},             {"0.1234567", &sc, false, 0},
  };
  for (const auto& c : cases) {
    Dec64 value;
    EXPECT_EQ(ae::ParseDecimal(c.text, *c.sc, value), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(value.raw, c.raw) << c.text;
    }
  }
}

TEST(AcqEdifactParties, KindsAndSanForms) {
  struct {
    const char* agency;
    int vendor, location;
  } kinds[] = {{"92", 0, 0}, {"91", 1, 3}, {"9", 2, 1}, {"14", 2, 1},
               {"31B", 3, 2}, {"32B", 3, 2}, {"ZZ", -1, -1}, {"", -1, -1}, {"014", -1, -1}};
  for (const auto& k : kinds) {
    EXPECT_EQ(ae::VendorKind(k.agency), k.vendor) << k.agency;
    EXPECT_EQ(ae::LocationKind(k.agency), k.location) << k.agency;
  }
  struct {
    const char* san;
    const char* second;
    const char* normal;
  } sans[] = {
      {"1556150", "155-6150", "155-6150"}, {"155-6150", "1556150", "155-6150"},
      {"ab12345", "AB123-45", "AB123-45"}, {"a1b2", "A1B-2", "A1B-2"},
      {"123", "123", "123"},               {"AB123", "AB123", "AB123"},
      {"1-2-3", "123", "1-2-3"},           {"x", "X", "X"},
  };
  for (const auto& s : sans) {
    EXPECT_EQ(ae::SanSecondForm(s.san), s.second) << s.san;
    EXPECT_EQ(ae::SanNormalForm(s.san), s.normal) << s.san;
  }
}

class AcqEdifactLookup : public ::testing::Test {
 protected:
  void SetUp() override {
    db_.StartUnits();
    ASSERT_EQ(db_.Login(), kDbOk);
    editest::SeedParties(db_);
  }
  acqtest::ModuleDb db_;
};

TEST_F(AcqEdifactLookup, FindsVendorsAndLocationsByEveryKind) {
  // Ambiguities made on purpose: two vendors share an EAN and a SAN, two
  // locations an EAN, two contracts of different vendors a customer number.
  db_.Exec("UPDATE vendor SET ean_gln = '4012345000094' WHERE \"vendor#\" = 381;"
           "UPDATE vendor SET san = '999-0001' WHERE \"vendor#\" IN (378, 379);"
           "UPDATE address SET ean_gln = '5412345000176' WHERE address_code = 'EDI7';"
           "UPDATE vendor_contract SET cust_number = 'SHARED' WHERE vendor_contract IN "
           "('STAND26', 'SUBS26');");
  using R = ae::Lookup::Result;
  struct {
    int kind;
    const char* code;
    R result;
    int32_t vendor;
    int message;
  } vendors[] = {
      {0, "376", R::Found, 376, 0},        {0, "9999", R::NotFound, 0, 0},
      {0, "37x", R::NotFound, 0, 0},       {1, "824016", R::Found, 376, 0},
      {1, "NF-4410", R::Found, 1, 0},   {1, "SHARED", R::Ambiguous, 0, 345},
      {1, "nope", R::NotFound, 0, 0},      {2, "5013546027173", R::Found, 382, 0},
      {2, "4012345000094", R::Ambiguous, 0, 341},
      {3, "1556150", R::Found, 377, 0},    {3, "800-1001", R::Found, 1, 0},
      // The second form: a hyphen added, or removed.
      {3, "8001001", R::Found, 1, 0},      {3, "169-7684", R::Found, 376, 0},
      {3, "9990001", R::Ambiguous, 0, 342},
      {4, "1556150", R::NotFound, 0, 0},
  };
  for (const auto& v : vendors) {
    int32_t vendor = -1;
    const ae::Lookup found = ae::FindVendor(v.kind, v.code, vendor);
    EXPECT_EQ(found.result, v.result) << v.kind << " " << v.code;
    EXPECT_EQ(vendor, v.vendor) << v.kind << " " << v.code;
    EXPECT_EQ(found.message, v.message) << v.kind << " " << v.code;
  }
  struct {
    int kind;
    const char* code;
    R result;
    const char* location;
    int message;
  } locations[] = {
      {0, "RIVER", R::Found, "BRANCH", 0},     {0, "NONE", R::NotFound, "", 0},
      {1, "5013546121974", R::Found, "BRANCH", 0},
      {1, "5412345000176", R::Ambiguous, "", 343},
      {2, "6666666", R::Found, "BRANCH", 0},   {2, "8001200", R::Found, "BRANCH", 0},
      {3, "8888888", R::NotFound, "", 0},
  };
  for (const auto& l : locations) {
    std::string location = "stale";
    const ae::Lookup found = ae::FindLocation(l.kind, l.code, location);
    EXPECT_EQ(found.result, l.result) << l.kind << " " << l.code;
    EXPECT_EQ(location, l.location) << l.kind << " " << l.code;
    EXPECT_EQ(found.message, l.message) << l.kind << " " << l.code;
  }
  db_.Exec("UPDATE address SET san = '800-1100' WHERE address_code = 'RIVER'");
  std::string location;
  EXPECT_EQ(ae::FindLocation(2, "800-1100", location).message, 344);
}

TEST_F(AcqEdifactLookup, AnErrorOfTheUploadLeavesExactlyOneRow) {
  DbMsg msg;
  BucketHold rows(ae::NewTableBucket("edifact_exception", msg));
  ASSERT_NE(*rows, nullptr) << msg.text;
  std::vector<std::string> shown;
  ae::ExceptionWriter writer(*rows, 0, [&](std::string_view text) { shown.emplace_back(text); });
  writer.Write(7, 2, 15, "/tmp/a.edi", 320, false);
  writer.Write(7, 2, 16, "GBX", 321, false);
  EXPECT_FALSE(writer.failed());
  ASSERT_EQ(_BktCountAll(*rows), 2);
  EXPECT_EQ(_ColGetInt(*rows, 1, _BktGetColNum(*rows, "segment#")), 15);
  writer.Write(7, 2, 17, "/tmp/a.edi", 311, true);
  EXPECT_TRUE(writer.failed());
  EXPECT_EQ(writer.warnings(), 2);
  EXPECT_EQ(writer.errors(), 1);
  ASSERT_EQ(_BktCountAll(*rows), 1);
  for (const char* key : {"edifact#", "message#", "segment#"})
    EXPECT_TRUE(_ColIsNull(*rows, 1, _BktGetColNum(*rows, key))) << key;
  EXPECT_EQ(_ColGetStringW(*rows, 1, _BktGetColNum(*rows, "descr")),
            "File Upload Error: /tmp/a.edi Format Error - message begin/end segment is missing.");
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[1],
            "File Upload Warning: EDIFACT invoice currency code GBX not found in the currency "
            "table. Please make sure it is added to the currency table before processing "
            "EDIFACT invoices.");

  // Other processes keep every row and their keys.
  BucketHold other(ae::NewTableBucket("edifact_exception", msg));
  ae::ExceptionWriter invoices(*other, 1);
  invoices.Write(7, 2, 15, "x", 320, false);
  invoices.Write(7, 2, 16, "x", 311, true);
  ASSERT_EQ(_BktCountAll(*other), 2);
  EXPECT_EQ(_ColGetInt(*other, 2, _BktGetColNum(*other, "message#")), 2);
  EXPECT_EQ(ae::PlainText(354, "3", "4"), " actual lines received 3; lines expected 4");
}

}  // namespace
