// Migration 13: the statement window. The window and its entry dialogs are
// dialog templates of the module (its header fields, lines, extra charges
// and statement budgets are read and written by the module itself), so the
// window definitions need no rows; the migration keeps its number.
#include "database/Database.h"

std::vector<std::string> Database_StatementWindowsMigration() {
  return {};
}
