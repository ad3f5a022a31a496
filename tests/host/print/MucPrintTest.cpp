#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "host/muc/UiDriver.h"
#include "host/print/MucPrint.h"
#include "support/PdfText.h"

namespace {

namespace fs = std::filesystem;

// A temporary folder that is both the output folder and the home of the
// workstation profile while the test runs.
class MucPrintTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/mucprint-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    ini_ = dir_ + "/workstation.ini";
    setenv("ACQ_SESSION_DIR", dir_.c_str(), 1);
    setenv("ACQ_WORKSTATION", ini_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("ACQ_SESSION_DIR");
    unsetenv("ACQ_WORKSTATION");
    fs::remove_all(dir_);
  }

  // Opens "PDF file" with `setup` and starts a job titled `title`.
  HPRINTER Start(const MucPrintPageSetup& setup, const std::string& title) {
    HPRINTER job = nullptr;
    std::string error;
    EXPECT_EQ(MucPrint_OpenPrinter(kMucPrintPdfFile, setup, &job, &error), MUCPRINT_OK) << error;
    if (job) {
      EXPECT_EQ(MucPrint_StartPrint(job, title), MUCPRINT_OK);
    }
    return job;
  }
  // Ends the job and returns the file it wrote.
  static std::string Finish(HPRINTER& job) {
    EXPECT_EQ(MucPrint_EndPrint(job), MUCPRINT_OK) << MucPrint_ErrorText(job);
    std::string path = MucPrint_OutputPath(job);
    MucPrint_ClosePrinter(&job);
    return path;
  }

  std::string dir_, ini_;
};

// The text of each page of `pdf`, as poppler reads it back.
std::vector<std::string> PagesOf(const std::string& pdf) {
  std::vector<std::string> pages;
  std::stringstream all(testpdf::CommandOutput("pdftotext -layout '" + pdf + "' -"));
  for (std::string page; std::getline(all, page, '\f');) pages.push_back(page);
  return pages;
}

// The words of `pdf` with their boxes in points, from lines such as
// <word xMin="56.69" yMin="71.23" xMax="80.01" yMax="83.11">Entry</word>.
struct Word { std::string text; double xMin, yMin, xMax; };
std::vector<Word> WordsOf(const std::string& pdf) {
  const std::string html = testpdf::CommandOutput("pdftotext -bbox '" + pdf + "' -");
  auto attribute = [](const std::string& tag, const char* name) {
    const std::string key = std::string(name) + "=\"";
    const size_t at = tag.find(key);
    return at == std::string::npos ? 0.0 : std::stod(tag.substr(at + key.size()));
  };
  std::vector<Word> words;
  for (size_t at = html.find("<word "); at != std::string::npos; at = html.find("<word ", at + 1)) {
    const size_t open = html.find('>', at), close = html.find("</word>", at);
    if (open == std::string::npos || close == std::string::npos) break;
    const std::string tag = html.substr(at, open - at);
    words.push_back({html.substr(open + 1, close - open - 1), attribute(tag, "xMin"),
                     attribute(tag, "yMin"), attribute(tag, "xMax")});
  }
  return words;
}

constexpr double kA4Width = 595.276;
constexpr double kPointsPerMm = 72.0 / 25.4;

