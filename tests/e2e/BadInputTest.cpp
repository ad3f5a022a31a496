// Bad input in the PO editors and the activity windows, typed as a person
// would through the real client: each value is refused with a message that
// says why (the field it belongs to focused where the save refuses it) and
// nothing changes; text with quotes and apostrophes is kept exactly; every
// change asks its privilege and a refusal changes nothing.
#include <gtest/gtest.h>

#include <string>

#include "ActivityScript.h"
#include "FrameRun.h"
#include "PoWindowScript.h"
#include "QueryDb.h"

namespace {

using e2e::CountOf;
using e2e::LastShow;
using e2e::OpenLineEditor;
using e2e::OpenPoWindow;
using e2e::PoDigest;
using e2e::PromptFor;
using e2e::QueryRow;
using e2e::StartOn;
using e2e::Workspace;

// Everything of the POs and their items, money and history, with the text
// of every column: a refused entry leaves it as it was.
std::string Everything(const Workspace& ws) {
  return PoDigest(ws) + "/" +
         QueryRow(ws.Db(),
                  "select (select group_concat(\"po#\" || po_number || coalesce(currency, '') "
                  "|| location, ',') from po), (select group_concat(item || location || "
                  "collection || coalesce(budget, '') || coalesce(budget_split, '') || "
                  "coalesce(next_claim_date, ''), ',') from po_line_item), (select "
                  "count(*) || ':' || sum(amount) from statement_line)");
}

// The header rules a save checks beyond those of the order it keeps: a PO
// has a vendor and a currency, and a number no other PO has (in any case).
TEST(BadInput, HeaderSaveRefusesWhatNoPoMayLack) {
  const struct {
    const char* open;    // script lines that open the header
    const char* edits;
    const char* told;
    const char* focus;
  } cases[] = {
      {"command 165\n", "", "A PO needs a vendor.", "vendor#"},
      {"command 165\n", "field vendor# \"2\"\nfield currency \"\"\n", "A PO needs a currency",
       "currency"},
      {"press Header\n", "field currency \"\"\n", "A PO needs a currency", "currency"},
      {"press Header\n", "field po_number \"po-o'b-1\"\n",
       "The PO number \\\"po-o'b-1\\\" is already used by another PO.", "po_number"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.open) + c.edits);
    Workspace ws;
    const std::string before = Everything(ws);
    const auto r = ws.Run({"--db", ws.Db()},
                          "login admin admin\n" + OpenPoWindow("PO-2026-0006") + c.open + c.edits +
                              "press OK\nanswer msgbox ok \"" + c.told + "\"\nexpect \"notice "
                              "focus " + c.focus + "\"\nkey \"Escape\"\nanswer msgbox no\n");
    EXPECT_EQ(r.exitCode, 0) << r.err << r.transcript;
    EXPECT_EQ(Everything(ws), before);
  }
}

// Each cell of an item row is checked as it is typed: a refused value is
// told and the cell goes back, so the save has nothing to write. A split
// typed as text meets the rules of the Bdgt Split dialog.
TEST(BadInput, ItemCellsRefuseBadValuesAsTyped) {
  const struct {
    const char* column;
    const char* typed;
    const char* told;
  } cases[] = {
      {"quantity", "abc", "\\\"abc\\\" is not a whole number."},
      {"quantity", "-3", "A quantity less than one (1) is not allowed."},
      {"budget", "NO'SUCH", "There is no budget NO'SUCH."},
      {"budget_split", "AV.2026 60% + ADULT.2026 50%", "Percents must add up to 100."},
      {"budget_split", "AV.2026 50% + av.2026 50%", "Budgets must be unique."},
      {"budget_split", "AV.2026 50% + NOPE.2026 50%", "There is no budget NOPE.2026."},
      {"budget_split", "AV.2026 50", "The budget split \\\"AV.2026 50\\\" cannot be read."},
      {"location", "O'X", "\\\"O'X\\\" is not a location of this library."},
      {"collection", "A\\\"V", "\\\"A\\\"V\\\" is not a collection of this library."},
      {"Borrower #", "99", "There is no borrower 99."},
  };
  std::string script = "login clerk clerk\n" + OpenLineEditor("PO-2026-0006", 1) + "select 1\n";
  for (const auto& c : cases)
    script += std::string("field \"") + c.column + "\" \"" + c.typed + "\"\nanswer msgbox ok \"" +
              c.told + "\"\n";
  script += "show\npress OK\n";
  Workspace ws;
  const std::string before = Everything(ws);
  const auto r = ws.Run({"--db", ws.Db()}, script);
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  const std::string shown = LastShow(r.transcript, "Edit: PO PO-2026-0006 Line 1");
  EXPECT_NE(shown.find("row 1* | 1 | 1 | MAIN | AV | DVD |  | AV.2026 |  |  | \n"),
            std::string::npos)
      << shown;
  EXPECT_EQ(Everything(ws), before);
}

