// Migration 7: what the host's services keep.
#include "database/Database.h"

std::vector<std::string> Database_HostServicesMigration() {
  return {};
}