TEST_F(MucPrintTest, JobOverTwoPagesIsNumberedOnEveryPageAndCopiesAreNotRepeated) {
  MucPrintPageSetup setup;
  setup.copies = 3;   // a file is one copy: the pages must not repeat
  HPRINTER job = Start(setup, "Workslips");
  ASSERT_NE(job, nullptr);
  const int perPage = MucPrint_LinesPerPage(job);
  ASSERT_GT(perPage, 10);
  EXPECT_EQ(MucPrint_LinesLeft(job), perPage);
  ASSERT_EQ(MucPrint_StartPage(job), MUCPRINT_OK);
  for (int i = 1; i <= perPage + 3; ++i) {
    ASSERT_EQ(MucPrint_PrintStr(job, "Entry " + std::to_string(i), MUCPRINT_LEFT,
                                MUCPRINT_REGULAR), MUCPRINT_OK);
    if (i == 4) {
      EXPECT_EQ(MucPrint_LinesLeft(job), perPage - 4);
    }
  }
  // The overflow went on a page of its own.
  EXPECT_EQ(MucPrint_LinesLeft(job), perPage - 3);
  ASSERT_EQ(MucPrint_EndPage(job), MUCPRINT_OK);
  const std::string path = Finish(job);
  EXPECT_EQ(fs::path(path).parent_path(), fs::path(dir_));
  EXPECT_EQ(fs::path(path).filename(), "Workslips.pdf");

  const std::vector<std::string> pages = PagesOf(path);
  ASSERT_EQ(pages.size(), 2u);
  const std::string last = "Entry " + std::to_string(perPage + 3);
  EXPECT_NE(pages[0].find("Workslips"), std::string::npos);
  EXPECT_NE(pages[0].find("Page 1 of 2"), std::string::npos);
  EXPECT_NE(pages[0].find("Entry 1\n"), std::string::npos);
  EXPECT_EQ(pages[0].find(last), std::string::npos);
  EXPECT_NE(pages[1].find("Workslips"), std::string::npos);
  EXPECT_NE(pages[1].find("Page 2 of 2"), std::string::npos);
  EXPECT_NE(pages[1].find(last), std::string::npos);

  // A second job of the same title keeps the first file.
  job = Start(setup, "Workslips");
  MucPrint_SetPageWords(job, "Seite", "von");
  const std::string second = Finish(job);
  EXPECT_EQ(fs::path(second).filename(), "Workslips-2.pdf");
  EXPECT_NE(PagesOf(second).at(0).find("Seite 1 von 1"), std::string::npos);
  EXPECT_NE(PagesOf(path).at(1).find("Page 2 of 2"), std::string::npos);
}

TEST_F(MucPrintTest, LongTitleWrapsWithinThePageWidth) {
  MucPrintPageSetup setup;
  setup.fontPoints = 14;
  std::string title;
  std::vector<std::string> words;
  for (int i = 1; i <= 60; ++i) {
    words.push_back("word" + std::to_string(i));
    title += (i > 1 ? " " : "") + words.back();
  }
  HPRINTER job = Start(setup, "Wrap");
  int lines = 0;
  ASSERT_EQ(MucPrint_PrintWrapTmp(job, title, MUCPRINT_LEFT, MUCPRINT_BOLD, &lines), MUCPRINT_OK);
  int wordLines = 0;   // a word longer than a line is cut within the word
  ASSERT_EQ(MucPrint_PrintWrapTmp(job, std::string(300, 'W'), MUCPRINT_LEFT, MUCPRINT_REGULAR,
                                  &wordLines), MUCPRINT_OK);
  EXPECT_EQ(MucPrint_LinesLeft(job), MucPrint_LinesPerPage(job) - lines - wordLines);
  const std::string path = Finish(job);

  const double right = kA4Width - setup.marginRightMm * kPointsPerMm;
  std::vector<Word> body;
  for (const Word& w : WordsOf(path))
    if (w.text.rfind("word", 0) == 0) body.push_back(w);
  ASSERT_EQ(body.size(), words.size());
  std::vector<double> rows;
  for (size_t i = 0; i < body.size(); ++i) {
    EXPECT_EQ(body[i].text, words[i]) << "in order, none lost";
    EXPECT_LE(body[i].xMax, right + 0.5) << body[i].text;
    if (rows.empty() || body[i].yMin > rows.back() + 1) rows.push_back(body[i].yMin);
  }
  EXPECT_GT(lines, 1);
  EXPECT_EQ(static_cast<int>(rows.size()), lines);
  EXPECT_GT(wordLines, 1);
  for (const Word& w : WordsOf(path))
    if (w.text[0] == 'W') {
      EXPECT_LE(w.xMax, right + 0.5);
    }
}

