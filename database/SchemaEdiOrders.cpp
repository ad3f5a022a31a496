// Migration 20: orders sent to vendors as files.
#include "database/Database.h"

std::vector<std::string> Database_OrderFilesMigration() {
  return {};
}
