// Workslip batches on the demo library: received items collecting in the
// workstation's open batch, printing under the lock between workstations
// (a second workstation printing the same batch meanwhile gets nothing),
// a printer that fails leaving the batch unlocked and unprinted, stale
// locks, and the one purge question each batch's state asks.
//
// The demo's batch 1 belongs to WS-RECV1 and holds PO 1 line 2, items 1
// and 2 (both received): one workslip.
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "DbActFixture.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/print/AcqWrkBatch.h"
#include "acq/print/AcqWrkslip.h"
#include "support/Processes.h"

namespace {

namespace fs = std::filesystem;
namespace batch = acq::AcqWrkBatch;
using acttest::ActModule;
using acttest::RecordingPerson;
using acq::AcqDbAct::Activity;

// This workstation's profile: its ID and a workslip printer. `printer`
// "pdf" keeps PDF files in `out`; "port" prints to LPT1, the file `port`
// (which must exist to be printed to); "" sets up no printing at all.
void WriteProfile(const fs::path& ini, const std::string& id, const std::string& printer,
                  const fs::path& port = {}) {
  std::ofstream f(ini);
  f << "[ACQ]\nWORKSTATION_ID=" << id << "\n";
  if (printer == "pdf") f << "WRKSLP_WINDOWS_PRINT=1\nWRKSLP_PRINTER_NAME=PDF file\n";
  if (printer == "port") {
    // 40 characters a line (data: low byte first), "?" for what cannot print.
    f << "WRKSLP_WINDOWS_PRINT=0\nWRKSLP_PRINTER_PORT=LPT1\nMAXCHARS=2800\nDEFAULT=3F\n"
         "LINE_FEED=/13/10\n[Ports]\nLPT1="
      << port.string() << "\n";
  }
}

int FilesIn(const fs::path& dir) {
  std::error_code ec;
  int n = 0;
  for (const auto& e : fs::directory_iterator(dir, ec)) n += e.is_regular_file() ? 1 : 0;
  return n;
}

// A demo library with the workslip units started, as workstation `id`
// printing PDF files into its own folder.
class BatchModule : public ActModule {
 public:
  explicit BatchModule(const std::string& sql = "", const std::string& id = "WS-B")
      : ActModule(sql) {
    out = db.Dir() / ("out-" + id);
    fs::create_directories(out);
    setenv("ACQ_SESSION_DIR", out.c_str(), 1);
    WriteProfile(db.Dir() / "workstation.ini", id, "pdf");
    acq::AcqWrkslip::Initialize();
    batch::Initialize();
  }
  ~BatchModule() {
    batch::Terminate();
    acq::AcqWrkslip::Terminate();
    unsetenv("ACQ_SESSION_DIR");   // the folder goes with the test
  }
  std::string BatchState(int n) {
    const acttest::Rows r = Query(
        "select coalesce(date_printed, -1), print_in_process, coalesce(print_in_process_by, '-')"
        " from workslip_batch where \"workslip_batch#\"=" + std::to_string(n));
    return r.empty() ? "gone" : r[0][0] + " " + r[0][1] + " " + r[0][2];
  }
  fs::path out;
};

// ---- two workstations --------------------------------------------------------------------

// Stops in the middle of printing (as the job's file is written, the lock
// held) until the parent lets it go on.
class PausingPerson : public RecordingPerson {
 public:
  PausingPerson(int tell, int wait) : tell_(tell), wait_(wait) {}
  void FileWritten(std::string_view, std::string_view) override {
    (void)!write(tell_, "p", 1);
    char c;
    (void)!read(wait_, &c, 1);
  }