TEST_F(MucPrintTest, AlignmentPlacesTextAtTheMarginsAndTheCentre) {
  MucPrintPageSetup setup;
  setup.marginLeftMm = 20;
  setup.marginRightMm = 30;
  HPRINTER job = Start(setup, "Align");
  ASSERT_EQ(MucPrint_PrintStr(job, "LEFTWORD", MUCPRINT_LEFT, MUCPRINT_REGULAR), MUCPRINT_OK);
  ASSERT_EQ(MucPrint_PrintStr(job, "CENTREWORD", MUCPRINT_CENTRE, MUCPRINT_BOLD), MUCPRINT_OK);
  ASSERT_EQ(MucPrint_PrintStr(job, "RIGHTWORD", MUCPRINT_RIGHT, MUCPRINT_REGULAR), MUCPRINT_OK);
  ASSERT_EQ(MucPrint_PrintCells(job, {{"COLA", 0, 400, MUCPRINT_RIGHT, MUCPRINT_REGULAR},
                                      {"COLB", 600, 1000, MUCPRINT_LEFT, MUCPRINT_REGULAR}}),
            MUCPRINT_OK);
  const std::string path = Finish(job);

  const double left = 20 * kPointsPerMm, right = kA4Width - 30 * kPointsPerMm;
  const double middle = (left + right) / 2;
  // Where each word must sit: its left edge, centre or right edge, in points.
  struct Expect { const char* text; int edge; double at; };   // edge: -1 left, 0 centre, 1 right
  const Expect expected[] = {{"LEFTWORD", -1, left}, {"CENTREWORD", 0, middle},
                             {"RIGHTWORD", 1, right}, {"COLA", 1, left + 0.4 * (right - left)},
                             {"COLB", -1, left + 0.6 * (right - left)}};
  int seen = 0;
  for (const Word& w : WordsOf(path)) {
    for (const Expect& e : expected) {
      if (w.text != e.text) continue;
      const double x = e.edge < 0 ? w.xMin : e.edge > 0 ? w.xMax : (w.xMin + w.xMax) / 2;
      EXPECT_NEAR(x, e.at, 1.5) << e.text;
      ++seen;
    }
  }
  EXPECT_EQ(seen, 5);
}

TEST_F(MucPrintTest, FontTooLargeIsRefusedWithNothingPrinted) {
  struct Case { const char* what; double font, left, right, top, bottom; bool atStart; };
  const Case cases[] = {
      // 10 mm of line: not one 200-point character fits.
      {"narrow line", 200, 100, 100, 15, 15, false},
      // 97 mm of page: one 200-point line, but not under the header too.
      {"short page", 200, 15, 15, 100, 100, true},
  };
  for (const Case& c : cases) {
    MucPrintPageSetup setup;
    setup.fontPoints = c.font;
    setup.marginLeftMm = c.left;
    setup.marginRightMm = c.right;
    setup.marginTopMm = c.top;
    setup.marginBottomMm = c.bottom;
    HPRINTER job = nullptr;
    std::string error;
    ASSERT_EQ(MucPrint_OpenPrinter(kMucPrintPdfFile, setup, &job, &error), MUCPRINT_OK) << error;
    const MucPrintCode started = MucPrint_StartPrint(job, "Big");
    if (c.atStart) {
      EXPECT_EQ(started, MUCPRINT_FONT_TOO_LARGE) << c.what;
      EXPECT_EQ(MucPrint_EndPrint(job), MUCPRINT_BAD_CALL) << c.what;
    } else {
      ASSERT_EQ(started, MUCPRINT_OK) << c.what;
      int lines = -1;
      EXPECT_EQ(MucPrint_PrintWrapTmp(job, "Mm", MUCPRINT_LEFT, MUCPRINT_REGULAR, &lines),
                MUCPRINT_FONT_TOO_LARGE) << c.what;
      EXPECT_EQ(lines, 0) << c.what;
      EXPECT_EQ(MucPrint_LinesLeft(job), MucPrint_LinesPerPage(job)) << c.what;
    }
    EXPECT_FALSE(MucPrint_ErrorText(job).empty()) << c.what;
    MucPrint_ClosePrinter(&job);
    EXPECT_EQ(job, nullptr);
  }
  EXPECT_TRUE(fs::is_empty(dir_));
}

