// Migration 18: order responses read from EDIFACT messages.
#include "database/Database.h"

std::vector<std::string> Database_OrderResponsesMigration() {
  return {};
}
