// AcqDb: the module's only door to the database session. It logs in and
// out, builds one command at a time and runs it, loads query results into
// Buckets, saves single rows, runs stored procedures, wraps the three
// transaction primitives and keeps a cache of empty typed Buckets per table
// and column list. Every operation returns the session's code with the
// server's text in the caller's message; none shows anything to the user.
#pragma once

#include <string_view>
#include <vector>

#include "host/db/PwDb.h"
#include "host/sys/Bucket.h"

namespace acq::AcqDb {

enum class ClearChanges { No, Yes };

// The pending command's buffer: 1024 characters, appends pass index 1023.
constexpr int kDbCmdMaxIndex = 1023;

// _DbLogin with the host's global record, then the search handle.
[[nodiscard]] DbCode Login(DbMsg& msg);
// Destroys the search handle, then logs out; each only when present.
void Logout();

// Append to the pending command, opening the command sequence first when no
// command is pending. Appends are dropped while an opening failure is
// recorded; the next run reports that failure. A text that would overflow the
// buffer abandons the command and is reported the same way.
void AppendDbCmd(std::string_view text);
void QuoteAppendDbCmd(std::string_view text);
bool DbCmdPending();

// Sends the pending command and loads its rows into `bkt`: into the existing
// Bucket after its rows (mode 3), replacing its rows (mode 2), or into a new
// Bucket made by the load (mode 0, with the three values for the session).
// With no pending command: code 2 "Tried to use DbCmd before setting up
// DbCmd", or the recorded opening failure (reported once).
[[nodiscard]] DbCode LoadDbCmd(DbMsg& msg, ClearChanges clear, BktHandle& bkt);
[[nodiscard]] DbCode LoadDbCmdReplace(DbMsg& msg, ClearChanges clear, BktHandle& bkt);
[[nodiscard]] DbCode LoadDbCmdCreate(DbMsg& msg, ClearChanges clear, BktHandle& bkt,
                                     int initialRows, int growth, int extra);

// "select <columns> from <table> [where ...] [order by ...]" into a new
// Bucket (mode 0, 8 rows), replacing the rows of `bkt` (mode 2), after them
// (mode 3), at most `extra` of them after them (mode 4), or into a new
// Bucket sized by the caller.
[[nodiscard]] DbCode LoadTable(DbMsg& msg, ClearChanges clear, std::string_view orderBy,
                               std::string_view where, std::string_view columns,
                               std::string_view table, BktHandle& bkt);
[[nodiscard]] DbCode LoadTableReplace(DbMsg& msg, ClearChanges clear, std::string_view orderBy,
                                      std::string_view where, std::string_view columns,
                                      std::string_view table, BktHandle& bkt);
[[nodiscard]] DbCode LoadTableAppend(DbMsg& msg, ClearChanges clear, std::string_view orderBy,
                                     std::string_view where, std::string_view columns,
                                     std::string_view table, BktHandle& bkt);
[[nodiscard]] DbCode LoadTableAppendMax(DbMsg& msg, ClearChanges clear, std::string_view orderBy,
                                        std::string_view where, std::string_view columns,
                                        std::string_view table, BktHandle& bkt, int extra);
[[nodiscard]] DbCode LoadTableSized(DbMsg& msg, ClearChanges clear, std::string_view orderBy,
                                    std::string_view where, std::string_view columns,
                                    std::string_view table, BktHandle& bkt, int initialRows,
                                    int growth);

// Runs `procedure` and loads each of its result sets into a new Bucket.
[[nodiscard]] DbCode MultLoad(DbMsg& msg, std::vector<BktHandle>& bkts, std::string_view params,
                              std::string_view procedure);
// The single value of a procedure or a complete statement into `result`.
[[nodiscard]] DbCode ExecSP(DbMsg& msg, void* result, size_t size, std::string_view params,
                            std::string_view procedureOrStatement);

// The session's transaction primitives; only the counted ones call these.
void SessionBeginTrans();
[[nodiscard]] DbCode SessionCommitTrans(DbMsg& msg);
[[nodiscard]] DbCode SessionRollbackTrans(DbMsg& msg);

[[nodiscard]] DbCode InsertRow(DbMsg& msg, int row, BktHandle bkt, std::string_view table);
[[nodiscard]] DbCode UpdateRow(DbMsg& msg, int row, BktHandle bkt, std::string_view table);
[[nodiscard]] DbCode DeleteRow(DbMsg& msg, int row, BktHandle bkt, std::string_view table);
// The session's shared rows of a code table; host-owned, never destroyed here.
[[nodiscard]] DbCode GetShrCodeBkt(DbMsg& msg, std::string_view codeTable, BktHandle& bkt);

// Gives the caller a fresh, writable, empty Bucket typed like `columns` of
// `table`. The first call per (table, columns) asks the database; later ones
// clone the cached copy. Blanks do not count in the key. On failure: the
// code, server text in `msg`, cache unchanged. Any thread.
[[nodiscard]] DbCode BktFromCols(DbMsg& msg, int cloneFlag1, int cloneFlag2, BktHandle& bkt,
                                 std::string_view columns, std::string_view table);
int CachedTableCount();   // rows of the cache, for diagnostics

void Initialize();
void Terminate();

}  // namespace acq::AcqDb
