// Migration 19: Undo of activities and orders.
#include "database/Database.h"

std::vector<std::string> Database_UndoMigration() {
  return {};
}
