// Migration 24: Budget hierarchies: the manager and the hierarchy report.
#include "database/Database.h"

std::vector<std::string> Database_HierarchyMigration() {
  return {};
}
