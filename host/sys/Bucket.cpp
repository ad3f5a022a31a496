// Buckets: rows of cells in a vector of rows, each row a vector of cells.
// Integer, Dec64 (raw millionths) and opaque (pointer bits) values share one
// int64 slot; text has its own string. A NULL cell keeps a zero value and an
// empty string, so a getter never sees stale data.
//
// Column length: the most characters a text cell keeps; 0 means no limit
// (columns not yet described by _BktSetColInfo).
//
// Sort order: NULL before any value, whatever the direction; integers and
// Dec64 numerically; text by code point (UTF-8 byte order), case-sensitive;
// opaque values by their bits.
#include "host/sys/Bucket.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "host/sys/LbStr.h"
#include "host/sys/RunTime.h"

namespace {

struct Cell {
  int64_t v = 0;         // integer, Dec64 raw or pointer bits
  std::string s;         // text cells
  bool null = true;
  bool changed = false;
};

struct Row {
  int state = kRowNew;
  std::vector<Cell> cells;
  // Browse mode: `read` is set while the row holds what the database held
  // at its load or last save. `asRead` keeps the cells as they were then; it
  // is taken at the first change after that and shared (never changed) by
  // copies of the row.
  bool read = false;
  std::shared_ptr<const std::vector<Cell>> asRead;
};

struct Column {
  std::string name;
  int length = 0;
  int type = kColText;
  bool key = false;
};

// What a column holds; columns of the same class are "like" columns.
enum class Class { Int, Dec, Text, Ptr };

Class ClassOf(int type) {
  switch (type) {
    case kColInt16: case kColByte: case kColInt32: return Class::Int;
    case kColDec64: return Class::Dec;
    case kColOpaque: return Class::Ptr;
    default: return Class::Text;
  }
}

const char* ClassName(Class c) {
  switch (c) {
    case Class::Int: return "integer";
    case Class::Dec: return "Dec64";
    case Class::Ptr: return "opaque";
    default: return "text";
  }
}

// Bytes a value of the integer column type takes (the scalar size).
int ScalarSize(int type) { return type == kColByte ? 1 : type == kColInt16 ? 2 : 4; }

// Integer columns take both the signed and the unsigned values of their
// width: 16-bit day numbers run past 32767.
bool FitsColumn(int type, int64_t v) {
  switch (type) {
    case kColByte: return v >= -128 && v <= 255;
    case kColInt16: return v >= -32768 && v <= 65535;
    default:
      return v >= std::numeric_limits<int32_t>::min() &&
             v <= static_cast<int64_t>(std::numeric_limits<uint32_t>::max());
  }
}

template <typename T>
int Cmp(T a, T b) { return a < b ? -1 : a > b ? 1 : 0; }

// ---- case folding for _BktScan and column names ------------------------------

char32_t FoldChar(char32_t c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 32 : c;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
  if ((c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) {
    return (c % 2 == 0) ? c + 1 : c;
  }
  if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c % 2 == 1) ? c + 1 : c;
  if (c == 0x130) return 'i';
  if (c == 0x178) return 0xFF;
  if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 32;  // Greek capitals
  if (c == 0x3C2) return 0x3C3;                                // final sigma
  if (c >= 0x410 && c <= 0x42F) return c + 32;                 // Cyrillic
  if (c >= 0x400 && c <= 0x40F) return c + 80;
  return c;
}

// Code points of UTF-8 text, folded. A byte that does not start a valid
// sequence stands for itself (as 0xDC00 + byte, outside real text).
std::u32string Fold(std::string_view s) {
  std::u32string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    unsigned char b = static_cast<unsigned char>(s[i]);
    int len = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
    char32_t cp = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
    bool ok = len > 0 && i + static_cast<size_t>(len) <= s.size();
    for (int k = 1; ok && k < len; ++k) {
      unsigned char c = static_cast<unsigned char>(s[i + static_cast<size_t>(k)]);
      ok = (c & 0xC0) == 0x80;
      cp = (cp << 6) | (c & 0x3F);
    }
    if (!ok) {
      out.push_back(0xDC00 + b);
      ++i;
      continue;
    }
    out.push_back(FoldChar(cp));
    i += static_cast<size_t>(len);
  }
  return out;
}

