// Stored procedures of statements and vouchers: what a statement or voucher
// is tied to, its amounts (vouchered, outstanding, applied credits), and the
// rows a printed voucher is made of.
//
// A statement's money lies in three tables: po_line_item_budget_amount
// (its lines and prorated charges), statement_extra_charge (charges with a
// budget of their own; one without a budget is prorated and never spent
// itself) and statement_budget. A row is vouchered once it carries a
// voucher#; spent rows without one are outstanding. Amounts are in the
// statement's currency, in millionths; base amounts use each row's rate.
#include <string>

#include "database/ProcedureKit.h"

namespace dbproc {
namespace {

const Arg kStatement{'k', "statement#"};
const Arg kVoucher{'k', "voucher#"};

// The statement's outstanding amount, as the voucher list computes it.
#define OUTSTANDING_OF(statement)                                                        \
  "(coalesce((SELECT sum(amount) FROM po_line_item_budget_amount "                      \
  "WHERE \"statement#\" = " statement " AND spent = 1 AND \"voucher#\" IS NULL), 0) "   \
  "+ coalesce((SELECT sum(amount) FROM statement_extra_charge "                         \
  "WHERE \"statement#\" = " statement " AND spent = 1 AND \"voucher#\" IS NULL), 0) "   \
  "+ coalesce((SELECT sum(amount) FROM statement_budget "                               \
  "WHERE \"statement#\" = " statement " AND spent = 1 AND \"voucher#\" IS NULL), 0))"

// Decimals of the base currency: matham's, 2 unless it holds exactly one row.
#define BASE_DECIMALS                                                               \
  "(CASE WHEN (SELECT count(*) FROM matham) = 1 THEN (SELECT decimal_digits FROM " \
  "matham) ELSE 2 END)"

// The money rows of a voucher, or of a statement's new voucher, that
// `condition` picks from each of the three tables.
std::string MoneyRows(const std::string& condition) {
  return "(SELECT budget, amount, exchange_rate FROM po_line_item_budget_amount WHERE " +
         condition +
         " UNION ALL SELECT budget, amount, exchange_rate FROM statement_extra_charge WHERE " +
         condition +
         " AND budget IS NOT NULL"
         " UNION ALL SELECT budget, amount, exchange_rate FROM statement_budget WHERE " +
         condition + ")";
}

// One row per budget of the money rows: amount and base amount, with the
// decimals of the voucher's currency (`currencyDecimals`) and of the base.
Query BudgetLines(const std::string& condition, const std::string& currencyDecimals) {
  return Query{"SELECT m.budget, a.acct_ref, sum(m.amount) AS amount, sum(" +
                   BaseAmountSql("m.amount", "m.exchange_rate") + ") AS base_amount, " +
                   currencyDecimals + " AS n_decimals, " BASE_DECIMALS " AS base_decimals FROM " +
                   MoneyRows(condition) +
                   " m LEFT JOIN account a ON a.account = substr(m.budget, 1, "
                   "instr(m.budget, '.') - 1) GROUP BY m.budget, a.acct_ref ORDER BY m.budget",
               {{"amount", "DEC64"},
                {"base_amount", "DEC64"},
                {"n_decimals", "TINYINT"},
                {"base_decimals", "TINYINT"}}};
}

const std::vector<ColumnType> kVoucherHeaderTypes = {
    {"voucher#", "INTEGER"},     {"voucher_number", "VARCHAR(16)"},
    {"voucher_date", "DAYNUM"},  {"void", "BIT"},
    {"amount", "DEC64"},         {"prepaid", "BIT"},
    {"n_decimals", "TINYINT"},   {"vendor#", "INTEGER"},
    {"vendor_name", "VARCHAR(80)"}, {"currency", "VARCHAR(4)"}};

#define PREPAID_OF_S "EXISTS (SELECT 1 FROM po WHERE \"prepaid_statement#\" = s.\"statement#\")"

// Column positions of the voucher header and budget line sets, for the
// amount texts appended to them.
constexpr size_t kHeaderAmount = 10, kHeaderDecimals = 12;
constexpr size_t kLineAmount = 2, kLineBase = 3, kLineDecimals = 4, kLineBaseDecimals = 5;

const char* const kVoucherHeaderSql =
    "SELECT vo.\"voucher#\", vo.voucher_number, vo.\"statement#\", s.statement_number, "
    "s.statement_type, coalesce(vo.\"vendor#\", s.\"vendor#\") AS \"vendor#\", "
    "v.name AS vendor_name, coalesce(vo.currency, s.currency) AS currency, vo.voucher_date, "
    "vo.void, vo.amount, " PREPAID_OF_S " AS prepaid, coalesce(c.n_decimals, 2) AS n_decimals "
    "FROM voucher vo JOIN statement s ON s.\"statement#\" = vo.\"statement#\" "
    "JOIN vendor v ON v.\"vendor#\" = coalesce(vo.\"vendor#\", s.\"vendor#\") "
    "LEFT JOIN currency c ON c.currency = coalesce(vo.currency, s.currency) "
    "WHERE vo.\"voucher#\" = ?1";

// A candidate exists only for an approved statement.
const char* const kNewVoucherHeaderSql =
    "SELECT 0 AS \"voucher#\", '(new)' AS voucher_number, s.\"statement#\", "
    "s.statement_number, s.statement_type, s.\"vendor#\", v.name AS vendor_name, s.currency, "
    "NULL AS voucher_date, 0 AS void, " OUTSTANDING_OF("s.\"statement#\"") " AS amount, "
    PREPAID_OF_S " AS prepaid, coalesce(c.n_decimals, 2) AS n_decimals "
    "FROM statement s JOIN vendor v ON v.\"vendor#\" = s.\"vendor#\" "
    "LEFT JOIN currency c ON c.currency = s.currency "
    "WHERE s.\"statement#\" = ?1 AND s.approve_date IS NOT NULL";

#define CREDITS_SQL(condition)                                                              \
  "SELECT l.\"credit_statement#\", c.statement_number, c.statement_type, l.amount_applied, " \
  "l.date_applied, coalesce(cu.n_decimals, 2) AS n_decimals FROM statement_linker l "       \
  "JOIN statement c ON c.\"statement#\" = l.\"credit_statement#\" "                          \
  "LEFT JOIN currency cu ON cu.currency = c.currency WHERE " condition                      \
  " ORDER BY l.\"credit_statement#\""

constexpr size_t kCreditAmount = 3, kCreditDecimals = 5;

// A voucher print: the header set and the budget lines, amounts also as text.
void RegisterVoucherPrint(const char* name, const Arg& key, const char* headerSql,
                          std::string lineCondition, std::string currencyDecimals) {
  const Query header{headerSql, kVoucherHeaderTypes};
  const Query lines = BudgetLines(lineCondition, currencyDecimals);
  RegisterCustom(name, {key},
                 [header, lines](pwdb::DbConnection& db, const std::vector<DbsValue>& args,
                                 std::vector<DbsResultSet>& results, std::string& error) -> DbCode {
                   DbsResultSet head, budgets;
                   DbCode rc = RunQuery(db, header, args, head, error);
                   if (rc == kDbOk) rc = RunQuery(db, lines, args, budgets, error);
                   if (rc != kDbOk) return rc;
                   AddMoneyText(head, kHeaderAmount, kHeaderDecimals, "amount_str");
                   AddMoneyText(budgets, kLineAmount, kLineDecimals, "amount_str");
                   AddMoneyText(budgets, kLineBase, kLineBaseDecimals, "base_amount_str");
                   results = {std::move(head), std::move(budgets)};
                   return kDbOk;
                 });
}

void RegisterCredits(const char* name, const Arg& key, const char* sql) {
  const Query credits{sql, {{"n_decimals", "TINYINT"}}};
  RegisterCustom(name, {key},
                 [credits](pwdb::DbConnection& db, const std::vector<DbsValue>& args,
                           std::vector<DbsResultSet>& results, std::string& error) -> DbCode {
                   DbsResultSet set;
                   if (DbCode rc = RunQuery(db, credits, args, set, error); rc != kDbOk) return rc;
                   AddMoneyText(set, kCreditAmount, kCreditDecimals, "amount_str");
                   results = {std::move(set)};
                   return kDbOk;
                 });
}

void RegisterStatementTests() {
  RegisterSql("exist_statement_po", {kStatement},
              {{"SELECT EXISTS (SELECT 1 FROM po_line_item_budget_amount WHERE \"statement#\" = ?1) "
                "OR EXISTS (SELECT 1 FROM statement_line WHERE \"statement#\" = ?1) AS found"}});
  RegisterSql("exist_statement_voucher", {kStatement},
              {{"SELECT EXISTS (SELECT 1 FROM voucher WHERE \"statement#\" = ?1 AND void = 0) "
                "OR EXISTS (SELECT 1 FROM " + MoneyRows("\"statement#\" = ?1 AND \"voucher#\" IS NOT NULL") +
                ") AS found"}});
  RegisterSql("exist_statement_voucher_tobe", {kStatement},
              {{"SELECT EXISTS (SELECT 1 FROM statement s WHERE s.\"statement#\" = ?1 "
                "AND s.approve_date IS NOT NULL AND EXISTS (SELECT 1 FROM " +
                MoneyRows("\"statement#\" = ?1 AND spent = 1 AND \"voucher#\" IS NULL") +
                ")) AS found"}});
  RegisterSql("statement_approved", {kStatement},
              {{"SELECT approve_date IS NOT NULL AS approved FROM statement "
                "WHERE \"statement#\" = ?1"}});
  RegisterSql("get_type_xrate_from_statement", {kStatement},
              {{"SELECT statement_type, exchange_rate FROM statement WHERE \"statement#\" = ?1"}});
  RegisterSql("get_statement_vouchered_amount", {kStatement},
              {{"SELECT coalesce(sum(amount), 0) AS amount FROM " +
                    MoneyRows("\"statement#\" = ?1 AND \"voucher#\" IS NOT NULL"),
                {{"amount", "DEC64"}}}});
  RegisterSql("get_inv_credit_vouchered_amnt", {kStatement},
              {{"SELECT coalesce(sum(amount_applied), 0) AS amount FROM statement_linker "
                "WHERE (\"invoice_statement#\" = ?1 OR \"credit_statement#\" = ?1) "
                "AND \"voucher#\" IS NOT NULL",
                {{"amount", "DEC64"}}}});
  RegisterSql("get_new_statement_vouch_amount", {kStatement},
              {{"SELECT " OUTSTANDING_OF("?1") " AS amount", {{"amount", "DEC64"}}}});
  // The header total and what is left of it after applied credits.
  RegisterSql("get_statement_amounts", {kStatement},
              {{"SELECT amount, coalesce(amount_remaining, amount) AS amount_remaining "
                "FROM statement WHERE \"statement#\" = ?1",
                {{"amount_remaining", "DEC64"}}}});
  RegisterSql("get_statement_type", {kStatement},
              {{"SELECT statement_type FROM statement WHERE \"statement#\" = ?1"}});
  RegisterSql("get_statement_currency", {kStatement},
              {{"SELECT currency FROM statement WHERE \"statement#\" = ?1"}});
  RegisterSql("get_statement_vend_name", {kStatement},
              {{"SELECT v.name FROM statement s JOIN vendor v ON v.\"vendor#\" = s.\"vendor#\" "
                "WHERE s.\"statement#\" = ?1"}});
}

void RegisterVoucherLookups() {
  RegisterSql("exist_voucher_po", {kVoucher},
              {{"SELECT EXISTS (SELECT 1 FROM po_line_item_budget_amount WHERE \"voucher#\" = ?1) "
                "AS found"}});
  // The voucher pays statement money not tied to PO lines.
  RegisterSql("exist_voucher_statement", {kVoucher},
              {{"SELECT EXISTS (SELECT 1 FROM statement_extra_charge WHERE \"voucher#\" = ?1) "
                "OR EXISTS (SELECT 1 FROM statement_budget WHERE \"voucher#\" = ?1) AS found"}});
  RegisterSql("get_voucher_void", {kVoucher},
              {{"SELECT void FROM voucher WHERE \"voucher#\" = ?1"}});
  RegisterSql("get_vouch_date", {kVoucher},
              {{"SELECT coalesce((SELECT voucher_date FROM voucher WHERE \"voucher#\" = ?1), "
                "65535) AS voucher_date",
                {{"voucher_date", "DAYNUM"}}}});
  RegisterSql("get_vouch_vend_num", {kVoucher},
              {{"SELECT coalesce(vo.\"vendor#\", s.\"vendor#\") AS \"vendor#\" FROM voucher vo "
                "JOIN statement s ON s.\"statement#\" = vo.\"statement#\" "
                "WHERE vo.\"voucher#\" = ?1",
                {{"vendor#", "INTEGER"}}}});
  RegisterSql("get_vouch_vend_name", {kVoucher},
              {{"SELECT v.name FROM voucher vo JOIN statement s ON s.\"statement#\" = vo.\"statement#\" "
                "JOIN vendor v ON v.\"vendor#\" = coalesce(vo.\"vendor#\", s.\"vendor#\") "
                "WHERE vo.\"voucher#\" = ?1"}});
  RegisterSql("get_vouch_currency", {kVoucher},
              {{"SELECT coalesce(vo.currency, s.currency) AS currency FROM voucher vo "
                "JOIN statement s ON s.\"statement#\" = vo.\"statement#\" "
                "WHERE vo.\"voucher#\" = ?1",
                {{"currency", "VARCHAR(4)"}}}});
  // The PO lines a voucher pays, by budget.
  RegisterSql("get_voucher_po_details", {kVoucher},
              {{"SELECT m.\"po#\", p.po_number, m.line, pl.title, m.budget, sum(m.amount) AS amount, "
                "sum(" + BaseAmountSql("m.amount", "m.exchange_rate") + ") AS base_amount "
                "FROM po_line_item_budget_amount m JOIN po p ON p.\"po#\" = m.\"po#\" "
                "LEFT JOIN po_line pl ON pl.\"po#\" = m.\"po#\" AND pl.line = m.line "
                "WHERE m.\"voucher#\" = ?1 GROUP BY m.\"po#\", p.po_number, m.line, pl.title, m.budget "
                "ORDER BY m.\"po#\", m.line, m.budget",
                {{"amount", "DEC64"}, {"base_amount", "DEC64"}}}});
}

void RegisterVoucherPrints() {
  RegisterVoucherPrint(
      "get_voucher", kVoucher, kVoucherHeaderSql, "\"voucher#\" = ?1",
      "(SELECT coalesce(c.n_decimals, 2) FROM voucher vo JOIN statement s "
      "ON s.\"statement#\" = vo.\"statement#\" LEFT JOIN currency c "
      "ON c.currency = coalesce(vo.currency, s.currency) WHERE vo.\"voucher#\" = ?1)");
  RegisterVoucherPrint(
      "get_statement_new_voucher", kStatement, kNewVoucherHeaderSql,
      "\"statement#\" = ?1 AND spent = 1 AND \"voucher#\" IS NULL",
      "(SELECT coalesce(c.n_decimals, 2) FROM statement s LEFT JOIN currency c "
      "ON c.currency = s.currency WHERE s.\"statement#\" = ?1)");
  RegisterCredits("get_voucher_credits", kVoucher, CREDITS_SQL("l.\"voucher#\" = ?1"));
  RegisterCredits("get_new_voucher_credits", kStatement,
                  CREDITS_SQL("l.\"invoice_statement#\" = ?1 AND l.\"voucher#\" IS NULL"));
}

}  // namespace

void RegisterStatementProcedures() {
  RegisterStatementTests();
  RegisterVoucherLookups();
  RegisterVoucherPrints();
}

}  // namespace dbproc
