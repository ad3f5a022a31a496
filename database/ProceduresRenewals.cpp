// Stored procedures of renewals: the price of a renewed line.
//
// get_renewal_price(po#, line, flag) answers one amount, in base currency,
// for one copy of the line's next period:
// - flag 0 (price method 1): the last invoiced unit price of the line, i.e.
//   the invoice line (statement_line_type 0) of the latest statement that
//   invoiced it (by statement_date, then statement#): its amount divided by
//   its quantity, times that statement's exchange rate. A line never
//   invoiced answers its unit_price times the rate of its PO's currency.
// - flag 1 (price method 2): the same, raised by the inflation factor (a
//   whole percent) of the account its first item pays from (the first
//   budget of a split), so a subscription follows its account's expected
//   price rise. No factor: no rise.
// Exact: Dec64 arithmetic, kept to millionths (half away from zero); the
// module rounds to the money digits after converting to the PO's currency.
// A line that is not there answers 0.
#include <string>

#include "database/ProcedureKit.h"
#include "host/sys/Dec64.h"

namespace dbproc {
namespace {

// The first row of a query, when it has one.
struct Row {
  bool found = false;
  std::vector<DbsValue> cells;
};

DbCode FirstRow(pwdb::DbConnection& db, const std::string& sql, const std::vector<DbsValue>& binds,
                Row& row, std::string& error) {
  DbsResultSet set;
  const DbCode rc = Database_Query(db, sql, binds, set, error);
  if (rc != kDbOk) return rc;
  row.found = !set.rows.empty();
  if (row.found) row.cells = set.rows.front();
  return kDbOk;
}

int64_t IntOr(const DbsValue& v, int64_t otherwise) {
  return v.kind == DbsValue::Kind::Int ? v.i : otherwise;
}

DbsResultSet Price(Dec64 price) {
  DbsResultSet set;
  set.columns.push_back(DbsColumn{"price", "DEC64", "", ""});
  set.rows.push_back({DbsValue::Int(price.raw)});
  return set;
}

DbCode GetRenewalPrice(pwdb::DbConnection& db, const std::vector<DbsValue>& args,
                       std::vector<DbsResultSet>& results, std::string& error) {
  const std::vector<DbsValue> key = {args[0], args[1]};
  Row invoiced;
  DbCode rc = FirstRow(db,
                       "SELECT sl.amount, sl.quantity, s.exchange_rate FROM statement_line sl "
                       "JOIN statement s ON s.\"statement#\" = sl.\"statement#\" "
                       "WHERE sl.\"po#\" = ?1 AND sl.line = ?2 AND sl.statement_line_type = 0 "
                       "AND sl.quantity > 0 "
                       "ORDER BY s.statement_date DESC, s.\"statement#\" DESC, "
                       "sl.statement_line DESC",
                       key, invoiced, error);
  if (rc != kDbOk) return rc;
  Dec64 unit{}, rate = Dec64::FromInt(1);
  if (invoiced.found) {
    const Dec64 amount = Dec64::FromRaw(IntOr(invoiced.cells[0], 0));
    if (LbDec64_Div64(amount, Dec64::FromInt(IntOr(invoiced.cells[1], 1)), unit) != DecStatus::Ok)
      unit = Dec64{};
    rate = Dec64::FromRaw(IntOr(invoiced.cells[2], rate.raw));
  } else {
    Row line;
    rc = FirstRow(db,
                  "SELECT pl.unit_price, c.exchange_rate FROM po_line pl "
                  "JOIN po p ON p.\"po#\" = pl.\"po#\" "
                  "LEFT JOIN currency c ON c.currency = p.currency "
                  "WHERE pl.\"po#\" = ?1 AND pl.line = ?2",
                  key, line, error);
    if (rc != kDbOk) return rc;
    if (!line.found) {
      results.push_back(Price(Dec64{}));
      return kDbOk;
    }
    unit = Dec64::FromRaw(IntOr(line.cells[0], 0));
    rate = Dec64::FromRaw(IntOr(line.cells[1], rate.raw));
  }
  Dec64 price{};
  if (LbDec64_Mul64(unit, rate, price) != DecStatus::Ok) {
    error = "get_renewal_price: the price is too large";
    return kDbError;
  }
  if (IntOr(args[2], 0) != 0) {
    Row factor;
    rc = FirstRow(db,
                  "SELECT a.inflation_factor FROM po_line_item i "
                  "LEFT JOIN po_line_item_budget b ON b.\"po#\" = i.\"po#\" AND b.line = i.line "
                  "AND b.item = i.item "
                  "JOIN account_year ay ON ay.account || '.' || ay.year = "
                  "coalesce(i.budget, b.budget) "
                  "JOIN account a ON a.account = ay.account "
                  "WHERE i.\"po#\" = ?1 AND i.line = ?2 ORDER BY i.item, b.budget",
                  key, factor, error);
    if (rc != kDbOk) return rc;
    const int64_t percent = factor.found ? IntOr(factor.cells[0], 0) : 0;
    Dec64 rise{};
    if (percent != 0) {
      if (LbDec64_Mul64(price, Dec64::FromInt(percent), rise) != DecStatus::Ok ||
          LbDec64_Div64(rise, Dec64::FromInt(100), rise) != DecStatus::Ok ||
          LbDec64_Add64(price, rise, price) != DecStatus::Ok) {
        error = "get_renewal_price: the price is too large";
        return kDbError;
      }
    }
  }
  results.push_back(Price(price));
  return kDbOk;
}

}  // namespace

void RegisterRenewalsProcedures() {
  RegisterCustom("get_renewal_price", {{'k', "po#"}, {'k', "line"}, {'k', "flag"}},
                 GetRenewalPrice);
}

}  // namespace dbproc
