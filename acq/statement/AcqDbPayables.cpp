// AcqDbPayables: payables, cheque runs and cheques in the database.
//
// Every change runs in a transaction of its own (InTransaction): steps that
// meet a write conflict are run again after a pause; a step the database
// refused ends it with a rollback and nothing shown; any other failure is
// shown once, by the rollback.
#include "acq/statement/AcqDbPayables.h"

#include <algorithm>
#include <map>

#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbBase.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/db/AcqDbGlobal.h"
#include "host/sys/Bucket.h"
#include "host/sys/LbStr.h"

namespace acq::AcqDbPayables {
namespace {

using AcqDbExcept::HandleDbError;
using AcqChequeLayout::ChequeDetail;

constexpr int kMaxAttempts = 8;   // attempts of a transaction that meets write conflicts

constexpr const char* kSetPayableStatus = "set_payable_status";
constexpr const char* kCreateChequeRun = "create_cheque_run";
constexpr const char* kCreatePayablesCheque = "create_payables_cheque";
constexpr const char* kUpdateChequeStatus = "update_cheque_status";
constexpr const char* kSetChequeFileCreated = "set_cheque_file_created";
constexpr const char* kGetOpenChequeTotals = "get_open_cheque_totals";

std::string Num(int64_t n) { return std::to_string(n); }

std::string Quoted(std::string_view text) {
  std::string out;
  (void)_DbQuoteAppend(out, static_cast<int>(2 * text.size() + 2), text);
  return out;
}

// Runs `steps` in a transaction of its own. `steps` returns kDbOk with
// `refused` set when the database refused a change (the transaction is then
// rolled back and nothing is shown).
Outcome InTransaction(const std::function<DbCode(DbMsg&, bool& refused)>& steps) {
  for (int attempt = 1;; ++attempt) {
    DbMsg msg;
    bool refused = false;
    AcqDbBase::BeginTrans();
    const DbCode code = steps(msg, refused);
    if (code == kDbOk && !refused) return AcqDbBase::CommitTrans() ? Outcome::Done : Outcome::Failed;
    if (code == kDbOk) {
      AcqDbBase::RollbackTrans();
      return Outcome::Refused;
    }
    if (DbIsRetryable(code) && attempt < kMaxAttempts) {
      AcqDbBase::RollbackTrans();
      _DbConflictPause(attempt);
      continue;
    }
    HandleDbError(msg, code);
    AcqDbBase::RollbackTrans();
    return Outcome::Failed;
  }
}

// A one-byte `result` procedure: 1 done, 0 refused.
DbCode ExecResult(DbMsg& msg, std::string_view params, std::string_view procedure, bool& done) {
  uint8_t result = 0;
  const DbCode code = AcqDb::ExecSP(msg, &result, sizeof result, params, procedure);
  done = code == kDbOk && result == 1;
  return code;
}

// A money cell, whether the column is typed money or a plain count of
// millionths (a sum in a view).
Dec64 MoneyCell(BktHandle bkt, int row, int col) {
  if (_BktGetColType(bkt, col) == kColDec64) return _ColGetDec64(bkt, row, col);
  if (_BktGetColType(bkt, col) == kColText) {
    const std::string text = _ColGetStringW(bkt, row, col);
    return Dec64::FromRaw(text.empty() ? 0 : std::stoll(text));
  }
  return Dec64::FromRaw(_ColGetInt(bkt, row, col));
}

// Loads a table or view into a new Bucket held by `out`; failures shown.
bool Load(std::string_view table, std::string_view columns, std::string_view where,
          std::string_view orderBy, BucketHold& out) {
  DbMsg msg;
  const DbCode code =
      AcqDb::LoadTable(msg, AcqDb::ClearChanges::Yes, orderBy, where, columns, table, out.get());
  if (code == kDbOk) return true;
  HandleDbError(msg, code);
  return false;
}

// The same inside a transaction: the code is returned, not shown.
DbCode LoadIn(DbMsg& msg, std::string_view table, std::string_view columns,
              std::string_view where, std::string_view orderBy, BucketHold& out) {
  return AcqDb::LoadTable(msg, AcqDb::ClearChanges::Yes, orderBy, where, columns, table,
                          out.get());
}

// Column `name` of `bkt`; 0 when missing.
int Col(BktHandle bkt, std::string_view name) { return _BktGetColNum(bkt, name); }

std::string Text(BktHandle bkt, int row, std::string_view col) {
  const int c = Col(bkt, col);
  return c == 0 || _ColIsNull(bkt, row, c) ? std::string() : _ColGetStringW(bkt, row, c);
}
std::string DateText(BktHandle bkt, int row, std::string_view col) {
  const int c = Col(bkt, col);
  return c == 0 || _ColIsNull(bkt, row, c) ? std::string()
                                            : DbDabs_DateToStr(static_cast<DayNum>(_ColGetInt(bkt, row, c)));
}
std::string IntText(BktHandle bkt, int row, std::string_view col) {
  const int c = Col(bkt, col);
  return c == 0 || _ColIsNull(bkt, row, c) ? std::string() : Num(_ColGetInt(bkt, row, c));
}
std::string MoneyText(BktHandle bkt, int row, std::string_view col) {
  const int c = Col(bkt, col);
  if (c == 0 || _ColIsNull(bkt, row, c)) return {};
  return LbDec64_StrFrom64(MoneyCell(bkt, row, c), DbDabs_QueryMoneyFmt(0).decimals);
}
std::string FlagText(BktHandle bkt, int row, std::string_view col) {
  const int c = Col(bkt, col);
  return c != 0 && !_ColIsNull(bkt, row, c) && _ColGetInt(bkt, row, c) != 0 ? "Yes" : "No";
}

// The payee lines of a vendor's cheque address (all empty when it has none).
bool ReadPayee(int32_t vendor, std::array<std::string, 5>& payee) {
  payee = {};
  BucketHold rows;
  if (!Load("vendor_address", "*", "vendor#=" + Num(vendor), "address_code", rows)) return false;
  const int colVouchers = Col(*rows, "vouchers"), colOrders = Col(*rows, "orders");
  int chosen = 0;
  for (int pass = 0; pass < 2 && chosen == 0; ++pass) {
    const int col = pass == 0 ? colVouchers : colOrders;
    for (int row = 1; col != 0 && row <= _BktCountAll(*rows) && chosen == 0; ++row)
      if (!_ColIsNull(*rows, row, col) && _ColGetInt(*rows, row, col) != 0) chosen = row;
  }
  if (chosen == 0) return true;
  size_t line = 0;
  payee[line++] = Text(*rows, chosen, "descr");
  for (const char* col : {"address1", "address2", "address3", "address4"}) {
    std::string text = Text(*rows, chosen, col);
    if (text.find_first_not_of(" \t") != std::string::npos) payee[line++] = std::move(text);
  }
  return true;
}

}  // namespace

Outcome SetPayablesStatus(const std::vector<PayableKey>& keys, PayableStatus status,
                          int* refused) {
  int count = 0;
  const Outcome outcome = InTransaction([&](DbMsg& msg, bool& anyRefused) -> DbCode {
    count = 0;
    for (const PayableKey& key : keys) {
      bool done = false;
      const DbCode code = ExecResult(
          msg, Num(key.voucher) + "," + Num(key.statement) + "," + Num(static_cast<int>(status)),
          kSetPayableStatus, done);
      if (code != kDbOk) return code;
      if (!done) ++count;
    }
    anyRefused = count > 0;
    return kDbOk;
  });
  if (refused != nullptr) *refused = outcome == Outcome::Refused ? count : 0;
  return outcome;
}

Outcome CreateChequeRun(RunResult& out) {
  out = RunResult{};
  return InTransaction([&](DbMsg& msg, bool& refused) -> DbCode {
    out = RunResult{};
    // Read inside the transaction: what another workstation paid meanwhile
    // is no longer open.
    BucketHold vendors;
    DbCode code = LoadIn(msg, "open_os_payables_vendor", "vendor#,vendor_name,amount", "",
                         "vendor_name,vendor#", vendors);
    if (code != kDbOk) return code;
    // One row per vendor and currency. A vendor owed in one currency gets
    // a cheque when it is owed more than zero; one owed in two is handed to
    // create_payables_cheque all the same, which refuses it with the reason
    // (a cheque's total is in one currency), and the run is not made.
    std::vector<int32_t> order;
    std::map<int32_t, int> rows;
    const int colVendor = Col(*vendors, "vendor#"), colAmount = Col(*vendors, "amount");
    std::map<int32_t, Dec64> owed;
    for (int row = 1; row <= _BktCountAll(*vendors); ++row) {
      const int32_t vendor = _ColGetInt(*vendors, row, colVendor);
      if (rows[vendor]++ == 0) order.push_back(vendor);
      owed[vendor] = MoneyCell(*vendors, row, colAmount);
    }
    std::erase_if(order, [&](int32_t v) { return rows[v] == 1 && owed[v].raw <= 0; });
    if (order.empty()) {
      refused = true;
      return kDbOk;
    }
    HDb session = AcqDbGlobal::Session();
    code = _DbGetNewKeyValidate(session, "cheque_run", "cheque_run", "cheque_run#", out.run, msg);
    bool done = false;
    if (code == kDbOk)
      code = ExecResult(msg, Num(out.run) + "," + Quoted(DbGlobal_globRec.user), kCreateChequeRun,
                        done);
    for (size_t n = 0; code == kDbOk && n < order.size(); ++n) {
      int32_t cheque = 0;
      code = _DbGetNewKeyValidate(session, "cheque", "cheque", "cheque#", cheque, msg);
      if (code == kDbOk)
        code = ExecResult(msg, Num(cheque) + "," + Num(order[n]) + "," + Num(out.run),
                          kCreatePayablesCheque, done);
      if (code != kDbOk || !done) continue;
      if (out.cheques++ == 0) out.firstCheque = cheque;
      out.lastCheque = cheque;
    }
    if (code == kDbOk && out.cheques == 0) refused = true;
    return code;
  });
}

bool ReadRun(int32_t run, RunInfo& out, bool& found) {
  out = RunInfo{};
  found = false;
  BucketHold row;
  if (!Load("cheque_run", "run_currency,file_created", "cheque_run#=" + Num(run), "", row))
    return false;
  BucketHold param;
  if (!Load("acq_parameter", "base_currency", "", "", param)) return false;
  if (_BktCountAll(*param) > 0) out.baseCurrency = Text(*param, 1, "base_currency");
  if (_BktCountAll(*row) < 1) return true;
  found = true;
  out.currency = Text(*row, 1, "run_currency");
  out.fileCreated = FlagText(*row, 1, "file_created") == "Yes";
  return true;
}

bool ReadChequeDetails(int32_t run, std::vector<ChequeDetail>& out) {
  out.clear();
  BucketHold rows;
  if (!Load("cheque_details", "*", "cheque_run#=" + Num(run), "vendor_name,cheque#,statement#",
            rows))
    return false;
  std::map<int32_t, std::array<std::string, 5>> payees;
  const int colIssued = Col(*rows, "cheque_issued_date"), colAmount = Col(*rows, "amount");
  for (int row = 1; row <= _BktCountAll(*rows); ++row) {
    ChequeDetail d;
    d.cheque = _ColGetInt(*rows, row, Col(*rows, "cheque#"));
    d.issued = _ColIsNull(*rows, row, colIssued)
                   ? kNoDate
                   : static_cast<DayNum>(_ColGetInt(*rows, row, colIssued));
    d.vendor = _ColGetInt(*rows, row, Col(*rows, "vendor#"));
    if (!payees.count(d.vendor) && !ReadPayee(d.vendor, payees[d.vendor])) return false;
    d.payee = payees[d.vendor];
    d.invoice_currency = Text(*rows, row, "invoice_currency");
    d.statement = _ColGetInt(*rows, row, Col(*rows, "statement#"));
    d.statement_number = Text(*rows, row, "statement_number");
    d.voucher = _ColGetInt(*rows, row, Col(*rows, "voucher#"));
    d.amount = MoneyCell(*rows, row, colAmount);
    out.push_back(std::move(d));
  }
  return true;
}

Outcome CreateRunFile(int32_t run, const std::function<bool()>& write) {
  bool writeFailed = false;
  const Outcome outcome = InTransaction([&](DbMsg& msg, bool& refused) -> DbCode {
    bool marked = false;
    writeFailed = false;
    const DbCode code = ExecResult(msg, Num(run), kSetChequeFileCreated, marked);
    if (code != kDbOk) return code;
    writeFailed = marked && !write();
    refused = !marked || writeFailed;
    return kDbOk;
  });
  // A file that could not be written (the writer told why) is no refusal.
  return outcome == Outcome::Refused && writeFailed ? Outcome::Failed : outcome;
}

Outcome UpdateChequeStatus(const std::vector<int32_t>& cheques, DayNum processed,
                           ChequeStatus status, int32_t& refusedCheque) {
  refusedCheque = 0;
  return InTransaction([&](DbMsg& msg, bool& refused) -> DbCode {
    refusedCheque = 0;
    for (int32_t cheque : cheques) {
      bool done = false;
      const DbCode code = ExecResult(
          msg, Num(cheque) + "," + Num(processed) + "," + Num(static_cast<int>(status)),
          kUpdateChequeStatus, done);
      if (code != kDbOk) return code;
      if (!done) {
        refusedCheque = cheque;
        refused = true;
        return kDbOk;
      }
    }
    return kDbOk;
  });
}

bool ReadChequeYears(std::vector<int>& years) {
  years.clear();
  BucketHold rows;
  if (!Load("cheque_update_view", "year", "", "year desc", rows)) return false;
  for (int row = 1; row <= _BktCountAll(*rows); ++row)
    if (!_ColIsNull(*rows, row, 1)) years.push_back(_ColGetInt(*rows, row, 1));
  return true;
}

bool GetOpenChequeTotals(int year, int32_t& count, Dec64& value) {
  count = 0;
  value = Dec64{};
  DbMsg msg;
  std::vector<BktHandle> sets;
  const DbCode code = AcqDb::MultLoad(msg, sets, Num(year), kGetOpenChequeTotals);
  bool ok = code == kDbOk;
  if (!ok) HandleDbError(msg, code);
  if (ok && !sets.empty() && _BktCountAll(sets[0]) > 0) {
    count = _ColGetInt(sets[0], 1, Col(sets[0], "open_cheques"));
    value = MoneyCell(sets[0], 1, Col(sets[0], "open_value"));
  }
  for (BktHandle& set : sets) _BktDestroy(&set);
  return ok;
}

bool ReadChequeRegister(int32_t run, ReportRows& out) {
  out.clear();
  BucketHold rows, payables;
  const std::string ofRun = "cheque_run#=" + Num(run);
  if (!Load("cheque_details", "*", ofRun, "vendor_name,cheque#,statement#", rows) ||
      !Load("payables", "voucher#,statement#,invoice_date",
            "cheque# in (select cheque# from cheque where " + ofRun + ")", "", payables))
    return false;
  std::map<std::pair<int32_t, int32_t>, std::string> invoiceDates;
  for (int row = 1; row <= _BktCountAll(*payables); ++row)
    invoiceDates[{_ColGetInt(*payables, row, 1), _ColGetInt(*payables, row, 2)}] =
        DateText(*payables, row, "invoice_date");
  for (int row = 1; row <= _BktCountAll(*rows); ++row) {
    const std::pair<int32_t, int32_t> key{_ColGetInt(*rows, row, Col(*rows, "voucher#")),
                                          _ColGetInt(*rows, row, Col(*rows, "statement#"))};
    out.push_back({IntText(*rows, row, "cheque_run#"), IntText(*rows, row, "cheque#"),
                   DateText(*rows, row, "cheque_issued_date"), Text(*rows, row, "vendor_name"),
                   IntText(*rows, row, "voucher#"), invoiceDates[key],
                   Text(*rows, row, "statement_number"), MoneyText(*rows, row, "amount")});
  }
  return true;
}

bool ReadPayableReport(PayableReport& out) {
  out = PayableReport{};
  BucketHold rows, budgets, accounts;
  if (!Load("outstanding_payables_report", "*", "", "status_descr,vendor_name,vendor", rows) ||
      !Load("open_os_payables_budget", "*", "", "voucher#,budget", budgets) ||
      !Load("open_os_payables_acct_ref", "*", "", "voucher#,acct_ref", accounts))
    return false;
  for (int row = 1; row <= _BktCountAll(*rows); ++row)
    out.payables.push_back(
        {Text(*rows, row, "status_descr"), Text(*rows, row, "vendor_name"),
         IntText(*rows, row, "voucher#"), Text(*rows, row, "statement_number"),
         DateText(*rows, row, "invoice_date"), DateText(*rows, row, "process_date"),
         MoneyText(*rows, row, "amount"), Text(*rows, row, "currency"),
         MoneyText(*rows, row, "gst_amount"), MoneyText(*rows, row, "pst_amount"),
         FlagText(*rows, row, "gst_self_assessed"), FlagText(*rows, row, "pst_self_assessed"),
         Text(*rows, row, "vendor")});
  for (int row = 1; row <= _BktCountAll(*budgets); ++row)
    out.budgets.push_back({IntText(*budgets, row, "voucher#"), Text(*budgets, row, "budget"),
                           MoneyText(*budgets, row, "amount")});
  for (int row = 1; row <= _BktCountAll(*accounts); ++row)
    out.accounts.push_back({IntText(*accounts, row, "voucher#"),
                            Text(*accounts, row, "acct_ref"), MoneyText(*accounts, row, "amount")});
  return true;
}

}  // namespace acq::AcqDbPayables