// Quotes and apostrophes in every text a person types are saved as typed
// and shown back so: the line's fields and its item's call number, the
// notes of an activity (on the line and in the history) and the number of
// the statement an invoice is entered on.
TEST(BadInput, QuotesAreSavedAndShownExactly) {
  const char* fields[][2] = {
      {"title", "It's \"Q\""},          {"author", "O'Neil, \"Pat\""},
      {"publisher", "Smith's \"Press\""}, {"edition", "2'nd \"ed\""},
      {"isbn", "978'1\"2"},             {"call_number", "FIC O'N \"1\""},
      {"vendor_product_id", "P'1\""},   {"vendor_title_number", "T\"1'"},
      {"order_note", "Rush 'please' \"now\""}, {"change_order_note", "c'o \"n\""},
      {"internal_note", "i'n \"n\""},   {"workslip_note", "w's \"n\""},
  };
  auto quoted = [](const std::string& text) {   // as a script word
    std::string out = "\"";
    for (char ch : text) out += ch == '"' ? std::string("\\\"") : std::string(1, ch);
    return out + "\"";
  };
  std::string script = "login admin admin\n" + OpenPoWindow("PO-2026-0006") + "press \"New Line\"\n";
  for (const auto& f : fields) script += std::string("field ") + f[0] + " " + quoted(f[1]) + "\n";
  script += "field unit_price \"10\"\npress \"Add Items\"\npress OK\n"
            "field \"Item Call Number\" \"It'm \\\"1\\\"\"\nfield budget \"AV.2026\"\npress OK\n"
            "select 4\npress \"Edit Line\"\nshow\nkey \"Escape\"\n";
  // Receive on PO 1 line 3 with notes; invoice PO 2 line 1 on O'Brien's
  // statement O'B-7 "A".
  script += StartOn("receive", "PO-2026-0001", "3") +
            "field entry_quantity \"1\"\nfield internal_note \"Box 'A' \\\"top\\\"\"\n"
            "field change_order_note \"Don't\"\nfield workslip_note \"W's \\\"x\\\"\"\npress OK\n" +
            StartOn("invoice", "PO-O'B-1", "1") +
            "field entry_quantity \"1\"\nfield statement_number \"O'B-7 \\\"A\\\"\"\n"
            "field entry_amount \"10.00\"\npress OK\n";
  Workspace ws;
  ws.Exec("insert into statement(\"statement#\", statement_number, statement_type, \"vendor#\", "
          "amount, currency, exchange_rate) values(3, 'O''B-7 \"A\"', 0, 2, 0, 'USD', 1000000)");
  const auto r = ws.Run({"--db", ws.Db()}, script);
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  const std::string shown = LastShow(r.transcript, "Edit: PO PO-2026-0006 Line 4");
  for (const auto& f : fields) {
    std::string stored = QueryRow(ws.Db(), std::string("select ") + f[0] +
                                               " from po_line where \"po#\" = 6 and line = 4");
    EXPECT_EQ(stored, f[1]) << f[0];
    std::string escaped = quoted(f[1]);
    escaped = escaped.substr(1, escaped.size() - 2);
    EXPECT_NE(shown.find(std::string("field ") + f[0] + " = " + escaped + "\n"), std::string::npos)
        << f[0] << "\n" << shown;
  }
  EXPECT_NE(shown.find("| It'm \\\"1\\\" | AV.2026 |"), std::string::npos) << shown;
  EXPECT_EQ(QueryRow(ws.Db(), "select call_number from po_line_item where \"po#\" = 6 and line = 4"),
            "It'm \"1\"");
  EXPECT_EQ(QueryRow(ws.Db(), "select internal_note, change_order_note, workslip_note from "
                              "po_line where \"po#\" = 1 and line = 3"),
            "Box 'A' \"top\"|Don't|W's \"x\"");
  EXPECT_EQ(QueryRow(ws.Db(), "select internal_note from po_line_item_history where \"po#\" = 1 "
                              "and line = 3 and po_activity_type = 'receive'"),
            "Box 'A' \"top\"");
  EXPECT_EQ(QueryRow(ws.Db(), "select count(*), sum(amount) from po_line_item_budget_amount "
                              "where \"statement#\" = 3"),
            "1|10000000");
}

// Texts longer than their columns are refused as typed; 255 characters
// (of two bytes each, with a quote) are kept whole.
TEST(BadInput, TextsOverTheirLengthAreRefusedAndTheLongestFitsWhole) {
  const std::string tooLong(256, 'x');
  std::string full;
  for (int n = 0; n < 254; ++n) full += "\xC3\xA9";   // é
  full += "'";
  std::string script = "login admin admin\n" + OpenLineEditor("PO-2026-0006", 1);
  const char* lineFields[] = {"title", "author", "order_note", "change_order_note",
                              "internal_note", "workslip_note"};
  for (const char* f : lineFields)
    script += std::string("field ") + f + " \"" + tooLong +
              "\"\nanswer msgbox ok \"longer than 255 characters\"\n";
  script += "field order_note \"" + full + "\"\npress OK\n" +
            StartOn("receive", "PO-2026-0001", "3");
  for (const char* f : {"change_order_note", "internal_note", "workslip_note"})
    script += std::string("field ") + f + " \"" + tooLong +
              "\"\nanswer msgbox ok \"longer than 255 characters\"\n";
  script += "key \"Escape\"\nanswer msgbox no\n";
  Workspace ws;
  const auto r = ws.Run({"--db", ws.Db()}, script);
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_EQ(QueryRow(ws.Db(), "select title, order_note, internal_note from po_line where "
                              "\"po#\" = 6 and line = 1"),
            "Wild Places: Nature Documentary Collection|" + full + "|");
  EXPECT_EQ(QueryRow(ws.Db(), "select count(*) from po_line_item where receive_date is not null "
                              "and \"po#\" = 1 and line = 3"),
            "0");
}

