// The host's database session (PwDb75): log-in, command building, loading
// query results into Buckets, saving Bucket rows, stored procedures, counted
// transactions, the key generator, dates, money formats, the user and usage
// statistics. The module's SQL (T-SQL flavoured) is translated to the
// backend's dialect by SqlDialect before it runs.
//
// Every call that can fail returns a DbCode and leaves the server's text in
// the caller's DbMsg (at most 300 characters). Backend: SQLite (embedded, one
// file per library database); the server name of the log-in resolves through
// the workstation's configuration to the database.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "host/sys/Bucket.h"
#include "host/sys/Dec64.h"

// ---- result codes ----------------------------------------------------------------
using DbCode = uint8_t;
enum : DbCode {
  kDbOk = 0,
  kDbError = 1,           // the statement failed; the server text says why
  kDbMisuse = 2,          // a call made out of order (module-level errors use it too)
  kDbTooLong = 3,         // a command text longer than its buffer
  kDbConstraint = 4,      // a key or check constraint refused the write
  kDbNotFound = 5,        // the row to update or delete is gone
  kDbLoginFailed = 6,     // unknown user or wrong password
  kDbCannotOpen = 7,      // unknown server name, missing or unreadable database
  kDbBadSchema = 8,       // not a library database, or of a newer schema version
  kDbNoProcedure = 9,     // no stored procedure of that name
  kDbBusy = 10,           // write conflict: another session kept the write lock past the busy wait
  kDbLocked = 11,         // write conflict: the row changed since it was read (or a stale snapshot)
};
inline bool DbIsRetryable(DbCode code) { return code == kDbBusy || code == kDbLocked; }

// The server's text for a failure: at most 300 characters (a 301-character
// buffer on the host), cut on assignment.
struct DbMsg {
  static constexpr size_t kMaxChars = 300;
  std::string text;
  void Set(std::string_view t);
  void Clear() { text.clear(); }
};

// Display text of a failure: "Database Error|<server text> (<code>)".
std::string _DbErrStr(DbCode code, const DbMsg& msg);

// ---- log-in --------------------------------------------------------------------------
// The host's global record: the four 31-character log-in texts and the
// workstation's location (61 characters).
struct DbGlobalRec {
  std::string server;    // a name of the workstation's [Servers] section, a server URI
                         // or "sqlite:PATH" (DbConfig_ResolveServer)
  std::string user;
  std::string password;
  std::string database;  // informational: the server's target names its database
  std::string location;  // the workstation's location code
};
extern DbGlobalRec DbGlobal_globRec;

struct DbSessionImpl;
using HDb = DbSessionImpl*;
struct SearchImpl;
using HSrch = SearchImpl*;

// Resolves `server` to the database it names: "sqlite:<path>" for a file,
// or a server's URI ("postgresql://user@host:port/db", "postgres://...",
// "postgresql:///db?service=NAME") as written. A URI or "sqlite:PATH" names
// the database itself (the frame's --db; a relative PATH is taken from the
// working folder); otherwise the workstation configuration's [Servers]
// section maps the name to either form (a relative path there is taken from
// the configuration file's folder), or a name that is itself a path ending
// in ".db" resolves to itself. kDbCannotOpen with "Unknown server name
// 'x'." otherwise. A URI goes to libpq untouched: its password file
// (~/.pgpass, $PGPASSFILE), service file and PG* variables apply.
DbCode DbConfig_ResolveServer(std::string_view server, std::string& target, DbMsg& msg);
// True when `target` (or a --db value) is a server's URI ("postgresql:" or
// "postgres:"); anything else names an SQLite file.
bool DbConfig_IsServerTarget(std::string_view target);
// `target` fit to show: a password written into a server URI becomes
// "***" (a target shown differently from itself holds a password).
std::string DbConfig_ShownTarget(std::string_view target);

// Opens the database of `server`, checks `user` and `password` against the
// stored salted hash (an unknown user costs the same work as a wrong
// password), and only then brings an older schema up to date. Failures:
// kDbCannotOpen (unknown server, missing or corrupt file), kDbBadSchema,
// kDbLoginFailed ("Login failed for user 'x'."), each with the server text.
DbCode _DbLogin(HDb& out, std::string_view server, std::string_view user,
                std::string_view password, std::string_view database, DbMsg& msg);
