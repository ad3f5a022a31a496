// Migration 22: Subscription renewals: their windows.
#include "database/Database.h"

std::vector<std::string> Database_RenewalsMigration() {
  return {};
}
