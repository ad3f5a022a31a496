// The acquisitions parameters editor through the real client: a site
// changes its settings without SQL, bad values are refused with a message
// and change nothing, the module uses the new settings at once, and only
// holders of apEdit get in.
#include <gtest/gtest.h>

#include <string>

#include "FrameRun.h"
#include "QueryDb.h"

namespace {

using e2e::CountOf;
using e2e::QueryRow;
using e2e::Workspace;

const char* kRow =
    "select fiscal_year, base_currency, print_workslip, track_budget_trans, "
    "isbn_duplication_index, price_upd_method from acq_parameter";

TEST(Parameters, AdminChangesTheSettingsAndTheModuleUsesThemAtOnce) {
  Workspace ws;
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login admin admin
command 291
show
expect "field fiscal_year = 2026"
expect "field track_budget_trans = Yes"
field fiscal_year "2027"
field base_currency "cad"
field print_workslip "2"
field track_budget_trans no
field isbn_duplication_index ""
show
expect "field base_currency = CAD"
press OK
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_EQ(QueryRow(ws.Db(), kRow), "2027|CAD|2|0||1");
  EXPECT_NE(r.trace.find("AcqParam: the site's parameters read again: fiscal_year 2027, "
                         "base_currency 'CAD', print_workslip 2, track_budget_trans 0"),
            std::string::npos)
      << r.trace;
}

// Each refused value is told, and the field goes back to its saved value:
// nothing is left to save afterwards, so the editor closes without asking.
TEST(Parameters, BadValuesAreRefusedAndLeaveTheSavedValues) {
  const struct {
    const char* field;
    const char* value;
    const char* told;
  } refused[] = {
      {"fiscal_year", "1899", "fiscal year must be a year from 1900 to 2078"},
      {"fiscal_year", "2079", "fiscal year must be a year from 1900 to 2078"},
      {"fiscal_year", "next", "is not a whole number"},  // the framework's own check
      {"isbn_duplication_index", "isbn idx", "ISBN duplication index must be the name"},
      {"issn_duplication_index", "ninechars", "longer than 8 characters"},
      {"base_currency", "EUR", "\\\"EUR\\\" is not a currency of this library"},
      {"base_currency", "DOLLAR", "longer than 4 characters"},
      {"print_workslip", "3", "Print workslips must be 0, 1 or 2."},
      {"print_workslip", "", "Print workslips must be 0, 1 or 2."},  // it is never empty
      {"multi_location_edi", "2", "Multi-location EDIFACT must be 0 or 1."},
      {"one_tag_only", "9", "One tag only must be 0 or 1."},
      {"price_upd_method", "3", "renewal price method must be 0"},
  };
  std::string script = "login admin admin\ncommand 291\n";
  for (const auto& c : refused) {
    script += std::string("field ") + c.field + " \"" + c.value + "\"\n";
    script += std::string("answer msgbox ok \"") + c.told + "\"\n";
  }
  script += "show\nkey \"Escape\"\n";
  Workspace ws;
  const auto r = ws.Run({"--db", ws.Db()}, script);
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_NE(r.transcript.find("window \"Acquisitions Parameters\" (editor acq_parameter, "
                              "editing)\n"),
            std::string::npos)
      << r.transcript;  // in edit mode, nothing changed
  for (const char* shown : {"field fiscal_year = 2026", "field isbn_duplication_index = isbn",
                            "field base_currency = USD", "field print_workslip = 1",
                            "field one_tag_only = 0"}) {
    EXPECT_NE(r.transcript.find(shown), std::string::npos) << shown;
  }
  EXPECT_NE(r.transcript.find("notice window close \"Acquisitions Parameters\""),
            std::string::npos);
  EXPECT_EQ(QueryRow(ws.Db(), kRow), "2026|USD|1|1|isbn|1");
}

TEST(Parameters, ClerkIsRefusedWithoutApEdit) {
  Workspace ws;
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login clerk clerk
command 291
answer credentials cancel
expect-not "window open"
)acqs");
  EXPECT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_EQ(CountOf(r.transcript, "credentials \"Authorisation needed"), 1u) << r.transcript;
}

TEST(Parameters, WithoutARowTheEditorCreatesIt) {
  Workspace ws;
  ws.Exec("delete from acq_parameter");
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login admin admin
command 291
show
expect "(editor acq_parameter, new"
expect "field print_workslip = 0"
field fiscal_year "2027"
press OK
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_EQ(QueryRow(ws.Db(), "select count(*), max(fiscal_year), max(print_workslip), "
                              "max(base_currency) from acq_parameter"),
            "1|2027|0|");
}

TEST(Parameters, SeveralRowsAreReportedAndNothingOpens) {
  Workspace ws;
  ws.Exec("insert into acq_parameter(fiscal_year) values(2030)");
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login admin admin
command 291
answer msgbox ok "holds 2 rows"
expect-not "window open"
)acqs");
  EXPECT_EQ(r.exitCode, 0) << r.err << r.transcript;
}

// Saved from the menu the editor stays open; the module reads the settings
// again at once all the same.
TEST(Parameters, SaveFromTheMenuKeepsTheEditorOpenAndRereadsTheSettings) {
  Workspace ws;
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login admin admin
command 291
field one_tag_only "1"
command 42313
show
expect "(editor acq_parameter)"
expect "field one_tag_only = 1"
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_EQ(QueryRow(ws.Db(), "select one_tag_only from acq_parameter"), "1");
  EXPECT_EQ(CountOf(r.trace, "AcqParam: the site's parameters read again"), 1u) << r.trace;
}

// The site's one row is neither deleted nor joined by a new one or a copy:
// the editor does not offer those commands, and the frame refuses them.
TEST(Parameters, TheOneRowIsNeitherDeletedNorCopied) {
  for (const char* command : {"13", "42424", "42425"}) {
    SCOPED_TRACE(command);
    Workspace ws;
    const auto r =
        ws.Run({"--db", ws.Db()}, std::string("login admin admin\ncommand 291\ncommand ") +
                                      command + "\nanswer msgbox yes\n");
    EXPECT_NE(r.transcript.find("notice window open \"Acquisitions Parameters\""),
              std::string::npos)
        << r.transcript;
    EXPECT_EQ(r.exitCode, 1) << r.transcript;
    EXPECT_NE(r.err.find("is not available here"), std::string::npos) << r.err;
    EXPECT_EQ(QueryRow(ws.Db(), "select count(*) from acq_parameter"), "1");
  }
}

}  // namespace
