// Migration 19: statements made from EDIFACT invoices.
#include "database/Database.h"

std::vector<std::string> Database_EdifactInvoicesMigration() {
  return {};
}
