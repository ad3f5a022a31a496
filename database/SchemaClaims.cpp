#include "database/Database.h"

std::vector<std::string> Database_ClaimsMigration() { return {}; }