// What an activity cannot record is refused with the focus on its field,
// and the window stays open: a location or collection the library does not
// have, a statement already approved, an amount larger than money holds.
TEST(BadInput, ActivityEntriesTheDatabaseCannotTakeAreRefused) {
  const struct {
    const char* kind;
    const char* po;
    const char* line;
    const char* fields;
    const char* told;
    const char* focus;
  } cases[] = {
      {"distribute", "PO-2026-0003", "2",
       "field entry_quantity \"1\"\nselect 1\nfield location \"NOWHERE\"\n",
       "\\\"NOWHERE\\\" is not a location of this library.", "location"},
      {"distribute", "PO-2026-0003", "2",
       "field entry_quantity \"1\"\nselect 1\nfield collection \"O'X\"\n",
       "\\\"O'X\\\" is not a collection of this library.", "collection"},
      // Statement 1 is approved and paid.
      {"invoice", "4", "2",
       "field statement_number \"TP-2025-118\"\nfield entry_amount \"10.00\"\n",
       "Must Undo Statement Approval to continue with activity.", "statement_number"},
      {"invoice", "PO-2026-0001", "3",
       "field statement_number \"NF-88123\"\nfield entry_amount \"9999999999999\"\n",
       "The amount 9999999999999 is too large.", "entry_amount"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fields);
    Workspace ws;
    const std::string before = Everything(ws);
    const auto r = ws.Run({"--db", ws.Db()},
                          "login admin admin\n" + StartOn(c.kind, c.po, c.line) + c.fields +
                              "press OK\nanswer msgbox ok \"" + c.told + "\"\nexpect \"notice "
                              "focus " + c.focus + "\"\nkey \"Escape\"\nanswer msgbox no\n");
    EXPECT_EQ(r.exitCode, 0) << r.err << r.transcript;
    EXPECT_EQ(Everything(ws), before);
  }
}

// The viewer may look at a PO (with the administrator's word to open it)
// and change nothing: every button and command that would change something
// asks its privilege, and the refusal changes nothing. The buttons inside
// the editors ask before they change a row.
TEST(BadInput, ViewerIsAskedForEveryChangeAndChangesNothing) {
  const struct {
    const char* act;
    const char* feature;
  } acts[] = {
      {"press Invoice\n", "stInv"},     {"press \"Sup Invoice\"\n", "stInv"},
      {"press Credit\n", "stInv"},      {"press Refund\n", "stInv"},
      {"press Cancel\n", "poCan"},      {"press \"Back Order\"\n", "poBOrd"},
      {"press Distribute\n", "poEdit"}, {"command 173\n", "poRec"},
      {"command 174\n", "poCan"},       {"command 175\n", "poBOrd"},
      {"command 172\n", "poApprv"},     {"command 151\n", "poHead"},
      {"command 155\n", "poApprv"},
      {"press Header\npress Vendor\nsearch name \"Maple\"\nselect 1\npress OK\n", "poEdit"},
      {"press Cancel\nselect 2\npress \"Edit Line\"\nselect 1\npress \"Delete Item\"\n", "poEdit"},
      {"select 1\npress \"Add Items\"\npress OK\n", "poEdit"},
      {"select 1\npress Borrower\nsearch name \"Maria\"\nselect 1\npress OK\n", "poEdit"},
      {"select 1\npress \"Bdgt Split\"\npress OK\n", "poEdit"},
  };
  std::string script = "login viewer viewer\ncommand 152\nsearch po_number \"PO-2026-0001\"\n"
                       "select 1\npress Open\nanswer credentials admin admin\npress Edit\n"
                       "select 3\n";
  for (const auto& a : acts) script += std::string(a.act) + "answer credentials cancel\n";
  script += "press Cancel\n";
  Workspace ws;
  const std::string before = Everything(ws);
  const auto r = ws.Run({"--db", ws.Db()}, script);
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  size_t at = 0;
  for (const auto& a : acts) {
    const std::string prompt = PromptFor(ws, a.feature) + " -> cancel";
    at = r.transcript.find(prompt, at);
    ASSERT_NE(at, std::string::npos) << a.act << r.transcript;
    ++at;
  }
  EXPECT_EQ(CountOf(r.transcript, "notice security granted"), 1u) << r.transcript;
  EXPECT_EQ(Everything(ws), before);
}

}  // namespace
