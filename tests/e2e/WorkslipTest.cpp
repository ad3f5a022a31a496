// Workslips through the real client: the workstation's workslip options
// (kept in its profile, bad input refused with nothing written), workslips
// printed from the PO window to a port (bytes as the printer gets them) and
// to a PDF file, and "Workslip Display".
#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "FrameRun.h"
#include "PoWindowScript.h"
#include "support/PdfText.h"

namespace fs = std::filesystem;

namespace {

using e2e::CountOf;
using e2e::OpenPoWindow;
using e2e::ReadFile;
using e2e::Workspace;

void WriteIni(const Workspace& ws, const std::string& text) {
  std::ofstream(ws.Dir() / "workstation.ini") << text;
}
std::string Ini(const Workspace& ws) { return ReadFile(ws.Dir() / "workstation.ini"); }

std::string Today() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[16];
  std::strftime(text, sizeof text, "%Y-%m-%d", &local);
  return text;
}

// Port printing on LPT2, a file of the test's own, with escape codes above
// 127 (one byte) and above 255 (two bytes, low first), "*" for what the
// printer cannot print, and `chars` characters per line.
std::string PortIni(const fs::path& slips, int chars) {
  char maxChars[8];
  std::snprintf(maxChars, sizeof maxChars, "%02X%02X", chars & 0xFF, (chars >> 8) & 0xFF);
  return "[Ports]\nLPT2=" + slips.string() +
         "\n[ACQ]\nWRKSLP_WINDOWS_PRINT=0\nWRKSLP_PRINTER_PORT=LPT2\nPREFIX=/27/64\n"
         "LINE_FEED=/13/10\nFORM_FEED=/12\nCUT_PAPER=/29/86/200\nSUFFIX=/300\nDEFAULT=2A\n"
         "MAXCHARS=" + maxChars + "\n";
}

// PO-2026-0007 line 1 with characters beyond ASCII, an ISMN instead of an
// ISBN, and a second copy for another place.
void PrepareLetterpressLine(const Workspace& ws) {
  ws.Exec("update po_line set title='Caf\xc3\xa9 \xe6\xbc\xa2', isbn=NULL, ismn='M230671187', "
          "edition='2nd ed.' where \"po#\"=7 and line=1");
  ws.Exec("insert into po_line_item(\"po#\", line, item, location, collection, budget) "
          "values(7, 1, 2, 'BRANCH', 'JUV', 'SPECIAL.2026')");
}

const char kPrintLine1OfPo7[] = "select 1\npress Workslip\npress Print\n";

TEST(Workslip, PortGetsTheWorkslipByteForByte) {
  Workspace ws;
  const fs::path slips = ws.Dir() / "slips";
  std::ofstream(slips).close();
  WriteIni(ws, PortIni(slips, 24));
  PrepareLetterpressLine(ws);
  const auto r = ws.Run({"--db", ws.Db()},
                        "login admin admin\n" + OpenPoWindow("PO-2026-0007") + kPrintLine1OfPo7);
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  const std::string nl = "\r\n";
  const std::string expected =
      "\x1b@"
      "    Workslip Display    " + nl +
      "------------------------" + nl +
      "Date: " + Today() + nl +
      "PO#: 7" + nl +
      "PO Number: PO-2026-0007" + nl +
      "Title: Caf\xe9 *" + nl +       // é is Latin-1; the CJK character is not
      "Author: Hale, Thomas" + nl +
      "Imprint: Ironbound Press, 2022" + nl +
      "Edition: 2nd ed." + nl +
      "ISMN: M230671187" + nl +
      "Call No.: SPCOL 686.2 HAL" + nl +
      "Bib#: 1009" + nl +
      "Price: 120.00" + nl +
      "No. Copies: 2" + nl +
      "Workslip Notes: " + nl +
      "No. Requests: 0" + nl +
      "MAIN    SPCOL  1" + nl +
      "BRANCH  JUV    1" + nl +
      "========================" + nl +
      "\x0c\x1dV\xc8"   // form feed, cut paper with 200 as one byte
      "\x2c\x01";       // 300, low byte first
  EXPECT_EQ(ReadFile(slips), expected);
  EXPECT_NE(r.trace.find("AcqWrkslip: 1 workslip(s) sent to port LPT2 in 3 write(s)"),
            std::string::npos) << r.trace;
}

// 3,000 characters per line: the rules alone pass the 8,000-character
// buffer, so the one workslip goes out in two writes, between the prefix's
// and the closing sequences'.
TEST(Workslip, AWorkslipOverTheBufferIsSentInTwoWrites) {
  Workspace ws;
  const fs::path slips = ws.Dir() / "slips";
  std::ofstream(slips).close();
  WriteIni(ws, PortIni(slips, 3000));
  const auto r = ws.Run({"--db", ws.Db()},
                        "login admin admin\n" + OpenPoWindow("PO-2026-0007") + kPrintLine1OfPo7);
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_NE(r.trace.find("AcqWrkslip: 1 workslip(s) sent to port LPT2 in 4 write(s)"),
            std::string::npos) << r.trace;
  const std::string printed = ReadFile(slips);
  EXPECT_EQ(printed.find(std::string(3000, '-') + "\r\nDate: "), 3000 + 4u);
  EXPECT_NE(printed.find("\r\n" + std::string(3000, '=') + "\r\n\x0c"), std::string::npos);
}

