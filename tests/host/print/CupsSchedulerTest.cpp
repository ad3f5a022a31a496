// Printing through a real CUPS scheduler of the test's own, whose queue's
// device is a file: what MucPrint hands over is what comes out.
#include <cups/cups.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "CupsScheduler.h"
#include "host/print/MucPrint.h"
#include "support/PdfText.h"

namespace {

namespace fs = std::filesystem;
using cups_test::CupsScheduler;

constexpr int kJobCompleted = 9;   // IPP_JSTATE_COMPLETED
constexpr int kJobStopped = 6;     // IPP_JSTATE_STOPPED; 7 cancelled, 8 aborted

class CupsSchedulerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (CupsScheduler::Program().empty())
      GTEST_SKIP() << "cupsd is not installed (Debian's cups-daemon)";
    std::string error;
    ASSERT_TRUE(scheduler_.Start(&error)) << error;
    output_ = scheduler_.Dir() + "/out/testq.prn";
    fs::create_directories(fs::path(output_).parent_path());
    // The host's CUPS code finds the scheduler as a person's program would,
    // through CUPS_SERVER; libcups keeps the server it read first, so that
    // is forgotten before and after.
    setenv("CUPS_SERVER", scheduler_.Server().c_str(), 1);
    cupsSetServer(nullptr);
    setenv("ACQ_SESSION_DIR", scheduler_.Dir().c_str(), 1);
    ASSERT_TRUE(scheduler_.AddFileQueue("testq", output_, true, &error)) << error;
  }
  void TearDown() override {
    unsetenv("CUPS_SERVER");
    unsetenv("ACQ_SESSION_DIR");
    cupsSetServer(nullptr);
  }

  // Prints one page saying `text` to `printer` with `copies`.
  MucPrintCode PrintOnePage(const std::string& printer, int copies, const std::string& title,
                            const std::string& text, std::string* error) {
    MucPrintPageSetup setup;
    setup.copies = copies;
    HPRINTER job = nullptr;
    MucPrintCode code = MucPrint_OpenPrinter(printer, setup, &job, error);
    if (code != MUCPRINT_OK) return code;
    if ((code = MucPrint_StartPrint(job, title)) == MUCPRINT_OK &&
        (code = MucPrint_PrintStr(job, text, MUCPRINT_LEFT, MUCPRINT_REGULAR)) == MUCPRINT_OK)
      code = MucPrint_EndPrint(job);
    *error = MucPrint_ErrorText(job);
    MucPrint_ClosePrinter(&job);
    return code;
  }

  std::vector<CupsScheduler::Job> Jobs() {
    std::vector<CupsScheduler::Job> jobs;
    std::string error;
    EXPECT_TRUE(scheduler_.Jobs(&jobs, &error)) << error;
    return jobs;
  }

  CupsScheduler scheduler_;
  std::string output_;
};

TEST_F(CupsSchedulerTest, JobReachesTheQueuesDeviceWithItsCopies) {
  std::string error;
  ASSERT_EQ(PrintOnePage("testq", 2, "Scheduler check", "Printed through the scheduler", &error),
            MUCPRINT_OK)
      << error << "\n" << scheduler_.ErrorLog();

  // The scheduler took exactly one job, with the copies for the printer to
  // make; it finishes on its own time, so it is watched, not waited for.
  std::vector<CupsScheduler::Job> jobs;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
  do {
    jobs = Jobs();
    if (jobs.size() == 1 && jobs[0].state >= kJobStopped) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  } while (std::chrono::steady_clock::now() < deadline);
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].state, kJobCompleted) << scheduler_.ErrorLog();
  EXPECT_EQ(jobs[0].copies, 2);
  EXPECT_EQ(jobs[0].name, "Scheduler check");

  // The queue's driver hands the document to its device as it came.
  std::ifstream in(output_, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  ASSERT_EQ(bytes.str().rfind("%PDF-", 0), 0u) << "the device got: " << bytes.str().substr(0, 64) << "\n" << scheduler_.ErrorLog();
  const std::string text = testpdf::CommandOutput("pdftotext -layout '" + output_ + "' -");
  EXPECT_NE(text.find("Printed through the scheduler"), std::string::npos) << text;
  EXPECT_NE(text.find("Scheduler check"), std::string::npos) << text;
}

TEST_F(CupsSchedulerTest, PrintersAreTheQueuesThenThePdfFile) {
  std::string error;
  EXPECT_EQ(MucPrint_ListPrinters(), (std::vector<std::string>{"testq", "PDF file"}));
  EXPECT_EQ(MucPrint_DefaultPrinter(), "PDF file");
  ASSERT_TRUE(scheduler_.AddFileQueue("second", scheduler_.Dir() + "/out/second.prn", true, &error))
      << error;
  ASSERT_TRUE(scheduler_.SetDefault("second", &error)) << error;
  EXPECT_EQ(MucPrint_ListPrinters(), (std::vector<std::string>{"second", "testq", "PDF file"}));
  EXPECT_EQ(MucPrint_DefaultPrinter(), "second");
}

TEST_F(CupsSchedulerTest, RefusedJobsLeaveNothingAtTheScheduler) {
  // A name the scheduler does not have is refused before anything is sent.
  std::string error;
  HPRINTER job = nullptr;
  EXPECT_EQ(MucPrint_OpenPrinter("nosuchq", MucPrintPageSetup{}, &job, &error),
            MUCPRINT_UNKNOWN_PRINTER);
  EXPECT_EQ(job, nullptr);
  EXPECT_NE(error.find("nosuchq"), std::string::npos) << error;

  // A queue that rejects jobs refuses it at the scheduler, which says why.
  ASSERT_TRUE(scheduler_.AddFileQueue("closed", scheduler_.Dir() + "/out/closed.prn", false,
                                      &error))
      << error;
  EXPECT_EQ(PrintOnePage("closed", 1, "Refused", "Never printed", &error), MUCPRINT_NOT_ACCEPTED);
  const std::string refused = "The printer \"closed\" did not take the job: ";
  EXPECT_EQ(error.rfind(refused, 0), 0u) << error;
  EXPECT_GT(error.size(), refused.size()) << "the scheduler's reason is missing";

  EXPECT_TRUE(Jobs().empty());
  EXPECT_FALSE(fs::exists(output_));
  EXPECT_FALSE(fs::exists(scheduler_.Dir() + "/out/closed.prn"));
}

}  // namespace
