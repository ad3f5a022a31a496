// Several documents in one print job, rows wrapped within their columns,
// and column headings that run over pages: as poppler reads the PDF back.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "host/print/MucPrint.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> PdfPages(const std::string& pdf) {
  std::string out;
  if (FILE* pipe = popen(("pdftotext -layout '" + pdf + "' -").c_str(), "r")) {
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    pclose(pipe);
  }
  std::vector<std::string> pages;
  std::stringstream all(out);
  for (std::string page; std::getline(all, page, '\f');) pages.push_back(page);
  return pages;
}

bool Has(const std::string& text, const std::string& what) {
  return text.find(what) != std::string::npos;
}

class MucPrintDocumentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/mucprintdoc-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    setenv("ACQ_SESSION_DIR", dir_.c_str(), 1);
    setenv("ACQ_WORKSTATION", (dir_ + "/workstation.ini").c_str(), 1);
    std::string error;
    ASSERT_EQ(MucPrint_OpenPrinter(kMucPrintPdfFile, MucPrintPageSetup{}, &job_, &error),
              MUCPRINT_OK) << error;
    ASSERT_EQ(MucPrint_StartPrint(job_, "Job"), MUCPRINT_OK);
  }
  void TearDown() override {
    MucPrint_ClosePrinter(&job_);
    unsetenv("ACQ_SESSION_DIR");
    unsetenv("ACQ_WORKSTATION");
    fs::remove_all(dir_);
  }
  void Lines(int count, const std::string& stem) {
    for (int i = 1; i <= count; ++i)
      ASSERT_EQ(MucPrint_PrintStr(job_, stem + std::to_string(i), MUCPRINT_LEFT, MUCPRINT_REGULAR),
                MUCPRINT_OK);
  }
  std::vector<std::string> Finish() {
    EXPECT_EQ(MucPrint_EndPrint(job_), MUCPRINT_OK) << MucPrint_ErrorText(job_);
    return PdfPages(MucPrint_OutputPath(job_));
  }

  std::string dir_;
  HPRINTER job_ = nullptr;
};

TEST_F(MucPrintDocumentTest, EachDocumentNumbersAndTitlesItsOwnPages) {
  const int perPage = MucPrint_LinesPerPage(job_);
  // An empty page started before the first document belongs to it.
  ASSERT_EQ(MucPrint_StartPage(job_), MUCPRINT_OK);
  ASSERT_EQ(MucPrint_StartDocument(job_, "First"), MUCPRINT_OK);
  ASSERT_EQ(MucPrint_SetRunningHeading(job_, {MucPrintCell{"Heading A", 0, 1000}}), MUCPRINT_OK);
  Lines(perPage + 5, "a");
  // A document that prints nothing gives way to the next one.
  ASSERT_EQ(MucPrint_StartDocument(job_, "Empty"), MUCPRINT_OK);
  ASSERT_EQ(MucPrint_StartDocument(job_, "Second"), MUCPRINT_OK);
  Lines(3, "b");
  const std::vector<std::string> pages = Finish();
  ASSERT_EQ(pages.size(), 3u);
  EXPECT_TRUE(Has(pages[0], "First") && Has(pages[0], "Page 1 of 2")) << pages[0];
  EXPECT_TRUE(Has(pages[1], "First") && Has(pages[1], "Page 2 of 2")) << pages[1];
  // The running heading tops the continuation page, not the next document.
  EXPECT_TRUE(Has(pages[1], "Heading A")) << pages[1];
  EXPECT_FALSE(Has(pages[0], "Heading A"));
  EXPECT_TRUE(Has(pages[2], "Second") && Has(pages[2], "Page 1 of 1")) << pages[2];
  EXPECT_FALSE(Has(pages[2], "Heading A"));
  EXPECT_FALSE(Has(pages[2], "Empty"));
}

TEST_F(MucPrintDocumentTest, WrappedRowStaysWithinItsColumnAndTogether) {
  const int perPage = MucPrint_LinesPerPage(job_);
  Lines(perPage - 1, "x");
  const std::string text = "alpha beta gamma delta epsilon zeta eta theta iota kappa lambda";
  int lines = 0;
  ASSERT_EQ(MucPrint_PrintWrapCells(job_, {MucPrintCell{"7", 0, 100},
                                           MucPrintCell{text, 100, 300},
                                           MucPrintCell{"12.50", 300, 1000, MUCPRINT_RIGHT}},
                                    &lines),
            MUCPRINT_OK);
  EXPECT_GT(lines, 2);
  // One character wider than its column: refused, nothing added.
  const int left = MucPrint_LinesLeft(job_);
  EXPECT_EQ(MucPrint_PrintWrapCells(job_, {MucPrintCell{"W", 0, 1}}, &lines),
            MUCPRINT_FONT_TOO_LARGE);
  EXPECT_EQ(MucPrint_LinesLeft(job_), left);
  const std::vector<std::string> pages = Finish();
  ASSERT_EQ(pages.size(), 2u);
  // The row did not fit the one line left: it moved whole to the next page.
  EXPECT_FALSE(Has(pages[0], "alpha"));
  EXPECT_TRUE(Has(pages[1], "alpha") && Has(pages[1], "lambda")) << pages[1];
  EXPECT_FALSE(Has(pages[1], "…"));
  // The amount sits on the row's first line.
  const size_t first = pages[1].find("alpha");
  EXPECT_TRUE(Has(pages[1].substr(first, pages[1].find('\n', first) - first), "12.50"))
      << pages[1];
}

}  // namespace