void _DbLogout(HDb* db);   // closes and empties; an empty handle is ignored
// A second session on the same log-in (own connection), closed by _DbLogout.
DbCode _DbCloneHDb(HDb db, HDb& out, DbMsg& msg);
DbCode DbSe_SeCreateHSrch(std::string_view server, std::string_view user,
                          std::string_view password, std::string_view database,
                          HSrch& out, DbMsg& msg);
void DbSe_SeDestroyHSrch(HSrch* srch);
// The logged-in user's name (at most 31 characters); "" before log-in.
std::string DbUser_GetUser();

// ---- commands ------------------------------------------------------------------------
// Opens (1) or closes (0) a command sequence on the session.
DbCode _DbEnableHDb(HDb db, int enable, DbMsg& msg);
// Appends `text` to `buf` if the result stays within `maxIndex` + 1 characters;
// else kDbTooLong and `buf` unchanged. The quote form appends `text` as a SQL
// string literal ('' for each apostrophe).
DbCode _DbAppend(std::string& buf, int maxIndex, std::string_view text);
DbCode _DbQuoteAppend(std::string& buf, int maxIndex, std::string_view text);
// Makes `text` the session's current command.
DbCode _DbCmd(HDb db, std::string_view text, int maxIndex);

// Load modes of _DbLoadQuery.
enum DbLoadMode : int {
  kLoadCreate = 0,    // create the Bucket from the result's columns
  kLoadReplace = 2,   // existing Bucket: replace its rows (columns by name)
  kLoadAppend = 3,    // existing Bucket: add the rows after its own
  kLoadAppendMax = 4, // as 3, at most `extra` rows
};
// Loads rows into `bkt`: with `table` empty, those of the current command
// (which is then consumed); else of "select <columns> from <table>
// [where <where>] [order by <orderBy>]". Loaded rows are existing rows with
// no change flags. kLoadCreate makes a Bucket of `initialRows`/`growth` with
// the result's columns typed from the schema (key columns marked).
DbCode _DbLoadQuery(HDb db, BktHandle& bkt, int mode, int initialRows, int growth,
                    int extra, std::string_view table, std::string_view columns,
                    std::string_view where, std::string_view orderBy, DbMsg& msg);
// Runs a stored procedure and loads each of its result sets into a new
// Bucket appended to `out` (the caller destroys them).
DbCode _DbMultLoad(HDb db, std::vector<BktHandle>& out, std::string_view procedure,
                   std::string_view params, DbMsg& msg);

// Result of _DbExecSP: the first column of the first row of the procedure's
// (or statement's) result, written into the caller's buffer of `size` bytes:
// 1 byte code or boolean, 2 bytes 16-bit number, 4 bytes 32-bit number,
// 6 bytes 32-bit key then 16-bit line (first two columns), 8 bytes Dec64
// raw value, 16 bytes two Dec64 (first two columns); any other size: UTF-8
// text, NUL-terminated, cut to fit. No row: the buffer is zeroed.
DbCode _DbExecSP(HDb db, std::string_view procedureOrStatement, std::string_view params,
                 void* result, size_t size, DbMsg& msg);

// Empty Bucket with `columns` of `table` ("*" for all) typed as in the table;
// `f1` and `f2` are its initial rows and growth.
DbCode _DbBktFromCols(HDb db, std::string_view table, std::string_view columns,
                      BktHandle& out, int f1, int f2, DbMsg& msg);
// All rows of a shared code table ("location", ...), read once per session
// and kept by the session: the Bucket is read-only and owned by the host
// until _DbLogout; the caller must not destroy it.
DbCode _DbGetShrCodeBkt(HDb db, std::string_view codeTable, BktHandle& out, DbMsg& msg);

