// Migration 26: budgets without a year on a database server.
//
// A budget without a year ("ART.") is an account_year row whose year is
// NULL. SQLite lets a column of a composite primary key hold NULL; a server
// does not (a primary key's columns are NOT NULL), so there the key becomes
// a unique constraint on (account, year). The partial index of migration 22
// keeps one budget without a year per account on both engines, and the
// database layer reads a table's unique constraint as its key when it has no
// primary key, so rows are still found by (account, year).
#include "database/Database.h"

std::vector<std::string> Database_BudgetKeyServerMigration() {
  return {
      "ALTER TABLE account_year DROP CONSTRAINT account_year_pkey",
      "ALTER TABLE account_year ALTER COLUMN year DROP NOT NULL",
      "ALTER TABLE account_year ADD CONSTRAINT account_year_key UNIQUE (account, year)",
  };
}
