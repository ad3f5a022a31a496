// Migration 8: the PO window and its editors.
#include "database/Database.h"

std::vector<std::string> Database_PoWindowsMigration() {
  return {};
}
