// Migration 25: The report windows.
#include "database/Database.h"

std::vector<std::string> Database_ReportsMigration() {
  return {};
}