 private:
  int tell_, wait_;
};

// Waits up to `seconds` for a byte on `fd`; false when none came.
bool AwaitByte(int fd, int seconds) {
  pollfd p{fd, POLLIN, 0};
  if (poll(&p, 1, seconds * 1000) <= 0) return false;
  char c;
  return read(fd, &c, 1) == 1;
}

TEST(WrkBatchWorkstations, SecondWorkstationFindsTheBatchLockedAndPrintsNothing) {
  BatchModule m("", "WS-B");
  const fs::path outA = m.db.Dir() / "out-WS-A";
  fs::create_directories(outA);
  WriteProfile(m.db.Dir() / "workstation-a.ini", "WS-A", "pdf");
  int paused[2], resume[2];
  ASSERT_EQ(pipe(paused), 0);
  ASSERT_EQ(pipe(resume), 0);
  const std::string iniA = (m.db.Dir() / "workstation-a.ini").string();
  const pid_t a = testproc::Spawn([&] {
    setenv("ACQ_WORKSTATION", iniA.c_str(), 1);
    setenv("ACQ_SESSION_DIR", outA.c_str(), 1);
    DbMsg msg;
    HDb own = nullptr;
    if (_DbCloneHDb(acq::AcqDbGlobal::Session(), own, msg) != kDbOk) return 10;
    acq::AcqDbGlobal::Globals().session = own;
    PausingPerson person(paused[1], resume[0]);
    const batch::PrintOutcome out = batch::PrintBatches(nullptr, {1});
    _DbLogout(&own);
    return out.ok && out.printed == std::vector<int32_t>{1} && out.workslips == 1 ? 0 : 11;
  });
  close(paused[1]);
  close(resume[0]);
  ASSERT_TRUE(AwaitByte(paused[0], 120)) << "workstation A never reached its printer";
  EXPECT_EQ(m.BatchState(1), "-1 1 WS-A");

  {
    RecordingPerson b;
    const batch::PrintOutcome out = batch::PrintBatches(nullptr, {1});
    EXPECT_EQ(out.locked, std::vector<int32_t>{1});
    EXPECT_TRUE(out.printed.empty());
    EXPECT_EQ(out.workslips, 0);
    ASSERT_EQ(b.shown.size(), 1u);
    EXPECT_EQ(b.shown[0], "Workslip Batch Print|Batch(es) 1 cannot be printed at this time -- "
                          "currently locked for printing at another workstation.");
  }
  EXPECT_EQ(FilesIn(m.out), 0);
  EXPECT_EQ(m.BatchState(1), "-1 1 WS-A");   // B neither took nor cleared A's lock

  (void)!write(resume[1], "r", 1);
  EXPECT_EQ(testproc::WaitFor(a, 120), 0);
  close(paused[0]);
  close(resume[1]);
  EXPECT_EQ(m.BatchState(1), ActModule::Today() + " 0 -");
  EXPECT_EQ(FilesIn(outA), 1);
}

TEST(WrkBatchWorkstations, ReceiptsAtOnceEachFillTheirOwnWorkstationsBatch) {
  BatchModule m("update acq_parameter set print_workslip=2");
  struct Receipt {
    int po, line, item;
  };
  const std::vector<std::vector<Receipt>> plans = {
      {{1, 3, 1}, {1, 3, 2}},   // WS-1
      {{2, 2, 1}, {8, 2, 1}},   // WS-2
  };
  testproc::Gate gate;
  std::vector<pid_t> children;
  for (size_t w = 0; w < plans.size(); ++w) {
    const std::string ini = (m.db.Dir() / ("ws" + std::to_string(w + 1) + ".ini")).string();
    WriteProfile(ini, "WS-" + std::to_string(w + 1), "");
    children.push_back(testproc::Spawn([&, w, ini] {
      setenv("ACQ_WORKSTATION", ini.c_str(), 1);
      DbMsg msg;
      HDb own = nullptr;
      if (_DbCloneHDb(acq::AcqDbGlobal::Session(), own, msg) != kDbOk) return 10;
      acq::AcqDbGlobal::Globals().session = own;
      acqtest::ShownErrors().clear();
      RecordingPerson person;
      gate.Wait();
      int status = 0;
      for (const Receipt& r : plans[w]) {
        BktHandle pending = nullptr;
        if (!acq::AcqDbAct::LoadPendingItems(Activity::Receive, r.po, static_cast<int16_t>(r.line),
                                             0, pending))
          return 11;
        BucketHold hold(pending);
        for (int row = _BktCountAll(pending); row >= 1; --row)
          if (_ColGetInt(pending, row, _BktGetColNum(pending, "item")) != r.item)
            _BktDelete(pending, row);
        if (!acq::AcqDbAct::RunActivity(Activity::Receive, pending, {})) status = 12;
      }
      _DbLogout(&own);
      return status != 0 ? status : person.shown.empty() && acqtest::ShownErrors().empty() ? 0 : 13;
    }));
  }
  gate.Open(static_cast<int>(children.size()));
  for (pid_t child : children) EXPECT_EQ(testproc::WaitFor(child, 120), 0);
  EXPECT_EQ(acttest::QueryRows(
                m.db.Path(),
                "select b.workstation_id || ' ' || i.\"po#\" || '/' || i.line || '/' || i.item"
                " from workslip_batch_po_line_item i join workslip_batch b"
                " on b.\"workslip_batch#\"=i.\"workslip_batch#\" where b.workstation_id<>'WS-RECV1'"
                " order by 1"),
            (acttest::Rows{{"WS-1 1/3/1"}, {"WS-1 1/3/2"}, {"WS-2 2/2/1"}, {"WS-2 8/2/1"}}));
  EXPECT_EQ(m.Count("select count(distinct \"workslip_batch#\") from workslip_batch"), 3);
}

// ---- printing on one workstation ----------------------------------------------------------

TEST(WrkBatchPrint, PrinterFailureLeavesTheBatchUnlockedAndUnprinted) {
  struct Case {
    const char* name;
    const char* printer;
    const char* message;   // caption and start of what the person is told
  } const cases[] = {
      {"the port cannot be opened", "port", "Print Workslip|There is a problem printing"},
      {"printing not set up", "", "Print Workslip|Workslip printing is not set up"},
  };
  for (const Case& c : cases) {
    BatchModule m;
    WriteProfile(m.db.Dir() / "workstation.ini", "WS-B", c.printer, m.db.Dir() / "no-such-port");
    RecordingPerson person;
    const batch::PrintOutcome out = batch::PrintBatches(nullptr, {1});
    EXPECT_FALSE(out.ok) << c.name;
    EXPECT_TRUE(out.printed.empty()) << c.name;
    ASSERT_EQ(person.shown.size(), 1u) << c.name;
    EXPECT_EQ(person.shown[0].rfind(c.message, 0), 0u) << c.name << ": " << person.shown[0];
    EXPECT_EQ(m.BatchState(1), "-1 0 -") << c.name;
  }
}

TEST(WrkBatchPrint, StaleLocksAreOfferedForClearing) {
  // Batch 1 locked now or five hours ago, here or at another workstation.
  struct Case {
    const char* by;
    int minutesAgo;
    bool asked;
  } const cases[] = {
      {"WS-B", 1, true},       // this workstation's own: it is not printing now
      {"WS-A", 1, false},      // another's, fresh: it may well be printing
      {"WS-A", 5 * 60, true},  // another's, older than any print run
  };
  for (const Case& c : cases) {
    BatchModule m;
    DayNum date = kNoDate;
    MinuteOfDay time = 0;
    DbDabs_GetDateTime(date, time);
    int64_t at = int64_t{date} * 1440 + time - c.minutesAgo;
    m.db.Exec("update workslip_batch set print_in_process=1, print_in_process_by='" +
              std::string(c.by) + "', print_in_process_date=" + std::to_string(at / 1440) +
              ", print_in_process_time=" + std::to_string(at % 1440) +
              " where \"workslip_batch#\"=1");
    std::vector<batch::Batch> batches;
    ASSERT_TRUE(batch::LoadBatches("WS-RECV1", batches));
    ASSERT_EQ(batches.size(), 1u);
    EXPECT_EQ(batches[0].lockedBy, c.by);
    EXPECT_TRUE(batch::LinesBeingPrinted(acq::AcqDbGlobal::Session(), {{1, 3}, {1, 2}}));
    EXPECT_FALSE(batch::LinesBeingPrinted(acq::AcqDbGlobal::Session(), {{1, 1}, {1, 3}}));
    RecordingPerson yes(true);
    EXPECT_EQ(batch::OfferToClearStaleLock(nullptr, batches[0]), c.asked) << c.by;
    EXPECT_EQ(yes.shown.size(), c.asked ? 1u : 0u) << c.by;
    EXPECT_EQ(m.BatchState(1), c.asked ? "-1 0 -" : "-1 1 " + std::string(c.by)) << c.by;
  }
}

// ---- purging ---------------------------------------------------------------------------

TEST(WrkBatchPurge, AsksTheOneQuestionTheBatchStateCallsFor) {
  // As WS-B: 1 WS-RECV1 unprinted (demo), 2 WS-B printed, 3 WS-B unprinted,
  // 4 WS-RECV1 printed, 5 WS-B being printed at WS-A.
  const std::string batches =
      "insert into workslip_batch(\"workslip_batch#\", workstation_id, date_created,"
      " date_printed, print_in_process, print_in_process_by) values"
      " (2, 'WS-B', 46000, 46001, 0, NULL), (3, 'WS-B', 46000, NULL, 0, NULL),"
      " (4, 'WS-RECV1', 46000, 46001, 0, NULL), (5, 'WS-B', 46000, NULL, 1, 'WS-A');"
      "insert into workslip_batch_po_line_item(\"workslip_batch#\", \"po#\", line, item) values"
      " (2, 2, 1, 1), (3, 2, 1, 1), (4, 2, 1, 1), (5, 2, 1, 1);";
  struct Case {
    int batch;
    bool yes;
    const char* shown;
    bool deleted;
  } const cases[] = {
      {5, true, "Workslip Batch Purge|Batch 5 is being printed - cannot purge.", false},
      {1, true, "Workslip Batch Purge|Batch 1 belongs to workstation WS-RECV1 and has not been "
                "printed. Are you sure you want to delete it?", true},
      {4, true, "Workslip Batch Purge|Batch 4 belongs to workstation WS-RECV1. Are you sure you "
                "want to delete it?", true},
      {3, true, "Workslip Batch Purge|Batch 3 has not been printed. Are you sure you want to "
                "delete it?", true},
      {2, true, "Workslip Batch Purge|Are you sure you want to delete Batch 2 ?", true},
      {2, false, "Workslip Batch Purge|Are you sure you want to delete Batch 2 ?", false},
  };
  for (const Case& c : cases) {
    BatchModule m(batches);
    RecordingPerson person(c.yes);
    EXPECT_EQ(batch::PurgeBatch(nullptr, c.batch), c.deleted) << c.batch;
    EXPECT_EQ(person.shown, std::vector<std::string>{c.shown}) << c.batch;
    const std::string n = std::to_string(c.batch);
    EXPECT_EQ(m.Count("select count(*) from workslip_batch where \"workslip_batch#\"=" + n),
              c.deleted ? 0 : 1);
    EXPECT_EQ(m.Count("select count(*) from workslip_batch_po_line_item where "
                      "\"workslip_batch#\"=" + n),
              c.deleted ? 0 : c.batch == 1 ? 2 : 1);
  }
}

// ---- receiving into the open batch ----------------------------------------------------------

TEST(WrkBatchReceive, ReceivedItemsJoinThisWorkstationsOpenBatch) {
  BatchModule m("update acq_parameter set print_workslip=2");
  ASSERT_EQ(acq::AcqDbGlobal::Globals().params.print_workslip, 2);
  const std::string items =
      "select \"workslip_batch#\" || ':' || \"po#\" || '/' || line || '/' || item from "
      "workslip_batch_po_line_item where \"workslip_batch#\"<>1 order by 1";
  auto receive = [&](int po, int line, std::vector<int> which) {
    BucketHold pending(ActModule::Pending(Activity::Receive, po, line, which));
    RecordingPerson person;
    EXPECT_TRUE(acq::AcqDbAct::RunActivity(Activity::Receive, *pending, {}));
    EXPECT_TRUE(person.shown.empty());
  };
  receive(1, 3, {1});   // no open batch of WS-B: a new one, 2 (after the demo's 1)
  receive(2, 2, {1});   // the same batch
  EXPECT_EQ(acttest::QueryRows(m.db.Path(), items),
            (acttest::Rows{{"2:1/3/1"}, {"2:2/2/1"}}));
  EXPECT_EQ(m.Count("select count(*) from workslip_batch where workstation_id='WS-B' and "
                    "date_created=" + ActModule::Today()),
            1);
  std::ifstream ini(m.db.Dir() / "workstation.ini");
  const std::string profile((std::istreambuf_iterator<char>(ini)), {});
  EXPECT_NE(profile.find("WRKSLP_BATCH_NUMBER=2"), std::string::npos) << profile;

  // Batch 2 printing: the next receipt starts batch 3.
  m.db.Exec("update workslip_batch set print_in_process=1, print_in_process_by='WS-B' "
            "where \"workslip_batch#\"=2");
  receive(1, 3, {2});
  EXPECT_EQ(acttest::QueryRows(m.db.Path(), items),
            (acttest::Rows{{"2:1/3/1"}, {"2:2/2/1"}, {"3:1/3/2"}}));
}

TEST(WrkBatchReceive, PrintWorkslipDecidesWhatAReceiptDoes) {
  struct Case {
    int printWorkslip;
    bool portPrinter;     // else no workslip printer set up at all
    size_t workslips;     // printed on the port at once
    int64_t batchItems;   // added to a batch of WS-B
  } const cases[] = {
      {0, true, 0, 0},
      {1, true, 1, 0},
      {1, false, 0, 0},   // no workslip printer here: nothing asked of the person
      {2, true, 0, 2},
  };
  for (const Case& c : cases) {
    BatchModule m("update acq_parameter set print_workslip=" + std::to_string(c.printWorkslip));
    const fs::path port = m.db.Dir() / "lpt1";
    std::ofstream(port).close();
    WriteProfile(m.db.Dir() / "workstation.ini", "WS-B", c.portPrinter ? "port" : "", port);
    BucketHold pending(ActModule::Pending(Activity::Receive, 1, 3));
    RecordingPerson person;
    EXPECT_TRUE(acq::AcqDbAct::RunActivity(Activity::Receive, *pending, {}));
    EXPECT_TRUE(person.shown.empty()) << c.printWorkslip << ": " << person.shown.at(0);
    std::ifstream in(port);
    const std::string printed((std::istreambuf_iterator<char>(in)), {});
    size_t slips = 0;
    for (size_t at = 0; (at = printed.find("PO Number: ", at)) != std::string::npos; ++at) ++slips;
    EXPECT_EQ(slips, c.workslips) << c.printWorkslip << "\n" << printed;
    EXPECT_EQ(m.Count("select count(*) from workslip_batch_po_line_item i join workslip_batch b"
                      " on b.\"workslip_batch#\"=i.\"workslip_batch#\" where workstation_id='WS-B'"),
              c.batchItems)
        << c.printWorkslip;
  }
}

}  // namespace
