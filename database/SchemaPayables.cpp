// Migration 17: payables, cheque runs and cheque updates.
#include "database/Database.h"

std::vector<std::string> Database_PayablesMigration() {
  return {};
}
