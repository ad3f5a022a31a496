// Stored procedures: the year-end moves (transfer of unspent, reassignment).
//
// A budget is identified as account "." year; a budget without a year as
// account "." (the year as empty text). Years compare with IS, so NULL
// years find each other. Base amounts are amount x exchange_rate rounded
// per row, as everywhere the budgets' money is summed.
#include <string>

#include "database/ProcedureKit.h"

namespace dbproc {
namespace {

const char* const kBudgetOf =
    "ay.account || '.' || coalesce(CAST(ay.year AS VARCHAR(6)), '')";

std::string SpentOf(const char* table) {
  return std::string("coalesce((SELECT sum(") + BaseAmountSql("m.amount", "m.exchange_rate") +
         ") FROM " + table + " m WHERE m.budget = " + kBudgetOf + " AND m.spent = 1), 0)";
}

// The attachments of budget ?1 with the given `spent` flag, one shape for
// all three tables: source 1 a line item's money, 2 a statement's extra
// charge, 3 a statement's own budget row. partly_spent: a line item whose
// money on this budget is partly on order and partly spent.
std::string Attachments(int spent, bool lineItems, bool extras, bool statements) {
  std::string sql;
  auto unite = [&](const std::string& part) { sql += (sql.empty() ? "" : " UNION ALL ") + part; };
  if (lineItems)
    unite(
        "SELECT 1 AS source, m.\"budget_amount#\" AS row_key, m.\"po#\", m.line, m.item, "
        "m.\"statement#\", m.extra_charge_type, m.budget, m.amount, m.exchange_rate, m.spent, "
        "m.\"voucher#\", CASE WHEN EXISTS (SELECT 1 FROM po_line_item_budget_amount o "
        "WHERE o.\"po#\" = m.\"po#\" AND o.line = m.line AND o.item = m.item "
        "AND o.budget = m.budget AND o.spent <> m.spent) THEN 1 ELSE 0 END AS partly_spent "
        "FROM po_line_item_budget_amount m WHERE m.budget = ?1 AND m.spent = " +
        std::to_string(spent));
  if (extras)
    unite(
        "SELECT 2 AS source, CAST(NULL AS INTEGER) AS row_key, "
        "CAST(NULL AS INTEGER) AS \"po#\", "
        "CAST(NULL AS SMALLINT) AS line, CAST(NULL AS SMALLINT) AS item, "
        "e.\"statement#\", e.extra_charge_type, e.budget, e.amount, e.exchange_rate, e.spent, "
        "e.\"voucher#\", 0 AS partly_spent FROM statement_extra_charge e "
        "WHERE e.budget = ?1 AND e.spent = " + std::to_string(spent));
  if (statements)
    unite(
        "SELECT 3 AS source, CAST(NULL AS INTEGER) AS row_key, "
        "CAST(NULL AS INTEGER) AS \"po#\", "
        "CAST(NULL AS SMALLINT) AS line, CAST(NULL AS SMALLINT) AS item, "
        "b.\"statement#\", CAST(NULL AS VARCHAR(8)) AS extra_charge_type, b.budget, "
        "b.amount, b.exchange_rate, b.spent, b.\"voucher#\", 0 AS partly_spent "
        "FROM statement_budget b "
        "WHERE b.budget = ?1 AND b.spent = " + std::to_string(spent));
  return sql + " ORDER BY 1, 2, 6, 7";
}

const std::vector<ColumnType> kAttachmentTypes = {
    {"source", "SMALLINT"},          {"row_key", "INTEGER"}, {"po#", "INTEGER"},
    {"line", "SMALLINT"},            {"item", "SMALLINT"},   {"statement#", "INTEGER"},
    {"extra_charge_type", "VARCHAR(8)"}, {"budget", "VARCHAR(13)"}, {"amount", "DEC64"},
    {"exchange_rate", "DEC64"},      {"spent", "TINYINT"},   {"voucher#", "INTEGER"},
    {"partly_spent", "TINYINT"}};

}  // namespace

void RegisterYearEndProcedures() {
  // The budgets of year ?1 with their spent money (from their rows, not the
  // stored total) and the proposed target: the same account in year ?2 when
  // it has an allocation there.
  RegisterSql(
      "load_transfer_unspent", {{'n', "source_year"}, {'n', "target_year"}},
      {{std::string("SELECT ") + kBudgetOf + " AS budget, ay.account, ay.year, ay.amount, "
            "ay.status, a.descr, a.transfer_unspent_percent, " +
            SpentOf("po_line_item_budget_amount") + " + " + SpentOf("statement_extra_charge") +
            " + " + SpentOf("statement_budget") +
            " AS total_spent, CASE WHEN t.account IS NOT NULL THEN t.account || '.' || "
            "coalesce(CAST(t.year AS VARCHAR(6)), '') END AS target_budget "
            "FROM account_year ay JOIN account a ON a.account = ay.account "
            "LEFT JOIN account_year t ON t.account = ay.account AND t.year IS ?2 "
            "WHERE ay.year IS ?1 ORDER BY ay.account",
        {{"total_spent", "DEC64"}, {"target_budget", "VARCHAR(13)"}}}});
  RegisterSql("load_reassign_on_order", {{'t', "budget"}},
              {{Attachments(0, true, true, true), kAttachmentTypes}});
  RegisterSql("load_reassign_spent", {{'t', "budget"}},
              {{Attachments(1, true, false, true), kAttachmentTypes}});
  RegisterSql("load_reassign_spent_extra", {{'t', "budget"}},
              {{Attachments(1, false, true, false), kAttachmentTypes}});
}

}  // namespace dbproc
