// Migration 23: The year-end moves: transfer of unspent money and reassignment of attachments.
//
// A transfer of unspent money never reduces its source, so running it twice
// transfers twice. Each allocation detail row of a transfer names the budget
// the money came from; the transfer asks before moving money between two
// budgets that have exchanged money before.
#include "database/Database.h"

std::vector<std::string> Database_YearEndMigration() {
  return {
      "ALTER TABLE budget_transaction_detail ADD COLUMN source_budget VARCHAR(13)",
      R"(CREATE INDEX budget_transaction_detail_source
           ON budget_transaction_detail(source_budget))",
  };
}
