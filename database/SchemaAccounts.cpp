// Migration 22: accounts and budgets: their windows and the creation of next
// year's allocations.
//
// A budget without a year is named by its account and a full stop ("ART."),
// so the views build the identifier with coalesce: account || '.' || NULL
// would name no budget at all. A budget without a year is unique per account:
// the primary key does not see NULLs as equal, the partial index does.
#include "database/Database.h"

std::vector<std::string> Database_AccountsMigration() {
  return {
      "DROP VIEW budget",
      "DROP VIEW budget_code",
      R"(CREATE VIEW budget AS
           SELECT ay.account || '.' || coalesce(CAST(ay.year AS VARCHAR(6)), '') AS budget,
                  ay.*, a.descr, a.acct_ref
           FROM account_year ay JOIN account a ON a.account = ay.account)",
      R"(CREATE VIEW budget_code AS
           SELECT ay.account || '.' || coalesce(CAST(ay.year AS VARCHAR(6)), '') AS budget,
                  ay.account, ay.year, ay.status, a.descr, a.acct_ref
           FROM account_year ay JOIN account a ON a.account = ay.account)",
      "CREATE UNIQUE INDEX account_year_no_year ON account_year(account) WHERE year IS NULL",
  };
}
