// Migration 20: Items and copies made for ordered lines: the catalogue's stand-in tables and keys.
#include "database/Database.h"

std::vector<std::string> Database_CatalogueMigration() {
  return {};
}
