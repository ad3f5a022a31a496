// What a cheque run of 10,000 open payables costs through the module: the
// run itself (AcqDbPayables::CreateChequeRun: the vendors read, one cheque
// per vendor, every payable marked paid, in one transaction) and then its
// formatted cheque file (AcqChequeFile: the details and addresses read,
// laid out and written in the workstation's code page). 500 vendors of 20
// invoices each, so every cheque runs over a second form. Prints the times.
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "BenchModule.h"
#include "acq/statement/AcqChequeFile.h"
#include "acq/statement/AcqDbPayables.h"
#include "host/db/DbAdmin.h"

namespace {

using bench::Exec;
using bench::ShowError;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kVendors = 500;
constexpr int kPerVendor = 20;   // invoices a vendor: 10,000 payables in all
constexpr int kFirstVendor = 1000;

// Vendors 1000.. with a cheque address each, a statement and an open USD
// payable (voucher# = statement#) per invoice; the demo's own payable gone.
bool Populate(const std::string& path) {
  const std::string vendors = std::to_string(kVendors - 1);
  const std::string invoices = std::to_string(kVendors * kPerVendor - 1);
  const std::string per = std::to_string(kPerVendor);
  const std::string first = std::to_string(kFirstVendor);
  sqlite3* db = nullptr;
  bool ok = sqlite3_open(path.c_str(), &db) == SQLITE_OK;
  ok = ok && Exec(db, "BEGIN") && Exec(db, "DELETE FROM payables") &&
       Exec(db, "WITH RECURSIVE n(k) AS (SELECT 0 UNION ALL SELECT k + 1 FROM n WHERE k < " +
                    vendors + ") INSERT INTO vendor(\"vendor#\", vendor_code, name, currency) "
                    "SELECT " + first + " + k, 'B' || k, 'Bench Vendor ' || (10000 + k), 'USD' "
                    "FROM n") &&
       Exec(db, "INSERT INTO vendor_address(\"vendor#\", address_code, descr, address1, "
                "address2, vouchers) SELECT \"vendor#\", 'MAIN', name, '1 Bench Street', "
                "'Springfield', 1 FROM vendor WHERE \"vendor#\" >= " + first) &&
       Exec(db, "WITH RECURSIVE n(k) AS (SELECT 0 UNION ALL SELECT k + 1 FROM n WHERE k < " +
                    invoices + ") INSERT INTO statement(\"statement#\", statement_number, "
                    "\"vendor#\", currency, statement_date) SELECT 10000 + k, 'INV-' || k, " +
                    first + " + k / " + per + ", 'USD', 46300 FROM n") &&
       Exec(db, "INSERT INTO payables(\"voucher#\", \"statement#\", \"vendor#\", status, amount, "
                "currency, invoice_date) SELECT \"statement#\", \"statement#\", \"vendor#\", 0, "
                "12345678, 'USD', 46300 FROM statement WHERE \"statement#\" >= 10000") &&
       Exec(db, "COMMIT");
  sqlite3_close(db);
  return ok;
}

}  // namespace

int main() {
  const fs::path dir =
      fs::temp_directory_path() / ("acq-bench-cheque-run-" + std::to_string(getpid()));
  fs::create_directories(dir);
  setenv("ACQ_WORKSTATION", (dir / "workstation.ini").c_str(), 1);
  const std::string path = (dir / "bench.db").string();
  DbMsg msg;
  if (DbAdmin_CreateDatabase(path, true, msg) != kDbOk || !Populate(path)) {
    std::fprintf(stderr, "cannot create the database: %s\n", msg.text.c_str());
    return 1;
  }
  if (!bench::StartModule(path, &ShowError)) return 1;
  acq::AcqDbPayables::RunResult run;
  auto start = Clock::now();
  const bool ran = acq::AcqDbPayables::CreateChequeRun(run) == acq::AcqDbPayables::Outcome::Done;
  const double runMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  const fs::path file = dir / "cheques.txt";
  start = Clock::now();
  const bool written = ran && acq::AcqChequeFile::WriteChequeFileTo(nullptr, run.run,
                                                                     file.string()) ==
                                  acq::AcqChequeFile::FileResult::Written;
  const double fileMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  bench::StopModule();
  if (!ran || !written) {
    std::fprintf(stderr, "the cheque run failed\n");
    return 1;
  }
  std::printf("Cheque run of %d payables, %d vendors: %d cheques (%d to %d)\n",
              kVendors * kPerVendor, kVendors, run.cheques, run.firstCheque, run.lastCheque);
  std::printf("  the run (one transaction)      %9.2f ms\n", runMs);
  std::printf("  the formatted file (%7.2f MB) %9.2f ms\n",
              static_cast<double>(fs::file_size(file)) / 1e6, fileMs);
  std::printf("  both                           %9.2f ms\n", runMs + fileMs);
  fs::remove_all(dir);
  return 0;
}