// Row writes. Insert writes every non-NULL column; update writes the changed
// columns of the row where its key columns (from the table's primary key)
// equal the row's; delete removes that row. kDbNotFound when no row matched.
// A successful write clears the row's change flags and makes it existing
// (a delete leaves the row's state and place to the caller). Key columns are
// never written by an update; an insert hands back a single INTEGER key
// left NULL. `flag` is not used.
// Browse mode: rows loaded from the database, or saved, are marked read
// (Bucket.h). An update of such a row writes only while every column it
// writes still holds its value as read; when another workstation changed
// one of them meanwhile nothing is written and the result is kDbLocked
// ("changed by another user ... read it again"), never a silent overwrite.
DbCode _DbxInsertRow(HDb db, std::string_view table, BktHandle bkt, int row, int flag, DbMsg& msg);
DbCode _DbxUpdateRowU(HDb db, std::string_view table, BktHandle bkt, int row, int flag, DbMsg& msg);
DbCode _DbxDeleteRowU(HDb db, std::string_view table, BktHandle bkt, int row, int flag, DbMsg& msg);
DbCode _DbRawUpdate(HDb db, std::string_view table, std::string_view column,
                    std::string_view value, std::string_view where, DbMsg& msg);
DbCode _DbRawDelete(HDb db, std::string_view table, std::string_view where, DbMsg& msg);

// Transactions nest: the outermost begin starts one, inner levels are
// savepoints; a commit of an inner level releases its savepoint, a rollback
// of an inner level undoes to it. The outermost begin takes the write lock
// at once, waiting for another workstation's lock up to the busy timeout
// (kDbBusyTimeoutMs unless set below); when that runs out the transaction is lost with
// kDbBusy, which every statement and the commit of it return until the
// caller rolls back to level 0 and runs it again. A row changed by another
// workstation since it was read gives kDbLocked on the update that meets it
// (browse mode, see _DbxUpdateRowU). An outermost commit that fails rolls
// the transaction back before it returns (nothing stays locked while the
// failure is reported) and leaves level 0; a rollback with nothing open is
// kDbMisuse.
void _DbBeginTrans(HDb db);
DbCode _DbCommitTrans(HDb db, DbMsg& msg);
DbCode _DbRollbackTrans(HDb db, std::string_view name, DbMsg& msg);
int _DbTransDepth(HDb db);
// How long a statement of this session waits for another connection's lock
// (milliseconds; 0 fails at once). Sessions start with kDbBusyTimeoutMs.
constexpr int kDbBusyTimeoutMs = 1000;
void _DbSetBusyTimeout(HDb db, int ms);
// Waits before retry `retry` (1 for the first) of a transaction that met a
// write conflict: about 10 ms doubling up to 320 ms, with jitter, so that
// workstations that collided do not collide again in step.
void _DbConflictPause(int retry);
// What this process met of other workstations since it started (for
// benchmarks and diagnostics).
struct DbConflictStats {
  uint64_t lockWaits = 0;    // statements that waited for another connection's lock
  uint64_t lockWaitMs = 0;   // milliseconds they waited, in all
  uint64_t retries = 0;      // transactions run again after a write conflict
};
DbConflictStats _DbGetConflictStats();

// Next free key of `keyTable` (a row of the key table `pw_key`), checked
// against `keyColumn` of `dataTable` so a key already used is skipped. Safe
// with several sessions at once: the key row is incremented in the session's
// transaction (or in one of its own outside any).
DbCode _DbGetNewKeyValidate(HDb db, std::string_view keyTable, std::string_view dataTable,
                            std::string_view keyColumn, int32_t& key, DbMsg& msg);

// Next value of the key named `keyName` in the key table (a row created at
// 1 when missing), with no data table to check it against (control
// references of order files). Safe with several sessions at once, as above.
DbCode _DbGetNewKeyNoValidate(HDb db, std::string_view keyName, int32_t& key, DbMsg& msg);

// Whether the site has feature `name` (table pw_site_feature, read at log-in).
bool _GetActiveFeature(std::string_view name);

// MARC map: which MARC tag and subfield hold each bibliographic field.
struct MarcMapEntry { std::string field; std::string tag; std::string subfields; };
using MarcMap = std::vector<MarcMapEntry>;
DbCode _DbLoadMarcMap(HDb db, MarcMap& out, DbMsg& msg);

// Usage statistics: one row in table `statistics_event` per call, written
// on the session: inside its open transaction when there is one (the row
// commits or rolls back with it), else on its own.
DbCode DbStat_LogStat(HDb db, std::string_view statCode);
// The same with the event's class (a module's number, 300 for
// acquisitions), a value (an amount or a count) and a key (a vendor#; 0
// when the event has none).
DbCode DbStat_LogStat(HDb db, int32_t statClass, std::string_view eventCode, Dec64 value,
                      int32_t key, DbMsg& msg);

