// Migration 14: statement approval and the statements-to-approve list.
#include "database/Database.h"

std::vector<std::string> Database_StatementApprovalMigration() {
  return {};
}
