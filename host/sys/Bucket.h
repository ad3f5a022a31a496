// Bucket: the host's in-memory row set. Rows and columns are numbered from 1.
// Each column has a name, a type and a length (characters for text); each
// row has a state (existing, new, deleted) and a change flag per column; any
// cell can be NULL. Every query result, edit buffer, cache and error list of
// the module is a Bucket; the database session fills and saves them.
//
// Text is UTF-8 here; lengths count characters (code points), not bytes.
// A Bucket is not thread-safe by itself: a Bucket shared between threads has
// a semaphore attached (_BktSetSemaphore) that its users request.
//
// Misuse (a row or column out of range, a value of the wrong type) is a
// programming error: KtSystem_Panic with the operation's name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/sys/Dec64.h"
#include "host/sys/Semaphore.h"

struct BucketImpl;
using BktHandle = BucketImpl*;

// Column types of _BktSetColInfo.
enum BktColType : int {
  kColInt16 = 5,    // 16-bit integer: lines, items, day numbers, minutes, years
  kColByte = 6,     // one-byte code or boolean
  kColInt32 = 7,    // 32-bit integer or key
  kColDec64 = 8,    // Dec64 amount
  kColText = 9,     // text of at most `length` characters
  kColOpaque = 11,  // pointer-sized value (another Bucket's handle, say)
};

// Row states.
enum BktRowState : int { kRowExisting = 0, kRowNew = 1, kRowDeleted = 2 };

// ---- life ----------------------------------------------------------------
// Creates an empty Bucket of `columns` unnamed columns (type text, length 0
// until set), room for `initialRows`, growing by `growth`. A text length of
// 0 means no limit. A Bucket the handle already holds is destroyed first.
// REQUIRES: `out` is empty or holds a live Bucket.
void _BktCreate(BktHandle& out, int columns, int initialRows, int growth);
// Destroys the Bucket and empties the handle; an empty handle is ignored.
void _BktDestroy(BktHandle* bkt);
// Names and types column `col`. `flag` 1 marks the column a key column
// (used by the database session to build update and delete statements).
void _BktSetColInfo(BktHandle bkt, int col, std::string_view name, int length,
                    int type, int flag);
// Column number of `name` (exact, case-insensitive); 0 when absent.
int _BktGetColNum(BktHandle bkt, std::string_view name);
int _BktGetNCols(BktHandle bkt);
std::string _BktGetColName(BktHandle bkt, int col);
int _BktGetColType(BktHandle bkt, int col);
int _BktGetColLength(BktHandle bkt, int col);
bool _BktIsKeyCol(BktHandle bkt, int col);
// Column names joined by "," (no blanks).
std::string _ColListFromBkt(BktHandle bkt);

// ---- marks ---------------------------------------------------------------
// A read-only Bucket panics on every change (rows, cells, flags, states).
void _BktSetReadOnly(BktHandle bkt, bool readOnly);
bool _BktIsReadOnly(BktHandle bkt);
void _BktSetSemaphore(BktHandle bkt, HSem sem);
HSem _BktGetSemaphore(BktHandle bkt);

// ---- rows ----------------------------------------------------------------
int _BktCountAll(BktHandle bkt);
// Adds an empty row (all NULL, state new, no change flags) at the end.
void _BktInsert(BktHandle bkt, int flag, int& row);
// Inserts an empty row before `row` (1..count+1); `row` stays its number.
void _BktInsertAt(BktHandle bkt, int flag, int row);
void _BktDelete(BktHandle bkt, int row);   // removes the row from the Bucket
void _BktDeleteAll(BktHandle bkt);
int _BktGetState(BktHandle bkt, int row);
void _BktSetState(BktHandle bkt, int row, int state);
void _BktSetStateAll(BktHandle bkt, int state);
int _BktCountState(BktHandle bkt, int state);
// New Bucket holding copies of the rows of `src` in `state` (same columns).
BktHandle _BktDupeState(BktHandle src, int state);

// ---- change flags ----------------------------------------------------------
bool _ColIsChanged(BktHandle bkt, int row, int col);
void _ColSetChg(BktHandle bkt, int row, int col);
void _ColClearChg(BktHandle bkt, int row, int col);
void _BktClearChg(BktHandle bkt, int row);        // every column of the row
bool _BktRowIsChanged(BktHandle bkt, int row);    // any column changed

// ---- values as read (browse mode) -------------------------------------------
// A row marked read holds what the database held when it was loaded or last
// saved. Its first change after that keeps the values as they were read, so
// that a save can tell whether another workstation changed the row in
// between: the session compares the stored values of the columns it writes
// with them. Copies of a row (_BktDupe, _BktRowCopy, _BktCopyAll) carry the
// mark and the values; change flags do not touch them. New rows are unmarked.
// Marks the row read as it is now (the session calls it after a load and
// after a successful write).
void _BktMarkRead(BktHandle bkt, int row);
bool _BktIsRead(BktHandle bkt, int row);
// A new one-row Bucket with the columns of `bkt` holding row `row` as it was
// read (no change flags); nullptr when the row is not marked read. The
// caller destroys it.
BktHandle _BktRowAsRead(BktHandle bkt, int row);