TEST(Workslip, PrinterProblemsAreToldAndNothingIsPrinted) {
  const struct {
    const char* ini;
    const char* told;
  } cases[] = {
      {"", "Workslip printing is not set up"},
      {"[ACQ]\nWRKSLP_WINDOWS_PRINT=1\n", "Workslip printing is not set up"},
      {"[ACQ]\nWRKSLP_WINDOWS_PRINT=0\nWRKSLP_PRINTER_PORT=LPT1\n",  // no characters per line
       "Workslip printing is not set up"},
      {"[ACQ]\nWRKSLP_WINDOWS_PRINT=1\nWRKSLP_PRINTER_NAME=No Such Printer\n",
       "There is no printer \\\"No Such Printer\\\""},
      {"[ACQ]\nWRKSLP_WINDOWS_PRINT=1\nWRKSLP_PRINTER_NAME=PDF file\n"
       "[PrintSetup]\nFontSize=200\nMarginTop=100\nMarginBottom=100\n",
       "The selected font size is too large for this print job."},
  };
  for (const auto& c : cases) {
    Workspace ws;
    WriteIni(ws, c.ini);
    const auto r = ws.Run({"--db", ws.Db()}, "login admin admin\n" +
                                                 OpenPoWindow("PO-2026-0001") +
                                                 "select 1 2\npress Workslip\n"
                                                 "answer msgbox ok\n");
    EXPECT_EQ(r.exitCode, 0) << r.err << r.transcript;
    EXPECT_NE(r.transcript.find(c.told), std::string::npos) << c.ini << r.transcript;
    EXPECT_EQ(CountOf(r.transcript, "notice file"), 0u) << c.ini;
  }
  // A port that is not there: 475, and no file appears in its place.
  Workspace ws;
  const fs::path missing = ws.Dir() / "no-printer";
  WriteIni(ws, PortIni(missing, 40));
  const auto r = ws.Run({"--db", ws.Db()}, "login admin admin\n" +
                                               OpenPoWindow("PO-2026-0001") +
                                               "select 1 2\npress Workslip\nanswer msgbox ok\n");
  EXPECT_NE(r.transcript.find("There is a problem printing to the workslip printer"),
            std::string::npos) << r.transcript;
  EXPECT_FALSE(fs::exists(missing));
}

// Two lines to the PDF file with three copies in the page setup: one page
// a workslip (the copies are the printer's), every label, the long title
// and notes wrapped within the page.
TEST(Workslip, PdfFileHasAPageAWorkslipWithLongTextWrapped) {
  Workspace ws;
  WriteIni(ws, "[ACQ]\nWRKSLP_WINDOWS_PRINT=1\nWRKSLP_PRINTER_NAME=PDF file\n"
               "[PrintSetup]\nCopies=3\n");
  std::string title, notes;
  for (int n = 0; n < 15; ++n) title += "Lighthouse" + std::to_string(n) + " ";
  title += "TitleEnd";
  for (int n = 0; n < 15; ++n) notes += "Processing" + std::to_string(n) + " ";
  notes += "NotesEnd";
  ws.Exec("update po_line set title='" + title + "', workslip_note='" + notes +
          "' where \"po#\"=1 and line=1");
  setenv("ACQ_SESSION_DIR", ws.Dir().c_str(), 1);
  const auto r = ws.Run({"--db", ws.Db()}, "login admin admin\n" + OpenPoWindow("PO-2026-0001") +
                                               "select 1 3\npress Workslip\n");
  unsetenv("ACQ_SESSION_DIR");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  const fs::path pdf = ws.Dir() / "Workslip_Display.pdf";
  ASSERT_TRUE(fs::exists(pdf)) << r.transcript;
  const std::string text = testpdf::CommandOutput("pdftotext -layout '" + pdf.string() + "' -");
  EXPECT_EQ(CountOf(text, "\f"), 2u) << text;
  EXPECT_EQ(CountOf(text, "Page 1 of 2"), 1u) << text;
  EXPECT_EQ(CountOf(text, "Page 2 of 2"), 1u) << text;
  for (const char* shown :
       {"Date: ", "PO#: 1", "PO Number: PO-2026-0001", "Title: Lighthouse0 ",
        "Author: Morrow, Elise", "Imprint: Harbor Light Press, 2025", "Edition:",
        "ISBN: 9781555000011", "Call No.: FIC MOR", "Bib#: 1001", "Price: 24.95",
        "No. Copies: 3", "Workslip Notes: Processing0 ", "No. Requests: 0",
        "Title: Rivers of the Midwest: A Natural History", "No. Copies: 2"}) {
    EXPECT_NE(text.find(shown), std::string::npos) << shown << "\n" << text;
  }
  // Wrapped: each end is on a line after its label's, nothing cut with "…".
  const struct {
    const char* end;
    const char* label;
  } wrapped[] = {{"TitleEnd", "Title:"}, {"NotesEnd", "Workslip Notes:"}};
  for (const auto& w : wrapped) {
    const size_t at = text.find(w.end);
    ASSERT_NE(at, std::string::npos) << w.end << text;
    const size_t lineStart = text.rfind('\n', at) + 1;
    EXPECT_EQ(text.substr(lineStart, at - lineStart).find(w.label), std::string::npos)
        << w.end << "\n" << text;
  }
  EXPECT_EQ(text.find("\u2026"), std::string::npos) << text;
}

