// The text a budget split shows in the line editor, and its length rule.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "acq/po/AcqPoParts.h"

namespace {

using acq::AcqPo::parts::JoinSplitEntries;
using acq::AcqPo::parts::SplitEntryText;

TEST(PoWindowSplit, EntriesShowBudgetAndPercentJoinedByPlus) {
  std::vector<std::string> entries = {SplitEntryText({"ADULT.2026", 60}),
                                      SplitEntryText({"REF.2026", 40})};
  std::string text;
  ASSERT_TRUE(JoinSplitEntries(entries, text));
  EXPECT_EQ(text, "ADULT.2026 60% + REF.2026 40%");
}

// Before each entry the text so far is checked against the widest an entry
// can be with its joint, 35 characters (budget and percentage of 15 each,
// a blank and "%": 32, then " + "). So full-width entries are refused at the
// EIGHTH, not the seventh: seven make 7 x 32 + 6 x 3 = 242 characters and
// 242 + 35 passes 255; six make 207 and 207 + 35 = 242 does not.
TEST(PoWindowSplit, TheEighthFullWidthEntryIsRefusedNotTheSeventh) {
  const std::string full = std::string(15, 'B') + " " + std::string(15, '9') + "%";
  ASSERT_EQ(full.size(), 32u);
  const struct {
    size_t entries;
    bool fits;
    size_t length;
  } cases[] = {
      {1, true, 32}, {6, true, 207}, {7, true, 242}, {8, false, 0}, {9, false, 0},
  };
  for (const auto& c : cases) {
    std::string text = "left over";
    EXPECT_EQ(JoinSplitEntries(std::vector<std::string>(c.entries, full), text), c.fits)
        << c.entries;
    EXPECT_EQ(text.size(), c.length) << c.entries;   // a refused text is emptied
  }
}

// Real budgets are narrower: the rule still measures by the widest entry,
// so entries of 16 characters are refused only at the thirteenth.
TEST(PoWindowSplit, NarrowEntriesAreMeasuredByTheWidestEntry) {
  const std::string entry = SplitEntryText({"ABCDEFGH.2026", 8});
  ASSERT_EQ(entry.size(), 16u);
  std::string text;
  EXPECT_TRUE(JoinSplitEntries(std::vector<std::string>(12, entry), text));   // 12x16 + 11x3 = 225
  EXPECT_FALSE(JoinSplitEntries(std::vector<std::string>(13, entry), text));  // 225 + 35 > 255
}

}  // namespace
