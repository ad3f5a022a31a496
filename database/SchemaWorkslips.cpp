// Migration 10: who holds a workslip batch's print lock, and since when.
//
// print_in_process is the lock between workstations; these columns say
// which workstation took it (its workstation ID, as workslip_batch keeps
// it) and when (the host's day number and minute of the day), so that a
// lock left behind by a workstation that stopped while printing can be
// recognised and cleared. They are NULL whenever print_in_process is 0.
#include "database/Database.h"

std::vector<std::string> Database_WorkslipsMigration() {
  return {
      "ALTER TABLE workslip_batch ADD COLUMN print_in_process_by VARCHAR(30)",
      "ALTER TABLE workslip_batch ADD COLUMN print_in_process_date DAYNUM",
      "ALTER TABLE workslip_batch ADD COLUMN print_in_process_time MINUTE",
  };
}
