// Migration 13: the statement window, its editors and their views.
#include "database/Database.h"

std::vector<std::string> Database_StatementWindowsMigration() {
  return {};
}
