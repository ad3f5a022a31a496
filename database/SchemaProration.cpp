// Migration 15: extra-charge proration.
#include "database/Database.h"

std::vector<std::string> Database_ProrationMigration() {
  return {};
}
