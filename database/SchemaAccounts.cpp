// Migration 22: Accounts and budgets: their windows and the creation of next year's allocations.
#include "database/Database.h"

std::vector<std::string> Database_AccountsMigration() {
  return {};
}
