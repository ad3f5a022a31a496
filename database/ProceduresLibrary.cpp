// The library's stored procedures: registration of every subsystem's set and
// the helpers they share (argument checks, typed result sets, money).

#include <string>
#include <utility>

#include "database/ProcedureKit.h"

namespace dbproc {
namespace {

std::string Expected(const std::vector<Arg>& args) {
  std::string text = std::string("expects ") + std::to_string(args.size()) + " argument";
  if (args.size() != 1) text += "s";
  if (args.empty()) return text + ".";
  text += " (";
  for (size_t i = 0; i < args.size(); ++i) {
    if (i > 0) text += ", ";
    text += args[i].name;
  }
  return text + ").";
}

// Checks `given` against `args`; a number given for a text becomes its text.
bool CheckArgs(const std::vector<Arg>& args, const std::vector<DbsValue>& given,
               std::vector<DbsValue>& checked, std::string& error) {
  if (given.size() != args.size()) {
    error = Expected(args);
    return false;
  }
  checked.clear();
  for (size_t i = 0; i < args.size(); ++i) {
    const DbsValue& v = given[i];
    const char form = args[i].form;
    const bool nullable = form == 'n' || form == 'u';
    bool ok = false;
    if (v.IsNull()) {
      ok = nullable;
      checked.push_back(v);
    } else if (form == 'k' || form == 'n') {
      ok = v.kind == DbsValue::Kind::Int;
      checked.push_back(v);
    } else {
      ok = true;
      checked.push_back(v.kind == DbsValue::Kind::Int ? DbsValue::Text(std::to_string(v.i))
                                                      : DbsValue::Text(v.s));
    }
    if (!ok) {
      error = std::string("argument ") + std::to_string(i + 1) + " (" + args[i].name +
              ") is not " +
              (form == 'k' || form == 'n' ? "a whole number." : "a text.") + " " +
              Expected(args);
      return false;
    }
  }
  return true;
}

}  // namespace

DbCode RunQuery(pwdb::DbConnection& db, const Query& query, const std::vector<DbsValue>& binds,
             DbsResultSet& out, std::string& error) {
  const DbCode rc = Database_Query(db, query.sql, binds, out, error);
  if (rc != kDbOk) return rc;
  for (const ColumnType& t : query.types) {
    for (DbsColumn& c : out.columns) {
      if (c.name == t.name) c.declType = t.decl;
    }
  }
  return kDbOk;
}

void RegisterCustom(const char* name, std::vector<Arg> args, DbsProcedure body) {
  Database_RegisterProcedure(
      name, [args = std::move(args), body = std::move(body)](
                pwdb::DbConnection& db, const std::vector<DbsValue>& given,
                std::vector<DbsResultSet>& results, std::string& error) -> DbCode {
        std::vector<DbsValue> checked;
        if (!CheckArgs(args, given, checked, error)) return kDbError;
        return body(db, checked, results, error);
      });
}

void RegisterSql(const char* name, std::vector<Arg> args, std::vector<Query> queries) {
  RegisterCustom(name, std::move(args),
                 [queries = std::move(queries)](pwdb::DbConnection& db,
                                                const std::vector<DbsValue>& binds,
                                                std::vector<DbsResultSet>& results,
                                                std::string& error) -> DbCode {
                   for (const Query& q : queries) {
                     DbsResultSet set;
                     if (DbCode rc = RunQuery(db, q, binds, set, error); rc != kDbOk) return rc;
                     results.push_back(std::move(set));
                   }
                   return kDbOk;
                 });
}

std::string BaseAmountSql(const std::string& amount, const std::string& rate) {
  // a x r / 10^6 = (a div 10^6) x r + (a mod 10^6) x r / 10^6; SQLite's
  // integer division and remainder truncate toward zero, so the fraction
  // keeps the sign of the amount and is rounded away from zero.
  const std::string a = "(" + amount + ")";
  const std::string r = "(" + rate + ")";
  return "((" + a + " / 1000000) * " + r + " + ((" + a + " % 1000000) * " + r +
         " + CASE WHEN " + a + " < 0 THEN -500000 ELSE 500000 END) / 1000000)";
}

std::string MoneyText(int64_t raw, int decimals) {
  if (decimals < 0) decimals = 0;
  if (decimals > 6) decimals = 6;
  uint64_t unit = 1;  // millionths per last digit shown
  for (int i = decimals; i < 6; ++i) unit *= 10;
  uint64_t pow10 = 1;
  for (int i = 0; i < decimals; ++i) pow10 *= 10;
  // The magnitude as unsigned, so the most negative amount has one too.
  const uint64_t magnitude = raw < 0 ? 0 - static_cast<uint64_t>(raw) : static_cast<uint64_t>(raw);
  uint64_t scaled = magnitude / unit;
  if (unit > 1 && magnitude % unit >= unit / 2) ++scaled;  // half away from zero
  std::string text = (raw < 0 && scaled != 0 ? "-" : "") + std::to_string(scaled / pow10);
  if (decimals > 0) {
    const std::string digits = std::to_string(scaled % pow10);
    text += "." + std::string(static_cast<size_t>(decimals) - digits.size(), '0') + digits;
  }
  return text;
}

void AddMoneyText(DbsResultSet& set, size_t amountCol, size_t decimalsCol, const char* name) {
  set.columns.push_back(DbsColumn{name, "VARCHAR(30)", "", ""});
  for (std::vector<DbsValue>& row : set.rows) {
    const DbsValue& amount = row[amountCol];
    const DbsValue& decimals = row[decimalsCol];
    if (amount.kind != DbsValue::Kind::Int) {
      row.push_back(DbsValue::Null());
      continue;
    }
    const int digits = decimals.kind == DbsValue::Kind::Int ? static_cast<int>(decimals.i) : 2;
    row.push_back(DbsValue::Text(MoneyText(amount.i, digits)));
  }
}

}  // namespace dbproc

void Database_RegisterLibraryProcedures() {
  dbproc::RegisterPoProcedures();
  dbproc::RegisterStatementProcedures();
  dbproc::RegisterVendorProcedures();
  dbproc::RegisterBudgetProcedures();
  dbproc::RegisterPrintProcedures();
  dbproc::RegisterClaimProcedures();
  dbproc::RegisterApprovalProcedures();
  dbproc::RegisterVoucherProcedures();
  dbproc::RegisterPayablesProcedures();
  dbproc::RegisterProrationProcedures();
  dbproc::RegisterEdiResponsesProcedures();
  dbproc::RegisterEdiInvoicesProcedures();
  dbproc::RegisterOrderFilesProcedures();
  dbproc::RegisterUndoProcedures();
  dbproc::RegisterCatalogueProcedures();
  dbproc::RegisterPatternsProcedures();
  dbproc::RegisterRenewalsProcedures();
  dbproc::RegisterAccountsProcedures();
  dbproc::RegisterYearEndProcedures();
  dbproc::RegisterHierarchyProcedures();
  dbproc::RegisterReportsProcedures();
}