// The catalogue's duplicate-search index: bib# of every record whose index
// `index` ("isbn", "issn": the site's duplication index names) holds
// `value`, compared without hyphens and blanks, case-insensitively; in bib#
// order, each once. An empty value (after normalising) finds nothing.
DbCode DbSer_SearchDupIndex(HDb db, std::string_view index, std::string_view value,
                            std::vector<int32_t>& bibs, DbMsg& msg);
// A value as the duplicate-search index compares it: hyphens, spaces and
// tabs removed, ASCII letters in upper case ("0-19 853453-x" -> "019853453X").
std::string DbSer_NormalizeIndexValue(std::string_view value);

// Users and privileges, as the security prompts need them.
DbCode DbUser_CheckPassword(HDb db, std::string_view user, std::string_view password,
                            DbMsg& msg);
DbCode DbUser_HasPrivilege(HDb db, std::string_view user, int32_t privilege,
                           bool& has, DbMsg& msg);

// Calls `observer` with the text of each statement the session's connection
// starts to run (its own, the module's, and those of stored procedures),
// until an empty function replaces it. For tests and benchmarks that need
// to see what one action ran.
void DbSession_SetStatementObserver(HDb db, std::function<void(std::string_view)> observer);

// ---- catalogue services ----------------------------------------------------------------
// The catalogue proper lives outside acquisitions: these are the few services
// through which an order creates and numbers its records. The writing ones
// run on the session inside the caller's open transaction (kDbMisuse,
// "... needs the caller's transaction." otherwise), so what they write stands
// or falls with the caller's action; none opens a transaction of its own.

// The bibliographic fields of a PO line a new record is made from.
struct DbBibFields {
  std::string title, author, edition, publisher, pubPlace, pubDate, isbn, issn, lccn, series;
};
// A new bibliographic record: bib# from the key generator (key "bib_control",
// never a number another record, line, item or copy already uses), a `bib`
// row with the fields and their MARC-tagged text ("245 $a<title>" lines in
// the order of the site's pw_marc_map), and bib_index rows for its ISBN and
// ISSN so the duplicate search finds it. `bib` gets the new number.
DbCode DbMarc_CreateBib(HDb db, const DbBibFields& fields, int32_t& bib, DbMsg& msg);
// The copy of catalogue item `item` (copy 0 detaches it). kDbNotFound when
// the item does not exist.
DbCode DbSer_SetCopyNum(HDb db, int32_t item, int32_t copy, DbMsg& msg);
// The serial number of copy `copy` (at most 40 characters). kDbNotFound when
// the copy does not exist.
DbCode DbSer_SetSerialNumber(HDb db, int32_t copy, std::string_view serial, DbMsg& msg);
// An inventory number for `prefix` (blank for none): the lowest number handed
// back under `freeKeyName` for that prefix first, else the next new one of
// the key `newKeyName` of that prefix ("newinvkey" numbers each prefix from
// 1). Decimal digits without leading zeros; never a number an item already
// carries with that prefix.
DbCode DbIndex_GenerateDataWithPrefix(HDb db, std::string_view prefix, std::string_view newKeyName,
                                      std::string_view freeKeyName, std::string& value,
                                      DbMsg& msg);
// Hands inventory number `value` of `prefix` back to `freeKeyName` for reuse
// (an item that gave its number up). A number already free stays once.
DbCode DbIndex_FreeDataWithPrefix(HDb db, std::string_view prefix, std::string_view freeKeyName,
                                  std::string_view value, DbMsg& msg);
// Logs `activity` ("create", "attach", ...) of catalogue item `item` with the
// user, the workstation's location and one date and time (table item_activity).
DbCode DbCat_UpdateItemActivity(HDb db, int32_t item, std::string_view activity, DbMsg& msg);

// The site's item barcode shape, by the key string type of item.ibarcode in
// pw_column and the column's length (14 when 0 is given):
//   "BARCODE"  exactly `length` digits ("31234000012345"), or a temporary
//              barcode: "acq" (any case) and 1 to `length` - 3 digits;
//   otherwise  1 to `length` characters, none a blank or a control character.
bool DbCat_BarcodeHasSiteShape(std::string_view keyStringType, int32_t length,
                               std::string_view barcode);
// The temporary barcode of an item entered without one: "acq" and its item#.
std::string DbCat_TemporaryBarcode(int32_t item);
