// The SQLite engine of PwDb75 (EngineSqlite.cpp). Only tests and
// benchmarks include this header: it hands out the engine's own handle so
// they can inspect the file or trace statements with SQLite's tools.
// Nothing in the session, the module or the database side may use it.
#pragma once

#include "host/db/DbEngine.h"

struct sqlite3;

namespace pwdb {

// Opens the SQLite file of `target` (DbEngine_Open's contract).
DbCode SqliteEngine_Open(std::string_view target, bool create,
                         std::unique_ptr<DbConnection>& out, std::string& error);

// The SQLite handle behind `conn`; nullptr when it is another engine.
sqlite3* SqliteEngine_HandleForTest(DbConnection* conn);

}  // namespace pwdb

// The SQLite handle of a session's connection, for tests and benchmarks.
sqlite3* DbSession_SqliteHandleForTest(HDb db);