// ---- cells -----------------------------------------------------------------
// Setting a cell marks it changed and not NULL. Getting a NULL cell gives 0,
// a zero Dec64 or "".
bool _ColIsNull(BktHandle bkt, int row, int col);
void _ColSetNull(BktHandle bkt, int row, int col);
// Integer cells (types 5, 6, 7). `sizeMinus1` is the caller's scalar size
// less one (0, 1 or 3), checked against the column type.
void _ColGetScalar(BktHandle bkt, int row, int col, int64_t& value, int sizeMinus1);
void _ColSetScalar(BktHandle bkt, int row, int col, int64_t value, int sizeMinus1);
// Typed conveniences over the same cells.
int32_t _ColGetInt(BktHandle bkt, int row, int col);
void _ColSetInt(BktHandle bkt, int row, int col, int32_t value);
Dec64 _ColGetDec64(BktHandle bkt, int row, int col);
void _ColSetDec64(BktHandle bkt, int row, int col, Dec64 value);
// Text cells: the value is cut to the column length (characters) on set;
// `maxChars` on get cuts the copy handed back (-1: whole text).
std::string _ColGetStringW(BktHandle bkt, int row, int col, int maxChars = -1);
void _ColSetTextW(BktHandle bkt, int row, int col, std::string_view text);
bool _ColGetBoolean(BktHandle bkt, int row, int col);
void _ColSetBoolean(BktHandle bkt, int row, int col, bool value);
void* _ColGetNonScalar(BktHandle bkt, int row, int col);
void _ColSetNonScalar(BktHandle bkt, int row, int col, void* value);
// Compares two cells of like columns (NULL first, then by value).
int _ColCompare(BktHandle a, int rowA, int colA, BktHandle b, int rowB, int colB);

// ---- find and order --------------------------------------------------------
// Key values for lookups: a cell value given by the caller.
struct BktKey {
  enum class Kind { Int, Dec, Text, Null } kind = Kind::Null;
  int64_t i = 0;
  Dec64 d{};
  std::string s;
  static BktKey Int(int64_t v) { BktKey k; k.kind = Kind::Int; k.i = v; return k; }
  static BktKey Dec(Dec64 v) { BktKey k; k.kind = Kind::Dec; k.d = v; return k; }
  static BktKey Text(std::string_view v) { BktKey k; k.kind = Kind::Text; k.s = v; return k; }
};
// First row (from `startRow`) whose column `col1` equals key1 and, when
// col2 > 0, column `col2` equals key2. Text compares exactly (case-sensitive,
// whole value). Returns found; `row` is the row or 0.
bool _BktLocateKey(BktHandle bkt, int col1, const BktKey& key1, int col2,
                   const BktKey& key2, int& row, int startRow = 1);
// Rows [first, last] whose column `col` lies within [low, high], in a
// Bucket sorted on that column.
bool _BktLocateRange(BktHandle bkt, int col, const BktKey& low,
                     const BktKey& high, int& first, int& last);
// First row from `startRow` equal in every column of `keyCols` to row
// `srcRow` of `src` (columns matched by name).
bool _LocateRow(BktHandle bkt, BktHandle src, int srcRow,
                const std::vector<int>& keyCols, int& row, int startRow = 1);
// Next row after `row` in state `state` (-1: any); false at the end.
bool _BktNext(BktHandle bkt, int state, int& row);
// First row from `startRow` whose column `col` text contains `text`
// (case-insensitive).
bool _BktScan(BktHandle bkt, int col, std::string_view text, int& row, int startRow = 1);
// Whether any row has `key` in column `col`.
bool _ValueInCol(BktHandle bkt, int col, const BktKey& key);
// Stable sort on the listed columns; a negative column number sorts that
// column descending. NULLs sort first.
void _BktSort(BktHandle bkt, const std::vector<int>& cols);

// ---- copies ----------------------------------------------------------------
// New empty Bucket with the source's columns (names, types, lengths, key
// marks). `keepReadOnly` 1 copies the read-only mark, `keepSemaphore` 1 the
// semaphore; the module passes 0, 0 for a fresh, writable Bucket. As with
// _BktCreate, a Bucket `out` already holds is destroyed; `out` must not be
// the source's own handle.
void _BktClone(BktHandle& out, int keepReadOnly, int keepSemaphore, BktHandle src);
// Independent copy with all rows, states, NULLs and change flags; writable,
// no semaphore.
BktHandle _BktDupe(BktHandle src);
// Copies row `srcRow` of `src` over row `dstRow` of `dst` (columns matched by
// number; like columns required), with NULLs, state and change flags.
void _BktRowCopy(BktHandle dst, int dstRow, BktHandle src, int srcRow);
// Replaces every row of `dst` by copies of the rows of `src`.
void _BktCopyAll(BktHandle dst, BktHandle src);
// Copies one cell (value or NULL), marking the target changed.
void _ColCopy(BktHandle dst, int dstRow, int dstCol, BktHandle src, int srcRow, int srcCol);
// New Bucket with the rows of `src`, keeping the first of each group of rows
// equal in the columns `keyCols` (all columns when empty).
BktHandle _CreateDeDupedBkt(BktHandle src, const std::vector<int>& keyCols);

// Destroys the Bucket when the holder leaves scope.
class BucketHold {
 public:
  BucketHold() = default;
  explicit BucketHold(BktHandle b) : bkt_(b) {}
  ~BucketHold() { _BktDestroy(&bkt_); }
  BucketHold(const BucketHold&) = delete;
  BucketHold& operator=(const BucketHold&) = delete;
  BktHandle& get() { return bkt_; }
  BktHandle operator*() const { return bkt_; }
  BktHandle release() { BktHandle b = bkt_; bkt_ = nullptr; return b; }

 private:
  BktHandle bkt_ = nullptr;
};
