// The PostgreSQL engine of PwDb75 (EnginePostgres.cpp), on libpq.
#pragma once

#include "host/db/DbEngine.h"

namespace pwdb {

// Connects to the server database of the libpq URI `target`
// (DbEngine_Open's contract; the database must exist).
DbCode PostgresEngine_Open(std::string_view target, std::unique_ptr<DbConnection>& out,
                           std::string& error);

}  // namespace pwdb