TEST_F(MucPrintTest, UnknownPrinterAndBadSetupAreRefusedWithNothingWritten) {
  struct Case { const char* printer; MucPrintPageSetup setup; MucPrintCode code; };
  MucPrintPageSetup noCopies, wideMargin, noFont;
  noCopies.copies = 0;
  wideMargin.marginLeftMm = 150;
  noFont.fontPoints = 0;
  const Case cases[] = {
      {"No Such Printer", {}, MUCPRINT_UNKNOWN_PRINTER},
      {"", {}, MUCPRINT_UNKNOWN_PRINTER},
      {"pdf file", {}, MUCPRINT_UNKNOWN_PRINTER},   // names are exact
      {"PDF file", noCopies, MUCPRINT_BAD_SETUP},
      {"PDF file", noFont, MUCPRINT_BAD_SETUP},
      {"PDF file", wideMargin, MUCPRINT_BAD_SETUP},
  };
  for (const Case& c : cases) {
    HPRINTER job = reinterpret_cast<HPRINTER>(1);
    std::string error;
    EXPECT_EQ(MucPrint_OpenPrinter(c.printer, c.setup, &job, &error), c.code) << c.printer;
    EXPECT_EQ(job, nullptr);
    EXPECT_FALSE(error.empty());
  }
  EXPECT_TRUE(fs::is_empty(dir_));
}

TEST_F(MucPrintTest, PageSetupIsKeptInTheWorkstationProfile) {
  const MucPrintPageSetup defaults;
  MucPrintPageSetup read = MucPrint_QueryPageSetup();   // no file yet
  EXPECT_EQ(read.paper, defaults.paper);
  EXPECT_EQ(read.fontPoints, defaults.fontPoints);

  {
    std::ofstream ini(ini_);
    ini << "[PrintSetup]\nPaper=letter\nMarginTop=12.5\nMarginLeft=oops\nFontFamily=DejaVu Serif\n"
           "FontSize=9\nCopies=2.5\n";
  }
  read = MucPrint_QueryPageSetup();
  EXPECT_EQ(read.paper, MUCPRINT_PAPER_LETTER);
  EXPECT_EQ(read.marginTopMm, 12.5);
  EXPECT_EQ(read.marginLeftMm, defaults.marginLeftMm);   // not a number: the default
  EXPECT_EQ(read.fontFamily, "DejaVu Serif");
  EXPECT_EQ(read.fontPoints, 9);
  EXPECT_EQ(MucPrint_GetPageSetupCopies(read), 1);       // not a whole number

  MucPrintPageSetup saved;
  saved.paper = MUCPRINT_PAPER_A4;
  saved.marginBottomMm = 7.25;
  saved.fontPoints = 11.5;
  saved.copies = 4;
  std::string error;
  ASSERT_TRUE(MucPrint_SavePageSetup(saved, &error)) << error;
  read = MucPrint_QueryPageSetup();
  EXPECT_EQ(read.paper, MUCPRINT_PAPER_A4);
  EXPECT_EQ(read.marginBottomMm, 7.25);
  EXPECT_EQ(read.marginTopMm, saved.marginTopMm);
  EXPECT_EQ(read.fontFamily, saved.fontFamily);
  EXPECT_EQ(read.fontPoints, 11.5);
  EXPECT_EQ(MucPrint_GetPageSetupCopies(read), 4);

  saved.copies = 1000;
  EXPECT_FALSE(MucPrint_SavePageSetup(saved, &error));
  EXPECT_EQ(MucPrint_GetPageSetupCopies(MucPrint_QueryPageSetup()), 4);
}

TEST_F(MucPrintTest, PrinterListAlwaysOffersThePdfFile) {
  const std::vector<std::string> printers = MucPrint_ListPrinters();
  ASSERT_FALSE(printers.empty());
  EXPECT_EQ(printers.back(), kMucPrintPdfFile);
  const std::string fallback = MucPrint_DefaultPrinter();
  EXPECT_NE(std::find(printers.begin(), printers.end(), fallback), printers.end());

  // The printer dialog is a choice among them: a script picks by name; a
  // name that is none cancels and keeps the printer as it was.
  std::string error;
  std::unique_ptr<UiDriver> script = Ui_MakeScriptDriver(
      "answer text \"pdf file\"\nanswer text \"no such printer\"\n", "t", "", &error);
  ASSERT_NE(script, nullptr) << error;
  Ui_SetDriver(script.get());
  std::string printer = "gone";
  EXPECT_TRUE(MucPrint_OpenPrinterDlgBox("Acquisitions Workslip Printer", printer));
  EXPECT_EQ(printer, kMucPrintPdfFile);
  EXPECT_FALSE(MucPrint_OpenPrinterDlgBox("Acquisitions Workslip Printer", printer));
  EXPECT_EQ(printer, kMucPrintPdfFile);
  Ui_SetDriver(nullptr);
}

}  // namespace