// Every refusal names its field's rule, and the profile is not touched:
// nothing of the other, valid fields is saved either.
TEST(Workslip, BadOptionsAreRefusedAndNothingIsWritten) {
  const struct {
    const char* field;
    const char* bad;
    const char* good;
    const char* told;
  } cases[] = {
      {"characters_per_line", "abc", "40", "Characters per Line must be a number"},
      {"characters_per_line", "0", "40", "Characters per Line must be a number"},
      {"prefix", "/27/x", "/27/64", "An escape sequence must be"},
      {"line_feed", "27/105", "/13/10", "An escape sequence must be"},  // no leading slash
      {"form_feed", "/65536", "/12", "An escape sequence must be"},
      {"suffix", "//", "", "An escape sequence must be"},
      {"replacement_character", "G0", "3F", "Replacement Character must be two hexadecimal"},
      {"replacement_character", "3", "3F", "Replacement Character must be two hexadecimal"},
  };
  std::string script =
      "login admin admin\ncommand 292\nfield workstation_id \"DESK-1\"\n"
      "field port_printing yes\nfield lpt2 yes\n";
  for (const auto& c : cases) {
    script += std::string("field ") + c.field + " \"" + c.bad + "\"\npress OK\n";
    script += std::string("answer msgbox ok \"") + c.told + "\"\n";
    script += std::string("field ") + c.field + " \"" + c.good + "\"\n";
  }
  script += "field windows_printing yes\npress OK\n"
            "answer msgbox ok \"You must set up a workslip printer\"\n"
            "show\nexpect \"button 8505 \\\"Setup ...\\\"\\n\"\n"
            "expect \"field prefix = /27/64 (read-only)\"\n"
            "press Cancel\n";
  Workspace ws;
  const auto r = ws.Run({"--db", ws.Db()}, script);
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_EQ(Ini(ws).find("[ACQ]"), std::string::npos) << Ini(ws);
}

TEST(Workslip, OptionsAreKeptInTheProfileAndShownAgain) {
  Workspace ws;
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login admin admin
command 292
field workstation_id "RECEIVING-DESK"
press "Setup ..."
answer text "PDF file"
press OK
command 292
show
expect "field workstation_id = RECEIVING-DESK"
expect "field printer_name = PDF file"
field port_printing yes
field com3 yes
field characters_per_line " 32 "
field prefix "/ 27 / 64"
field line_feed "/10"
field form_feed ""
field cut_paper "/29/86/65535"
field suffix ""
field replacement_character "2e"
press OK
command 292
show
expect "radio port_printing (*)"
expect "radio com3 (*)"
expect "field characters_per_line = 32"
expect "field replacement_character = 2E"
press Cancel
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  const std::string ini = Ini(ws);
  for (const char* line :
       {"WORKSTATION_ID=RECEIVING-DESK\n", "WRKSLP_WINDOWS_PRINT=0\n",
        "WRKSLP_PRINTER_NAME=PDF file\n", "WRKSLP_PRINTER_PORT=COM3\n", "PREFIX=/ 27 / 64\n",
        "LINE_FEED=/10\n", "FORM_FEED=\n", "CUT_PAPER=/29/86/65535\n", "SUFFIX=\n",
        "DEFAULT=2E\n", "MAXCHARS=2000\n"}) {
    EXPECT_NE(ini.find(line), std::string::npos) << line << ini;
  }
}

// One line selected: "Workslip Display" shows it; an item split over two
// budgets is still one copy.
TEST(Workslip, DisplayShowsOneWorkslipWithItsCopies) {
  Workspace ws;
  const auto r = ws.Run({"--db", ws.Db()}, "login admin admin\n" + OpenPoWindow("PO-2026-0001") +
                                               "select 3\npress Workslip\nshow\npress Close\n");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  for (const char* row : {"row 4 | Title: Rivers of the Midwest: A Natural History\n",
                          "row 8 | ISBN: 9781555000035\n", "row 11 | Price: 38.50\n",
                          "row 12 | No. Copies: 2\n", "row 15 | MAIN  NONFIC  2\n"}) {
    EXPECT_NE(r.transcript.find(row), std::string::npos) << row << r.transcript;
  }
}

}  // namespace
