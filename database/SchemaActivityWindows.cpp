// Migration 9: the activity windows and the approval list.
#include "database/Database.h"

std::vector<std::string> Database_ActivityWindowsMigration() {
  return {};
}
