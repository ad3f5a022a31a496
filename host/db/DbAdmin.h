// Administration of a library database from the host's tools (`acq init`,
// `acq user ...`): creating and upgrading databases, users and privileges.
// Each call opens the database file itself and works in one transaction.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/db/PwDb.h"

// Creates a new database file at `path` with the current schema (and the demo
// library when `demo`). Refuses to touch an existing file (kDbCannotOpen).
DbCode DbAdmin_CreateDatabase(std::string_view path, bool demo, DbMsg& msg);
// Brings an existing database to the current schema; `from` gets the version
// it had. kDbBadSchema for a file that is not a library database or is newer.
DbCode DbAdmin_UpgradeDatabase(std::string_view path, int& from, DbMsg& msg);
int DbAdmin_SchemaVersion();   // the version this build creates

DbCode DbAdmin_CreateUser(std::string_view path, std::string_view user,
                          std::string_view password, std::string_view fullName, DbMsg& msg);
DbCode DbAdmin_SetPassword(std::string_view path, std::string_view user,
                           std::string_view password, DbMsg& msg);
// Grants or revokes privileges named by feature key ("poFind", "acEdit") or
// "all"; an unknown key is kDbError naming it, and nothing is changed.
DbCode DbAdmin_Grant(std::string_view path, std::string_view user,
                     const std::vector<std::string>& features, bool grant, DbMsg& msg);
struct DbUserInfo { std::string user; std::string fullName; std::vector<std::string> features; };
DbCode DbAdmin_ListUsers(std::string_view path, std::vector<DbUserInfo>& out, DbMsg& msg);
