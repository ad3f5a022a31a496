// Migration 23: The year-end moves: transfer of unspent money and reassignment of attachments.
#include "database/Database.h"

std::vector<std::string> Database_YearEndMigration() {
  return {};
}
