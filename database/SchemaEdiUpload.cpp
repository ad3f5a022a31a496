// Migration 17: the upload of EDIFACT files.
#include "database/Database.h"

std::vector<std::string> Database_EdifactUploadMigration() {
  return {};
}
