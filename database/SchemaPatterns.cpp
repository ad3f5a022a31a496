// Migration 21: Distribution patterns, PO templates and purchase requests: their windows.
#include "database/Database.h"

std::vector<std::string> Database_PatternsMigration() {
  return {};
}
