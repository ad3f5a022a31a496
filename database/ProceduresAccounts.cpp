// Stored procedures: accounts and budgets, and the creation of next year's allocations.
//
// Years are compared with IS, so a NULL year ("the allocations without a
// year") matches only NULL.
#include "database/ProcedureKit.h"

namespace dbproc {

void RegisterAccountsProcedures() {
  // (from year, for year): the budgets of the "from" year whose account has
  // no budget for the "for" year yet, with the account's own inflation
  // percent; by account.
  RegisterSql("load_account_years_to_create", {{'n', "create_from_year"}, {'n', "create_for_year"}},
              {{"SELECT ay.account || '.' || coalesce(CAST(ay.year AS VARCHAR(6)), '') AS budget, "
                "ay.account, ay.year, ay.amount, ay.on_order, ay.spent, ay.on_order_limit, "
                "ay.on_order_limit_percent, ay.spent_limit, ay.spent_limit_percent, ay.status, "
                "a.descr, a.inflation_factor AS account_inflation_factor "
                "FROM account_year ay JOIN account a ON a.account = ay.account "
                "WHERE ay.year IS ?1 AND NOT EXISTS (SELECT 1 FROM account_year n "
                "WHERE n.account = ay.account AND n.year IS ?2) ORDER BY ay.account",
                {{"budget", "VARCHAR(13)"}}}});
}

}  // namespace dbproc