// Column names compare ignoring case; names are nearly always ASCII, so
// that case goes without allocating.
bool SameName(std::string_view a, std::string_view b) {
  bool ascii = true;
  for (char c : a) ascii &= static_cast<unsigned char>(c) < 0x80;
  for (char c : b) ascii &= static_cast<unsigned char>(c) < 0x80;
  if (!ascii) return Fold(a) == Fold(b);
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldChar(static_cast<unsigned char>(a[i])) != FoldChar(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// An index of one column's values for _BktLocateKey: without it, finding
// each of n budgets in a Bucket of n rows is n^2/2 comparisons, and a year
// end over 10,000 budgets spent minutes there. Built at the first lookup on
// a column of a large Bucket; setting cells and appending rows keep it (the
// rows touched are re-indexed at the next lookup); any other change drops it.
struct ColumnIndex {
  // Canonical value (see CanonicalCell) -> its rows (0-based), ascending.
  std::unordered_map<std::string, std::vector<uint32_t>> rows;
  std::vector<std::string> keyOfRow;   // each row's canonical value
  std::vector<uint32_t> touched;       // rows changed or appended since
};

// The indexes of a Bucket, by column.
struct KeyIndex {
  std::mutex mutex;   // lookups of a shared Bucket from two threads build it once
  std::unordered_map<int, ColumnIndex> columns;
};

}  // namespace

struct BucketImpl {
  std::vector<Column> cols;
  std::vector<Row> rows;
  bool readOnly = false;
  HSem sem = nullptr;
  int initialRows = 0;
  int growth = 0;
  KeyIndex index;
};

namespace {

// ---- checks: every misuse is a panic naming the operation ----------------------

[[noreturn]] void Misuse(const char* op, const std::string& what) {
  KtSystem_Panic(std::string("Bucket.") + op + ": " + what);
}

BucketImpl& Get(BktHandle b, const char* op) {
  if (b == nullptr) Misuse(op, "no Bucket");
  return *b;
}

// A Bucket about to change only in its cells' values (each setter reports
// its cell: Touch), its rows' states and change marks, or by rows appended:
// the index stays.
BucketImpl& WritableCells(BktHandle b, const char* op) {
  BucketImpl& bkt = Get(b, op);
  if (bkt.readOnly) Misuse(op, "read-only Bucket");
  return bkt;
}

// A Bucket about to change in any other way: rows inserted, deleted, moved
// or replaced, columns described.
BucketImpl& Writable(BktHandle b, const char* op) {
  BucketImpl& bkt = WritableCells(b, op);
  std::lock_guard<std::mutex> lock(bkt.index.mutex);
  bkt.index.columns.clear();
  return bkt;
}

// Row `row` (1-based) may hold a new value in column `col`.
void Touch(BucketImpl& b, int row, int col) {
  std::lock_guard<std::mutex> lock(b.index.mutex);
  if (auto it = b.index.columns.find(col); it != b.index.columns.end())
    it->second.touched.push_back(static_cast<uint32_t>(row - 1));
}

void CheckRow(const BucketImpl& b, int row, const char* op) {
  if (row < 1 || row > static_cast<int>(b.rows.size())) {
    Misuse(op, "row " + std::to_string(row) + " out of range 1.." + std::to_string(b.rows.size()));
  }
}

const Column& CheckCol(const BucketImpl& b, int col, const char* op) {
  if (col < 1 || col > static_cast<int>(b.cols.size())) {
    Misuse(op, "column " + std::to_string(col) + " out of range 1.." +
                   std::to_string(b.cols.size()));
  }
  return b.cols[static_cast<size_t>(col - 1)];
}

void CheckState(int state, const char* op) {
  if (state < kRowExisting || state > kRowDeleted) {
    Misuse(op, "row state " + std::to_string(state) + " out of range 0..2");
  }
}

std::string ColLabel(const BucketImpl& b, int col) {
  return "column " + std::to_string(col) + " (" + b.cols[static_cast<size_t>(col - 1)].name + ")";
}

// The cell at (row, col) after the range checks and a check of its class.
Cell& CellOf(BucketImpl& b, int row, int col, Class want, const char* op) {
  CheckRow(b, row, op);
  const Column& c = CheckCol(b, col, op);
  if (ClassOf(c.type) != want) {
    Misuse(op, ColLabel(b, col) + " is type " + std::to_string(c.type) + ", not " + ClassName(want));
  }
  return b.rows[static_cast<size_t>(row - 1)].cells[static_cast<size_t>(col - 1)];
}

Cell& AnyCell(BucketImpl& b, int row, int col, const char* op) {
  CheckRow(b, row, op);
  CheckCol(b, col, op);
  return b.rows[static_cast<size_t>(row - 1)].cells[static_cast<size_t>(col - 1)];
}

// Keeps a read row's values as read before its first change.
void KeepAsRead(BucketImpl& b, int row) {
  Row& r = b.rows[static_cast<size_t>(row - 1)];
  if (r.read && !r.asRead) r.asRead = std::make_shared<const std::vector<Cell>>(r.cells);
}

// The cell whose value is about to change (CellOf / AnyCell for setters).
Cell& CellToChange(BucketImpl& b, int row, int col, Class want, const char* op) {
  Cell& c = CellOf(b, row, col, want, op);
  KeepAsRead(b, row);
  Touch(b, row, col);
  return c;
}

Cell& AnyCellToChange(BucketImpl& b, int row, int col, const char* op) {
  Cell& c = AnyCell(b, row, col, op);
  KeepAsRead(b, row);
  Touch(b, row, col);
  return c;
}

void SetValue(Cell& cell, int64_t v) {
  cell.v = v;
  cell.s.clear();
  cell.null = false;
  cell.changed = true;
}

Row EmptyRow(const BucketImpl& b) {
  Row r;
  r.cells.resize(b.cols.size());
  return r;
}

// Like columns: the same count and, column by column, the same class.
void CheckLike(const BucketImpl& dst, const BucketImpl& src, const char* op) {
  if (dst.cols.size() != src.cols.size()) {
    Misuse(op, "column counts differ (" + std::to_string(dst.cols.size()) + " and " +
                   std::to_string(src.cols.size()) + ")");
  }
  for (size_t i = 0; i < dst.cols.size(); ++i) {
    if (ClassOf(dst.cols[i].type) != ClassOf(src.cols[i].type)) {
      Misuse(op, "column " + std::to_string(i + 1) + " types differ (" +
                     std::to_string(dst.cols[i].type) + " and " +
                     std::to_string(src.cols[i].type) + ")");
    }
  }
}

// A copy of `cell` for a column described by `dst` (text cut to its length).
Cell Converted(const Cell& cell, const Column& dst) {
  Cell out = cell;
  if (ClassOf(dst.type) == Class::Text && dst.length > 0) {
    out.s = Lb_CutChars(cell.s, static_cast<size_t>(dst.length));
  }
  return out;
}

Row CopyRowFor(const Row& src, const BucketImpl& dst) {
  Row r;
  r.state = src.state;
  r.read = src.read;
  r.asRead = src.asRead;
  r.cells.reserve(src.cells.size());
  for (size_t i = 0; i < src.cells.size(); ++i) r.cells.push_back(Converted(src.cells[i], dst.cols[i]));
  return r;
}

// NULL first, then by value; REQUIRES like classes.
int CompareCells(Class cls, const Cell& a, const Cell& b) {
  if (a.null || b.null) return Cmp(!a.null, !b.null);
  switch (cls) {
    case Class::Text: return Cmp(a.s.compare(b.s), 0);
    case Class::Ptr: return Cmp(static_cast<uint64_t>(a.v), static_cast<uint64_t>(b.v));
    default: return Cmp(a.v, b.v);
  }
}

// Cell against a caller's key: NULL first; integers and Dec64 compare across.
int CompareKey(const BucketImpl& b, int col, const Cell& cell, const BktKey& key, const char* op) {
  if (key.kind == BktKey::Kind::Null) return cell.null ? 0 : 1;
  if (cell.null) return -1;
  Class cls = ClassOf(b.cols[static_cast<size_t>(col - 1)].type);
  using K = BktKey::Kind;
  using i128 = __int128;
  if (cls == Class::Text && key.kind == K::Text) return Cmp(cell.s.compare(key.s), 0);
  if (cls == Class::Int && key.kind == K::Int) return Cmp(cell.v, key.i);
  if (cls == Class::Int && key.kind == K::Dec) {
    return Cmp(static_cast<i128>(cell.v) * Dec64::kOne, static_cast<i128>(key.d.raw));
  }
  if (cls == Class::Dec && key.kind == K::Dec) return Cmp(cell.v, key.d.raw);
  if (cls == Class::Dec && key.kind == K::Int) {
    return Cmp(static_cast<i128>(cell.v), static_cast<i128>(key.i) * Dec64::kOne);
  }
  if (cls == Class::Ptr && key.kind == K::Int) {
    return Cmp(static_cast<uint64_t>(cell.v), static_cast<uint64_t>(key.i));
  }
  Misuse(op, ColLabel(b, col) + " is " + ClassName(cls) + ", the key is not");
}

void CheckStart(int startRow, const char* op) {
  if (startRow < 1) Misuse(op, "start row " + std::to_string(startRow) + " below 1");
}

}  // namespace

// ---- life ----------------------------------------------------------------

void _BktCreate(BktHandle& out, int columns, int initialRows, int growth) {
  if (columns < 0) Misuse("_BktCreate", "column count " + std::to_string(columns) + " below 0");
  _BktDestroy(&out);   // a handle holds nothing or a live Bucket: never leak it
  auto* b = new BucketImpl;
  b->cols.resize(static_cast<size_t>(columns));
  b->initialRows = std::max(initialRows, 0);
  b->growth = std::max(growth, 0);
  b->rows.reserve(static_cast<size_t>(b->initialRows));
  out = b;
}

void _BktDestroy(BktHandle* bkt) {
  if (bkt == nullptr || *bkt == nullptr) return;
  delete *bkt;
  *bkt = nullptr;
}

void _BktSetColInfo(BktHandle bkt, int col, std::string_view name, int length, int type, int flag) {
  const char* op = "_BktSetColInfo";
  BucketImpl& b = Writable(bkt, op);
  CheckCol(b, col, op);
  if (type != kColInt16 && type != kColByte && type != kColInt32 && type != kColDec64 &&
      type != kColText && type != kColOpaque) {
    Misuse(op, "column " + std::to_string(col) + " type " + std::to_string(type) + " unknown");
  }
  if (length < 0) Misuse(op, "column " + std::to_string(col) + " length below 0");
  Column& c = b.cols[static_cast<size_t>(col - 1)];
  if (ClassOf(c.type) != ClassOf(type)) {
    // Values of the old type mean nothing in the new one.
    for (Row& r : b.rows) r.cells[static_cast<size_t>(col - 1)] = Cell{};
  }
  c.name = name;
  c.length = length;
  c.type = type;
  c.key = flag == 1;
}

int _BktGetColNum(BktHandle bkt, std::string_view name) {
  const BucketImpl& b = Get(bkt, "_BktGetColNum");
  if (name.empty()) return 0;  // unnamed columns are never found
  for (size_t i = 0; i < b.cols.size(); ++i) {
    if (SameName(b.cols[i].name, name)) return static_cast<int>(i + 1);
  }
  return 0;
}

int _BktGetNCols(BktHandle bkt) { return static_cast<int>(Get(bkt, "_BktGetNCols").cols.size()); }

std::string _BktGetColName(BktHandle bkt, int col) {
  return CheckCol(Get(bkt, "_BktGetColName"), col, "_BktGetColName").name;
}
int _BktGetColType(BktHandle bkt, int col) {
  return CheckCol(Get(bkt, "_BktGetColType"), col, "_BktGetColType").type;
}
int _BktGetColLength(BktHandle bkt, int col) {
  return CheckCol(Get(bkt, "_BktGetColLength"), col, "_BktGetColLength").length;
}
bool _BktIsKeyCol(BktHandle bkt, int col) {
  return CheckCol(Get(bkt, "_BktIsKeyCol"), col, "_BktIsKeyCol").key;
}

std::string _ColListFromBkt(BktHandle bkt) {
  const BucketImpl& b = Get(bkt, "_ColListFromBkt");
  std::string out;
  for (size_t i = 0; i < b.cols.size(); ++i) {
    if (i > 0) out.push_back(',');
    out += b.cols[i].name;
  }
  return out;
}

// ---- marks ---------------------------------------------------------------

void _BktSetReadOnly(BktHandle bkt, bool readOnly) { Get(bkt, "_BktSetReadOnly").readOnly = readOnly; }
bool _BktIsReadOnly(BktHandle bkt) { return Get(bkt, "_BktIsReadOnly").readOnly; }
void _BktSetSemaphore(BktHandle bkt, HSem sem) { Get(bkt, "_BktSetSemaphore").sem = sem; }
HSem _BktGetSemaphore(BktHandle bkt) { return Get(bkt, "_BktGetSemaphore").sem; }

// ---- rows ----------------------------------------------------------------

int _BktCountAll(BktHandle bkt) { return static_cast<int>(Get(bkt, "_BktCountAll").rows.size()); }

void _BktInsert(BktHandle bkt, int /*flag*/, int& row) {
  BucketImpl& b = WritableCells(bkt, "_BktInsert");
  b.rows.push_back(EmptyRow(b));
  row = static_cast<int>(b.rows.size());
  std::lock_guard<std::mutex> lock(b.index.mutex);
  for (auto& [col, x] : b.index.columns) x.touched.push_back(static_cast<uint32_t>(row - 1));
}

void _BktInsertAt(BktHandle bkt, int /*flag*/, int row) {
  const char* op = "_BktInsertAt";
  BucketImpl& b = Writable(bkt, op);
  if (row < 1 || row > static_cast<int>(b.rows.size()) + 1) {
    Misuse(op, "row " + std::to_string(row) + " out of range 1.." + std::to_string(b.rows.size() + 1));
  }
  b.rows.insert(b.rows.begin() + (row - 1), EmptyRow(b));
}

void _BktDelete(BktHandle bkt, int row) {
  BucketImpl& b = Writable(bkt, "_BktDelete");
  CheckRow(b, row, "_BktDelete");
  b.rows.erase(b.rows.begin() + (row - 1));
}

void _BktDeleteAll(BktHandle bkt) { Writable(bkt, "_BktDeleteAll").rows.clear(); }

int _BktGetState(BktHandle bkt, int row) {
  const BucketImpl& b = Get(bkt, "_BktGetState");
  CheckRow(b, row, "_BktGetState");
  return b.rows[static_cast<size_t>(row - 1)].state;
}

void _BktSetState(BktHandle bkt, int row, int state) {
  BucketImpl& b = WritableCells(bkt, "_BktSetState");
  CheckRow(b, row, "_BktSetState");
  CheckState(state, "_BktSetState");
  b.rows[static_cast<size_t>(row - 1)].state = state;
}

void _BktSetStateAll(BktHandle bkt, int state) {
  BucketImpl& b = WritableCells(bkt, "_BktSetStateAll");
  CheckState(state, "_BktSetStateAll");
  for (Row& r : b.rows) r.state = state;
}

int _BktCountState(BktHandle bkt, int state) {
  const BucketImpl& b = Get(bkt, "_BktCountState");
  return static_cast<int>(std::count_if(b.rows.begin(), b.rows.end(),
                                        [state](const Row& r) { return r.state == state; }));
}

BktHandle _BktDupeState(BktHandle src, int state) {
  const BucketImpl& s = Get(src, "_BktDupeState");
  CheckState(state, "_BktDupeState");
  BktHandle out = nullptr;
  _BktClone(out, 0, 0, src);
  for (const Row& r : s.rows) {
    if (r.state == state) out->rows.push_back(r);
  }
  return out;
}

// ---- change flags ----------------------------------------------------------

bool _ColIsChanged(BktHandle bkt, int row, int col) {
  return AnyCell(Get(bkt, "_ColIsChanged"), row, col, "_ColIsChanged").changed;
}

void _ColSetChg(BktHandle bkt, int row, int col) {
  AnyCell(WritableCells(bkt, "_ColSetChg"), row, col, "_ColSetChg").changed = true;
}

void _ColClearChg(BktHandle bkt, int row, int col) {
  AnyCell(WritableCells(bkt, "_ColClearChg"), row, col, "_ColClearChg").changed = false;
}

void _BktMarkRead(BktHandle bkt, int row) {
  BucketImpl& b = WritableCells(bkt, "_BktMarkRead");
  CheckRow(b, row, "_BktMarkRead");
  Row& r = b.rows[static_cast<size_t>(row - 1)];
  r.read = true;
  r.asRead.reset();
}

bool _BktIsRead(BktHandle bkt, int row) {
  const BucketImpl& b = Get(bkt, "_BktIsRead");
  CheckRow(b, row, "_BktIsRead");
  return b.rows[static_cast<size_t>(row - 1)].read;
}

BktHandle _BktRowAsRead(BktHandle bkt, int row) {
  const BucketImpl& b = Get(bkt, "_BktRowAsRead");
  CheckRow(b, row, "_BktRowAsRead");
  const Row& r = b.rows[static_cast<size_t>(row - 1)];
  if (!r.read) return nullptr;
  BktHandle out = nullptr;
  _BktClone(out, 0, 0, bkt);
  Row copy;
  copy.state = kRowExisting;
  copy.cells = r.asRead ? *r.asRead : r.cells;
  for (Cell& c : copy.cells) c.changed = false;
  out->rows.push_back(std::move(copy));
  return out;
}

void _BktClearChg(BktHandle bkt, int row) {
  BucketImpl& b = WritableCells(bkt, "_BktClearChg");
  CheckRow(b, row, "_BktClearChg");
  for (Cell& c : b.rows[static_cast<size_t>(row - 1)].cells) c.changed = false;
}

bool _BktRowIsChanged(BktHandle bkt, int row) {
  const BucketImpl& b = Get(bkt, "_BktRowIsChanged");
  CheckRow(b, row, "_BktRowIsChanged");
  const auto& cells = b.rows[static_cast<size_t>(row - 1)].cells;
  return std::any_of(cells.begin(), cells.end(), [](const Cell& c) { return c.changed; });
}

// ---- cells -----------------------------------------------------------------

bool _ColIsNull(BktHandle bkt, int row, int col) {
  return AnyCell(Get(bkt, "_ColIsNull"), row, col, "_ColIsNull").null;
}

void _ColSetNull(BktHandle bkt, int row, int col) {
  Cell& c = AnyCellToChange(WritableCells(bkt, "_ColSetNull"), row, col, "_ColSetNull");
  c.v = 0;
  c.s.clear();
  c.null = true;
  c.changed = true;  // an update must write the NULL
}

namespace {

void CheckScalarSize(int sizeMinus1, const char* op) {
  if (sizeMinus1 != 0 && sizeMinus1 != 1 && sizeMinus1 != 3 && sizeMinus1 != 7) {
    Misuse(op, "scalar size-1 " + std::to_string(sizeMinus1) + " is not 0, 1, 3 or 7");
  }
}

void SetInteger(BktHandle bkt, int row, int col, int64_t value, const char* op) {
  BucketImpl& b = WritableCells(bkt, op);
  Cell& c = CellOf(b, row, col, Class::Int, op);
  int type = b.cols[static_cast<size_t>(col - 1)].type;
  KeepAsRead(b, row);
  Touch(b, row, col);
  if (!FitsColumn(type, value)) {
    Misuse(op, "value " + std::to_string(value) + " does not fit " + ColLabel(b, col) +
                   " of type " + std::to_string(type));
  }
  SetValue(c, value);
}

}  // namespace

void _ColGetScalar(BktHandle bkt, int row, int col, int64_t& value, int sizeMinus1) {
  const char* op = "_ColGetScalar";
  BucketImpl& b = Get(bkt, op);
  const Cell& c = CellOf(b, row, col, Class::Int, op);
  CheckScalarSize(sizeMinus1, op);
  int type = b.cols[static_cast<size_t>(col - 1)].type;
  if (ScalarSize(type) > sizeMinus1 + 1) {
    Misuse(op, ColLabel(b, col) + " of type " + std::to_string(type) + " does not fit " +
                   std::to_string(sizeMinus1 + 1) + " bytes");
  }
  value = c.v;
}

void _ColSetScalar(BktHandle bkt, int row, int col, int64_t value, int sizeMinus1) {
  CheckScalarSize(sizeMinus1, "_ColSetScalar");
  SetInteger(bkt, row, col, value, "_ColSetScalar");
}

int32_t _ColGetInt(BktHandle bkt, int row, int col) {
  return static_cast<int32_t>(CellOf(Get(bkt, "_ColGetInt"), row, col, Class::Int, "_ColGetInt").v);
}

void _ColSetInt(BktHandle bkt, int row, int col, int32_t value) {
  SetInteger(bkt, row, col, value, "_ColSetInt");
}

Dec64 _ColGetDec64(BktHandle bkt, int row, int col) {
  return Dec64::FromRaw(CellOf(Get(bkt, "_ColGetDec64"), row, col, Class::Dec, "_ColGetDec64").v);
}

void _ColSetDec64(BktHandle bkt, int row, int col, Dec64 value) {
  SetValue(CellToChange(WritableCells(bkt, "_ColSetDec64"), row, col, Class::Dec, "_ColSetDec64"),
           value.raw);
}

std::string _ColGetStringW(BktHandle bkt, int row, int col, int maxChars) {
  const Cell& c = CellOf(Get(bkt, "_ColGetStringW"), row, col, Class::Text, "_ColGetStringW");
  return maxChars < 0 ? c.s : Lb_CutChars(c.s, static_cast<size_t>(maxChars));
}

void _ColSetTextW(BktHandle bkt, int row, int col, std::string_view text) {
  const char* op = "_ColSetTextW";
  BucketImpl& b = WritableCells(bkt, op);
  Cell& c = CellToChange(b, row, col, Class::Text, op);
  int length = b.cols[static_cast<size_t>(col - 1)].length;
  SetValue(c, 0);
  c.s = length > 0 ? Lb_CutChars(text, static_cast<size_t>(length)) : std::string(text);
}

bool _ColGetBoolean(BktHandle bkt, int row, int col) {
  return CellOf(Get(bkt, "_ColGetBoolean"), row, col, Class::Int, "_ColGetBoolean").v != 0;
}

void _ColSetBoolean(BktHandle bkt, int row, int col, bool value) {
  SetInteger(bkt, row, col, value ? 1 : 0, "_ColSetBoolean");
}

void* _ColGetNonScalar(BktHandle bkt, int row, int col) {
  const Cell& c = CellOf(Get(bkt, "_ColGetNonScalar"), row, col, Class::Ptr, "_ColGetNonScalar");
  return reinterpret_cast<void*>(static_cast<intptr_t>(c.v));
}

void _ColSetNonScalar(BktHandle bkt, int row, int col, void* value) {
  SetValue(CellToChange(WritableCells(bkt, "_ColSetNonScalar"), row, col, Class::Ptr,
                        "_ColSetNonScalar"),
           static_cast<int64_t>(reinterpret_cast<intptr_t>(value)));
}

int _ColCompare(BktHandle a, int rowA, int colA, BktHandle b, int rowB, int colB) {
  const char* op = "_ColCompare";
  BucketImpl& ba = Get(a, op);
  BucketImpl& bb = Get(b, op);
  const Cell& ca = AnyCell(ba, rowA, colA, op);
  const Cell& cb = AnyCell(bb, rowB, colB, op);
  Class cls = ClassOf(ba.cols[static_cast<size_t>(colA - 1)].type);
  if (cls != ClassOf(bb.cols[static_cast<size_t>(colB - 1)].type)) {
    Misuse(op, ColLabel(ba, colA) + " and " + ColLabel(bb, colB) + " are not alike");
  }
  return CompareCells(cls, ca, cb);
}

// ---- find and order --------------------------------------------------------

namespace {

// Buckets smaller than this are searched row by row.
constexpr size_t kIndexFrom = 64;

std::string Tagged(char tag, int64_t v) {
  std::string out(1 + sizeof v, tag);
  std::memcpy(out.data() + 1, &v, sizeof v);
  return out;
}

// One text per value, equal exactly when CompareKey finds the key equal.
std::string CanonicalCell(Class cls, const Cell& c) {
  if (c.null) return "N";
  switch (cls) {
    case Class::Text: return "T" + c.s;
    case Class::Int: return Tagged('I', c.v);
    case Class::Dec: return Tagged('D', c.v);
    default: return Tagged('P', c.v);
  }
}

enum class KeyForm { Canonical, NoMatch, Unindexed };

// The key as CanonicalCell writes a cell equal to it; Unindexed for a key
// the column cannot be compared with (the row-by-row search reports it).
KeyForm CanonicalKey(Class cls, const BktKey& key, std::string& out) {
  using K = BktKey::Kind;
  constexpr int64_t kOne = Dec64::kOne;
  if (key.kind == K::Null) { out = "N"; return KeyForm::Canonical; }
  if (cls == Class::Text && key.kind == K::Text) { out = "T" + key.s; return KeyForm::Canonical; }
  if (cls == Class::Int && key.kind == K::Int) { out = Tagged('I', key.i); return KeyForm::Canonical; }
  if (cls == Class::Int && key.kind == K::Dec) {
    if (key.d.raw % kOne != 0) return KeyForm::NoMatch;
    out = Tagged('I', key.d.raw / kOne);
    return KeyForm::Canonical;
  }
  if (cls == Class::Dec && key.kind == K::Dec) { out = Tagged('D', key.d.raw); return KeyForm::Canonical; }
  if (cls == Class::Dec && key.kind == K::Int) {
    if (key.i > std::numeric_limits<int64_t>::max() / kOne ||
        key.i < std::numeric_limits<int64_t>::min() / kOne)
      return KeyForm::NoMatch;
    out = Tagged('D', key.i * kOne);
    return KeyForm::Canonical;
  }
  if (cls == Class::Ptr && key.kind == K::Int) { out = Tagged('P', key.i); return KeyForm::Canonical; }
  return KeyForm::Unindexed;
}

void IndexRow(ColumnIndex& x, uint32_t r, std::string key) {
  std::vector<uint32_t>& list = x.rows[key];
  list.insert(std::lower_bound(list.begin(), list.end(), r), r);
  x.keyOfRow[r] = std::move(key);
}

// The index of column `col`, up to date; the caller holds the mutex.
const ColumnIndex& RefreshIndex(const BucketImpl& b, KeyIndex& indexes, int col) {
  const Class cls = ClassOf(b.cols[static_cast<size_t>(col - 1)].type);
  const size_t c = static_cast<size_t>(col - 1);
  auto [at, built] = indexes.columns.try_emplace(col);
  ColumnIndex& x = at->second;
  if (built) {
    x.keyOfRow.assign(b.rows.size(), std::string());
    for (uint32_t r = 0; r < b.rows.size(); ++r) {
      std::string key = CanonicalCell(cls, b.rows[r].cells[c]);
      x.rows[key].push_back(r);
      x.keyOfRow[r] = std::move(key);
    }
    return x;
  }
  if (x.keyOfRow.size() < b.rows.size()) x.keyOfRow.resize(b.rows.size());   // appended rows
  for (uint32_t r : x.touched) {
    std::string& old = x.keyOfRow[r];
    if (!old.empty()) {
      std::vector<uint32_t>& list = x.rows[old];
      auto it = std::lower_bound(list.begin(), list.end(), r);
      if (it != list.end() && *it == r) list.erase(it);
      if (list.empty()) x.rows.erase(old);
    }
    IndexRow(x, r, CanonicalCell(cls, b.rows[r].cells[c]));
  }
  x.touched.clear();
  return x;
}

bool LocateByRows(const BucketImpl& b, int col1, const BktKey& key1, int col2, const BktKey& key2,
                  int& row, int startRow, const char* op) {
  for (size_t r = static_cast<size_t>(startRow - 1); r < b.rows.size(); ++r) {
    const auto& cells = b.rows[r].cells;
    if (CompareKey(b, col1, cells[static_cast<size_t>(col1 - 1)], key1, op) != 0) continue;
    if (col2 > 0 && CompareKey(b, col2, cells[static_cast<size_t>(col2 - 1)], key2, op) != 0) continue;
    row = static_cast<int>(r + 1);
    return true;
  }
  row = 0;
  return false;
}

bool LocateByIndex(BucketImpl& b, int col1, const std::string& key1, int col2, const BktKey& key2,
                   int& row, int startRow, const char* op) {
  std::lock_guard<std::mutex> lock(b.index.mutex);
  const ColumnIndex& x = RefreshIndex(b, b.index, col1);
  row = 0;
  auto found = x.rows.find(key1);
  if (found == x.rows.end()) return false;
  const std::vector<uint32_t>& list = found->second;
  for (auto it = std::lower_bound(list.begin(), list.end(), static_cast<uint32_t>(startRow - 1));
       it != list.end(); ++it) {
    const auto& cells = b.rows[*it].cells;
    if (col2 > 0 && CompareKey(b, col2, cells[static_cast<size_t>(col2 - 1)], key2, op) != 0) continue;
    row = static_cast<int>(*it + 1);
    return true;
  }
  return false;
}

}  // namespace

bool _BktLocateKey(BktHandle bkt, int col1, const BktKey& key1, int col2, const BktKey& key2,
                   int& row, int startRow) {
  const char* op = "_BktLocateKey";
  BucketImpl& b = Get(bkt, op);
  const Column& c1 = CheckCol(b, col1, op);
  if (col2 > 0) CheckCol(b, col2, op);
  CheckStart(startRow, op);
  std::string canonical;
  const KeyForm form = b.rows.size() < kIndexFrom ? KeyForm::Unindexed
                                                  : CanonicalKey(ClassOf(c1.type), key1, canonical);
  if (form == KeyForm::Unindexed) return LocateByRows(b, col1, key1, col2, key2, row, startRow, op);
  if (form == KeyForm::NoMatch) {
    row = 0;
    return false;
  }
  const bool found = LocateByIndex(b, col1, canonical, col2, key2, row, startRow, op);
#ifdef ACQ_SANITIZE
  // The checking build compares every indexed answer with a search row by row.
  int byRows = 0;
  LocateByRows(b, col1, key1, col2, key2, byRows, startRow, op);
  if (byRows != row) {
    Misuse(op, "the index of " + ColLabel(b, col1) + " found row " + std::to_string(row) +
                   ", the rows hold it at " + std::to_string(byRows));
  }
#endif
  return found;
}

bool _BktLocateRange(BktHandle bkt, int col, const BktKey& low, const BktKey& high, int& first,
                     int& last) {
  const char* op = "_BktLocateRange";
  const BucketImpl& b = Get(bkt, op);
  CheckCol(b, col, op);
  // Matching rows of a sorted Bucket are one run, whichever the direction.
  first = last = 0;
  for (size_t r = 0; r < b.rows.size(); ++r) {
    const Cell& c = b.rows[r].cells[static_cast<size_t>(col - 1)];
    bool in = CompareKey(b, col, c, low, op) >= 0 && CompareKey(b, col, c, high, op) <= 0;
    if (in) {
      if (first == 0) first = static_cast<int>(r + 1);
      last = static_cast<int>(r + 1);
    } else if (first != 0) {
      break;
    }
  }
  return first != 0;
}

bool _LocateRow(BktHandle bkt, BktHandle src, int srcRow, const std::vector<int>& keyCols, int& row,
                int startRow) {
  const char* op = "_LocateRow";
  const BucketImpl& b = Get(bkt, op);
  const BucketImpl& s = Get(src, op);
  CheckRow(s, srcRow, op);
  CheckStart(startRow, op);
  // Pairs (column here, column of src) by name. No columns given: the key
  // columns, or every column when none is marked.
  std::vector<int> cols = keyCols;
  if (cols.empty()) {
    for (size_t i = 0; i < b.cols.size(); ++i) if (b.cols[i].key) cols.push_back(static_cast<int>(i + 1));
    if (cols.empty()) for (size_t i = 0; i < b.cols.size(); ++i) cols.push_back(static_cast<int>(i + 1));
  }
  std::vector<std::pair<size_t, size_t>> pairs;
  for (int c : cols) {
    const Column& mine = CheckCol(b, c, op);
    int sc = _BktGetColNum(src, mine.name);
    if (sc == 0) Misuse(op, "source has no column " + mine.name);
    if (ClassOf(mine.type) != ClassOf(s.cols[static_cast<size_t>(sc - 1)].type)) {
      Misuse(op, "column " + mine.name + " types differ");
    }
    pairs.emplace_back(static_cast<size_t>(c - 1), static_cast<size_t>(sc - 1));
  }
  const auto& want = s.rows[static_cast<size_t>(srcRow - 1)].cells;
  for (size_t r = static_cast<size_t>(startRow - 1); r < b.rows.size(); ++r) {
    const auto& cells = b.rows[r].cells;
    bool equal = std::all_of(pairs.begin(), pairs.end(), [&](const auto& p) {
      return CompareCells(ClassOf(b.cols[p.first].type), cells[p.first], want[p.second]) == 0;
    });
    if (equal) {
      row = static_cast<int>(r + 1);
      return true;
    }
  }
  row = 0;
  return false;
}

bool _BktNext(BktHandle bkt, int state, int& row) {
  const BucketImpl& b = Get(bkt, "_BktNext");
  for (size_t r = static_cast<size_t>(std::max(row, 0)); r < b.rows.size(); ++r) {
    if (state < 0 || b.rows[r].state == state) {
      row = static_cast<int>(r + 1);
      return true;
    }
  }
  row = 0;
  return false;
}

bool _BktScan(BktHandle bkt, int col, std::string_view text, int& row, int startRow) {
  const char* op = "_BktScan";
  const BucketImpl& b = Get(bkt, op);
  const Column& c = CheckCol(b, col, op);
  if (ClassOf(c.type) != Class::Text) Misuse(op, ColLabel(b, col) + " is not text");
  CheckStart(startRow, op);
  std::u32string want = Fold(text);
  for (size_t r = static_cast<size_t>(startRow - 1); r < b.rows.size(); ++r) {
    const Cell& cell = b.rows[r].cells[static_cast<size_t>(col - 1)];
    if (!cell.null && Fold(cell.s).find(want) != std::u32string::npos) {
      row = static_cast<int>(r + 1);
      return true;
    }
  }
  row = 0;
  return false;
}

bool _ValueInCol(BktHandle bkt, int col, const BktKey& key) {
  int row = 0;
  return _BktLocateKey(bkt, col, key, 0, BktKey{}, row, 1);
}

void _BktSort(BktHandle bkt, const std::vector<int>& cols) {
  const char* op = "_BktSort";
  BucketImpl& b = Writable(bkt, op);
  struct Key { size_t index; Class cls; bool descending; };
  std::vector<Key> keys;
  for (int c : cols) {
    const Column& col = CheckCol(b, c < 0 ? -c : c, op);
    keys.push_back({static_cast<size_t>((c < 0 ? -c : c) - 1), ClassOf(col.type), c < 0});
  }
  std::stable_sort(b.rows.begin(), b.rows.end(), [&keys](const Row& x, const Row& y) {
    for (const Key& k : keys) {
      const Cell& cx = x.cells[k.index];
      const Cell& cy = y.cells[k.index];
      int r = CompareCells(k.cls, cx, cy);
      if (r == 0) continue;
      if (k.descending && !cx.null && !cy.null) r = -r;  // NULLs stay first
      return r < 0;
    }
    return false;
  });
}

// ---- copies ----------------------------------------------------------------

void _BktClone(BktHandle& out, int keepReadOnly, int keepSemaphore, BktHandle src) {
  const BucketImpl& s = Get(src, "_BktClone");
  if (out == src) Misuse("_BktClone", "the source's own handle cannot take its clone");
  auto* b = new BucketImpl;
  b->cols = s.cols;
  b->initialRows = s.initialRows;
  b->growth = s.growth;
  b->rows.reserve(static_cast<size_t>(s.initialRows));
  b->readOnly = keepReadOnly == 1 && s.readOnly;
  b->sem = keepSemaphore == 1 ? s.sem : nullptr;
  _BktDestroy(&out);   // as _BktCreate: never leak what the handle held
  out = b;
}

BktHandle _BktDupe(BktHandle src) {
  const BucketImpl& s = Get(src, "_BktDupe");
  BktHandle out = nullptr;
  _BktClone(out, 0, 0, src);
  out->rows = s.rows;
  return out;
}

void _BktRowCopy(BktHandle dst, int dstRow, BktHandle src, int srcRow) {
  const char* op = "_BktRowCopy";
  BucketImpl& d = Writable(dst, op);
  const BucketImpl& s = Get(src, op);
  CheckRow(d, dstRow, op);
  CheckRow(s, srcRow, op);
  CheckLike(d, s, op);
  d.rows[static_cast<size_t>(dstRow - 1)] = CopyRowFor(s.rows[static_cast<size_t>(srcRow - 1)], d);
}

void _BktCopyAll(BktHandle dst, BktHandle src) {
  const char* op = "_BktCopyAll";
  BucketImpl& d = Writable(dst, op);
  const BucketImpl& s = Get(src, op);
  CheckLike(d, s, op);
  if (&d == &s) return;
  std::vector<Row> rows;
  rows.reserve(s.rows.size());
  for (const Row& r : s.rows) rows.push_back(CopyRowFor(r, d));
  d.rows = std::move(rows);
}

void _ColCopy(BktHandle dst, int dstRow, int dstCol, BktHandle src, int srcRow, int srcCol) {
  const char* op = "_ColCopy";
  BucketImpl& d = WritableCells(dst, op);
  BucketImpl& s = Get(src, op);
  const Cell& from = AnyCell(s, srcRow, srcCol, op);
  Cell& to = AnyCellToChange(d, dstRow, dstCol, op);
  const Column& dc = d.cols[static_cast<size_t>(dstCol - 1)];
  const Column& sc = s.cols[static_cast<size_t>(srcCol - 1)];
  if (ClassOf(dc.type) != ClassOf(sc.type)) {
    Misuse(op, ColLabel(d, dstCol) + " and " + ColLabel(s, srcCol) + " are not alike");
  }
  if (ClassOf(dc.type) == Class::Int && !from.null && !FitsColumn(dc.type, from.v)) {
    Misuse(op, "value " + std::to_string(from.v) + " does not fit " + ColLabel(d, dstCol));
  }
  Cell copy = Converted(from, dc);
  copy.changed = true;
  to = std::move(copy);
}

BktHandle _CreateDeDupedBkt(BktHandle src, const std::vector<int>& keyCols) {
  const char* op = "_CreateDeDupedBkt";
  const BucketImpl& s = Get(src, op);
  std::vector<size_t> cols;
  for (int c : keyCols) {
    CheckCol(s, c < 0 ? -c : c, op);
    cols.push_back(static_cast<size_t>((c < 0 ? -c : c) - 1));
  }
  if (cols.empty()) for (size_t i = 0; i < s.cols.size(); ++i) cols.push_back(i);

  auto compare = [&](size_t x, size_t y) {
    for (size_t c : cols) {
      int r = CompareCells(ClassOf(s.cols[c].type), s.rows[x].cells[c], s.rows[y].cells[c]);
      if (r != 0) return r;
    }
    return 0;
  };
  // Stable sort of row numbers groups equal rows with the first one leading;
  // the kept rows then go out in their original order.
  std::vector<size_t> order(s.rows.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](size_t x, size_t y) { return compare(x, y) < 0; });
  std::vector<bool> keep(s.rows.size(), false);
  for (size_t i = 0; i < order.size(); ++i) {
    if (i == 0 || compare(order[i - 1], order[i]) != 0) keep[order[i]] = true;
  }
  BktHandle out = nullptr;
  _BktClone(out, 0, 0, src);
  for (size_t i = 0; i < s.rows.size(); ++i) {
    if (keep[i]) out->rows.push_back(s.rows[i]);
  }
  return out;
}
