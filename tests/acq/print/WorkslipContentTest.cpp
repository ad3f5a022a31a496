// What a workslip says, read from the demo library: which items it counts
// (distinct items, not their budget shares; only the ones asked for; only
// the received ones on a receipt workslip), where they go, the standard
// number it shows and the price in the PO currency's decimals.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "acq/DbActFixture.h"
#include "acq/print/AcqWrkslip.h"

namespace {

namespace wrk = acq::AcqWrkslip;
using acttest::ActModule;

std::string Value(const wrk::SlipContent& c, const std::string& label) {
  for (const wrk::SlipField& f : c.fields)
    if (f.label == label) return f.value;
  return "(none)";
}

std::string Distribution(const wrk::SlipContent& c) {
  std::string out;
  for (const wrk::SlipDistribution& d : c.distribution)
    out += d.location + "/" + d.collection + "=" + std::to_string(d.quantity) + ";";
  return out;
}

TEST(WorkslipContent, CopiesAndDistributionCountDistinctItemsOfTheView) {
  // PO 1 line 3: two items each split 60/40 over two budgets, not
  // received. Of line 1 only item 1 stays received; item 2 of line 2 is
  // cancelled; every item of PO 2 line 2 too.
  ActModule m(
      "update po_line_item set receive_date=NULL where \"po#\"=1 and line=1 and item>1;"
      "update po_line_item set cancel_date=46000 where \"po#\"=1 and line=2 and item=2;"
      "update po_line_item set cancel_date=46000 where \"po#\"=2 and line=2;"
      "update po_line_item set location='BRANCH', collection='JUV' "
      "  where \"po#\"=1 and line=1 and item=3");
  const struct {
    wrk::Slip slip;
    wrk::Source source;
    bool found;
    const char* copies;
    const char* distribution;
  } cases[] = {
      {{1, 3, {}}, wrk::Source::Order, true, "2", "MAIN/NONFIC=2;"},
      {{1, 1, {}}, wrk::Source::Order, true, "3", "MAIN/ADULT=2;BRANCH/JUV=1;"},
      {{1, 1, {1, 3}}, wrk::Source::Order, true, "2", "MAIN/ADULT=1;BRANCH/JUV=1;"},
      {{1, 1, {}}, wrk::Source::Receipt, true, "1", "MAIN/ADULT=1;"},
      {{1, 3, {}}, wrk::Source::Receipt, false, "", ""},   // nothing received
      {{1, 2, {}}, wrk::Source::Order, true, "1", "MAIN/REF=1;"},
      {{2, 2, {}}, wrk::Source::Order, false, "", ""},     // every item cancelled
      {{1, 9, {}}, wrk::Source::Order, false, "", ""},     // no such line
  };
  for (const auto& c : cases) {
    wrk::SlipContent content;
    bool found = true;
    ASSERT_TRUE(wrk::LoadContent(c.slip, c.source, content, found));
    const std::string which = std::to_string(c.slip.po) + "/" + std::to_string(c.slip.line) +
                              (c.source == wrk::Source::Receipt ? " receipt" : " order");
    EXPECT_EQ(found, c.found) << which;
    if (!c.found) continue;
    EXPECT_EQ(Value(content, "No. Copies"), c.copies) << which;
    EXPECT_EQ(Distribution(content), c.distribution) << which;
  }
}

TEST(WorkslipContent, FieldsInOrderWithTheFirstStandardNumberAndCurrencyDecimals) {
  // PO 3 is in CAD; make it a currency without decimals, and give line 1 an
  // ISSN besides its ISBN (the ISBN comes first) and line 2 only an ISSN.
  ActModule m(
      "update currency set n_decimals=0 where currency='CAD';"
      "update po_line set issn='1234-5679', publication_place='Regina' "
      "  where \"po#\"=3 and line=1;"
      "update po_line set isbn=NULL, ismn=NULL, issn='2345-6787', unit_price=28500000 "
      "  where \"po#\"=3 and line=2");
  wrk::SlipContent first, second;
  bool found = false;
  ASSERT_TRUE(wrk::LoadContent({3, 1, {}}, wrk::Source::Order, first, found));
  ASSERT_TRUE(found);
  ASSERT_TRUE(wrk::LoadContent({3, 2, {}}, wrk::Source::Order, second, found));
  std::vector<std::string> labels;
  for (const wrk::SlipField& f : first.fields) labels.push_back(f.label + (f.wraps ? "~" : ""));
  EXPECT_EQ(labels, (std::vector<std::string>{
                        "Date", "PO#", "PO Number", "Title~", "Author~", "Imprint", "Edition",
                        "ISBN", "Call No.", "Bib#", "Price", "No. Copies", "Workslip Notes~",
                        "No. Requests"}));
  EXPECT_EQ(Value(first, "Imprint"), "Northern Plains Press, Regina, 2024");
  EXPECT_EQ(Value(first, "ISBN"), "9781555000066");
  EXPECT_EQ(Value(first, "ISSN"), "(none)");
  EXPECT_EQ(Value(first, "Price"), "42");
  EXPECT_EQ(Value(second, "ISSN"), "2345-6787");
  EXPECT_EQ(Value(second, "Price"), "29");   // 28.50 rounded half away from zero
  EXPECT_EQ(Value(second, "Imprint"), "Aurora Editions, 2025");
}

}  // namespace
