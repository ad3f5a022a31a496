// Stored procedures of budgets: whether allocations exist, a budget's
// status and its money computed from the ledger rows, and the titles that
// hold money on a budget.
//
// A budget is "account.year"; its money lies in po_line_item_budget_amount,
// statement_extra_charge (charges with a budget) and statement_budget, each
// row on order or spent by its `spent` flag, in its own currency: the base
// amount is amount x exchange_rate, rounded per row.
#include <string>

#include "database/ProcedureKit.h"

namespace dbproc {
namespace {

const Arg kBudget{'t', "budget"};

std::string BaseSum(const char* table, const char* condition) {
  return std::string("coalesce((SELECT sum(") + BaseAmountSql("amount", "exchange_rate") +
         ") FROM " + table + " WHERE budget = ?1 AND " + condition + "), 0)";
}

// Titles with money on the budget ?1, base amounts on order and spent.
std::string TitlesOfBudget(const char* condition) {
  const std::string base = BaseAmountSql("m.amount", "m.exchange_rate");
  return "SELECT m.\"po#\", p.po_number, m.line, pl.title, p.\"vendor#\", v.name AS vendor_name, "
         "p.currency, m.budget, coalesce(sum(CASE WHEN m.spent = 0 THEN " + base +
         " END), 0) AS on_order, coalesce(sum(CASE WHEN m.spent = 1 THEN " + base +
         " END), 0) AS spent FROM po_line_item_budget_amount m "
         "JOIN po p ON p.\"po#\" = m.\"po#\" JOIN vendor v ON v.\"vendor#\" = p.\"vendor#\" "
         "LEFT JOIN po_line pl ON pl.\"po#\" = m.\"po#\" AND pl.line = m.line "
         "WHERE m.budget = ?1" + condition +
         " GROUP BY m.\"po#\", p.po_number, m.line, pl.title, p.\"vendor#\", v.name, p.currency, "
         "m.budget ORDER BY m.\"po#\", m.line";
}

const std::vector<ColumnType> kTitleMoney = {{"on_order", "DEC64"}, {"spent", "DEC64"}};

}  // namespace

void RegisterBudgetProcedures() {
  RegisterSql("exist_account_year", {{'t', "account"}, {'k', "year"}},
              {{"SELECT EXISTS (SELECT 1 FROM account_year WHERE account = ?1 AND year = ?2) "
                "AS found"}});
  // NULL asks for the rows without a year.
  RegisterSql("exist_account_year_year", {{'n', "year"}},
              {{"SELECT EXISTS (SELECT 1 FROM account_year WHERE year IS ?1) AS found"}});
  RegisterSql("get_budget_status", {kBudget},
              {{"SELECT status FROM budget_code WHERE budget = ?1"}});
  RegisterSql("get_budget_total_spent", {kBudget},
              {{"SELECT " + BaseSum("po_line_item_budget_amount", "spent = 1") + " + " +
                    BaseSum("statement_extra_charge", "spent = 1") + " + " +
                    BaseSum("statement_budget", "spent = 1") + " AS spent",
                {{"spent", "DEC64"}}}});
  RegisterSql("is_budget_on_order", {kBudget},
              {{"SELECT EXISTS (SELECT 1 FROM po_line_item_budget_amount "
                "WHERE budget = ?1 AND spent = 0) "
                "OR EXISTS (SELECT 1 FROM statement_extra_charge WHERE budget = ?1 AND spent = 0) "
                "OR EXISTS (SELECT 1 FROM statement_budget WHERE budget = ?1 AND spent = 0) "
                "AS found"}});
  RegisterSql("load_titles_by_budget", {kBudget}, {{TitlesOfBudget(""), kTitleMoney}});
  RegisterSql("load_titles_by_budget_on_order", {kBudget},
              {{TitlesOfBudget(" AND m.spent = 0"), kTitleMoney}});
}

}  // namespace dbproc
