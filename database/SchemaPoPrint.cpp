#include "database/Database.h"

std::vector<std::string> Database_PoPrintMigration() { return {}; }
