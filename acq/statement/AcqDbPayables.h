// AcqDbPayables: the database side of payables and cheque runs. Each
// change is one transaction of its own, run again after a write conflict,
// and conditional on the state it changes from (a payable still open, a
// cheque still issued, a run's file not yet made), so that two workstations
// never both do it. Database failures are shown (HandleDbError); a refusal
// is returned for the caller to tell in its own words.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "acq/statement/AcqChequeLayout.h"
#include "host/db/DbDabs.h"
#include "host/sys/Dec64.h"

namespace acq::AcqDbPayables {

// payables.status
enum class PayableStatus : uint8_t { Open = 0, Hold = 1, Paid = 2, Deleted = 3 };
// cheque.status
enum class ChequeStatus : uint8_t { Issued = 0, Reconciled = 1, Void = 2 };

enum class Outcome : uint8_t {
  Done,      // committed
  Refused,   // the database refused (a condition no longer held): nothing changed
  Failed,    // a database failure, shown; nothing changed
};

struct PayableKey {
  int32_t voucher = 0;
  int32_t statement = 0;
  friend bool operator==(const PayableKey&, const PayableKey&) = default;
};

// Gives every payable of `keys` the status Open, Hold or Deleted, in one
// transaction: all of them or none. Refused when any one is no longer open
// or on hold, or opening it would mix US-dollar and other open payables;
// `refused` (optional) gets how many were refused.
Outcome SetPayablesStatus(const std::vector<PayableKey>& keys, PayableStatus status,
                          int* refused = nullptr);

struct RunResult {
  int32_t run = 0;
  int32_t firstCheque = 0, lastCheque = 0;   // the cheque numbers assigned
  int cheques = 0;
};
// The cheque run, in one transaction: the vendors with open payables are
// read, a new run number is taken and the run made, then every vendor whose
// open payables total more than zero gets a new cheque number and its
// cheque, which pays them. Refused (nothing written) when no vendor has an
// amount to pay. Failed (shown) when the open payables mix US-dollar and
// other currencies, or the database fails.
Outcome CreateChequeRun(RunResult& out);

struct RunInfo {
  std::string currency;        // run_currency
  std::string baseCurrency;    // the site's base currency
  bool fileCreated = false;
};
// False (shown) when it cannot be read; `found` false when there is no such run.
bool ReadRun(int32_t run, RunInfo& out, bool& found);

// The run's cheque_details rows ordered by vendor name (then cheque and
// statement), each with the payee lines of its vendor's cheque address:
// the first address for vouchers, else the first for orders, else none.
bool ReadChequeDetails(int32_t run, std::vector<AcqChequeLayout::ChequeDetail>& rows);

// In one transaction: marks the run's file as created, then runs `write`
// (which writes the file); the mark is kept only when `write` returns true.
// Refused when the run's file was created already (`write` not run).
Outcome CreateRunFile(int32_t run, const std::function<bool()>& write);

// Gives every cheque of `cheques` the status Reconciled or Void as of
// `processed`, in one transaction. Refused when any is no longer issued;
// `refusedCheque` is then the first such.
Outcome UpdateChequeStatus(const std::vector<int32_t>& cheques, DayNum processed,
                           ChequeStatus status, int32_t& refusedCheque);

// The calendar years that have cheques, most recent first.
bool ReadChequeYears(std::vector<int>& years);
// The issued cheques of `year`: how many and their value.
bool GetOpenChequeTotals(int year, int32_t& count, Dec64& value);

// One line of a report: its cells as text.
using ReportRows = std::vector<std::vector<std::string>>;
// The cheque register of a run: per payable, the run, cheque number, issued
// date, vendor, payable number (voucher#), invoice date, code (the
// vendor's invoice number) and amount, ordered by vendor name and cheque.
bool ReadChequeRegister(int32_t run, ReportRows& rows);
// The outstanding payables for the payable report (status_descr,
// vendor_name, voucher#, statement_number, invoice_date, process_date,
// amount, currency, gst, pst, gst/pst self-assessed, vendor), and the
// budget and account-reference sections (voucher#, budget or acct_ref, amount).
struct PayableReport {
  ReportRows payables;
  ReportRows budgets;
  ReportRows accounts;
};
bool ReadPayableReport(PayableReport& out);

}  // namespace acq::AcqDbPayables
