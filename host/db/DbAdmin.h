// Administration of a library database from the host's tools (`acq init`,
// `acq user ...`): creating and upgrading databases, users and privileges.
// Each call takes the database as `path`: an SQLite file's path (of any
// name), or a server's URI ("postgresql://user@host/db"; DbEngine.h). It
// opens the database itself and works in one transaction. Only
// DbAdmin_UpgradeDatabase changes the schema of an existing database; the
// user calls work on an older one as it is and, when they cannot, say that
// it needs `acq upgrade`. Messages show a URI without its password.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/db/PwDb.h"

// Creates a new library with the current schema (and the demo library when
// `demo`).
// - A file: made at `path`, readable and writable by its owner only (0600),
//   built under a temporary name in the same folder ("PATH.init-XXXXXX",
//   removed on failure) and appearing under `path` only when complete.
//   Refuses to touch an existing file (kDbCannotOpen), also one that
//   appears meanwhile.
// - A server URI: the database must exist (the site makes it, createdb) and
//   hold no tables; it is filled in one transaction. A database that holds
//   tables is refused untouched (kDbCannotOpen, "... acq init needs an empty
//   database."); a server that cannot be reached, or refuses the log-in,
//   kDbCannotOpen with its text.
DbCode DbAdmin_CreateDatabase(std::string_view path, bool demo, DbMsg& msg);
// Brings an existing database to the current schema; `from` gets the version
// it had. kDbBadSchema for a database that is not a library database or is
// newer.
DbCode DbAdmin_UpgradeDatabase(std::string_view path, int& from, DbMsg& msg);
int DbAdmin_SchemaVersion();   // the version this build creates

// Adds an active user. kDbError with the rule in `msg` when the name or full
// name does not pass the checks below.
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

// A user name: 1 to 31 characters (what the log-in record holds) of UTF-8
// text, each a letter or digit, '.', '_', '-' or '@', or a character beyond
// ASCII that is neither a control, a space nor an invisible format
// character. False with the rule (and the name, shortened) in `error`.
bool DbAdmin_CheckUserName(std::string_view user, std::string& error);
// A full name: at most 60 characters of UTF-8 text without control
// characters or line breaks (it may be empty).
bool DbAdmin_CheckFullName(std::string_view fullName, std::string& error);

// When the existing library file at `path`, its -wal or -shm file, or its
// folder cannot be written by this process, a sentence saying which and
// what to do; "" otherwise (also for a missing file). A library file needs
// all of them writable: SQLite keeps the -wal and -shm files beside it.
// Files only: a server's database has its own text for what it refuses.
std::string DbAdmin_WhyNotWritable(std::string_view path);
